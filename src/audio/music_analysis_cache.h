// The music's analysis computed once per music file and kept beside it, the
// way the spectrum cache is: a small file keyed by a hash of the music
// file's bytes (and the analysis version), rebuilt when the music changes.
// Reading the music, checking the cache, decoding, analysing and writing
// the cache; the analysis is music_analysis's, the layout
// music_analysis_format's. No logging: the caller reports what it says.
#pragma once

#include <atomic>
#include <string>

#include "audio/music_analysis.h"

// The music's program path with the extension of its file name replaced:
// demosrc\norde\data\brivel-669.mp3 gives demosrc\norde\data\brivel-669.analysis.cache.
std::string musicAnalysisCacheName(const std::string& musicPath);

struct MusicAnalysisOutcome {
  bool ok = false;         // the analysis is there (from the cache or made now)
  std::string error;       // why not: the music can't be read or is not music
  MusicAnalysis analysis;
  bool fromCache = false;
  // Why the cache beside the music was not used, or could not be written
  // (the analysis is good all the same); empty when there is nothing to say.
  std::string cacheNote;
  std::string cacheName;
};

// The music is an MP3, or a 16-bit PCM WAV. `cancel`, when given and set,
// stops the work between its steps (ok stays false, error says so).
MusicAnalysisOutcome loadOrAnalyseMusic(const std::string& musicPath, const std::atomic<bool>* cancel = nullptr);
