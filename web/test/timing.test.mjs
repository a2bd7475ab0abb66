// The music's timing on the page: snapping, stepping and spans over beats
// whose tempo changes, the row grid when the music has no pulse or is not
// analysed yet; and time inserted or removed at a row as one step that the
// player is asked for, refused by the page or the player where keys would
// be lost, and undone by the opposite shift.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { MusicTiming, readMusic } from '../editor/music.js';
import { Session } from '../editor/session.js';
import { scriptedLink, turns } from './scripted_link.mjs';
import { shiftAtRow } from '../editor/time_shift.js';

// 120 BPM for two bars (a beat every 8 rows), then 90 BPM (every 10.67).
function tempoChange() {
  const beats = [];
  for (let i = 0; i < 8; ++i) beats.push({ time: 1 + i * 0.5, bar: i % 4 === 0 });
  for (let i = 0; i < 8; ++i) beats.push({ time: 5 + i * (2 / 3), bar: i % 4 === 0 });
  const onsets = [{ time: 1.01 }, { time: 1.3 }, { time: 2.02 }];
  return { ready: true, tempo: 120, pulse: true, beats: beats.map((b) => ({ ...b, row: Math.round(b.time * 16) })), onsets };
}

test('beats, bars and onsets follow the music across a tempo change; the row grid stands in without a pulse', () => {
  const t = new MusicTiming(16, 32);
  assert.equal(t.mode, 'bars', 'before the analysis: the row grid\'s bars');
  assert.equal(t.step(40, 1), 64);
  assert.equal(t.step(40, -1), 32);
  assert.equal(t.snap(43), 32);
  assert.equal(t.snap(43, 'beats'), 40, 'row grid beats of 8 rows');
  assert.equal(t.span(40, 2, 'beats'), 16);

  t.setMusic(readMusic(tempoChange()));
  assert.equal(t.mode, 'beats', 'beats once the music has a pulse');
  // The 120 BPM part: beats at rows 16, 24, ... 72; then 80, 90.67, 101.33, ...
  assert.equal(t.snap(19.9), 16);
  assert.equal(t.snap(20.1), 24);
  assert.equal(t.snap(85.3), 80);
  assert.equal(t.snap(85.4), 91);
  assert.equal(t.step(72, 1), 80);
  assert.equal(t.step(80, 1), 91);
  assert.equal(t.step(91, -2), 72);
  assert.equal(t.step(75, -1), 72, 'from between beats, back to the one before');
  assert.equal(t.step(0, 1), 8, 'before the first beat, carried back at its spacing');
  // Past the last beat (row 154.67) the beats go on at the last spacing.
  assert.equal(t.step(155, 1), 165);
  assert.equal(t.step(16, 2, 'bars'), 80);
  assert.equal(t.snap(100, 'bars'), 80);
  // A bar at the playhead is the music's bar there.
  assert.equal(t.span(16, 1, 'bars'), 32);
  assert.equal(t.span(80, 1, 'bars'), 43);
  assert.equal(t.span(76, 1, 'beats'), 9, 'half a beat of each tempo');
  assert.equal(t.span(80, 3, 'rows'), 3);
  assert.deepEqual(t.place(48), { bar: 1, beat: 1 });
  assert.deepEqual(t.place(96), { bar: 2, beat: 2.5 });
  // Onsets: nearest, stepping stops at the last.
  assert.deepEqual(t.modes(), ['beats', 'bars', 'onsets', 'rows']);
  assert.equal(t.snap(22, 'onsets'), 21);
  assert.equal(t.step(21, 1, 'onsets'), 32);
  assert.equal(t.step(32, 1, 'onsets'), 32);
  assert.equal(t.cycleMode(), 'bars');
  assert.equal(t.cycleMode(), 'onsets');
  assert.equal(t.cycleMode(), 'rows');
  assert.equal(t.step(91, 1), 92);
  // Back to the row grid: beats and bars of rows again, the mode kept.
  t.cycleMode();
  t.toggleGrid();
  assert.equal(t.gridLines(0, 100), null);
  assert.equal(t.step(91, 1, 'bars'), 96);
  t.toggleGrid();
  assert.deepEqual(t.gridLines(70, 95).bars, [80]);

  // Music without a pulse: no beats, the row grid, onsets still there.
  const pad = readMusic({ ready: true, tempo: 0, pulse: false, beats: [], onsets: [{ time: 2, row: 32 }] });
  const p = new MusicTiming(16, 32);
  p.setMusic(pad);
  assert.equal(p.mode, 'bars');
  assert.equal(p.onMusicGrid(), false);
  assert.equal(p.snap(30, 'onsets'), 32);
  assert.equal(readMusic({ ready: false, tempo: 0, beats: [], onsets: [] }).ready, false);
  assert.equal(readMusic(null).pulse, false);
});

function state(version, keys) {
  return {
    version,
    rowsPerSecond: 16,
    rowsPerBar: 32,
    musicLength: 60,
    maxRow: 1472,
    tracks: Object.entries(keys).map(([name, list]) => ({ name, label: '', keys: list.map(([row, value]) => ({ row, value, kind: 'step' })) })),
    sections: [],
  };
}

const rows = (s, name) => s.trackByName.get(name).keys.map((k) => k.row).join(' ');

test('time inserted at a row moves the keys after it in every track as one step; undo removes it; a removal over keys is refused', async () => {
  const link = scriptedLink(state(1, { 7: [[0, 1], [16, 2], [48, 3]], 11: [[20, 1]] }));
  const s = new Session(link);
  const messages = [];
  s.onMessage = (text) => messages.push(text);
  await s.load();
  s.commitShift(shiftAtRow(16, 32, false));
  assert.equal(rows(s, '7'), '0 48 80', 'shown at once');
  assert.equal(rows(s, '11'), '52');
  await turns();
  assert.deepEqual(link.posts, [{ shift: { at: 16, by: 32 } }]);
  s.undoStep();
  await turns();
  assert.deepEqual(link.posts[1], { shift: { at: 48, by: -32 } });
  assert.equal(rows(s, '7'), '0 16 48');
  s.undoStep(true);
  await turns();
  assert.deepEqual(link.posts[2], { shift: { at: 16, by: 32 } });

  // Removing rows 40 to 55 would delete track 7's key at 48: the page says
  // so and sends nothing.
  s.commitShift(shiftAtRow(40, 16, true));
  assert.equal(messages.at(-1), 'removing rows 40 to 55 would delete keys: track 7 row 48, track 11 row 52');
  assert.equal(link.posts.length, 3);
  // The player's own refusal is shown in its words and the step leaves undo.
  const error = 'removing rows 0 to 15 would delete keys: track 7 row 0';
  link.json = state(5, { 7: [[0, 1], [48, 2], [80, 3]], 11: [[52, 1]] });
  link.answers.push({ status: 409, body: { error, version: 5 } });
  s.commitShift(shiftAtRow(20, 8, true));
  assert.equal(rows(s, '7'), '0 40 72');
  await turns();
  assert.equal(messages.at(-1), `the player refused the edit: ${error}`);
  assert.equal(rows(s, '7'), '0 48 80', 'taken back');
  s.undoStep();
  await turns();
  assert.deepEqual(link.posts.at(-1), { shift: { at: 48, by: -32 } }, 'undo skips the refused step');
});
