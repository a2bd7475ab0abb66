#include "support/e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include <filesystem>
#include <cmath>

#include "gpu/texture_pixels.h"
#include "support/test_support.h"

extern char** environ;

namespace {
std::vector<char*> cStrings(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

// The test's environment with the extra "NAME=value" entries set and the
// "-NAME" entries removed.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool overridden = false;
    for (const std::string& x : extra) {
      overridden |= x.compare(0, name.size() + 1, name + "=") == 0 || x == "-" + name;
    }
    if (!overridden) merged.push_back(entry);
  }
  for (const std::string& x : extra) {
    if (x.empty() || x[0] != '-') merged.push_back(x);
  }
  return merged;
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            const std::string& outputPath, const std::string& workingDirectory, int extraFd = -1) {
  std::vector<std::string> args = argv;
  std::vector<std::string> env = mergedEnvironment(environment);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // Child: own process group so a kill takes its children too.
  setpgid(0, 0);
  if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(126);
  const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out >= 0) {
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
  }
  const int devnull = open("/dev/null", O_RDONLY);
  if (devnull >= 0) dup2(devnull, STDIN_FILENO);
  (void)extraFd;
  std::vector<char*> cargs = cStrings(args);
  std::vector<char*> cenv = cStrings(env);
  execve(cargs[0], cargs.data(), cenv.data());
  // Not an absolute path: search PATH.
  execvpe(cargs[0], cargs.data(), cenv.data());
  _exit(127);
}
}  // namespace

XvfbServer::XvfbServer(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, STDOUT_FILENO);
    dup2(devnull, STDERR_FILENO);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
           "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
                           const std::vector<std::string>& environment,
                           const std::string& outputPath) {
  pid_ = spawn(argv, environment, outputPath, workingDirectory);
}

ChildProcess::~ChildProcess() {
  if (running()) {
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    status_ = status;
    pid_ = -1;
    return false;
  }
  return r == 0;
}

void ChildProcess::signal(int signalNumber) {
  if (pid_ > 0) kill(pid_, signalNumber);
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (running()) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFEXITED(status_)) return WEXITSTATUS(status_);
  return -1;
}

int runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::string& outputPath, const std::string& workingDirectory) {
  const pid_t pid = spawn(argv, environment, outputPath, workingDirectory);
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void pressKey(const std::string& display, const std::string& key) {
  runProgram({"xdotool", "key", key}, {"DISPLAY=" + display});
}

bool waitForText(const std::string& path, const std::string& text,
                 std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (readFile(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return readFile(path).find(text) != std::string::npos;
}

size_t countOccurrences(const std::string& haystack, const std::string& needle) {
  size_t count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

bool containsInOrder(const std::string& haystack, const std::vector<std::string>& needles,
                     std::string* firstMissing) {
  size_t from = 0;
  for (const std::string& needle : needles) {
    const size_t at = haystack.find(needle, from);
    if (at == std::string::npos) {
      if (firstMissing) *firstMissing = needle;
      return false;
    }
    from = at + needle.size();
  }
  return true;
}

std::string builtProgram(const std::string& name) { return std::string(TARVO_BINARY_DIR) + "/" + name; }

void makeTestProduction(const std::string& dir) {
  namespace fs = std::filesystem;
  const fs::path source(TARVO_SOURCE_DIR);
  fs::copy(source / "tests/e2e/production", dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  const fs::path data = fs::path(dir) / "demosrc/norde/data";
  for (const auto& entry : fs::directory_iterator(source / "demosrc/norde/data")) {
    const std::string name = entry.path().filename().string();
    const bool shader = entry.path().extension() == ".glsl";
    const bool sprite = name == "dot.png" || name == "binary.png" || name == "pointRenderer.png";
    if (shader || sprite) fs::copy_file(entry.path(), data / name, fs::copy_options::overwrite_existing);
  }
  fs::create_directories(fs::path(dir) / "src/drawables");
  for (const char* name : {"cameraHUD.glsl", "cameraHUD.png"}) {
    fs::copy_file(source / "src/drawables" / name, fs::path(dir) / "src/drawables" / name,
                  fs::copy_options::overwrite_existing);
  }
}

bool loadImage(const std::string& path, Image& image) {
  const std::vector<unsigned char> bytes = readBytes(path);
  const TexturePixels pixels = decodeTexturePixels(bytes.data(), bytes.size());
  if (!pixels.ok() || pixels.isHDR) return false;
  image.width = pixels.width;
  image.height = pixels.height;
  if (pixels.channels != 3) {
    image.rgba = pixels.bytes;
    return true;
  }
  // Three-channel images come as tightly packed RGB.
  const size_t pixelCount = static_cast<size_t>(pixels.width) * pixels.height;
  image.rgba.resize(pixelCount * 4);
  for (size_t i = 0; i < pixelCount; ++i) {
    std::memcpy(&image.rgba[i * 4], &pixels.bytes[i * 3], 3);
    image.rgba[i * 4 + 3] = 255;
  }
  return true;
}

double luminanceDeviation(const Image& image) {
  const size_t n = image.rgba.size() / 4;
  if (n == 0) return 0.0;
  double sum = 0.0;
  double squares = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double y = 0.2126 * image.rgba[4 * i] + 0.7152 * image.rgba[4 * i + 1] + 0.0722 * image.rgba[4 * i + 2];
    sum += y;
    squares += y * y;
  }
  const double mean = sum / static_cast<double>(n);
  return std::sqrt(std::max(0.0, squares / static_cast<double>(n) - mean * mean));
}
