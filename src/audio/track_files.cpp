#include "audio/track_files.h"

#include <filesystem>

#include "audio/sync_track.h"
#include "resources/file_utils.h"

bool writeTrackFiles(const std::vector<TextTrack>& tracks, const std::string& osFolder,
                     std::vector<std::string>& written, TrackWriteFailure& failure) {
  namespace fs = std::filesystem;
  std::error_code code;
  fs::create_directories(osFolder, code);
  if (code) {
    failure = {osFolder, "cannot create the folder: " + code.message()};
    return false;
  }
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
