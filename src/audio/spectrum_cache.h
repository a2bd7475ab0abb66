// The music's spectrum table (128 bands, 30 frames per second): analysed
// once from the decoded soundtrack and kept in a ".cache" file next to it,
// loaded on later runs, with per-band statistics. Owns the table; the
// analysis itself lives in spectrum_analysis, the file layout in
// spectrum_cache_format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/spectrum_view.h"

class AudioStream;

struct BandStatistics {
  float mean = 0.0f;
  float maximum = 0.0f;
  float minimum = 0.0f;
  float variance = 0.0f;
};


class SpectrumCache {
 public:
  // Music path up to its first "." plus ".cache".
  static std::string cacheFileName(const std::string& musicPath);

  // Sets length from the stream, then loads the cache file, or builds it when
  // it is missing, not trustworthy or not the table of this music (see
  // fitsMusic); then computes the statistics.
  void open(AudioStream& stream, const std::string& musicPath);
  // True when the loaded table has kSpectrumBandCount bands and
  // spectrumFrameCount(length) frames; otherwise logs why it does not fit.
  bool fitsMusic() const;
  // Analyses the decoded music and writes the file. False when there was no
  // music to analyse or the file could not be written (the table stays).
  bool build(const std::string& fileName, AudioStream& stream);
  // False, with the reason logged and the table left empty, when the file is
  // missing, unreadable or inconsistent with its header.
  bool load(const std::string& fileName);
  void computeStatistics();

  SpectrumView view() const;
  // Band value with the frame clamped into the table; 0.0 for an empty table
  // or a band out of range.
  float value(int frame, int band) const;

  int32_t frameCount = 0;
  int32_t bandCount = 0;
  int32_t framesPerSecond = 0;
  int32_t fftFlags = 0;
  std::vector<float> bandValues;
  float length = 0.0f;
  std::vector<BandStatistics> statistics;

  // Threads the analysis may use.
  int analysisThreads = 2;
};
