#include "live/live_session.h"

#include "audio/music_sections.h"
#include "base/keys.h"
#include "base/log.h"
#include "base/screen.h"
#include "demo/preview_scale.h"
#include "demo/production_names.h"

namespace {
// Frame time is smoothed over about this many frames for the display.
constexpr double kSmoothing = 1.0 / 20.0;
// While the window is being resized the passes follow at most this often.
constexpr std::chrono::milliseconds kFitInterval{250};
constexpr int kCountersKey = 'N';

int windowWidth() { return static_cast<int>(screenWidth); }
int windowHeight() { return static_cast<int>(screenHeight); }
}  // namespace

bool LiveSession::PictureState::operator==(const PictureState& other) const {
  return time == other.time && view == other.view && freeCamera == other.freeCamera &&
         keyCount == other.keyCount && currentKey == other.currentKey && savesHandled == other.savesHandled &&
         scale == other.scale && width == other.width && height == other.height;
}

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
  if (settings.previewFit) {
    fittedHeight_ = windowHeight();
    setPreviewScale(fitPreviewScale(fittedHeight_), "fit to the window");
  } else if (settings.previewScale != 1.0f) {
    setPreviewScale(settings.previewScale, "as asked");
  }
  previewText_ = describePreviewScale(previewScale_);
  if (settings.live) {
    reloader_ = std::make_unique<Reloader>(demo, transport_);
    reloader_->watchAll();
    hud_.create();
    Log("live: watching %s for saves (%s)\n", paths::kProduction.c_str(),
        reloader_->usingInotify() ? "inotify" : "polling");
  }
  lastFrame_ = Clock::now();
  lastFit_ = lastFrame_;
}

void LiveSession::setPreviewScale(float scale, const char* why) {
  previewScale_ = scale;
  demo_.setPreviewScale(scale);
  previewText_ = describePreviewScale(scale);
  Log("%s, %s\n", previewText_.c_str(), why);
}

// Fitted, the passes follow the window's height, though not on every step
// of a resize: remaking the targets costs a frame or more.
void LiveSession::followWindow(Clock::time_point now) {
  if (!settings_.previewFit || windowHeight() <= 0 || windowHeight() == fittedHeight_) return;
  if (now - lastFit_ < kFitInterval) return;
  lastFit_ = now;
  fittedHeight_ = windowHeight();
  const float fitted = fitPreviewScale(fittedHeight_);
  if (fitted != previewScale_) setPreviewScale(fitted, "fit to the window");
}

// [ and ] halve and double the scale; the window's height no longer sets it.
void LiveSession::handleScaleKeys() {
  const bool smaller = KeyPressed(vk::LeftBracket);
  const bool larger = KeyPressed(vk::RightBracket);
  if (!smaller && !larger) return;
  const float scale = smaller ? halvedPreviewScale(previewScale_) : doubledPreviewScale(previewScale_);
  settings_.previewFit = false;
  if (scale != previewScale_) setPreviewScale(scale, smaller ? "halved" : "doubled");
}

void LiveSession::beforeFrame() {
  const Clock::time_point now = Clock::now();
  const double ms = std::chrono::duration<double, std::milli>(now - lastFrame_).count();
  lastFrame_ = now;
  frameMs_ = frameMs_ == 0.0 ? ms : frameMs_ + (ms - frameMs_) * kSmoothing;
  if (settings_.live) {
    transport_.handleKeys();
    hud_.handleKeys();
    handleScaleKeys();
    followWindow(now);
    reloader_->update();
    if (KeyPressed(kCountersKey)) {
      Log("live: %lld frames presented, %lld scenes drawn\n", framesPresented_, scenesDrawn_);
    }
  }
  transport_.beforeFrame();
}

LiveSession::PictureState LiveSession::pictureState() const {
  const Camera& camera = demo_.scene.camera;
  PictureState state;
  state.time = static_cast<double>(demo_.music.time);
  state.view = {camera.eyePos.x,   camera.eyePos.y,   camera.eyePos.z,   camera.lookAt.x, camera.lookAt.y,
                camera.lookAt.z,   camera.upVector.x, camera.upVector.y, camera.upVector.z, camera.fov};
  state.freeCamera = camera.freeCamera;
  state.keyCount = camera.keys.size();
  state.currentKey = camera.currentKey;
  state.savesHandled = reloader_ ? reloader_->savesHandled() : 0;
  state.scale = previewScale_;
  state.width = windowWidth();
  state.height = windowHeight();
  return state;
}

bool LiveSession::frame() {
  if (!settings_.live) return demo_.Frame();
  // The clock and the camera step on every frame, so the free camera and
  // the key editor answer while paused; the passes only run when what they
  // would show differs from the kept picture.
  const FrameValues values = demo_.Step();
  const PictureState state = pictureState();
  if (transport_.paused() && state == keptState_ && keptPicture_.present(state.width, state.height)) {
    demo_.profiler.ReportOnKey();
    return !demo_.musicEnded();
  }
  demo_.DrawScene(values);
  demo_.DrawOverlay(values);
  ++scenesDrawn_;
  if (transport_.paused()) {
    keptPicture_.keep(state.width, state.height);
    keptState_ = state;
  } else {
    keptPicture_.forget();
  }
  return !demo_.musicEnded();
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
  state.preview = previewText_;
  state.error = reloader_->error();
  hud_.draw(state, width, height);
}

void LiveSession::framePresented() {
  ++framesPresented_;
  // The first frame may take seconds (shader programs are compiled on first
  // use); the music starts over from where it was asked to once that frame
  // is on screen, so none of it passes unseen.
  if (!firstFramePresented_) {
    firstFramePresented_ = true;
    transport_.restartAt(settings_.hasStart ? settings_.start : 0.0);
  }
  if (reloader_) reloader_->framePresented();
}
