#include "audio/track_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

#include "audio/sync_track.h"
#include "resources/file_utils.h"

namespace fs = std::filesystem;

namespace {
bool makeFolder(const std::string& osFolder, TrackWriteFailure& failure) {
  std::error_code code;
  fs::create_directories(osFolder, code);
  if (code) {
    failure = {osFolder, "cannot create the folder: " + code.message()};
    return false;
  }
  return true;
}
}  // namespace

bool writeTrackFiles(const std::vector<TextTrack>& tracks, const std::string& osFolder,
                     std::vector<std::string>& written, TrackWriteFailure& failure) {
  if (!makeFolder(osFolder, failure)) return false;
  for (const TextTrack& track : tracks) {
    const std::string out = (fs::path(osFolder) / trackFileName(track.name)).string();
    std::string error;
    if (!writeFileAtomically(out, writeTrackBytes(track.keys), error)) {
      failure = {out, error};
      return false;
    }
    written.push_back(out + ": " + std::to_string(track.keys.size()) + " keys");
  }
  return true;
}

bool syncTrackFolder(const std::vector<TextTrack>& tracks, const std::string& osFolder, TrackFolderChanges& changes,
                     TrackWriteFailure& failure) {
  changes = {};
  if (!makeFolder(osFolder, failure)) return false;
  bool ok = true;
  const auto fail = [&](const std::string& file, const std::string& reason) {
    if (ok) failure = {file, reason};
    changes.failures.push_back({file, reason});
    ok = false;
  };
  std::set<std::string> named;
  for (const TextTrack& track : tracks) {
    const std::string file = trackFileName(track.name);
    named.insert(file);
    const std::string out = (fs::path(osFolder) / file).string();
    const std::vector<uint8_t> bytes = writeTrackBytes(track.keys);
    std::vector<uint8_t> present;
    if (readFileBytes(out, present) && present == bytes) continue;
    std::string error;
    if (!writeFileAtomically(out, bytes, error)) {
      fail(out, error);
      continue;
    }
    changes.written.push_back(track.name);
  }
  std::error_code code;
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(osFolder, code), end; !code && it != end; it.increment(code)) {
    const std::string name = it->path().filename().string();
    const bool trackFile = name.size() > 7 && name[0] == '_' && name.compare(name.size() - 6, 6, ".track") == 0;
    if (trackFile && named.count(name) == 0 && it->is_regular_file(code)) stale.push_back(it->path());
  }
  std::sort(stale.begin(), stale.end());
  for (const fs::path& path : stale) {
    if (!fs::remove(path, code) && code) {
      fail(path.string(), "cannot remove it: " + code.message());
      continue;
    }
    changes.removed.push_back(trackNameOfFile(path.filename().string()));
  }
  return ok;
}

std::string listTrackNames(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}
