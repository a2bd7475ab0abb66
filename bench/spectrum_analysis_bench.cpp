// Spectrum analysis of a 180-second soundtrack, decoding included, as a
// share of the music's length. The soundtrack is generated here and encoded
// once with lame into /tmp; without lame only the analysis is measured.
// The production's own soundtrack is measured too when it is found (run
// from the repository root, or name it in TARVO_BENCH_SOUNDTRACK).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/mp3_decoder.h"
#include "audio/spectrum_analysis.h"

namespace {
constexpr double kMusicSeconds = 180.0;
constexpr int kSampleRate = 44100;
const char* const kWavPath = "/tmp/tarvo_spectrum_analysis_bench.wav";
const char* const kMp3Path = "/tmp/tarvo_spectrum_analysis_bench.mp3";

// Chords, a kick drum and hashed noise: enough spread over the spectrum that
// the encoder and the decoder do real work.
DecodedAudio generateSoundtrack() {
  DecodedAudio audio;
  audio.sampleRate = kSampleRate;
  const int64_t frames = static_cast<int64_t>(kMusicSeconds * kSampleRate);
  audio.samples.resize(static_cast<size_t>(frames) * 2);
  const double tau = 6.283185307179586;
  for (int64_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / kSampleRate;
    const double beat = std::fmod(t, 0.5);
    const double kick = std::exp(-beat * 18.0) * std::sin(tau * (50.0 + 60.0 * std::exp(-beat * 30.0)) * beat);
    const double root = 110.0 * std::pow(2.0, static_cast<int>(t / 4.0) % 5 / 12.0);
    const double chord = std::sin(tau * root * t) + 0.6 * std::sin(tau * root * 1.5 * t) +
                         0.4 * std::sin(tau * root * 2.0 * t) + 0.2 * std::sin(tau * root * 4.01 * t);
    const uint32_t h = static_cast<uint32_t>(n) * 2654435761u;
    const double hiss = ((h >> 8) & 0xFFFF) / 65535.0 - 0.5;
    const double left = 0.45 * kick + 0.12 * chord + 0.05 * hiss;
    const double right = 0.45 * kick + 0.12 * chord * std::cos(t) + 0.05 * hiss;
    audio.samples[2 * n] = static_cast<int16_t>(std::lrint(std::clamp(left, -1.0, 1.0) * 32767.0));
    audio.samples[2 * n + 1] = static_cast<int16_t>(std::lrint(std::clamp(right, -1.0, 1.0) * 32767.0));
  }
  return audio;
}

bool writeWav(const DecodedAudio& audio, const char* path) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const uint32_t dataBytes = static_cast<uint32_t>(audio.samples.size() * 2);
  auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, file); };
  auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, file); };
  std::fwrite("RIFF", 1, 4, file);
  u32(36 + dataBytes);
  std::fwrite("WAVEfmt ", 1, 8, file);
  u32(16);
  u16(1);
  u16(2);
  u32(kSampleRate);
  u32(kSampleRate * 4);
  u16(4);
  u16(16);
  std::fwrite("data", 1, 4, file);
  u32(dataBytes);
  std::fwrite(audio.samples.data(), 2, audio.samples.size(), file);
  return std::fclose(file) == 0;
}

// The encoded soundtrack, made on first use; empty when lame is missing.
const std::string& soundtrackMp3() {
  static const std::string path = [] {
    if (FILE* existing = std::fopen(kMp3Path, "rb")) {
      std::fclose(existing);
      return std::string(kMp3Path);
    }
    if (!writeWav(generateSoundtrack(), kWavPath)) return std::string();
    const std::string command = std::string("lame --quiet -b 192 ") + kWavPath + " " + kMp3Path;
    const bool encoded = std::system(command.c_str()) == 0;
    std::remove(kWavPath);
    return encoded ? std::string(kMp3Path) : std::string();
  }();
  return path;
}

// The production's MP3, or empty when it is not where it is looked for.
std::string productionMp3() {
  const char* named = std::getenv("TARVO_BENCH_SOUNDTRACK");
  const std::string path = named ? named : "demosrc/norde/data/brivel-669.mp3";
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::string();
  std::fclose(file);
  return path;
}

void reportShare(benchmark::State& state, double seconds, double musicSeconds) {
  const double perIteration = seconds / static_cast<double>(state.iterations());
  state.counters["percent_of_music"] = 100.0 * perIteration / musicSeconds;
}

// What a first run pays: decode the MP3, analyse it.
void decodeAndAnalyse(benchmark::State& state, const std::string& mp3) {
  double seconds = 0.0;
  double musicSeconds = kMusicSeconds;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    DecodeResult decoded = decodeMp3File(mp3);
    const double length = static_cast<double>(decoded.audio.frameCount()) / decoded.audio.sampleRate;
    SpectrumTable table =
        analyseSpectrum(decoded.audio, spectrumFrameCount(static_cast<float>(length)), static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(table.bandValues.data());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    musicSeconds = length;
  }
  reportShare(state, seconds, musicSeconds);
}

void BM_DecodeAndAnalyse(benchmark::State& state) {
  const std::string& mp3 = soundtrackMp3();
  if (mp3.empty()) {
    state.SkipWithError("lame is not available to encode the soundtrack");
    return;
  }
  decodeAndAnalyse(state, mp3);
}
BENCHMARK(BM_DecodeAndAnalyse)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeAndAnalyseProductionSoundtrack(benchmark::State& state) {
  const std::string mp3 = productionMp3();
  if (mp3.empty()) {
    state.SkipWithError("the production's soundtrack was not found; run from the repository root");
    return;
  }
  decodeAndAnalyse(state, mp3);
}
BENCHMARK(BM_DecodeAndAnalyseProductionSoundtrack)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeOnly(benchmark::State& state) {
  const std::string& mp3 = soundtrackMp3();
  if (mp3.empty()) {
    state.SkipWithError("lame is not available to encode the soundtrack");
    return;
  }
  double seconds = 0.0;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    DecodeResult decoded = decodeMp3File(mp3);
    benchmark::DoNotOptimize(decoded.audio.samples.data());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  }
  reportShare(state, seconds, kMusicSeconds);
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AnalyseOnly(benchmark::State& state) {
  static const DecodedAudio audio = generateSoundtrack();
  double seconds = 0.0;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    SpectrumTable table = analyseSpectrum(audio, spectrumFrameCount(static_cast<float>(kMusicSeconds)),
                                          static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(table.bandValues.data());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  }
  reportShare(state, seconds, kMusicSeconds);
}
BENCHMARK(BM_AnalyseOnly)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace

BENCHMARK_MAIN();
