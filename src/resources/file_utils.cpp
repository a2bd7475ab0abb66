#include "resources/file_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

std::string osPath(const std::string& programPath) {
  std::string result = programPath;
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

namespace {
// Bare entry names in byte order; empty when the directory can't be listed.
std::vector<std::string> entryNames(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator it(osPath(directory.empty() ? "." : directory), error);
  if (error) return names;
  for (fs::directory_iterator end; it != end; it.increment(error)) {
    if (error) break;
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}
}  // namespace

std::vector<std::string> listDirectory(const std::vector<std::string>& extensions,
                                       const std::string& directory) {
  std::vector<std::string> result;
  for (const std::string& name : entryNames(directory)) {
    for (const std::string& extension : extensions) {
      if (name.find(extension) != std::string::npos) result.push_back(directory + "\\" + name);
    }
  }
  return result;
}

int32_t countDirectoryEntries(const std::string& directory) {
  return static_cast<int32_t>(entryNames(directory).size());
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
  std::string result;
  for (const std::string& piece : splitString(path, '\\')) {
    if (piece.find('.') == std::string::npos) result += piece + "\\";
  }
  return result;
}

std::vector<std::string> splitString(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t end = text.find(delimiter, begin);
    if (end == std::string::npos) {
      pieces.push_back(text.substr(begin));
      break;
    }
    pieces.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return pieces;
}

bool readFileBytes(const std::string& osFileName, std::vector<uint8_t>& bytes) {
  bytes.clear();
  std::error_code error;
  if (fs::is_directory(osFileName, error)) return false;
  std::ifstream file(osFileName, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (file.bad()) {
    bytes.clear();
    return false;
  }
  return true;
}

std::string readFailureReason(const std::string& osFileName) {
  struct stat status;
  if (::stat(osFileName.c_str(), &status) != 0) return std::strerror(errno);
  if (S_ISDIR(status.st_mode)) return "it is a folder, not a file";
  const int fd = ::open(osFileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return "it cannot be read";
}

std::string withoutByteOrderMark(const std::string& text) {
  static const std::string kMark = "\xEF\xBB\xBF";
  return text.compare(0, kMark.size(), kMark) == 0 ? text.substr(kMark.size()) : text;
}

bool writeAllBytes(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      if (wrote == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

bool writeFileAtomically(const std::string& osFileName, const std::vector<uint8_t>& bytes,
                         std::string& error) {
  // Unique to the process, so writers of the same file never share one.
  const std::string temporary = osFileName + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "cannot write " + temporary + ": " + std::strerror(errno);
    return false;
  }
  // A full disk may only show when the data is flushed, so close() counts too.
  bool written = writeAllBytes(fd, bytes);
  int reason = errno;
  if (::close(fd) != 0 && written) {
    written = false;
    reason = errno;
  }
  if (!written) {
    error = "cannot write " + temporary + ": " + std::strerror(reason);
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), osFileName.c_str()) != 0) {
    error = "cannot rename " + temporary + " to " + osFileName + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int32_t fileModificationTime(const std::string& path) {
  struct stat status;
  if (::stat(osPath(path).c_str(), &status) == 0) {
    return static_cast<int32_t>(static_cast<int64_t>(status.st_mtime) & 0xFFFFFFFF);
  }
  const int error = errno;
  std::fflush(stdout);
  std::perror("Problem getting information");
  switch (error) {
    case ENOENT:
      std::printf("File %s not found.\n", path.c_str());
      break;
    case EINVAL:
      std::printf("Invalid parameter to _stat.\n");
      break;
    default:
      std::printf("Unexpected error in _stat.\n");
      break;
  }
  std::fflush(stdout);
  return 0;
}
