// The file watcher's event source where inotify is available: one watch per
// folder, for the events that change a name's content or existence and for
// the folder's own deletion or move. Owns the inotify descriptor and its
// watches; files need nothing of their own, their folder's events name them.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/watch_backend.h"

class InotifyWatchBackend final : public WatchBackend {
 public:
  // Null, with the reason, when inotify cannot be initialised.
  static std::unique_ptr<InotifyWatchBackend> create(std::string& reason);
  ~InotifyWatchBackend() override;
  InotifyWatchBackend(const InotifyWatchBackend&) = delete;
  InotifyWatchBackend& operator=(const InotifyWatchBackend&) = delete;

  bool usesInotify() const override { return true; }
  bool addFolder(FolderId folder, const std::string& path, std::string& reason) override;
  void removeFolder(FolderId folder) override;
  void addFile(FolderId folder, std::string_view name, const std::string& path) override {}
  void removeFile(const std::string& path) override {}
  // Drains the queued events; with none queued, one read().
  void collect(WatchClock::time_point now, WatchSink& sink) override;
  // A file is reported after its writer closed it, so quiet is done.
  bool stillChanging(const std::string& path) override { return false; }

 private:
  static constexpr int kNoWatch = -1;

  explicit InotifyWatchBackend(int descriptor);

  int descriptor_;
  // Watch descriptor by folder. Two folders may share one when two watched
  // paths lead to one folder.
  std::vector<int> watches_;
  std::vector<char> eventBuffer_;
};
