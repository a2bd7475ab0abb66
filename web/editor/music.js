// The music's timing as the page uses it: the player's analysis (GET
// /api/music: tempo, beats with their bar starts, onsets) read into plain
// data, and the units the timeline snaps and steps by. Beats and bars are
// the music's own when it has a pulse and the music grid is on, else the
// row grid's (a bar of rowsPerBar rows, a beat a quarter of it). Also where
// a time stands in bars and beats, and N rows, beats or bars at a row in
// rows. Rows here are fractional (seconds x rows per second) until a whole
// row is asked for. No DOM.

export const SNAP_MODES = ['beats', 'bars', 'onsets', 'rows'];
const BEATS_PER_GRID_BAR = 4;
const BEATS_PER_UNMARKED_BAR = 4;

const NOT_READY = { ready: false, tempo: 0, pulse: false, beats: [], onsets: [] };

function times(list, withBar) {
  if (!Array.isArray(list)) return [];
  const out = [];
  for (const item of list) {
    const time = Number(item && item.time);
    if (Number.isFinite(time) && time >= 0) out.push(withBar ? { time, bar: !!item.bar } : { time });
  }
  return out.sort((a, b) => a.time - b.time);
}

// The player's answer as plain data; anything malformed reads as not ready,
// with the player's reason when it gave one.
export function readMusic(json) {
  if (!json || json.ready !== true) return json && json.error ? { ...NOT_READY, error: String(json.error) } : NOT_READY;
  const beats = times(json.beats, true);
  const pulse = json.pulse !== false && beats.length >= 2;
  const tempo = Number(json.tempo);
  return { ready: true, tempo: Number.isFinite(tempo) ? tempo : 0, pulse, beats: pulse ? beats : [], onsets: times(json.onsets, false) };
}

// A sequence of unit positions in rows: {period} for evenly spaced units
// from row 0, or {list} of ascending rows, carried on past both ends at the
// spacing there when extend is set.
function periodic(period) {
  return { period };
}

function listed(list, extend) {
  return list.length === 0 ? null : { list, extend: extend && list.length >= 2 };
}

// Unit k of a listed sequence (k may lie past either end when it extends).
function unitAt(units, k) {
  const list = units.list;
  const n = list.length;
  if (k >= 0 && k < n) return list[k];
  if (!units.extend) return NaN;
  if (k < 0) return list[0] + k * (list[1] - list[0]);
  return list[n - 1] + (k - n + 1) * (list[n - 1] - list[n - 2]);
}

// The last unit index whose whole row (or fractional row, exact) is at or
// before row; -1 before the first unit of a sequence that does not extend.
function indexAtOrBefore(units, row, exact = false) {
  const at = (k) => (exact ? unitAt(units, k) : Math.round(unitAt(units, k)));
  const list = units.list;
  let k;
  if (at(0) > row) {
    if (!units.extend) return -1;
    k = -1;
    while (at(k) > row) --k;
    return k;
  }
  let lo = 0;
  let hi = list.length - 1;
  while (lo < hi) {
    const mid = (lo + hi + 1) >> 1;
    if (at(mid) <= row) lo = mid;
    else hi = mid - 1;
  }
  k = lo;
  if (units.extend && k === list.length - 1) while (at(k + 1) <= row) ++k;
  return k;
}

// The whole row nearest to row among the units.
function snapTo(units, row) {
  if (!units) return Math.round(row);
  if (units.period) return Math.round(row / units.period) * units.period;
  const k = indexAtOrBefore(units, row, true);
  let best = NaN;
  for (const c of [k, k + 1]) {
    const u = unitAt(units, c);
    if (Number.isFinite(u) && !(Math.abs(u - row) >= Math.abs(best - row))) best = u;
  }
  return Math.round(best);
}

// The whole row steps units on from a whole row (back when negative); the
// row itself where the units run out.
function stepIn(units, row, steps) {
  if (!units) return row + steps;
  if (units.period) {
    const p = units.period;
    return steps > 0 ? (Math.floor(row / p) + steps) * p : (Math.ceil(row / p) + steps) * p;
  }
  const k = indexAtOrBefore(units, row);
  const onUnit = k >= 0 && Math.round(unitAt(units, k)) === row;
  const target = steps > 0 ? k + steps : onUnit ? k + steps : k + steps + 1;
  const u = unitAt(units, target);
  return Number.isFinite(u) ? Math.round(u) : row;
}

// The position of a fractional row in units: k plus the share of the way
// to the next.
function unitPosition(units, row) {
  if (units.period) return row / units.period;
  const k = indexAtOrBefore(units, row, true);
  const a = unitAt(units, k);
  const b = unitAt(units, k + 1);
  if (!Number.isFinite(a) || !Number.isFinite(b) || b <= a) return k;
  return k + (row - a) / (b - a);
}

function rowAtPosition(units, position) {
  if (units.period) return position * units.period;
  const k = Math.floor(position);
  const a = unitAt(units, k);
  const b = unitAt(units, k + 1);
  return a + (position - k) * (b - a);
}

export class MusicTiming {
  constructor(rowsPerSecond = 16, rowsPerBar = 32) {
    this.rowsPerSecond = rowsPerSecond;
    this.rowsPerBar = rowsPerBar;
    this.music = NOT_READY;
    this.musicGrid = true; // the music's beats and bars, where it has a pulse
    this.mode = 'bars';
    this.modeChosen = false;
    this.build();
  }

  setRows(rowsPerSecond, rowsPerBar) {
    if (rowsPerSecond === this.rowsPerSecond && rowsPerBar === this.rowsPerBar) return;
    this.rowsPerSecond = rowsPerSecond;
    this.rowsPerBar = rowsPerBar;
    this.build();
  }

  // A new analysis; until the author picks a mode, beats when the music
  // has a pulse, else bars of the row grid.
  setMusic(music) {
    this.music = music;
    if (!this.modeChosen) this.mode = music.pulse ? 'beats' : 'bars';
    if (this.mode === 'onsets' && music.onsets.length === 0) this.mode = 'beats';
    this.build();
  }

  build() {
    const rps = this.rowsPerSecond;
    const m = this.music;
    this.beatRows = m.beats.map((b) => b.time * rps);
    let bars = m.beats.filter((b) => b.bar).map((b) => b.time * rps);
    // Without marked bars, every fourth beat starts one.
    if (bars.length < 2) bars = this.beatRows.filter((_, i) => i % BEATS_PER_UNMARKED_BAR === 0);
    this.barRows = bars;
    this.onsetRows = m.onsets.map((o) => o.time * rps);
    // Each beat's bar (counted from 0 at the first bar start) and place in it.
    const barSet = new Set(bars);
    this.beatPlaces = [];
    let bar = -1;
    let inBar = 0;
    for (const r of this.beatRows) {
      if (barSet.has(r)) {
        bar += 1;
        inBar = 0;
      }
      this.beatPlaces.push({ bar, beat: inBar + 1 });
      inBar += 1;
    }
  }

  // Whether beats and bars are the music's.
  onMusicGrid() {
    return this.musicGrid && this.music.pulse;
  }

  toggleGrid() {
    this.musicGrid = !this.musicGrid;
  }

  modes() {
    return SNAP_MODES.filter((m) => m !== 'onsets' || this.onsetRows.length > 0);
  }

  cycleMode() {
    const modes = this.modes();
    this.mode = modes[(modes.indexOf(this.mode) + 1) % modes.length];
    this.modeChosen = true;
    return this.mode;
  }

  units(mode = this.mode) {
    const music = this.onMusicGrid();
    switch (mode) {
      case 'beats':
        return music ? listed(this.beatRows, true) : periodic(this.rowsPerBar / BEATS_PER_GRID_BAR);
      case 'bars':
        return music ? listed(this.barRows, true) : periodic(this.rowsPerBar);
      case 'onsets':
        return listed(this.onsetRows, false);
      default:
        return null;
    }
  }

  // The whole row nearest a fractional row in a mode's units.
  snap(row, mode = this.mode) {
    return snapTo(this.units(mode), row);
  }

  // A whole row moved by steps units of a mode.
  step(row, steps, mode = this.mode) {
    return stepIn(this.units(mode), row, steps);
  }

  // The rows that n beats or bars (or rows) take from a row: the music's
  // own at that place, at least one row.
  span(row, n, unit) {
    const units = unit === 'rows' ? null : this.units(unit);
    if (!units) return Math.max(1, Math.round(n));
    const from = unitPosition(units, row);
    return Math.max(1, Math.round(rowAtPosition(units, from + n)) - Math.round(row));
  }

  // Where a fractional row stands: {bar, beat} with bar counted from 0 and
  // beat from 1 with its fraction; on the row grid, bars of rowsPerBar.
  place(row) {
    if (!this.onMusicGrid()) {
      const beatRows = this.rowsPerBar / BEATS_PER_GRID_BAR;
      const bar = Math.floor(row / this.rowsPerBar);
      return { bar, beat: 1 + (row - bar * this.rowsPerBar) / beatRows };
    }
    const units = listed(this.beatRows, true);
    const position = unitPosition(units, row);
    const k = Math.floor(position);
    const n = this.beatPlaces.length;
    // Before the first beat: counted back from it in bars of four.
    if (k < 0) {
      const bar = Math.floor(position / BEATS_PER_UNMARKED_BAR);
      return { bar, beat: 1 + position - bar * BEATS_PER_UNMARKED_BAR };
    }
    const at = this.beatPlaces[Math.min(k, n - 1)];
    return { bar: at.bar, beat: at.beat + (k - Math.min(k, n - 1)) + (position - k) };
  }

  // The music grid's beat and bar rows between two fractional rows, for
  // drawing: {beats, bars}, or null on the row grid.
  gridLines(fromRow, toRow) {
    if (!this.onMusicGrid()) return null;
    const pick = (list) => {
      const out = [];
      for (const r of list) if (r >= fromRow && r <= toRow) out.push(r);
      return out;
    };
    return { beats: pick(this.beatRows), bars: pick(this.barRows) };
  }

  onsetsBetween(fromRow, toRow) {
    return this.onsetRows.filter((r) => r >= fromRow && r <= toRow);
  }
}

// "bar 4 beat 2.5" for a place.
export function formatPlace(place) {
  return `bar ${place.bar} beat ${(Math.round(place.beat * 100) / 100).toFixed(2).replace(/\.?0+$/, '')}`;
}
