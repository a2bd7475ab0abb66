// Sends edit steps to the player one at a time, each naming the version it
// was made on: the page applies a step at once and queues it here; the next
// step goes out with the version the player gave the previous one. When the
// player refuses a step (the page's state was old, or the request was bad,
// or it could not be reached), that step and every one queued behind it are
// refused, since they were made on top of it; the page then reloads. No DOM:
// the request function is given.

export class EditChannel {
  // post(version, edits) resolves to {status, body}; it may reject when the
  // player cannot be reached.
  constructor(post, version) {
    this.post = post;
    this.version = version;
    this.queue = [];
    this.busy = false;
    this.onRefused = () => {};
    this.onIdle = () => {};
    this.onAccepted = () => {};
  }

  // The player's version as the page now knows it (after a reload).
  reset(version) {
    this.version = version;
  }

  idle() {
    return !this.busy && this.queue.length === 0;
  }

  // Queues a step's edits; tag comes back in the callbacks.
  send(edits, tag) {
    this.queue.push({ edits, tag });
    if (!this.busy) this.pump();
  }

  async pump() {
    this.busy = true;
    while (this.queue.length > 0) {
      const item = this.queue.shift();
      let answer;
      try {
        answer = await this.post(this.version, item.edits);
      } catch (error) {
        answer = { status: 0, body: { error: `the player could not be reached (${error.message || error})` } };
      }
      if (answer.status === 200 && answer.body && answer.body.version !== undefined) {
        this.version = answer.body.version;
        this.onAccepted(item.tag, this.version);
        continue;
      }
      const refused = [item, ...this.queue.splice(0)];
      const reason = (answer.body && answer.body.error) || `refused (HTTP ${answer.status})`;
      for (const r of refused) this.onRefused(r.tag, { status: answer.status, reason, version: answer.body && answer.body.version });
    }
    this.busy = false;
    this.onIdle();
  }
}
