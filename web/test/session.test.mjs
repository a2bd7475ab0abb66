// The editing session against a scripted player: each request is answered
// with what the script says (the player's own answers, canned), so these
// check what the page sends, what it shows, what it keeps for undo and when
// it reads the state again.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Session } from '../editor/session.js';
import { scriptedLink, turns } from './scripted_link.mjs';
import { Playhead } from '../editor/playhead.js';
import { selectionKey, moveEdits } from '../editor/model.js';
import { rowAtTime } from '../editor/timeline.js';

// The player's state at a version; keys replaces tracks' keys by name.
function stateJson(version, keys = {}) {
  const k = (name, fallback) => keys[name] || fallback;
  return {
    version,
    rowsPerSecond: 16,
    rowsPerBar: 32,
    musicLength: 180,
    maxRow: 2880,
    tracks: [
      { name: '7', label: 'a', keys: k('7', [{ row: 224, value: 150, kind: 'linear' }]) },
      { name: '11', label: 'b', keys: k('11', [{ row: 16, value: 1.8, kind: 'step' }, { row: 32, value: 0, kind: 'step' }]) },
      { name: '16', label: 'background grey', keys: k('16', [{ row: 0, value: 0.05, kind: 'step' }]) },
    ],
    sections: [],
  };
}

async function started(link) {
  const session = new Session(link);
  session.messages = [];
  session.onMessage = (text) => session.messages.push(text);
  assert.ok(await session.load());
  return session;
}

const keys = (session, track) => session.trackByName.get(track).keys.map((k) => `${k.row}:${k.value}`).join(' ');

test('an edit on another track passes with the key the page saw; a refused one says the player\'s words, leaves undo and the state is read again', async () => {
  const link = scriptedLink(stateJson(5));
  const s = await started(link);
  // Meanwhile sync.txt changes on track 7; the page has not heard of it.
  const at160 = [{ row: 224, value: 160, kind: 'linear' }];
  link.version = 6;
  link.json = stateJson(7, { 7: at160, 11: [{ row: 16, value: 1.2, kind: 'step' }, { row: 32, value: 0, kind: 'step' }] });
  s.select(new Set([selectionKey('11', 16)]));
  s.commitValue('1.2');
  await turns();
  assert.deepEqual(link.posts[0], [{ op: 'value', track: '11', row: 16, value: 1.2, was: { row: 16, value: 1.8, kind: 'step' } }]);
  // The answer's version is two on: the page reads the outside change too.
  assert.equal(link.reads, 2);
  assert.equal(keys(s, '7'), '224:160');
  assert.equal(keys(s, '11'), '16:1.2000000476837158 32:0');
  assert.ok(s.undo.canUndo());

  // An edit of track 7 made on the old value, refused by the player.
  const error = 'track 7, row 224 changed in sync.txt meanwhile: 150 → 160';
  link.json = stateJson(8, { 7: [{ row: 224, value: 170, kind: 'linear' }], 11: link.json.tracks[1].keys });
  link.answers.push({ status: 409, body: { error, version: 8, conflict: { track: '7', row: 224, key: { row: 224, value: 170, kind: 'linear' } } } });
  s.select(new Set([selectionKey('7', 224)]));
  s.commitValue('155');
  assert.equal(keys(s, '7'), '224:155', 'shown at once');
  await turns();
  assert.deepEqual(s.messages, [`the player refused the edit: ${error}`]);
  assert.equal(link.reads, 3, 'read again once');
  assert.equal(keys(s, '7'), '224:170');
  s.undoStep();
  await turns();
  assert.equal(link.posts.at(-1)[0].op, 'value');
  assert.equal(link.posts.at(-1)[0].track, '11', 'the refused step is not in the history');
});

test('an undo the player refuses after an outside change leaves the author\'s value', async () => {
  const link = scriptedLink(stateJson(1));
  const s = await started(link);
  s.select(new Set([selectionKey('16', 0)]));
  s.commitValue('0.5');
  await turns();
  // The author saves 0.9 in a text editor; before the page hears of it,
  // undo goes out on the 0.5 the page shows, and the player says no.
  link.json = stateJson(3, { 16: [{ row: 0, value: 0.9, kind: 'step' }] });
  link.answers.push({ status: 409, body: { error: 'track 16, row 0 changed in sync.txt meanwhile: 0.5 → 0.9', version: 3 } });
  s.undoStep();
  assert.deepEqual(link.posts.at(-1), [{ op: 'value', track: '16', row: 0, value: 0.05, was: { row: 0, value: 0.5, kind: 'step' } }]);
  await turns();
  assert.equal(keys(s, '16'), '0:0.8999999761581421');
  assert.ok(!s.undo.canUndo() && !s.undo.canRedo());
  // Even once the page shows the outside value, undo names the key as
  // its step left it, so the player can refuse it rather than overwrite.
  s.commitValue('0.7');
  await turns();
  link.json = stateJson(5, { 16: [{ row: 0, value: 0.2, kind: 'step' }] });
  s.onSync(5);
  await turns();
  assert.equal(keys(s, '16'), '0:0.20000000298023224');
  s.undoStep();
  assert.deepEqual(link.posts.at(-1)[0].was, { row: 0, value: 0.7, kind: 'step' });
});

test('a step of several edits goes as one request and is taken back as one when refused, at once', async () => {
  const link = scriptedLink(stateJson(1));
  const s = await started(link);
  s.select(new Set([selectionKey('11', 16), selectionKey('11', 32)]));
  const moved = moveEdits(s.state, s.selection, 8, 0.5);
  link.answers.push({ status: 409, body: { error: 'row 40 of track 11 holds a key', version: 2 } });
  let answerRead;
  link.onRead = () => new Promise((resolve) => (answerRead = () => resolve(stateJson(2))));
  s.commit(moved.edits, moved.selection);
  assert.equal(keys(s, '11'), '24:2.299999952316284 40:0.5');
  await turns();
  // Taken back at once, before the state read comes.
  assert.equal(keys(s, '11'), '16:1.7999999523162842 32:0');
  answerRead();
  await turns();
  assert.equal(link.reads, 2);
  assert.equal(link.posts.length, 1);
  assert.deepEqual(link.posts[0].map((e) => `${e.op} ${e.row} was ${e.was.row}`), ['move 32 was 32', 'move 16 was 16', 'value 24 was 24', 'value 40 was 40']);
  assert.equal(keys(s, '11'), '16:1.7999999523162842 32:0');
  assert.equal(s.undo.canUndo(), false);
  assert.equal(s.selection.size, 0, 'the keys are not at the rows they were moved to');
});

test('hiding, filtering away or folding a lane drops its keys from the selection', async () => {
  const s = await started(scriptedLink(stateJson(1)));
  const all = [selectionKey('7', 224), selectionKey('11', 16), selectionKey('11', 32), selectionKey('16', 0)];
  s.select(new Set(all));
  assert.equal(s.selection.size, 4);
  s.setHidden('7', true);
  assert.deepEqual([...s.selection].sort(), all.slice(1).sort());
  s.selectTrack('11');
  s.setFilter('grey');
  assert.deepEqual([...s.selection], [selectionKey('16', 0)]);
  // The selected lane filtered away takes no key from Enter, and is still
  // the selected one when it shows again.
  assert.equal(s.enterKey(40), false);
  assert.match(s.messages.at(-1), /lane 11 is not shown/);
  s.toggleFold('16');
  assert.equal(s.selection.size, 0);
  s.deleteSelected();
  s.showAll();
  s.setFilter('');
  s.toggleFold('16');
  assert.equal(s.channel.sent, 0, 'nothing deleted or made');
  assert.equal(s.selectedTrack, '11');
  // A selection made of hidden keys does not take either.
  s.setHidden('11', true);
  s.select(new Set(all));
  assert.deepEqual([...s.selection].sort(), [selectionKey('16', 0), selectionKey('7', 224)]);
});

test('Enter, then a value typed while the show plays on, goes to the key Enter made', async () => {
  const link = scriptedLink(stateJson(1));
  const s = await started(link);
  let now = 0;
  const playhead = new Playhead(() => now);
  playhead.onEvent({ time: 0.5, paused: false, looping: false });
  s.selectTrack('16');
  // A save in a text editor: its sync event starts a state read that is
  // answered with sync.txt as it was then, after Enter's key went out and
  // was taken.
  link.version = 2;
  let answerRead;
  link.onRead = () => new Promise((resolve) => (answerRead = () => resolve(stateJson(2))));
  s.onSync(2);
  assert.ok(s.enterKey(rowAtTime(playhead.time(), 16)));
  assert.deepEqual(link.posts[0], [{ op: 'set', track: '16', row: 8, value: 0.05, kind: 'step', was: null }]);
  const shown = [];
  s.onChange = () => shown.push(keys(s, '16'));
  await turns();
  link.onRead = null;
  link.json = stateJson(3, { 16: [{ row: 0, value: 0.05, kind: 'step' }, { row: 8, value: 0.05, kind: 'step' }] });
  answerRead();
  await turns();
  assert.equal(link.reads, 3, 'the read that missed the key is read again');
  assert.ok(shown.length > 0 && shown.every((k) => k === '0:0.05000000074505806 8:0.05000000074505806'), shown.join(', '));
  // The playhead plays on, the selection is taken elsewhere, the field
  // is typed into.
  for (let i = 1; i <= 5; ++i) {
    now += 100;
    playhead.onEvent({ time: 0.5 + i / 10, paused: false, looping: false });
  }
  assert.equal(rowAtTime(playhead.time(), 16), 16);
  s.selection = new Set();
  s.commitValue('0.6');
  await turns();
  assert.deepEqual(link.posts.at(-1), [{ op: 'value', track: '16', row: 8, value: 0.6, was: { row: 8, value: 0.05, kind: 'step' } }]);
  assert.equal(keys(s, '16'), '0:0.05000000074505806 8:0.6000000238418579');
  assert.deepEqual([...s.selection], [selectionKey('16', 8)]);
  assert.deepEqual(s.messages, []);
  // A key Enter made that the player refused takes no value: it says so.
  link.answers.push({ status: 409, body: { error: 'track 16, row 16 changed in sync.txt meanwhile: no key → 0.3 step', version: 5 } });
  link.json = stateJson(5, { 16: [{ row: 16, value: 0.3, kind: 'step' }] });
  s.enterKey(16);
  await turns();
  s.commitValue('0.7');
  await turns();
  assert.match(s.messages.at(-1), /the value was not set: the key at row 16 of track 16/);
  assert.equal(keys(s, '16'), '16:0.30000001192092896');
});
