// Tells the live authoring mode which files the author saved: inotify on each
// watched file's folder, so rename-over and delete-and-recreate saves are
// seen, or stat polling where inotify is unavailable. A burst of events
// settles into one change, reported only when the content hash differs from
// the one last recorded. Owns the inotify descriptor; knows nothing of what
// the files hold or how they are reloaded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct FileChange {
  // The path as given to watch(), or, for a new file in a watched folder, the
  // folder as given to watchFolder() joined with the file's name.
  std::string path;
  // When the first event of this burst was seen (for save-to-screen latency).
  std::chrono::steady_clock::time_point firstEvent;
  bool appeared = false;  // a file that was not watched appeared in a watched folder
  bool removed = false;   // the file is gone and was not recreated before it settled
};

class FileWatcher {
 public:
  using Clock = std::chrono::steady_clock;

  // A file is reported once it has been quiet this long, so an editor's
  // writes and renames become one change.
  static constexpr std::chrono::milliseconds kSettle{25};
  // How often the polling fallback looks at the files.
  static constexpr std::chrono::milliseconds kPollInterval{250};

  // Uses inotify; when it cannot be initialised, or TARVO_WATCH_POLL is "1",
  // polls instead and logs one line saying why.
  FileWatcher();
  ~FileWatcher();
  FileWatcher(FileWatcher&&) noexcept = default;
  FileWatcher& operator=(FileWatcher&&) noexcept = default;
  FileWatcher(const FileWatcher&) = delete;
  FileWatcher& operator=(const FileWatcher&) = delete;

  // Watches the file's content through its folder and records the hash of
  // what it holds now. A missing file is fine: its appearance is a change.
  // Watching the same path twice is harmless; a folder that does not exist
  // is logged once and the file is then never reported.
  void watch(const std::string& path);
  void unwatch(const std::string& path);

  // Reports files that newly appear in the folder (created or moved in) and
  // are not watched, once each, with appeared set. Hidden names (such as
  // editors' swap files) and subfolders are left out.
  void watchFolder(const std::string& folder);

  // Non-blocking: takes the pending events (or, when polling and a polling
  // moment has come, stats the files), and returns the files that have
  // settled with content different from what was last recorded. With nothing
  // pending it makes one read() of the inotify descriptor, or no system call
  // at all between polling moments, and allocates nothing.
  std::vector<FileChange> poll(Clock::time_point now = Clock::now());

  bool usingInotify() const { return inotify_.fd >= 0; }

 private:
  static constexpr size_t kNoFolder = static_cast<size_t>(-1);

  // Closes the inotify descriptor it holds; moving hands it over.
  struct Descriptor {
    Descriptor() = default;
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    Descriptor(Descriptor&& other) noexcept;
    Descriptor& operator=(Descriptor&& other) noexcept;
    ~Descriptor();
    void reset();
    int fd = -1;
  };

  // What stat says about a file; any difference is a reason to hash again.
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

  struct Folder {
    std::string path;       // for system calls: "." when the parent was empty
    std::string givenPath;  // as given to watchFolder(), for reported paths
    dev_t device = 0;       // two spellings of one folder share one entry
    ino_t inode = 0;
    int watch = -1;  // inotify watch descriptor
    bool reportsNew = false;
    std::set<std::string, std::less<>> known;  // names present, when reportsNew
  };

  struct File {
    std::string path;
    std::string name;  // within its folder, to match inotify's events
    size_t folder = kNoFolder;
    Stamp stamp;
    bool exists = false;  // as last recorded or reported
    uint64_t hash = 0;
    bool pending = false;
    Clock::time_point firstEvent;
    Clock::time_point lastEvent;
  };

  // A name in a reportsNew folder that was created or went away; once
  // settled it is checked against the folder's known names.
  struct Candidate {
    size_t folder = 0;
    std::string name;
    Clock::time_point firstEvent;
    Clock::time_point lastEvent;
  };

  enum class ReadResult { kHashed, kMissing, kUnreadable };

  static Stamp stampOf(const std::string& path);

  void switchToPolling(const std::string& reason);
  size_t findOrAddFolder(const std::string& path);
  size_t folderWithWatch(int watch) const;
  bool isWatchedName(size_t folder, std::string_view name) const;
  void markPending(File& file, Clock::time_point now);
  void touchCandidate(size_t folder, std::string_view name, Clock::time_point now);
  void drainEvents(Clock::time_point now);
  void scanFiles(Clock::time_point now);
  void scanFolder(size_t folder, Clock::time_point now);
  void settle(Clock::time_point now, std::vector<FileChange>& changes);
  void settleFile(File& file, Clock::time_point now, std::vector<FileChange>& changes);
  void settleCandidate(const Candidate& candidate, std::vector<FileChange>& changes);
  ReadResult hashFile(const std::string& path, uint64_t& hash);

  Descriptor inotify_;
  std::vector<Folder> folders_;
  std::vector<File> files_;
  std::vector<Candidate> candidates_;
  size_t pendingFiles_ = 0;
  Clock::time_point nextScan_ = Clock::time_point::min();
  std::vector<std::string> missingFolders_;  // each logged once
  std::vector<char> eventBuffer_;
  std::vector<char> readBuffer_;
  std::vector<std::string> scanNames_;  // reused by folder scans
};
