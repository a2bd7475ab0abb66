#include "base/polling_watch_backend.h"

#include <sys/stat.h>

#include <algorithm>

bool PollingWatchBackend::Stamp::operator==(const Stamp& other) const {
  return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
         modifiedSeconds == other.modifiedSeconds && modifiedNanoseconds == other.modifiedNanoseconds &&
         changedSeconds == other.changedSeconds && changedNanoseconds == other.changedNanoseconds;
}

PollingWatchBackend::Stamp PollingWatchBackend::stampOf(const std::string& path) {
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

bool PollingWatchBackend::addFolder(FolderId folder, const std::string& path, std::string& reason) {
  if (watchedFolders_.size() <= folder) watchedFolders_.resize(folder + 1, false);
  watchedFolders_[folder] = true;
  return true;
}

void PollingWatchBackend::removeFolder(FolderId folder) {
  if (folder < watchedFolders_.size()) watchedFolders_[folder] = false;
}

void PollingWatchBackend::addFile(FolderId folder, std::string_view name, const std::string& path) {
  files_.push_back({folder, std::string(name), path, stampOf(path)});
}

void PollingWatchBackend::removeFile(const std::string& path) {
  files_.erase(std::remove_if(files_.begin(), files_.end(), [&](const File& file) { return file.path == path; }),
               files_.end());
}

void PollingWatchBackend::collect(WatchClock::time_point now, WatchSink& sink) {
  if (now < nextScan_) return;
  nextScan_ = now + interval_;
  for (File& file : files_) {
    const Stamp stamp = stampOf(file.path);
    if (stamp == file.stamp) continue;
    file.stamp = stamp;
    sink.nameChanged(file.folder, file.name, false, now);
  }
  for (FolderId folder = 0; folder < watchedFolders_.size(); ++folder) {
    if (watchedFolders_[folder]) sink.folderChanged(folder, now);
  }
}

bool PollingWatchBackend::stillChanging(const std::string& path) {
  for (File& file : files_) {
    if (file.path != path) continue;
    const Stamp stamp = stampOf(path);
    const bool moved = !(stamp == file.stamp);
    file.stamp = stamp;
    return moved;
  }
  return false;
}
