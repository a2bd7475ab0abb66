#include "render/render_options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/number_parsing.h"
#include "base/text.h"

namespace {
constexpr int kMaxFps = 1000;
constexpr int kMaxSide = 16384;
}  // namespace

bool RenderOptions::wantsVideo() const { return endsWith(output, ".mp4"); }

ParsedRenderOptions parseRenderOptions(const std::vector<std::string>& arguments) {
  ParsedRenderOptions parsed;
  RenderOptions& o = parsed.options;
  bool startGiven = false;
  bool endGiven = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      return parsed;
    }
    if (a == "--profile") {
      o.profile = true;
      continue;
    }
    const bool takesValue = a == "--output" || a == "--start" || a == "--end" || a == "--fps" ||
                            a == "--size" || a == "--frames" || a == "--shard" || a == "--encode" ||
                            a == "--hashes" || a == "--check";
    const std::string* taken = takeOptionValue(arguments, i, takesValue, parsed.error);
    if (!taken) return parsed;
    const std::string& value = *taken;
    bool ok = true;
    if (a == "--output") {
      o.output = value;
      ok = !value.empty();
    } else if (a == "--start" || a == "--end") {
      const bool isStart = a == "--start";
      double& seconds = isStart ? o.start : o.end;
      ok = parseDouble(value, seconds) && seconds >= 0.0;
      if (isStart) {
        startGiven = true;
      } else {
        endGiven = true;
      }
      if (ok && seconds > kMaxRenderSeconds) {
        parsed.error = "bad value '" + value + "' for " + a + " (at most " +
                       std::to_string(static_cast<long>(kMaxRenderSeconds)) + " seconds)";
        return parsed;
      }
    } else if (a == "--frames") {
      ok = parseFrameRange(value, o.firstFrame, o.endFrame);
      o.framesGiven = true;
    } else if (a == "--shard") {
      const size_t slash = value.find('/');
      ok = slash != std::string::npos && parseInt(value.substr(0, slash), o.shardIndex) &&
           parseInt(value.substr(slash + 1), o.shardCount) && o.shardCount >= 1 && o.shardIndex >= 0 &&
           o.shardIndex < o.shardCount;
      o.sharded = true;
    } else if (a == "--encode") {
      o.encodeFolder = value;
      ok = !value.empty();
    } else if (a == "--hashes") {
      o.hashesFile = value;
      ok = !value.empty();
    } else if (a == "--check") {
      o.checkFile = value;
      ok = !value.empty();
    } else if (a == "--fps") {
      ok = parseInt(value, o.fps) && o.fps > 0 && o.fps <= kMaxFps;
    } else if (a == "--size") {
      ok = parseSize(value, o.width, o.height) && o.width > 0 && o.height > 0 &&
           o.width <= kMaxSide && o.height <= kMaxSide;
      // H.264 in yuv420p needs even sides.
      if (ok && o.wantsVideo() && (o.width % 2 != 0 || o.height % 2 != 0)) ok = false;
    }
    if (!ok) {
      parsed.error = "bad value '" + value + "' for " + a;
      return parsed;
    }
  }
  if (o.framesGiven && (startGiven || endGiven)) {
    parsed.error = "--frames and --start/--end name the same thing: give one of them";
  } else if (!o.encodeFolder.empty() && !o.wantsVideo()) {
    parsed.error = "--encode needs --output FILE.mp4";
  } else if (!o.encodeFolder.empty() && (!o.hashesFile.empty() || !o.checkFile.empty() || o.sharded)) {
    parsed.error = "--encode assembles frames already rendered: it takes no --hashes, --check or --shard";
  } else if (!o.checkFile.empty() && !o.hashesFile.empty()) {
    parsed.error = "--check compares with a hash file; --hashes writes one: give one of them";
  } else if (o.output.empty() && o.checkFile.empty()) {
    parsed.error = "--output is required";
  } else if (o.end >= 0.0 && o.end <= o.start) {
    parsed.error = "--end must be after --start";
  } else if (o.wantsVideo() && (o.width % 2 != 0 || o.height % 2 != 0)) {
    parsed.error = "a video needs an even width and height";
  }
  return parsed;
}

std::string renderUsage() {
  return "usage: tarvo-render --output PATH [--start SECONDS] [--end SECONDS | --frames A:B] [--fps N]\n"
         "                    [--size WxH] [--shard I/N] [--hashes FILE] [--profile]\n"
         "       tarvo-render --check FILE [--frames A:B] [--fps N] [--size WxH]\n"
         "       tarvo-render --encode FOLDER --output FILE.mp4 [--start S --end S | --frames A:B] [--fps N]\n"
         "\n"
         "Renders the production in demosrc/norde (relative to the working directory) frame by\n"
         "frame at a fixed frame rate, with no audio device and no real-time clock: frame f shows\n"
         "music time f / fps exactly as the player would show it. It needs no display: without\n"
         "one (DISPLAY unset) it renders through EGL, on a GPU when there is one.\n"
         "\n"
         "  --output PATH     a folder (created when missing) that receives numbered PNG frames\n"
         "                    00000.png, 00001.png, ...; or a path ending in .mp4 that receives an\n"
         "                    H.264 (yuv420p) video with the soundtrack of the same range muxed in\n"
         "                    (needs ffmpeg on the PATH)\n"
         "  --start SECONDS   first moment to render (default 0; at most 86400, as is --end)\n"
         "  --end SECONDS     end of the range, not included (default: the end of the soundtrack)\n"
         "  --frames A:B      the frames A to B-1 at the frame rate, instead of --start/--end; PNG\n"
         "                    files are then named by their frame number (frame 37: 00037.png)\n"
         "  --shard I/N       only the I-th (from 0) of N contiguous pieces of the range, named by\n"
         "                    frame number: N pieces rendered into one folder give the files of one\n"
         "                    render of the whole range, byte for byte\n"
         "  --fps N           frames per second (default 60)\n"
         "  --size WxH        size of the rendered frames (default 1920x1080); the final image is\n"
         "                    composed off-screen at this size, whatever the window or screen\n"
         "  --hashes FILE     also write one line per frame: frame number, time, hash of its pixels\n"
         "  --check FILE      render the frames a hash file lists and report every frame whose hash\n"
         "                    differs (exit code 1 when any does)\n"
         "  --encode FOLDER   assemble FOLDER's frames (named by frame number) of the range into the\n"
         "                    video --output with exactly the soundtrack's samples of that range\n"
         "  --profile         print CPU and GPU time per pass, averaged over the range\n"
         "  --help            this text\n"
         "\n"
         "The same range rendered twice gives byte-identical PNG files on the same machine.\n";
}

FrameRange framesOf(double start, double end, int fps) {
  FrameRange range;
  if (fps <= 0) return range;
  const double first = std::ceil(start * fps - 1e-9);
  const double last = std::ceil(end * fps - 1e-9);  // exclusive
  // Converting a double beyond long long is undefined; such a range has no frames.
  const double limit = static_cast<double>(kMaxFrameNumber);
  if (!(std::fabs(first) <= limit && std::fabs(last) <= limit)) return range;
  range.first = static_cast<long long>(first);
  range.count = std::max(1LL, static_cast<long long>(last) - range.first);
  return range;
}

FrameRange shardOf(const FrameRange& range, int index, int count) {
  FrameRange piece;
  if (count <= 0 || index < 0 || index >= count) return piece;
  // floor(range.count * i / count), split so that no product can overflow.
  const long long whole = range.count / count;
  const long long rest = range.count % count;
  const auto boundary = [&](long long i) { return whole * i + rest * i / count; };
  piece.first = range.first + boundary(index);
  piece.count = boundary(index + 1LL) - boundary(index);
  return piece;
}

bool parseFrameRange(const std::string& text, long long& first, long long& end) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  int a = 0;
  int b = 0;
  if (!parseInt(text.substr(0, colon), a) || !parseInt(text.substr(colon + 1), b)) return false;
  first = a;
  end = b;
  return a >= 0 && b > a;
}

std::string progressLine(long long done, long long total, double elapsedSeconds) {
  const double rate = elapsedSeconds > 0.0 ? static_cast<double>(done) / elapsedSeconds : 0.0;
  const double left = rate > 0.0 ? static_cast<double>(total - done) / rate : 0.0;
  const long long leftSeconds = static_cast<long long>(std::llround(left));
  char text[128];
  std::snprintf(text, sizeof text, "frame %lld of %lld  %.1f fps  %lld:%02lld left", done, total, rate,
                leftSeconds / 60, leftSeconds % 60);
  return text;
}
