// Sends edit steps to the player in the order they were made, one request
// per step, each answered on its own: every edit names the key it found at
// its row ("was"), and the player takes a step where those keys still
// stand, so a refused step does not hold back the ones behind it. No DOM:
// the request function is given.

export class EditChannel {
  // post(edits) resolves to {status, body}; it may reject when the player
  // cannot be reached.
  constructor(post) {
    this.post = post;
    this.queue = [];
    this.busy = false;
    // The player's version as the page last heard it (answers, state loads).
    this.version = undefined;
    // Steps handed to the channel so far: a state read while this grew may
    // predate one of them.
    this.sent = 0;
    this.onAnswer = () => {};
    this.onIdle = () => {};
  }

  idle() {
    return !this.busy && this.queue.length === 0;
  }

  // Queues a step's edits (as the player takes them); tag comes back with
  // the answer.
  send(edits, tag) {
    this.sent += 1;
    this.queue.push({ edits, tag });
    if (!this.busy) this.pump();
  }

  async pump() {
    this.busy = true;
    while (this.queue.length > 0) {
      const item = this.queue.shift();
      let answer;
      try {
        answer = await this.post(item.edits);
      } catch (error) {
        answer = { status: 0, body: { error: `the edit did not reach the player (${error.message || error})` } };
      }
      const body = answer.body || {};
      if (body.version !== undefined) this.version = body.version;
      const ok = answer.status === 200 && body.version !== undefined;
      this.onAnswer(item.tag, { ok, status: answer.status, version: body.version, error: body.error || `HTTP ${answer.status}` });
    }
    this.busy = false;
    this.onIdle();
  }
}
