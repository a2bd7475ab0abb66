// Where the offline renderer's finished frames go: numbered PNG files in a
// folder, or an H.264 video with the soundtrack of the same range, encoded by
// an ffmpeg child process fed through a pipe (no shell is involved).
#pragma once

#include <memory>
#include <string>
#include <vector>

struct FrameFormat {
  int width = 0;
  int height = 0;
  int fps = 0;
  double start = 0.0;     // music time of the first frame, seconds
  double duration = 0.0;  // seconds of music the frames cover
};

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // False, with error() set, when the output cannot be written.
  virtual bool open(const FrameFormat& format) = 0;
  // One frame, RGBA, top row first.
  virtual bool write(const std::vector<unsigned char>& rgba) = 0;
  virtual bool finish() = 0;
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

// Frames 00000.png, 00001.png, ... in the folder (created when missing).
std::unique_ptr<FrameSink> makePngFolderSink(const std::string& folder);

// An MP4 at the path, with the audio of musicPath (an operating-system path)
// from format.start for format.duration seconds.
std::unique_ptr<FrameSink> makeVideoSink(const std::string& path, const std::string& musicPath);

// True when an executable of that name is on the PATH.
bool programOnPath(const std::string& program);
