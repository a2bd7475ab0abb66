#include "resources/guarded_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/file_utils.h"

namespace {
// A file that changes under every one of this many merges is left alone.
constexpr int kMaxMerges = 8;
constexpr size_t kReadChunk = 64 * 1024;

struct Snapshot {
  bool exists = false;
  struct stat status {};
  std::vector<uint8_t> bytes;
};

std::string systemError(const std::string& what, const std::string& file) {
  return what + " " + file + ": " + std::strerror(errno);
}

bool readAll(int fd, std::vector<uint8_t>& bytes) {
  bytes.clear();
  uint8_t chunk[kReadChunk];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
}

// What the file holds now and who it is; false with `error` when it cannot
// be read (a missing file is not an error: exists stays false).
bool takeSnapshot(const std::string& file, Snapshot& snapshot, std::string& error) {
  snapshot = Snapshot{};
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    error = systemError("cannot read", file);
    return false;
  }
  const bool ok = ::fstat(fd, &snapshot.status) == 0 && readAll(fd, snapshot.bytes);
  if (!ok) error = systemError("cannot read", file);
  ::close(fd);
  snapshot.exists = ok;
  return ok;
}

bool sameFile(const Snapshot& a, const Snapshot& b) {
  return a.exists == b.exists && a.status.st_dev == b.status.st_dev && a.status.st_ino == b.status.st_ino;
}

// Where the bytes must go: a symbolic link (or a chain of them) leads to its
// target, which stays a file of its own folder.
bool resolveTarget(const std::string& file, std::string& target, std::string& error) {
  char* resolved = ::realpath(file.c_str(), nullptr);
  if (resolved == nullptr) {
    error = systemError("cannot find", file);
    return false;
  }
  target = resolved;
  std::free(resolved);
  return true;
}

std::string temporaryBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return folder + "/." + name + ".tarvo-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// The new bytes in a new file beside the target, with the target's mode and
// owner, flushed to the disk so the swap never exposes an empty file.
bool writeReplacement(const std::string& temporary, const Snapshot& seen, const std::vector<uint8_t>& bytes,
                      std::string& error) {
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = systemError("cannot write", temporary);
    return false;
  }
  bool ok = writeAllBytes(fd, bytes);
  int reason = errno;
  // The owner first: changing it may clear set-id bits that the mode then
  // puts back. Only the owner may give a file away, so this may be refused.
  if (ok && (seen.status.st_uid != ::geteuid() || seen.status.st_gid != ::getegid())) {
    if (::fchown(fd, seen.status.st_uid, seen.status.st_gid) != 0) {
      (void)::fchown(fd, static_cast<uid_t>(-1), seen.status.st_gid);
    }
  }
  if (ok && ::fchmod(fd, seen.status.st_mode & 07777) != 0) {
    ok = false;
    reason = errno;
  }
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    reason = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    reason = errno;
  }
  if (!ok) {
    errno = reason;
    error = systemError("cannot write", temporary);
    ::unlink(temporary.c_str());
  }
  return ok;
}

// A file with other hard links: all its names must see the new bytes, so it
// is rewritten through the same inode, after one last look at its content.
// True when written; false with `changed` when it held other bytes, or with
// `error`.
bool rewriteInPlace(const std::string& target, const Snapshot& seen, const std::vector<uint8_t>& bytes,
                    bool& changed, std::string& error) {
  changed = false;
  const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = systemError("cannot write", target);
    return false;
  }
  struct stat now {};
  std::vector<uint8_t> current;
  bool ok = ::fstat(fd, &now) == 0 && readAll(fd, current);
  if (ok && (now.st_ino != seen.status.st_ino || current != seen.bytes)) {
    changed = true;
    ::close(fd);
    return false;
  }
  ok = ok && ::lseek(fd, 0, SEEK_SET) == 0 && writeAllBytes(fd, bytes) &&
       ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
  const int reason = errno;
  ::close(fd);
  if (!ok) {
    errno = reason;
    error = systemError("cannot write", target);
  }
  return ok;
}

enum class Swap { kDone, kRaced, kFailed };

// Puts the replacement in the target's place. The two are exchanged
// atomically where the file system can, so what was displaced can be
// checked: when a save landed after the last look, it is swapped back and
// the caller merges again. Elsewhere a plain rename, after that last look.
Swap swapIn(const std::string& temporary, const std::string& target, const Snapshot& seen, std::string& error) {
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
    if (errno == ENOENT) {
      // The file went away since the last look (an editor that deletes and
      // writes anew): look again.
      ::unlink(temporary.c_str());
      return Swap::kRaced;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
      error = systemError("cannot replace", target);
      ::unlink(temporary.c_str());
      return Swap::kFailed;
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
      error = systemError("cannot replace", target);
      ::unlink(temporary.c_str());
      return Swap::kFailed;
    }
    return Swap::kDone;
  }
  Snapshot displaced;
  std::string unused;
  takeSnapshot(temporary, displaced, unused);
  if (displaced.exists && (sameFile(displaced, seen) || displaced.bytes == seen.bytes)) {
    ::unlink(temporary.c_str());
    return Swap::kDone;
  }
  // Someone saved between the last look and the swap: their file goes back.
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
    error = systemError("cannot put back the save made meanwhile, kept as", temporary);
    return Swap::kFailed;
  }
  ::unlink(temporary.c_str());
  return Swap::kRaced;
}
}  // namespace

GuardedWriteResult rewriteFileGuarded(const std::string& osFileName, const MergeIntoFile& merge,
                                      const GuardedWriteHooks& hooks) {
  GuardedWriteResult result;
  std::string target;
  if (!resolveTarget(osFileName, target, result.error)) return result;
  for (int attempt = 0; attempt < kMaxMerges; ++attempt) {
    Snapshot seen;
    if (!takeSnapshot(target, seen, result.error)) return result;
    if (!seen.exists) {
      result.error = "cannot read " + target + ": " + std::strerror(ENOENT);
      return result;
    }
    ++result.merges;
    std::vector<uint8_t> bytes;
    if (!merge(seen.bytes, bytes)) {
      result.outcome = GuardedWriteResult::Outcome::kRefused;
      return result;
    }
    if (bytes == seen.bytes) {
      result.outcome = GuardedWriteResult::Outcome::kUnchanged;
      result.written = std::move(bytes);
      return result;
    }
    if (hooks.afterMerge) hooks.afterMerge();

    if (seen.status.st_nlink > 1) {
      bool changed = false;
      if (rewriteInPlace(target, seen, bytes, changed, result.error)) {
        result.outcome = GuardedWriteResult::Outcome::kWritten;
        result.written = std::move(bytes);
        return result;
      }
      if (changed) continue;
      return result;
    }

    const std::string temporary = temporaryBeside(target);
    if (!writeReplacement(temporary, seen, bytes, result.error)) return result;
    Snapshot now;
    if (!takeSnapshot(target, now, result.error)) {
      ::unlink(temporary.c_str());
      return result;
    }
    if (!now.exists || now.bytes != seen.bytes) {
      ::unlink(temporary.c_str());
      continue;
    }
    if (hooks.beforeSwap) hooks.beforeSwap();
    const Swap swap = swapIn(temporary, target, seen, result.error);
    if (swap == Swap::kFailed) return result;
    if (swap == Swap::kRaced) continue;
    result.outcome = GuardedWriteResult::Outcome::kWritten;
    result.written = std::move(bytes);
    return result;
  }
  result.error = target + " kept changing while the edit was being written; the edit was not applied";
  return result;
}
