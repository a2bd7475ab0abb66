#include "render/ffmpeg_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "resources/file_utils.h"

FfmpegProcess::~FfmpegProcess() {
  if (pipe_ >= 0) close(pipe_);
  if (child_ > 0) {
    kill(child_, SIGTERM);
    waitpid(child_, nullptr, 0);
  }
}

bool FfmpegProcess::start(std::vector<std::string> arguments, bool pipeInput, std::string& error) {
  int fds[2] = {-1, -1};
  if (pipeInput && pipe(fds) != 0) {
    error = "cannot make a pipe to ffmpeg";
    return false;
  }
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  child_ = fork();
  if (child_ == 0) {
    if (pipeInput) {
      dup2(fds[0], STDIN_FILENO);
      close(fds[0]);
      close(fds[1]);
    } else {
      const int devnull = open("/dev/null", O_RDONLY);
      if (devnull >= 0) dup2(devnull, STDIN_FILENO);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (pipeInput) close(fds[0]);
  if (child_ < 0) {
    if (pipeInput) close(fds[1]);
    error = "cannot start ffmpeg";
    return false;
  }
  pipe_ = pipeInput ? fds[1] : -1;
  // A dead encoder must give a write error, not kill the renderer.
  signal(SIGPIPE, SIG_IGN);
  return true;
}

bool FfmpegProcess::write(const unsigned char* bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(pipe_, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FfmpegProcess::finish() {
  if (pipe_ >= 0) close(pipe_);
  pipe_ = -1;
  int status = 0;
  while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
  }
  child_ = -1;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool programOnPath(const std::string& program) {
  namespace fs = std::filesystem;
  const char* path = std::getenv("PATH");
  if (!path) return false;
  for (const std::string& dir : splitString(path, ':')) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / program;
    if (access(candidate.c_str(), X_OK) == 0 && fs::is_regular_file(candidate)) return true;
  }
  return false;
}
