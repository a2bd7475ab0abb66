// A sync track's value at a fractional row, computed the way the player
// computes it (src/audio/sync_track.cpp), so the page draws what the show
// plays. Keys are {row, value, kind} with whole rows ascending strictly and
// values already rounded to single precision (Math.fround). No DOM.

export const KIND_STEP = 0;
export const KIND_LINEAR = 1;
export const KIND_SMOOTH = 2;
export const KIND_RAMP = 3;
export const KIND_NAMES = ['step', 'linear', 'smooth', 'ramp'];

const INT32_MIN = -2147483648;
const INT32_MAX = 2147483647;

// The kind's number for a name or a digit, or -1.
export function kindFromName(name) {
  if (typeof name === 'number') return name >= 0 && name <= 3 && Number.isInteger(name) ? name : -1;
  const byName = KIND_NAMES.indexOf(name);
  if (byName >= 0) return byName;
  return /^[0-3]$/.test(name) ? Number(name) : -1;
}

// Index of the key at exactly row, else of the last key before it; -1
// before the first key and for no keys.
export function findKey(keys, row) {
  let lo = 0;
  let hi = keys.length;
  if (hi <= 0) return -1;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    const r = keys[mid].row;
    if (r < row) lo = mid + 1;
    else if (r > row) hi = mid;
    else return mid;
  }
  return lo - 1;
}

// The value between key k0 and the next key k1 at a row in [k0.row, k1.row).
export function segmentValue(k0, k1, row) {
  const t = (row - k0.row) / (k1.row - k0.row);
  // The difference is taken in single precision like the player's floats;
  // only where that overflows, in double.
  let delta = Math.fround(k1.value - k0.value);
  if (!Number.isFinite(delta)) delta = k1.value - k0.value;
  switch (k0.kind) {
    case KIND_STEP:
      return k0.value;
    case KIND_LINEAR:
      return k0.value + t * delta;
    case KIND_SMOOTH:
      return k0.value + t * t * (3.0 - 2.0 * t) * delta;
    case KIND_RAMP:
      return k0.value + t * t * delta;
    default:
      return 0.0;
  }
}

// The value at a fractional row, in double precision as the player computes
// it before storing it as a float; 0 for a track without keys.
export function valueAt(keys, row) {
  const count = keys.length;
  if (count === 0) return 0.0;
  const floored = Math.floor(row);
  // Rows beyond the int32 range (and NaN) hold the first or the last value.
  if (!(floored >= INT32_MIN)) return keys[0].value;
  if (floored > INT32_MAX) return keys[count - 1].value;
  const idx = findKey(keys, floored);
  if (idx < 0) return keys[0].value;
  if (idx > count - 2) return keys[count - 1].value;
  return segmentValue(keys[idx], keys[idx + 1], row);
}

// The value as the show uses it: a float.
export function floatValueAt(keys, row) {
  return Math.fround(valueAt(keys, row));
}
