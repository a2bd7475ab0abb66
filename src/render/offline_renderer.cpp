#include "render/offline_renderer.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <map>
#include <vector>

#include "audio/manual_clock_stream.h"
#include "base/screen.h"
#include "demo/demo.h"
#include "demo/production_names.h"
#include "gpu/gl.h"
#include "gpu/offscreen_image.h"
#include "gpu/screen_framebuffer.h"
#include "render/frame_hashes.h"
#include "render/frame_sink.h"
#include "render/pass_profile.h"
#include "resources/file_utils.h"

namespace {
constexpr double kProgressInterval = 0.5;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Everything a render needs set up: the off-screen image standing in for
// the window, and the production driven by a clock of its own.
class RenderSession {
 public:
  explicit RenderSession(const RenderOptions& options)
      : options_(options), image_(options.width, options.height) {}

  // False (reported) when the image or the music cannot be had.
  bool open() {
    if (!image_.complete()) {
      std::fprintf(stderr, "tarvo-render: cannot make a %dx%d off-screen image on this GL driver\n",
                   options_.width, options_.height);
      return false;
    }
    setScreenFramebuffer(image_.framebuffer());
    glBindFramebuffer(GL_FRAMEBUFFER, image_.framebuffer());
    glViewport(0, 0, options_.width, options_.height);
    setScreenMetrics(options_.width, options_.height);
    auto clockOwner = std::make_unique<ManualClockStream>();
    clock_ = clockOwner.get();
    clock_->setDriven(true);
    demo_ = std::make_unique<Demo>(std::move(clockOwner));
    if (!clock_->isOpen()) {
      std::fprintf(stderr, "tarvo-render: the soundtrack %s could not be opened\n", osPath(paths::kMusic).c_str());
      return false;
    }
    return true;
  }

  // Frame f shows time f / fps, computed from the frame number alone.
  const std::vector<unsigned char>& render(long long frame) {
    draw(frame);
    return readBack();
  }
  void draw(long long frame) {
    clock_->setFrame(frame, options_.fps);
    glBindFramebuffer(GL_FRAMEBUFFER, image_.framebuffer());
    glViewport(0, 0, options_.width, options_.height);
    demo_->Frame();
  }
  const std::vector<unsigned char>& readBack() {
    image_.read(pixels_);
    return pixels_;
  }
  void startReadBack(long long frame) { image_.startRead(static_cast<int>(frame & 1)); }
  const std::vector<unsigned char>& finishReadBack(long long frame) {
    image_.finishRead(static_cast<int>(frame & 1), pixels_);
    return pixels_;
  }

  float musicLength() const { return demo_->music.length; }
  Profiler& profiler() { return demo_->profiler; }
  const DecodedAudio& audio() const { return clock_->decoded(); }

 private:
  const RenderOptions& options_;
  OffscreenImage image_;
  ManualClockStream* clock_ = nullptr;
  std::unique_ptr<Demo> demo_;
  std::vector<unsigned char> pixels_;
};

// The frames the options ask for; count 0 (reported) when there are none.
FrameRange requestedRange(const RenderOptions& options, float musicLength) {
  FrameRange range;
  if (options.framesGiven) {
    range.first = options.firstFrame;
    range.count = options.endFrame - options.firstFrame;
  } else {
    const double end = options.end >= 0.0 ? options.end : static_cast<double>(musicLength);
    if (end <= options.start) {
      std::fprintf(stderr, "tarvo-render: nothing to render: the range starts at or after %.3f s\n", end);
      return range;
    }
    range = framesOf(options.start, end, options.fps);
  }
  if (options.sharded) range = shardOf(range, options.shardIndex, options.shardCount);
  return range;
}

int checkFrames(const RenderOptions& options, RenderSession& session) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(options.checkFile, bytes)) {
    std::fprintf(stderr, "tarvo-render: cannot read %s\n", options.checkFile.c_str());
    return 2;
  }
  const FrameHashFile expected = parseFrameHashes(std::string(bytes.begin(), bytes.end()));
  if (!expected.problem.empty()) {
    std::fprintf(stderr, "tarvo-render: %s: %s\n", options.checkFile.c_str(), expected.problem.c_str());
    return 2;
  }
  long long checked = 0;
  long long differing = 0;
  for (const FrameHash& entry : expected.frames) {
    if (options.framesGiven && (entry.frame < options.firstFrame || entry.frame >= options.endFrame)) continue;
    const uint64_t hash = hashFramePixels(session.render(entry.frame));
    ++checked;
    if (hash != entry.hash) {
      ++differing;
      std::printf("frame %lld differs: %016" PRIx64 " instead of %016" PRIx64 "\n", entry.frame, hash,
                  entry.hash);
    }
  }
  std::printf("checked %lld frames: %lld differ\n", checked, differing);
  return differing == 0 ? 0 : 1;
}
}  // namespace

int runOfflineRender(const RenderOptions& options, const std::function<bool()>& keepGoing) {
  RenderSession session(options);
  if (!session.open()) return 1;
  if (!options.checkFile.empty()) return checkFrames(options, session);

  const FrameRange range = requestedRange(options, session.musicLength());
  if (range.count <= 0) {
    if (options.sharded) {
      std::fprintf(stderr, "tarvo-render: shard %d/%d of this range holds no frames\n", options.shardIndex,
                   options.shardCount);
    }
    return 2;
  }
  FrameFormat format;
  format.width = options.width;
  format.height = options.height;
  format.fps = options.fps;
  format.firstFrame = range.first;
  format.frameCount = range.count;

  std::unique_ptr<FrameSink> sink =
      options.wantsVideo() ? makeVideoSink(options.output, session.audio())
                           : makePngFolderSink(options.output, options.globalFrameNames() ? range.first : 0);
  if (!sink->open(format)) {
    std::fprintf(stderr, "tarvo-render: %s\n", sink->error().c_str());
    return 2;
  }
  std::ofstream hashes;
  if (!options.hashesFile.empty()) {
    hashes.open(options.hashesFile, std::ios::binary | std::ios::trunc);
    if (!hashes) {
      std::fprintf(stderr, "tarvo-render: cannot write %s\n", options.hashesFile.c_str());
      return 2;
    }
  }

  std::unique_ptr<PassProfile> profile;
  if (options.profile) {
    profile = std::make_unique<PassProfile>();
    profile->attach(session.profiler());
  }
  const auto started = std::chrono::steady_clock::now();
  double lastReport = -kProgressInterval;
  long long rendered = 0;
  bool interrupted = false;
  long long drawnCount = 0;
  double drawSeconds = 0.0;
  // Frame i is read back while frame i + 1 is drawn, then handed on.
  auto handOn = [&](long long i) {
    const auto outputStarted = std::chrono::steady_clock::now();
    const std::vector<unsigned char>& pixels = session.finishReadBack(range.first + i);
    if (!sink->write(pixels)) {
      std::fprintf(stderr, "\ntarvo-render: %s\n", sink->error().c_str());
      return false;
    }
    if (hashes.is_open()) {
      hashes << frameHashLine(range.first + i, options.fps, hashFramePixels(pixels));
      hashes.flush();
    }
    if (profile) profile->frameDone(session.profiler(), drawSeconds, secondsSince(outputStarted));
    rendered = i + 1;
    const double elapsed = secondsSince(started);
    if (elapsed - lastReport >= kProgressInterval || i + 1 == range.count) {
      lastReport = elapsed;
      std::fprintf(stderr, "\r%s   ", progressLine(i + 1, range.count, elapsed).c_str());
      std::fflush(stderr);
    }
    return true;
  };
  for (long long i = 0; i < range.count; ++i) {
    if (keepGoing && !keepGoing()) {
      interrupted = true;
      break;
    }
    const auto frameStarted = std::chrono::steady_clock::now();
    session.draw(range.first + i);
    session.startReadBack(range.first + i);
    drawnCount = i + 1;
    if (profile) {
      glFinish();  // the drawing's own time, for the report
      drawSeconds = secondsSince(frameStarted);
    }
    if (i > 0 && !handOn(i - 1)) return 1;
  }
  // The last frame drawn, interrupted or not, is kept too.
  if (drawnCount > rendered && !handOn(drawnCount - 1)) return 1;
  if (!sink->finish()) {
    std::fprintf(stderr, "\ntarvo-render: %s\n", sink->error().c_str());
    return 1;
  }
  const double elapsed = secondsSince(started);
  if (profile) std::fprintf(stderr, "\n%s", profile->report().c_str());
  if (interrupted) {
    std::fprintf(stderr, "\ntarvo-render: interrupted after %lld of %lld frames; those are kept in %s\n", rendered,
                 range.count, options.output.c_str());
    return kRenderInterruptedExitCode;
  }
  std::fprintf(stderr, "\nrendered %lld frames at %dx%d in %.1f s (%.2f frames per second) to %s\n",
               range.count, options.width, options.height, elapsed,
               elapsed > 0.0 ? static_cast<double>(range.count) / elapsed : 0.0, options.output.c_str());
  return 0;
}
