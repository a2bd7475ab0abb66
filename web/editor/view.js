// Drawing the timeline on two stacked canvases: the timeline itself (ruler,
// sections, the grid of rows or of the music's beats and bars, lanes with
// their curves, keys and value axes, the spectrum strip with the music's
// onsets) drawn only when something in it changed, and an overlay with the
// playhead and the selection rectangle, cheap enough to draw on every
// frame while the show plays. Also where a point on screen lies (hit
// testing), and the key shapes for the help's legend.

import { findKey, segmentValue, valueAt, KIND_STEP, KIND_LINEAR, KIND_SMOOTH, KIND_RAMP } from './sync_curve.js';
import { timeToX, xToTime, tickRows, tickSeconds, formatTime } from './timeline.js';
import { valueRange, selectionKey } from './model.js';
import { laneAtY } from './lanes.js';

export const HEADER_WIDTH = 150;
export const RULER_HEIGHT = 32;
export const SECTION_HEIGHT = 18;
export const SPECTRUM_HEIGHT = 64;
const LANE_PAD = 6;
// Curved segments are drawn as chords that stay within this many pixels of
// the curve.
const CHORD_ERROR_PX = 0.25;
const MAX_SAMPLE_PX = 16;
const KEY_RADIUS = 4;
const HIT_PX = 7;
// Grid lines closer than this are left out (beats first, then bars).
const MIN_GRID_PX = 6;
// A lane's lower edge in its header, where a drag changes its height.
const RESIZE_EDGE_PX = 4;
const AXIS_WIDTH = 44;
const ONSET_TICK_PX = 9;

const COLOURS = {
  background: '#15181d',
  laneEven: '#1b1f26',
  laneOdd: '#181b21',
  laneSelected: '#232b38',
  header: '#101318',
  headerText: '#c8cdd6',
  labelText: '#7d8694',
  ruler: '#0e1014',
  rulerText: '#aab2bf',
  rowLine: 'rgba(255,255,255,0.035)',
  barLine: 'rgba(255,255,255,0.10)',
  beatLine: 'rgba(140,200,255,0.07)',
  musicBarLine: 'rgba(140,200,255,0.22)',
  onset: 'rgba(255,170,60,0.9)',
  axisText: '#667080',
  sectionA: '#1f2740',
  sectionB: '#1d3330',
  sectionEdge: 'rgba(160,180,255,0.35)',
  sectionText: '#c9d6f5',
  curve: '#6fc3ff',
  curveCollapsed: 'rgba(111,195,255,0.5)',
  keyFill: ['#ffd166', '#6fc3ff', '#95e06c', '#ff8fab'],
  keySelected: '#ffffff',
  loop: 'rgba(255,200,80,0.12)',
  loopEdge: 'rgba(255,200,80,0.7)',
  playhead: '#ff5a5a',
  rubber: 'rgba(160,200,255,0.8)',
};

// The lane area's geometry for a canvas of width x height CSS pixels.
export function areas(width, height) {
  const lanesTop = RULER_HEIGHT + SECTION_HEIGHT;
  const lanesBottom = Math.max(lanesTop, height - SPECTRUM_HEIGHT);
  return {
    width,
    height,
    timeLeft: HEADER_WIDTH,
    timeWidth: Math.max(1, width - HEADER_WIDTH),
    lanesTop,
    lanesBottom,
    spectrumTop: lanesBottom,
  };
}

// Where the point (x, y) in CSS pixels lies: {area, time, lane (index or
// -1), track, key (the key within reach, or null)}.
export function hitTest(scene, x, y) {
  const a = areas(scene.width, scene.height);
  const time = xToTime(scene.view, x - a.timeLeft);
  const hit = { area: 'none', time, lane: -1, track: null, key: null };
  if (y < RULER_HEIGHT) hit.area = x >= a.timeLeft ? 'ruler' : 'corner';
  else if (y < a.lanesTop) hit.area = 'sections';
  else if (y >= a.spectrumTop) hit.area = 'spectrum';
  else {
    hit.lane = laneAtY(scene.layout, y - a.lanesTop + scene.laneScroll);
    hit.area = x < a.timeLeft ? 'header' : 'lane';
    if (hit.lane >= 0) {
      const lane = scene.layout.lanes[hit.lane];
      hit.track = lane.track;
      const bottom = a.lanesTop + lane.y + lane.h - scene.laneScroll;
      hit.edge = hit.area === 'header' && !lane.collapsed && bottom - y <= RESIZE_EDGE_PX;
      if (hit.area === 'lane' && !lane.collapsed) hit.key = keyNear(scene, lane, x - a.timeLeft, y, a);
    }
  }
  return hit;
}

function keyNear(scene, lane, x, y, a) {
  const track = scene.trackByName.get(lane.track);
  if (!track || track.keys.length === 0) return null;
  const rps = scene.rowsPerSecond;
  const keys = track.keys;
  const row = xToTime(scene.view, x) * rps;
  const reachRows = (HIT_PX / scene.view.pxPerSecond) * rps;
  let i = Math.max(0, findKey(keys, Math.floor(row - reachRows)));
  const top = a.lanesTop + lane.y - scene.laneScroll;
  const yOf = laneValueToY(keys, top, lane.h);
  let best = null;
  let bestDistance = Infinity;
  for (; i < keys.length && keys[i].row <= row + reachRows; ++i) {
    const kx = timeToX(scene.view, keys[i].row / rps);
    const ky = yOf(keys[i].value);
    const d = Math.hypot(kx - x, ky - y);
    if (d <= HIT_PX * 1.5 && d < bestDistance) {
      best = keys[i];
      bestDistance = d;
    }
  }
  return best;
}

// Maps a value to y within a lane whose top is at `top`, fitted to the
// track's own range; the inverse gives the value a y stands for.
const rangeCache = new WeakMap();
function rangeOf(keys) {
  let range = rangeCache.get(keys);
  if (!range) {
    range = valueRange(keys);
    rangeCache.set(keys, range);
  }
  return range;
}
export function laneValueToY(keys, top, h) {
  const { min, max } = rangeOf(keys);
  const inner = h - 2 * LANE_PAD;
  const scale = inner / (max - min);
  const bottom = top + h - LANE_PAD;
  return (v) => bottom - (v - min) * scale;
}
export function laneYToValue(keys, top, h) {
  const { min, max } = rangeOf(keys);
  const scale = (max - min) / (h - 2 * LANE_PAD);
  const bottom = top + h - LANE_PAD;
  return (y) => min + (bottom - y) * scale;
}
export function laneValuePerPixel(keys, h) {
  const { min, max } = rangeOf(keys);
  return (max - min) / (h - 2 * LANE_PAD);
}

export class TimelineView {
  constructor(canvas, overlay) {
    this.canvas = canvas;
    this.overlay = overlay;
    this.ctx = canvas.getContext('2d', { alpha: false });
    this.octx = overlay.getContext('2d');
    this.width = 0;
    this.height = 0;
    this.ratio = 1;
    this.spectrumImage = null;
  }

  // Matches the canvases' backing stores to their CSS size.
  resize(width, height, ratio) {
    this.width = width;
    this.height = height;
    this.ratio = ratio;
    for (const c of [this.canvas, this.overlay]) {
      c.width = Math.round(width * ratio);
      c.height = Math.round(height * ratio);
      c.style.width = `${width}px`;
      c.style.height = `${height}px`;
    }
  }

  // The spectrum as an image of columns x bands, loudest brightest, low
  // bands at the bottom.
  setSpectrum(spectrum) {
    if (!spectrum || !spectrum.columns || !spectrum.bands) {
      this.spectrumImage = null;
      return;
    }
    const { columns, bands, values } = spectrum;
    const image = document.createElement('canvas');
    image.width = columns;
    image.height = bands;
    const ictx = image.getContext('2d');
    const pixels = ictx.createImageData(columns, bands);
    for (let c = 0; c < columns; ++c) {
      for (let b = 0; b < bands; ++b) {
        const v = Math.max(0, Math.min(1, values[c * bands + b] || 0));
        const level = Math.sqrt(v);
        const at = ((bands - 1 - b) * columns + c) * 4;
        pixels.data[at] = 30 + 200 * level * level;
        pixels.data[at + 1] = 40 + 180 * level;
        pixels.data[at + 2] = 60 + 195 * level;
        pixels.data[at + 3] = 255;
      }
    }
    ictx.putImageData(pixels, 0, 0);
    this.spectrumImage = { image, columns, columnsPerSecond: spectrum.columnsPerSecond };
  }

  draw(scene) {
    const ctx = this.ctx;
    const a = areas(this.width, this.height);
    ctx.setTransform(this.ratio, 0, 0, this.ratio, 0, 0);

    const firstTime = scene.view.start;
    const lastTime = xToTime(scene.view, a.timeWidth);
    const rps = scene.rowsPerSecond;

    // Lanes: background bands (each pixel is filled once: the canvas is
    // opaque and every area paints its own background), then (clipped to
    // the lane area) the grid, sections, loop, curves and keys, then the
    // header, ruler and spectrum around them.
    const visible = this.visibleLanes(scene, a);
    let bottom = a.lanesTop;
    for (const v of visible) {
      ctx.fillStyle = v.lane.track === scene.selectedTrack ? COLOURS.laneSelected : v.index % 2 ? COLOURS.laneOdd : COLOURS.laneEven;
      ctx.fillRect(a.timeLeft, v.top, a.timeWidth, v.lane.h);
      bottom = v.top + v.lane.h;
    }
    if (bottom < a.lanesBottom) {
      ctx.fillStyle = COLOURS.background;
      ctx.fillRect(a.timeLeft, bottom, a.timeWidth, a.lanesBottom - bottom);
    }

    ctx.save();
    ctx.beginPath();
    ctx.rect(a.timeLeft, RULER_HEIGHT, a.timeWidth, a.lanesBottom - RULER_HEIGHT);
    ctx.clip();
    ctx.translate(a.timeLeft, 0);
    this.drawSections(ctx, scene, a, firstTime, lastTime);
    this.drawGrid(ctx, scene, a, firstTime, lastTime);
    if (scene.loop) {
      const x0 = timeToX(scene.view, scene.loop.from);
      const x1 = timeToX(scene.view, scene.loop.to);
      ctx.fillStyle = COLOURS.loop;
      ctx.fillRect(x0, RULER_HEIGHT, x1 - x0, a.lanesBottom - RULER_HEIGHT);
      ctx.fillStyle = COLOURS.loopEdge;
      ctx.fillRect(x0, RULER_HEIGHT, 1, a.lanesBottom - RULER_HEIGHT);
      ctx.fillRect(x1 - 1, RULER_HEIGHT, 1, a.lanesBottom - RULER_HEIGHT);
    }
    ctx.beginPath();
    ctx.rect(0, a.lanesTop, a.timeWidth, a.lanesBottom - a.lanesTop);
    ctx.clip();
    this.drawCurves(ctx, scene, a, visible);
    this.drawKeys(ctx, scene, a, visible, firstTime, lastTime);
    ctx.restore();

    this.drawHeader(ctx, scene, a, visible);
    this.drawRuler(ctx, scene, a, firstTime, lastTime);
    this.drawSpectrum(ctx, scene, a);
    ctx.setTransform(1, 0, 0, 1, 0, 0);
  }

  visibleLanes(scene, a) {
    const out = [];
    const lanes = scene.layout.lanes;
    const scroll = scene.laneScroll;
    let i = Math.max(0, laneAtY(scene.layout, scroll));
    for (; i < lanes.length; ++i) {
      const top = a.lanesTop + lanes[i].y - scroll;
      if (top >= a.lanesBottom) break;
      if (top + lanes[i].h <= a.lanesTop) continue;
      const track = scene.trackByName.get(lanes[i].track);
      if (track) out.push({ lane: lanes[i], index: i, top, track });
    }
    return out;
  }

  drawSections(ctx, scene, a, firstTime, lastTime) {
    const sections = scene.sections;
    ctx.fillStyle = COLOURS.header;
    ctx.fillRect(0, RULER_HEIGHT, a.timeWidth, SECTION_HEIGHT);
    ctx.font = '11px sans-serif';
    ctx.textBaseline = 'middle';
    for (let i = 0; i < sections.length; ++i) {
      const from = sections[i].start;
      const to = i + 1 < sections.length ? sections[i + 1].start : Math.max(scene.musicLength, from);
      if (to < firstTime || from > lastTime) continue;
      const x0 = timeToX(scene.view, from);
      const x1 = timeToX(scene.view, to);
      // The band is coloured in its strip; across the lanes only its start
      // is marked, since blending a tint over every lane costs a whole
      // screen's worth of pixels.
      ctx.fillStyle = i % 2 ? COLOURS.sectionB : COLOURS.sectionA;
      ctx.fillRect(x0, RULER_HEIGHT, x1 - x0, SECTION_HEIGHT);
      ctx.fillStyle = COLOURS.sectionEdge;
      ctx.fillRect(Math.round(x0), RULER_HEIGHT, 1, a.lanesBottom - RULER_HEIGHT);
      const textX = Math.max(x0, 0) + 4;
      if (x1 - textX > 8) {
        ctx.fillStyle = COLOURS.sectionText;
        ctx.fillText(sections[i].name, textX, RULER_HEIGHT + SECTION_HEIGHT / 2, x1 - textX - 4);
      }
    }
  }

  drawGrid(ctx, scene, a, firstTime, lastTime) {
    const rps = scene.rowsPerSecond;
    const h = a.lanesBottom - a.lanesTop;
    const music = scene.gridLines ? scene.gridLines(firstTime * rps, lastTime * rps) : null;
    if (music) {
      // The music's beats and bars; those too close together to tell
      // apart are left out.
      const pxPerRow = scene.view.pxPerSecond / rps;
      const line = (rows, colour) => {
        if (rows.length > 1 && ((rows[rows.length - 1] - rows[0]) / (rows.length - 1)) * pxPerRow < MIN_GRID_PX) return;
        ctx.fillStyle = colour;
        for (const r of rows) ctx.fillRect(Math.round(timeToX(scene.view, r / rps)), a.lanesTop, 1, h);
      };
      line(music.beats, COLOURS.beatLine);
      line(music.bars, COLOURS.musicBarLine);
      return;
    }
    const pxPerRow = scene.view.pxPerSecond / rps;
    const bar = scene.rowsPerBar;
    // Lines at least 20 pixels apart: each full-height line costs as much to
    // fill as a whole lane's background.
    const step = tickRows(pxPerRow, 20);
    const firstRow = Math.floor(firstTime * rps / step) * step;
    const lastRow = Math.ceil(lastTime * rps);
    // Whole pixels: a rectangle on a pixel's edge fills many times faster.
    for (const [colour, isBar] of [[COLOURS.rowLine, false], [COLOURS.barLine, true]]) {
      ctx.fillStyle = colour;
      for (let r = firstRow; r <= lastRow; r += step) {
        if ((r % bar === 0) === isBar) ctx.fillRect(Math.round(timeToX(scene.view, r / rps)), a.lanesTop, 1, h);
      }
    }
  }

  drawCurves(ctx, scene, a, visible) {
    const path = new Path2D();
    const collapsedPath = new Path2D();
    const rps = scene.rowsPerSecond;
    const view = scene.view;
    for (const v of visible) {
      if (v.track.keys.length === 0) continue;
      if (v.lane.collapsed) {
        // A collapsed lane shows where its keys are, not its curve.
        addKeyTicks(collapsedPath, v.track.keys, view, rps, a.timeWidth, v.top, v.lane.h);
        continue;
      }
      const yOf = laneValueToY(v.track.keys, v.top, v.lane.h);
      addCurve(path, v.track.keys, view, rps, 0, a.timeWidth, yOf);
    }
    // A one-pixel line is drawn as a hairline, many times faster than a
    // wider one in a software canvas.
    ctx.lineWidth = 1;
    ctx.strokeStyle = COLOURS.curve;
    ctx.stroke(path);
    ctx.fillStyle = COLOURS.curveCollapsed;
    ctx.fill(collapsedPath);
  }

  // Keys as shapes made of a few whole-pixel rectangles, one path per
  // kind: such rectangles fill many times faster than polygons, arcs or
  // copied pictures in a software canvas.
  drawKeys(ctx, scene, a, visible, firstTime, lastTime) {
    const rps = scene.rowsPerSecond;
    const shapes = [new Path2D(), new Path2D(), new Path2D(), new Path2D()];
    const selected = new Path2D();
    const reach = KEY_RADIUS / scene.view.pxPerSecond;
    const fromRow = Math.floor((firstTime - reach) * rps);
    const toRow = (lastTime + reach) * rps;
    const anySelected = scene.selection.size > 0;
    for (const v of visible) {
      if (v.lane.collapsed) continue;
      const keys = v.track.keys;
      const yOf = laneValueToY(keys, v.top, v.lane.h);
      let lastX = -Infinity;
      for (let i = Math.max(0, findKey(keys, fromRow)); i < keys.length && keys[i].row <= toRow; ++i) {
        const k = keys[i];
        const x = Math.round(timeToX(scene.view, k.row / rps));
        const isSelected = anySelected && scene.selection.has(selectionKey(v.track.name, k.row));
        // A key on the pixel of the last one drawn would only paint over it.
        if (x === lastX && !isSelected) continue;
        lastX = x;
        const y = Math.round(yOf(k.value));
        const kind = k.kind >= 0 && k.kind <= 3 ? k.kind : 0;
        if (isSelected) selected.rect(x - 7, y - 7, 14, 14);
        addKeyShape(shapes[kind], kind, x, y);
      }
    }
    ctx.fillStyle = COLOURS.keySelected;
    ctx.fill(selected);
    for (let kind = 0; kind < 4; ++kind) {
      ctx.fillStyle = COLOURS.keyFill[kind];
      ctx.fill(shapes[kind]);
    }
  }

  // Names, then labels: each font is set once, since setting one costs
  // more than drawing a line of text.
  drawHeader(ctx, scene, a, visible) {
    ctx.fillStyle = COLOURS.header;
    ctx.fillRect(0, RULER_HEIGHT, a.timeLeft, a.lanesBottom - RULER_HEIGHT);
    ctx.save();
    ctx.beginPath();
    ctx.rect(0, a.lanesTop, a.timeLeft, a.lanesBottom - a.lanesTop);
    ctx.clip();
    ctx.textBaseline = 'middle';
    const middle = (v) => (v.lane.collapsed ? v.top + v.lane.h / 2 : v.top + 14);
    const selected = visible.find((v) => v.lane.track === scene.selectedTrack);
    if (selected) {
      ctx.fillStyle = COLOURS.laneSelected;
      ctx.fillRect(0, selected.top, a.timeLeft, selected.lane.h);
    }
    ctx.fillStyle = COLOURS.headerText;
    ctx.font = '12px sans-serif';
    for (const v of visible) {
      if (v !== selected) ctx.fillText(`${v.lane.collapsed ? '▸' : '▾'} ${v.track.name}`, 6, middle(v));
    }
    if (selected) {
      ctx.font = 'bold 12px sans-serif';
      ctx.fillText(`${selected.lane.collapsed ? '▸' : '▾'} ${selected.track.name}`, 6, middle(selected));
    }
    ctx.fillStyle = COLOURS.labelText;
    ctx.font = '11px sans-serif';
    for (const v of visible) {
      // The player gives a track without a label its name as the label.
      if (!v.track.label || v.track.label === v.track.name) continue;
      const x = v.lane.collapsed ? 50 : 18;
      ctx.fillText(v.track.label, x, v.lane.collapsed ? middle(v) : middle(v) + 16, a.timeLeft - x - (v.lane.collapsed ? 4 : AXIS_WIDTH + 4));
    }
    this.drawAxes(ctx, a, visible);
    ctx.restore();
    ctx.fillStyle = COLOURS.barLine;
    ctx.fillRect(a.timeLeft - 1, RULER_HEIGHT, 1, a.lanesBottom - RULER_HEIGHT);
  }

  // Each open lane's value axis at the header's right edge: its range's
  // top and bottom values with ticks where the curve reaches them, and the
  // middle where the lane is tall enough.
  drawAxes(ctx, a, visible) {
    ctx.font = '10px sans-serif';
    ctx.textAlign = 'right';
    ctx.fillStyle = COLOURS.axisText;
    const ticks = new Path2D();
    const right = a.timeLeft - 4;
    for (const v of visible) {
      if (v.lane.collapsed) continue;
      const { min, max } = rangeOf(v.track.keys);
      const yOf = laneValueToY(v.track.keys, v.top, v.lane.h);
      const marks = v.lane.h >= 90 ? [max, (min + max) / 2, min] : [max, min];
      for (const value of marks) {
        const y = Math.round(yOf(value));
        ticks.rect(right + 1, y, 3, 1);
        const textY = Math.min(Math.max(y, v.top + 6), v.top + v.lane.h - 6);
        ctx.fillText(axisNumber(value), right - 1, textY, AXIS_WIDTH - 4);
      }
    }
    ctx.fill(ticks);
    ctx.textAlign = 'left';
  }

  drawRuler(ctx, scene, a, firstTime, lastTime) {
    ctx.fillStyle = COLOURS.ruler;
    ctx.fillRect(0, 0, a.width, RULER_HEIGHT);
    ctx.save();
    ctx.beginPath();
    ctx.rect(a.timeLeft, 0, a.timeWidth, RULER_HEIGHT);
    ctx.clip();
    ctx.translate(a.timeLeft, 0);
    if (scene.loop) {
      const x0 = timeToX(scene.view, scene.loop.from);
      ctx.fillStyle = COLOURS.loopEdge;
      ctx.fillRect(x0, RULER_HEIGHT - 5, timeToX(scene.view, scene.loop.to) - x0, 5);
    }
    ctx.font = '11px sans-serif';
    ctx.textBaseline = 'top';
    ctx.fillStyle = COLOURS.rulerText;
    // Seconds above, rows below, each with its own spacing.
    const seconds = tickSeconds(scene.view.pxPerSecond, 80);
    const ticks = new Path2D();
    for (let t = Math.floor(firstTime / seconds) * seconds; t <= lastTime; t += seconds) {
      const x = Math.round(timeToX(scene.view, t));
      ticks.rect(x, 0, 1, 6);
      ctx.fillText(formatTime(t), x + 3, 2);
    }
    const rps = scene.rowsPerSecond;
    const rowStep = Math.max(tickRows(scene.view.pxPerSecond / rps, 48), 1);
    for (let r = Math.floor(firstTime * rps / rowStep) * rowStep; r <= lastTime * rps; r += rowStep) {
      const x = Math.round(timeToX(scene.view, r / rps));
      // The row grid's bars; on the music's grid rows only.
      const isBar = !scene.gridLines && r % scene.rowsPerBar === 0;
      ticks.rect(x, RULER_HEIGHT - (isBar ? 12 : 7), 1, isBar ? 12 : 7);
      ctx.fillText(isBar ? `${r} ·${r / scene.rowsPerBar}` : `${r}`, x + 3, 17);
    }
    ctx.fill(ticks);
    ctx.restore();
    ctx.fillStyle = COLOURS.header;
    ctx.fillRect(0, 0, a.timeLeft, a.lanesTop);
    ctx.fillStyle = COLOURS.labelText;
    ctx.textBaseline = 'middle';
    ctx.fillText(scene.gridLines ? 'time / row' : 'time / row ·bar', 6, RULER_HEIGHT / 2);
    ctx.fillText('sections', 6, RULER_HEIGHT + SECTION_HEIGHT / 2);
  }

  drawSpectrum(ctx, scene, a) {
    ctx.fillStyle = COLOURS.header;
    ctx.fillRect(0, a.spectrumTop, a.width, a.height - a.spectrumTop);
    ctx.fillStyle = COLOURS.labelText;
    ctx.textBaseline = 'middle';
    ctx.font = '11px sans-serif';
    ctx.fillText('spectrum', 6, a.spectrumTop + SPECTRUM_HEIGHT / 2);
    const s = this.spectrumImage;
    if (s) this.drawSpectrumImage(ctx, scene, a, s);
    this.drawOnsets(ctx, scene, a);
  }

  // The music's onsets as ticks along the spectrum's top edge.
  drawOnsets(ctx, scene, a) {
    if (!scene.onsets) return;
    const rps = scene.rowsPerSecond;
    const rows = scene.onsets(scene.view.start * rps, xToTime(scene.view, a.timeWidth) * rps);
    if (rows.length === 0) return;
    const ticks = new Path2D();
    let lastX = -Infinity;
    for (const r of rows) {
      const x = Math.round(a.timeLeft + timeToX(scene.view, r / rps));
      if (x - lastX < 2) continue;
      lastX = x;
      ticks.rect(x, a.spectrumTop, 1, ONSET_TICK_PX);
    }
    ctx.fillStyle = COLOURS.onset;
    ctx.fill(ticks);
  }

  drawSpectrumImage(ctx, scene, a, s) {
    // The columns in sight, clipped to those that exist.
    const cps = s.columnsPerSecond;
    const firstColumn = Math.max(0, scene.view.start * cps);
    const lastColumn = Math.min(s.columns, xToTime(scene.view, a.timeWidth) * cps);
    if (lastColumn <= firstColumn) return;
    const x0 = timeToX(scene.view, firstColumn / cps);
    const x1 = timeToX(scene.view, lastColumn / cps);
    ctx.imageSmoothingEnabled = false;
    ctx.drawImage(s.image, firstColumn, 0, lastColumn - firstColumn, s.image.height, a.timeLeft + x0, a.spectrumTop, x1 - x0, a.height - a.spectrumTop);
  }

  // The overlay: playhead and the selection rectangle.
  drawOverlay(scene, playheadTime, rubber) {
    const ctx = this.octx;
    const a = areas(this.width, this.height);
    ctx.setTransform(this.ratio, 0, 0, this.ratio, 0, 0);
    ctx.clearRect(0, 0, a.width, a.height);
    const x = a.timeLeft + timeToX(scene.view, playheadTime);
    if (x >= a.timeLeft && x <= a.width) {
      ctx.fillStyle = COLOURS.playhead;
      ctx.fillRect(Math.round(x) - 1, 0, 2, a.height);
      ctx.beginPath();
      ctx.moveTo(x - 6, 0);
      ctx.lineTo(x + 6, 0);
      ctx.lineTo(x, 8);
      ctx.fill();
    }
    if (rubber) {
      ctx.strokeStyle = COLOURS.rubber;
      ctx.lineWidth = 1;
      ctx.strokeRect(Math.min(rubber.x0, rubber.x1) + 0.5, Math.min(rubber.y0, rubber.y1) + 0.5, Math.abs(rubber.x1 - rubber.x0), Math.abs(rubber.y1 - rubber.y0));
    }
    ctx.setTransform(1, 0, 0, 1, 0, 0);
  }
}

// The curve over x in [x0, x1] of the lane area, as the player evaluates
// it: steps and straight lines exactly, smooth and ramp segments through
// points computed with the player's formula, close enough together that
// the chords between them stay within CHORD_ERROR_PX of the curve.
export function addCurve(path, keys, view, rps, x0, x1, yOf) {
  const n = keys.length;
  const rowOfX = (x) => (view.start + x / view.pxPerSecond) * rps;
  const xOfRow = (r) => (r / rps - view.start) * view.pxPerSecond;
  let i = findKey(keys, Math.floor(rowOfX(x0)));
  if (i < 0) {
    const xk = Math.min(xOfRow(keys[0].row), x1);
    path.moveTo(x0, yOf(keys[0].value));
    path.lineTo(xk, yOf(keys[0].value));
    if (xk >= x1) return;
    i = 0;
  } else {
    path.moveTo(x0, yOf(valueAt(keys, rowOfX(x0))));
  }
  for (; i < n; ++i) {
    const k0 = keys[i];
    const xa = xOfRow(k0.row);
    if (xa > x1) break;
    const xs = Math.max(xa, x0);
    if (i === n - 1) {
      path.lineTo(xs, yOf(k0.value));
      path.lineTo(x1, yOf(k0.value));
      break;
    }
    const k1 = keys[i + 1];
    const xb = xOfRow(k1.row);
    const xe = Math.min(xb, x1);
    if (xe < x0) continue;
    if (k0.kind === KIND_STEP) {
      path.lineTo(xs, yOf(k0.value));
      path.lineTo(xe, yOf(k0.value));
    } else if (k0.kind === KIND_LINEAR) {
      path.lineTo(xs, yOf(segmentValue(k0, k1, xs === xa ? k0.row : rowOfX(xs))));
      path.lineTo(xe, yOf(segmentValue(k0, k1, xe === xb ? k1.row : rowOfX(xe))));
    } else {
      path.lineTo(xs, yOf(segmentValue(k0, k1, xs === xa ? k0.row : rowOfX(xs))));
      const step = sampleStep(k0.kind, xb - xa, Math.abs(yOf(k1.value) - yOf(k0.value)));
      for (let x = xs + step; x < xe; x += step) path.lineTo(x, yOf(segmentValue(k0, k1, rowOfX(x))));
      path.lineTo(xe, yOf(segmentValue(k0, k1, xe === xb ? k1.row : rowOfX(xe))));
    }
  }
}

// Pixels between points on a curved segment width pixels wide that rises
// or falls height pixels. A chord s pixels long is off the curve by at most
// s² |y''| / 8; |y''| is at most 6 height / width² for smooth (3t² - 2t³)
// and 2 height / width² for ramp (t²).
function sampleStep(kind, width, height) {
  const bend = ((kind === KIND_SMOOTH ? 6 : kind === KIND_RAMP ? 2 : 0) * height) / (width * width);
  if (!(bend > 0)) return MAX_SAMPLE_PX;
  return Math.max(1, Math.min(MAX_SAMPLE_PX, Math.sqrt((8 * CHORD_ERROR_PX) / bend)));
}

function addKeyTicks(path, keys, view, rps, width, top, h) {
  const from = Math.floor(view.start * rps);
  let lastX = -Infinity;
  for (let i = Math.max(0, findKey(keys, from)); i < keys.length; ++i) {
    const x = (keys[i].row / rps - view.start) * view.pxPerSecond;
    if (x > width) break;
    if (x - lastX < 2) continue;
    lastX = x;
    path.rect(x - 1, top + 3, 2, h - 6);
  }
}

// A value for an axis label: three significant digits.
function axisNumber(value) {
  return String(Number(value.toPrecision(3)));
}

// One key's mark as the lanes draw it, for the help's legend.
export function drawKeyShape(ctx, kind, x, y) {
  const path = new Path2D();
  addKeyShape(path, kind, x, y);
  ctx.fillStyle = COLOURS.keyFill[kind];
  ctx.fill(path);
}

// Key marks, each one or two whole-pixel rectangles about (x, y): step a
// square, linear a cross, smooth a rounded square, ramp a step rising to
// the right.
function addKeyShape(path, kind, x, y) {
  switch (kind) {
    case KIND_LINEAR:
      path.rect(x - 5, y - 1, 10, 3);
      path.rect(x - 1, y - 5, 3, 10);
      break;
    case KIND_SMOOTH:
      path.rect(x - 4, y - 3, 9, 7);
      path.rect(x - 3, y - 4, 7, 9);
      break;
    case KIND_RAMP:
      path.rect(x - 5, y + 1, 10, 4);
      path.rect(x, y - 5, 5, 6);
      break;
    default:
      path.rect(x - 4, y - 4, 9, 9);
  }
}
