// What the player adds around each frame when started with options: the
// transport (a start time, a loop, and in live mode the pause and seek keys),
// and in live mode reload on save and the heads-up display. The frame itself
// is the demo's.
#pragma once

#include <chrono>
#include <memory>

#include "demo/demo.h"
#include "live/hud.h"
#include "live/reloader.h"
#include "live/transport.h"

struct LiveSettings {
  bool live = false;
  bool hasStart = false;
  double start = 0.0;
  bool hasLoop = false;
  double loopFrom = 0.0;
  double loopTo = 0.0;
  bool mute = false;
};

class LiveSession {
 public:
  using Clock = std::chrono::steady_clock;

  // After the demo is built: reads the section table, mutes, seeks to the
  // start, and in live mode starts watching and bakes the display's font.
  LiveSession(Demo& demo, const LiveSettings& settings);

  // Before the frame: keys, reloads, the loop and the hold at the end.
  void beforeFrame();
  // Whether the player goes on after a frame that reported the music's end.
  bool keepsGoingAfterEnd() const { return settings_.live || settings_.hasLoop; }
  // After the frame, before the swap: the display, on the window.
  void drawOverlay(int width, int height);
  // After the swap: reload latencies.
  void framePresented();

  Transport& transport() { return transport_; }
  Reloader* reloader() { return reloader_.get(); }

 private:
  Demo& demo_;
  LiveSettings settings_;
  Transport transport_;
  std::unique_ptr<Reloader> reloader_;
  Hud hud_;
  Clock::time_point lastFrame_;
  double frameMs_ = 0.0;
  bool firstFramePresented_ = false;
};
