// Edit-to-screen latency of the sync editor while the show plays: runs
// `tarvo --live` on a copy of the norde production in a 640x360 window on a
// private X server, makes 20 edits through the editor's service (the value
// of one key, back and forth, each one after the previous is on screen), and
// prints the median and range of the player's own measure of each, from the
// request's arrival to the first presented frame that plays it ("editor:
// edit shown (NN ms)"). Run from the repository root after scripts/build.sh:
//   node bench/editor_latency.mjs          (EDITS=N for another count)
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const edits = Number(process.env.EDITS || 20);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function waitFor(what, condition, timeout = 120_000) {
  const deadline = Date.now() + timeout;
  for (;;) {
    const value = condition();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await sleep(20);
  }
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'editor-latency-'));
fs.cpSync(path.join(root, 'demosrc/norde'), path.join(work, 'demosrc/norde'), { recursive: true });
fs.mkdirSync(path.join(work, 'src/drawables'), { recursive: true });
for (const name of ['cameraHUD.glsl', 'cameraHUD.png']) {
  fs.copyFileSync(path.join(root, 'src/drawables', name), path.join(work, 'src/drawables', name));
}

const xvfb = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x720x24', '-nolisten', 'tcp'], {
  stdio: ['ignore', 'ignore', 'ignore', 'pipe'],
});
let displayText = '';
xvfb.stdio[3].on('data', (chunk) => (displayText += chunk));
const display = `:${(await waitFor('Xvfb', () => displayText.includes('\n') && displayText)).trim()}`;
const logFile = path.join(work, 'output2.txt');
const log = () => (fs.existsSync(logFile) ? fs.readFileSync(logFile, 'utf8') : '');
const player = spawn(path.join(root, 'build/tarvo'), ['--live', '--window', '640x360', '--mute'], {
  cwd: work,
  env: { ...process.env, DISPLAY: display, SDL_AUDIODRIVER: 'dummy' },
  stdio: 'ignore',
});
try {
  await waitFor('the first frame', () => log().includes('Profiler::Reset\n'));
  const [, base, token] = await waitFor('the editor', () => /editor: (http:\/\/127\.0\.0\.1:\d+)\/#([0-9a-f]+)\n/.exec(log()));
  const headers = { Authorization: `Bearer ${token}`, Origin: base, 'Content-Type': 'application/json' };
  const state = await (await fetch(`${base}/api/state`, { headers })).json();
  const track = state.tracks.find((t) => t.keys.length > 0);
  const key = track.keys[0];
  let was = { value: key.value, kind: key.kind };
  for (let i = 0; i < edits; ++i) {
    const value = i % 2 === 0 ? key.value + 1 : key.value;
    const body = { edits: [{ op: 'value', track: track.name, row: key.row, value, was }] };
    const answer = await fetch(`${base}/api/edit`, { method: 'POST', headers, body: JSON.stringify(body) });
    if (answer.status !== 200) throw new Error(`edit ${i} refused: ${await answer.text()}`);
    was = { value, kind: key.kind };
    await waitFor(`edit ${i} on screen`, () => (log().match(/editor: edit shown \(/g) || []).length > i);
    await sleep(150);
  }
  const times = [...log().matchAll(/editor: edit shown \((\d+) ms\)/g)].map((m) => Number(m[1])).sort((a, b) => a - b);
  const preview = (log().match(/^preview [0-9.]+ \([0-9x]+\)/gm) || ['preview 1.00']).pop();
  const median = times.length % 2 ? times[(times.length - 1) / 2] : (times[times.length / 2 - 1] + times[times.length / 2]) / 2;
  console.log(
    `editor: edit shown, ${preview}, show playing: median ${median} ms, range ${times[0]} to ${times[times.length - 1]} ms over ${times.length} edits of track ${track.name}`,
  );
} finally {
  player.kill('SIGTERM');
  xvfb.kill('SIGTERM');
  await sleep(300);
  fs.rmSync(work, { recursive: true, force: true });
}

