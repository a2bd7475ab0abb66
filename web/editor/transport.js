// Transport requests in the order they were made, one at a time: several
// seeks sent at once could be taken by the player in any order and leave the
// show where the user did not go. A seek waiting behind another replaces
// it, since only where the user ends up matters. Also what the page expects
// the player's playhead to show after a request, so the page keeps its own
// picture of the playhead until the player's events agree. No DOM.

export class TransportQueue {
  // send(body) resolves to {status, body}; it may reject.
  constructor(send, onRefused = () => {}) {
    this.send = send;
    this.onRefused = onRefused;
    this.waiting = [];
    this.busy = false;
  }

  request(body) {
    const last = this.waiting.at(-1);
    if (last && last.action === 'seek' && body.action === 'seek') this.waiting[this.waiting.length - 1] = body;
    else this.waiting.push(body);
    if (!this.busy) this.pump();
  }

  idle() {
    return !this.busy && this.waiting.length === 0;
  }

  async pump() {
    this.busy = true;
    while (this.waiting.length > 0) {
      const body = this.waiting.shift();
      try {
        const answer = await this.send(body);
        if (answer.status !== 200) this.onRefused(body, (answer.body && answer.body.error) || `HTTP ${answer.status}`);
      } catch (error) {
        this.onRefused(body, `the player could not be reached (${error.message || error})`);
      }
    }
    this.busy = false;
  }
}

// Tolerances for a playhead event to count as the outcome of a request: a
// paused show stands at the time sought; a playing one has moved on from it
// by a frame or two at most.
const PAUSED_TOLERANCE_S = 0.02;
const PLAYING_REACH_S = 1.0;

// Whether a playhead event {time, paused, looping} shows what a request led
// the page to expect: {time?, paused?, looping?}.
export function playheadMatches(expected, event) {
  if (expected.paused !== undefined && event.paused !== expected.paused) return false;
  if (expected.looping !== undefined && event.looping !== expected.looping) return false;
  if (expected.time !== undefined) {
    const ahead = event.time - expected.time;
    if (ahead < -PAUSED_TOLERANCE_S) return false;
    if (ahead > (event.paused ? PAUSED_TOLERANCE_S : PLAYING_REACH_S)) return false;
  }
  return true;
}
