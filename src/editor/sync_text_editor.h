// The page's edit requests applied to sync.txt on disk. Each request is
// merged per key into what the file holds at the moment it is written, and
// written through the guarded rewrite: a save a text editor makes meanwhile
// is merged with, never overwritten, and the file keeps its links, mode and
// owner. Remembers the track blocks it appended, so that undoing a lane's
// first key gives the file back byte for byte, and the text before its last
// shift of time, so that the opposite shift gives back exactly that text
// while the file is as the shift left it. No show, no HTTP.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "editor/edit_step.h"
#include "resources/guarded_write.h"

class SyncTextEditor {
 public:
  // `osFileName` is the sync text; the hooks let a test save it between the
  // editor's read and its write.
  explicit SyncTextEditor(std::string osFileName, GuardedWriteHooks hooks = {});

  struct Result {
    int status = 200;      // as EditStep; 500 when the file could not be written
    std::string body;      // the refusal's JSON; empty on 200
    std::string text;      // on 200: what the file holds now
    bool written = false;  // on 200: the file changed
    int merges = 0;        // how often the request was merged (more than 1: a save raced it)
  };

  // `version` goes into refusals, for the page.
  Result apply(const EditRequest& request, int64_t version);

 private:
  // The last shift applied, and the file's text before and after it.
  struct ShiftMemory {
    RowShift shift;
    std::string before;
    std::string after;
  };

  std::string file_;
  GuardedWriteHooks hooks_;
  AppendedTracks appended_;
  std::optional<ShiftMemory> lastShift_;
};
