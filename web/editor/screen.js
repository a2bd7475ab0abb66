// The timeline on screen: its canvases, the time window (zoom and scroll),
// the lanes' scroll, the loop, a drag's preview or a take being recorded as
// drawn, the grid and onsets of the music, and the redraw on the next
// animation frame only when something changed; while the show plays the
// window follows the playhead unless the author scrolled a moment ago.

import { TimelineView, areas } from './view.js';
import { fitView, clampView, revealTime, clamp } from './timeline.js';

const USER_SCROLL_HOLD_MS = 2500;

export class Screen {
  // hooks: {time() the playhead's time, paused(), frame(time) after each
  // frame, holding() while a gesture holds the window still, recorded(state)
  // the state with a take's keys so far, or null}; timing: the music's.
  constructor(session, timing, hooks) {
    this.session = session;
    this.timing = timing;
    this.hooks = hooks;
    this.shown = null; // {state, trackByName} of a state other than the session's
    this.view = { start: 0, pxPerSecond: 40 };
    this.laneScroll = 0;
    this.loop = null;
    this.preview = null; // the state with a drag in progress applied
    this.rubber = null;
    this.lastUserScroll = 0;
    this.mainDirty = true;
    this.frameRequested = false;
    this.drawnFrames = 0;
    this.lastDrawMs = 0;
    this.timelineView = new TimelineView(document.getElementById('main-canvas'), document.getElementById('overlay-canvas'));
  }

  areas() {
    return areas(this.timelineView.width, this.timelineView.height);
  }

  fitToWindow() {
    const box = document.getElementById('timeline').getBoundingClientRect();
    this.timelineView.resize(Math.max(200, Math.floor(box.width)), Math.max(120, Math.floor(box.height)), window.devicePixelRatio || 1);
    this.clampScroll();
    this.invalidate();
  }

  // The whole music in sight.
  fitMusic(length) {
    this.view = fitView(-0.5, length + 0.5, this.areas().timeWidth);
    this.invalidate();
  }

  // From one time to another in sight, with a small margin.
  fitTimes(from, to) {
    const margin = (to - from) * 0.02;
    this.setView(fitView(from - margin, to + margin, this.areas().timeWidth));
  }

  clampScroll() {
    const a = this.areas();
    this.laneScroll = clamp(this.laneScroll, 0, Math.max(0, this.session.layout.height - (a.lanesBottom - a.lanesTop)));
  }

  scrollLanes(dy) {
    this.laneScroll += dy;
    this.clampScroll();
    this.invalidate();
  }

  setView(view) {
    const state = this.session.state;
    const next = clampView(view, state ? state.musicLength : 60, this.areas().timeWidth);
    if (next.start !== this.view.start || next.pxPerSecond !== this.view.pxPerSecond) {
      this.view = next;
      this.invalidate();
    }
  }

  reveal(time) {
    this.setView(revealTime(this.view, time, this.areas().timeWidth));
  }

  // A lane scrolled into sight.
  revealLane(name) {
    const lane = this.session.layout.lanes.find((l) => l.track === name);
    if (!lane) return;
    const a = this.areas();
    const room = a.lanesBottom - a.lanesTop;
    if (lane.y < this.laneScroll) this.laneScroll = lane.y;
    else if (lane.y + lane.h > this.laneScroll + room) this.laneScroll = lane.y + lane.h - room;
    this.clampScroll();
    this.invalidate();
  }

  // The keys drawn: a drag's preview, else a take's, else the session's.
  shownState() {
    const s = this.session;
    const state = this.preview || this.hooks.recorded(s.state) || s.state;
    if (state === s.state) return { state, trackByName: s.trackByName };
    if (!this.shown || this.shown.state !== state) this.shown = { state, trackByName: new Map(state.tracks.map((t) => [t.name, t])) };
    return this.shown;
  }

  scene() {
    const s = this.session;
    const { state, trackByName } = this.shownState();
    const timing = this.timing;
    return {
      width: this.timelineView.width,
      height: this.timelineView.height,
      view: this.view,
      layout: s.layout,
      laneScroll: this.laneScroll,
      trackByName,
      rowsPerSecond: state.rowsPerSecond,
      rowsPerBar: state.rowsPerBar,
      musicLength: state.musicLength,
      sections: state.sections,
      selection: s.selection,
      selectedTrack: s.selectedTrack,
      loop: this.loop,
      gridLines: timing.onMusicGrid() ? (from, to) => timing.gridLines(from, to) : null,
      onsets: timing.onsetRows.length ? (from, to) => timing.onsetsBetween(from, to) : null,
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
    if (!this.session.state) return;
    const time = this.hooks.time();
    const playing = !this.hooks.paused();
    if (playing && !this.hooks.holding() && performance.now() - this.lastUserScroll > USER_SCROLL_HOLD_MS) this.reveal(time);
    if (this.mainDirty) this.redraw();
    this.timelineView.drawOverlay(this.scene(), time, this.rubber);
    this.hooks.frame(time);
    if (playing) this.requestFrame();
  }

  redraw() {
    this.mainDirty = false;
    const t0 = performance.now();
    this.timelineView.draw(this.scene());
    this.lastDrawMs = performance.now() - t0;
    this.drawnFrames += 1;
  }

  // Draws the whole timeline n times and gives the times in ms, each
  // including the rasterisation (a pixel read forces it).
  measureRedraw(n) {
    const times = [];
    for (let i = 0; i < n; ++i) {
      this.view = { ...this.view, start: this.view.start + (i % 2 ? 1e-3 : -1e-3) };
      const t0 = performance.now();
      this.timelineView.draw(this.scene());
      this.timelineView.ctx.getImageData(0, 0, 1, 1);
      times.push(performance.now() - t0);
    }
    return times;
  }

  visibleLanes() {
    return this.timelineView.visibleLanes(this.scene(), this.areas());
  }
}
