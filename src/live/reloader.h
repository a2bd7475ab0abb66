// Reload on save for the live authoring mode: watches every file the show
// loaded (shaders and the files they include, images, meshes, the sync text
// or its track files, the camera keys, the section table, the soundtrack)
// and the data folder for new files, and applies each save on the main
// thread. A failed reload keeps the last good resource and remembers its
// error until a later save of that file succeeds.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "base/file_watcher.h"
#include "demo/demo.h"
#include "live/transport.h"

class Reloader {
 public:
  using Clock = std::chrono::steady_clock;

  Reloader(Demo& demo, Transport& transport);

  // Starts watching everything the demo holds now.
  void watchAll();
  // Applies what was saved since the last call. Cheap when nothing changed.
  void update();
  // Reloads one file (program path) as if it had been saved at `event`.
  void reload(const std::string& programPath, Clock::time_point event = Clock::now());
  // Call once the frame drawn after update() is on screen: logs
  // "reloaded: PATH (NN ms)" for what that frame showed for the first time.
  void framePresented();

  // The most recent reload error still standing, "PATH:LINE: MESSAGE"; empty
  // when every failed file has been fixed since.
  const std::string& error() const;
  int reloadCount() const { return reloadCount_; }
  bool usingInotify() const { return watcher_.usingInotify(); }

 private:
  void watchFile(const std::string& programPath);
  void reloadShaders(const std::string& path, Clock::time_point event);
  void reloadDataObject(const std::string& path, Clock::time_point event);
  void reloadSyncText(const std::string& path);
  void reloadTrackFile(const std::string& path);
  void reloadCameraKeys(const std::string& path);
  void reloadSections(const std::string& path);
  void reloadMusic(const std::string& path, Clock::time_point event);
  void succeeded(const std::string& path, Clock::time_point event);
  void failed(const std::string& path, const std::string& message);

  Demo& demo_;
  Transport& transport_;
  FileWatcher watcher_;
  std::map<std::string, std::string> osToProgram_;
  // Errors by file, and the order they happened in.
  std::map<std::string, std::string> errors_;
  std::vector<std::string> errorOrder_;
  struct Pending {
    std::string path;
    Clock::time_point event;
  };
  std::vector<Pending> pending_;
  bool hasSyncText_ = false;
  int reloadCount_ = 0;
};
