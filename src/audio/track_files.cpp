#include "audio/track_files.h"

#include <filesystem>

#include "resources/file_utils.h"

bool writeTrackFiles(const std::vector<TextTrack>& tracks, const std::string& osFolder,
                     std::vector<std::string>& written, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code code;
  fs::create_directories(osFolder, code);
  if (code) {
    error = "cannot create " + osFolder + ": " + code.message();
    return false;
  }
  for (const TextTrack& track : tracks) {
    const std::string out = (fs::path(osFolder) / ("_" + track.name + ".track")).string();
    if (!writeFileAtomically(out, writeTrackBytes(track.keys), error)) return false;
    written.push_back(out + ": " + std::to_string(track.keys.size()) + " keys");
  }
  return true;
}
