// Offline spectrum analysis of decoded samples: per frame, 8192 mono
// samples from the frame's position, Hann window, DC removed, 4096 FFT
// magnitudes grouped into 128 bands of growing width. Pure computation: no
// files, no logging, no playback.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/mp3_decoder.h"

constexpr int kSpectrumBandCount = 128;
constexpr int kSpectrumFramesPerSecond = 30;
constexpr int kFftSize = 8192;
constexpr int kFftBinCount = kFftSize / 2;
// The data flags recorded in the cache header: an 8192-sample FFT.
constexpr int32_t kSpectrumFftFlags = static_cast<int32_t>(0x80000005u);
// How many low bins each frame keeps for the build log.
constexpr int kLoggedBinCount = 3;

// Width in bins of each band: (int)(float)pow(b, 0.442f).
const std::array<int, kSpectrumBandCount>& spectrumBandWidths();
// Total bins the bands cover (691).
int spectrumBinsCovered();

// Number of frames for a music length: length x 30 in single precision,
// truncated toward zero (0 for non-positive or non-finite lengths).
int32_t spectrumFrameCount(float lengthSeconds);

// First sample frame of spectrum frame i: floor(i / 30 x rate).
int64_t spectrumFrameStart(int32_t frame, int sampleRate);

// Sums bins into bands in ascending bin order, single precision.
void groupSpectrumBands(const float* magnitudes, float* bands);

// Computes the magnitudes of one block; reuses its buffers between calls.
class SpectrumAnalyzer {
 public:
  SpectrumAnalyzer();
  ~SpectrumAnalyzer();
  SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
  SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

  // kFftBinCount magnitudes of the kFftSize frames from startFrame (zeros
  // past the end), scaled so a full-scale sine centred on a bin reads 1.0.
  void magnitudes(const DecodedAudio& audio, int64_t startFrame, float* out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

struct SpectrumTable {
  std::vector<float> bandValues;  // frameCount x kSpectrumBandCount, frame-major
  // Bins 1..3 of every frame, for the build log.
  std::vector<std::array<float, kLoggedBinCount>> loggedBins;
};

// Analyses frames 0..frameCount-1 on up to threadCount threads. The result
// does not depend on the thread count.
SpectrumTable analyseSpectrum(const DecodedAudio& audio, int32_t frameCount, int threadCount);
