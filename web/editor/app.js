// The editor page: wires the player's link, the editing session, the
// music's timing, the show's controls, record with its knobs, the panels,
// the timeline on screen and the mouse together, and turns keys into
// commands. window.editor is this app, for the browser test and the
// console.

import { PlayerLink } from './link.js';
import { Session } from './session.js';
import { Controls } from './controls.js';
import { Panels } from './panels.js';
import { TimingPanel } from './timing_panel.js';
import { Screen } from './screen.js';
import { Pointer } from './pointer.js';
import { Recorder } from './recorder.js';
import { MidiKnobs } from './midi.js';
import { MusicTiming, readMusic } from './music.js';
import { commandFor } from './keymap.js';
import { formatValue, valueRange, sectionNamed, unknownSection } from './model.js';
import { rowAtTime, parseTime } from './timeline.js';
import { shiftAtRow } from './time_shift.js';
import { KIND_NAMES } from './sync_curve.js';

class EditorApp {
  constructor(link) {
    this.link = link;
    const s = (this.session = new Session(link));
    const timing = (this.timing = new MusicTiming());
    this.screen = new Screen(s, timing, {
      time: () => this.playhead.time(),
      paused: () => this.playhead.paused,
      holding: () => !!this.pointer.gesture,
      recorded: (state) => this.recorder.preview(state),
      frame: (time) => {
        this.panels.updateClock(time, this.playhead.paused, this.playhead.looping);
        this.recorder.tick();
      },
    });
    const say = (text) => s.say(text);
    this.controls = new Controls(s, this.screen, (body) => link.transport(body), say);
    this.playhead = this.controls.playhead;
    this.recorder = new Recorder(s, timing, {
      time: () => this.playhead.time(),
      playing: () => !this.playhead.paused,
      now: () => performance.now(),
    });
    this.midi = new MidiKnobs((track, share) => this.recorder.knob(track, share), () => this.updateTiming());
    this.recorder.onChange = () => {
      this.updateTiming();
      this.screen.invalidate();
    };
    this.timingPanel = new TimingPanel({
      cycleSnap: () => this.commands.cycleSnap(),
      toggleGrid: () => this.commands.toggleGrid(),
      toggleRecord: () => this.commands.toggleRecord(),
      knob: (share) => s.selectedTrack !== null && this.recorder.knob(s.selectedTrack, share),
      setTolerance: (text) => {
        if (!this.recorder.setTolerance(Number(text) / 100)) say(`'${text}' is no tolerance: a share of the lane's range in %, such as 1`);
        this.updateTiming();
      },
      learn: () => this.midi.learn(this.midi.learning === null ? s.selectedTrack : null),
      shiftTime: (count, unit, remove) => this.shiftTime(count, unit, remove),
    });
    this.pointer = new Pointer(s, this.screen, timing, (time) => this.controls.seek(time), (text) => this.timingPanel.readout(text));
    const c = this.controls;
    this.panels = new Panels(s, timing, {
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
    s.onLoad = (state) => {
      this.panels.showShowError(state.error || '');
      timing.setRows(state.rowsPerSecond, state.rowsPerBar);
    };
    const row = () => rowAtTime(this.playhead.time(), s.state.rowsPerSecond);
    this.commands = {
      undo: () => s.undoStep(false),
      redo: () => s.undoStep(true),
      copy: () => s.copy(),
      paste: () => s.paste(row()),
      togglePlay: () => c.togglePlay(),
      stepRow: ({ steps, byUnit }) => c.seek(Math.max(0, byUnit ? timing.step(row(), steps) : row() + steps) / s.state.rowsPerSecond),
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
      tap: (value) => this.recorder.tap(value),
      toggleRecord: () => {
        this.recorder.toggle();
        say(this.recorder.armed ? 'record on: Enter and 0-9 tap keys, knobs write theirs while the show plays' : 'record off');
      },
      cycleSnap: () => {
        timing.cycleMode();
        this.updateTiming();
      },
      toggleGrid: () => {
        timing.toggleGrid();
        this.updateTiming();
        this.screen.invalidate();
      },
    };
  }

  updateTiming() {
    this.timingPanel.update(this.timing, this.recorder, this.midi);
  }

  // The music's beats and onsets, as far as the player has them.
  async loadMusic() {
    try {
      this.timing.setMusic(readMusic(await this.link.music()));
    } catch {
      return; // an older player, or none: the row grid stays
    }
    this.updateTiming();
    this.screen.invalidate();
  }

  // N rows, beats or bars inserted at the playhead (or removed after it) in
  // every track; beats and bars as long as the music's are there.
  shiftTime(countText, unit, remove) {
    const s = this.session;
    if (!s.state) return;
    const count = Number(String(countText).trim());
    if (!Number.isInteger(count) || count < 1) return s.say(`'${countText}' is not a count: a whole number, 1 or more`);
    const at = rowAtTime(this.playhead.time(), s.state.rowsPerSecond);
    const rows = this.timing.span(at, count, unit);
    if (s.commitShift(shiftAtRow(at, rows, remove))) {
      s.say(`${remove ? 'removed' : 'inserted'} ${rows} row${rows === 1 ? '' : 's'} (${count} ${unit}) at row ${at}`);
    }
  }

  async start() {
    const timeline = document.getElementById('timeline');
    document.addEventListener('keydown', (e) => this.onKey(e));
    this.pointer.bind(document.getElementById('main-canvas'));
    this.screen.fitToWindow();
    new ResizeObserver(() => this.screen.fitToWindow()).observe(timeline);
    this.updateTiming();
    if (!(await this.session.load())) return;
    this.screen.fitMusic(this.session.state.musicLength || 60);
    this.loadMusic();
    this.midi.start();
    this.link.listen({
      playhead: (data) => this.controls.onEvent(data),
      sync: (data) => this.session.onSync(data.version),
      error: (data) => this.panels.showShowError(data.message || ''),
      music: () => this.loadMusic(),
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

  // A time, a row or, as the player's --start takes it, a section's name.
  seekText(text) {
    const t = parseTime(text, this.session.state.rowsPerSecond);
    if (!Number.isNaN(t)) return this.controls.seek(t);
    const sections = this.session.state.sections;
    const section = sectionNamed(sections, String(text).trim());
    if (section) return this.controls.seek(section.start);
    this.session.say(`'${text}' is no time (75.5, 1:15.5 or r1208) and ${unknownSection(String(text).trim(), sections)}`);
  }

  onKey(e) {
    const t = e.target;
    if (!this.session.state || (t && ['INPUT', 'SELECT', 'TEXTAREA'].includes(t.tagName))) return;
    const command = commandFor(e, { taps: this.recorder.live() });
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

  // The range of a lane's value axis, which a knob spans.
  laneRange(name) {
    const t = this.session.trackByName.get(name);
    return t ? valueRange(t.keys) : null;
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
