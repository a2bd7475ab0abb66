#include "drawables/spectrum_sampling.h"

#include <cmath>

SpectrumMoment spectrumMomentAt(const SpectrumView& view, float t) {
  SpectrumMoment moment;
  if (view.values == nullptr || view.frameCount <= 0 || view.bandCount <= 0) return moment;

  // Clamp to [0, length]; a time that is not a number reads the start.
  float clamped = t;
  if (clamped > view.length) clamped = view.length;
  if (!(clamped >= 0.0f)) clamped = 0.0f;
  const float u = static_cast<float>(view.framesPerSecond) * clamped;

  // Both frame indices are held at the last frame: frameCount = floor(length
  // × fps) can be one short of the frame that `length` maps to.
  const int lastFrame = view.frameCount - 1;
  // Past the last frame both reads are the last frame, so the weight between
  // them is irrelevant; the test also keeps the integer conversion in range.
  int frame = 0;
  float weight = 0.0f;
  if (u >= static_cast<float>(lastFrame)) {
    frame = lastFrame;
  } else if (u > 0.0f) {
    frame = static_cast<int>(u);
    weight = u - static_cast<float>(frame);
  }
  const int next = frame + 1 > lastFrame ? lastFrame : frame + 1;
  moment.frame0 = view.values + static_cast<long>(frame) * view.bandCount;
  moment.frame1 = view.values + static_cast<long>(next) * view.bandCount;
  moment.weight = weight;
  moment.bandCount = view.bandCount;
  return moment;
}

float sampleMoment(const SpectrumMoment& moment, float band) {
  if (moment.bandCount <= 0) return 0.0f;
  const int lastBand = moment.bandCount - 1;
  float b = band;
  if (b < 0.0f) b = 0.0f;
  if (!(b < static_cast<float>(lastBand))) b = static_cast<float>(lastBand);
  const int low = static_cast<int>(b);
  const float bandWeight = b - static_cast<float>(low);
  const int high = low + 1 > lastBand ? lastBand : low + 1;

  const float* f0 = moment.frame0;
  const float* f1 = moment.frame1;
  const float tf = moment.weight;
  const float lo = f0[low] + (f1[low] - f0[low]) * tf;
  const float hi = f0[high] + (f1[high] - f0[high]) * tf;
  return lo + (hi - lo) * bandWeight;
}

float sampleSpectrum(const SpectrumView& view, float t, float band) {
  return sampleMoment(spectrumMomentAt(view, t), band);
}

float jitterFromArgument(float argument) {
  const double scaled = std::sin(static_cast<double>(argument)) * 43758.5453;
  const double fraction = scaled - std::floor(scaled);
  return static_cast<float>(fraction) * 1.75f;
}

float jitterHash(float a, float b) { return jitterFromArgument(a * kJitterScaleA + b * kJitterScaleB); }
