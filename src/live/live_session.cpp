#include "live/live_session.h"

#include <thread>

#include "audio/music_sections.h"
#include "base/keys.h"
#include "base/log.h"
#include "base/screen.h"
#include "demo/preview_scale.h"
#include "demo/production_names.h"
#include "editor/access.h"
#include "resources/file_utils.h"

namespace {
// Frame time is smoothed over about this many frames for the display.
constexpr double kSmoothing = 1.0 / 20.0;
// While the window is being resized the passes follow at most this often.
constexpr std::chrono::milliseconds kFitInterval{250};
constexpr int kCountersKey = 'N';
// A kept picture is presented again about this often: smooth for the display
// and the free camera, idle in between.
constexpr std::chrono::microseconds kKeptPictureInterval{1000000 / 120};

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
    if (settings.editorPort != 0) startEditor(settings.editorPort, settings.editorPage);
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
    if (editor_) serveEditor();
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
  if (transport_.paused() && state == keptState_ && keptPicture_.holds(state.width, state.height)) {
    // Nothing to draw: at most kKeptPictureRate presents a second, sleeping
    // between them, so a paused show leaves the machine to the author.
    std::this_thread::sleep_until(lastKeptPresent_ + kKeptPictureInterval);
    lastKeptPresent_ = Clock::now();
    keptPicture_.present(state.width, state.height);
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
  state.editorConnected = editor_ && editor_->connectedPages() > 0;
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
  if (!editor_) return;
  const Clock::time_point now = Clock::now();
  for (const Clock::time_point received : editsToShow_) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - received).count();
    Log("editor: edit shown (%lld ms)\n", static_cast<long long>(ms));
  }
  editsToShow_.clear();
  editor_->publishPlayhead({static_cast<double>(demo_.music.time), demo_.music.row, transport_.paused(),
                            transport_.looping()});
}

void LiveSession::startEditor(int firstPort, const std::string& pageFolder) {
  constexpr int kPortsToTry = 10;
  EditorService::Settings editorSettings;
  editorSettings.firstPort = firstPort;
  editorSettings.portsToTry = kPortsToTry;
  editorSettings.token = randomToken();
  editorSettings.pageFolder = pageFolder;
  if (editorSettings.token.empty()) {
    Log("editor: the system gave no random token; going on without the editor\n");
    return;
  }
  syncEditor_ = std::make_unique<SyncTextEditor>(osPath(paths::kSyncText));
  editor_ = std::make_unique<EditorService>();
  if (!editor_->start(editorSettings)) {
    Log("editor: ports %d to %d are taken; going on without the editor\n", firstPort, firstPort + kPortsToTry - 1);
    editor_.reset();
    return;
  }
  publishEditorState();
  Log("editor: http://127.0.0.1:%d/#%s\n", editor_->port(), editorSettings.token.c_str());
}

void LiveSession::serveEditor() {
  editor_->takeWork(editorWork_);
  editorReplies_.clear();
  for (const std::shared_ptr<EditorWork>& work : editorWork_) {
    editorReplies_.push_back(work->kind == EditorWork::Kind::kEdit ? applyEdit(*work)
                                                                   : applyTransport(work->transport));
  }
  // Published before the answers go out, so a page that reads the state
  // after its answer sees its own edit.
  publishEditorState();
  for (size_t i = 0; i < editorWork_.size(); ++i) {
    editorWork_[i]->answer(editorReplies_[i].status, std::move(editorReplies_[i].body));
  }
  editorWork_.clear();
}

EditorReply LiveSession::applyEdit(const EditorWork& work) {
  Reloader& reloader = *reloader_;
  const SyncTextEditor::Result result = syncEditor_->apply(work.edit, reloader.syncVersion());
  if (result.status != 200) return {result.status, result.body};
  if (result.written) {
    reloader.syncTextWritten(result.text);
    editsToShow_.push_back(work.received);
  }
  // The edit is in sync.txt and plays; track files that could not be
  // written are named, and the next edit or save writes them again.
  const std::string trackFiles = reloader.errorOf(paths::kSyncText);
  if (!trackFiles.empty()) return {200, versionJson(reloader.syncVersion(), trackFiles)};
  return {200, versionJson(reloader.syncVersion())};
}

// What the keys and --loop do, with the same log lines.
EditorReply LiveSession::applyTransport(const TransportRequest& request) {
  switch (request.action) {
    case TransportAction::kPlay:
      transport_.resume();
      break;
    case TransportAction::kPause:
      transport_.pause();
      break;
    case TransportAction::kToggle:
      if (transport_.paused()) {
        transport_.resume();
      } else {
        transport_.pause();
      }
      break;
    case TransportAction::kSeek:
      transport_.seek(request.time);
      break;
    case TransportAction::kLoop:
      transport_.setLoop(request.from, request.to);
      break;
    case TransportAction::kClearLoop:
      transport_.setLoop(0.0, 0.0);
      break;
  }
  return {200, okJson()};
}

void LiveSession::publishEditorState() {
  const Reloader& reloader = *reloader_;
  const MusicPlayer& music = demo_.music;
  if (music.spectrum.bandValues.data() != publishedSpectrum_ || music.length != publishedLength_) {
    publishedSpectrum_ = music.spectrum.bandValues.data();
    editor_->publishSpectrum(reduceSpectrum(music.spectrum.view(), music.length));
  }
  // Any save may have changed what the state holds (sections, the music's
  // length); the version and the error are compared as they are.
  if (reloader.syncVersion() == publishedVersion_ && reloader.savesHandled() == publishedSaves_ &&
      music.length == publishedLength_ && reloader.error() == publishedError_) {
    return;
  }
  publishedVersion_ = reloader.syncVersion();
  publishedSaves_ = reloader.savesHandled();
  publishedLength_ = music.length;
  publishedError_ = reloader.error();
  std::vector<DocumentTrack> tracks;
  SyncDocument document;
  std::string unused;
  if (reloader.hasSyncText() && document.parse(reloader.syncText(), unused)) {
    tracks = document.tracks();
  } else {
    for (int i = 0; i < kSyncTrackCount; ++i) {
      const std::string name = std::to_string(i);
      tracks.push_back({name, name, music.tracks[i] ? music.tracks[i]->keys : std::vector<SyncKey>{}});
    }
  }
  editor_->publishState(stateJson(publishedVersion_, music.length, withShowTracks(std::move(tracks)),
                                  transport_.sections(), publishedError_),
                        publishedVersion_, publishedError_, editableRowLimit(music.length));
}
