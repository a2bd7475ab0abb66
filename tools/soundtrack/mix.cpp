#include "mix.h"

#include <algorithm>
#include <cmath>

#include "dsp.h"

namespace soundtrack {

namespace {
constexpr double kDuckDepth = 0.55;
constexpr double kDuckRecovery = 0.11;  // seconds
constexpr double kReverbRoomSize = 0.86;
constexpr double kReverbDamping = 0.35;
constexpr double kReverbReturn = 0.9;
constexpr double kDelaySeconds = 0.375;  // a dotted eighth at 120 BPM
constexpr double kDelayFeedback = 0.42;
constexpr double kDelayReturn = 0.55;
}  // namespace

Mix::Mix(double seconds, const std::vector<double>& kickTimes) {
  const size_t count = static_cast<size_t>(std::ceil(seconds * kSampleRate));
  dryLeft_.assign(count, 0.0f);
  dryRight_.assign(count, 0.0f);
  reverbLeft_.assign(count, 0.0f);
  reverbRight_.assign(count, 0.0f);
  delayLeft_.assign(count, 0.0f);
  delayRight_.assign(count, 0.0f);
  duck_.assign(count, 1.0f);
  for (double kick : kickTimes) {
    const size_t first = static_cast<size_t>(std::max(0.0, kick * kSampleRate));
    const size_t last = std::min(count, first + static_cast<size_t>(kDuckRecovery * 6.0 * kSampleRate));
    for (size_t i = first; i < last; ++i) {
      const double t = (i - first) / kSampleRate;
      const double gain = 1.0 - kDuckDepth * std::exp(-t / kDuckRecovery) * std::min(1.0, t / 0.004 + 0.3);
      duck_[i] = std::min(duck_[i], static_cast<float>(gain));
    }
  }
}

void Mix::add(size_t frame, double sample, float pan, const Sends& sends) {
  if (frame >= dryLeft_.size()) return;
  if (sends.ducked) sample *= duck_[frame];
  const double angle = (std::clamp(pan, -1.0f, 1.0f) + 1.0) * 0.25 * kPi;
  const float left = static_cast<float>(sample * std::cos(angle) * 1.41421356);
  const float right = static_cast<float>(sample * std::sin(angle) * 1.41421356);
  dryLeft_[frame] += left;
  dryRight_[frame] += right;
  reverbLeft_[frame] += left * sends.reverb;
  reverbRight_[frame] += right * sends.reverb;
  delayLeft_[frame] += left * sends.delay;
  delayRight_[frame] += right * sends.delay;
}

std::vector<int16_t> Mix::finish(double fadeSeconds, double peakLevel) {
  applyPingPongDelay(delayLeft_, delayRight_, kDelaySeconds, kDelayFeedback, 3200.0);
  // The echoes are reverberated a little too, so they sit in the same room.
  for (size_t i = 0; i < frames(); ++i) {
    reverbLeft_[i] += delayLeft_[i] * 0.3f;
    reverbRight_[i] += delayRight_[i] * 0.3f;
  }
  applyReverb(reverbLeft_, reverbRight_, kReverbRoomSize, kReverbDamping);

  const size_t count = frames();
  const size_t fadeFrames = static_cast<size_t>(fadeSeconds * kSampleRate);
  std::vector<float> left(count), right(count);
  for (size_t i = 0; i < count; ++i) {
    double l = dryLeft_[i] + kReverbReturn * reverbLeft_[i] + kDelayReturn * delayLeft_[i];
    double r = dryRight_[i] + kReverbReturn * reverbRight_[i] + kDelayReturn * delayRight_[i];
    if (fadeFrames > 0 && i + fadeFrames > count) {
      const double remaining = static_cast<double>(count - i) / fadeFrames;
      l *= remaining * remaining;
      r *= remaining * remaining;
    }
    left[i] = static_cast<float>(l);
    right[i] = static_cast<float>(r);
  }

  // Gentle soft clip relative to the loudest moment, then normalise.
  double peak = 1e-9;
  for (size_t i = 0; i < count; ++i) peak = std::max({peak, std::fabs(double(left[i])), std::fabs(double(right[i]))});
  const double drive = 1.4 / peak;
  const double shaperPeak = std::tanh(1.4);
  std::vector<int16_t> interleaved(count * 2);
  for (size_t i = 0; i < count; ++i) {
    const double l = std::tanh(left[i] * drive) / shaperPeak * peakLevel;
    const double r = std::tanh(right[i] * drive) / shaperPeak * peakLevel;
    interleaved[2 * i] = static_cast<int16_t>(std::lround(std::clamp(l, -1.0, 1.0) * 32767.0));
    interleaved[2 * i + 1] = static_cast<int16_t>(std::lround(std::clamp(r, -1.0, 1.0) * 32767.0));
  }
  return interleaved;
}

}  // namespace soundtrack
