// The mouse on the timeline: presses, moves and releases on the canvas
// turned into seeks (the ruler and the sections), lane and key selection,
// folds, rubber bands, drags of keys and double-clicks, through the
// gestures' functions; the wheel scrolls and zooms.

import { clickSelection, startDrag, dragTo, rubberSelection, doubleClickRow, scrubTime, onFoldArrow } from './gestures.js';
import { sectionAt } from './model.js';
import { zoomAt, scrollBy, xToTime } from './timeline.js';
import { hitTest } from './view.js';

const SCRUB_INTERVAL_MS = 50;

export class Pointer {
  // seek(time) moves the show's playhead.
  constructor(session, screen, seek) {
    this.session = session;
    this.screen = screen;
    this.seek = seek;
    this.gesture = null;
  }

  bind(canvas) {
    this.canvas = canvas;
    canvas.addEventListener('mousedown', (e) => this.onMouseDown(e));
    canvas.addEventListener('dblclick', (e) => this.onDoubleClick(e));
    canvas.addEventListener('wheel', (e) => this.onWheel(e), { passive: false });
    window.addEventListener('mousemove', (e) => this.onMouseMove(e));
    window.addEventListener('mouseup', () => this.onMouseUp());
  }

  at(e) {
    const box = this.canvas.getBoundingClientRect();
    return { x: e.clientX - box.left, y: e.clientY - box.top };
  }

  onMouseDown(e) {
    const s = this.session;
    if (!s.state || e.button !== 0) return;
    e.preventDefault();
    document.activeElement?.blur?.(); // a field being typed in keeps its text first
    const { x, y } = this.at(e);
    const hit = hitTest(this.screen.scene(), x, y);
    if (hit.area === 'ruler') {
      this.gesture = { type: 'scrub', lastSent: 0 };
      return this.scrub(hit.time, e.shiftKey, true);
    }
    if (hit.area === 'sections') {
      const i = sectionAt(s.state.sections, hit.time);
      return i >= 0 && this.seek(s.state.sections[i].start);
    }
    if (!hit.track || (hit.area !== 'header' && hit.area !== 'lane')) return;
    s.selectTrack(hit.track);
    if (hit.area === 'header') return onFoldArrow(x) && s.toggleFold(hit.track);
    if (hit.key) {
      s.select(clickSelection(s.selection, hit.track, hit.key.row, { toggle: e.ctrlKey || e.metaKey, add: e.shiftKey }));
      this.gesture = { type: 'drag', drag: startDrag(this.screen.scene(), hit, x, y) };
    } else {
      const base = e.shiftKey ? new Set(s.selection) : new Set();
      s.select(base);
      this.gesture = { type: 'rubber', base };
      this.screen.rubber = { x0: x, y0: y, x1: x, y1: y };
    }
  }

  onDoubleClick(e) {
    const s = this.session;
    if (!s.state) return;
    const { x, y } = this.at(e);
    const hit = hitTest(this.screen.scene(), x, y);
    if (hit.area === 'header' && hit.track && !onFoldArrow(x)) return s.toggleFold(hit.track);
    if (hit.area !== 'lane' || !hit.track || hit.key) return;
    s.setKey(hit.track, doubleClickRow(hit.time, e.shiftKey, s.state.rowsPerSecond, s.state.rowsPerBar));
  }

  // Seeks while scrubbing go out at most every SCRUB_INTERVAL_MS; the last
  // one waiting goes on release.
  scrub(time, toBar, force) {
    const g = this.gesture;
    g.pending = scrubTime(time, toBar, this.session.state.rowsPerSecond, this.session.state.rowsPerBar);
    const now = performance.now();
    if (force || now - g.lastSent >= SCRUB_INTERVAL_MS) {
      g.lastSent = now;
      this.seek(g.pending);
      g.pending = undefined;
    }
  }

  onMouseMove(e) {
    const g = this.gesture;
    if (!g) return;
    const { x, y } = this.at(e);
    const s = this.session;
    if (g.type === 'scrub') return this.scrub(xToTime(this.screen.view, x - this.screen.areas().timeLeft), e.shiftKey, false);
    if (g.type === 'rubber') {
      Object.assign(this.screen.rubber, { x1: x, y1: y });
      return s.select(rubberSelection(this.screen.scene(), this.screen.rubber, g.base));
    }
    // Where the keys cannot go, the drag says why at once, shows them where
    // they are, and commits nothing if released there.
    const to = dragTo(s.state, s.selection, g.drag, x, y, { toBar: e.shiftKey, fine: e.altKey }, this.screen.view);
    if (to.error && to.error !== g.error) s.say(to.error);
    Object.assign(g, { error: to.error, edits: to.edits, selection: to.selection });
    this.screen.preview = to.preview || null;
    this.screen.invalidate();
  }

  onMouseUp() {
    const g = this.gesture;
    if (!g) return;
    this.gesture = null;
    if (g.type === 'scrub' && g.pending !== undefined) this.seek(g.pending);
    this.screen.rubber = null;
    this.screen.preview = null;
    if (g.type === 'drag' && g.edits) this.session.commit(g.edits, g.selection);
    this.screen.invalidate();
  }

  onWheel(e) {
    if (!this.session.state) return;
    e.preventDefault();
    const x = this.at(e).x - this.screen.areas().timeLeft;
    const delta = e.deltaMode === 1 ? e.deltaY * 16 : e.deltaY;
    if (e.ctrlKey || e.metaKey) this.screen.setView(zoomAt(this.screen.view, x, Math.exp(-delta * 0.002)));
    else if (e.shiftKey || Math.abs(e.deltaX) > Math.abs(e.deltaY)) this.screen.setView(scrollBy(this.screen.view, e.shiftKey ? delta : e.deltaX));
    else this.screen.scrollLanes(delta);
    this.screen.lastUserScroll = performance.now();
  }
}
