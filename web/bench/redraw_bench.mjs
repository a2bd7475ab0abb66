// How long one redraw of the editor's visible timeline takes in Chromium
// with 64 tracks and 5,000 keys: the page served by the mock service, the
// whole music in sight, every lane expanded, each redraw timed from the
// first drawing call to the pixels being ready (a one-pixel read forces the
// canvas to finish). Prints the median and the spread of all redraws, and
// the median of each round, since other work on the machine shows up as
// rounds far slower than the rest.
//   node web/bench/redraw_bench.mjs [--size 1920x1080] [--rounds 5] [--redraws 100] [--chromium /usr/bin/chromium]
import { chromium } from 'playwright-core';
import { startMockServer, bigState } from '../test/mock_server.mjs';

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

const mock = await startMockServer({ state: bigState(KEYS, 240) });
const browser = await chromium.launch({ executablePath });
try {
  const page = await browser.newPage({ viewport: { width, height }, deviceScaleFactor: 1 });
  await page.goto(mock.url);
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
  await mock.close();
}
