#include "base/inotify_watch_backend.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {
constexpr size_t kEventBufferBytes = 64 * 1024;

// Everything that can change a name's content or existence, and the folder
// itself going away. IN_MODIFY is left out on purpose: a file being written is
// hashed after its writer closes it, not halfway through.
constexpr uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_ATTRIB |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr uint32_t kNameEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM;
// A watch that follows a moved folder would report another path's files;
// IN_IGNORED also comes when the file system goes away.
constexpr uint32_t kFolderGoneEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;
}  // namespace

std::unique_ptr<InotifyWatchBackend> InotifyWatchBackend::create(std::string& reason) {
  const int descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (descriptor < 0) {
    reason = std::string("inotify_init1: ") + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<InotifyWatchBackend>(new InotifyWatchBackend(descriptor));
}

InotifyWatchBackend::InotifyWatchBackend(int descriptor) : descriptor_(descriptor), eventBuffer_(kEventBufferBytes) {}

InotifyWatchBackend::~InotifyWatchBackend() { ::close(descriptor_); }

bool InotifyWatchBackend::addFolder(FolderId folder, const std::string& path, std::string& reason) {
  const int watch = ::inotify_add_watch(descriptor_, path.c_str(), kFolderEvents);
  if (watch < 0) {
    reason = std::string("inotify_add_watch: ") + std::strerror(errno);
    return false;
  }
  if (watches_.size() <= folder) watches_.resize(folder + 1, kNoWatch);
  watches_[folder] = watch;
  return true;
}

void InotifyWatchBackend::removeFolder(FolderId folder) {
  if (folder >= watches_.size() || watches_[folder] == kNoWatch) return;
  const int watch = std::exchange(watches_[folder], kNoWatch);
  // Already gone when the kernel removed it; then this fails, harmlessly.
  if (std::find(watches_.begin(), watches_.end(), watch) == watches_.end()) ::inotify_rm_watch(descriptor_, watch);
}

void InotifyWatchBackend::collect(WatchClock::time_point now, WatchSink& sink) {
  for (;;) {
    const ssize_t length = ::read(descriptor_, eventBuffer_.data(), eventBuffer_.size());
    if (length < 0 && errno == EINTR) continue;
    if (length <= 0) return;  // EAGAIN: nothing more queued
    for (ssize_t offset = 0; offset < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(eventBuffer_.data() + offset);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) {
        sink.everythingChanged(now);
        continue;
      }
      const std::string_view name(event->name, ::strnlen(event->name, event->len));
      const bool cameOrWent = (event->mask & kNameEvents) && !(event->mask & IN_ISDIR);
      for (FolderId folder = 0; folder < watches_.size(); ++folder) {
        if (watches_[folder] != event->wd) continue;
        if (event->mask & kFolderGoneEvents) {
          sink.folderGone(folder, now);
        } else if (!name.empty()) {
          sink.nameChanged(folder, name, cameOrWent, now);
        }
      }
    }
  }
}
