// The file watcher's fallback where inotify is unavailable: at each polling
// moment it stats every watched file and reports those whose stat moved, and
// asks the watcher to look at every watched folder. Between polling moments
// it makes no system call at all. Owns the files' last stats, nothing else.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/watch_backend.h"

class PollingWatchBackend final : public WatchBackend {
 public:
  explicit PollingWatchBackend(std::chrono::milliseconds interval) : interval_(interval) {}

  bool usesInotify() const override { return false; }
  bool addFolder(FolderId folder, const std::string& path, std::string& reason) override;
  void removeFolder(FolderId folder) override;
  void addFile(FolderId folder, std::string_view name, const std::string& path) override;
  void removeFile(const std::string& path) override;
  void collect(WatchClock::time_point now, WatchSink& sink) override;
  // Polling has no event to say a writer is done: a file whose stat moved
  // since it was last looked at is still being written.
  bool stillChanging(const std::string& path) override;

 private:
  // What stat says about a file (through a symbolic link); any difference is
  // a reason to hash again.
  struct Stamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;
    int64_t changedSeconds = 0;
    int64_t changedNanoseconds = 0;
    bool operator==(const Stamp& other) const;
  };

  struct File {
    FolderId folder = 0;
    std::string name;
    std::string path;
    Stamp stamp;
  };

  static Stamp stampOf(const std::string& path);

  std::chrono::milliseconds interval_;
  WatchClock::time_point nextScan_ = WatchClock::time_point::min();
  std::vector<File> files_;
  // By folder; a folder that went away stays in place, unwatched, so that
  // removing one while collecting moves nothing.
  std::vector<bool> watchedFolders_;
};
