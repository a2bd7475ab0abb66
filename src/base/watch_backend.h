// The boundary between the file watcher and what tells it that something in
// a watched folder may have changed: inotify events, or stat polling where
// inotify is unavailable. A backend only says "look here"; the watcher keeps
// the files, folders and hashes and decides what changed. Folders are named
// by the watcher's index for them.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

using WatchClock = std::chrono::steady_clock;
using FolderId = size_t;

// What a backend reports to the watcher while it collects.
class WatchSink {
 public:
  // The content or existence of this name in the folder may have changed.
  // cameOrWent: it was created, deleted or moved in or out (never set for a
  // subfolder), so it may be a new file of a folder that reports them.
  virtual void nameChanged(FolderId folder, std::string_view name, bool cameOrWent, WatchClock::time_point now) = 0;
  // Any name in the folder may have come or gone, or the folder itself may
  // have been replaced.
  virtual void folderChanged(FolderId folder, WatchClock::time_point now) = 0;
  // The folder was deleted or moved away.
  virtual void folderGone(FolderId folder, WatchClock::time_point now) = 0;
  // Events were lost: anything may have changed.
  virtual void everythingChanged(WatchClock::time_point now) = 0;

 protected:
  ~WatchSink() = default;
};

class WatchBackend {
 public:
  virtual ~WatchBackend() = default;

  virtual bool usesInotify() const = 0;

  // Starts watching a folder; false, with the reason, when refused.
  virtual bool addFolder(FolderId folder, const std::string& path, std::string& reason) = 0;
  // Stops watching a folder that went away; harmless when it is not watched.
  virtual void removeFolder(FolderId folder) = 0;

  // The files that matter, by the path the watcher reads them at and the
  // name it reports them under within their folder.
  virtual void addFile(FolderId folder, std::string_view name, const std::string& path) = 0;
  virtual void removeFile(const std::string& path) = 0;

  // Non-blocking: reports to the sink what may have changed since the last
  // call. With nothing to report it makes at most one system call and
  // allocates nothing. While it reports, the sink may remove folders, never
  // add them.
  virtual void collect(WatchClock::time_point now, WatchSink& sink) = 0;

  // Asked when a file has been quiet for the settle time, just before it is
  // read: true when it is still being written and should wait longer.
  virtual bool stillChanging(const std::string& path) = 0;
};
