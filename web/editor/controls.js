// The show's transport as the page drives it: play, pause, seeks and the
// loop go to the player in order (TransportQueue) and show at once on the
// page's playhead, which keeps to them until the player's events agree.

import { TransportQueue } from './transport.js';
import { Playhead } from './playhead.js';
import { loopRange } from './model.js';
import { clamp } from './timeline.js';

export class Controls {
  // screen: the timeline on screen; say(text) for refusals.
  constructor(session, screen, send, say) {
    this.session = session;
    this.screen = screen;
    this.playhead = new Playhead(() => performance.now());
    this.queue = new TransportQueue(send, (body, reason) => {
      this.playhead.expected = null;
      say(`transport refused: ${reason}`);
    });
  }

  onEvent(data) {
    if (this.playhead.onEvent(data) && !data.looping && this.screen.loop) {
      this.screen.loop = null;
      this.screen.invalidate();
    }
    this.screen.requestFrame();
  }

  request(body, change) {
    this.queue.request(body);
    this.playhead.local(change);
    this.screen.requestFrame();
  }

  togglePlay() {
    this.request({ action: 'toggle' }, { paused: !this.playhead.paused });
  }

  seek(time) {
    const t = clamp(time, 0, Math.max(0, this.session.state.musicLength));
    this.request({ action: 'seek', time: t }, { time: t });
    this.screen.reveal(t);
  }

  // L: the selected keys' rows, else the section at the playhead.
  loop() {
    const range = loopRange(this.session.state, this.session.selection, this.playhead.time());
    if (range.error) return this.session.say(range.error);
    this.screen.loop = range;
    this.request({ action: 'loop', from: range.from, to: range.to }, { looping: true });
    this.screen.invalidate();
  }

  clearLoop() {
    this.screen.loop = null;
    this.request({ action: 'clearLoop' }, { looping: false });
    this.screen.invalidate();
  }
}
