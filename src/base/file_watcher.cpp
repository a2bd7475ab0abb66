#include "base/file_watcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "base/fnv1a.h"
#include "base/inotify_watch_backend.h"
#include "base/log.h"
#include "base/polling_watch_backend.h"

namespace {
constexpr size_t kReadChunkBytes = 64 * 1024;
// As many links in a chain as the kernel follows before it gives up.
constexpr int kMaxLinkHops = 40;

bool isHidden(std::string_view name) { return !name.empty() && name.front() == '.'; }

bool isRegularFile(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool isFolder(const std::string& path, struct stat& status) {
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
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

// Where a symbolic link finally leads, followed link by link so that a
// target that does not exist yet still has a folder to watch; the folders
// on the way are resolved too. Empty when the path is not a link.
std::filesystem::path linkTarget(const std::string& path) {
  namespace fs = std::filesystem;
  struct stat status;
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return {};
  std::error_code error;
  fs::path current = path;
  for (int hop = 0; hop < kMaxLinkHops && fs::is_symlink(fs::symlink_status(current, error)); ++hop) {
    const fs::path next = fs::read_symlink(current, error);
    if (error) return {};
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  const fs::path resolved = fs::weakly_canonical(current, error);
  return error ? fs::path() : resolved;
}
}  // namespace

bool FileWatcher::File::isNamed(FolderId in, std::string_view named) const {
  return (folder == in && name == named) || (targetFolder == in && targetName == named);
}

FileWatcher::FileWatcher() {
  const char* forcePolling = std::getenv("TARVO_WATCH_POLL");
  if (forcePolling != nullptr && std::strcmp(forcePolling, "1") == 0) {
    switchToPolling("TARVO_WATCH_POLL=1");
    return;
  }
  std::string reason;
  backend_ = InotifyWatchBackend::create(reason);
  if (!backend_) switchToPolling(reason);
}

FileWatcher::~FileWatcher() = default;

void FileWatcher::switchToPolling(const std::string& reason) {
  Log("watch: inotify unavailable (%s), polling every %d ms\n", reason.c_str(),
      static_cast<int>(kPollInterval.count()));
  backend_ = std::make_unique<PollingWatchBackend>(kPollInterval);
  std::string unused;
  for (FolderId folder = 0; folder < folders_.size(); ++folder) {
    if (!folders_[folder].gone) backend_->addFolder(folder, folders_[folder].path, unused);
  }
  // What the events not yet read would have said is lost with them: every
  // file is looked at again.
  for (File& file : files_) {
    if (file.folder == kNoFolder) continue;
    backend_->addFile(file.folder, file.name, file.path);
    markPending(file, lastPoll_);
  }
}

FolderId FileWatcher::findOrAddFolder(const std::string& path) {
  struct stat status;
  if (!isFolder(path, status)) {
    for (FolderId i = 0; i < folders_.size(); ++i) {
      if (folders_[i].gone && folders_[i].path == path) return i;  // watched again when it is back
    }
    if (std::find(missingFolders_.begin(), missingFolders_.end(), path) == missingFolders_.end()) {
      Log("watch: folder %s does not exist, not watched\n", path.c_str());
      missingFolders_.push_back(path);
    }
    return kNoFolder;
  }
  for (FolderId i = 0; i < folders_.size(); ++i) {
    if (!folders_[i].gone && folders_[i].device == status.st_dev && folders_[i].inode == status.st_ino) return i;
  }
  Folder folder;
  folder.path = path;
  folder.device = status.st_dev;
  folder.inode = status.st_ino;
  folders_.push_back(std::move(folder));
  startWatching(folders_.size() - 1);
  return folders_.size() - 1;
}

void FileWatcher::startWatching(FolderId folder) {
  std::string reason;
  // Out of inotify watches (or another refusal): polling still sees every
  // folder.
  if (!backend_->addFolder(folder, folders_[folder].path, reason)) switchToPolling(reason);
}

void FileWatcher::followLink(File& file) {
  const std::filesystem::path target = linkTarget(file.path);
  if (target.empty()) {
    file.targetFolder = kNoFolder;
    file.targetName.clear();
    return;
  }
  file.targetName = target.filename().string();
  file.targetFolder = findOrAddFolder(target.parent_path().string());
}

bool FileWatcher::isWatchedName(FolderId folder, std::string_view name) const {
  for (const File& file : files_) {
    if (file.isNamed(folder, name)) return true;
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
  // The folders are watched before the content is hashed, so no save in
  // between goes unseen.
  file.folder = findOrAddFolder(parent);
  if (file.folder != kNoFolder) {
    followLink(file);
    backend_->addFile(file.folder, file.name, file.path);
  }
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
  backend_->removeFile(path);
  files_.erase(file);
}

void FileWatcher::reportNextEvent(const std::string& path) {
  for (File& file : files_) {
    if (file.path == path) file.reportEvenIfSame = true;
  }
}

void FileWatcher::recordOwnWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
  for (File& file : files_) {
    if (file.path != path) continue;
    file.hash = fnv1aUpdate(kFnv1aStart, bytes.data(), bytes.size());
    file.exists = true;
    file.unreadable = false;
    file.reportEvenIfSame = false;
  }
}

void FileWatcher::watchFolder(const std::string& folderPath) {
  const FolderId index = findOrAddFolder(folderPath.empty() ? "." : folderPath);
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
  lastPoll_ = now;
  backend_->collect(now, *this);
  if (goneFolders_ > 0 && now >= nextGoneCheck_) lookForGoneFolders(now);
  if (pendingFiles_ > 0 || !candidates_.empty()) settle(now, changes);
  return changes;
}

void FileWatcher::nameChanged(FolderId folder, std::string_view name, bool cameOrWent, Clock::time_point now) {
  bool watched = false;
  for (File& file : files_) {
    if (file.isNamed(folder, name)) {
      markPending(file, now);
      watched = true;
    }
  }
  if (!watched && cameOrWent && folders_[folder].reportsNew && !isHidden(name)) touchCandidate(folder, name, now);
}

void FileWatcher::folderChanged(FolderId index, Clock::time_point now) {
  if (folders_[index].gone) return;
  // Replaced between two looks (a script's remove and copy): a new folder
  // at the same path, to be watched as one that came back.
  struct stat status;
  const Folder& folder = folders_[index];
  if (!isFolder(folder.path, status) || status.st_dev != folder.device || status.st_ino != folder.inode) {
    folderGone(index, now);
  }
  // One that is gone lists as empty: its names are forgotten once settled,
  // as inotify's deletion events make them, unless it is back by then.
  if (folders_[index].reportsNew) scanFolder(index, now);
}

void FileWatcher::folderGone(FolderId index, Clock::time_point now) {
  Folder& folder = folders_[index];
  if (folder.gone) return;
  Log("watch: folder %s went away; watching for it to come back\n", folder.path.c_str());
  folder.gone = true;
  ++goneFolders_;
  backend_->removeFolder(index);
  // Often back already: a folder replaced as a whole.
  nextGoneCheck_ = now;
}

void FileWatcher::everythingChanged(Clock::time_point now) {
  for (File& file : files_) markPending(file, now);
  for (FolderId folder = 0; folder < folders_.size(); ++folder) folderChanged(folder, now);
}

void FileWatcher::lookForGoneFolders(Clock::time_point now) {
  nextGoneCheck_ = now + kPollInterval;
  for (FolderId index = 0; index < folders_.size(); ++index) {
    struct stat status;
    if (!folders_[index].gone || !isFolder(folders_[index].path, status)) continue;
    Folder& folder = folders_[index];
    folder.gone = false;
    --goneFolders_;
    folder.device = status.st_dev;
    folder.inode = status.st_ino;
    Log("watch: folder %s is back, watched again\n", folder.path.c_str());
    startWatching(index);
    // Compared with what they held before it went away; new names appear.
    for (File& file : files_) {
      if (file.folder == index || file.targetFolder == index) markPending(file, now);
    }
    if (folders_[index].reportsNew) scanFolder(index, now);
  }
}

void FileWatcher::markPending(File& file, Clock::time_point now) {
  if (!file.pending) {
    file.pending = true;
    file.firstEvent = now;
    ++pendingFiles_;
  }
  file.lastEvent = now;
}

void FileWatcher::touchCandidate(FolderId folder, std::string_view name, Clock::time_point now) {
  for (Candidate& candidate : candidates_) {
    if (candidate.folder == folder && candidate.name == name) {
      candidate.lastEvent = now;
      return;
    }
  }
  candidates_.push_back({folder, std::string(name), now, now});
}

void FileWatcher::scanFolder(FolderId index, Clock::time_point now) {
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
  if (backend_->stillChanging(file.path)) {
    file.lastEvent = now;
    return;
  }
  // A link may have been pointed elsewhere, or a file replaced by one.
  if (file.folder != kNoFolder) followLink(file);
  uint64_t hash = 0;
  switch (hashFile(file.path, hash)) {
    case ReadResult::kHashed:
      if (!file.exists || hash != file.hash || file.reportEvenIfSame || file.unreadable) {
        changes.push_back({file.path, file.firstEvent, false, false});
      }
      file.reportEvenIfSame = false;
      file.unreadable = false;
      file.exists = true;
      file.hash = hash;
      break;
    case ReadResult::kMissing:
      if (file.exists) changes.push_back({file.path, file.firstEvent, false, true});
      file.exists = false;
      file.unreadable = false;
      break;
    case ReadResult::kUnreadable:
      // Made a folder, or its permissions taken away: reported once, so the
      // reader names the reason; readable again, it is reported whatever it
      // holds. The hash stays that of the last content read.
      if (!file.unreadable) changes.push_back({file.path, file.firstEvent, false, false});
      file.unreadable = true;
      break;
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
  uint64_t value = kFnv1aStart;
  for (;;) {
    const ssize_t length = ::read(fd, readBuffer_.data(), readBuffer_.size());
    if (length < 0 && errno == EINTR) continue;
    if (length < 0) {
      ::close(fd);
      return ReadResult::kUnreadable;
    }
    if (length == 0) break;
    value = fnv1aUpdate(value, readBuffer_.data(), static_cast<size_t>(length));
  }
  ::close(fd);
  hash = value;
  return ReadResult::kHashed;
}
