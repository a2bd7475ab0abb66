// Which tracks get a lane, in what order, and how tall: hidden tracks and
// those the filter does not match have none; a collapsed lane is a thin
// strip; an open lane is as tall as the author made it. Lane y is measured
// from the top of the lanes' area before scrolling. No DOM.

export const LANE_HEIGHT = 52;
export const COLLAPSED_HEIGHT = 16;
export const MIN_LANE_HEIGHT = 28;
export const MAX_LANE_HEIGHT = 400;

export function laneHeight(h) {
  return Math.round(Math.min(MAX_LANE_HEIGHT, Math.max(MIN_LANE_HEIGHT, h)));
}

// A filter matches a track whose name or label contains each of its words
// (case ignored); an empty filter matches every track.
export function matchesFilter(track, filter) {
  const words = String(filter || '').toLowerCase().split(/\s+/).filter(Boolean);
  const text = `${track.name} ${track.label}`.toLowerCase();
  return words.every((w) => text.includes(w));
}

export function layoutLanes(tracks, { hidden, collapsed, filter, heights = new Map() }) {
  const lanes = [];
  let y = 0;
  for (const track of tracks) {
    if (hidden.has(track.name) || !matchesFilter(track, filter)) continue;
    const small = collapsed.has(track.name);
    const h = small ? COLLAPSED_HEIGHT : heights.get(track.name) || LANE_HEIGHT;
    lanes.push({ track: track.name, collapsed: small, y, h });
    y += h;
  }
  return { lanes, height: y };
}

// The lane at a content y (scroll included), or -1.
export function laneAtY(layout, y) {
  let lo = 0;
  let hi = layout.lanes.length - 1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    const lane = layout.lanes[mid];
    if (y < lane.y) hi = mid - 1;
    else if (y >= lane.y + lane.h) lo = mid + 1;
    else return mid;
  }
  return -1;
}
