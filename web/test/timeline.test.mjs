// Timeline maths: screen position and time, zoom about the pointer,
// snapping to rows and bars, stepping by rows and bars, ruler spacing, and
// typed times.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  timeToX, xToTime, zoomAt, fitView, revealTime, snapRow, rowAtTime, stepRow, tickRows, tickSeconds, formatTime, parseTime,
  MAX_PX_PER_SECOND,
} from '../editor/timeline.js';

test('zooming keeps the time under the pointer in place and stops at its limits', () => {
  const view = { start: 3, pxPerSecond: 50 };
  const x = 417;
  const pinned = xToTime(view, x);
  for (const factor of [1.7, 0.3, 40]) {
    const zoomed = zoomAt(view, x, factor);
    assert.ok(Math.abs(xToTime(zoomed, x) - pinned) < 1e-9);
    assert.ok(Math.abs(timeToX(zoomed, pinned) - x) < 1e-9);
  }
  assert.equal(zoomAt(view, x, 1e6).pxPerSecond, MAX_PX_PER_SECOND);
  const whole = fitView(0, 300, 1500);
  assert.equal(timeToX(whole, 300), 1500);
  // Revealing a time off screen brings it in with a margin; one in sight stays.
  assert.equal(revealTime(whole, 100, 1500), whole);
  const later = revealTime({ start: 0, pxPerSecond: 100 }, 30, 1000);
  assert.ok(timeToX(later, 30) >= 100 && timeToX(later, 30) <= 900);
});

test('drags snap to rows, or with Shift to bars', () => {
  assert.equal(snapRow(40.49, false, 32), 40);
  assert.equal(snapRow(40.5, false, 32), 41);
  assert.equal(snapRow(-3.6, false, 32), -4);
  assert.equal(snapRow(47.9, true, 32), 32);
  assert.equal(snapRow(48, true, 32), 64);
  assert.equal(snapRow(-17, true, 32), -32);
});

test('the playhead stands on a row, and steps move by rows and bars', () => {
  // A seek to row r is r / 16 s: it stays on row r, whatever the rounding.
  for (let r = 0; r < 5000; r += 7) assert.equal(rowAtTime(r / 16, 16), r);
  assert.equal(rowAtTime(1.0624, 16), 16);
  assert.equal(stepRow(40, 1, false, 32), 41);
  assert.equal(stepRow(40, -1, false, 32), 39);
  assert.equal(stepRow(40, 1, true, 32), 64);
  assert.equal(stepRow(40, -1, true, 32), 32);
  assert.equal(stepRow(32, -1, true, 32), 0);
  assert.equal(stepRow(32, 1, true, 32), 64);
});

test('ruler ticks keep their distance and typed times are read', () => {
  assert.equal(tickRows(10, 6), 1);
  assert.equal(tickRows(1, 6), 8);
  assert.equal(tickRows(0.05, 6), 128);
  assert.ok(tickSeconds(100, 80) * 100 >= 80);
  assert.equal(tickSeconds(100, 80), 1);
  assert.equal(formatTime(75.5), '1:15.50');
  assert.equal(formatTime(-0.25), '-0:00.25');
  assert.equal(formatTime(59.999), '1:00.00');
  assert.equal(parseTime('75.5', 16), 75.5);
  assert.equal(parseTime('1:15.5', 16), 75.5);
  assert.equal(parseTime('r1208', 16), 75.5);
  assert.ok(Number.isNaN(parseTime('1:1x', 16)));
  assert.ok(Number.isNaN(parseTime('', 16)));
});
