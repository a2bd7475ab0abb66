// The page's curve evaluation against the player's own, as `synctool eval`
// prints it: the same keys built into a .track file, evaluated at the same
// rows, every value equal as a float.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, writeFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { existsSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { floatValueAt, KIND_NAMES } from '../editor/sync_curve.js';

// synctool from CTest's SYNCTOOL, else the conventional build folder.
function findSynctool() {
  const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
  const candidate = process.env.SYNCTOOL || path.join(root, 'build', 'synctool');
  assert.ok(existsSync(candidate), `${candidate} not found: build the synctool target or set SYNCTOOL`);
  return candidate;
}

// Deterministic pseudo-random numbers (mulberry32).
function randomSource(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function syncLine(key) {
  return `${key.row} ${key.value} ${KIND_NAMES[key.kind]}`;
}

// Tracks that exercise every kind: each kind alone between varied keys, all
// kinds mixed, values at the ends of the float range (the difference then
// overflows single precision), and rows far from zero.
function makeTracks() {
  const random = randomSource(20240611);
  const tracks = [];
  for (let kind = 0; kind < 4; ++kind) {
    const keys = [];
    let row = -40;
    for (let i = 0; i < 12; ++i) {
      const value = Math.fround((random() - 0.5) * 10 ** Math.floor(random() * 7 - 3));
      keys.push({ row, value, kind });
      row += 1 + Math.floor(random() * 97);
    }
    tracks.push({ name: `only_${KIND_NAMES[kind]}`, keys });
  }
  const mixed = [];
  let row = 0;
  for (let i = 0; i < 40; ++i) {
    mixed.push({ row, value: Math.fround(random() * 4 - 2), kind: i % 4 });
    row += 1 + Math.floor(random() * 40);
  }
  tracks.push({ name: 'mixed', keys: mixed });
  tracks.push({
    name: 'extremes',
    keys: [
      { row: 0, value: Math.fround(-3.0e38), kind: 1 },
      { row: 10, value: Math.fround(3.0e38), kind: 2 },
      { row: 20, value: Math.fround(-3.0e38), kind: 3 },
      { row: 30, value: Math.fround(3.0e38), kind: 1 },
      { row: 40, value: 0, kind: 0 },
    ],
  });
  tracks.push({
    name: 'far',
    keys: [
      { row: -2147483600, value: 1, kind: 1 },
      { row: -2147483000, value: 2, kind: 3 },
      { row: 2147483000, value: -1, kind: 2 },
      { row: 2147483647, value: 5, kind: 1 },
    ],
  });
  return tracks;
}

// Rows before, at, between and after the keys, whole and fractional.
function rowsFor(keys, random) {
  const rows = [keys[0].row - 100.5, keys[0].row - 1, keys.at(-1).row, keys.at(-1).row + 0.25, keys.at(-1).row + 1000];
  for (let i = 0; i + 1 < keys.length; ++i) {
    const a = keys[i].row;
    const b = keys[i + 1].row;
    rows.push(a, a + 0.5, b - 0.125);
    for (let j = 0; j < 6; ++j) rows.push(a + random() * (b - a));
  }
  return rows;
}

test('curve values equal synctool eval for every kind', () => {
  const synctool = findSynctool();
  const dir = mkdtempSync(path.join(tmpdir(), 'editor-curve-'));
  try {
    const tracks = makeTracks();
    const text = tracks.map((t) => `track ${t.name}\n${t.keys.map(syncLine).join('\n')}\n`).join('');
    writeFileSync(path.join(dir, 'sync.txt'), text);
    execFileSync(synctool, ['build', path.join(dir, 'sync.txt'), path.join(dir, 'sync')]);
    const random = randomSource(7);
    let compared = 0;
    const kindsSeen = new Set();
    for (const track of tracks) {
      const rows = rowsFor(track.keys, random);
      // Full precision, so synctool reads exactly the row the page uses.
      const args = rows.map((r) => String(r));
      const printed = execFileSync(synctool, ['eval', path.join(dir, 'sync', `_${track.name}.track`), ...args], {
        encoding: 'utf8',
        maxBuffer: 1 << 24,
      })
        .trim()
        .split('\n');
      assert.equal(printed.length, rows.length);
      rows.forEach((row, i) => {
        const expected = Math.fround(Number(printed[i]));
        const actual = floatValueAt(track.keys, row);
        assert.ok(actual === expected, `track ${track.name} row ${row}: page ${actual}, player ${printed[i]}`);
        const k = track.keys.findLast((key) => key.row <= row);
        if (k && k !== track.keys.at(-1)) kindsSeen.add(k.kind);
        ++compared;
      });
    }
    assert.deepEqual([...kindsSeen].sort(), [0, 1, 2, 3]);
    assert.ok(compared > 500, `only ${compared} values compared`);
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
});
