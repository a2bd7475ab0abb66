// Record: while the show plays and record is on, taps (Enter, or a digit
// for a value) set keys on the selected lane at the playhead's row, snapped
// as the snapping mode says, and knobs (the page's slider, MIDI
// controllers) write the rows the playhead passes while they move on their
// lanes: each value a knob sends stands at the playhead's row (the last one
// in a row wins; between two rows the line runs straight, as a turned knob
// sends many values and one left alone sends none), and its last value
// holds until the take ends. A take runs from record on until record off
// or until the show stops. Taps show at once and go to the player in
// batches, all of a take one undo step; when the take ends, each knob's
// rows are reduced to the fewest linear keys within the tolerance (a share
// of the lane's range) and sent together as one step. No DOM: the playhead
// and the clock are given.

import { rowAtTime, clamp } from './timeline.js';
import { applyEdits, keyAt, trackValueAt, valueRange, rowProblem } from './model.js';
import { findKey, KIND_LINEAR, KIND_STEP } from './sync_curve.js';
import { reduceTake } from './take_reduce.js';

export const TAP_BATCH_MS = 250;
export const DEFAULT_TOLERANCE = 0.01;

// The step recorded values are rounded to: a tenth of the tolerance's
// leading decimal, so sync.txt holds short numbers.
function quantumFor(tolerance) {
  return tolerance > 0 ? 10 ** Math.floor(Math.log10(tolerance)) / 10 : 0;
}

function roundTo(value, quantum) {
  if (!(quantum > 0)) return value;
  const digits = Math.max(0, -Math.floor(Math.log10(quantum)));
  return Number((Math.round(value / quantum) * quantum).toFixed(Math.min(digits, 20)));
}

export class Recorder {
  // hooks: {time() the playhead's seconds, playing(), now() in ms}.
  constructor(session, timing, hooks) {
    this.session = session;
    this.timing = timing;
    this.hooks = hooks;
    this.armed = false;
    this.tolerance = DEFAULT_TOLERANCE;
    this.taking = false;
    this.taps = []; // not sent yet: {track, row, value (null: the track's own there)}
    this.firstTapAt = 0;
    this.tapStep = null;
    this.knobs = new Map(); // track → {fraction, take}
    this.version = 0;
    this.cache = null;
    this.onChange = () => {};
  }

  changed() {
    this.version += 1;
    this.onChange();
  }

  // Whether keys are recorded now.
  live() {
    return this.armed && !!this.session.state && this.hooks.playing();
  }

  toggle() {
    this.armed = !this.armed;
    if (!this.armed) this.endTake();
    this.changed();
    return this.armed;
  }

  setTolerance(share) {
    if (!(share >= 0) || !Number.isFinite(share)) return false;
    this.tolerance = share;
    return true;
  }

  begin() {
    if (this.taking) return;
    this.taking = true;
    this.tapStep = null;
  }

  rowsPerSecond() {
    return this.session.state.rowsPerSecond;
  }

  // The row the playhead is on, or in a snapping mode the nearest unit.
  tapRow() {
    const time = this.hooks.time();
    if (this.timing.mode === 'rows') return rowAtTime(time, this.rowsPerSecond());
    return this.timing.snap(time * this.rowsPerSecond());
  }

  // A tap: value null keeps the track's value at the row. Returns whether
  // it was taken as a tap (record on and the show playing).
  tap(value) {
    if (!this.live()) return false;
    const s = this.session;
    if (!s.shown(s.selectedTrack)) return true;
    const row = this.tapRow();
    const problem = rowProblem(row, s.state.maxRow);
    if (problem) {
      s.say(problem);
      return true;
    }
    this.begin();
    if (this.taps.length === 0) this.firstTapAt = this.hooks.now();
    this.taps.push({ track: s.selectedTrack, row, value });
    this.changed();
    return true;
  }

  // The waiting taps as set edits on a state: a tap keeps the kind of the
  // key it replaces or follows, and one that changes nothing is left out.
  tapEdits(state) {
    const edits = [];
    let shown = state;
    for (const tap of this.taps) {
      const track = shown.tracks.find((t) => t.name === tap.track);
      if (!track) continue;
      const here = keyAt(track.keys, tap.row);
      const before = findKey(track.keys, tap.row);
      const kind = here ? here.kind : before >= 0 ? track.keys[before].kind : KIND_STEP;
      const value = tap.value ?? trackValueAt(track, tap.row);
      if (here && here.value === Math.fround(value)) continue;
      const edit = { op: 'set', track: tap.track, row: tap.row, value, kind };
      const applied = applyEdits(shown, [edit]);
      if (applied.error) continue;
      edits.push(edit);
      shown = applied.state;
    }
    return { edits, state: shown };
  }

  flushTaps() {
    if (this.taps.length === 0) return;
    const { edits } = this.tapEdits(this.session.state);
    this.taps = [];
    if (edits.length) this.tapStep = this.session.extend(this.tapStep, edits) || this.tapStep;
    this.changed();
  }

  // A knob of a lane moved to a share (0 to 1) of the lane's range, as the
  // lane's value axis shows it when the knob's take began.
  knob(track, fraction) {
    const t = this.session.trackByName.get(track);
    if (!t || !Number.isFinite(fraction)) return;
    let knob = this.knobs.get(track);
    if (!knob) this.knobs.set(track, (knob = { fraction: 0, take: null }));
    knob.fraction = clamp(fraction, 0, 1);
    if (!this.live()) return;
    this.begin();
    if (!knob.take) {
      const { min, max } = valueRange(t.keys);
      knob.take = { min, max, samples: new Map(), lastRow: null, lastValue: 0 };
    }
    this.sample(knob, rowAtTime(this.hooks.time(), this.rowsPerSecond()));
    this.changed();
  }

  sample(knob, row, value = knob.take.min + knob.fraction * (knob.take.max - knob.take.min)) {
    const take = knob.take;
    take.samples.set(row, value);
    take.lastRow = row;
    take.lastValue = value;
  }

  // Once a frame: waiting taps go out once the batch is old enough, and a
  // show no longer playing ends the take.
  tick() {
    if (!this.taking) return;
    if (!this.live()) return this.endTake();
    if (this.taps.length && this.hooks.now() - this.firstTapAt >= TAP_BATCH_MS) this.flushTaps();
  }

  endTake() {
    if (!this.taking) return;
    this.taking = false;
    this.flushTaps();
    this.tapStep = null;
    // The playhead as the page shows it may run a moment past the music.
    const state = this.session.state;
    const end = Math.min(rowAtTime(this.hooks.time(), this.rowsPerSecond()), Math.floor(state.musicLength * state.rowsPerSecond));
    const edits = [];
    for (const [track, knob] of this.knobs) {
      if (knob.take) {
        // Held from its last value to the take's end.
        if (end > knob.take.lastRow) this.sample(knob, end, knob.take.lastValue);
        edits.push(...this.knobEdits(track, knob.take));
      }
      knob.take = null;
    }
    if (edits.length) this.session.commit(edits);
    this.changed();
  }

  samplesOf(take) {
    return [...take.samples].sort((a, b) => a[0] - b[0]).map(([row, value]) => ({ row, value }));
  }

  // A knob's take as edits: the fewest linear keys within the tolerance in
  // place of the keys the take passed over.
  knobEdits(track, take) {
    const t = this.session.trackByName.get(track);
    if (!t || take.samples.size === 0) return [];
    const samples = this.samplesOf(take);
    const tolerance = this.tolerance * (take.max - take.min);
    const quantum = quantumFor(tolerance);
    const keys = reduceTake(samples, tolerance - quantum / 2);
    const first = samples[0].row;
    const last = samples[samples.length - 1].row;
    const kept = new Set(keys.map((k) => k.row));
    const edits = [];
    for (const k of t.keys) if (k.row >= first && k.row <= last && !kept.has(k.row)) edits.push({ op: 'delete', track, row: k.row });
    for (const k of keys) edits.push({ op: 'set', track, row: k.row, value: roundTo(k.value, quantum), kind: KIND_LINEAR });
    return edits;
  }

  // The state with what the take holds so far drawn on it (waiting taps,
  // the rows each knob wrote), or null outside a take.
  preview(state) {
    if (!this.taking || !state) return null;
    const c = this.cache;
    if (c && c.state === state && c.version === this.version) return c.shown;
    let shown = this.taps.length ? this.tapEdits(state).state : state;
    for (const [track, knob] of this.knobs) {
      if (!knob.take || knob.take.samples.size === 0) continue;
      const samples = this.samplesOf(knob.take);
      const first = samples[0].row;
      const last = samples[samples.length - 1].row;
      shown = {
        ...shown,
        tracks: shown.tracks.map((t) => {
          if (t.name !== track) return t;
          const outside = t.keys.filter((k) => k.row < first || k.row > last);
          const recorded = samples.map((p) => ({ row: p.row, value: Math.fround(p.value), kind: KIND_LINEAR }));
          return { ...t, keys: [...outside, ...recorded].sort((a, b) => a.row - b.row) };
        }),
      };
    }
    this.cache = { state, version: this.version, shown };
    return shown;
  }
}
