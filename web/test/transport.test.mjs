// Transport requests go out one at a time in order, a waiting seek giving
// way to a later one; the player's playhead events count as a request's
// outcome only when they show it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { TransportQueue, playheadMatches } from '../editor/transport.js';

test('requests go one at a time, in order, and only the last of waiting seeks goes', async () => {
  const sent = [];
  let inFlight = 0;
  let release;
  const queue = new TransportQueue(async (body) => {
    ++inFlight;
    assert.equal(inFlight, 1, 'two requests in flight');
    sent.push(body.action === 'seek' ? `seek ${body.time}` : body.action);
    await new Promise((resolve) => (release = resolve));
    --inFlight;
    return { status: body.action === 'loop' ? 400 : 200, body: body.action === 'loop' ? { error: 'no' } : { ok: true } };
  }, (body, reason) => sent.push(`refused ${body.action}: ${reason}`));
  queue.request({ action: 'seek', time: 1 });
  for (let row = 1; row <= 8; ++row) queue.request({ action: 'seek', time: 1 + row / 16 });
  queue.request({ action: 'toggle' });
  queue.request({ action: 'loop', from: 0, to: 1 });
  queue.request({ action: 'seek', time: 3 });
  while (!queue.idle()) {
    await new Promise((resolve) => setImmediate(resolve));
    release?.();
  }
  assert.deepEqual(sent, ['seek 1', 'seek 1.5', 'toggle', 'loop', 'refused loop: no', 'seek 3']);
});

test('a playhead event shows a request only once the player has taken it', () => {
  assert.ok(playheadMatches({ time: 0.5 }, { time: 0.5, paused: true, looping: false }));
  assert.ok(!playheadMatches({ time: 0.5 }, { time: 0.4375, paused: true, looping: false }));
  assert.ok(!playheadMatches({ time: 0.5 }, { time: 0.6, paused: true, looping: false }));
  assert.ok(playheadMatches({ time: 0.5 }, { time: 0.6, paused: false, looping: false }));
  assert.ok(!playheadMatches({ time: 0.5 }, { time: 3.0, paused: false, looping: false }));
  assert.ok(!playheadMatches({ paused: true }, { time: 2, paused: false, looping: false }));
  assert.ok(playheadMatches({ paused: true, time: 2 }, { time: 2, paused: true, looping: true }));
  assert.ok(!playheadMatches({ looping: false }, { time: 2, paused: true, looping: true }));
});
