// Command-line options of the offline renderer, parsed without side effects:
// where the frames go, which range of the music, at what rate and size.
#pragma once

#include <string>
#include <vector>

struct RenderOptions {
  std::string output;    // a folder for numbered PNG frames, or a path ending in ".mp4"
  double start = 0.0;    // seconds
  double end = -1.0;     // seconds; negative: the end of the soundtrack
  int fps = 60;
  int width = 1920;
  int height = 1080;
  bool help = false;

  bool wantsVideo() const;
};

struct ParsedRenderOptions {
  RenderOptions options;
  std::string error;  // empty when the arguments were valid
};

ParsedRenderOptions parseRenderOptions(const std::vector<std::string>& arguments);

std::string renderUsage();

// The frames of [start, end) at fps: frame f shows time f / fps. A range
// shorter than one frame still gets the frame at its start.
struct FrameRange {
  long long first = 0;
  long long count = 0;
};
FrameRange framesOf(double start, double end, int fps);

// "frame 12 of 600  58.3 fps  0:10 left"
std::string progressLine(long long done, long long total, double elapsedSeconds);
