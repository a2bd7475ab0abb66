// Tells the live authoring mode which files the author saved. Each watched
// file is watched through its folder, so rename-over and delete-and-recreate
// saves are seen, and through its target's folder when it is a symbolic
// link. A burst of events settles into one change, reported only when the
// content hash differs from the one last recorded. A watched folder that goes
// away is looked for until it comes back. Owns the files, folders and hashes
// and picks the backend that says where to look (watch_backend.h); knows
// nothing of what the files hold or how they are reloaded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/watch_backend.h"

struct FileChange {
  // The path as given to watch(), or, for a new file in a watched folder, the
  // folder as given to watchFolder() joined with the file's name.
  std::string path;
  // When the first event of this burst was seen (for save-to-screen latency).
  std::chrono::steady_clock::time_point firstEvent;
  bool appeared = false;  // a file that was not watched appeared in a watched folder
  bool removed = false;   // the file is gone and was not recreated before it settled
};

class FileWatcher : private WatchSink {
 public:
  using Clock = WatchClock;

  // A file is reported once it has been quiet this long, so an editor's
  // writes and renames become one change.
  static constexpr std::chrono::milliseconds kSettle{25};
  // How often the polling fallback looks at the files, and how often a
  // folder that went away is looked for.
  static constexpr std::chrono::milliseconds kPollInterval{250};

  // Uses inotify; when it cannot be initialised, or TARVO_WATCH_POLL is "1",
  // polls instead and logs one line saying why.
  FileWatcher();
  ~FileWatcher();
  FileWatcher(FileWatcher&&) noexcept = default;
  FileWatcher& operator=(FileWatcher&&) noexcept = default;
  FileWatcher(const FileWatcher&) = delete;
  FileWatcher& operator=(const FileWatcher&) = delete;

  // Watches the file's content through its folder (and, for a symbolic link,
  // its target's folder) and records the hash of what it holds now. A
  // missing file is fine: its appearance is a change. Watching the same path
  // twice is harmless; a folder that does not exist is logged once and the
  // file is then never reported.
  void watch(const std::string& path);
  void unwatch(const std::string& path);
  // The watched file's next settled event is reported even when its content
  // is what was last recorded: a reload that failed part-way is retried by
  // the author's next save, whatever it holds.
  void reportNextEvent(const std::string& path);

  // The program itself just wrote these bytes to the watched file: they are
  // its recorded content, so the write's own events report nothing. A save
  // by anyone else that follows is still a change.
  void recordOwnWrite(const std::string& path, const std::vector<uint8_t>& bytes);

  // Reports files that newly appear in the folder (created or moved in) and
  // are not watched, once each, with appeared set. Hidden names (such as
  // editors' swap files) and subfolders are left out.
  void watchFolder(const std::string& folder);

  // Non-blocking: takes what the backend saw (pending events, or the stats
  // of a polling moment), and returns the files that have settled with
  // content different from what was last recorded. With nothing pending it
  // makes one read() of the inotify descriptor, or no system call at all
  // between polling moments, and allocates nothing.
  std::vector<FileChange> poll(Clock::time_point now = Clock::now());

  bool usingInotify() const { return backend_->usesInotify(); }

 private:
  static constexpr FolderId kNoFolder = static_cast<FolderId>(-1);

  struct Folder {
    std::string path;       // for system calls: "." when the parent was empty
    std::string givenPath;  // as given to watchFolder(), for reported paths
    dev_t device = 0;       // two spellings of one folder share one entry
    ino_t inode = 0;
    bool gone = false;  // went away; looked for until it is back
    bool reportsNew = false;
    std::set<std::string, std::less<>> known;  // names present, when reportsNew
  };

  struct File {
    std::string path;
    std::string name;  // within its folder, to match the backend's reports
    FolderId folder = kNoFolder;
    // For a symbolic link: the folder and name of the file it leads to, so
    // saving the target is a change of this file.
    FolderId targetFolder = kNoFolder;
    std::string targetName;
    bool exists = false;  // as last recorded or reported
    uint64_t hash = 0;
    bool reportEvenIfSame = false;
    bool unreadable = false;  // as last reported: there, but not a file that can be read
    bool pending = false;
    Clock::time_point firstEvent;
    Clock::time_point lastEvent;

    bool isNamed(FolderId in, std::string_view named) const;
  };

  // A name in a reportsNew folder that was created or went away; once
  // settled it is checked against the folder's known names.
  struct Candidate {
    FolderId folder = 0;
    std::string name;
    Clock::time_point firstEvent;
    Clock::time_point lastEvent;
  };

  enum class ReadResult { kHashed, kMissing, kUnreadable };

  // What the backend reports.
  void nameChanged(FolderId folder, std::string_view name, bool cameOrWent, Clock::time_point now) override;
  void folderChanged(FolderId folder, Clock::time_point now) override;
  void folderGone(FolderId folder, Clock::time_point now) override;
  void everythingChanged(Clock::time_point now) override;

  void switchToPolling(const std::string& reason);
  FolderId findOrAddFolder(const std::string& path);
  void startWatching(FolderId folder);
  void followLink(File& file);
  void lookForGoneFolders(Clock::time_point now);
  bool isWatchedName(FolderId folder, std::string_view name) const;
  void markPending(File& file, Clock::time_point now);
  void touchCandidate(FolderId folder, std::string_view name, Clock::time_point now);
  void scanFolder(FolderId folder, Clock::time_point now);
  void settle(Clock::time_point now, std::vector<FileChange>& changes);
  void settleFile(File& file, Clock::time_point now, std::vector<FileChange>& changes);
  void settleCandidate(const Candidate& candidate, std::vector<FileChange>& changes);
  ReadResult hashFile(const std::string& path, uint64_t& hash);

  std::unique_ptr<WatchBackend> backend_;
  std::vector<Folder> folders_;
  std::vector<File> files_;
  std::vector<Candidate> candidates_;
  size_t pendingFiles_ = 0;
  size_t goneFolders_ = 0;
  Clock::time_point nextGoneCheck_;
  Clock::time_point lastPoll_;  // the clock of the latest poll(), for a switch between polls
  std::vector<std::string> missingFolders_;  // each logged once
  std::vector<char> readBuffer_;
  std::vector<std::string> scanNames_;  // reused by folder scans
};
