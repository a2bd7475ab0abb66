// The page's edit requests applied to sync.txt on disk. Each request is
// merged per key into what the file holds at the moment it is written, and
// written through the guarded rewrite: a save a text editor makes meanwhile
// is merged with, never overwritten, and the file keeps its links, mode and
// owner. Remembers the track blocks it appended, so that undoing a lane's
// first key gives the file back byte for byte, and the text around its
// recent shifts of time, so that the opposite of one gives back exactly the
// text before it while the file is as that shift left it (undo and redo of
// shifts, however the rows had to be written meanwhile). No show, no HTTP.
#pragma once

#include <cstdint>
#include <deque>
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
  // A shift applied, and the file's text before and after it.
  struct ShiftMemory {
    RowShift shift;
    std::string before;
    std::string after;
  };
  // How many recent shifts are remembered.
  static constexpr size_t kRememberedShifts = 32;

  std::string file_;
  GuardedWriteHooks hooks_;
  AppendedTracks appended_;
  std::deque<ShiftMemory> shifts_;  // the newest last
};
