// Rewriting an author's file without losing what anyone else saved in it.
// The caller merges its change into what the file holds; just before the new
// bytes replace the file, the file is compared with what was merged into,
// and when it changed (a text editor saved meanwhile) the change is merged
// again into what it holds now. The replacement swaps the files atomically
// and checks what it swapped out, so a save that lands in the last moment is
// merged too. A symbolic link keeps leading to its target, which gets the
// new bytes; the file keeps its mode and, where the system allows, its
// owner; a file with other hard links is rewritten in place so they all see
// it. Knows nothing of what the bytes mean.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Called with the file's current bytes: sets `out` to what the file should
// hold and returns true, or returns false to refuse (nothing is written; the
// caller keeps its reason).
using MergeIntoFile = std::function<bool(const std::vector<uint8_t>& current, std::vector<uint8_t>& out)>;

// Points where a test saves the file the way a text editor would, to check
// that such a save survives. Empty in the program.
struct GuardedWriteHooks {
  std::function<void()> afterMerge;    // after a merge, before the final check
  std::function<void()> beforeSwap;    // after the final check, before the swap
};

struct GuardedWriteResult {
  enum class Outcome { kWritten, kUnchanged, kRefused, kFailed };
  Outcome outcome = Outcome::kFailed;
  std::string error;             // kFailed: the file and the system's reason
  std::vector<uint8_t> written;  // kWritten, kUnchanged: what the file holds now
  int merges = 0;                // 1 when nothing raced the write
};

// Merges into the file named by an operating-system path and writes the
// result as described above. The file must exist.
GuardedWriteResult rewriteFileGuarded(const std::string& osFileName, const MergeIntoFile& merge,
                                      const GuardedWriteHooks& hooks = {});
