// The tracks and keys the page shows, and the edits on them: the player's
// state read into plain data, edits applied to it (checked, with the edits
// that undo them and the key each one found), and the edits that the page's
// actions make (moving a selection, pasting, deleting, changing kinds, typed
// rows and values). Keys are {row, value, kind} ascending by row; a track's
// keys array is replaced, never changed in place, so the view can cache by
// it. No DOM.

import { kindFromName, findKey, valueAt, KIND_NAMES } from './sync_curve.js';

const INT32_MIN = -2147483648;
const INT32_MAX = 2147483647;
// The largest finite single-precision value: what a track can hold.
export const FLOAT_MAX = 3.4028234663852886e38;
const FLOAT_MAX_TEXT = '3.4e38';
// Rows an edit may name past the music's end, when the player does not say.
const ROWS_PAST_END = 512;

// The shortest decimal text that reads back as the same single-precision
// value, as the player's text file would show it.
export function formatValue(value) {
  const v = Math.fround(value);
  for (let digits = 1; digits < 9; ++digits) {
    const text = String(Number(v.toPrecision(digits)));
    if (Math.fround(Number(text)) === v) return text;
  }
  return String(Number(v.toPrecision(9)));
}

// A value as it goes to the player: the number with the shortest decimal
// form of the float it stands for.
export function wireValue(value) {
  return Number(formatValue(value));
}

// A key as the player names one: {row, value, kind by name}, or null.
export function wireKey(key) {
  return key ? { row: key.row, value: wireValue(key.value), kind: KIND_NAMES[key.kind] } : null;
}

// Edits as the player takes them: kinds by name, values in their shortest
// decimal form, each with "was", the key it found at its row (applyEdits
// gives those, in the same order).
export function wireEdits(edits, was) {
  return edits.map((e, i) => {
    const out = { ...e };
    if (out.kind !== undefined) out.kind = KIND_NAMES[kindFromName(out.kind)] ?? out.kind;
    if (out.value !== undefined) out.value = wireValue(out.value);
    out.was = wireKey(was[i]);
    return out;
  });
}

// The player's GET /api/state answer as the page keeps it.
export function readState(json) {
  const tracks = (json.tracks || []).map((t) => ({
    name: String(t.name),
    label: t.label ? String(t.label) : '',
    keys: (t.keys || [])
      .map((k) => ({ row: k.row, value: Math.fround(k.value), kind: kindFromName(k.kind) }))
      .sort((a, b) => a.row - b.row),
  }));
  const rowsPerSecond = json.rowsPerSecond || 16;
  const musicLength = Number(json.musicLength) || 0;
  return {
    version: json.version,
    rowsPerSecond,
    rowsPerBar: json.rowsPerBar || 32,
    musicLength,
    maxRow: Number.isInteger(json.maxRow) ? json.maxRow : Math.ceil(musicLength * rowsPerSecond) + ROWS_PAST_END,
    tracks,
    sections: (json.sections || []).map((s) => ({ name: String(s.name), start: Number(s.start) })),
    error: json.error || '',
  };
}

export function trackIndex(state, name) {
  return state.tracks.findIndex((t) => t.name === name);
}

export function keyAt(keys, row) {
  const i = findKey(keys, row);
  return i >= 0 && keys[i].row === row ? keys[i] : null;
}

// The value a track has at a row, as a float.
export function trackValueAt(track, row) {
  return Math.fround(valueAt(track.keys, row));
}

function isRow(row) {
  return Number.isInteger(row) && row >= INT32_MIN && row <= INT32_MAX;
}

// Why a row cannot take a key, or '' when it can.
export function rowProblem(row, maxRow) {
  if (!isRow(row)) return `row ${row} is not a whole row`;
  if (row < 0) return `row ${row} is before the first row, 0`;
  if (row > maxRow) return `row ${row} is past the last row, ${maxRow}`;
  return '';
}

export function occupiedMessage(track, row) {
  return `row ${row} of track ${track} holds a key`;
}

function withKey(keys, key) {
  const i = findKey(keys, key.row);
  const out = keys.slice();
  if (i >= 0 && keys[i].row === key.row) out[i] = key;
  else out.splice(i + 1, 0, key);
  return out;
}

function withoutKey(keys, row) {
  const i = findKey(keys, row);
  const out = keys.slice();
  out.splice(i, 1);
  return out;
}

function valueProblem(value) {
  return Number.isFinite(value) && Number.isFinite(Math.fround(value)) ? '' : 'the value is not a number a track holds';
}

// Applies one edit to a track's keys: {keys, inverse} or {error}.
function applyOne(keys, edit, maxRow) {
  const existing = isRow(edit.row) ? keyAt(keys, edit.row) : null;
  const base = { track: edit.track, row: edit.row };
  switch (edit.op) {
    case 'set': {
      const kind = kindFromName(edit.kind);
      const problem = rowProblem(edit.row, maxRow) || valueProblem(edit.value);
      if (problem) return { error: problem };
      if (kind < 0) return { error: `unknown kind ${edit.kind}` };
      const key = { row: edit.row, value: Math.fround(edit.value), kind };
      const inverse = existing
        ? { op: 'set', ...base, value: existing.value, kind: existing.kind }
        : { op: 'delete', ...base };
      return { keys: withKey(keys, key), inverse };
    }
    case 'delete':
      if (!existing) return { error: `no key at row ${edit.row}` };
      return { keys: withoutKey(keys, edit.row), inverse: { op: 'set', ...base, value: existing.value, kind: existing.kind } };
    case 'move': {
      if (!existing) return { error: `no key at row ${edit.row}` };
      const problem = rowProblem(edit.toRow, maxRow);
      if (problem) return { error: problem };
      if (edit.toRow === edit.row) return { keys, inverse: { ...edit } };
      if (keyAt(keys, edit.toRow)) return { error: occupiedMessage(edit.track, edit.toRow) };
      const moved = withKey(withoutKey(keys, edit.row), { ...existing, row: edit.toRow });
      return { keys: moved, inverse: { op: 'move', track: edit.track, row: edit.toRow, toRow: edit.row } };
    }
    case 'kind': {
      const kind = kindFromName(edit.kind);
      if (!existing) return { error: `no key at row ${edit.row}` };
      if (kind < 0) return { error: `unknown kind ${edit.kind}` };
      return { keys: withKey(keys, { ...existing, kind }), inverse: { op: 'kind', ...base, kind: existing.kind } };
    }
    case 'value': {
      if (!existing) return { error: `no key at row ${edit.row}` };
      const problem = valueProblem(edit.value);
      if (problem) return { error: problem };
      return {
        keys: withKey(keys, { ...existing, value: Math.fround(edit.value) }),
        inverse: { op: 'value', ...base, value: existing.value },
      };
    }
    default:
      return { error: `unknown edit '${edit.op}'` };
  }
}

// Applies the edits in order, all or none: {state, inverse, was} where
// inverse undoes them when applied in its order and was[i] is the key edit
// i found at its row (after the edits before it), or null; or {error} with
// state unchanged.
export function applyEdits(state, edits) {
  const tracks = state.tracks.slice();
  const inverse = [];
  const was = [];
  const maxRow = state.maxRow ?? INT32_MAX;
  for (const edit of edits) {
    const t = tracks.findIndex((track) => track.name === edit.track);
    if (t < 0) return { error: `no track '${edit.track}'` };
    const result = applyOne(tracks[t].keys, edit, maxRow);
    if (result.error) return { error: `track ${edit.track}: ${result.error}` };
    was.push(isRow(edit.row) ? keyAt(tracks[t].keys, edit.row) : null);
    tracks[t] = { ...tracks[t], keys: result.keys };
    inverse.unshift(result.inverse);
  }
  return { state: { ...state, tracks }, inverse, was };
}

// Selections: a Set of "TRACK ROW" strings (track names hold no blanks).
export function selectionKey(track, row) {
  return `${track} ${row}`;
}

export function parseSelectionKey(text) {
  const at = text.lastIndexOf(' ');
  return { track: text.slice(0, at), row: Number(text.slice(at + 1)) };
}

// The selected keys that exist, as {track, key}, in track order then row.
export function selectedKeys(state, selection) {
  const out = [];
  for (const track of state.tracks) {
    for (const key of track.keys) {
      if (selection.has(selectionKey(track.name, key.row))) out.push({ track: track.name, key });
    }
  }
  return out;
}

// Edits that move the selected keys by rowDelta rows and add valueDelta to
// their values, as one step. A key never lands on a row that holds a key
// not itself moving: that move is refused. Rows move in an order where no
// key lands on one that has yet to move. Returns {edits, selection} with the
// selection at the keys' new rows, or {error}.
export function moveEdits(state, selection, rowDelta, valueDelta = 0) {
  const picked = selectedKeys(state, selection);
  if (picked.length === 0) return { error: 'no key selected' };
  const moves = [];
  const values = [];
  const next = new Set();
  for (const track of state.tracks) {
    const mine = picked.filter((p) => p.track === track.name);
    if (mine.length === 0) continue;
    const movedRows = new Set(mine.map((p) => p.key.row));
    for (const p of mine) {
      const to = p.key.row + rowDelta;
      const problem = rowProblem(to, state.maxRow ?? INT32_MAX);
      if (problem) return { error: problem };
      if (rowDelta !== 0 && !movedRows.has(to) && keyAt(track.keys, to)) return { error: occupiedMessage(track.name, to) };
      next.add(selectionKey(track.name, to));
    }
    if (rowDelta !== 0) {
      const ordered = rowDelta > 0 ? mine.slice().reverse() : mine;
      for (const p of ordered) moves.push({ op: 'move', track: track.name, row: p.key.row, toRow: p.key.row + rowDelta });
    }
    if (valueDelta !== 0) {
      for (const p of mine) {
        const value = Math.fround(p.key.value + valueDelta);
        if (!Number.isFinite(value)) return { error: `the value would be beyond the largest value a track holds, ${FLOAT_MAX_TEXT}` };
        values.push({ op: 'value', track: track.name, row: p.key.row + rowDelta, value });
      }
    }
  }
  return { edits: [...moves, ...values], selection: next };
}

export function deleteEdits(state, selection) {
  return selectedKeys(state, selection).map((p) => ({ op: 'delete', track: p.track, row: p.key.row }));
}

export function kindEdits(state, selection, kind) {
  return selectedKeys(state, selection)
    .filter((p) => p.key.kind !== kind)
    .map((p) => ({ op: 'kind', track: p.track, row: p.key.row, kind }));
}

// The selected keys with rows relative to the first: {keys: [{track, dRow,
// value, kind}]}, or null when nothing is selected.
export function copyKeys(state, selection) {
  const picked = selectedKeys(state, selection);
  if (picked.length === 0) return null;
  const first = Math.min(...picked.map((p) => p.key.row));
  return { keys: picked.map((p) => ({ track: p.track, dRow: p.key.row - first, value: p.key.value, kind: p.key.kind })) };
}

// Edits that paste copied keys with their first at row: the copied
// tracks, in their order, go to the target tracks in order (the selected
// lane and the lanes below it). A key already at a row the paste lands on
// is not replaced: the paste is refused. Returns {edits, selection} or
// {error}.
export function pasteEdits(state, clipboard, row, targets) {
  const fromTracks = [...new Set(clipboard.keys.map((k) => k.track))];
  if (fromTracks.length > targets.length) {
    const lanes = targets.length === 1 ? 'lane' : 'lanes';
    return { error: `${fromTracks.length} lanes copied, and ${targets.length} ${lanes} from ${targets[0] ?? 'the selected one'} down` };
  }
  const to = new Map(fromTracks.map((name, i) => [name, targets[i]]));
  const edits = [];
  const selection = new Set();
  for (const k of clipboard.keys) {
    const track = to.get(k.track);
    const t = trackIndex(state, track);
    if (t < 0) continue;
    const at = row + k.dRow;
    const problem = rowProblem(at, state.maxRow ?? INT32_MAX);
    if (problem) return { error: problem };
    if (keyAt(state.tracks[t].keys, at)) return { error: occupiedMessage(track, at) };
    edits.push({ op: 'set', track, row: at, value: k.value, kind: k.kind });
    selection.add(selectionKey(track, at));
  }
  return { edits, selection };
}

// A typed value: {value} or {error} naming what was typed.
export function parseValue(text) {
  const t = String(text).trim();
  const v = Number(t);
  if (t === '' || !Number.isFinite(v)) return { error: `'${t}' is not a number` };
  if (Math.abs(v) > FLOAT_MAX) return { error: `${t} is beyond the largest value a track holds, ${FLOAT_MAX_TEXT}` };
  if (v !== 0 && Math.fround(v) === 0) return { error: `${t} is too small for a track: it would be 0` };
  return { value: v };
}

// A typed row: {row} or {error}.
export function parseRow(text, maxRow) {
  const t = String(text).trim();
  if (t === '') return { error: 'the row is empty: a row is a whole number' };
  const row = Number(t);
  if (!Number.isInteger(row)) return { error: `'${t}' is not a row: a row is a whole number` };
  const problem = rowProblem(row, maxRow);
  return problem ? { error: problem } : { row };
}

// The lowest and highest value of a track's keys, widened where they are
// equal, for fitting the curve to a lane.
export function valueRange(keys) {
  if (keys.length === 0) return { min: -1, max: 1 };
  let min = Infinity;
  let max = -Infinity;
  for (const k of keys) {
    if (k.value < min) min = k.value;
    if (k.value > max) max = k.value;
  }
  if (max - min < 1e-9 * Math.max(1, Math.abs(max))) {
    const pad = Math.max(1, Math.abs(max) * 0.5);
    return { min: min - pad, max: max + pad };
  }
  return { min, max };
}

// The section spelt exactly so, as the player's --start finds one.
export function sectionNamed(sections, name) {
  return sections.find((s) => s.name === name) || null;
}

export function unknownSection(name, sections) {
  if (sections.length === 0) return `unknown section '${name}' (the production has no section table)`;
  return `unknown section '${name}' (sections: ${sections.map((s) => s.name).join(', ')})`;
}

// The section a time falls in: the last one starting at or before it.
export function sectionAt(sections, time) {
  let found = -1;
  for (let i = 0; i < sections.length; ++i) if (sections[i].start <= time + 1e-9) found = i;
  return found;
}

// What L loops: the selected keys' rows, else the section at a time.
// {from, to} in seconds, or {error}.
export function loopRange(state, selection, time) {
  const rps = state.rowsPerSecond;
  const rows = selectedKeys(state, selection).map((p) => p.key.row);
  if (rows.length > 1 && Math.max(...rows) > Math.min(...rows)) return { from: Math.min(...rows) / rps, to: Math.max(...rows) / rps };
  const sections = state.sections;
  const i = sectionAt(sections, time);
  if (i < 0) return { error: 'no section here to loop' };
  return { from: sections[i].start, to: i + 1 < sections.length ? sections[i + 1].start : state.musicLength };
}
