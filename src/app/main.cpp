// Entry point of the player: reads its options, clears the last run's log,
// opens the window and GL context, runs the frame loop until Escape, window
// close or the end of the show, then tears down in reverse order. Without
// arguments it plays the show full screen exactly as it always has; options
// add a window size, a start time, a loop, muting, a preview scale and the
// live authoring mode.
#include <GL/glew.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/escape_watch.h"
#include "app/player_options.h"
#include "app/sdl_audio_stream.h"
#include "app/window.h"
#include "audio/music_sections.h"
#include "base/keys.h"
#include "base/log.h"
#include "base/malloc_tuning.h"
#include "base/profiler.h"
#include "base/screen.h"
#include "demo/demo.h"
#include "demo/production_names.h"
#include "demo/wire_style.h"
#include "gpu/image_prefetch.h"
#include "resources/file_utils.h"
#include "live/live_session.h"

namespace {
const char* const kClassName = "tarvo-window";
const char* const kLiveTitle = "tarvo";

int usageError(const std::string& error) {
  std::fprintf(stderr, "tarvo: %s\n(tarvo --help explains the options)\n", error.c_str());
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  const ParsedPlayerOptions parsed = parsePlayerOptions(std::vector<std::string>(argv + 1, argv + argc));
  const PlayerOptions& options = parsed.options;
  if (options.help) {
    std::fputs(playerUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("tarvo %s\n", TARVO_VERSION);
    return 0;
  }
  if (!parsed.error.empty()) return usageError(parsed.error);
  restartWithTunedMalloc(argv);
  LiveSettings settings;
  if (options.any()) {
    ResolvedTimes times;
    std::string error;
    if (!resolvePlayerTimes(options, readSectionTable(paths::kSections).table.sections, times, error)) return usageError(error);
    settings.live = options.live;
    settings.hasStart = times.hasStart;
    settings.start = times.start;
    settings.hasLoop = times.hasLoop;
    settings.loopFrom = times.loopFrom;
    settings.loopTo = times.loopTo;
    settings.mute = options.mute;
    settings.editorPort = options.editorPort;
    settings.editorPage = options.editorPage;
    settings.previewFit = options.preview.fit;
    settings.previewScale = options.preview.scale;
  }

  std::remove(logFileName.c_str());
  // The live mode logs the editor's secret token.
  if (options.live) makeLogFilePrivate();

  GLWindow window;
  Log("->Initializing GL Window\n");
  if (!StartWindowSystem()) {
    Log("error::no window, nothing to show\n");
    return 1;
  }
  // The music and the images decode on worker threads while the window, the
  // context and the render targets are made. Not before the window system
  // starts: that may fork a helper (the desktop bus's autolaunch), and a
  // child forked while other threads hold the allocator's lock can hang
  // before it runs the helper.
  auto stream = std::make_unique<SdlAudioStream>();
  stream->prefetch(osPath(paths::kMusic));
  ImagePrefetch images(paths::kDataDirectory);
  const bool opened = options.windowed ? OpenSizedWindow(window, options.width, options.height, kLiveTitle)
                                       : OpenWindow(window, true, kClassName);
  if (!opened) {
    Log("error::no window, nothing to show\n");
    return 1;
  }
#ifdef TARVO_QUICK_ESCAPE
  // The release build: Escape ends the show at once, even in the middle of a
  // slow frame. An author in live mode gets the orderly end.
  const std::unique_ptr<EscapeWatch> escapeWatch = options.live ? nullptr : watchEscape(window);
#endif
  Log("->Initializing GL Context\n");
  if (!CreateGLContext(window)) {
    Log("error::no GL context, nothing to show\n");
    return 1;
  }

  // The sound device plays the music and is the show's clock.
  auto demo = std::make_unique<Demo>(std::move(stream), &images);
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  demo->setWireStyle(wireStyleForRenderer(renderer ? renderer : ""));
  std::unique_ptr<LiveSession> session;
  if (options.any()) session = std::make_unique<LiveSession>(*demo, settings);
  LimitFrameRate(1000.0);

  while (true) {
    if (!PumpMessages(window)) break;
    if (KeyPressed('B')) {
      Log("resize: %f %f %f\n", static_cast<double>(screenWidth),
          static_cast<double>(screenHeight), static_cast<double>(screenAspect));
    }
    if (EscapeRequested()) break;
    if (session) session->beforeFrame();
    // The frame that reaches the end of the music is not presented, unless
    // the live mode holds it there or a loop goes on.
    const bool goesOn = session ? session->frame() : demo->Frame();
    if (!goesOn && !(session && session->keepsGoingAfterEnd())) break;
    if (session) session->drawOverlay(static_cast<int>(screenWidth), static_cast<int>(screenHeight));
    SwapBuffers(window);
    DumpLogOnKey();
    if (session) session->framePresented();
  }

  session.reset();
  demo.reset();
  ReleaseGLContext(window);
  return 0;
}
