// The editor page's timing to the music in Chromium against the real
// player: `tarvo --live` on the test production with its clip (a kick on
// every beat at 120 BPM) played twice, its analysis served at /api/music. While the
// show plays with record on, digit and Enter taps on a lane land on the
// music's beats and reach sync.txt; a knob take through a stand-in Web MIDI
// device (a controller learnt for the lane, moved up and down with the
// playhead) becomes a few linear keys in sync.txt; one bar inserted at the
// playhead (gone to by a section's name) moves every key after it by the
// music's bar. One undo of each gives sync.txt back byte for byte. Also: a
// double-click on a section's band zooms to it, and the readout names the
// row and beat under the pointer.
//
// Run by CTest (label e2e) with TARVO set to the player; by hand:
//   TARVO=build/tarvo node tests/editor/editor_timing_browser_test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {
  tarvo, chromiumPath, LONG, playwright, waitFor, count, makeTestProduction, startXvfb, freePort, textKeys, LivePlayer,
  stepsOf,
} from './live_show.mjs';

// A stand-in for Web MIDI with one input. While window.testKnob is a
// function of the page's row giving a controller value (or null) and the
// show plays, each animation frame on a new row sends it as controller 7
// on channel 1 and notes [row, value] in window.testSent;
// window.testMidi(bytes) sends any message.
function standInMidi() {
  const input = { id: 'test', name: 'test knob', onmidimessage: null };
  const send = (bytes) => input.onmidimessage && input.onmidimessage({ data: Uint8Array.from(bytes) });
  window.testMidi = send;
  window.testSent = [];
  navigator.requestMIDIAccess = async () => ({ inputs: new Map([['test', input]]), outputs: new Map(), onstatechange: null });
  let lastRow = null;
  const frame = () => {
    const app = window.editor;
    if (window.testKnob && app && app.state && !app.playhead.paused) {
      const row = Math.floor(app.playhead.time() * app.state.rowsPerSecond + 1e-6);
      if (row !== lastRow) {
        lastRow = row;
        const value = window.testKnob(row);
        if (value !== null) {
          window.testSent.push([row, value]);
          send([0xb0, 7, value]);
        }
      }
    }
    requestAnimationFrame(frame);
  };
  requestAnimationFrame(frame);
}

test('the editor page times keys to the music', { timeout: 900_000 }, async (t) => {
  assert.ok(fs.existsSync(tarvo), `${tarvo} not found: build the player or set TARVO`);
  const chromium = await playwright();
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'editor-timing-'));
  makeTestProduction(dir);
  // The clip twice, back to back (MP3 frames follow each other): ten
  // seconds, where the analysis needs more than five to trust a pulse.
  const music = path.join(dir, 'demosrc/norde/data/brivel-669.mp3');
  fs.writeFileSync(music, Buffer.concat([fs.readFileSync(music), fs.readFileSync(music)]));
  const syncPath = path.join(dir, 'demosrc/norde/sync.txt');
  const x = await startXvfb();
  const player = new LivePlayer(dir, x.display);
  let browser;
  // A failed step keeps the folder and shows the player's log.
  const run = stepsOf(t);
  const step = run.step;
  try {
    await player.start(await freePort());
    browser = await chromium.launch({ executablePath: chromiumPath });
    const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
    const pageErrors = [];
    page.on('pageerror', (error) => pageErrors.push(error.message));
    await page.addInitScript(standInMidi);
    await page.goto(player.url);
    await page.waitForFunction(() => window.editor && window.editor.state && document.getElementById('link-state').textContent === 'linked', null, { timeout: LONG });

    const syncText = () => fs.readFileSync(syncPath, 'utf8');
    // The page's playhead row now (its clock is drawn with the frames, which
    // come late on a busy machine).
    const row = () => page.evaluate(() => Math.floor(editor.playhead.time() * editor.state.rowsPerSecond + 1e-6));
    const focusPage = () => page.click('#clock');
    const idle = () => page.waitForFunction(() => editor.channel.idle() && !editor.recorder.taking, null, { timeout: LONG });
    // A key for the show's transport, done once the player's log says so
    // (a loaded machine can take seconds) and the page agrees.
    const transport = async (key, line, shown) => {
      const seen = count(player.log(), line);
      await page.keyboard.press(key);
      await player.waitForLog(line, seen + 1);
      await page.waitForFunction(shown, null, { timeout: LONG });
    };
    const playFromStart = async () => {
      await focusPage();
      await transport('Home', 'seek to 0.000 s (row 0)\n', () => editor.expected === null && editor.playhead.time() === 0);
      await transport('Space', 'resumed at ', () => !editor.playhead.paused && editor.expected === null);
    };
    const playTo = (r) => waitFor(`the playhead at row ${r}`, async () => (await row()) >= r, LONG, 10);
    // The show holds at the end of the music by itself, which ends a take.
    const playToEnd = async (seen) => {
      await player.waitForLog('paused at ', seen + 1);
      await page.waitForFunction(() => editor.playhead.paused && editor.expected === null && !editor.recorder.taking, null, { timeout: LONG });
    };
    // The keys of a track in sync.txt that the text before lacks.
    const added = (before, track) => {
      const old = new Set(textKeys(before, track).map((k) => `${k.row} ${k.value} ${k.kind}`));
      return textKeys(syncText(), track).filter((k) => !old.has(`${k.row} ${k.value} ${k.kind}`));
    };
    const selectLane = async (name) => {
      const lanes = await page.evaluate(() => editor.layout.lanes.map((l) => l.track));
      const n = lanes.indexOf(name) - lanes.indexOf(await page.evaluate(() => editor.selectedTrack));
      for (let i = 0; i < Math.abs(n); ++i) await page.keyboard.press(n > 0 ? 'ArrowDown' : 'ArrowUp');
      assert.equal(await page.evaluate(() => editor.selectedTrack), name);
    };

    // The music plays once and the show holds at the end.
    await player.waitForLog('paused at ');
    await page.waitForFunction(() => editor.playhead.paused && editor.expected === null, null, { timeout: LONG });

    let beatRows;
    await step('the page has the music\'s beats: about 120 BPM, snapping to beats', async () => {
      const analysed = Date.now();
      await page.waitForFunction(() => editor.timing.music.ready, null, { timeout: LONG });
      t.diagnostic(`the analysis reached the page ${Date.now() - analysed} ms after it loaded`);
      const music = await page.evaluate(() => editor.timing.music);
      assert.ok(music.pulse && Math.abs(music.tempo - 120) < 2, `tempo ${music.tempo}`);
      beatRows = await page.evaluate(() => editor.timing.beatRows.map(Math.round));
      assert.ok(beatRows.length >= 8, `${beatRows.length} beats`);
      assert.match(await page.textContent('#snap-mode'), /beats/);
      assert.match(await page.textContent('#grid-mode'), /music/);
    });

    await step('taps while the show plays land on beats; one undo takes them back', async () => {
      const before = syncText();
      await focusPage();
      await selectLane('16');
      await page.keyboard.press('r');
      const ends = count(player.log(), 'paused at ');
      await playFromStart();
      // Each tap a beat and a half after the one before, as the page's
      // playhead (which jumps on a busy machine) shows it.
      const pressed = [];
      for (const key of ['5', '0', 'Enter']) {
        await playTo(pressed.length ? pressed.at(-1) + 12 : 10);
        pressed.push(await row());
        await page.keyboard.press(key);
      }
      await playToEnd(ends);
      await idle();
      await waitFor('three taps in sync.txt', () => added(before, '16').length === 3, LONG).catch((error) => {
        throw new Error(`${error.message} (pressed on rows ${pressed.join(', ')}; new keys of track 16: ${JSON.stringify(added(before, '16'))})`);
      });
      const keys = added(before, '16');
      t.diagnostic(`taps at rows ${pressed.join(', ')} became keys at ${keys.map((k) => k.row).join(', ')}`);
      for (const [i, k] of keys.entries()) {
        assert.ok(beatRows.includes(k.row), `row ${k.row} is a beat`);
        assert.ok(Math.abs(k.row - pressed[i]) <= 12, `row ${k.row} is the beat nearest row ${pressed[i]}`);
      }
      assert.deepEqual(keys.slice(0, 2).map((k) => k.value), [Math.fround(0.5), 1]);
      await focusPage();
      await page.keyboard.press('Control+z');
      await waitFor('sync.txt as it was', () => syncText() === before, LONG);
    });

    await step('a knob take through MIDI becomes a few linear keys; one undo takes them back', async () => {
      await idle();
      const before = syncText();
      await page.click('#midi-learn');
      await page.evaluate(() => window.testMidi([0xb0, 7, 64]));
      await page.waitForFunction(() => document.getElementById('midi-state').textContent === 'CC7 → 16', null, { timeout: LONG });
      const range = await page.evaluate(() => editor.laneRange('16'));
      // Up from row 12 to 28, down to 44, then still until the music ends.
      await page.evaluate(() => {
        window.testSent = [];
        window.testKnob = (r) => (r < 12 ? null : Math.round(127 * (r <= 28 ? (r - 12) / 16 : Math.max(0, (44 - r) / 16))));
      });
      const ends = count(player.log(), 'paused at ');
      await playFromStart();
      await playToEnd(ends);
      const sent = await page.evaluate(() => {
        window.testKnob = null;
        return window.testSent;
      });
      await idle();
      const keys = await waitFor('the take in sync.txt', () => added(before, '16').length > 0 && added(before, '16'), LONG);
      t.diagnostic(`the knob sent ${sent.length} values, on rows ${sent.map((s) => s[0]).join(' ')}; the take became ${keys.length} keys: ${keys.map((k) => `${k.row} ${k.value}`).join(', ')}`);
      // A few: a corner the playhead jumped over (a busy machine) costs two.
      assert.ok(keys.length >= 2 && keys.length <= 8 && keys.length < new Set(sent.map((s) => s[0])).size, `${keys.length} keys`);
      const lastRow = await page.evaluate(() => Math.floor(editor.state.musicLength * editor.state.rowsPerSecond));
      const firstSent = Math.min(...sent.map((s) => s[0]));
      assert.ok(keys.every((k) => k.kind === 'linear' && k.row >= firstSent && k.row <= lastRow), 'linear keys within the take and the music');
      // Where the knob sent a value, the keys' line passes within the
      // tolerance of it (1% of the lane's range).
      const valueOf = (cc) => range.min + (cc / 127) * (range.max - range.min);
      const tolerance = 0.01 * (range.max - range.min) + 1e-6;
      const lineAt = (r) => {
        const i = keys.findIndex((k, j) => j === keys.length - 1 || keys[j + 1].row > r);
        const a = keys[i];
        const b = keys[Math.min(i + 1, keys.length - 1)];
        return b.row === a.row ? a.value : a.value + ((r - a.row) / (b.row - a.row)) * (b.value - a.value);
      };
      // (The page may take the playhead a moment after the stand-in read it,
      // just past a row's end.)
      for (const [r, cc] of sent) {
        const off = Math.min(Math.abs(lineAt(r) - valueOf(cc)), Math.abs(lineAt(r + 1) - valueOf(cc)));
        assert.ok(off <= tolerance, `row ${r}: ${lineAt(r)}, sent ${valueOf(cc)}`);
      }
      await focusPage();
      await page.keyboard.press('r');
      await page.keyboard.press('Control+z');
      await waitFor('sync.txt as it was', () => syncText() === before, LONG);
    });

    await step('one bar inserted at the section "drop" moves every key after it; one undo takes it out', async () => {
      await idle();
      const before = syncText();
      await page.fill('#seek-to', 'drop');
      const seen = count(player.log(), 'seek to 1.000 s (row 16)\n');
      await page.press('#seek-to', 'Enter');
      await player.waitForLog('seek to 1.000 s (row 16)\n', seen + 1);
      await page.waitForFunction(() => / row 16 .*paused/.test(document.getElementById('clock').textContent) && editor.expected === null, null, { timeout: LONG });
      const bar = await page.evaluate(() => editor.timing.span(16, 1, 'bars'));
      assert.ok(Math.abs(bar - 32) <= 1, `a bar at 120 BPM is 32 rows, not ${bar}`);
      await page.fill('#shift-count', '1');
      await page.selectOption('#shift-unit', 'bars');
      await page.click('#insert-time');
      await waitFor('the keys moved in sync.txt', () => syncText() !== before, LONG).catch(async (error) => {
        throw new Error(`${error.message}; the page says: ${await page.textContent('#message')}`);
      });
      await idle();
      for (const track of ['3', '11', '16', '21']) {
        const moved = textKeys(before, track).map((k) => ({ ...k, row: k.row >= 16 ? k.row + bar : k.row }));
        assert.deepEqual(textKeys(syncText(), track), moved, `track ${track}`);
      }
      await focusPage();
      await page.keyboard.press('Control+z');
      await waitFor('sync.txt as it was', () => syncText() === before, LONG);
    });

    await step('a double-click on a section zooms to it; the readout names the row and beat under the pointer', async () => {
      const box = await page.locator('#main-canvas').boundingBox();
      const x = await page.evaluate(() => 150 + (2 - editor.screen.view.start) * editor.screen.view.pxPerSecond);
      await page.mouse.dblclick(box.x + x, box.y + 32 + 9);
      await page.waitForFunction(() => {
        const v = editor.screen.view;
        return Math.abs(v.start - 0.96) < 0.05 && Math.abs(v.start + (editor.screen.areas().timeWidth / v.pxPerSecond) - 3.04) < 0.05;
      }, null, { timeout: LONG });
      const at = await page.evaluate(() => 150 + (1.5 - editor.screen.view.start) * editor.screen.view.pxPerSecond);
      await page.mouse.move(box.x + at, box.y + 32 + 18 + 20);
      await page.waitForFunction(() => /^row 24 +0:01\.50 +bar -?\d+ beat \d/.test(document.getElementById('readout').textContent), null, { timeout: LONG });
    });

    assert.deepEqual(pageErrors, []);
    assert.equal(await player.stop(), 0);
  } catch (error) {
    run.failed = true;
    throw error;
  } finally {
    if (run.failed) console.log(player.report());
    await browser?.close();
    if (player.proc && player.proc.exitCode === null) player.proc.kill('SIGKILL');
    x.proc.kill('SIGTERM');
    if (!run.failed) fs.rmSync(dir, { recursive: true, force: true });
  }
});
