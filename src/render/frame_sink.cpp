#include "render/frame_sink.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <stb_image_write.h>

#include "resources/file_utils.h"

namespace fs = std::filesystem;

namespace {
// Creating and removing a probe file is the one sure test that a folder takes
// new files (permissions, read-only mounts, full disks).
bool canCreateFileIn(const fs::path& folder, std::string& why) {
  const fs::path probe = folder / ".tarvo-render-probe";
  {
    std::ofstream file(probe, std::ios::binary);
    if (!file || !(file << 'x') || !file.flush()) {
      why = std::strerror(errno != 0 ? errno : EACCES);
      return false;
    }
  }
  std::error_code error;
  fs::remove(probe, error);
  return true;
}

class PngFolderSink : public FrameSink {
 public:
  explicit PngFolderSink(std::string folder) : folder_(std::move(folder)) {}

  bool open(const FrameFormat& format) override {
    format_ = format;
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error || !fs::is_directory(folder_)) {
      error_ = "cannot create the folder " + folder_ + ": " + (error ? error.message() : "not a folder");
      return false;
    }
    std::string why;
    if (!canCreateFileIn(folder_, why)) {
      error_ = "cannot write into " + folder_ + ": " + why;
      return false;
    }
    return true;
  }

  bool write(const std::vector<unsigned char>& rgba) override {
    char name[32];
    std::snprintf(name, sizeof name, "%05lld.png", index_);
    const std::string path = (fs::path(folder_) / name).string();
    if (!stbi_write_png(path.c_str(), format_.width, format_.height, 4, rgba.data(), format_.width * 4)) {
      error_ = "could not write " + path;
      return false;
    }
    ++index_;
    return true;
  }

  bool finish() override { return true; }

 private:
  std::string folder_;
  FrameFormat format_;
  long long index_ = 0;
};

class VideoSink : public FrameSink {
 public:
  VideoSink(std::string path, std::string musicPath)
      : path_(std::move(path)), musicPath_(std::move(musicPath)) {}
  ~VideoSink() override {
    if (pipe_ >= 0) close(pipe_);
    if (child_ > 0) {
      kill(child_, SIGTERM);
      waitpid(child_, nullptr, 0);
    }
  }

  bool open(const FrameFormat& format) override {
    format_ = format;
    if (!programOnPath("ffmpeg")) {
      error_ = "ffmpeg is not installed (an .mp4 output needs it; PNG frames do not)";
      return false;
    }
    const fs::path parent = fs::absolute(path_).parent_path();
    std::string why;
    if (!fs::is_directory(parent) || !canCreateFileIn(parent, why)) {
      error_ = "cannot write " + path_ + ": " + (why.empty() ? "no such folder" : why);
      return false;
    }
    char size[32];
    char rate[16];
    char start[32];
    char duration[32];
    std::snprintf(size, sizeof size, "%dx%d", format.width, format.height);
    std::snprintf(rate, sizeof rate, "%d", format.fps);
    std::snprintf(start, sizeof start, "%.6f", format.start);
    std::snprintf(duration, sizeof duration, "%.6f", format.duration);
    std::vector<std::string> args = {
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", "rgba", "-s", size, "-framerate", rate, "-i", "pipe:0",
        "-ss", start, "-t", duration, "-i", musicPath_,
        "-map", "0:v:0", "-map", "1:a:0",
        "-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "medium", "-crf", "18",
        "-c:a", "aac", "-b:a", "192k", "-t", duration, "-shortest", "-movflags", "+faststart", path_};
    return spawn(args);
  }

  bool write(const std::vector<unsigned char>& rgba) override {
    size_t done = 0;
    while (done < rgba.size()) {
      const ssize_t n = ::write(pipe_, rgba.data() + done, rgba.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = "ffmpeg stopped taking frames (see its message above)";
        return false;
      }
      done += static_cast<size_t>(n);
    }
    return true;
  }

  bool finish() override {
    close(pipe_);
    pipe_ = -1;
    int status = 0;
    waitpid(child_, &status, 0);
    child_ = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      error_ = "ffmpeg failed to write " + path_;
      return false;
    }
    return true;
  }

 private:
  bool spawn(std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) {
      error_ = "cannot make a pipe to ffmpeg";
      return false;
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    child_ = fork();
    if (child_ == 0) {
      dup2(fds[0], STDIN_FILENO);
      close(fds[0]);
      close(fds[1]);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(fds[0]);
    if (child_ < 0) {
      close(fds[1]);
      error_ = "cannot start ffmpeg";
      return false;
    }
    pipe_ = fds[1];
    // A dead encoder must give a write error, not kill the renderer.
    signal(SIGPIPE, SIG_IGN);
    return true;
  }

  std::string path_;
  std::string musicPath_;
  FrameFormat format_;
  pid_t child_ = -1;
  int pipe_ = -1;
};
}  // namespace

std::unique_ptr<FrameSink> makePngFolderSink(const std::string& folder) {
  return std::make_unique<PngFolderSink>(folder);
}

std::unique_ptr<FrameSink> makeVideoSink(const std::string& path, const std::string& musicPath) {
  return std::make_unique<VideoSink>(path, musicPath);
}

bool programOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  for (const std::string& dir : splitString(path, ':')) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / program;
    if (access(candidate.c_str(), X_OK) == 0 && fs::is_regular_file(candidate)) return true;
  }
  return false;
}
