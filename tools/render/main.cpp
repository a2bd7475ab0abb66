// tarvo-render: the production as numbered PNG frames or an MP4 video, frame
// by frame at a fixed rate, with no audio device and no real-time clock.
#include <cstdio>
#include <string>
#include <vector>

#include "app/window.h"
#include "base/log.h"
#include "render/offline_renderer.h"
#include "render/render_options.h"

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

  // The renderer keeps its own log so the player's output2.txt is left alone.
  logFileName = "output-render.txt";
  std::remove(logFileName.c_str());

  GLWindow window;
  if (!OpenHiddenWindow(window) || !CreateGLContext(window)) {
    std::fprintf(stderr,
                 "tarvo-render: no OpenGL context (is there a display? on a machine without one run\n"
                 "  xvfb-run -a build/tarvo-render ...)\n");
    return 1;
  }
  // Ctrl-C and SIGTERM arrive as a quit event from the window layer: the
  // render stops between frames and keeps what it has made.
  const int result = runOfflineRender(parsed.options, [&window] { return PumpMessages(window); });
  ReleaseGLContext(window);
  return result;
}
