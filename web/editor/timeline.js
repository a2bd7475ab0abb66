// Timeline maths: where a time is on screen and back, zooming around the
// pointer, scrolling, snapping rows to rows or bars, ruler tick spacing and
// time labels. A view is {start: seconds at x = 0, pxPerSecond}. No DOM.

export const MIN_PX_PER_SECOND = 2;
export const MAX_PX_PER_SECOND = 2000;

export function timeToX(view, time) {
  return (time - view.start) * view.pxPerSecond;
}

export function xToTime(view, x) {
  return view.start + x / view.pxPerSecond;
}

// A view that shows [from, to] seconds across width pixels.
export function fitView(from, to, width) {
  const span = Math.max(to - from, 1e-3);
  const pxPerSecond = clamp(width / span, MIN_PX_PER_SECOND, MAX_PX_PER_SECOND);
  return { start: from, pxPerSecond };
}

// Zoomed by factor (> 1 closer) with the time under x staying under x.
export function zoomAt(view, x, factor) {
  const pinned = xToTime(view, x);
  const pxPerSecond = clamp(view.pxPerSecond * factor, MIN_PX_PER_SECOND, MAX_PX_PER_SECOND);
  return { start: pinned - x / pxPerSecond, pxPerSecond };
}

export function scrollBy(view, dx) {
  return { start: view.start + dx / view.pxPerSecond, pxPerSecond: view.pxPerSecond };
}

// Keeps some of the music in sight: the left edge from a little before the
// start to the end.
export function clampView(view, musicLength, width) {
  const margin = Math.min(1, width / view.pxPerSecond / 4);
  const start = clamp(view.start, -margin, Math.max(-margin, musicLength - margin));
  return start === view.start ? view : { start, pxPerSecond: view.pxPerSecond };
}

// The view moved, if needed, so the time is in sight with a margin: used to
// follow the playhead and the keyboard's seeks.
export function revealTime(view, time, width, marginFraction = 0.1) {
  const x = timeToX(view, time);
  const margin = width * marginFraction;
  if (x >= margin && x <= width - margin) return view;
  return { start: time - margin / view.pxPerSecond, pxPerSecond: view.pxPerSecond };
}

// A fractional row rounded to the nearest row, or with toBar to the nearest
// bar's first row.
export function snapRow(row, toBar, rowsPerBar) {
  if (toBar) return Math.round(row / rowsPerBar) * rowsPerBar;
  return Math.round(row);
}

// The row a playhead time stands on: the row that time has reached. A
// small tolerance keeps a seek to row r (r / 16 s) on row r.
export function rowAtTime(time, rowsPerSecond) {
  return Math.floor(time * rowsPerSecond + 1e-6);
}

// The next row from the current one by steps rows (negative: back), or by
// whole bars when byBar: from inside a bar, one bar back lands on that
// bar's start.
export function stepRow(row, steps, byBar, rowsPerBar) {
  if (!byBar) return row + steps;
  if (steps > 0) return (Math.floor(row / rowsPerBar) + steps) * rowsPerBar;
  const bar = Math.ceil(row / rowsPerBar);
  return (bar + steps) * rowsPerBar;
}

// Rows between ruler ticks: the smallest power of two (1, 2, 4, ... rows)
// whose ticks are at least minPx apart.
export function tickRows(pxPerRow, minPx) {
  let rows = 1;
  while (rows * pxPerRow < minPx && rows < 1 << 24) rows *= 2;
  return rows;
}

// Seconds between labelled time ticks: at least minPx apart, from a
// sequence of round steps.
const TIME_STEPS = [0.0625, 0.125, 0.25, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600];
export function tickSeconds(pxPerSecond, minPx) {
  for (const step of TIME_STEPS) if (step * pxPerSecond >= minPx) return step;
  return TIME_STEPS.at(-1);
}

// "m:ss.ss" for a time in seconds (negative times with a minus sign).
export function formatTime(seconds) {
  const sign = seconds < 0 ? '-' : '';
  const hundredths = Math.round(Math.abs(seconds) * 100);
  const minutes = Math.floor(hundredths / 6000);
  const rest = (hundredths % 6000) / 100;
  return `${sign}${minutes}:${rest.toFixed(2).padStart(5, '0')}`;
}

// A typed time: "75.5", "1:15.5" or a row as "r1208"; NaN when malformed.
export function parseTime(text, rowsPerSecond) {
  const t = String(text).trim();
  let m = /^r(-?\d+)$/i.exec(t);
  if (m) return Number(m[1]) / rowsPerSecond;
  m = /^(-?)(\d+):(\d+(?:\.\d*)?)$/.exec(t);
  if (m) return (m[1] ? -1 : 1) * (Number(m[2]) * 60 + Number(m[3]));
  return /^-?\d+(\.\d*)?$|^-?\.\d+$/.test(t) ? Number(t) : NaN;
}

export function clamp(x, lo, hi) {
  return x < lo ? lo : x > hi ? hi : x;
}
