#include "demo/offline_renderer.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "app/screen.h"
#include "audio/manual_clock_stream.h"
#include "demo/demo.h"
#include "demo/frame_sink.h"
#include "gpu/gl.h"
#include "gpu/render_target.h"
#include "gpu/screen_framebuffer.h"
#include "resources/file_utils.h"

namespace {
const char* const kMusicPath = "demosrc\\norde\\data\\brivel-669.mp3";
constexpr double kProgressInterval = 0.5;

// The image the final composition and the overlays land in, instead of the
// window.
class OffscreenImage {
 public:
  OffscreenImage(int width, int height) : width_(width), height_(height) {
    glGenTextures(1, &color_);
    glBindTexture(GL_TEXTURE_2D, color_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color_, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    complete_ = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  ~OffscreenImage() {
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteRenderbuffers(1, &depth_);
    glDeleteTextures(1, &color_);
  }
  bool complete() const { return complete_; }
  GLuint framebuffer() const { return framebuffer_; }

  // RGBA, top row first.
  void read(std::vector<unsigned char>& rgba) const {
    const size_t row = static_cast<size_t>(width_) * 4;
    rgba.resize(row * static_cast<size_t>(height_));
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    flipRows(rgba, row, static_cast<size_t>(height_));
  }

 private:
  int width_;
  int height_;
  GLuint color_ = 0;
  GLuint depth_ = 0;
  GLuint framebuffer_ = 0;
  bool complete_ = false;
};

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
    std::fprintf(stderr, "tarvo-render: the soundtrack %s could not be opened\n", osPath(kMusicPath).c_str());
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
                                        ? makeVideoSink(options.output, osPath(kMusicPath))
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
