// A drag of keys as the pointer moves: nothing below the threshold, rows
// snapped (to the snapping mode's units with Shift), and where a key is in
// the way the reason at once with no preview and nothing to commit.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readState, selectionKey } from '../editor/model.js';
import { dragTo, clickSelection } from '../editor/gestures.js';
import { snapRow } from '../editor/timeline.js';

test('a sideways drag moves the selected keys by rows, and stops with the reason where a key is in the way', () => {
  const state = readState({
    rowsPerSecond: 16,
    rowsPerBar: 32,
    musicLength: 60,
    tracks: [{ name: '7', keys: [{ row: 0, value: 0, kind: 'step' }, { row: 32, value: 1, kind: 'linear' }, { row: 70, value: 2, kind: 'step' }] }],
  });
  const view = { start: 0, pxPerSecond: 16 }; // a row a pixel
  const selection = clickSelection(new Set(), '7', 32, {});
  const drag = { x0: 100, y0: 50, row: 32, axis: null, valuePerPixel: 0.1 };
  assert.deepEqual(dragTo(state, selection, drag, 102, 51, {}, view), {});
  const on = dragTo(state, selection, drag, 110, 52, {}, view);
  assert.deepEqual(on.edits, [{ op: 'move', track: '7', row: 32, toRow: 42 }]);
  assert.deepEqual([...on.selection], [selectionKey('7', 42)]);
  assert.deepEqual(on.preview.tracks[0].keys.map((k) => k.row), [0, 42, 70]);
  // Onto row 70 the drag is refused as it happens; snapped to bars it goes to 64.
  assert.deepEqual(dragTo(state, selection, drag, 138, 52, {}, view), { error: 'row 70 of track 7 holds a key' });
  assert.equal(dragTo(state, selection, drag, 140, 52, { snap: (row) => snapRow(row, true, 32) }, view).edits[0].toRow, 64);
  // The axis, once taken, stays: moving up later changes no value.
  assert.equal(dragTo(state, selection, drag, 100, 0, {}, view).edits, undefined);
});
