// Reading the precomputed spectrum table: the interpolated sample at a time
// and a fractional band, and the deterministic sine hash that jitters the
// terrain. Pure functions over a plain view of the table; the table itself
// (its file, its analysis, its statistics) belongs to the audio subsystem.
#pragma once

#include "audio/spectrum_view.h"

// The two frames around one moment and the weight of the later one. Splitting
// the sample this way lets a caller that reads many bands at one time find the
// frames once; sampleSpectrum is exactly spectrumMomentAt + sampleMoment.
struct SpectrumMoment {
  const float* frame0 = nullptr;
  const float* frame1 = nullptr;
  float weight = 0.0f;
  int bandCount = 0;  // 0 when the table is empty: every sample reads 0.0
};

SpectrumMoment spectrumMomentAt(const SpectrumView& view, float t);
float sampleMoment(const SpectrumMoment& moment, float band);

// Linear in time and in band, single precision. Times are clamped to
// [0, length], bands to [0, bandCount - 1], frame indices to frameCount - 1.
// An empty table reads 0.0.
float sampleSpectrum(const SpectrumView& view, float t, float band);

// 1.75 × fract(sin(a × 78.233 + b × 12.9898) × 43758.5453), in [0, 1.75).
// The argument is formed in single precision, the rest in double.
constexpr float kJitterScaleA = 78.233f;
constexpr float kJitterScaleB = 12.9898f;
float jitterHash(float a, float b);
// The same hash from an argument already formed as a*kJitterScaleA + b*kJitterScaleB.
float jitterFromArgument(float argument);
