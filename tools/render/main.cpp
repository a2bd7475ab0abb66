// tarvo-render: the production as numbered PNG frames or an MP4 video, frame
// by frame at a fixed rate, with no audio device and no real-time clock; with
// a display through a hidden window, without one through EGL (a GPU when
// there is one). Also checks renders against hash files and assembles videos
// from frames.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/headless_gl.h"
#include "app/window.h"
#include "base/malloc_tuning.h"
#include "base/log.h"
#include "render/frame_assembly.h"
#include "render/offline_renderer.h"
#include "render/render_options.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

bool hasDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}
}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const ParsedRenderOptions parsed = parseRenderOptions(arguments);
  if (parsed.options.help) {
    std::fputs(renderUsage().c_str(), stdout);
    return 0;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tarvo-render: %s\n(tarvo-render --help explains the options)\n",
                 parsed.error.c_str());
    return 2;
  }
  if (!parsed.options.encodeFolder.empty()) return assembleVideo(parsed.options);
  restartWithTunedMalloc(argv);

  // The renderer keeps its own log so the player's output2.txt is left alone;
  // the pieces of a farm, running side by side in one folder, one each.
  logFileName = parsed.options.sharded ? "output-render-shard-" + std::to_string(parsed.options.shardIndex) + ".txt"
                                       : "output-render.txt";
  std::remove(logFileName.c_str());

  if (hasDisplay()) {
    GLWindow window;
    if (!OpenHiddenWindow(window) || !CreateGLContext(window)) {
      std::fprintf(stderr, "tarvo-render: no OpenGL context on the display %s (unset DISPLAY to render headless)\n",
                   std::getenv("DISPLAY"));
      return 1;
    }
    // Ctrl-C and SIGTERM arrive as a quit event from the window layer: the
    // render stops between frames and keeps what it has made.
    const int result = runOfflineRender(parsed.options, [&window] { return PumpMessages(window); });
    ReleaseGLContext(window);
    return result;
  }

  HeadlessGL gl;
  if (!CreateHeadlessGLContext(gl)) {
    std::fprintf(stderr, "tarvo-render: no OpenGL context through EGL (see output-render.txt)\n");
    return 1;
  }
  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  const int result = runOfflineRender(parsed.options, [] { return stopRequested == 0; });
  ReleaseHeadlessGLContext(gl);
  return result;
}
