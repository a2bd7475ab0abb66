#include "render/render_options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/number_parsing.h"

namespace {
constexpr int kMaxFps = 1000;
constexpr int kMaxSide = 16384;

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}
}  // namespace

bool RenderOptions::wantsVideo() const { return endsWith(output, ".mp4"); }

ParsedRenderOptions parseRenderOptions(const std::vector<std::string>& arguments) {
  ParsedRenderOptions parsed;
  RenderOptions& o = parsed.options;
  bool startGiven = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      return parsed;
    }
    const bool takesValue = a == "--output" || a == "--start" || a == "--end" || a == "--fps" ||
                            a == "--size";
    const std::string* taken = takeOptionValue(arguments, i, takesValue, parsed.error);
    if (!taken) return parsed;
    const std::string& value = *taken;
    bool ok = true;
    if (a == "--output") {
      o.output = value;
      ok = !value.empty();
    } else if (a == "--start") {
      ok = parseDouble(value, o.start) && o.start >= 0.0;
      startGiven = true;
    } else if (a == "--end") {
      ok = parseDouble(value, o.end) && o.end >= 0.0;
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
  (void)startGiven;
  if (o.output.empty()) {
    parsed.error = "--output is required";
  } else if (o.end >= 0.0 && o.end <= o.start) {
    parsed.error = "--end must be after --start";
  } else if (o.wantsVideo() && (o.width % 2 != 0 || o.height % 2 != 0)) {
    parsed.error = "a video needs an even width and height";
  }
  return parsed;
}

std::string renderUsage() {
  return "usage: tarvo-render --output PATH [--start SECONDS] [--end SECONDS] [--fps N] [--size WxH]\n"
         "\n"
         "Renders the production in demosrc/norde (relative to the working directory) frame by\n"
         "frame at a fixed frame rate, with no audio device and no real-time clock: frame f shows\n"
         "music time start + f / fps exactly as the player would show it.\n"
         "\n"
         "  --output PATH     a folder (created when missing) that receives numbered PNG frames\n"
         "                    00000.png, 00001.png, ...; or a path ending in .mp4 that receives an\n"
         "                    H.264 (yuv420p) video with the soundtrack of the same range muxed in\n"
         "                    (needs ffmpeg on the PATH)\n"
         "  --start SECONDS   first moment to render (default 0)\n"
         "  --end SECONDS     end of the range, not included (default: the end of the soundtrack)\n"
         "  --fps N           frames per second (default 60)\n"
         "  --size WxH        size of the rendered frames (default 1920x1080); the final image is\n"
         "                    composed off-screen at this size, whatever the window or screen\n"
         "  --help            this text\n"
         "\n"
         "It needs an X display for its OpenGL context; on a machine without one run it under\n"
         "Xvfb:  xvfb-run -a build/tarvo-render --output norde.mp4\n"
         "The same range rendered twice gives byte-identical PNG files on the same machine.\n";
}

FrameRange framesOf(double start, double end, int fps) {
  FrameRange range;
  if (fps <= 0) return range;
  range.first = static_cast<long long>(std::ceil(start * fps - 1e-9));
  const long long last = static_cast<long long>(std::ceil(end * fps - 1e-9));  // exclusive
  range.count = std::max(1LL, last - range.first);
  return range;
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
