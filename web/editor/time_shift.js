// Time inserted or removed across every track, as the page shows it before
// the player answers: a shift {at, by} moves each key at or after row AT by
// BY rows (BY < 0 removes the rows from AT + BY up to AT, and is refused
// where keys stand there); it is undone by the shift {at + by, -by}. The
// page's command at the playhead in these terms. No DOM.

import { selectionKey, parseSelectionKey, rowProblem } from './model.js';

const NAMED_KEYS = 6;

export function inverseShift(shift) {
  return { at: shift.at + shift.by, by: -shift.by };
}

// The shift that inserts (or, with remove, takes out) rows at a row.
export function shiftAtRow(row, rows, remove) {
  return remove ? { at: row + rows, by: -rows } : { at: row, by: rows };
}

function describeKeys(found) {
  const named = found.slice(0, NAMED_KEYS).map((k) => `track ${k.track} row ${k.row}`).join(', ');
  return found.length > NAMED_KEYS ? `${named} and ${found.length - NAMED_KEYS} more` : named;
}

// The state with the shift applied: {state} or {error}.
export function applyShift(state, { at, by }) {
  if (!Number.isInteger(at) || !Number.isInteger(by) || by === 0) return { error: `no shift of ${by} rows at row ${at}` };
  const problem = rowProblem(at + Math.min(0, by), state.maxRow ?? Infinity);
  if (problem) return { error: problem };
  if (by < 0) {
    const lost = [];
    for (const t of state.tracks) for (const k of t.keys) if (k.row >= at + by && k.row < at) lost.push({ track: t.name, row: k.row });
    if (lost.length) return { error: `removing rows ${at + by} to ${at - 1} would delete keys: ${describeKeys(lost)}` };
  }
  const tracks = [];
  for (const t of state.tracks) {
    const last = t.keys.length ? t.keys[t.keys.length - 1] : null;
    if (!last || last.row < at) {
      tracks.push(t);
      continue;
    }
    const moved = last.row + by;
    const tooLate = rowProblem(moved, state.maxRow ?? Infinity);
    if (tooLate) return { error: `track ${t.name}: ${tooLate}` };
    tracks.push({ ...t, keys: t.keys.map((k) => (k.row >= at ? { ...k, row: k.row + by } : k)) });
  }
  return { state: { ...state, tracks } };
}

// A selection with its keys at or after the shift's row moved with them.
export function shiftSelection(selection, { at, by }) {
  const out = new Set();
  for (const text of selection) {
    const { track, row } = parseSelectionKey(text);
    out.add(row >= at ? selectionKey(track, row + by) : text);
  }
  return out;
}
