// What the browser tests of the sync editor share: the test production in
// a temporary folder, a private Xvfb, `tarvo --live` on it with its log and
// its window, playwright-core's Chromium (installed by `npm ci` in web/
// when missing), waiting for conditions, screenshots, and reading keys
// from sync.txt and .track files.
import assert from 'node:assert/strict';
import { spawn, spawnSync, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const tarvo = process.env.TARVO || path.join(root, 'build', 'tarvo');
export const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
export const WIDTH = 640;
export const HEIGHT = 360;
// Sanitized builds draw a frame in seconds; every wait is for a condition.
export const LONG = 120_000;

export async function playwright() {
  const editorDir = path.join(root, 'web');
  const entry = path.join(editorDir, 'node_modules', 'playwright-core', 'index.mjs');
  if (!fs.existsSync(entry)) {
    const npm = spawnSync('npm', ['ci', '--no-audit', '--no-fund'], { cwd: editorDir, stdio: 'inherit' });
    assert.equal(npm.status, 0, 'npm ci in editor/ failed');
  }
  return (await import(pathToFileURL(entry).href)).chromium;
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export async function waitFor(what, condition, timeout = LONG, interval = 25) {
  const deadline = Date.now() + timeout;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await sleep(interval);
  }
}

export const count = (text, needle) => text.split(needle).length - 1;
export const readText = (file) => (fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : '');

// The test production laid out as the player expects it: the e2e production
// plus the real production's shaders and sprites and the camera HUD files.
// A test's steps: a failed one marks the run, so that its folder is kept
// and the player's log shown.
export function stepsOf(t) {
  const run = { failed: false };
  run.step = (name, body) =>
    t.test(name, async () => {
      try {
        await body();
      } catch (error) {
        run.failed = true;
        throw error;
      }
    });
  return run;
}

export function makeTestProduction(dir) {
  fs.cpSync(path.join(root, 'tests/e2e/production'), dir, { recursive: true });
  const data = path.join(dir, 'demosrc/norde/data');
  for (const name of fs.readdirSync(path.join(root, 'demosrc/norde/data'))) {
    if (name.endsWith('.glsl') || ['dot.png', 'binary.png', 'pointRenderer.png'].includes(name)) {
      fs.copyFileSync(path.join(root, 'demosrc/norde/data', name), path.join(data, name));
    }
  }
  fs.mkdirSync(path.join(dir, 'src/drawables'), { recursive: true });
  for (const name of ['cameraHUD.glsl', 'cameraHUD.png']) {
    fs.copyFileSync(path.join(root, 'src/drawables', name), path.join(dir, 'src/drawables', name));
  }
}

// A private X server; its display number comes back through a pipe.
export async function startXvfb() {
  const proc = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x720x24', '-nolisten', 'tcp', '-noreset'], {
    stdio: ['ignore', 'ignore', 'ignore', 'pipe'],
  });
  let text = '';
  const display = await new Promise((resolve, reject) => {
    proc.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) resolve(`:${text.trim()}`);
    });
    proc.on('exit', () => reject(new Error('Xvfb ended before it named its display')));
  });
  return { display, proc };
}

export function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer();
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// A screenshot of the window as raw RGB, through ImageMagick's PPM.
export function grab(display, windowId, file) {
  execFileSync('import', ['-window', windowId, `ppm:${file}`], { env: { ...process.env, DISPLAY: display } });
  const bytes = fs.readFileSync(file);
  // "P6\nW H\n255\n" then the pixels.
  let at = 0;
  const fields = [];
  while (fields.length < 4) {
    while (/\s/.test(String.fromCharCode(bytes[at]))) ++at;
    let word = '';
    while (!/\s/.test(String.fromCharCode(bytes[at]))) word += String.fromCharCode(bytes[at++]);
    fields.push(word);
  }
  return { width: Number(fields[1]), height: Number(fields[2]), rgb: bytes.subarray(at + 1) };
}

// Mean absolute channel difference as a share of the largest possible.
export function difference(a, b) {
  if (a.rgb.length !== b.rgb.length || a.rgb.length === 0) return 1;
  let sum = 0;
  for (let i = 0; i < a.rgb.length; ++i) sum += Math.abs(a.rgb[i] - b.rgb[i]);
  return sum / (255 * a.rgb.length);
}

// The keys of a .track file: int32 count, then int32 row, float value, int8 kind.
export function trackFileKeys(file) {
  const bytes = fs.readFileSync(file);
  const keys = [];
  for (let i = 0; i < bytes.readInt32LE(0); ++i) {
    const at = 4 + i * 9;
    keys.push({ row: bytes.readInt32LE(at), value: bytes.readFloatLE(at + 4), kind: bytes.readInt8(at + 8) });
  }
  return keys;
}

// A key line "ROW VALUE KIND" as numbers (rows in seconds end with 's').
export function keyLine(line) {
  const words = line.replace(/#.*/, '').trim().split(/\s+/);
  if (words.length !== 3) return null;
  const row = words[0].endsWith('s') ? Number(words[0].slice(0, -1)) * 16 : Number(words[0]);
  return { row, value: Math.fround(Number(words[1])), kind: words[2] };
}

// The keys of a track's block in a sync text, as keyLine reads them.
export function textKeys(text, track) {
  const keys = [];
  let inside = false;
  for (const line of text.split('\n')) {
    const header = /^\s*track\s+(\S+)/.exec(line);
    if (header) inside = header[1] === track;
    else if (inside && keyLine(line)) keys.push(keyLine(line));
  }
  return keys;
}

// The text with the line of a track's key at a row changed by `change`
// (a function of the line); the line must be there.
export function withKeyLine(text, track, row, change) {
  let inside = false;
  const lines = text.split('\n');
  for (let i = 0; i < lines.length; ++i) {
    const header = /^\s*track\s+(\S+)/.exec(lines[i]);
    if (header) inside = header[1] === track;
    else if (inside && keyLine(lines[i]) && keyLine(lines[i]).row === row) {
      const changed = change(lines[i]);
      return [...lines.slice(0, i), ...(changed === null ? [] : [changed]), ...lines.slice(i + 1)].join('\n');
    }
  }
  throw new Error(`no key at row ${row} of track ${track} in:\n${text}`);
}

// Every file of a folder with its bytes, for byte-for-byte comparisons.
export function folderBytes(dir) {
  return Object.fromEntries(fs.readdirSync(dir).sort().map((name) => [name, fs.readFileSync(path.join(dir, name)).toString('base64')]));
}

export class LivePlayer {
  constructor(dir, display) {
    this.dir = dir;
    this.display = display;
    this.logFile = path.join(dir, 'output2.txt');
  }

  async start(port) {
    const console = fs.openSync(path.join(this.dir, 'console.txt'), 'w');
    this.proc = spawn(tarvo, ['--live', '--window', `${WIDTH}x${HEIGHT}`, '--editor-port', String(port)], {
      cwd: this.dir,
      env: { ...process.env, DISPLAY: this.display, SDL_AUDIODRIVER: 'dummy' },
      stdio: ['ignore', console, console],
    });
    this.exit = new Promise((resolve) => this.proc.on('exit', (code) => resolve(code)));
    await waitFor('the first frame', () => this.log().includes('Profiler::Reset\n'));
    const line = await waitFor('the editor line', () => /editor: (http:\/\/127\.0\.0\.1:\d+\/#[0-9a-f]+)\n/.exec(this.log()));
    this.url = line[1];
    this.base = this.url.slice(0, this.url.indexOf('/#'));
    this.token = this.url.slice(this.url.indexOf('#') + 1);
    const env = { ...process.env, DISPLAY: this.display };
    this.window = execFileSync('xdotool', ['search', '--sync', '--name', '^tarvo$'], { env, encoding: 'utf8' }).trim().split('\n')[0];
    execFileSync('xdotool', ['windowfocus', '--sync', this.window], { env });
  }

  log() {
    return readText(this.logFile);
  }

  // For a failed run: where its folder is kept, and the end of the log and
  // of the console, where the sanitizers and the driver write.
  report() {
    const consoleText = readText(path.join(this.dir, 'console.txt'));
    return `kept for a look: ${this.dir}\n--- player log (end) ---\n${this.log().slice(-4000)}\n--- player console (end) ---\n${consoleText.slice(-2000)}`;
  }

  key(name) {
    execFileSync('xdotool', ['key', name], { env: { ...process.env, DISPLAY: this.display } });
  }

  async waitForLog(text, atLeast = 1) {
    await waitFor(`"${text.trim()}" in the log`, () => count(this.log(), text) >= atLeast);
  }

  // The window once a frame begun after this call is on screen: B logs a
  // line at the top of a frame, and the second B's line comes only after
  // the frame that followed the first.
  async settledShot() {
    const seen = count(this.log(), 'resize: ');
    this.key('b');
    await this.waitForLog('resize: ', seen + 1);
    this.key('b');
    await this.waitForLog('resize: ', seen + 2);
    return grab(this.display, this.window, path.join(this.dir, 'shot.ppm'));
  }

  async stop() {
    if (this.proc.exitCode !== null) return this.proc.exitCode;
    this.key('Escape');
    let timer;
    const timeout = new Promise((resolve) => (timer = setTimeout(() => resolve('timeout'), 60_000)));
    const code = await Promise.race([this.exit, timeout]);
    clearTimeout(timer);
    if (code === 'timeout') this.proc.kill('SIGKILL');
    return code;
  }
}
