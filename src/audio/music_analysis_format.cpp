#include "audio/music_analysis_format.h"

#include <cmath>

#include "resources/little_endian.h"

namespace {
constexpr size_t kBeatBytes = 12;
constexpr size_t kOnsetBytes = 8;

MusicAnalysisParse refused(const std::string& problem) {
  MusicAnalysisParse parse;
  parse.problem = problem;
  return parse;
}

// A time the player can place: finite, not negative, after the one before.
bool placeable(double time, double before) { return std::isfinite(time) && time >= 0.0 && time > before; }
}  // namespace

MusicAnalysisParse parseMusicAnalysis(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size < kMusicAnalysisHeaderBytes) {
    return refused("shorter than its header (" + std::to_string(size) + " bytes)");
  }
  MusicAnalysisParse parse;
  MusicAnalysisFile& file = parse.file;
  MusicAnalysis& analysis = file.analysis;
  file.version = readInt32LE(bytes);
  file.musicHash = readUint64LE(bytes + 4);
  const int32_t pulse = readInt32LE(bytes + 12);
  analysis.tempo = readDoubleLE(bytes + 16);
  const int32_t beatCount = readInt32LE(bytes + 24);
  const int32_t onsetCount = readInt32LE(bytes + 28);
  if (pulse != 0 && pulse != 1) return refused("pulse flag " + std::to_string(pulse) + " is not 0 or 1");
  analysis.pulse = pulse == 1;
  if (!std::isfinite(analysis.tempo) || analysis.tempo < 0.0) return refused("the tempo is not a tempo");
  if (beatCount < 0 || onsetCount < 0) return refused("negative count");
  // Both counts are below 2^31, so this cannot overflow 64 bits.
  const uint64_t expected = kMusicAnalysisHeaderBytes + uint64_t(beatCount) * kBeatBytes + uint64_t(onsetCount) * kOnsetBytes;
  if (uint64_t(size) != expected) {
    return refused(std::to_string(size) + " bytes where the header announces " + std::to_string(expected));
  }
  const uint8_t* p = bytes + kMusicAnalysisHeaderBytes;
  double before = -1.0;
  analysis.beats.resize(static_cast<size_t>(beatCount));
  for (TrackedBeat& beat : analysis.beats) {
    beat.time = readDoubleLE(p);
    const int32_t bar = readInt32LE(p + 8);
    if (!placeable(beat.time, before)) return refused("beat times are not ascending seconds");
    if (bar != 0 && bar != 1) return refused("a beat's bar flag is not 0 or 1");
    beat.bar = bar == 1;
    before = beat.time;
    p += kBeatBytes;
  }
  before = -1.0;
  analysis.onsets.resize(static_cast<size_t>(onsetCount));
  for (double& onset : analysis.onsets) {
    onset = readDoubleLE(p);
    if (!placeable(onset, before)) return refused("onset times are not ascending seconds");
    before = onset;
    p += kOnsetBytes;
  }
  return parse;
}

std::vector<uint8_t> writeMusicAnalysis(const MusicAnalysisFile& file) {
  const MusicAnalysis& analysis = file.analysis;
  std::vector<uint8_t> out;
  out.reserve(kMusicAnalysisHeaderBytes + analysis.beats.size() * kBeatBytes + analysis.onsets.size() * kOnsetBytes);
  appendInt32LE(out, file.version);
  appendUint64LE(out, file.musicHash);
  appendInt32LE(out, analysis.pulse ? 1 : 0);
  appendDoubleLE(out, analysis.tempo);
  appendInt32LE(out, static_cast<int32_t>(analysis.beats.size()));
  appendInt32LE(out, static_cast<int32_t>(analysis.onsets.size()));
  for (const TrackedBeat& beat : analysis.beats) {
    appendDoubleLE(out, beat.time);
    appendInt32LE(out, beat.bar ? 1 : 0);
  }
  for (double onset : analysis.onsets) appendDoubleLE(out, onset);
  return out;
}
