// The readable text form of sync tracks that synctool compiles into track
// files and prints back. Pure text in, tracks out (and back); no files.
//
//   # comment to the end of the line
//   track 11
//   0      0.0   linear
//   2.5s   1.0   smooth     (seconds; 16 rows per second)
//   64     0.25  step
//
// Kinds: step, linear, smooth, ramp, or the digits 0 to 3. Rows ascend
// strictly within a track.
#pragma once

#include <string>
#include <vector>

#include "audio/sync_track.h"

struct TextTrack {
  std::string name;
  std::vector<SyncKey> keys;
};

struct SyncTextResult {
  std::vector<TextTrack> tracks;
  std::string error;  // "line N: reason"; empty on success
  int errorLine = 0;  // N and reason of the error, for callers that place it
  std::string errorReason;
};

SyncTextResult parseSyncText(const std::string& text);

// One "track NAME" line, then one "ROW VALUE KIND" line per key. Values are
// printed with nine significant digits, so parsing the text gives back the
// same floats. A kind outside 0..3 is printed as its number, which the parser
// refuses: such a key can't be written in the text form.
std::string printSyncTrack(const std::string& name, const std::vector<SyncKey>& keys);

// A row in the text's notation: "1024", "-16", "64s", "+4s" (seconds must
// fall on a whole row). False with the reason otherwise.
bool parseSyncRow(const std::string& text, int32_t& row, std::string& reason);

// The key kind's name, or nullptr for kinds outside 0..3.
const char* syncKindName(int kind);
