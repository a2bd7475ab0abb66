// Where the offline renderer's finished frames go: numbered PNG files in a
// folder, or an H.264 video with the soundtrack's samples of the same range,
// encoded by an ffmpeg child process fed through a pipe (no shell).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/mp3_decoder.h"

struct FrameFormat {
  int width = 0;
  int height = 0;
  int fps = 0;
  long long firstFrame = 0;  // frame number of the first frame, at fps
  long long frameCount = 0;
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

// Frames NNNNN.png in the folder (created when missing), numbered from
// firstNumber.
std::unique_ptr<FrameSink> makePngFolderSink(const std::string& folder, long long firstNumber = 0);

// An MP4 at the path with the audio's samples of the frames' range. The
// audio must outlive the sink.
std::unique_ptr<FrameSink> makeVideoSink(const std::string& path, const DecodedAudio& audio);

// A PNG frame's file name in a folder: folder/NNNNN.png.
std::string frameFileName(const std::string& folder, long long number);

// Checks that a file can be created in the folder; `why` says why not.
bool canCreateFileIn(const std::string& folder, std::string& why);

// The ffmpeg arguments for muxing H.264 video from the first input and the
// WAV at audioPath (cut after that many seconds when positive): shared by
// the renderer's video and frame assembly.
std::vector<std::string> videoEncoderArguments(const std::string& audioPath, const std::string& outputPath,
                                               double seconds);
