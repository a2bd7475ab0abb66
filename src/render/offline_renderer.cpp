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
#include "gpu/image_prefetch.h"
#include "gpu/offscreen_image.h"
#include "gpu/screen_framebuffer.h"
#include "render/frame_hashes.h"
#include "render/frame_sink.h"
#include "render/pass_profile.h"
#include "render/render_plan.h"
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
    // The music and the images decode on worker threads while the render
    // targets are made.
    auto clockOwner = std::make_unique<ManualClockStream>();
    clockOwner->prefetch(osPath(paths::kMusic));
    ImagePrefetch images(paths::kDataDirectory);
    setScreenFramebuffer(image_.framebuffer());
    glBindFramebuffer(GL_FRAMEBUFFER, image_.framebuffer());
    glViewport(0, 0, options_.width, options_.height);
    setScreenMetrics(options_.width, options_.height);
    clock_ = clockOwner.get();
    clock_->setDriven(true);
    demo_ = std::make_unique<Demo>(std::move(clockOwner), &images);
    // At scale 1 nothing is remade: the frames are exactly the show's.
    if (options_.previewScale != 1.0f) demo_->setPreviewScale(options_.previewScale);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    demo_->setWireStyle(options_.wireStyleGiven ? options_.wireStyle : wireStyleForRenderer(renderer ? renderer : ""));
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

  Profiler& profiler() { return demo_->profiler; }
  const DecodedAudio& audio() const { return clock_->decoded(); }

 private:
  const RenderOptions& options_;
  OffscreenImage image_;
  ManualClockStream* clock_ = nullptr;
  std::unique_ptr<Demo> demo_;
  std::vector<unsigned char> pixels_;
};

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
  for (const FrameHash& entry : framesToCheck(expected.frames, options)) {
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

// Where each finished frame goes: the sink, the hash file and the pass
// profile.
class FrameOutputs {
 public:
  FrameOutputs(const RenderOptions& options, const RenderPlan& plan) : options_(options), plan_(plan) {}

  // False (reported) when the sink or the hash file cannot be written.
  bool open(RenderSession& session) {
    sink_ = plan_.video ? makeVideoSink(options_.output, session.audio())
                        : makePngFolderSink(options_.output, plan_.firstFileNumber);
    if (!sink_->open(plan_.format)) {
      std::fprintf(stderr, "tarvo-render: %s\n", sink_->error().c_str());
      return false;
    }
    if (!options_.hashesFile.empty()) {
      hashes_.open(options_.hashesFile, std::ios::binary | std::ios::trunc);
      if (!hashes_) {
        std::fprintf(stderr, "tarvo-render: cannot write %s\n", options_.hashesFile.c_str());
        return false;
      }
    }
    if (options_.profile) {
      profile_ = std::make_unique<PassProfile>();
      profile_->attach(session.profiler());
    }
    return true;
  }

  // False (reported) when the sink refuses the frame.
  bool write(long long frame, const std::vector<unsigned char>& pixels) {
    if (!sink_->write(pixels)) {
      std::fprintf(stderr, "\ntarvo-render: %s\n", sink_->error().c_str());
      return false;
    }
    if (hashes_.is_open()) {
      hashes_ << frameHashLine(frame, options_.fps, hashFramePixels(pixels));
      hashes_.flush();
    }
    return true;
  }

  bool finish() {
    if (sink_->finish()) return true;
    std::fprintf(stderr, "\ntarvo-render: %s\n", sink_->error().c_str());
    return false;
  }

  PassProfile* profile() { return profile_.get(); }

 private:
  const RenderOptions& options_;
  const RenderPlan& plan_;
  std::unique_ptr<FrameSink> sink_;
  std::ofstream hashes_;
  std::unique_ptr<PassProfile> profile_;
};

// The progress line on standard error, every half second and at the end.
class ProgressLine {
 public:
  explicit ProgressLine(long long total) : total_(total), started_(std::chrono::steady_clock::now()) {}
  void frameDone(long long done) {
    const double elapsed = secondsSince(started_);
    if (elapsed - lastReport_ < kProgressInterval && done != total_) return;
    lastReport_ = elapsed;
    std::fprintf(stderr, "\r%s   ", progressLine(done, total_, elapsed).c_str());
    std::fflush(stderr);
  }
  double elapsed() const { return secondsSince(started_); }

 private:
  long long total_;
  std::chrono::steady_clock::time_point started_;
  double lastReport_ = -kProgressInterval;
};

struct RangeResult {
  bool failed = false;       // an output refused a frame (reported)
  bool interrupted = false;  // keepGoing said stop
  long long rendered = 0;    // frames handed to the outputs
};

// Draws the plan's frames in order; frame i is read back while frame i + 1
// is drawn, then handed on. The last frame drawn, interrupted or not, is
// handed on too.
RangeResult renderRange(RenderSession& session, const RenderPlan& plan, FrameOutputs& outputs,
                        ProgressLine& progress, const std::function<bool()>& keepGoing) {
  RangeResult result;
  PassProfile* profile = outputs.profile();
  double drawSeconds = 0.0;
  long long drawn = 0;
  auto handOn = [&](long long i) {
    const long long frame = plan.frames.first + i;
    const auto outputStarted = std::chrono::steady_clock::now();
    if (!outputs.write(frame, session.finishReadBack(frame))) return false;
    if (profile) profile->frameDone(session.profiler(), drawSeconds, secondsSince(outputStarted));
    result.rendered = i + 1;
    progress.frameDone(i + 1);
    return true;
  };
  for (long long i = 0; i < plan.frames.count; ++i) {
    if (keepGoing && !keepGoing()) {
      result.interrupted = true;
      break;
    }
    const auto frameStarted = std::chrono::steady_clock::now();
    session.draw(plan.frames.first + i);
    session.startReadBack(plan.frames.first + i);
    drawn = i + 1;
    if (profile) {
      glFinish();  // the drawing's own time, for the report
      drawSeconds = secondsSince(frameStarted);
    }
    if (i > 0 && !handOn(i - 1)) {
      result.failed = true;
      return result;
    }
  }
  if (drawn > result.rendered && !handOn(drawn - 1)) result.failed = true;
  return result;
}
}  // namespace

int runOfflineRender(const RenderOptions& options, const std::function<bool()>& keepGoing) {
  RenderSession session(options);
  if (!session.open()) return 1;
  if (!options.checkFile.empty()) return checkFrames(options, session);

  const RenderPlan plan = planRender(options, soundtrackSeconds(session.audio()));
  if (plan.frames.count <= 0) {
    std::fprintf(stderr, "tarvo-render: nothing to render: %s\n", plan.problem.c_str());
    return 2;
  }
  FrameOutputs outputs(options, plan);
  if (!outputs.open(session)) return 2;
  ProgressLine progress(plan.frames.count);
  const RangeResult result = renderRange(session, plan, outputs, progress, keepGoing);
  if (result.failed || !outputs.finish()) return 1;
  const double elapsed = progress.elapsed();
  if (outputs.profile()) std::fprintf(stderr, "\n%s", outputs.profile()->report().c_str());
  if (result.interrupted) {
    std::fprintf(stderr, "\ntarvo-render: interrupted after %lld of %lld frames; those are kept in %s\n",
                 result.rendered, plan.frames.count, options.output.c_str());
    return kRenderInterruptedExitCode;
  }
  std::fprintf(stderr, "\nrendered %lld frames at %dx%d in %.1f s (%.2f frames per second) to %s\n",
               plan.frames.count, options.width, options.height, elapsed,
               elapsed > 0.0 ? static_cast<double>(plan.frames.count) / elapsed : 0.0, options.output.c_str());
  return 0;
}
