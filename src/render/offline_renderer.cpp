#include "render/offline_renderer.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "audio/manual_clock_stream.h"
#include "base/screen.h"
#include "demo/demo.h"
#include "demo/production_names.h"
#include "gpu/gl.h"
#include "gpu/offscreen_image.h"
#include "gpu/screen_framebuffer.h"
#include "render/frame_sink.h"
#include "resources/file_utils.h"

namespace {
constexpr double kProgressInterval = 0.5;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int runOfflineRender(const RenderOptions& options, const std::function<bool()>& keepGoing) {
  OffscreenImage image(options.width, options.height);
  if (!image.complete()) {
    std::fprintf(stderr, "tarvo-render: cannot make a %dx%d off-screen image on this GL driver\n",
                 options.width, options.height);
    return 1;
  }
  setScreenFramebuffer(image.framebuffer());
  glBindFramebuffer(GL_FRAMEBUFFER, image.framebuffer());
  glViewport(0, 0, options.width, options.height);
  setScreenMetrics(options.width, options.height);

  auto clockOwner = std::make_unique<ManualClockStream>();
  ManualClockStream* clock = clockOwner.get();
  clock->setDriven(true);
  Demo demo(std::move(clockOwner));
  if (!clock->isOpen()) {
    std::fprintf(stderr, "tarvo-render: the soundtrack %s could not be opened\n", osPath(paths::kMusic).c_str());
    return 1;
  }

  const double end = options.end >= 0.0 ? options.end : static_cast<double>(demo.music.length);
  if (end <= options.start) {
    std::fprintf(stderr, "tarvo-render: nothing to render: the range starts at or after %.3f s\n", end);
    return 2;
  }
  const FrameRange range = framesOf(options.start, end, options.fps);
  FrameFormat format;
  format.width = options.width;
  format.height = options.height;
  format.fps = options.fps;
  format.start = static_cast<double>(range.first) / options.fps;
  format.duration = static_cast<double>(range.count) / options.fps;

  std::unique_ptr<FrameSink> sink = options.wantsVideo()
                                        ? makeVideoSink(options.output, osPath(paths::kMusic))
                                        : makePngFolderSink(options.output);
  if (!sink->open(format)) {
    std::fprintf(stderr, "tarvo-render: %s\n", sink->error().c_str());
    return 2;
  }

  std::vector<unsigned char> pixels;
  const auto started = std::chrono::steady_clock::now();
  double lastReport = -kProgressInterval;
  long long rendered = 0;
  bool interrupted = false;
  for (long long i = 0; i < range.count; ++i) {
    if (keepGoing && !keepGoing()) {
      interrupted = true;
      break;
    }
    clock->setFrame(range.first + i, options.fps);
    glBindFramebuffer(GL_FRAMEBUFFER, image.framebuffer());
    glViewport(0, 0, options.width, options.height);
    demo.Frame();
    image.read(pixels);
    if (!sink->write(pixels)) {
      std::fprintf(stderr, "\ntarvo-render: %s\n", sink->error().c_str());
      return 1;
    }
    rendered = i + 1;
    const double elapsed = secondsSince(started);
    if (elapsed - lastReport >= kProgressInterval || i + 1 == range.count) {
      lastReport = elapsed;
      std::fprintf(stderr, "\r%s   ", progressLine(i + 1, range.count, elapsed).c_str());
      std::fflush(stderr);
    }
  }
  if (!sink->finish()) {
    std::fprintf(stderr, "\ntarvo-render: %s\n", sink->error().c_str());
    return 1;
  }
  const double elapsed = secondsSince(started);
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
