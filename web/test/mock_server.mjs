// A stand-in for the player's editing service, for developing and testing
// the page without the show: the same requests and answers (token, version
// checks, the event stream with a playhead that runs on the wall clock),
// tracks held in memory. Run it alone to try the page:
//   node web/test/mock_server.mjs --serve [--port 7041] [--big]
// and open the address it prints.
import http from 'node:http';
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { randomBytes } from 'node:crypto';
import { applyEdits, readState } from '../editor/model.js';
import { KIND_NAMES } from '../editor/sync_curve.js';

const pageDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../editor');
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css', '.png': 'image/png' };
const PLAYHEAD_INTERVAL_MS = 40;

// A small production: a few tracks with keys of every kind, some empty.
export function smallState() {
  return {
    version: 1,
    rowsPerSecond: 16,
    musicLength: 20,
    rowsPerBar: 32,
    tracks: [
      { name: '0', label: 'drumMultiplier', keys: [{ row: 0, value: 0, kind: 'step' }, { row: 32, value: 1, kind: 'linear' }, { row: 64, value: 0.2, kind: 'smooth' }, { row: 128, value: 1.5, kind: 'ramp' }, { row: 192, value: 0, kind: 'step' }] },
      { name: '1', label: 'cameraKey', keys: [{ row: 0, value: 0, kind: 'smooth' }, { row: 300, value: 1, kind: 'step' }] },
      { name: '2', label: 'unused', keys: [] },
      { name: '16', label: 'background', keys: [{ row: 0, value: 0.05, kind: 'step' }] },
    ],
    sections: [{ name: 'intro', start: 0 }, { name: 'drop', start: 8 }, { name: 'outro', start: 16 }],
    error: '',
  };
}

// 64 tracks and `keys` keys spread over them, for the redraw benchmark.
export function bigState(keyCount = 5000, seconds = 240) {
  const tracks = [];
  let seed = 12345;
  const random = () => ((seed = (seed * 1103515245 + 12345) >>> 0) / 4294967296);
  const rows = seconds * 16;
  for (let t = 0; t < 64; ++t) {
    const count = Math.floor(keyCount / 64) + (t < keyCount % 64 ? 1 : 0);
    const keys = [];
    for (let i = 0; i < count; ++i) {
      keys.push({ row: Math.floor((i * rows) / count), value: Math.fround(random() * 2 - 1), kind: KIND_NAMES[Math.floor(random() * 4)] });
    }
    tracks.push({ name: String(t), label: `track${t}`, keys });
  }
  const sections = [];
  for (let s = 0; s < seconds; s += 30) sections.push({ name: `part ${s / 30 + 1}`, start: s });
  return { version: 1, rowsPerSecond: 16, musicLength: seconds, rowsPerBar: 32, tracks, sections, error: '' };
}

export function makeSpectrum(seconds) {
  const columns = Math.ceil(seconds * 16);
  const values = new Array(columns * 64);
  for (let c = 0; c < columns; ++c) {
    for (let b = 0; b < 64; ++b) values[c * 64 + b] = Math.max(0, Math.min(1, (0.5 + 0.5 * Math.sin(c / 7 + b / 5)) * (1 - b / 80) * (c % 8 === 0 ? 1 : 0.6)));
  }
  return { bands: 64, columnsPerSecond: 16, columns, values };
}

// The state's keys back in the service's form (kind names).
function stateJson(model) {
  return {
    ...model,
    tracks: model.tracks.map((t) => ({ ...t, keys: t.keys.map((k) => ({ row: k.row, value: k.value, kind: KIND_NAMES[k.kind] })) })),
  };
}

export async function startMockServer({ port = 0, state = smallState(), token = randomBytes(12).toString('hex') } = {}) {
  let model = readState(state);
  const spectrum = makeSpectrum(model.musicLength);
  const clients = new Set();
  const transport = { time: 0, paused: true, loop: null, since: Date.now() };
  const log = { edits: [], transport: [] };

  const now = () => {
    if (transport.paused) return transport.time;
    let t = transport.time + (Date.now() - transport.since) / 1000;
    if (transport.loop && t >= transport.loop.to) {
      const span = transport.loop.to - transport.loop.from;
      t = transport.loop.from + ((t - transport.loop.from) % span);
    }
    if (t >= model.musicLength) {
      transport.time = model.musicLength;
      transport.paused = true;
      return model.musicLength;
    }
    return t;
  };
  const setTime = (t) => {
    transport.time = t;
    transport.since = Date.now();
  };
  const broadcast = (event, data) => {
    for (const res of clients) res.write(`event: ${event}\ndata: ${JSON.stringify(data)}\n\n`);
  };
  const ticker = setInterval(() => {
    const t = now();
    broadcast('playhead', { time: t, row: t * 16, paused: transport.paused, looping: !!transport.loop });
  }, PLAYHEAD_INTERVAL_MS);

  const send = (res, status, body) => {
    res.writeHead(status, { 'Content-Type': 'application/json', 'Cache-Control': 'no-store' });
    res.end(JSON.stringify(body));
  };
  const readBody = (req) =>
    new Promise((resolve) => {
      let text = '';
      req.on('data', (c) => (text += c));
      req.on('end', () => {
        try {
          resolve(JSON.parse(text));
        } catch {
          resolve(null);
        }
      });
    });

  const server = http.createServer(async (req, res) => {
    const url = new URL(req.url, 'http://localhost');
    if (!url.pathname.startsWith('/api/')) {
      const name = url.pathname === '/' ? 'index.html' : url.pathname.slice(1);
      const file = path.resolve(pageDir, name);
      if (!file.startsWith(pageDir + path.sep)) return send(res, 404, { error: 'not found' });
      try {
        const bytes = await readFile(file);
        res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
        return res.end(bytes);
      } catch {
        return send(res, 404, { error: 'not found' });
      }
    }
    const given = url.pathname === '/api/events' ? url.searchParams.get('token') : (req.headers.authorization || '').replace(/^Bearer /, '');
    if (given !== token) return send(res, 401, { error: 'no or wrong token' });
    if (req.method === 'POST' && req.headers.origin && req.headers.origin !== `http://${req.headers.host}`) {
      return send(res, 403, { error: 'foreign origin' });
    }
    if (req.method === 'GET' && url.pathname === '/api/state') return send(res, 200, stateJson(model));
    if (req.method === 'GET' && url.pathname === '/api/spectrum') return send(res, 200, spectrum);
    if (req.method === 'GET' && url.pathname === '/api/events') {
      res.writeHead(200, { 'Content-Type': 'text/event-stream', 'Cache-Control': 'no-store', Connection: 'keep-alive' });
      res.write(': hello\n\n');
      clients.add(res);
      req.on('close', () => clients.delete(res));
      return undefined;
    }
    if (req.method === 'POST' && url.pathname === '/api/transport') {
      const body = await readBody(req);
      if (!body) return send(res, 400, { error: 'not JSON' });
      log.transport.push(body);
      const t = now();
      switch (body.action) {
        case 'play': transport.paused = false; setTime(t); break;
        case 'pause': transport.paused = true; setTime(t); break;
        case 'toggle': transport.paused = !transport.paused; setTime(t); break;
        case 'seek': setTime(Math.max(0, Math.min(model.musicLength, Number(body.time)))); break;
        case 'loop': transport.loop = { from: body.from, to: body.to }; setTime(t); break;
        case 'clearLoop': transport.loop = null; setTime(t); break;
        default: return send(res, 400, { error: `unknown action '${body.action}'` });
      }
      return send(res, 200, { ok: true });
    }
    if (req.method === 'POST' && url.pathname === '/api/edit') {
      const body = await readBody(req);
      if (!body || !Array.isArray(body.edits)) return send(res, 400, { error: 'expected {version, edits}' });
      if (body.version !== model.version) return send(res, 409, { error: 'made on an old version', version: model.version });
      const result = applyEdits(model, body.edits);
      if (result.error) return send(res, 400, { error: result.error });
      log.edits.push(body.edits);
      model = { ...result.state, version: model.version + 1 };
      broadcast('sync', { version: model.version });
      return send(res, 200, { version: model.version });
    }
    return send(res, 404, { error: 'not found' });
  });
  await new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));
  const address = server.address();
  const base = `http://127.0.0.1:${address.port}`;
  return {
    url: `${base}/#${token}`,
    base,
    token,
    log,
    get model() {
      return model;
    },
    // A change made elsewhere, as a save of the text file would make it.
    externalEdit(edits) {
      const result = applyEdits(model, edits);
      if (result.error) throw new Error(result.error);
      model = { ...result.state, version: model.version + 1 };
      broadcast('sync', { version: model.version });
    },
    setError(message) {
      model = { ...model, error: message };
      broadcast('error', { message });
    },
    transport,
    close() {
      clearInterval(ticker);
      for (const res of clients) res.end();
      server.closeAllConnections?.();
      return new Promise((resolve) => server.close(resolve));
    },
  };
}

if (process.argv.includes('--serve') && import.meta.url === pathToFileURL(process.argv[1]).href) {
  const at = process.argv.indexOf('--port');
  const mock = await startMockServer({
    port: at > 0 ? Number(process.argv[at + 1]) : 7041,
    state: process.argv.includes('--big') ? bigState() : smallState(),
  });
  console.log(`editor (mock): ${mock.url}`);
}
