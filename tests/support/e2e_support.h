// End-to-end helpers: a private Xvfb server of a chosen size, the real
// programs started as child processes in a working directory of the test's
// choosing, key presses through xdotool, and waiting on the log file.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class XvfbServer {
 public:
  XvfbServer(int width, int height);
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

class ChildProcess {
 public:
  // Starts argv[0] (an absolute path) in workingDirectory with the extra
  // environment entries ("NAME=value" sets, "-NAME" removes); stdout and
  // stderr go to outputPath.
  ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
               const std::vector<std::string>& environment, const std::string& outputPath);
  ~ChildProcess();
  // Waits for the exit; returns the exit code, or -1 on timeout (then killed)
  // or abnormal end.
  int wait(std::chrono::milliseconds timeout);
  bool running();
  // Sends the signal (SIGINT, SIGTERM, ...) to the process.
  void signal(int signalNumber);
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// Runs a program to completion (no shell) and returns its exit code.
int runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::string& outputPath = "/dev/null",
               const std::string& workingDirectory = "");

// xdotool key NAME on the given display.
void pressKey(const std::string& display, const std::string& key);

// Polls the file until it contains the text (true) or the timeout passes.
bool waitForText(const std::string& path, const std::string& text,
                 std::chrono::milliseconds timeout);

// Counts non-overlapping occurrences.
size_t countOccurrences(const std::string& haystack, const std::string& needle);

// True when every needle occurs, in order, each after the previous one.
bool containsInOrder(const std::string& haystack, const std::vector<std::string>& needles,
                     std::string* firstMissing = nullptr);

std::string builtProgram(const std::string& name);  // TARVO_BINARY_DIR/name

// Lays out the small test production in dir: tests/e2e/production (music,
// sync tracks, camera keys, overlay image) plus the real production's shaders
// and sprites and the camera HUD files, as the programs expect them relative
// to their working directory.
void makeTestProduction(const std::string& dir);

// Decoded image (RGBA) and a measure of how much it varies.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;
};
bool loadImage(const std::string& path, Image& image);
// Standard deviation of the luminance over all pixels.
double luminanceDeviation(const Image& image);
