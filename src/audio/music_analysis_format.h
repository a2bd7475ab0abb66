// The music analysis cache file: which music it belongs to (a hash of the
// music file's bytes and the analysis version) and the analysis itself.
// Bytes in, plain data out (and back); no files.
//
//   offset  size
//   0       4    analysis version, int32 (kMusicAnalysisVersion)
//   4       8    FNV-1a 64 of the music file's bytes
//   12      4    pulse, int32 (0 or 1)
//   16      8    tempo in beats per minute, double
//   24      4    beat count B, int32
//   28      4    onset count O, int32
//   32      12B  per beat: time in seconds (double), bar flag (int32, 0 or 1)
//   32+12B  8O   per onset: time in seconds (double)
//
// Little-endian; times ascend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/music_analysis.h"

// Raised whenever the analysis changes what it finds, so older caches are
// rebuilt rather than trusted.
constexpr int32_t kMusicAnalysisVersion = 1;
constexpr size_t kMusicAnalysisHeaderBytes = 32;

struct MusicAnalysisFile {
  int32_t version = 0;
  uint64_t musicHash = 0;
  MusicAnalysis analysis;
};

struct MusicAnalysisParse {
  MusicAnalysisFile file;
  std::string problem;  // why the bytes were refused; empty when accepted
};

MusicAnalysisParse parseMusicAnalysis(const uint8_t* bytes, size_t size);

std::vector<uint8_t> writeMusicAnalysis(const MusicAnalysisFile& file);
