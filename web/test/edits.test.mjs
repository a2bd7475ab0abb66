// Edits on the page's model and the undo stack that takes them back: long
// random edit sessions undone step by step give back the original keys
// exactly and redone give the final ones; moves never land on a key; each
// edit names the key it found; typed values and rows are checked; pasting
// and refused steps behave as the page relies on.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  readState, applyEdits, wireEdits, moveEdits, pasteEdits, copyKeys, selectionKey, deleteEdits, parseValue, parseRow,
} from '../editor/model.js';
import { UndoStack } from '../editor/undo.js';

function startState() {
  return readState({
    version: 1,
    rowsPerSecond: 16,
    rowsPerBar: 32,
    musicLength: 60,
    tracks: [
      { name: '0', label: 'a', keys: [{ row: 0, value: 0, kind: 'step' }, { row: 32, value: 1.5, kind: 'linear' }, { row: 64, value: -2, kind: 'smooth' }] },
      { name: '16', label: 'b', keys: [{ row: 8, value: 0.05, kind: 'ramp' }] },
      { name: '3', label: '', keys: [] },
    ],
    sections: [],
  });
}

function keysOf(state) {
  return state.tracks.map((t) => `${t.name}: ${t.keys.map((k) => `${k.row}/${k.value}/${k.kind}`).join(' ')}`).join('\n');
}

function random(seed) {
  let a = seed >>> 0;
  return () => ((a = (Math.imul(a, 1664525) + 1013904223) >>> 0) / 4294967296);
}

// A random edit that the state accepts (or a random group of them).
function randomStep(state, rnd) {
  const track = state.tracks[Math.floor(rnd() * state.tracks.length)];
  const keys = track.keys;
  const some = keys.length ? keys[Math.floor(rnd() * keys.length)] : null;
  const row = Math.floor(rnd() * 200);
  const value = Math.round((rnd() * 20 - 10) * 1000) / 1000;
  const choice = Math.floor(rnd() * 7);
  if (!some || choice === 0) return [{ op: 'set', track: track.name, row, value, kind: ['step', 'linear', 'smooth', 'ramp'][row & 3] }];
  if (choice === 1) return [{ op: 'delete', track: track.name, row: some.row }];
  if (choice === 2) return [{ op: 'kind', track: track.name, row: some.row, kind: Math.floor(rnd() * 4) }];
  if (choice === 3) return [{ op: 'value', track: track.name, row: some.row, value }];
  if (choice === 4) return [{ op: 'set', track: track.name, row: some.row, value, kind: 'linear' }];
  // Moving a selection of up to three keys, possibly onto other keys.
  const selection = new Set(keys.filter(() => rnd() < 0.5).slice(0, 3).map((k) => selectionKey(track.name, k.row)));
  selection.add(selectionKey(track.name, some.row));
  const moved = moveEdits(state, selection, Math.floor(rnd() * 21) - 10, choice === 6 ? value : 0);
  // A move that would take a key before row 0 is refused; a plain value
  // change stands in for it.
  return moved.error ? [{ op: 'value', track: track.name, row: some.row, value }] : moved.edits;
}

test('250 random steps undone one by one give back the start exactly, redone give the end', () => {
  const rnd = random(99);
  let state = startState();
  const start = keysOf(state);
  const undo = new UndoStack(500);
  const after = [];
  for (let i = 0; i < 250; ++i) {
    const edits = randomStep(state, rnd);
    const result = applyEdits(state, edits);
    assert.ok(!result.error, `step ${i}: ${result.error} for ${JSON.stringify(edits)}`);
    undo.push({ edits, inverse: result.inverse });
    state = result.state;
    after.push(keysOf(state));
  }
  const end = keysOf(state);
  for (let i = 249; i >= 0; --i) {
    assert.equal(keysOf(state), after[i]);
    const step = undo.undo();
    const result = applyEdits(state, step.inverse);
    assert.ok(!result.error, result.error);
    state = result.state;
  }
  assert.equal(undo.undo(), null);
  assert.equal(keysOf(state), start);
  for (let i = 0; i < 250; ++i) {
    state = applyEdits(state, undo.redo().edits).state;
    assert.equal(keysOf(state), after[i]);
  }
  assert.equal(keysOf(state), end);
  assert.equal(undo.redo(), null);
});

test('the undo stack keeps its limit, forgets redo on a new step and drops refused steps', () => {
  const undo = new UndoStack(200);
  const steps = Array.from({ length: 230 }, (_, i) => ({ edits: [i], inverse: [-i] }));
  for (const s of steps) undo.push(s);
  let count = 0;
  while (undo.undo()) ++count;
  assert.equal(count, 200);
  assert.equal(undo.redo(), steps[30]);
  undo.push(steps[0]);
  assert.equal(undo.canRedo(), false);
  undo.discard(steps[0]);
  assert.equal(undo.undo(), steps[30]);
  undo.discard(steps[30]);
  assert.equal(undo.canRedo(), false);
});

test('a move never lands on a key that stays; keys moving past each other do', () => {
  const state = startState();
  // 32 would land on 0, which is not moving: refused with the row and track.
  assert.equal(moveEdits(state, new Set([selectionKey('0', 32), selectionKey('0', 64)]), -32).error, 'row 0 of track 0 holds a key');
  assert.match(applyEdits(state, [{ op: 'move', track: '0', row: 0, toRow: 32 }]).error, /row 32 of track 0 holds a key/);
  // All three move on by 32: each leaves its row before the one behind
  // lands there.
  const all = new Set([selectionKey('0', 0), selectionKey('0', 32), selectionKey('0', 64)]);
  const moved = moveEdits(state, all, 32);
  assert.deepEqual(moved.edits.map((e) => `${e.row}>${e.toRow}`), ['64>96', '32>64', '0>32']);
  assert.equal(keysOf(applyEdits(state, moved.edits).state).split('\n')[0], '0: 32/0/0 64/1.5/1 96/-2/2');
  assert.match(moveEdits(state, new Set([selectionKey('0', 32)]), -33).error, /row -1 is before the first row/);
  assert.equal(moveEdits(state, new Set([selectionKey('0', 64)]), state.maxRow).error, `row ${64 + state.maxRow} is past the last row, ${state.maxRow}`);
  assert.match(applyEdits(state, [{ op: 'delete', track: '3', row: 5 }]).error, /no key/);
});

test('each edit of a step carries the key it found, after the edits before it; so does an undo', () => {
  const state = startState();
  // Move 32 to 40, then give the moved key a value: the value edit finds
  // the moved key at 40, not nothing.
  const edits = [{ op: 'move', track: '0', row: 32, toRow: 40 }, { op: 'value', track: '0', row: 40, value: 0.1 }, { op: 'set', track: '3', row: 7, value: 2, kind: 'ramp' }];
  const result = applyEdits(state, edits);
  const sent = wireEdits(edits, result.was);
  assert.deepEqual(sent.map((e) => e.was), [{ row: 32, value: 1.5, kind: 'linear' }, { row: 40, value: 1.5, kind: 'linear' }, null]);
  assert.equal(sent[1].value, 0.1, 'the shortest decimal of the float');
  assert.equal(sent[2].kind, 'ramp');
  // The undo, sent on the state the step left: the key at 7, then 40's
  // value 0.1 (a float, sent in its shortest form), then the move back.
  const undo = applyEdits(result.state, result.inverse);
  assert.deepEqual(wireEdits(result.inverse, undo.was).map((e) => [e.op, e.row, e.was]), [
    ['delete', 7, { row: 7, value: 2, kind: 'ramp' }],
    ['value', 40, { row: 40, value: 0.1, kind: 'linear' }],
    ['move', 40, { row: 40, value: 1.5, kind: 'linear' }],
  ]);
  assert.equal(keysOf(undo.state), keysOf(state));
});

test('typed values and rows are refused with what was typed', () => {
  assert.deepEqual(parseValue(' 0.6 '), { value: 0.6 });
  assert.equal(parseValue('1e40').error, '1e40 is beyond the largest value a track holds, 3.4e38');
  assert.equal(parseValue('-1e39').error, '-1e39 is beyond the largest value a track holds, 3.4e38');
  assert.equal(parseValue('1e-50').error, '1e-50 is too small for a track: it would be 0');
  assert.deepEqual(parseValue('1e-40'), { value: 1e-40 }, 'a subnormal float is still a value');
  assert.equal(parseValue('abc').error, "'abc' is not a number");
  assert.deepEqual(parseRow('224', 2880), { row: 224 });
  assert.equal(parseRow('99999', 2880).error, 'row 99999 is past the last row, 2880');
  assert.match(parseRow('', 2880).error, /empty/);
  assert.match(parseRow('1.5', 2880).error, /whole number/);
  // Without maxRow from the player: the music's rows and 512 more.
  assert.equal(readState({ rowsPerSecond: 16, musicLength: 10.01, tracks: [] }).maxRow, 161 + 512);
});

test('copied keys paste at a row keeping their distances, onto the selected lane and those below it in order', () => {
  let state = startState();
  const selection = new Set([selectionKey('0', 32), selectionKey('0', 64)]);
  const clip = copyKeys(state, selection);
  const pasted = pasteEdits(state, clip, 100, ['3']);
  state = applyEdits(state, pasted.edits).state;
  assert.equal(keysOf(state).split('\n')[2], '3: 100/1.5/1 132/-2/2');
  // From two tracks: the first copied lane onto the selected one, the
  // second onto the lane below it.
  const two = copyKeys(state, new Set([selectionKey('0', 0), selectionKey('16', 8)]));
  const again = pasteEdits(state, two, 200, ['16', '3']);
  assert.deepEqual(again.edits.map((e) => `${e.track}@${e.row}`), ['16@200', '3@208']);
  assert.equal(deleteEdits(state, again.selection).length, 0);
  assert.equal(pasteEdits(state, two, 200, ['3']).error, '2 lanes copied, and 1 lane from 3 down');
  // Onto a key, a paste is refused rather than replacing it.
  assert.equal(pasteEdits(state, clip, 68, ['3']).error, 'row 100 of track 3 holds a key');
});
