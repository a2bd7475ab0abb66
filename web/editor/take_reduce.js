// A knob's recorded take, one value per row, reduced to the fewest linear
// keys whose curve stays within a tolerance of every recorded value. Keys
// stand on recorded rows with the values recorded there, the first and the
// last row always among them. No DOM.
//
// A line from sample i to sample j fits when its slope lies inside the
// slopes that pass within the tolerance of every sample between them; that
// range only narrows as j moves on, so each i is followed until it closes.
// The fewest keys are then the shortest path from the first sample to the
// last over the lines that fit.

// samples: [{row, value}] with rows whole and ascending. Returns the keys
// as [{row, value}].
export function reduceTake(samples, tolerance) {
  const n = samples.length;
  if (n <= 2) return samples.map((s) => ({ row: s.row, value: s.value }));
  const tol = Math.max(0, tolerance);
  const keysTo = new Array(n).fill(Infinity);
  const from = new Array(n).fill(-1);
  keysTo[0] = 1;
  for (let i = 0; i < n - 1; ++i) {
    if (!Number.isFinite(keysTo[i])) continue;
    const r0 = samples[i].row;
    const v0 = samples[i].value;
    // A relative slack so that rounding never rejects a line that fits exactly.
    const slack = 1e-9 * Math.max(1, Math.abs(v0), tol);
    let lo = -Infinity;
    let hi = Infinity;
    for (let j = i + 1; j < n; ++j) {
      const dr = samples[j].row - r0;
      const slope = (samples[j].value - v0) / dr;
      if (slope >= lo && slope <= hi && keysTo[i] + 1 < keysTo[j]) {
        keysTo[j] = keysTo[i] + 1;
        from[j] = i;
      }
      lo = Math.max(lo, (samples[j].value - tol - slack - v0) / dr);
      hi = Math.min(hi, (samples[j].value + tol + slack - v0) / dr);
      if (lo > hi) break;
    }
  }
  const keys = [];
  for (let j = n - 1; j >= 0; j = from[j]) keys.unshift({ row: samples[j].row, value: samples[j].value });
  return keys;
}
