// What one edit request does to the sync text, on the thread that owns the
// text: refused when it was made on another version of the tracks or names
// a track the show does not have, else the document's edits, all or none.
// Pure: the caller writes the new text and bumps the version.
#pragma once

#include <cstdint>
#include <string>

#include "editor/edit_request.h"

struct EditStep {
  int status = 200;     // 200, 400 (a bad edit) or 409 (another version)
  std::string body;     // the refusal's JSON; empty on 200
  std::string newText;  // on 200
};

// Tracks the edits may name: those of the text and the show's numbered
// tracks 0 to 63.
EditStep applyEditRequest(const EditRequest& request, const std::string& text, int64_t version);
