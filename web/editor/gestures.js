// What the pointer does on the timeline, as functions of the scene and the
// pointer: the selection a click or a rubber band makes, the edits and the
// preview of a drag (or why it cannot go there), the row a double-click
// puts a key on and the time a scrub seeks to. No DOM.

import { applyEdits, moveEdits, selectionKey } from './model.js';
import { snapRow, xToTime } from './timeline.js';
import { areas, laneValuePerPixel, laneValueToY } from './view.js';
import { findKey } from './sync_curve.js';

export const DRAG_THRESHOLD_PX = 3;
const FINE_DRAG = 0.1;
// A lane name's fold arrow takes the first pixels of its header.
const FOLD_ARROW_PX = 18;

export function onFoldArrow(x) {
  return x < FOLD_ARROW_PX;
}

// A click on a key: Ctrl toggles it in the selection, Shift adds it (so a
// Shift-drag of a selected key, snapping to bars, keeps it selected), a
// plain click selects it alone unless it is selected already (to drag the
// selection).
export function clickSelection(selection, track, row, { toggle, add }) {
  const k = selectionKey(track, row);
  const out = new Set(selection);
  if (toggle) {
    if (!out.delete(k)) out.add(k);
    return out;
  }
  if (add || out.has(k)) return out.add(k);
  return new Set([k]);
}

// A drag beginning on a key of a lane.
export function startDrag(scene, hit, x, y) {
  const lane = scene.layout.lanes[hit.lane];
  const keys = scene.trackByName.get(hit.track).keys;
  return { x0: x, y0: y, row: hit.key.row, axis: null, valuePerPixel: laneValuePerPixel(keys, lane.h) };
}

// Where a drag has got to: sideways it moves the selected keys by rows
// (toBar: the dragged key snaps to bars), up or down it changes their
// values (fine: a tenth as fast). Returns {} below the threshold or where
// nothing moves, {error} where the keys cannot go (a key in the way, a row
// out of range: nothing is previewed), else {edits, selection, preview}.
export function dragTo(state, selection, drag, x, y, { toBar, fine }, view) {
  const dx = x - drag.x0;
  const dy = y - drag.y0;
  if (!drag.axis) {
    if (Math.max(Math.abs(dx), Math.abs(dy)) < DRAG_THRESHOLD_PX) return {};
    drag.axis = Math.abs(dx) >= Math.abs(dy) ? 'time' : 'value';
  }
  let rowDelta = 0;
  let valueDelta = 0;
  if (drag.axis === 'time') {
    const row = drag.row + (dx / view.pxPerSecond) * state.rowsPerSecond;
    rowDelta = snapRow(row, toBar, state.rowsPerBar) - drag.row;
  } else {
    valueDelta = -dy * drag.valuePerPixel * (fine ? FINE_DRAG : 1);
  }
  const moved = moveEdits(state, selection, rowDelta, valueDelta);
  if (moved.error) return { error: moved.error };
  if (moved.edits.length === 0) return {};
  const applied = applyEdits(state, moved.edits);
  if (applied.error) return { error: applied.error };
  return { edits: moved.edits, selection: moved.selection, preview: applied.state };
}

// The keys inside a rubber band {x0, y0, x1, y1} on open lanes, added to
// base.
export function rubberSelection(scene, rubber, base) {
  const a = areas(scene.width, scene.height);
  const t0 = xToTime(scene.view, Math.min(rubber.x0, rubber.x1) - a.timeLeft);
  const t1 = xToTime(scene.view, Math.max(rubber.x0, rubber.x1) - a.timeLeft);
  const yTop = Math.min(rubber.y0, rubber.y1);
  const yBottom = Math.max(rubber.y0, rubber.y1);
  const rps = scene.rowsPerSecond;
  const selection = new Set(base);
  for (const lane of scene.layout.lanes) {
    const top = a.lanesTop + lane.y - scene.laneScroll;
    if (lane.collapsed || top > yBottom || top + lane.h < yTop) continue;
    const track = scene.trackByName.get(lane.track);
    const yOf = laneValueToY(track.keys, top, lane.h);
    for (let i = Math.max(0, findKey(track.keys, Math.floor(t0 * rps))); i < track.keys.length; ++i) {
      const k = track.keys[i];
      if (k.row / rps > t1) break;
      const ky = yOf(k.value);
      if (k.row / rps >= t0 && ky >= yTop && ky <= yBottom) selection.add(selectionKey(lane.track, k.row));
    }
  }
  return selection;
}

// The row a double-click at a time puts a key on (toBar: the nearest bar).
export function doubleClickRow(time, toBar, rowsPerSecond, rowsPerBar) {
  return snapRow(time * rowsPerSecond, toBar, rowsPerBar);
}

// The time a scrub of the ruler seeks to: a row's (toBar: a bar's) start.
export function scrubTime(time, toBar, rowsPerSecond, rowsPerBar) {
  return snapRow(time * rowsPerSecond, toBar, rowsPerBar) / rowsPerSecond;
}
