// Beats and onsets of the groove songs (steady, broken beat, drum and bass,
// swung, a tempo change): our analysis beside aubio's default tracker and
// onset detector, run here on the same samples. For each song it prints the
// beat F-measure (within 70 ms, double or half tempo allowed) and the onset
// F-measure (within 50 ms) of both, then times both as a share of the
// song's length. The goal is F >= 0.9 for beats and onsets on every song,
// and an analysis under 2% of the song's length. The production's own
// soundtrack is timed too when it is found (run from the repository root).
#include <aubio/aubio.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/mp3_decoder.h"
#include "audio/music_analysis.h"
#include "detection_score.h"
#include "dsp.h"
#include "groove_songs.h"
#include "render.h"

namespace {
using soundtrack::GrooveSong;

// aubio's command-line defaults: aubiotrack 1024/512, aubioonset 512/256.
constexpr uint_t kAubioTempoWindow = 1024;
constexpr uint_t kAubioTempoHop = 512;
constexpr uint_t kAubioOnsetWindow = 512;
constexpr uint_t kAubioOnsetHop = 256;

struct Detected {
  std::vector<double> beats;
  std::vector<double> onsets;
};

std::vector<float> monoOf(const DecodedAudio& audio) {
  std::vector<float> mono(static_cast<size_t>(audio.frameCount()));
  for (size_t i = 0; i < mono.size(); ++i) {
    mono[i] = (float(audio.samples[2 * i]) + float(audio.samples[2 * i + 1])) / 65536.0f;
  }
  return mono;
}

// aubio's "default" methods, fed hop by hop as its tools do.
Detected aubioDetects(const DecodedAudio& audio) {
  Detected found;
  const std::vector<float> mono = monoOf(audio);
  const uint_t rate = static_cast<uint_t>(audio.sampleRate);
  aubio_tempo_t* tempo = new_aubio_tempo("default", kAubioTempoWindow, kAubioTempoHop, rate);
  aubio_onset_t* onset = new_aubio_onset("default", kAubioOnsetWindow, kAubioOnsetHop, rate);
  for (const auto& [hop, isTempo] : {std::pair<uint_t, bool>{kAubioTempoHop, true}, {kAubioOnsetHop, false}}) {
    fvec_t* in = new_fvec(hop);
    fvec_t* out = new_fvec(1);
    for (size_t at = 0; at < mono.size(); at += hop) {
      for (uint_t i = 0; i < hop; ++i) in->data[i] = at + i < mono.size() ? mono[at + i] : 0.0f;
      if (isTempo) {
        aubio_tempo_do(tempo, in, out);
        if (out->data[0] != 0.0f) found.beats.push_back(aubio_tempo_get_last_s(tempo));
      } else {
        aubio_onset_do(onset, in, out);
        if (out->data[0] != 0.0f) found.onsets.push_back(aubio_onset_get_last_s(onset));
      }
    }
    del_fvec(in);
    del_fvec(out);
  }
  del_aubio_tempo(tempo);
  del_aubio_onset(onset);
  return found;
}

Detected oursDetects(const DecodedAudio& audio) {
  const MusicAnalysis analysis = analyseMusic(audio);
  Detected found;
  for (const TrackedBeat& beat : analysis.beats) found.beats.push_back(beat.time);
  found.onsets = analysis.onsets;
  return found;
}

struct Song {
  std::string name;
  DecodedAudio audio;
  GrooveSong truth;
  bool hasTruth = true;
  double seconds() const { return static_cast<double>(audio.frameCount()) / audio.sampleRate; }
};

std::string benchmarkName(std::string name) {
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

template <typename Detect>
void timeDetection(benchmark::State& state, const Song* song, Detect detect) {
  double seconds = 0.0;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    Detected found = detect(song->audio);
    benchmark::DoNotOptimize(found.beats.data());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  }
  state.counters["percent_of_song"] = 100.0 * seconds / static_cast<double>(state.iterations()) / song->seconds();
  if (!song->hasTruth) return;
  const Detected found = detect(song->audio);
  state.counters["beat_F"] = soundtrack::beatFMeasure(found.beats, song->truth.beats);
  state.counters["onset_F"] = soundtrack::fMeasure(found.onsets, song->truth.onsets, soundtrack::kOnsetToleranceSeconds);
}
}  // namespace

int main(int argc, char** argv) {
  static std::vector<Song> songs;
  for (const soundtrack::GrooveSongPlan& plan : soundtrack::measuredGrooveSongs()) {
    Song song;
    song.name = plan.name;
    song.truth = soundtrack::composeGrooveSong(plan);
    song.audio.sampleRate = static_cast<int>(soundtrack::kSampleRate);
    song.audio.samples = soundtrack::renderScore(song.truth.score);
    songs.push_back(std::move(song));
  }
  DecodeResult production = decodeMp3File("demosrc/norde/data/brivel-669.mp3");
  if (production.error.empty()) songs.push_back({"production soundtrack", std::move(production.audio), {}, false});

  std::printf("%-30s %7s | %-17s | %-17s\n", "", "", "ours", "aubio default");
  std::printf("%-30s %7s | %8s %8s | %8s %8s\n", "song", "seconds", "beat F", "onset F", "beat F", "onset F");
  for (const Song& song : songs) {
    if (!song.hasTruth) continue;
    const Detected ours = oursDetects(song.audio);
    const Detected aubio = aubioDetects(song.audio);
    std::printf("%-30s %7.1f | %8.3f %8.3f | %8.3f %8.3f\n", song.name.c_str(), song.seconds(),
                soundtrack::beatFMeasure(ours.beats, song.truth.beats),
                soundtrack::fMeasure(ours.onsets, song.truth.onsets, soundtrack::kOnsetToleranceSeconds),
                soundtrack::beatFMeasure(aubio.beats, song.truth.beats),
                soundtrack::fMeasure(aubio.onsets, song.truth.onsets, soundtrack::kOnsetToleranceSeconds));
  }
  std::fflush(stdout);

  for (const Song& song : songs) {
    benchmark::RegisterBenchmark(("ours/" + benchmarkName(song.name)).c_str(),
                                 [&song](benchmark::State& state) { timeDetection(state, &song, oursDetects); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("aubio/" + benchmarkName(song.name)).c_str(),
                                 [&song](benchmark::State& state) { timeDetection(state, &song, aubioDetects); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
