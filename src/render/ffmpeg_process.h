// ffmpeg as a child process, started from an argument list (never a shell),
// optionally fed through a pipe on its standard input. Owns the process and
// the pipe; knows nothing of what is encoded.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class FfmpegProcess {
 public:
  FfmpegProcess() = default;
  // Ends a process still running (an interrupted render) and reaps it.
  ~FfmpegProcess();
  FfmpegProcess(const FfmpegProcess&) = delete;
  FfmpegProcess& operator=(const FfmpegProcess&) = delete;

  // arguments[0] is looked up on the PATH. False, with `error` set, when the
  // process cannot be started.
  bool start(std::vector<std::string> arguments, bool pipeInput, std::string& error);
  // All the bytes into the pipe; false once ffmpeg stopped reading.
  bool write(const unsigned char* bytes, size_t size);
  // Closes the pipe and waits; true when ffmpeg exited with 0.
  bool finish();

 private:
  pid_t child_ = -1;
  int pipe_ = -1;
};

// True when an executable of that name is on the PATH.
bool programOnPath(const std::string& program);
