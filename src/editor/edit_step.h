// What one edit request does to the sync text, on the thread that owns the
// text. Conflicts are decided per key: each edit names the key the page saw
// at its row, and the step applies when every such key is still what the
// page saw, whatever else changed in the text meanwhile; otherwise it is
// refused naming the track and row. A step applies all or none. Pure: text
// in, text out; the caller writes it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "editor/edit_request.h"

// Track blocks the editor appended to the text, by track: the exact text it
// added (a line ending, a blank line, the track line). When the block's last
// key is deleted (an undo of the lane's first key, say) that text is taken
// out again, so the file is byte for byte what it was.
using AppendedTracks = std::map<std::string, std::string>;

struct EditStep {
  int status = 200;         // 200, 400 (a bad edit) or 409 (changed meanwhile, or a text that does not parse)
  std::string body;         // the refusal's JSON; empty on 200
  std::string newText;      // on 200
  AppendedTracks appended;  // on 200: the blocks after the step
};

// Tracks the edits may name: those of the text and the show's numbered
// tracks 0 to 63. A shift moves the keys of every track (refused with 409,
// naming them, when a removal would delete keys). `version` goes into
// refusals, for the page.
EditStep applyEditRequest(const EditRequest& request, const std::string& text, int64_t version,
                          const AppendedTracks& appended);

// "track 7, row 224 changed in sync.txt meanwhile: 150 → 160"
std::string keyChangedMessage(const std::string& track, int32_t row, const SeenKey& seen, const SeenKey& now);
