// What the pointer does on the timeline, as functions of the scene and the
// pointer: the selection a click or a rubber band makes, the edits and the
// preview of a drag (or why it cannot go there), the row a double-click
// puts a key on, the time a scrub seeks to, and the readout of the row,
// time, beat and value under the pointer. Shift snaps to the snapping
// mode's units: snap is then a function of a fractional row giving a whole
// row. No DOM.

import { applyEdits, moveEdits, selectionKey, formatValue } from './model.js';
import { xToTime, formatTime } from './timeline.js';
import { areas, laneValuePerPixel, laneValueToY, laneYToValue } from './view.js';
import { findKey } from './sync_curve.js';
import { formatPlace } from './music.js';

export const DRAG_THRESHOLD_PX = 3;
const FINE_DRAG = 0.1;
// A lane name's fold arrow takes the first pixels of its header.
const FOLD_ARROW_PX = 18;

export function onFoldArrow(x) {
  return x < FOLD_ARROW_PX;
}

// A click on a key: Ctrl toggles it in the selection, Shift adds it (so a
// Shift-drag of a selected key, snapping to the mode's units, keeps it
// selected), a
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
  return { x0: x, y0: y, track: hit.track, row: hit.key.row, axis: null, valuePerPixel: laneValuePerPixel(keys, lane.h) };
}

// Where a drag has got to: sideways it moves the selected keys by rows
// (snap: the dragged key snaps to the mode's units), up or down it changes
// their values (fine: a tenth as fast). Returns {} below the threshold or
// where nothing moves, {error} where the keys cannot go (a key in the way,
// a row out of range: nothing is previewed), else {edits, selection,
// preview}.
export function dragTo(state, selection, drag, x, y, { snap, fine }, view) {
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
    rowDelta = (snap ? snap(row) : Math.round(row)) - drag.row;
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

// The row a double-click at a time puts a key on (snap: the nearest unit).
export function doubleClickRow(time, snap, rowsPerSecond) {
  return snap ? snap(time * rowsPerSecond) : Math.round(time * rowsPerSecond);
}

// The time a scrub of the ruler seeks to: a row's (snap: a unit's) start.
export function scrubTime(time, snap, rowsPerSecond) {
  return doubleClickRow(time, snap, rowsPerSecond) / rowsPerSecond;
}

// What the readout says at a point: the row and time under the pointer,
// where that stands in bars and beats, and on a lane its value at the
// pointer's height; while a key is dragged, that key's row and value.
// place(row) gives {bar, beat}. Returns the text, or '' off the timeline.
export function readoutText(scene, hit, y, place, dragged = null) {
  const rps = scene.rowsPerSecond;
  let row;
  let value = null;
  let track = hit.track;
  if (dragged) {
    ({ row, value, track } = dragged);
  } else {
    if (!['lane', 'ruler', 'sections', 'spectrum'].includes(hit.area)) return '';
    row = Math.round(hit.time * rps);
    if (hit.area === 'lane' && hit.lane >= 0) {
      const lane = scene.layout.lanes[hit.lane];
      const keys = scene.trackByName.get(lane.track).keys;
      if (!lane.collapsed) {
        // As many decimals as a pixel of the lane can tell apart.
        const top = areas(scene.width, scene.height).lanesTop + lane.y - scene.laneScroll;
        const decimals = Math.min(6, Math.max(0, -Math.floor(Math.log10(laneValuePerPixel(keys, lane.h)))));
        value = Number(laneYToValue(keys, top, lane.h)(y).toFixed(decimals));
      }
    }
  }
  const parts = [`row ${row}`, formatTime(row / rps), formatPlace(place(row))];
  if (value !== null) parts.push(`track ${track} = ${formatValue(value)}`);
  return parts.join('  ');
}
