// Reload on save for the live authoring mode: watches every file the show
// loaded (shaders and the files they include, images, meshes, the sync text
// or its track files, the camera keys, the section table, the soundtrack)
// and the data folder for new files, and hands each save, on the main
// thread, to the owner of that kind of file through a table of matchers and
// handlers. A failed reload keeps the last good resource and its error
// stands until a later save of that file succeeds. Log lines and the error
// name files as the operating system spells them, so editors can open them.
// The sync editor's writes of sync.txt come through here too, and reload
// the way a save does.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/file_watcher.h"
#include "demo/demo.h"
#include "live/transport.h"
#include "resources/reload_result.h"

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
  // The error standing for one file (program path), or empty.
  std::string errorOf(const std::string& programPath) const;
  int reloadCount() const { return reloadCount_; }
  // Grows with every save handed to an owner, whatever came of it: a
  // picture drawn before may be out of date.
  int savesHandled() const { return savesHandled_; }
  bool usingInotify() const { return watcher_.usingInotify(); }

  // The sync text as the editor edits it. syncText() is the text whose keys
  // play; syncTextStands() is false while the file holds a text that does
  // not parse. syncVersion() grows whenever the tracks change: a save, a
  // reload, the editor's own writes. hasSyncText() follows the file: a
  // sync.txt that appears takes over from the track files.
  bool hasSyncText() const { return hasSyncText_; }
  const std::string& syncText() const { return syncText_; }
  bool syncTextStands() const { return syncTextStands_; }
  int64_t syncVersion() const { return syncVersion_; }
  // The editor wrote this text into sync.txt: the watcher takes it as the
  // player's own, and it is reloaded through the same handler as a save
  // (tracks, track files, version).
  void syncTextWritten(const std::string& text);

 private:
  struct Handler {
    std::function<bool(const std::string& path)> matches;
    std::function<ReloadResults(const std::string& path)> reload;
  };

  void watchFile(const std::string& programPath);
  void buildHandlers();
  ReloadResults reloadSyncText(const std::string& path);
  // In live mode the text is the truth from the first frame: its keys play
  // and the track files that differ from it are rewritten.
  void takeSyncTextAtStart();
  void succeeded(const std::string& path, Clock::time_point event);
  void failed(const std::string& key, const SourceProblem& problem);

  Demo& demo_;
  Transport& transport_;
  FileWatcher watcher_;
  std::vector<Handler> handlers_;  // the first that matches a path takes it
  // Errors by the file (or setting) they belong to, and the order they
  // happened in.
  std::map<std::string, std::string> errors_;
  std::vector<std::string> errorOrder_;
  struct Pending {
    std::string path;
    Clock::time_point event;
  };
  std::vector<Pending> pending_;
  bool hasSyncText_ = false;
  std::string syncText_;      // whose keys play
  bool syncTextStands_ = false;
  int64_t syncVersion_ = 1;
  int reloadCount_ = 0;
  int savesHandled_ = 0;
};
