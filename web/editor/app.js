// The editor page: wires the player's link, the editing session, the show's
// controls, the panels, the timeline on screen and the mouse together, and
// turns keys into commands. window.editor is this app, for the browser test
// and the console.

import { PlayerLink } from './link.js';
import { Session } from './session.js';
import { Controls } from './controls.js';
import { Panels } from './panels.js';
import { Screen } from './screen.js';
import { Pointer } from './pointer.js';
import { commandFor } from './keymap.js';
import { formatValue } from './model.js';
import { rowAtTime, stepRow, parseTime } from './timeline.js';
import { KIND_NAMES } from './sync_curve.js';

class EditorApp {
  constructor(link) {
    this.link = link;
    const s = (this.session = new Session(link));
    this.screen = new Screen(s, {
      time: () => this.playhead.time(),
      paused: () => this.playhead.paused,
      holding: () => !!this.pointer.gesture,
      frame: (time) => this.panels.updateClock(time, this.playhead.paused, this.playhead.looping),
    });
    const say = (text) => s.say(text);
    this.controls = new Controls(s, this.screen, (body) => link.transport(body), say);
    this.playhead = this.controls.playhead;
    this.pointer = new Pointer(s, this.screen, (time) => this.controls.seek(time));
    const c = this.controls;
    this.panels = new Panels(s, {
      commitRow: (text) => s.commitRow(text),
      commitValue: (text) => s.commitValue(text),
      leaveValue: () => s.leaveEntry(),
      setKind: (kind) => s.setKind(kind),
      setHidden: (name, hidden) => s.setHidden(name, hidden),
      showAll: () => s.showAll(),
      setFilter: (text) => s.setFilter(text),
      seekText: (text) => this.seekText(text),
      undo: () => s.undoStep(false),
      redo: () => s.undoStep(true),
      togglePlay: () => c.togglePlay(),
      loop: () => c.loop(),
      clearLoop: () => c.clearLoop(),
    });
    s.onChange = () => {
      this.panels.update();
      this.screen.clampScroll();
      this.screen.invalidate();
    };
    s.onMessage = (text) => this.panels.say(text);
    s.onLoad = (state) => this.panels.showShowError(state.error || '');
    const row = () => rowAtTime(this.playhead.time(), s.state.rowsPerSecond);
    this.commands = {
      undo: () => s.undoStep(false),
      redo: () => s.undoStep(true),
      copy: () => s.copy(),
      paste: () => s.paste(row()),
      togglePlay: () => c.togglePlay(),
      stepRow: ({ steps, byBar }) => c.seek(Math.max(0, stepRow(row(), steps, byBar, s.state.rowsPerBar)) / s.state.rowsPerSecond),
      selectLane: (direction) => {
        s.selectLane(direction);
        this.screen.revealLane(s.selectedTrack);
      },
      seekStart: () => c.seek(0),
      seekEnd: () => c.seek(s.state.musicLength),
      keyAtPlayhead: () => s.enterKey(row()) && this.panels.focusValue(),
      deleteSelected: () => s.deleteSelected(),
      setKind: (kind) => s.setKind(kind),
      loop: () => c.loop(),
      clearLoop: () => c.clearLoop(),
      selectNothing: () => s.select(new Set()),
    };
  }

  async start() {
    const timeline = document.getElementById('timeline');
    document.addEventListener('keydown', (e) => this.onKey(e));
    this.pointer.bind(document.getElementById('main-canvas'));
    this.screen.fitToWindow();
    new ResizeObserver(() => this.screen.fitToWindow()).observe(timeline);
    if (!(await this.session.load())) return;
    this.screen.fitMusic(this.session.state.musicLength || 60);
    this.link.listen({
      playhead: (data) => this.controls.onEvent(data),
      sync: (data) => this.session.onSync(data.version),
      error: (data) => this.panels.showShowError(data.message || ''),
      open: () => {
        this.panels.linkState(true);
        this.session.linkOpened();
      },
      closed: () => this.panels.linkState(false),
    });
    this.link.spectrum().then(
      (spectrum) => {
        this.screen.timelineView.setSpectrum(spectrum);
        this.screen.invalidate();
      },
      (error) => this.session.say(`no spectrum: ${error.message}`),
    );
  }

  seekText(text) {
    const t = parseTime(text, this.session.state.rowsPerSecond);
    if (Number.isNaN(t)) this.session.say(`'${text}' is no time (75.5, 1:15.5 or r1208)`);
    else this.controls.seek(t);
  }

  onKey(e) {
    const t = e.target;
    if (!this.session.state || (t && ['INPUT', 'SELECT', 'TEXTAREA'].includes(t.tagName))) return;
    const command = commandFor(e);
    if (!command) return;
    e.preventDefault();
    this.commands[command[0]](command[1]);
  }

  // What a test or an author at the console may ask the page.
  get state() {
    return this.session.state;
  }

  get selection() {
    return this.session.selection;
  }

  get selectedTrack() {
    return this.session.selectedTrack;
  }

  get layout() {
    return this.session.layout;
  }

  get channel() {
    return this.session.channel;
  }

  get expected() {
    return this.playhead.expected;
  }

  get playheadEvents() {
    return this.playhead.events;
  }

  get timelineView() {
    return this.screen.timelineView;
  }

  trackKeys(name) {
    const t = this.session.trackByName.get(name);
    return t ? t.keys.map((k) => ({ row: k.row, value: formatValue(k.value), kind: KIND_NAMES[k.kind] || k.kind })) : null;
  }

  visibleLanes() {
    return this.screen.visibleLanes();
  }

  // Draws the whole timeline n times: the times in ms.
  measureRedraw(n) {
    return this.screen.measureRedraw(n);
  }
}

const token = decodeURIComponent(location.hash.replace(/^#/, ''));
const app = new EditorApp(new PlayerLink(token));
window.editor = app;
if (!token) app.session.say('no token: open the address the player logged, with its #TOKEN');
app.start();
