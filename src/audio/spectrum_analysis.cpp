#include "audio/spectrum_analysis.h"

#include <kissfft/kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace {
constexpr double kBandWidthExponent = 0.44200000166893005;  // 0.442f
constexpr double kPi = 3.14159265358979323846;

std::array<int, kSpectrumBandCount> computeBandWidths() {
  std::array<int, kSpectrumBandCount> widths{};
  for (int b = 0; b < kSpectrumBandCount; ++b) {
    const float base = static_cast<float>(b);
    widths[b] = static_cast<int>(static_cast<float>(std::pow(static_cast<double>(base), kBandWidthExponent)));
  }
  return widths;
}
}  // namespace

const std::array<int, kSpectrumBandCount>& spectrumBandWidths() {
  static const std::array<int, kSpectrumBandCount> widths = computeBandWidths();
  return widths;
}

int spectrumBinsCovered() {
  int total = 0;
  for (int width : spectrumBandWidths()) total += width;
  return total;
}

int32_t spectrumFrameCount(float lengthSeconds) {
  const float frames = lengthSeconds * static_cast<float>(kSpectrumFramesPerSecond);
  if (!(frames > 0.0f)) return 0;
  if (frames >= 2147483647.0f) return INT32_MAX;
  return static_cast<int32_t>(frames);
}

int64_t spectrumFrameStart(int32_t frame, int sampleRate) {
  const double seconds = static_cast<double>(frame) / kSpectrumFramesPerSecond;
  return static_cast<int64_t>(std::floor(seconds * sampleRate));
}

void groupSpectrumBands(const float* magnitudes, float* bands) {
  const std::array<int, kSpectrumBandCount>& widths = spectrumBandWidths();
  int bin = 0;
  for (int b = 0; b < kSpectrumBandCount; ++b) {
    float sum = 0.0f;
    for (int k = 0; k < widths[b]; ++k) sum += magnitudes[bin + k];
    bands[b] = sum;
    bin += widths[b];
  }
}

struct SpectrumAnalyzer::Impl {
  kiss_fftr_cfg config = nullptr;
  std::vector<float> window;
  std::vector<float> block;
  std::vector<kiss_fft_cpx> spectrum;
  float scale = 0.0f;
};

SpectrumAnalyzer::SpectrumAnalyzer() : impl_(std::make_unique<Impl>()) {
  impl_->config = kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr);
  impl_->window.resize(kFftSize);
  double windowSum = 0.0;
  for (int n = 0; n < kFftSize; ++n) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * n / kFftSize);
    impl_->window[n] = static_cast<float>(w);
    windowSum += w;
  }
  // A sine of amplitude A centred on a bin gives |X| = A/2 x sum(window).
  impl_->scale = static_cast<float>(2.0 / windowSum);
  impl_->block.resize(kFftSize);
  impl_->spectrum.resize(kFftSize / 2 + 1);
}

SpectrumAnalyzer::~SpectrumAnalyzer() {
  kiss_fftr_free(impl_->config);
}

void SpectrumAnalyzer::magnitudes(const DecodedAudio& audio, int64_t startFrame, float* out) {
  if (impl_->config == nullptr) {  // the FFT could not allocate its tables
    std::fill(out, out + kFftBinCount, 0.0f);
    return;
  }
  float* block = impl_->block.data();
  const int64_t total = audio.frameCount();
  const int64_t available = std::clamp<int64_t>(total - startFrame, 0, kFftSize);
  const int16_t* pcm = audio.samples.data() + (available > 0 ? startFrame * kPcmChannels : 0);
  // Stereo to mono in [-1, 1]; the mean is taken over the whole block,
  // zeros past the end included.
  constexpr float kMonoScale = 1.0f / (2.0f * 32768.0f);
  double sum = 0.0;
  for (int64_t n = 0; n < available; ++n) {
    const float mono = static_cast<float>(pcm[2 * n] + pcm[2 * n + 1]) * kMonoScale;
    block[n] = mono;
    sum += mono;
  }
  std::fill(block + available, block + kFftSize, 0.0f);
  const float mean = static_cast<float>(sum / kFftSize);
  const float* window = impl_->window.data();
  for (int n = 0; n < kFftSize; ++n) block[n] = (block[n] - mean) * window[n];

  kiss_fftr(impl_->config, block, impl_->spectrum.data());
  const kiss_fft_cpx* bins = impl_->spectrum.data();
  const float scale = impl_->scale;
  for (int k = 0; k < kFftBinCount; ++k) {
    out[k] = std::sqrt(bins[k].r * bins[k].r + bins[k].i * bins[k].i) * scale;
  }
}

namespace {
void analyseRange(const DecodedAudio& audio, int32_t first, int32_t last, SpectrumTable& table) {
  SpectrumAnalyzer analyzer;
  std::vector<float> magnitudes(kFftBinCount);
  for (int32_t frame = first; frame < last; ++frame) {
    analyzer.magnitudes(audio, spectrumFrameStart(frame, audio.sampleRate), magnitudes.data());
    groupSpectrumBands(magnitudes.data(), &table.bandValues[size_t(frame) * kSpectrumBandCount]);
    std::copy_n(magnitudes.begin() + 1, kLoggedBinCount, table.loggedBins[frame].begin());
  }
}
}  // namespace

SpectrumTable analyseSpectrum(const DecodedAudio& audio, int32_t frameCount, int threadCount) {
  SpectrumTable table;
  if (frameCount <= 0) return table;
  table.bandValues.assign(size_t(frameCount) * kSpectrumBandCount, 0.0f);
  table.loggedBins.assign(size_t(frameCount), {});
  if (audio.empty() || audio.sampleRate <= 0) return table;

  // Every frame is computed the same way whichever thread takes it, so the
  // table is identical for any thread count.
  const int threads = std::clamp(threadCount, 1, std::max(1, frameCount / 64));
  std::vector<std::thread> workers;
  const int32_t perThread = (frameCount + threads - 1) / threads;
  for (int t = 1; t < threads; ++t) {
    const int32_t first = std::min(frameCount, t * perThread);
    const int32_t last = std::min(frameCount, first + perThread);
    workers.emplace_back(analyseRange, std::cref(audio), first, last, std::ref(table));
  }
  analyseRange(audio, 0, std::min(frameCount, perThread), table);
  for (std::thread& worker : workers) worker.join();
  return table;
}
