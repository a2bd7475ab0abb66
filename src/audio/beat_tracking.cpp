#include "audio/beat_tracking.h"

#include <algorithm>
#include <cmath>

namespace {
// The envelope is smoothed over about a sixth of a 120 BPM beat's
// sixteenth, so a beat a frame or two beside a peak still scores.
constexpr double kSmoothingSeconds = 0.015;
// How strongly an interval is held to the local period: the score an
// interval of period x e loses (Ellis's "tightness").
constexpr double kTightness = 400.0;
// The chain starts at the first frame this strong (share of the strongest).
constexpr double kFirstBeatShare = 0.01;
// The chain ends at the last peak of the cumulated score that reaches this
// share of the peaks' median.
constexpr double kLastBeatShare = 0.5;
// Beats at the ends whose smoothed onset strength stays under this share of
// the beats' typical strength are silence, not music.
constexpr double kTrimShare = 0.5;
// How far around a beat its bar accent is looked for.
constexpr double kAccentReachSeconds = 0.025;

std::vector<double> smoothed(const std::vector<float>& values, double sigmaFrames) {
  const int reach = static_cast<int>(std::ceil(3.0 * sigmaFrames));
  std::vector<double> kernel(static_cast<size_t>(2 * reach + 1));
  for (int k = -reach; k <= reach; ++k) kernel[size_t(k + reach)] = std::exp(-0.5 * (k / sigmaFrames) * (k / sigmaFrames));
  std::vector<double> out(values.size(), 0.0);
  const int n = static_cast<int>(values.size());
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int k = -reach; k <= reach; ++k) {
      const int j = i + k;
      if (j >= 0 && j < n) sum += values[size_t(j)] * kernel[size_t(k + reach)];
    }
    out[size_t(i)] = sum;
  }
  return out;
}

// The frame the chain ends at.
int lastBeatFrame(const std::vector<double>& cumulated) {
  std::vector<int> peaks;
  for (size_t i = 1; i + 1 < cumulated.size(); ++i) {
    if (cumulated[i] > cumulated[i - 1] && cumulated[i] >= cumulated[i + 1]) peaks.push_back(static_cast<int>(i));
  }
  if (peaks.empty()) return static_cast<int>(cumulated.size()) - 1;
  std::vector<double> values;
  for (int p : peaks) values.push_back(cumulated[size_t(p)]);
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  const double median = values[values.size() / 2];
  for (auto p = peaks.rbegin(); p != peaks.rend(); ++p) {
    if (cumulated[size_t(*p)] >= kLastBeatShare * median) return *p;
  }
  return peaks.back();
}

// Drops beats at either end that fall in silence.
void trimQuietEnds(std::vector<int>& frames, const std::vector<double>& local) {
  if (frames.size() < 3) return;
  std::vector<double> strength(frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    // A short Hann smoothing along the beats, as one quiet beat inside the
    // music is still a beat.
    double sum = 0.0;
    double weights = 0.0;
    for (int k = -2; k <= 2; ++k) {
      const long j = static_cast<long>(i) + k;
      if (j < 0 || j >= static_cast<long>(frames.size())) continue;
      const double w = 0.5 + 0.5 * std::cos(3.14159265358979 * k / 3.0);
      sum += w * local[size_t(frames[size_t(j)])];
      weights += w;
    }
    strength[i] = sum / weights;
  }
  double squares = 0.0;
  for (double s : strength) squares += s * s;
  const double threshold = kTrimShare * std::sqrt(squares / static_cast<double>(strength.size()));
  size_t first = 0;
  while (first < frames.size() && strength[first] < threshold) ++first;
  size_t end = frames.size();
  while (end > first && strength[end - 1] < threshold) --end;
  frames = std::vector<int>(frames.begin() + static_cast<long>(first), frames.begin() + static_cast<long>(end));
}

// The beat index (0 to 3) that starts the bars: the phase whose beats carry
// the strongest low (kick and bass) onsets.
int barPhase(const std::vector<int>& frames, const OnsetEnvelope& envelope) {
  const int reach = static_cast<int>(std::lround(kAccentReachSeconds * envelope.framesPerSecond));
  double sums[kBeatsPerBar] = {};
  int counts[kBeatsPerBar] = {};
  for (size_t i = 0; i < frames.size(); ++i) {
    float accent = 0.0f;
    for (int f = frames[i] - reach; f <= frames[i] + reach; ++f) {
      if (f >= 0 && static_cast<size_t>(f) < envelope.lowFlux.size()) {
        accent = std::max(accent, envelope.lowFlux[size_t(f)]);
      }
    }
    sums[i % kBeatsPerBar] += accent;
    ++counts[i % kBeatsPerBar];
  }
  int best = 0;
  for (int p = 1; p < kBeatsPerBar; ++p) {
    if (counts[p] > 0 && sums[p] / counts[p] > sums[best] / std::max(1, counts[best])) best = p;
  }
  return best;
}
}  // namespace

std::vector<TrackedBeat> trackBeats(const OnsetEnvelope& envelope, const std::vector<float>& beatEnvelope,
                                    const TempoTrack& tempo) {
  std::vector<TrackedBeat> beats;
  const size_t n = beatEnvelope.size();
  if (n == 0 || tempo.period.size() != n) return beats;
  const std::vector<double> local = smoothed(beatEnvelope, kSmoothingSeconds * envelope.framesPerSecond);
  const double strongest = *std::max_element(local.begin(), local.end());
  if (strongest <= 0.0) return beats;

  std::vector<double> cumulated(n, 0.0);
  std::vector<int> previous(n, -1);
  bool started = false;
  for (size_t t = 0; t < n; ++t) {
    const double period = tempo.period[t];
    const long nearest = static_cast<long>(t) - static_cast<long>(std::lround(period / 2.0));
    const long farthest = static_cast<long>(t) - static_cast<long>(std::lround(2.0 * period));
    double best = -1e300;
    long arg = -1;
    for (long tau = std::max(0L, farthest); tau <= nearest; ++tau) {
      const double ratio = std::log(double(long(t) - tau) / period);
      const double score = cumulated[size_t(tau)] - kTightness * ratio * ratio;
      if (score > best) {
        best = score;
        arg = tau;
      }
    }
    if (arg < 0) best = 0.0;
    cumulated[t] = local[t] + best;
    if (!started && local[t] < kFirstBeatShare * strongest) {
      previous[t] = -1;
    } else {
      previous[t] = static_cast<int>(arg);
      started = true;
    }
  }

  std::vector<int> frames;
  for (int f = lastBeatFrame(cumulated); f >= 0; f = previous[size_t(f)]) frames.push_back(f);
  std::reverse(frames.begin(), frames.end());
  trimQuietEnds(frames, local);
  const int phase = barPhase(frames, envelope);
  for (size_t i = 0; i < frames.size(); ++i) {
    beats.push_back({envelope.timeOf(frames[i]), static_cast<int>(i % kBeatsPerBar) == phase});
  }
  return beats;
}
