#include "base/file_watcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "base/log.h"

namespace {
constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ULL;
constexpr uint64_t kFnvPrime = 0x100000001b3ULL;
constexpr size_t kEventBufferBytes = 64 * 1024;
constexpr size_t kReadChunkBytes = 64 * 1024;

// Everything that can change a name's content or existence. IN_MODIFY is left
// out on purpose: a file being written is hashed after its writer closes it,
// not halfway through.
constexpr uint32_t kFolderEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_ATTRIB | IN_ONLYDIR;
constexpr uint32_t kNameEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM;

bool isHidden(std::string_view name) { return !name.empty() && name.front() == '.'; }

bool isRegularFile(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The folder's entries except hidden names and what readdir marks as a
// folder; false when it cannot be read.
bool listFolder(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) return false;
  while (const dirent* entry = ::readdir(folder)) {
    if (isHidden(entry->d_name) || entry->d_type == DT_DIR) continue;
    names.emplace_back(entry->d_name);
  }
  ::closedir(folder);
  return true;
}
}  // namespace

FileWatcher::Descriptor::Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}

FileWatcher::Descriptor& FileWatcher::Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    reset();
    fd = std::exchange(other.fd, -1);
  }
  return *this;
}

FileWatcher::Descriptor::~Descriptor() { reset(); }

void FileWatcher::Descriptor::reset() {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

bool FileWatcher::Stamp::operator==(const Stamp& other) const {
  return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
         modifiedSeconds == other.modifiedSeconds && modifiedNanoseconds == other.modifiedNanoseconds &&
         changedSeconds == other.changedSeconds && changedNanoseconds == other.changedNanoseconds;
}

FileWatcher::Stamp FileWatcher::stampOf(const std::string& path) {
  Stamp stamp;
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return stamp;
  stamp.exists = true;
  stamp.device = status.st_dev;
  stamp.inode = status.st_ino;
  stamp.size = status.st_size;
  stamp.modifiedSeconds = status.st_mtim.tv_sec;
  stamp.modifiedNanoseconds = status.st_mtim.tv_nsec;
  stamp.changedSeconds = status.st_ctim.tv_sec;
  stamp.changedNanoseconds = status.st_ctim.tv_nsec;
  return stamp;
}

FileWatcher::FileWatcher() {
  const char* forcePolling = std::getenv("TARVO_WATCH_POLL");
  if (forcePolling != nullptr && std::strcmp(forcePolling, "1") == 0) {
    switchToPolling("TARVO_WATCH_POLL=1");
    return;
  }
  inotify_ = Descriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!usingInotify()) {
    switchToPolling(std::string("inotify_init1: ") + std::strerror(errno));
    return;
  }
  eventBuffer_.resize(kEventBufferBytes);
}

FileWatcher::~FileWatcher() = default;

void FileWatcher::switchToPolling(const std::string& reason) {
  Log("watch: inotify unavailable (%s), polling every %d ms\n", reason.c_str(),
      static_cast<int>(kPollInterval.count()));
  inotify_.reset();
  for (Folder& folder : folders_) folder.watch = -1;
  nextScan_ = Clock::time_point::min();
}

size_t FileWatcher::findOrAddFolder(const std::string& path) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    if (std::find(missingFolders_.begin(), missingFolders_.end(), path) == missingFolders_.end()) {
      Log("watch: folder %s does not exist, not watched\n", path.c_str());
      missingFolders_.push_back(path);
    }
    return kNoFolder;
  }
  for (size_t i = 0; i < folders_.size(); ++i) {
    if (folders_[i].device == status.st_dev && folders_[i].inode == status.st_ino) return i;
  }
  Folder folder;
  folder.path = path;
  folder.device = status.st_dev;
  folder.inode = status.st_ino;
  if (usingInotify()) {
    folder.watch = ::inotify_add_watch(inotify_.fd, path.c_str(), kFolderEvents);
    // Out of watches (or another refusal): polling still sees every folder.
    if (folder.watch < 0) switchToPolling(std::string("inotify_add_watch: ") + std::strerror(errno));
  }
  folders_.push_back(std::move(folder));
  return folders_.size() - 1;
}

size_t FileWatcher::folderWithWatch(int watch) const {
  for (size_t i = 0; i < folders_.size(); ++i) {
    if (folders_[i].watch == watch) return i;
  }
  return kNoFolder;
}

bool FileWatcher::isWatchedName(size_t folder, std::string_view name) const {
  for (const File& file : files_) {
    if (file.folder == folder && file.name == name) return true;
  }
  return false;
}

void FileWatcher::watch(const std::string& path) {
  for (const File& file : files_) {
    if (file.path == path) return;
  }
  const std::filesystem::path split(path);
  std::string parent = split.parent_path().string();
  if (parent.empty()) parent = ".";
  File file;
  file.path = path;
  file.name = split.filename().string();
  // The folder is watched before the content is hashed, so no save in
  // between goes unseen.
  file.folder = findOrAddFolder(parent);
  file.stamp = stampOf(path);
  file.exists = hashFile(path, file.hash) == ReadResult::kHashed;
  files_.push_back(std::move(file));
}

void FileWatcher::unwatch(const std::string& path) {
  const auto file = std::find_if(files_.begin(), files_.end(), [&](const File& f) { return f.path == path; });
  if (file == files_.end()) return;
  if (file->pending) --pendingFiles_;
  // Still present in a reported folder: not new when it is next written.
  if (file->folder != kNoFolder && folders_[file->folder].reportsNew && file->exists) {
    folders_[file->folder].known.insert(file->name);
  }
  files_.erase(file);
}

void FileWatcher::watchFolder(const std::string& folderPath) {
  const size_t index = findOrAddFolder(folderPath.empty() ? "." : folderPath);
  if (index == kNoFolder || folders_[index].reportsNew) return;
  Folder& folder = folders_[index];
  folder.reportsNew = true;
  folder.givenPath = folderPath;
  // Listed after the watch was added: a file created meanwhile is either
  // known already or reported.
  listFolder(folder.path, scanNames_);
  folder.known.insert(scanNames_.begin(), scanNames_.end());
}

std::vector<FileChange> FileWatcher::poll(Clock::time_point now) {
  std::vector<FileChange> changes;
  if (usingInotify()) {
    drainEvents(now);
  } else if (now >= nextScan_) {
    scanFiles(now);
    nextScan_ = now + kPollInterval;
  }
  if (pendingFiles_ > 0 || !candidates_.empty()) settle(now, changes);
  return changes;
}

void FileWatcher::markPending(File& file, Clock::time_point now) {
  if (!file.pending) {
    file.pending = true;
    file.firstEvent = now;
    ++pendingFiles_;
  }
  file.lastEvent = now;
}

void FileWatcher::touchCandidate(size_t folder, std::string_view name, Clock::time_point now) {
  for (Candidate& candidate : candidates_) {
    if (candidate.folder == folder && candidate.name == name) {
      candidate.lastEvent = now;
      return;
    }
  }
  candidates_.push_back({folder, std::string(name), now, now});
}

void FileWatcher::drainEvents(Clock::time_point now) {
  for (;;) {
    const ssize_t length = ::read(inotify_.fd, eventBuffer_.data(), eventBuffer_.size());
    if (length < 0 && errno == EINTR) continue;
    if (length <= 0) return;  // EAGAIN: nothing more queued
    for (ssize_t offset = 0; offset < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(eventBuffer_.data() + offset);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) {
        // Events were lost: any watched file may have changed, any name may
        // have come or gone.
        for (File& file : files_) markPending(file, now);
        for (size_t i = 0; i < folders_.size(); ++i) {
          if (folders_[i].reportsNew) scanFolder(i, now);
        }
        continue;
      }
      const size_t folder = folderWithWatch(event->wd);
      if (folder == kNoFolder) continue;
      if (event->mask & IN_IGNORED) {
        Log("watch: folder %s went away, no longer watched\n", folders_[folder].path.c_str());
        folders_[folder].watch = -1;
        continue;
      }
      if (event->len == 0) continue;
      const std::string_view name(event->name, ::strnlen(event->name, event->len));
      bool watched = false;
      for (File& file : files_) {
        if (file.folder == folder && file.name == name) {
          markPending(file, now);
          watched = true;
        }
      }
      if (!watched && folders_[folder].reportsNew && !(event->mask & IN_ISDIR) && (event->mask & kNameEvents) &&
          !isHidden(name)) {
        touchCandidate(folder, name, now);
      }
    }
  }
}

void FileWatcher::scanFiles(Clock::time_point now) {
  for (File& file : files_) {
    if (file.folder == kNoFolder) continue;  // as unseen as it is to inotify
    const Stamp stamp = stampOf(file.path);
    if (stamp == file.stamp) continue;
    file.stamp = stamp;
    markPending(file, now);
  }
  for (size_t i = 0; i < folders_.size(); ++i) {
    if (folders_[i].reportsNew) scanFolder(i, now);
  }
}

void FileWatcher::scanFolder(size_t index, Clock::time_point now) {
  if (!listFolder(folders_[index].path, scanNames_)) scanNames_.clear();
  const Folder& folder = folders_[index];
  for (const std::string& name : scanNames_) {
    if (folder.known.count(name) == 0 && !isWatchedName(index, name)) touchCandidate(index, name, now);
  }
  std::sort(scanNames_.begin(), scanNames_.end());
  for (const std::string& name : folder.known) {
    if (!std::binary_search(scanNames_.begin(), scanNames_.end(), name)) touchCandidate(index, name, now);
  }
}

void FileWatcher::settle(Clock::time_point now, std::vector<FileChange>& changes) {
  for (File& file : files_) {
    if (file.pending && now - file.lastEvent >= kSettle) settleFile(file, now, changes);
  }
  for (size_t i = 0; i < candidates_.size();) {
    if (now - candidates_[i].lastEvent >= kSettle) {
      settleCandidate(candidates_[i], changes);
      candidates_.erase(candidates_.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

void FileWatcher::settleFile(File& file, Clock::time_point now, std::vector<FileChange>& changes) {
  const Stamp stamp = stampOf(file.path);
  // Polling has no events to say a write is still going on: a file whose
  // stat moved since it was seen waits another settle time.
  if (!usingInotify() && !(stamp == file.stamp)) {
    file.stamp = stamp;
    file.lastEvent = now;
    return;
  }
  file.stamp = stamp;
  uint64_t hash = 0;
  switch (hashFile(file.path, hash)) {
    case ReadResult::kHashed:
      if (!file.exists || hash != file.hash) changes.push_back({file.path, file.firstEvent, false, false});
      file.exists = true;
      file.hash = hash;
      break;
    case ReadResult::kMissing:
      if (file.exists) changes.push_back({file.path, file.firstEvent, false, true});
      file.exists = false;
      break;
    case ReadResult::kUnreadable:
      break;  // keeps what it knew; the next event or stat change tries again
  }
  file.pending = false;
  --pendingFiles_;
}

void FileWatcher::settleCandidate(const Candidate& candidate, std::vector<FileChange>& changes) {
  if (isWatchedName(candidate.folder, candidate.name)) return;  // watch() took it over
  Folder& folder = folders_[candidate.folder];
  const bool present = isRegularFile(folder.path + "/" + candidate.name);
  const auto known = folder.known.find(candidate.name);
  if (present && known == folder.known.end()) {
    folder.known.insert(candidate.name);
    const std::string path = (std::filesystem::path(folder.givenPath) / candidate.name).string();
    changes.push_back({path, candidate.firstEvent, true, false});
  } else if (!present && known != folder.known.end()) {
    folder.known.erase(known);
  }
}

FileWatcher::ReadResult FileWatcher::hashFile(const std::string& path, uint64_t& hash) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::kMissing : ReadResult::kUnreadable;
  if (readBuffer_.empty()) readBuffer_.resize(kReadChunkBytes);
  uint64_t value = kFnvOffsetBasis;
  for (;;) {
    const ssize_t length = ::read(fd, readBuffer_.data(), readBuffer_.size());
    if (length < 0 && errno == EINTR) continue;
    if (length < 0) {
      ::close(fd);
      return ReadResult::kUnreadable;
    }
    if (length == 0) break;
    for (ssize_t i = 0; i < length; ++i) {
      value ^= static_cast<unsigned char>(readBuffer_[static_cast<size_t>(i)]);
      value *= kFnvPrime;
    }
  }
  ::close(fd);
  hash = value;
  return ReadResult::kHashed;
}
