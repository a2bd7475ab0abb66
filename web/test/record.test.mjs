// Record: a knob's take reduced to the fewest linear keys within the
// tolerance (checked against every choice of keys on small takes), taps
// snapped to beats and sent in batches as one undo step, and a knob take,
// seen only every few rows, sent as one step of a few linear keys in place
// of the keys it passed.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { reduceTake } from '../editor/take_reduce.js';
import { Recorder, TAP_BATCH_MS } from '../editor/recorder.js';
import { MusicTiming, readMusic } from '../editor/music.js';
import { Session } from '../editor/session.js';
import { scriptedLink, turns } from './scripted_link.mjs';

// The largest distance between the samples and the line through the keys.
function worstError(samples, keys) {
  let worst = 0;
  for (const s of samples) {
    const i = keys.findIndex((k, j) => k.row <= s.row && (j === keys.length - 1 || keys[j + 1].row >= s.row));
    const a = keys[i];
    const b = keys[Math.min(i + 1, keys.length - 1)];
    const v = b.row === a.row ? a.value : a.value + ((s.row - a.row) / (b.row - a.row)) * (b.value - a.value);
    worst = Math.max(worst, Math.abs(v - s.value));
  }
  return worst;
}

test('a take becomes the fewest keys on its rows that stay within the tolerance', () => {
  let seed = 7;
  const random = () => ((seed = (seed * 1103515245 + 12345) >>> 0) / 4294967296);
  for (let round = 0; round < 300; ++round) {
    const n = 2 + Math.floor(random() * 9);
    const samples = [];
    let row = Math.floor(random() * 20);
    let value = random();
    for (let i = 0; i < n; ++i) {
      samples.push({ row, value });
      row += 1 + Math.floor(random() * 3);
      value += (random() - 0.5) * (round % 3 === 0 ? 0.02 : 0.4);
    }
    const tolerance = [0, 0.01, 0.05, 0.2][round % 4];
    const keys = reduceTake(samples, tolerance);
    assert.ok(worstError(samples, keys) <= tolerance + 1e-12, `round ${round}`);
    assert.deepEqual([keys[0].row, keys.at(-1).row], [samples[0].row, samples.at(-1).row]);
    // Every subset of the inner rows that fits has at least as many keys.
    let fewest = Infinity;
    for (let mask = 0; mask < 1 << (n - 2); ++mask) {
      const chosen = [samples[0], ...samples.slice(1, -1).filter((_, i) => mask & (1 << i)), samples[n - 1]];
      if (chosen.length < fewest && worstError(samples, chosen) <= tolerance + 1e-12) fewest = chosen.length;
    }
    assert.equal(keys.length, fewest, `round ${round}`);
  }
  // A ramp up and down, recorded row by row with a 7-bit controller's steps.
  const take = [];
  for (let r = 0; r <= 64; ++r) take.push({ row: r, value: Math.round(127 * (r <= 40 ? r / 40 : (64 - r) / 24)) / 127 });
  assert.deepEqual(reduceTake(take, 0.01).map((k) => k.row), [0, 40, 64]);
});

// The state of a page with these lanes ([row, value, kind] keys).
function stateWith(keys) {
  return {
    version: 1,
    rowsPerSecond: 16,
    rowsPerBar: 32,
    musicLength: 60,
    maxRow: 1472,
    tracks: Object.entries(keys).map(([name, list]) => ({ name, label: '', keys: list.map(([row, value, kind]) => ({ row, value, kind })) })),
    sections: [],
  };
}

async function recording(keys) {
  const link = scriptedLink(stateWith(keys));
  const session = new Session(link);
  await session.load();
  const timing = new MusicTiming(16, 32);
  // 120 BPM from 0.5 s: a beat every 8 rows from row 8.
  const beats = Array.from({ length: 40 }, (_, i) => ({ time: 0.5 + i * 0.5, row: 8 + 8 * i, bar: i % 4 === 0 }));
  timing.setMusic(readMusic({ ready: true, tempo: 120, pulse: true, beats, onsets: [] }));
  const show = { time: 0, playing: true, now: 0 };
  const recorder = new Recorder(session, timing, { time: () => show.time, playing: () => show.playing, now: () => show.now });
  recorder.toggle();
  return { link, session, show, recorder };
}

const text = (state, track) => state.tracks.find((t) => t.name === track).keys.map((k) => `${k.row}:${Math.round(k.value * 1000) / 1000}:${k.kind}`).join(' ');

test('taps land on the nearest beat, go out in batches, and one undo takes the whole take back', async () => {
  const { link, session, show, recorder } = await recording({ 16: [[0, 0.05, 'step']] });
  const before = text(session.state, '16');
  session.selectTrack('16');
  const tapAt = (seconds, value) => {
    show.time = seconds;
    assert.ok(recorder.tap(value));
  };
  tapAt(1.03, 0.5); // row 16.5: the beat at 16
  tapAt(1.22, null); // row 19.5: the beat at 16 again, the value there kept
  tapAt(1.27, 1); // row 20.3: the beat at 24
  assert.equal(text(recorder.preview(session.state), '16'), '0:0.05:0 16:0.5:0 24:1:0', 'shown before it is sent');
  assert.equal(link.posts.length, 0);
  show.now = TAP_BATCH_MS;
  recorder.tick();
  await turns();
  tapAt(2.2, 0.3); // row 35.2: the beat at 32
  show.now = 2 * TAP_BATCH_MS;
  recorder.tick();
  await turns();
  assert.deepEqual(link.posts.map((edits) => edits.map((e) => `${e.op} ${e.row} ${e.value}`)), [['set 16 0.5', 'set 24 1'], ['set 32 0.3']]);
  assert.equal(text(session.state, '16'), '0:0.05:0 16:0.5:0 24:1:0 32:0.3:0');
  // The show stops: the take ends; one undo takes back every tap.
  show.playing = false;
  recorder.tick();
  assert.equal(recorder.tap(0.2), false, 'no taps while the show stands');
  session.undoStep();
  await turns();
  assert.equal(link.posts.length, 3);
  assert.deepEqual(link.posts[2].map((e) => `${e.op} ${e.row}`), ['delete 32', 'delete 24', 'delete 16']);
  assert.equal(text(session.state, '16'), before);
});

test('a knob take becomes a few linear keys in place of the keys it passed, as one step', async () => {
  const { link, session, show, recorder } = await recording({ 7: [[0, 0, 'step'], [20, 0.5, 'step'], [48, 1, 'step']] });
  // Up from row 4 to 22, down to 36: the lane's range is 0 to 1. The page
  // looks every third row only, as on a busy machine.
  const share = (row) => (row <= 22 ? (row - 4) / 18 : (36 - row) / 14);
  for (const row of [4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 34, 36]) {
    show.time = row / 16 + 0.01;
    recorder.knob('7', share(row));
    recorder.tick();
  }
  assert.equal(link.posts.length, 0, 'nothing sent during the take');
  show.playing = false;
  recorder.tick();
  await turns();
  assert.equal(link.posts.length, 1);
  assert.deepEqual(link.posts[0].map((e) => `${e.op} ${e.row}${e.op === 'set' ? ` ${e.value} ${e.kind}` : ''}`), [
    'delete 20',
    'set 4 0 linear',
    'set 22 1 linear',
    'set 36 0 linear',
  ]);
  assert.equal(text(session.state, '7'), '0:0:0 4:0:1 22:1:1 36:0:1 48:1:0');
  session.undoStep();
  await turns();
  assert.equal(text(session.state, '7'), '0:0:0 20:0.5:0 48:1:0');
  assert.equal(link.posts.length, 2);
});
