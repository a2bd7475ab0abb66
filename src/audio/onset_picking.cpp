#include "audio/onset_picking.h"

#include <algorithm>
#include <cmath>

namespace {
// A peak is the largest value this far either side.
constexpr double kPeakReachSeconds = 0.03;
// It must stand above the mean of this stretch around it...
constexpr double kMeanBeforeSeconds = 0.1;
constexpr double kMeanAfterSeconds = 0.07;
// ...by a share of the music's level over a few seconds, and by a little
// more than the noise of near silence.
constexpr double kLevelSeconds = 4.0;
constexpr double kLevelShare = 0.5;
constexpr double kSilenceMargin = 1.0;
constexpr double kShortestGapSeconds = 0.03;

// Running means over [i - before, i + after] of every frame.
std::vector<double> movingMean(const std::vector<float>& values, size_t before, size_t after) {
  std::vector<double> prefix(values.size() + 1, 0.0);
  for (size_t i = 0; i < values.size(); ++i) prefix[i + 1] = prefix[i] + values[i];
  std::vector<double> mean(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const size_t from = i >= before ? i - before : 0;
    const size_t to = std::min(values.size(), i + after + 1);
    mean[i] = (prefix[to] - prefix[from]) / static_cast<double>(to - from);
  }
  return mean;
}
}  // namespace

std::vector<double> pickOnsets(const OnsetEnvelope& envelope) {
  std::vector<double> onsets;
  const std::vector<float>& flux = envelope.flux;
  if (flux.size() < 3) return onsets;
  const double fps = envelope.framesPerSecond;
  const auto frames = [fps](double seconds) { return static_cast<size_t>(std::lround(seconds * fps)); };
  const size_t reach = std::max<size_t>(1, frames(kPeakReachSeconds));
  const std::vector<double> nearMean = movingMean(flux, frames(kMeanBeforeSeconds), frames(kMeanAfterSeconds));
  const std::vector<double> level = movingMean(flux, frames(kLevelSeconds / 2), frames(kLevelSeconds / 2));
  double lastFrame = -1e9;
  for (size_t i = 0; i < flux.size(); ++i) {
    const float value = flux[i];
    if (value < nearMean[i] + kLevelShare * level[i] + kSilenceMargin) continue;
    const size_t from = i >= reach ? i - reach : 0;
    const size_t to = std::min(flux.size() - 1, i + reach);
    bool peak = true;
    for (size_t j = from; j <= to && peak; ++j) {
      // Of equal values the first is the peak.
      peak = j < i ? flux[j] < value : flux[j] <= value;
    }
    if (!peak) continue;
    // The top of a parabola through the peak and its neighbours.
    double frame = static_cast<double>(i);
    if (i > 0 && i + 1 < flux.size()) {
      const double a = flux[i - 1];
      const double c = flux[i + 1];
      const double curve = a - 2.0 * value + c;
      if (curve < 0.0) frame += std::clamp(0.5 * (a - c) / curve, -0.5, 0.5);
    }
    if ((frame - lastFrame) / fps < kShortestGapSeconds) continue;
    lastFrame = frame;
    onsets.push_back(envelope.timeOf(frame));
  }
  return onsets;
}
