// Writing parsed sync text out as the player's track files
// (FOLDER/_<name>.track), each replaced atomically so a running player or a
// failed write never sees half a track. Shared by synctool and live reload.
#pragma once

#include <string>
#include <vector>

#include "audio/sync_text.h"

// The file that could not be written (an operating-system path; the folder
// when it could not be made) and the system's reason.
struct TrackWriteFailure {
  std::string file;
  std::string reason;
};

// Writes every track; stops at the first failure (false, `failure` set).
// `written` receives one "PATH: N keys" line per track written.
bool writeTrackFiles(const std::vector<TextTrack>& tracks, const std::string& osFolder,
                     std::vector<std::string>& written, TrackWriteFailure& failure);
