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

// What bringing a folder in line with the text changed, by track name.
struct TrackFolderChanges {
  std::vector<std::string> written;  // missing or holding other keys
  std::vector<std::string> removed;  // a track the text no longer has
  std::vector<TrackWriteFailure> failures;  // every file that could not be written or removed
  bool any() const { return !written.empty() || !removed.empty(); }
};

// Makes the folder's track files exactly what the tracks compile to: a file
// whose bytes differ (or that is missing) is written, one that is right is
// left untouched, and a "_NAME.track" file of a track the text does not have
// is removed, so the files play what the text says. Goes on past a failure,
// so one file that cannot be written keeps no other track stale; false with
// the first one in `failure` and all of them in `changes.failures`.
bool syncTrackFolder(const std::vector<TextTrack>& tracks, const std::string& osFolder, TrackFolderChanges& changes,
                     TrackWriteFailure& failure);

// "3, 7 and 12" style list of track names for log lines.
std::string listTrackNames(const std::vector<std::string>& names);
