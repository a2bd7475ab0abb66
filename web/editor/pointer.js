// The mouse on the timeline: presses, moves and releases on the canvas
// turned into seeks (the ruler and the sections), lane and key selection,
// folds, lane heights (a lane's lower edge in its header), rubber bands,
// drags of keys and double-clicks (on a section: the section in sight),
// through the gestures' functions; the readout of what is under the
// pointer; the wheel scrolls and zooms. Shift snaps to the snapping mode.

import {
  clickSelection, startDrag, dragTo, rubberSelection, doubleClickRow, scrubTime, onFoldArrow, readoutText,
} from './gestures.js';
import { sectionAt, keyAt } from './model.js';
import { zoomAt, scrollBy, xToTime } from './timeline.js';
import { hitTest } from './view.js';

const SCRUB_INTERVAL_MS = 50;

export class Pointer {
  // seek(time) moves the show's playhead; readout(text) shows what is
  // under the pointer.
  constructor(session, screen, timing, seek, readout = () => {}) {
    this.session = session;
    this.screen = screen;
    this.timing = timing;
    this.seek = seek;
    this.readout = readout;
    this.gesture = null;
  }

  // With Shift, the nearest unit of the snapping mode.
  snap(e) {
    return e.shiftKey ? (row) => this.timing.snap(row) : null;
  }

  bind(canvas) {
    this.canvas = canvas;
    canvas.addEventListener('mousedown', (e) => this.onMouseDown(e));
    canvas.addEventListener('dblclick', (e) => this.onDoubleClick(e));
    canvas.addEventListener('wheel', (e) => this.onWheel(e), { passive: false });
    canvas.addEventListener('mouseleave', () => !this.gesture && this.readout(''));
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
      return this.scrub(hit.time, this.snap(e), true);
    }
    if (hit.area === 'sections') {
      const i = sectionAt(s.state.sections, hit.time);
      return i >= 0 && this.seek(s.state.sections[i].start);
    }
    if (!hit.track || (hit.area !== 'header' && hit.area !== 'lane')) return;
    s.selectTrack(hit.track);
    if (hit.edge) {
      this.gesture = { type: 'resize', track: hit.track, y0: y, h0: s.layout.lanes[hit.lane].h };
      return;
    }
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
    if (hit.area === 'sections') return this.zoomToSection(hit.time);
    if (hit.area === 'header' && hit.track && !onFoldArrow(x) && !hit.edge) return s.toggleFold(hit.track);
    if (hit.area !== 'lane' || !hit.track || hit.key) return;
    s.setKey(hit.track, doubleClickRow(hit.time, this.snap(e), s.state.rowsPerSecond));
  }

  zoomToSection(time) {
    const { sections, musicLength } = this.session.state;
    const i = sectionAt(sections, time);
    if (i < 0) return;
    this.screen.fitTimes(sections[i].start, i + 1 < sections.length ? sections[i + 1].start : Math.max(musicLength, sections[i].start + 1));
    this.screen.lastUserScroll = performance.now();
  }

  // Seeks while scrubbing go out at most every SCRUB_INTERVAL_MS; the last
  // one waiting goes on release.
  scrub(time, snap, force) {
    const g = this.gesture;
    g.pending = scrubTime(time, snap, this.session.state.rowsPerSecond);
    const now = performance.now();
    if (force || now - g.lastSent >= SCRUB_INTERVAL_MS) {
      g.lastSent = now;
      this.seek(g.pending);
      g.pending = undefined;
    }
  }

  onMouseMove(e) {
    const g = this.gesture;
    const { x, y } = this.at(e);
    const s = this.session;
    if (!g) return this.hover(e, x, y);
    if (g.type === 'resize') return s.setLaneHeight(g.track, g.h0 + y - g.y0);
    if (g.type === 'scrub') {
      this.hover(e, x, y);
      return this.scrub(xToTime(this.screen.view, x - this.screen.areas().timeLeft), this.snap(e), false);
    }
    if (g.type === 'rubber') {
      Object.assign(this.screen.rubber, { x1: x, y1: y });
      return s.select(rubberSelection(this.screen.scene(), this.screen.rubber, g.base));
    }
    // Where the keys cannot go, the drag says why at once, shows them where
    // they are, and commits nothing if released there.
    const to = dragTo(s.state, s.selection, g.drag, x, y, { snap: this.snap(e), fine: e.altKey }, this.screen.view);
    if (to.error && to.error !== g.error) s.say(to.error);
    Object.assign(g, { error: to.error, edits: to.edits, selection: to.selection });
    this.screen.preview = to.preview || null;
    this.screen.invalidate();
    this.readout(this.draggedReadout(g, to));
  }

  // The row, time, beat and value under the pointer.
  hover(e, x, y) {
    if (!this.session.state || !this.canvas) return;
    const scene = this.screen.scene();
    const hit = hitTest(scene, x, y);
    this.canvas.style.cursor = hit.edge ? 'row-resize' : '';
    this.readout(readoutText(scene, hit, y, (row) => this.timing.place(row)));
  }

  // While dragging: the dragged key where it would go.
  draggedReadout(g, to) {
    const { track, row: from } = g.drag;
    const move = (to.edits || []).find((edit) => edit.op === 'move' && edit.track === track && edit.row === from);
    const row = move ? move.toRow : from;
    const t = (to.preview || this.session.state).tracks.find((tr) => tr.name === track);
    const key = t && keyAt(t.keys, row);
    if (!key) return '';
    return readoutText(this.screen.scene(), { track }, 0, (r) => this.timing.place(r), { row, value: key.value, track });
  }

  onMouseUp() {
    const g = this.gesture;
    if (!g) return;
    this.gesture = null;
    if (g.type === 'scrub' && g.pending !== undefined) this.seek(g.pending);
    if (g.type === 'drag') this.readout('');
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
