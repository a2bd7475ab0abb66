// The page's link to the player: JSON requests carrying the token, and the
// event stream (playhead, sync, error, music), which reconnects by itself
// and is closed while the page stays hidden.

const HIDDEN_CLOSE_MS = 60_000;

export class PlayerLink {
  constructor(token, base = '') {
    this.token = token;
    this.base = base;
    this.events = null;
    this.hiddenTimer = null;
    this.hiddenCloseMs = HIDDEN_CLOSE_MS;
  }

  async request(method, path, body) {
    const init = { method, headers: { Authorization: `Bearer ${this.token}` }, cache: 'no-store' };
    if (body !== undefined) {
      init.headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    const response = await fetch(this.base + path, init);
    let json = null;
    try {
      json = await response.json();
    } catch {
      json = { error: `HTTP ${response.status}` };
    }
    return { status: response.status, body: json };
  }

  async getJson(path) {
    const answer = await this.request('GET', path);
    if (answer.status !== 200) throw new Error((answer.body && answer.body.error) || `HTTP ${answer.status}`);
    return answer.body;
  }

  state() {
    return this.getJson('/api/state');
  }

  spectrum() {
    return this.getJson('/api/spectrum');
  }

  // The music's beats and onsets as far as the player has analysed it.
  music() {
    return this.getJson('/api/music');
  }

  edit(edits) {
    return this.request('POST', '/api/edit', { edits });
  }

  // Every key at or after row AT moved by BY rows, in all tracks.
  shift({ at, by }) {
    return this.request('POST', '/api/edit', { shift: { at, by } });
  }

  transport(body) {
    return this.request('POST', '/api/transport', body);
  }

  // handlers: {playhead(data), sync(data), error(data), music(data), open(),
  // closed()}.
  // A page hidden for longer than hiddenCloseMs closes its stream, since the
  // player keeps only a few open at once, and opens it again when shown.
  listen(handlers, doc = globalThis.document) {
    this.handlers = handlers;
    this.connect();
    if (!doc) return;
    doc.addEventListener('visibilitychange', () => {
      clearTimeout(this.hiddenTimer);
      if (doc.visibilityState === 'hidden') {
        this.hiddenTimer = setTimeout(() => this.disconnect(), this.hiddenCloseMs);
      } else if (!this.events) {
        this.connect();
      }
    });
  }

  connect() {
    const handlers = this.handlers;
    const url = `${this.base}/api/events?token=${encodeURIComponent(this.token)}`;
    const source = new EventSource(url);
    this.events = source;
    for (const name of ['playhead', 'sync', 'error', 'music']) {
      source.addEventListener(name, (event) => {
        // The stream's own failures are Events without data.
        if (typeof event.data !== 'string') return;
        let data;
        try {
          data = JSON.parse(event.data);
        } catch {
          return;
        }
        handlers[name](data);
      });
    }
    source.addEventListener('open', () => handlers.open());
    // The stream's own failure, not the show's "error" event, which has data.
    source.addEventListener('error', (event) => {
      if (typeof event.data !== 'string') handlers.closed();
    });
  }

  disconnect() {
    if (!this.events) return;
    this.events.close();
    this.events = null;
    this.handlers.closed();
  }
}
