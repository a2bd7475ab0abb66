// The editor page: loads the player's state, keeps it up to date from the
// event stream, turns keys and mouse into edits and transport requests, and
// redraws on the next animation frame only when something changed. Edits
// show at once and go to the player in order (EditChannel); the page never
// waits for the show's frames.

import { PlayerLink } from './link.js';
import { EditChannel } from './edit_channel.js';
import { UndoStack } from './undo.js';
import { TransportQueue, playheadMatches } from './transport.js';
import {
  readState, applyEdits, formatValue, wireEdits, keyAt, trackValueAt, selectionKey, parseSelectionKey, selectedKeys,
  moveEdits, deleteEdits, kindEdits, copyKeys, pasteEdits, sectionAt,
} from './model.js';
import {
  fitView, zoomAt, scrollBy, clampView, revealTime, snapRow, rowAtTime, stepRow, formatTime, parseTime, clamp, xToTime,
} from './timeline.js';
import { layoutLanes } from './lanes.js';
import { TimelineView, hitTest, areas, laneValuePerPixel, laneValueToY } from './view.js';
import { findKey, KIND_NAMES } from './sync_curve.js';

const UNDO_STEPS = 500;
const DRAG_THRESHOLD_PX = 3;
const FINE_DRAG = 0.1;
// How long the page keeps its own playhead when the player's events do not
// come to agree with a request (one the player clamped, say).
const EXPECT_MS = 3000;
const PREDICT_LIMIT_S = 0.15;
const SCRUB_INTERVAL_MS = 50;
const USER_SCROLL_HOLD_MS = 2500;

const $ = (id) => document.getElementById(id);

class EditorApp {
  constructor(link) {
    this.link = link;
    this.state = null;
    this.preview = null; // the state with a drag in progress applied
    this.trackByName = new Map();
    this.channel = null;
    this.undo = new UndoStack(UNDO_STEPS);
    this.view = { start: 0, pxPerSecond: 40 };
    this.laneScroll = 0;
    this.hidden = new Set();
    this.collapsed = new Set();
    this.filter = '';
    this.layout = { lanes: [], height: 0 };
    this.selectedTrack = null;
    this.selection = new Set();
    this.clipboard = null;
    this.loop = null;
    this.playhead = { time: 0, paused: true, looping: false, receivedAt: performance.now() };
    this.expected = null;
    this.transports = new TransportQueue((body) => this.link.transport(body), (body, reason) => {
      this.expected = null;
      this.say(`transport refused: ${reason}`);
    });
    this.playheadEvents = 0;
    this.announcedVersion = undefined;
    this.refusal = null;
    this.reloadWanted = false;
    this.reloading = false;
    this.gesture = null;
    this.lastUserScroll = 0;
    this.mainDirty = true;
    this.frameRequested = false;
    this.lastClock = '';
    this.drawnFrames = 0;
    this.lastDrawMs = 0;
    this.timelineView = new TimelineView($('main-canvas'), $('overlay-canvas'));
  }

  // ---- loading and keeping up to date ----

  async start() {
    this.bindInput();
    this.fitToWindow();
    new ResizeObserver(() => this.fitToWindow()).observe($('timeline'));
    let json;
    try {
      json = await this.link.state();
    } catch (error) {
      this.say(`cannot load the state: ${error.message}`);
      return;
    }
    this.setState(readState(json), true);
    this.channel = new EditChannel((version, edits) => this.link.edit(version, wireEdits(edits)), this.state.version);
    this.channel.onRefused = (tag, info) => this.refused(tag, info);
    this.channel.onIdle = () => this.channelIdle();
    const length = this.state.musicLength || 60;
    this.view = fitView(-0.5, length + 0.5, areas(this.timelineView.width, this.timelineView.height).timeWidth);
    this.link.listen({
      playhead: (data) => this.onPlayhead(data),
      sync: (data) => this.onSync(data),
      error: (data) => this.showShowError(data.message || ''),
      open: () => this.linkState(true),
      closed: () => this.linkState(false),
    });
    this.link.spectrum().then(
      (spectrum) => {
        this.timelineView.setSpectrum(spectrum);
        this.invalidate();
      },
      (error) => this.say(`no spectrum: ${error.message}`),
    );
  }

  // Replaces the state; on the first load, tracks without keys start folded.
  setState(state, first = false) {
    const known = this.state ? new Set(this.state.tracks.map((t) => t.name)) : new Set();
    this.state = state;
    this.trackByName = new Map(state.tracks.map((t) => [t.name, t]));
    for (const track of state.tracks) {
      if ((first || !known.has(track.name)) && track.keys.length === 0) this.collapsed.add(track.name);
    }
    if (first || !this.trackByName.has(this.selectedTrack)) this.selectedTrack = state.tracks.length ? state.tracks[0].name : null;
    // Keys that went away leave the selection.
    for (const k of [...this.selection]) {
      const { track, row } = parseSelectionKey(k);
      const t = this.trackByName.get(track);
      if (!t || !keyAt(t.keys, row)) this.selection.delete(k);
    }
    this.showShowError(state.error || '');
    this.relayout();
    this.updateFields();
    this.updateLanesList();
  }

  onSync(data) {
    this.announcedVersion = data.version;
    if (this.channel && this.channel.idle() && data.version !== this.channel.version) this.reload();
  }

  async reload() {
    if (this.reloading) {
      this.reloadWanted = true;
      return;
    }
    this.reloading = true;
    try {
      const json = await this.link.state();
      if (this.channel.idle()) {
        this.setState(readState(json));
        this.channel.reset(this.state.version);
      } else {
        this.reloadWanted = true;
      }
    } catch (error) {
      this.say(`cannot load the state: ${error.message}`);
    } finally {
      this.reloading = false;
    }
    if (this.reloadWanted && this.channel.idle()) {
      this.reloadWanted = false;
      this.reload();
    }
  }

  refused(tag, info) {
    this.undo.discard(tag.step);
    this.refusal = info;
  }

  channelIdle() {
    if (this.refusal) {
      const r = this.refusal;
      this.refusal = null;
      const why = r.status === 409 ? 'the keys had changed meanwhile' : r.reason;
      this.say(`the player refused the edit (${why}); showing its keys now`);
      this.reload();
    } else if (this.reloadWanted || (this.announcedVersion !== undefined && this.announcedVersion !== this.channel.version)) {
      this.reloadWanted = false;
      this.reload();
    }
    this.updateButtons();
  }

  onPlayhead(data) {
    this.playheadEvents += 1;
    // Events from before the player took the page's last request would move
    // the playhead back: they are passed over until one shows its outcome.
    if (this.expected) {
      if (performance.now() < this.expected.until && !playheadMatches(this.expected, data)) return;
      this.expected = null;
    }
    this.playhead = { time: data.time, paused: !!data.paused, looping: !!data.looping, receivedAt: performance.now() };
    if (!data.looping && this.loop) {
      this.loop = null;
      this.invalidate();
    }
    this.requestFrame();
  }

  // The playhead's time now: between two events, a playing show is assumed
  // to have moved on in real time, by a little at most.
  playheadTime() {
    const p = this.playhead;
    if (p.paused) return p.time;
    const elapsed = (performance.now() - p.receivedAt) / 1000;
    return p.time + Math.min(elapsed, PREDICT_LIMIT_S);
  }

  // ---- edits ----

  // Applies edits at once and sends them as one undoable step.
  commit(edits, selection) {
    if (!this.state || edits.length === 0) return false;
    const result = applyEdits(this.state, edits);
    if (result.error) {
      this.say(result.error);
      return false;
    }
    const step = { edits, inverse: result.inverse };
    this.undo.push(step);
    if (selection) this.selection = selection;
    this.setState(result.state);
    this.channel.send(edits, { step });
    this.updateButtons();
    return true;
  }

  undoStep(redo = false) {
    if (!this.state) return;
    const step = redo ? this.undo.redo() : this.undo.undo();
    if (!step) {
      this.say(redo ? 'nothing to redo' : 'nothing to undo');
      return;
    }
    const edits = redo ? step.edits : step.inverse;
    const result = applyEdits(this.state, edits);
    if (result.error) {
      this.undo.discard(step);
      this.say(`cannot ${redo ? 'redo' : 'undo'}: the keys changed since (${result.error})`);
      return;
    }
    this.setState(result.state);
    this.channel.send(edits, { step });
    this.updateButtons();
  }

  // Enter: a key at the playhead's row on the selected lane, with the value
  // the track has there, and the value field ready for typing.
  keyAtPlayhead() {
    const track = this.trackByName.get(this.selectedTrack);
    if (!track) {
      this.say('select a lane first (Up / Down)');
      return;
    }
    const row = rowAtTime(this.playheadTime(), this.state.rowsPerSecond);
    this.setKey(track, row);
    $('key-value').focus();
    $('key-value').select();
  }

  setKey(track, row) {
    if (row < 0) return;
    const selection = new Set([selectionKey(track.name, row)]);
    if (!keyAt(track.keys, row)) {
      const before = findKey(track.keys, row);
      const kind = before >= 0 ? track.keys[before].kind : 0;
      this.commit([{ op: 'set', track: track.name, row, value: trackValueAt(track, row), kind: clamp(kind, 0, 3) }], selection);
    } else {
      this.selection = selection;
      this.updateFields();
    }
    if (this.collapsed.delete(track.name)) this.relayout();
    this.invalidate();
  }

  deleteSelected() {
    this.commit(deleteEdits(this.state, this.selection), new Set());
  }

  setKind(kind) {
    this.commit(kindEdits(this.state, this.selection, kind));
  }

  copy() {
    const clip = copyKeys(this.state, this.selection);
    if (clip) {
      this.clipboard = clip;
      this.say(`${clip.keys.length} key${clip.keys.length > 1 ? 's' : ''} copied`);
    }
  }

  paste() {
    if (!this.clipboard) return;
    const row = rowAtTime(this.playheadTime(), this.state.rowsPerSecond);
    const { edits, selection } = pasteEdits(this.state, this.clipboard, row, this.selectedTrack);
    this.commit(edits, selection);
  }

  // ---- transport ----

  transport(body) {
    this.transports.request(body);
  }

  // Shown at once, before the player's own playhead confirms it.
  localPlayhead(change) {
    const now = performance.now();
    this.playhead = { ...this.playhead, time: this.playheadTime(), ...change, receivedAt: now };
    this.expected = { ...(this.expected && now < this.expected.until ? this.expected : {}), ...change, until: now + EXPECT_MS };
    this.requestFrame();
  }

  togglePlay() {
    this.transport({ action: 'toggle' });
    this.localPlayhead({ paused: !this.playhead.paused });
  }

  seek(time) {
    if (!this.state) return;
    const t = clamp(time, 0, Math.max(0, this.state.musicLength));
    this.transport({ action: 'seek', time: t });
    this.localPlayhead({ time: t });
    this.reveal(t);
  }

  seekRow(row) {
    this.seek(row / this.state.rowsPerSecond);
  }

  setLoop(from, to) {
    if (!(to > from)) return;
    this.loop = { from, to };
    this.transport({ action: 'loop', from, to });
    this.localPlayhead({ looping: true });
    this.invalidate();
  }

  clearLoop() {
    this.loop = null;
    this.transport({ action: 'clearLoop' });
    this.localPlayhead({ looping: false });
    this.invalidate();
  }

  // L: the selected keys' rows, else the section at the playhead.
  loopSelectionOrSection() {
    const rps = this.state.rowsPerSecond;
    const picked = selectedKeys(this.state, this.selection);
    if (picked.length > 1) {
      const rows = picked.map((p) => p.key.row);
      const from = Math.min(...rows);
      const to = Math.max(...rows);
      if (to > from) return this.setLoop(from / rps, to / rps);
    }
    const sections = this.state.sections;
    const i = sectionAt(sections, this.playheadTime());
    if (i < 0) return this.say('no section here to loop');
    const end = i + 1 < sections.length ? sections[i + 1].start : this.state.musicLength;
    this.setLoop(sections[i].start, end);
  }

  // ---- view ----

  fitToWindow() {
    const box = $('timeline').getBoundingClientRect();
    this.timelineView.resize(Math.max(200, Math.floor(box.width)), Math.max(120, Math.floor(box.height)), window.devicePixelRatio || 1);
    this.clampScroll();
    this.invalidate();
  }

  relayout() {
    if (!this.state) return;
    this.layout = layoutLanes(this.state.tracks, { hidden: this.hidden, collapsed: this.collapsed, filter: this.filter });
    this.clampScroll();
    this.invalidate();
  }

  clampScroll() {
    const a = areas(this.timelineView.width, this.timelineView.height);
    const room = a.lanesBottom - a.lanesTop;
    this.laneScroll = clamp(this.laneScroll, 0, Math.max(0, this.layout.height - room));
  }

  setView(view) {
    const width = areas(this.timelineView.width, this.timelineView.height).timeWidth;
    const next = clampView(view, this.state ? this.state.musicLength : 60, width);
    if (next.start !== this.view.start || next.pxPerSecond !== this.view.pxPerSecond) {
      this.view = next;
      this.invalidate();
    }
  }

  reveal(time) {
    const width = areas(this.timelineView.width, this.timelineView.height).timeWidth;
    this.setView(revealTime(this.view, time, width));
  }

  // The selected lane scrolled into sight.
  revealLane(name) {
    const lane = this.layout.lanes.find((l) => l.track === name);
    if (!lane) return;
    const a = areas(this.timelineView.width, this.timelineView.height);
    const room = a.lanesBottom - a.lanesTop;
    if (lane.y < this.laneScroll) this.laneScroll = lane.y;
    else if (lane.y + lane.h > this.laneScroll + room) this.laneScroll = lane.y + lane.h - room;
    this.clampScroll();
  }

  scene() {
    const state = this.preview || this.state;
    return {
      width: this.timelineView.width,
      height: this.timelineView.height,
      view: this.view,
      layout: this.layout,
      laneScroll: this.laneScroll,
      trackByName: this.preview ? new Map(state.tracks.map((t) => [t.name, t])) : this.trackByName,
      rowsPerSecond: state.rowsPerSecond,
      rowsPerBar: state.rowsPerBar,
      musicLength: state.musicLength,
      sections: state.sections,
      selection: this.selection,
      selectedTrack: this.selectedTrack,
      loop: this.loop,
    };
  }

  invalidate() {
    this.mainDirty = true;
    this.requestFrame();
  }

  requestFrame() {
    if (this.frameRequested) return;
    this.frameRequested = true;
    requestAnimationFrame(() => this.frame());
  }

  frame() {
    this.frameRequested = false;
    if (!this.state) return;
    const time = this.playheadTime();
    const playing = !this.playhead.paused;
    if (playing && !this.gesture && performance.now() - this.lastUserScroll > USER_SCROLL_HOLD_MS) this.reveal(time);
    if (this.mainDirty) this.redraw();
    this.timelineView.drawOverlay(this.scene(), time, this.gesture && this.gesture.rubber);
    this.updateClock(time);
    if (playing) this.requestFrame();
  }

  redraw() {
    this.mainDirty = false;
    const t0 = performance.now();
    this.timelineView.draw(this.scene());
    this.lastDrawMs = performance.now() - t0;
    this.drawnFrames += 1;
  }

  updateClock(time) {
    const rps = this.state.rowsPerSecond;
    const row = rowAtTime(time, rps);
    const s = sectionAt(this.state.sections, time);
    const text = `${formatTime(time)}  row ${row}  bar ${Math.floor(row / this.state.rowsPerBar)}${s >= 0 ? `  ${this.state.sections[s].name}` : ''}${this.playhead.paused ? '  paused' : ''}${this.playhead.looping ? '  loop' : ''}`;
    if (text !== this.lastClock) {
      this.lastClock = text;
      $('clock').textContent = text;
      $('play').textContent = this.playhead.paused ? '▶' : '❚❚';
    }
  }

  // ---- fields, panels, messages ----

  updateFields() {
    const picked = this.state ? selectedKeys(this.state, this.selection) : [];
    const row = $('key-row');
    const value = $('key-value');
    const kind = $('key-kind');
    for (const e of [row, value, kind]) e.disabled = picked.length === 0;
    $('key-count').textContent = picked.length > 1 ? `${picked.length} keys` : '';
    if (picked.length === 0) {
      row.value = '';
      value.value = '';
      return;
    }
    const first = picked[0];
    if (document.activeElement !== row) row.value = picked.length === 1 ? String(first.key.row) : '';
    row.disabled = picked.length !== 1;
    if (document.activeElement !== value) value.value = picked.every((p) => p.key.value === first.key.value) ? formatValue(first.key.value) : '';
    kind.value = String(first.key.kind);
  }

  commitField(which) {
    const picked = selectedKeys(this.state, this.selection);
    if (picked.length === 0) return;
    if (which === 'row') {
      const to = Number($('key-row').value);
      if (!Number.isInteger(to)) return this.say('a row is a whole number');
      const moved = moveEdits(this.state, this.selection, to - picked[0].key.row);
      if (moved.error) return this.say(moved.error);
      this.commit(moved.edits, moved.selection);
    } else if (which === 'value') {
      const text = $('key-value').value.trim();
      const v = Number(text);
      if (text === '' || !Number.isFinite(v)) return this.say(`'${text}' is not a number`);
      const edits = picked
        .filter((p) => p.key.value !== Math.fround(v))
        .map((p) => ({ op: 'value', track: p.track, row: p.key.row, value: v }));
      this.commit(edits);
    } else if (which === 'kind') {
      this.setKind(Number($('key-kind').value));
    }
    this.updateFields();
  }

  updateButtons() {
    $('undo').disabled = !this.undo.canUndo();
    $('redo').disabled = !this.undo.canRedo();
  }

  updateLanesList() {
    const list = $('lanes-list');
    if (list.childElementCount === this.state.tracks.length) {
      for (const box of list.querySelectorAll('input')) box.checked = !this.hidden.has(box.dataset.track);
      return;
    }
    list.textContent = '';
    for (const track of this.state.tracks) {
      const li = document.createElement('li');
      const label = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.checked = !this.hidden.has(track.name);
      box.dataset.track = track.name;
      box.addEventListener('change', () => {
        if (box.checked) this.hidden.delete(track.name);
        else this.hidden.add(track.name);
        this.relayout();
      });
      const note = document.createElement('span');
      note.className = 'label';
      note.textContent = track.label;
      label.append(box, ` ${track.name}`, note);
      li.append(label);
      list.append(li);
    }
  }

  say(text) {
    const box = $('message');
    box.textContent = text;
    box.hidden = !text;
    clearTimeout(this.messageTimer);
    if (text) this.messageTimer = setTimeout(() => (box.hidden = true), 6000);
  }

  showShowError(message) {
    const box = $('show-error');
    box.textContent = message ? `the show: ${message}` : '';
    box.hidden = !message;
  }

  linkState(on) {
    const e = $('link-state');
    e.textContent = on ? 'linked' : 'offline';
    e.classList.toggle('on', on);
    // Whatever happened while the stream was down is read again.
    if (on && this.channel) this.reload();
  }

  // ---- input ----

  bindInput() {
    document.addEventListener('keydown', (e) => this.onKey(e));
    const canvas = $('main-canvas');
    canvas.addEventListener('mousedown', (e) => this.onMouseDown(e));
    canvas.addEventListener('dblclick', (e) => this.onDoubleClick(e));
    window.addEventListener('mousemove', (e) => this.onMouseMove(e));
    window.addEventListener('mouseup', (e) => this.onMouseUp(e));
    canvas.addEventListener('wheel', (e) => this.onWheel(e), { passive: false });
    $('play').addEventListener('click', () => this.togglePlay());
    $('loop').addEventListener('click', () => this.loopSelectionOrSection());
    $('clear-loop').addEventListener('click', () => this.clearLoop());
    $('undo').addEventListener('click', () => this.undoStep(false));
    $('redo').addEventListener('click', () => this.undoStep(true));
    $('seek-to').addEventListener('keydown', (e) => {
      if (e.key !== 'Enter') return;
      const t = parseTime(e.target.value, this.state.rowsPerSecond);
      if (Number.isNaN(t)) this.say(`'${e.target.value}' is no time (75.5, 1:15.5 or r1208)`);
      else this.seek(t);
      e.target.blur();
    });
    for (const [id, which] of [['key-row', 'row'], ['key-value', 'value']]) {
      // A field left with Tab or a click keeps what was typed, as Enter does.
      $(id).addEventListener('change', () => {
        if (!this.abandoning) this.commitField(which);
      });
      $(id).addEventListener('keydown', (e) => {
        if (e.key === 'Enter') {
          this.commitField(which);
          e.target.blur();
        } else if (e.key === 'Escape') {
          this.abandoning = true;
          e.target.blur();
          this.abandoning = false;
          this.updateFields();
        }
      });
    }
    $('key-kind').addEventListener('change', () => {
      this.commitField('kind');
      $('key-kind').blur();
    });
    $('filter').addEventListener('input', (e) => {
      this.filter = e.target.value;
      this.relayout();
    });
    $('filter').addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === 'Escape') e.target.blur();
    });
    $('lanes-button').addEventListener('click', () => ($('lanes-panel').hidden = !$('lanes-panel').hidden));
    $('lanes-close').addEventListener('click', () => ($('lanes-panel').hidden = true));
    $('lanes-all').addEventListener('click', () => {
      this.hidden.clear();
      this.updateLanesList();
      this.relayout();
    });
    $('help-button').addEventListener('click', () => ($('help-panel').hidden = !$('help-panel').hidden));
    $('help-close').addEventListener('click', () => ($('help-panel').hidden = true));
  }

  onKey(e) {
    if (!this.state) return;
    const target = e.target;
    if (target && (target.tagName === 'INPUT' || target.tagName === 'SELECT' || target.tagName === 'TEXTAREA')) return;
    const ctrl = e.ctrlKey || e.metaKey;
    const rps = this.state.rowsPerSecond;
    const bar = this.state.rowsPerBar;
    let handled = true;
    if (ctrl && (e.key === 'z' || e.key === 'Z')) this.undoStep(e.shiftKey);
    else if (ctrl && (e.key === 'y' || e.key === 'Y')) this.undoStep(true);
    else if (ctrl && (e.key === 'c' || e.key === 'C')) this.copy();
    else if (ctrl && (e.key === 'v' || e.key === 'V')) this.paste();
    else if (ctrl) handled = false;
    else if (e.key === ' ') this.togglePlay();
    else if (e.key === 'ArrowLeft' || e.key === 'ArrowRight') {
      const row = rowAtTime(this.playheadTime(), rps);
      this.seekRow(Math.max(0, stepRow(row, e.key === 'ArrowLeft' ? -1 : 1, e.shiftKey, bar)));
    } else if (e.key === 'ArrowUp' || e.key === 'ArrowDown') this.selectLane(e.key === 'ArrowUp' ? -1 : 1);
    else if (e.key === 'Home') this.seek(0);
    else if (e.key === 'End') this.seek(this.state.musicLength);
    else if (e.key === 'Enter') this.keyAtPlayhead();
    else if (e.key === 'Delete' || e.key === 'Backspace') this.deleteSelected();
    else if (e.key >= '1' && e.key <= '4' && e.key.length === 1) this.setKind(Number(e.key) - 1);
    else if (e.key === 'l' || e.key === 'L') {
      if (e.shiftKey) this.clearLoop();
      else this.loopSelectionOrSection();
    } else if (e.key === 'Escape') {
      this.selection = new Set();
      this.updateFields();
      this.invalidate();
    } else handled = false;
    if (handled) e.preventDefault();
  }

  selectLane(direction) {
    const lanes = this.layout.lanes;
    if (lanes.length === 0) return;
    const at = lanes.findIndex((l) => l.track === this.selectedTrack);
    const next = at < 0 ? 0 : clamp(at + direction, 0, lanes.length - 1);
    this.selectedTrack = lanes[next].track;
    this.revealLane(this.selectedTrack);
    this.invalidate();
  }

  pointer(e) {
    const box = $('main-canvas').getBoundingClientRect();
    return { x: e.clientX - box.left, y: e.clientY - box.top };
  }

  onMouseDown(e) {
    if (!this.state || e.button !== 0) return;
    e.preventDefault();
    document.activeElement && document.activeElement.blur && document.activeElement.blur();
    const { x, y } = this.pointer(e);
    const hit = hitTest(this.scene(), x, y);
    if (hit.area === 'ruler') {
      this.gesture = { type: 'scrub', lastSent: 0 };
      this.scrubTo(hit.time, e.shiftKey, true);
      return;
    }
    if (hit.area === 'sections') {
      const i = sectionAt(this.state.sections, hit.time);
      if (i >= 0) this.seek(this.state.sections[i].start);
      return;
    }
    if (hit.area === 'header' && hit.track) {
      if (x < 18) {
        if (!this.collapsed.delete(hit.track)) this.collapsed.add(hit.track);
        this.relayout();
      }
      this.selectedTrack = hit.track;
      this.invalidate();
      return;
    }
    if (hit.area !== 'lane' || !hit.track) return;
    this.selectedTrack = hit.track;
    if (hit.key) {
      const k = selectionKey(hit.track, hit.key.row);
      // Ctrl toggles a key in the selection, Shift adds it (so a Shift-drag
      // of a selected key, snapping to bars, keeps it selected).
      if (e.ctrlKey || e.metaKey) {
        if (this.selection.has(k)) this.selection.delete(k);
        else this.selection.add(k);
      } else if (e.shiftKey) {
        this.selection.add(k);
      } else if (!this.selection.has(k)) {
        this.selection = new Set([k]);
      }
      const lane = this.layout.lanes[hit.lane];
      this.gesture = {
        type: 'drag', x0: x, y0: y, key: hit.key, track: hit.track, axis: null,
        valuePerPixel: laneValuePerPixel(this.trackByName.get(hit.track).keys, lane.h), edits: null, selection: null,
      };
      this.updateFields();
    } else {
      if (!e.shiftKey) this.selection = new Set();
      this.gesture = { type: 'rubber', additive: e.shiftKey, base: new Set(this.selection), rubber: { x0: x, y0: y, x1: x, y1: y } };
      this.updateFields();
    }
    this.invalidate();
  }

  onDoubleClick(e) {
    if (!this.state) return;
    const { x, y } = this.pointer(e);
    const hit = hitTest(this.scene(), x, y);
    if (hit.area === 'header' && hit.track && x >= 18) {
      if (!this.collapsed.delete(hit.track)) this.collapsed.add(hit.track);
      this.relayout();
      return;
    }
    if (hit.area !== 'lane' || !hit.track || hit.key) return;
    const row = snapRow(hit.time * this.state.rowsPerSecond, e.shiftKey, this.state.rowsPerBar);
    this.setKey(this.trackByName.get(hit.track), row);
  }

  scrubTo(time, toBar, force) {
    const rps = this.state.rowsPerSecond;
    const t = snapRow(time * rps, toBar, this.state.rowsPerBar) / rps;
    const now = performance.now();
    if (force || now - this.gesture.lastSent >= SCRUB_INTERVAL_MS) {
      this.gesture.lastSent = now;
      this.seek(t);
    } else {
      this.gesture.pending = t;
    }
  }

  onMouseMove(e) {
    const g = this.gesture;
    if (!g) return;
    const { x, y } = this.pointer(e);
    if (g.type === 'scrub') {
      const a = areas(this.timelineView.width, this.timelineView.height);
      this.scrubTo(xToTime(this.view, x - a.timeLeft), e.shiftKey, false);
    } else if (g.type === 'rubber') {
      g.rubber.x1 = x;
      g.rubber.y1 = y;
      this.selectInRubber(g);
    } else if (g.type === 'drag') {
      const dx = x - g.x0;
      const dy = y - g.y0;
      if (!g.axis) {
        if (Math.max(Math.abs(dx), Math.abs(dy)) < DRAG_THRESHOLD_PX) return;
        g.axis = Math.abs(dx) >= Math.abs(dy) ? 'time' : 'value';
      }
      const rps = this.state.rowsPerSecond;
      let rowDelta = 0;
      let valueDelta = 0;
      if (g.axis === 'time') {
        const row = g.key.row + (dx / this.view.pxPerSecond) * rps;
        rowDelta = snapRow(row, e.shiftKey, this.state.rowsPerBar) - g.key.row;
      } else {
        valueDelta = -dy * g.valuePerPixel * (e.altKey ? FINE_DRAG : 1);
      }
      const moved = moveEdits(this.state, this.selection, rowDelta, valueDelta);
      if (moved.error || moved.edits.length === 0) {
        g.edits = null;
        this.preview = null;
      } else {
        const applied = applyEdits(this.state, moved.edits);
        g.edits = applied.error ? null : moved.edits;
        g.selection = moved.selection;
        this.preview = applied.error ? null : applied.state;
      }
      this.invalidate();
    }
  }

  onMouseUp() {
    const g = this.gesture;
    if (!g) return;
    this.gesture = null;
    if (g.type === 'scrub' && g.pending !== undefined) this.seek(g.pending);
    if (g.type === 'drag') {
      this.preview = null;
      if (g.edits) this.commit(g.edits, g.selection);
      this.updateFields();
    }
    this.invalidate();
  }

  selectInRubber(g) {
    const a = areas(this.timelineView.width, this.timelineView.height);
    const r = g.rubber;
    const t0 = xToTime(this.view, Math.min(r.x0, r.x1) - a.timeLeft);
    const t1 = xToTime(this.view, Math.max(r.x0, r.x1) - a.timeLeft);
    const yTop = Math.min(r.y0, r.y1);
    const yBottom = Math.max(r.y0, r.y1);
    const rps = this.state.rowsPerSecond;
    const selection = new Set(g.additive ? g.base : []);
    for (const lane of this.layout.lanes) {
      const top = a.lanesTop + lane.y - this.laneScroll;
      if (lane.collapsed || top > yBottom || top + lane.h < yTop) continue;
      const track = this.trackByName.get(lane.track);
      const yOf = laneValueToY(track.keys, top, lane.h);
      for (let i = Math.max(0, findKey(track.keys, Math.floor(t0 * rps))); i < track.keys.length; ++i) {
        const k = track.keys[i];
        if (k.row / rps > t1) break;
        const ky = yOf(k.value);
        if (k.row / rps >= t0 && ky >= yTop && ky <= yBottom) selection.add(selectionKey(lane.track, k.row));
      }
    }
    this.selection = selection;
    this.updateFields();
    this.invalidate();
  }

  onWheel(e) {
    if (!this.state) return;
    e.preventDefault();
    const { x } = this.pointer(e);
    const a = areas(this.timelineView.width, this.timelineView.height);
    const delta = e.deltaMode === 1 ? e.deltaY * 16 : e.deltaY;
    if (e.ctrlKey || e.metaKey) {
      this.setView(zoomAt(this.view, x - a.timeLeft, Math.exp(-delta * 0.002)));
    } else if (e.shiftKey || Math.abs(e.deltaX) > Math.abs(e.deltaY)) {
      this.setView(scrollBy(this.view, e.shiftKey ? delta : e.deltaX));
    } else {
      this.laneScroll += delta;
      this.clampScroll();
      this.invalidate();
    }
    this.lastUserScroll = performance.now();
  }

  // What a test or an author at the console may ask the page.
  trackKeys(name) {
    const t = this.trackByName.get(name);
    return t ? t.keys.map((k) => ({ row: k.row, value: formatValue(k.value), kind: KIND_NAMES[k.kind] || k.kind })) : null;
  }

  visibleLanes() {
    return this.timelineView.visibleLanes(this.scene(), areas(this.timelineView.width, this.timelineView.height));
  }

  // Draws the whole timeline n times and gives the times in ms, each
  // including the rasterisation (a pixel read forces it).
  measureRedraw(n) {
    const times = [];
    const ctx = this.timelineView.ctx;
    for (let i = 0; i < n; ++i) {
      this.view = { ...this.view, start: this.view.start + (i % 2 ? 1e-3 : -1e-3) };
      const t0 = performance.now();
      this.timelineView.draw(this.scene());
      ctx.getImageData(0, 0, 1, 1);
      times.push(performance.now() - t0);
    }
    return times;
  }
}

const token = decodeURIComponent(location.hash.replace(/^#/, ''));
const app = new EditorApp(new PlayerLink(token));
window.editor = app;
if (!token) app.say('no token: open the address the player logged, with its #TOKEN');
app.start();
