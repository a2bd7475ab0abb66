// The playhead as the page shows it between the player's events: a playing
// show is taken to move on in real time (by a little at most) until the
// next event, and a request the page made (seek, play, pause, loop) shows
// at once, the player's events that predate it passed over until one
// shows its outcome. No DOM: the clock (ms) is given.

import { playheadMatches } from './transport.js';

// How long the page keeps its own playhead when the player's events do not
// come to agree with a request (one the player clamped, say).
const EXPECT_MS = 3000;
const PREDICT_LIMIT_S = 0.15;

export class Playhead {
  constructor(now) {
    this.now = now;
    this.state = { time: 0, paused: true, looping: false, receivedAt: now() };
    this.expected = null;
    this.events = 0;
  }

  get paused() {
    return this.state.paused;
  }

  get looping() {
    return this.state.looping;
  }

  // The time now.
  time() {
    const p = this.state;
    if (p.paused) return p.time;
    return p.time + Math.min((this.now() - p.receivedAt) / 1000, PREDICT_LIMIT_S);
  }

  // A playhead event {time, paused, looping}; whether it was taken.
  onEvent(data) {
    this.events += 1;
    const now = this.now();
    if (this.expected) {
      if (now < this.expected.until && !playheadMatches(this.expected, data)) return false;
      this.expected = null;
    }
    this.state = { time: data.time, paused: !!data.paused, looping: !!data.looping, receivedAt: now };
    return true;
  }

  // A request's outcome ({time?, paused?, looping?}), shown before the
  // player's events confirm it.
  local(change) {
    const now = this.now();
    this.state = { ...this.state, time: this.time(), ...change, receivedAt: now };
    const still = this.expected && now < this.expected.until ? this.expected : {};
    this.expected = { ...still, ...change, until: now + EXPECT_MS };
  }
}
