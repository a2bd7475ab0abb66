#include "live/live_session.h"

#include "audio/music_sections.h"
#include "base/log.h"
#include "demo/production_names.h"

namespace {
// Frame time is smoothed over about this many frames for the display.
constexpr double kSmoothing = 1.0 / 20.0;
}  // namespace

LiveSession::LiveSession(Demo& demo, const LiveSettings& settings)
    : demo_(demo), settings_(settings), transport_(demo.music, settings.live) {
  SectionTableFile sections = readSectionTable(paths::kSections);
  if (!sections.table.problem.empty()) {
    Log("sections: %s: %s\n", paths::kSections.c_str(), sections.table.problem.c_str());
  }
  transport_.setSections(std::move(sections.table.sections));
  if (settings.mute) demo.music.volume = 0.0f;
  if (settings.hasLoop) transport_.setLoop(settings.loopFrom, settings.loopTo);
  if (settings.hasStart) transport_.seek(settings.start);
  if (settings.live) {
    reloader_ = std::make_unique<Reloader>(demo, transport_);
    reloader_->watchAll();
    hud_.create();
    Log("live: watching %s for saves (%s)\n", paths::kProduction.c_str(),
        reloader_->usingInotify() ? "inotify" : "polling");
  }
  lastFrame_ = Clock::now();
}

void LiveSession::beforeFrame() {
  const Clock::time_point now = Clock::now();
  const double ms = std::chrono::duration<double, std::milli>(now - lastFrame_).count();
  lastFrame_ = now;
  frameMs_ = frameMs_ == 0.0 ? ms : frameMs_ + (ms - frameMs_) * kSmoothing;
  if (settings_.live) {
    transport_.handleKeys();
    hud_.handleKeys();
    reloader_->update();
  }
  transport_.beforeFrame();
}

void LiveSession::drawOverlay(int width, int height) {
  if (!settings_.live) return;
  HudState state;
  state.time = demo_.music.time;
  state.row = demo_.music.row;
  state.section = transport_.sectionAt(state.time);
  state.paused = transport_.paused();
  state.looping = transport_.looping();
  state.frameMs = frameMs_;
  state.framesPerSecond = frameMs_ > 0.0 ? 1000.0 / frameMs_ : 0.0;
  state.freeCamera = demo_.scene.camera.freeCamera;
  state.error = reloader_->error();
  hud_.draw(state, width, height);
}

void LiveSession::framePresented() {
  // The first frame may take seconds (shader programs are compiled on first
  // use); the music starts over from where it was asked to once that frame
  // is on screen, so none of it passes unseen.
  if (!firstFramePresented_) {
    firstFramePresented_ = true;
    transport_.restartAt(settings_.hasStart ? settings_.start : 0.0);
  }
  if (reloader_) reloader_->framePresented();
}
