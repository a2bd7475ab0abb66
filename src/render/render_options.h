// Command-line options of the offline renderer, parsed without side effects:
// where the frames go, which range of the music, at what rate and size.
#pragma once

#include <string>
#include <vector>

#include "demo/wire_style.h"

struct RenderOptions {
  std::string output;    // a folder for numbered PNG frames, or a path ending in ".mp4"
  double start = 0.0;    // seconds
  double end = -1.0;     // seconds; negative: the end of the soundtrack
  int fps = 60;
  int width = 1920;
  int height = 1080;
  bool help = false;
  // --frames A:B: frame numbers at fps, B not included; instead of start/end.
  bool framesGiven = false;
  long long firstFrame = 0;
  long long endFrame = 0;
  // --shard I/N: the I-th (from 0) of N contiguous pieces of the range.
  bool sharded = false;
  int shardIndex = 0;
  int shardCount = 1;
  std::string encodeFolder;  // --encode: assemble these frames into output
  std::string hashesFile;    // --hashes: one "FRAME TIME HASH" line per frame
  std::string checkFile;     // --check: render the listed frames and compare
  bool profile = false;      // --profile: time every pass
  bool timesGiven = false;   // --start or --end given
  // --preview-scale: every pass drawn at this fraction of the design size.
  float previewScale = 1.0f;
  // --wires: how passes below full size draw the wire grid; not given, the
  // renderer picks it from its GL driver.
  bool wireStyleGiven = false;
  WireStyle wireStyle = WireStyle::kLines;

  bool wantsVideo() const;
  // PNG files named by the global frame number, so pieces of a range
  // rendered apart fit together; plain --start/--end renders count from 0.
  bool globalFrameNames() const { return framesGiven || sharded; }
};

struct ParsedRenderOptions {
  RenderOptions options;
  std::string error;  // empty when the arguments were valid
};

// Reads the arguments in order and stops at the first problem: each value
// through applyRenderOption, then the whole through renderOptionsConflict.
ParsedRenderOptions parseRenderOptions(const std::vector<std::string>& arguments);

// Whether the option is one that takes a value.
bool renderOptionTakesValue(const std::string& option);

// One option's value into the options (which hold the earlier arguments: a
// video's --size must be even once --output names one). Empty when taken,
// else the reason ("bad value 'X' for --fps"), and the options unchanged.
std::string applyRenderOption(const std::string& option, const std::string& value, RenderOptions& options);

// Options that do not go together; empty when they do.
std::string renderOptionsConflict(const RenderOptions& options);

std::string renderUsage();

// Latest moment --start and --end accept (a day): far beyond any soundtrack,
// and its frames at the highest frame rate fit every count comfortably.
constexpr double kMaxRenderSeconds = 86400.0;

// The frames of [start, end) at fps: frame f shows time f / fps. A range
// shorter than one frame still gets the frame at its start. Count 0 when a
// bound is not finite or its frame number would pass kMaxFrameNumber.
struct FrameRange {
  long long first = 0;
  long long count = 0;
};
constexpr long long kMaxFrameNumber = 1LL << 53;  // every such number is exact in a double
FrameRange framesOf(double start, double end, int fps);
// The I-th of N contiguous pieces of the range (sizes differ by at most one).
FrameRange shardOf(const FrameRange& range, int index, int count);

// The frames the options ask for, of a soundtrack that many seconds long:
// --frames as given, else [--start, --end or the soundtrack's end) at the
// frame rate; then the --shard piece of that. Count 0 when there are none,
// with the reason in `problem` ("the range starts at or after 5.000 s").
FrameRange requestedFrames(const RenderOptions& options, double soundtrackSeconds, std::string& problem);

// "A:B" frame numbers, 0 <= A < B.
bool parseFrameRange(const std::string& text, long long& first, long long& end);

// "frame 12 of 600  58.3 fps  0:10 left"
std::string progressLine(long long done, long long total, double elapsedSeconds);
