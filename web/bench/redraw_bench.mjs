// How long one redraw of the editor's visible timeline takes in Chromium
// with 64 tracks and 5,000 keys: the page's files and a made-up state
// served to Chromium through page.route (no service behind them, no
// edits), the whole music in sight, every lane expanded, each redraw timed
// from the first drawing call to the pixels being ready (a one-pixel read
// forces the canvas to finish). Prints the median and the spread of all
// redraws, and the median of each round, since other work on the machine
// shows up as rounds far slower than the rest.
//   node web/bench/redraw_bench.mjs [--size 1920x1080] [--rounds 5] [--redraws 100] [--chromium /usr/bin/chromium]
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const argument = (name, fallback) => {
  const at = process.argv.indexOf(name);
  return at > 0 ? process.argv[at + 1] : fallback;
};
const [width, height] = argument('--size', '1920x1080').split('x').map(Number);
const rounds = Number(argument('--rounds', '5'));
const redraws = Number(argument('--redraws', '100'));
const executablePath = argument('--chromium', process.env.CHROMIUM || '/usr/bin/chromium');
const KEYS = 5000;
const TRACKS = 64;
const SECONDS = 240;
const pageDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../editor');
const ORIGIN = 'http://127.0.0.1:7040';
const KINDS = ['step', 'linear', 'smooth', 'ramp'];
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };

// 64 tracks with the keys spread over them, pseudo-random values and kinds.
function bigState() {
  let seed = 12345;
  const random = () => ((seed = (seed * 1103515245 + 12345) >>> 0) / 4294967296);
  const rows = SECONDS * 16;
  const tracks = [];
  for (let t = 0; t < TRACKS; ++t) {
    const count = Math.floor(KEYS / TRACKS) + (t < KEYS % TRACKS ? 1 : 0);
    const keys = [];
    for (let i = 0; i < count; ++i) {
      keys.push({ row: Math.floor((i * rows) / count), value: Math.fround(random() * 2 - 1), kind: KINDS[Math.floor(random() * 4)] });
    }
    tracks.push({ name: String(t), label: `track${t}`, keys });
  }
  const sections = [];
  for (let s = 0; s < SECONDS; s += 30) sections.push({ name: `part ${s / 30 + 1}`, start: s });
  return { version: 1, rowsPerSecond: 16, rowsPerBar: 32, musicLength: SECONDS, maxRow: rows + 512, tracks, sections, error: '' };
}

function spectrum() {
  const columns = SECONDS * 16;
  const values = new Array(columns * 64);
  for (let c = 0; c < columns; ++c) {
    for (let b = 0; b < 64; ++b) values[c * 64 + b] = Math.max(0, Math.min(1, (0.5 + 0.5 * Math.sin(c / 7 + b / 5)) * (1 - b / 80)));
  }
  return { bands: 64, columnsPerSecond: 16, columns, values };
}

const json = (body) => ({ status: 200, contentType: 'application/json', body: JSON.stringify(body) });
const answers = { '/api/state': json(bigState()), '/api/spectrum': json(spectrum()) };

const browser = await chromium.launch({
  executablePath,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'],
});
try {
  const page = await browser.newPage({ viewport: { width, height }, deviceScaleFactor: 1 });
  await page.route(`${ORIGIN}/**`, async (route) => {
    const { pathname } = new URL(route.request().url());
    if (answers[pathname]) return route.fulfill(answers[pathname]);
    if (pathname === '/api/events') return undefined; // left open: no events
    if (pathname.startsWith('/api/')) return route.fulfill({ status: 404, body: '{}' });
    const file = path.join(pageDir, pathname === '/' ? 'index.html' : path.basename(pathname));
    return route.fulfill({ status: 200, contentType: TYPES[path.extname(file)], body: await readFile(file) });
  });
  await page.goto(`${ORIGIN}/#bench`);
  await page.waitForFunction(() => window.editor && window.editor.state && window.editor.timelineView.spectrumImage);
  const result = await page.evaluate(([rounds, n]) => {
    const app = window.editor;
    const keys = app.state.tracks.reduce((sum, t) => sum + t.keys.length, 0);
    const visible = app.visibleLanes();
    app.measureRedraw(20); // warm up the JIT and the canvas
    const median = (list) => list.slice().sort((a, b) => a - b)[list.length >> 1];
    const all = [];
    const roundMedians = [];
    for (let r = 0; r < rounds; ++r) {
      const times = app.measureRedraw(n);
      all.push(...times);
      roundMedians.push(median(times));
    }
    all.sort((a, b) => a - b);
    const at = (q) => all[Math.min(all.length - 1, Math.floor(q * all.length))];
    return { keys, tracks: app.state.tracks.length, lanes: visible.length, min: all[0], median: at(0.5), p90: at(0.9), max: all.at(-1), roundMedians };
  }, [rounds, redraws]);
  if (result.keys !== KEYS || result.tracks !== TRACKS) throw new Error(`expected ${TRACKS} tracks and ${KEYS} keys, got ${result.tracks} and ${result.keys}`);
  const ms = (x) => x.toFixed(2);
  console.log(`redraw of the visible timeline (${width}x${height}, ${result.tracks} tracks, ${result.keys} keys, ${result.lanes} lanes in sight, whole music shown), ${rounds} rounds of ${redraws} redraws in Chromium ${browser.version()}:`);
  console.log(`  median ${ms(result.median)} ms, 90th percentile ${ms(result.p90)} ms, min ${ms(result.min)} ms, max ${ms(result.max)} ms`);
  console.log(`  median of each round: ${result.roundMedians.map(ms).join(', ')} ms`);
} finally {
  await browser.close();
}
