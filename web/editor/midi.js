// MIDI controllers as knobs, through Web MIDI where the browser offers it:
// control changes from every input (and inputs plugged in later), each
// controller mapped to a lane. Learn maps the next controller moved to the
// lane asked for. A controller's 0 to 127 goes out as a share of 0 to 1.
// No DOM: the navigator is given.

const CONTROL_CHANGE = 0xb0;
const CONTROL_MAX = 127;

// A message's bytes as {channel, controller, value} when it is a control
// change, else null.
export function controlChange(data) {
  if (!data || data.length < 3) return null;
  const status = data[0];
  if ((status & 0xf0) !== CONTROL_CHANGE) return null;
  const controller = data[1];
  const value = data[2];
  if (controller > CONTROL_MAX || value > CONTROL_MAX) return null;
  return { channel: (status & 0x0f) + 1, controller, value };
}

export function controllerName(id) {
  const [channel, controller] = id.split(':');
  return `CC${controller}${channel === '1' ? '' : ` ch${channel}`}`;
}

export class MidiKnobs {
  // knob(track, share) for a mapped controller moved; onChange() when the
  // mapping or the access changed.
  constructor(knob, onChange = () => {}) {
    this.knob = knob;
    this.onChange = onChange;
    this.map = new Map(); // "channel:controller" → track
    this.learning = null;
    this.state = 'off'; // off, none (no Web MIDI), refused, on
    this.inputs = 0;
  }

  async start(nav = globalThis.navigator) {
    if (!nav || typeof nav.requestMIDIAccess !== 'function') {
      this.state = 'none';
      return this.onChange();
    }
    try {
      const access = await nav.requestMIDIAccess();
      this.state = 'on';
      this.attach(access);
      access.onstatechange = () => this.attach(access);
    } catch (error) {
      this.state = 'refused';
      this.reason = error && error.message ? error.message : String(error);
    }
    this.onChange();
  }

  attach(access) {
    let count = 0;
    access.inputs.forEach((input) => {
      input.onmidimessage = (event) => this.onMessage(event.data);
      count += 1;
    });
    if (count !== this.inputs) {
      this.inputs = count;
      this.onChange();
    }
  }

  // The next controller moved maps to the track (null: learn nothing).
  learn(track) {
    this.learning = track;
    this.onChange();
  }

  onMessage(data) {
    const cc = controlChange(data);
    if (!cc) return;
    const id = `${cc.channel}:${cc.controller}`;
    if (this.learning !== null) {
      for (const [other, track] of this.map) if (track === this.learning) this.map.delete(other);
      this.map.set(id, this.learning);
      this.learning = null;
      this.onChange();
    }
    const track = this.map.get(id);
    if (track !== undefined) this.knob(track, cc.value / CONTROL_MAX);
  }

  // "CC7 → 16, CC8 → 21"
  describe() {
    return [...this.map].map(([id, track]) => `${controllerName(id)} → ${track}`).join(', ');
  }
}
