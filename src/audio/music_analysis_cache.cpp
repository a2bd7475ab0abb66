#include "audio/music_analysis_cache.h"

#include <vector>

#include "audio/music_analysis_format.h"
#include "audio/wav_decoder.h"
#include "base/fnv1a.h"
#include "resources/file_utils.h"

namespace {
constexpr const char* kCacheSuffix = ".analysis.cache";

bool cancelled(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(); }
}  // namespace

std::string musicAnalysisCacheName(const std::string& musicPath) {
  const size_t nameStart = musicPath.find_last_of("\\/") == std::string::npos ? 0 : musicPath.find_last_of("\\/") + 1;
  const size_t dot = musicPath.find_last_of('.');
  const size_t end = dot == std::string::npos || dot < nameStart || dot == nameStart ? musicPath.size() : dot;
  return musicPath.substr(0, end) + kCacheSuffix;
}

MusicAnalysisOutcome loadOrAnalyseMusic(const std::string& musicPath, const std::atomic<bool>* cancel) {
  MusicAnalysisOutcome outcome;
  outcome.cacheName = musicAnalysisCacheName(musicPath);
  std::vector<uint8_t> music;
  if (!readFileBytes(osPath(musicPath), music)) {
    outcome.error = "cannot read " + musicPath + ": " + readFailureReason(osPath(musicPath));
    return outcome;
  }
  const uint64_t hash = fnv1aUpdate(kFnv1aStart, music.data(), music.size());

  std::vector<uint8_t> cached;
  if (readFileBytes(osPath(outcome.cacheName), cached)) {
    MusicAnalysisParse parsed = parseMusicAnalysis(cached.data(), cached.size());
    if (!parsed.problem.empty()) {
      outcome.cacheNote = outcome.cacheName + " is not a usable cache (" + parsed.problem + "); analysed again";
    } else if (parsed.file.version != kMusicAnalysisVersion) {
      outcome.cacheNote = outcome.cacheName + " is from another version of the analysis; analysed again";
    } else if (parsed.file.musicHash != hash) {
      outcome.cacheNote = outcome.cacheName + " is of other music; analysed again";
    } else {
      outcome.ok = true;
      outcome.fromCache = true;
      outcome.analysis = std::move(parsed.file.analysis);
      return outcome;
    }
  }
  if (cancelled(cancel)) {
    outcome.error = "stopped";
    return outcome;
  }

  DecodeResult decoded = looksLikeWav(music.data(), music.size()) ? decodeWav(music.data(), music.size())
                                                                  : decodeMp3(music.data(), music.size());
  music.clear();
  music.shrink_to_fit();
  if (!decoded.error.empty()) {
    outcome.error = musicPath + " is not music this program reads (an MP3 or a 16-bit WAV): " + decoded.error;
    return outcome;
  }
  if (cancelled(cancel)) {
    outcome.error = "stopped";
    return outcome;
  }
  MusicAnalysisFile file;
  file.version = kMusicAnalysisVersion;
  file.musicHash = hash;
  file.analysis = analyseMusic(decoded.audio);
  std::string writeError;
  if (!writeFileAtomically(osPath(outcome.cacheName), writeMusicAnalysis(file), writeError)) {
    if (!outcome.cacheNote.empty()) outcome.cacheNote += "; ";
    outcome.cacheNote += "could not write " + outcome.cacheName + " (" + writeError + "); the analysis is kept for this run only";
  }
  outcome.ok = true;
  outcome.analysis = std::move(file.analysis);
  return outcome;
}
