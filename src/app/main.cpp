// Entry point of the player: clears the last run's log, opens the window and
// GL context, runs the frame loop until Escape, window close or the end of
// the show, then tears down in reverse order.
#include <GL/glew.h>

#include <cstdio>
#include <memory>

#include "app/sdl_audio_stream.h"
#include "app/window.h"
#include "base/keys.h"
#include "base/log.h"
#include "base/profiler.h"
#include "base/screen.h"
#include "demo/demo.h"

namespace {
const char* const kClassName = "tarvo-window";
}

int main(int, char**) {
  std::remove(logFileName.c_str());

  GLWindow window;
  Log("->Initializing GL Window\n");
  if (!OpenWindow(window, true, kClassName)) {
    Log("error::no window, nothing to show\n");
    return 1;
  }
  Log("->Initializing GL Context\n");
  if (!CreateGLContext(window)) {
    Log("error::no GL context, nothing to show\n");
    return 1;
  }

  // The sound device plays the music and is the show's clock.
  auto demo = std::make_unique<Demo>(std::make_unique<SdlAudioStream>());
  LimitFrameRate(1000.0);

  while (true) {
    if (!PumpMessages(window)) break;
    if (KeyPressed('B')) {
      Log("resize: %f %f %f\n", static_cast<double>(screenWidth),
          static_cast<double>(screenHeight), static_cast<double>(screenAspect));
    }
    if (EscapeRequested()) break;
    // The frame that reaches the end of the music is not presented.
    if (!demo->Frame()) break;
    SwapBuffers(window);
    DumpLogOnKey();
  }

  demo.reset();
  ReleaseGLContext(window);
  return 0;
}
