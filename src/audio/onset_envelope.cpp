#include "audio/onset_envelope.h"

#include <kissfft/kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kMinimumSampleRate = 8000;
constexpr int kMaximumSampleRate = 384000;
// About 23 ms of sound per frame (1024 samples at 44.1 kHz): short enough to
// place a hit, long enough to tell a kick from a bass note.
constexpr double kWindowSeconds = 0.046;
constexpr double kLowestBandHz = 30.0;
// Onsets are summed from here up: below it two low tones that sound
// together beat within a band, which reads as a rise without a hit.
constexpr double kLowestOnsetBandHz = 100.0;
constexpr double kHighestBandHz = 16000.0;
constexpr int kBandsPerOctave = 6;
constexpr double kLowBandsTopHz = 150.0;
// log(1 + kCompression * magnitude): quiet hits count by their rise, not
// only the loud ones.
constexpr double kCompression = 1000.0;
// Flux is taken against the frame this many frames back (10 ms), with each
// band compared to the loudest of its neighbours there: a slowly gliding
// tone then adds little.
constexpr int kFluxLag = 2;
// Where in the window the flux of a hit peaks, found on generated drums: a
// frame's time is its start plus this share of the window.
constexpr double kPeakShareOfWindow = 0.64;

int windowSizeFor(int sampleRate) {
  int size = 256;
  while (size < kWindowSeconds * sampleRate) size *= 2;
  return size;
}

struct FftDeleter {
  void operator()(kiss_fftr_state* state) const { kiss_fftr_free(state); }
};

// Triangular filters on a log frequency axis; each row holds the weights of
// one band over the FFT bins (narrow low bands become single bins).
struct BandFilters {
  std::vector<std::vector<std::pair<int, float>>> weights;
  size_t lowBands = 0;   // below kLowBandsTopHz
  size_t firstOnsetBand = 0;
};

BandFilters makeBandFilters(int windowSize, int sampleRate) {
  BandFilters filters;
  const double binHz = static_cast<double>(sampleRate) / windowSize;
  const double top = std::min(kHighestBandHz, 0.45 * sampleRate);
  std::vector<double> centres;
  for (double hz = kLowestBandHz; hz <= top; hz *= std::pow(2.0, 1.0 / kBandsPerOctave)) centres.push_back(hz);
  int lastBin = -1;
  for (size_t i = 1; i + 1 < centres.size(); ++i) {
    const double low = centres[i - 1] / binHz;
    const double centre = centres[i] / binHz;
    const double high = centres[i + 1] / binHz;
    std::vector<std::pair<int, float>> row;
    for (int bin = static_cast<int>(std::ceil(low)); bin <= static_cast<int>(std::floor(high)); ++bin) {
      const double w = bin <= centre ? (bin - low) / (centre - low) : (high - bin) / (high - centre);
      if (w > 0.0) row.push_back({bin, static_cast<float>(w)});
    }
    if (row.empty()) {
      // Narrower than a bin: the nearest bin, once.
      const int bin = static_cast<int>(std::lround(centre));
      if (bin == lastBin) continue;
      row.push_back({bin, 1.0f});
    }
    lastBin = row.back().first;
    float sum = 0.0f;
    for (const auto& entry : row) sum += entry.second;
    for (auto& entry : row) entry.second /= sum;
    if (centres[i] < kLowBandsTopHz) ++filters.lowBands;
    if (centres[i] < kLowestOnsetBandHz) ++filters.firstOnsetBand;
    filters.weights.push_back(std::move(row));
  }
  return filters;
}
}  // namespace

OnsetEnvelope computeOnsetEnvelope(const DecodedAudio& audio) {
  OnsetEnvelope envelope;
  if (audio.empty() || audio.sampleRate < kMinimumSampleRate || audio.sampleRate > kMaximumSampleRate) return envelope;
  const int rate = audio.sampleRate;
  const int windowSize = windowSizeFor(rate);
  const double hop = rate / kEnvelopeFramesPerSecond;
  const int64_t sampleFrames = audio.frameCount();
  const size_t frames = static_cast<size_t>(std::ceil(sampleFrames / hop)) + 1;
  envelope.firstFrameTime = kPeakShareOfWindow * windowSize / rate;

  std::unique_ptr<kiss_fftr_state, FftDeleter> fft(kiss_fftr_alloc(windowSize, 0, nullptr, nullptr));
  std::vector<float> window(static_cast<size_t>(windowSize));
  double windowSum = 0.0;
  for (int n = 0; n < windowSize; ++n) {
    window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * kPi * n / windowSize));
    windowSum += window[n];
  }
  // Full-scale sine: magnitude about 1.
  const float scale = static_cast<float>(2.0 / (windowSum * 32768.0));
  const BandFilters filters = makeBandFilters(windowSize, rate);
  const size_t bandCount = filters.weights.size();

  std::vector<float> block(static_cast<size_t>(windowSize));
  std::vector<kiss_fft_cpx> spectrum(static_cast<size_t>(windowSize / 2 + 1));
  std::vector<float> magnitude(spectrum.size());
  // The last kFluxLag + 1 frames of band levels, as a ring.
  std::vector<std::vector<float>> levels(kFluxLag + 1, std::vector<float>(bandCount, 0.0f));
  envelope.flux.assign(frames, 0.0f);
  envelope.lowFlux.assign(frames, 0.0f);
  const int16_t* samples = audio.samples.data();
  for (size_t f = 0; f < frames; ++f) {
    const int64_t start = static_cast<int64_t>(std::llround(f * hop));
    for (int n = 0; n < windowSize; ++n) {
      const int64_t i = start + n;
      const float mono = i < sampleFrames ? 0.5f * (float(samples[2 * i]) + float(samples[2 * i + 1])) : 0.0f;
      block[n] = mono * window[n];
    }
    kiss_fftr(fft.get(), block.data(), spectrum.data());
    for (size_t k = 0; k < spectrum.size(); ++k) {
      magnitude[k] = std::sqrt(spectrum[k].r * spectrum[k].r + spectrum[k].i * spectrum[k].i) * scale;
    }
    std::vector<float>& now = levels[f % levels.size()];
    for (size_t b = 0; b < bandCount; ++b) {
      float sum = 0.0f;
      for (const auto& [bin, weight] : filters.weights[b]) sum += magnitude[static_cast<size_t>(bin)] * weight;
      now[b] = static_cast<float>(std::log1p(kCompression * sum));
    }
    // Before the first frame there is silence (the ring starts zeroed).
    const std::vector<float>& before = levels[(f + levels.size() - kFluxLag) % levels.size()];
    float all = 0.0f;
    float low = 0.0f;
    for (size_t b = 0; b < bandCount; ++b) {
      float reference = before[b];
      if (b > 0) reference = std::max(reference, before[b - 1]);
      if (b + 1 < bandCount) reference = std::max(reference, before[b + 1]);
      const float rise = std::max(0.0f, now[b] - reference);
      if (b >= filters.firstOnsetBand) all += rise;
      if (b < filters.lowBands) low += rise;
    }
    envelope.flux[f] = all;
    envelope.lowFlux[f] = low;
  }
  return envelope;
}
