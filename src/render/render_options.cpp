#include "render/render_options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/number_parsing.h"
#include "base/text.h"
#include "demo/preview_scale.h"
#include "demo/wire_style.h"

namespace {
constexpr int kMaxFps = 1000;
constexpr int kMaxSide = 16384;

// Takes one option's value; false when it is refused, with `error` set
// where the plain "bad value" would not say enough.
using ValueTaker = bool (*)(const std::string& value, RenderOptions& options, std::string& error);

bool takeSeconds(const char* option, const std::string& value, double& seconds, std::string& error) {
  if (!parseDouble(value, seconds) || seconds < 0.0) return false;
  if (seconds > kMaxRenderSeconds) {
    error = "bad value '" + value + "' for " + option + " (at most " +
            std::to_string(static_cast<long>(kMaxRenderSeconds)) + " seconds)";
    return false;
  }
  return true;
}

bool takePath(const std::string& value, std::string& path) {
  path = value;
  return !value.empty();
}

struct ValueOption {
  const char* name;
  ValueTaker take;
};

const ValueOption kValueOptions[] = {
    {"--output", [](const std::string& v, RenderOptions& o, std::string&) { return takePath(v, o.output); }},
    {"--start",
     [](const std::string& v, RenderOptions& o, std::string& e) {
       o.timesGiven = true;
       return takeSeconds("--start", v, o.start, e);
     }},
    {"--end",
     [](const std::string& v, RenderOptions& o, std::string& e) {
       o.timesGiven = true;
       return takeSeconds("--end", v, o.end, e);
     }},
    {"--fps",
     [](const std::string& v, RenderOptions& o, std::string&) {
       return parseInt(v, o.fps) && o.fps > 0 && o.fps <= kMaxFps;
     }},
    {"--size",
     [](const std::string& v, RenderOptions& o, std::string&) {
       const bool ok = parseSize(v, o.width, o.height) && o.width > 0 && o.height > 0 && o.width <= kMaxSide &&
                       o.height <= kMaxSide;
       // H.264 in yuv420p needs even sides.
       return ok && !(o.wantsVideo() && (o.width % 2 != 0 || o.height % 2 != 0));
     }},
    {"--frames",
     [](const std::string& v, RenderOptions& o, std::string&) {
       o.framesGiven = true;
       return parseFrameRange(v, o.firstFrame, o.endFrame);
     }},
    {"--shard",
     [](const std::string& v, RenderOptions& o, std::string&) {
       o.sharded = true;
       const size_t slash = v.find('/');
       return slash != std::string::npos && parseInt(v.substr(0, slash), o.shardIndex) &&
              parseInt(v.substr(slash + 1), o.shardCount) && o.shardCount >= 1 && o.shardIndex >= 0 &&
              o.shardIndex < o.shardCount;
     }},
    {"--encode", [](const std::string& v, RenderOptions& o, std::string&) { return takePath(v, o.encodeFolder); }},
    {"--hashes", [](const std::string& v, RenderOptions& o, std::string&) { return takePath(v, o.hashesFile); }},
    {"--check", [](const std::string& v, RenderOptions& o, std::string&) { return takePath(v, o.checkFile); }},
    {"--preview-scale",
     [](const std::string& v, RenderOptions& o, std::string& e) {
       PreviewScaleChoice choice;
       if (!parsePreviewScale(v, /*allowFit=*/false, choice, e)) return false;
       o.previewScale = choice.scale;
       return true;
     }},
    {"--wires",
     [](const std::string& v, RenderOptions& o, std::string&) {
       o.wireStyleGiven = true;
       return parseWireStyle(v, o.wireStyle);
     }},
};

const ValueOption* findValueOption(const std::string& option) {
  for (const ValueOption& entry : kValueOptions) {
    if (option == entry.name) return &entry;
  }
  return nullptr;
}
}  // namespace

bool RenderOptions::wantsVideo() const { return endsWith(output, ".mp4"); }

bool renderOptionTakesValue(const std::string& option) { return findValueOption(option) != nullptr; }

std::string applyRenderOption(const std::string& option, const std::string& value, RenderOptions& options) {
  const ValueOption* entry = findValueOption(option);
  if (!entry) return "unknown option '" + option + "'";
  RenderOptions taken = options;
  std::string error;
  if (!entry->take(value, taken, error)) return error.empty() ? "bad value '" + value + "' for " + option : error;
  options = taken;
  return "";
}

std::string renderOptionsConflict(const RenderOptions& o) {
  if (o.framesGiven && o.timesGiven) return "--frames and --start/--end name the same thing: give one of them";
  if (!o.encodeFolder.empty() && !o.wantsVideo()) return "--encode needs --output FILE.mp4";
  if (!o.encodeFolder.empty() && (!o.hashesFile.empty() || !o.checkFile.empty() || o.sharded)) {
    return "--encode assembles frames already rendered: it takes no --hashes, --check or --shard";
  }
  if (!o.encodeFolder.empty() && o.previewScale != 1.0f) {
    return "--encode assembles frames already rendered: --preview-scale belongs to the render that made them";
  }
  if (!o.checkFile.empty() && !o.hashesFile.empty()) {
    return "--check compares with a hash file; --hashes writes one: give one of them";
  }
  if (o.output.empty() && o.checkFile.empty()) return "--output is required";
  if (o.end >= 0.0 && o.end <= o.start) return "--end must be after --start";
  if (o.wantsVideo() && (o.width % 2 != 0 || o.height % 2 != 0)) return "a video needs an even width and height";
  return "";
}

ParsedRenderOptions parseRenderOptions(const std::vector<std::string>& arguments) {
  ParsedRenderOptions parsed;
  RenderOptions& o = parsed.options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    if (option == "--help" || option == "-h") {
      o.help = true;
      return parsed;
    }
    if (option == "--profile") {
      o.profile = true;
      continue;
    }
    const std::string* value = takeOptionValue(arguments, i, renderOptionTakesValue(option), parsed.error);
    if (!value) return parsed;
    parsed.error = applyRenderOption(option, *value, o);
    if (!parsed.error.empty()) return parsed;
  }
  parsed.error = renderOptionsConflict(o);
  return parsed;
}

std::string renderUsage() {
  return "usage: tarvo-render --output PATH [--start SECONDS] [--end SECONDS | --frames A:B] [--fps N]\n"
         "                    [--size WxH] [--preview-scale S] [--wires STYLE] [--shard I/N]\n"
         "                    [--hashes FILE] [--profile]\n"
         "       tarvo-render --check FILE [--frames A:B] [--fps N] [--size WxH] [--preview-scale S]\n"
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
         "  --preview-scale S\n"
         "                    draw every pass at S times the design size 1920x1080 (S from 0.25\n"
         "                    to 1, default 1): a quicker, softer draft of the same picture\n"
         "  --wires lines|shaded\n"
         "                    how passes below full size draw the wire grid: as smooth lines, or\n"
         "                    shaded into the filled mesh (default: shaded on a software GL driver)\n"
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

FrameRange requestedFrames(const RenderOptions& options, double soundtrackSeconds, std::string& problem) {
  FrameRange range;
  if (options.framesGiven) {
    range.first = options.firstFrame;
    range.count = options.endFrame - options.firstFrame;
  } else {
    const double end = options.end >= 0.0 ? options.end : soundtrackSeconds;
    if (end <= options.start) {
      char text[96];
      std::snprintf(text, sizeof text, "the range starts at or after %.3f s", end);
      problem = text;
      return {};
    }
    range = framesOf(options.start, end, options.fps);
  }
  if (options.sharded) {
    range = shardOf(range, options.shardIndex, options.shardCount);
    if (range.count <= 0) {
      problem = "shard " + std::to_string(options.shardIndex) + "/" + std::to_string(options.shardCount) +
                " of this range holds no frames";
    }
  }
  if (range.count <= 0 && problem.empty()) problem = "the range holds no frames";
  return range;
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
