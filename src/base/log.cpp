#include "base/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

#include "base/keys.h"

std::string logFileName = "output2.txt";

namespace {
// Messages may come from more than one thread (the Escape watch).
std::mutex logMutex;
// A log file that could not be opened: the show goes on, its log goes to the
// console only, and the console says so once.
std::string refusedFileName;
}  // namespace

void Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) {
    va_end(args);
    return;
  }
  std::vector<char> text(static_cast<size_t>(length) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);

  std::lock_guard<std::mutex> lock(logMutex);
  // Open, append and close per message: nothing is lost if the program dies.
  if (logFileName != refusedFileName) {
    errno = 0;
    std::ofstream file(logFileName, std::ios::app | std::ios::binary);
    if (file) {
      file.write(text.data(), length);
    } else {
      const int reason = errno;
      refusedFileName = logFileName;
      std::printf("The log file %s cannot be written (%s): the log goes to the console only\n", logFileName.c_str(),
                  reason != 0 ? std::strerror(reason) : "cannot open");
    }
  }
  std::fwrite(text.data(), 1, static_cast<size_t>(length), stdout);
  std::fflush(stdout);
}

void makeLogFilePrivate() {
  constexpr mode_t kOwnerOnly = 0600;
  std::lock_guard<std::mutex> lock(logMutex);
  const int fd = ::open(logFileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, kOwnerOnly);
  if (fd < 0) return;
  (void)::fchmod(fd, kOwnerOnly);
  ::close(fd);
}

void startLogFileLine() {
  std::lock_guard<std::mutex> lock(logMutex);
  if (logFileName == refusedFileName) return;
  std::fstream file(logFileName, std::ios::in | std::ios::out | std::ios::binary | std::ios::ate);
  if (!file || file.tellg() <= 0) return;
  file.seekg(-1, std::ios::end);
  char last = '\n';
  file.get(last);
  if (last == '\n') return;
  file.seekp(0, std::ios::end);
  file.put('\n');
}

void DumpLog() {
  std::printf("output log\n");
  std::ifstream file(logFileName, std::ios::binary);
  std::string line;
  while (std::getline(file, line)) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void DumpLogOnKey() {
  if (KeyPressed('L')) DumpLog();
}
