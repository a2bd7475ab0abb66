// What the player adds around each frame when started with options: the
// transport (a start time, a loop, and in live mode the pause and seek keys),
// the preview scale, and in live mode reload on save, the heads-up display,
// the paused picture that is drawn once and then presented again, and the
// sync editor's service, whose queued requests each frame takes and answers
// on the main thread. The frame's passes are the demo's.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "editor/editor_service.h"
#include "editor/sync_text_editor.h"
#include "gpu/screen_copy.h"
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
  // The passes' scale: fitted to the window's height, or fixed.
  bool previewFit = false;
  float previewScale = 1.0f;
  // The sync editor's first port in live mode; 0: no editor.
  int editorPort = 0;
  // The folder the editor page is served from; empty: the built-in copy.
  std::string editorPage;
};

class LiveSession {
 public:
  using Clock = std::chrono::steady_clock;

  // After the demo is built: reads the section table, mutes, seeks to the
  // start, sets the preview scale, and in live mode starts watching, bakes
  // the display's font and starts the sync editor's service.
  LiveSession(Demo& demo, const LiveSettings& settings);

  // Before the frame: keys, reloads, the sync editor's requests, the
  // preview scale, the loop and the hold at the end.
  void beforeFrame();
  // The frame: the demo's, or in live mode, while paused and nothing that
  // shows has changed, the kept picture presented again. False once the
  // music has ended.
  bool frame();
  // Whether the player goes on after a frame that reported the music's end.
  bool keepsGoingAfterEnd() const { return settings_.live || settings_.hasLoop; }
  // After the frame, before the swap: the display, on the window.
  void drawOverlay(int width, int height);
  // After the swap: reload and edit latencies, the editor's playhead.
  void framePresented();

  Transport& transport() { return transport_; }
  Reloader* reloader() { return reloader_.get(); }

 private:
  // Everything the picture depends on besides the files (whose saves are
  // counted): equal states draw equal pictures.
  struct PictureState {
    double time = 0.0;
    std::array<float, 10> view{};  // eye, look-at, up, field of view
    bool freeCamera = false;
    size_t keyCount = 0;
    int currentKey = 0;
    int savesHandled = 0;
    float scale = 1.0f;
    int width = 0;
    int height = 0;
    bool operator==(const PictureState& other) const;
  };

  PictureState pictureState() const;
  void startEditor(int firstPort, const std::string& pageFolder);
  // Before the frame: what the page asked for, applied; the state it reads,
  // published; then the answers.
  void serveEditor();
  EditorReply applyEdit(const EditorWork& work);
  EditorReply applyTransport(const TransportRequest& request);
  void publishEditorState();
  void setPreviewScale(float scale, const char* why);
  void followWindow(Clock::time_point now);
  void handleScaleKeys();

  Demo& demo_;
  LiveSettings settings_;
  Transport transport_;
  std::unique_ptr<Reloader> reloader_;
  Hud hud_;
  Clock::time_point lastFrame_;
  double frameMs_ = 0.0;
  bool firstFramePresented_ = false;

  // The preview scale in use, and when the window's height last resized
  // the passes (a resize in progress does so at most every 250 ms).
  float previewScale_ = 1.0f;
  int fittedHeight_ = 0;
  Clock::time_point lastFit_;
  std::string previewText_;

  // The paused picture: a copy of the last drawn one and what it showed.
  ScreenCopy keptPicture_;
  PictureState keptState_;
  Clock::time_point lastKeptPresent_;
  long long framesPresented_ = 0;
  long long scenesDrawn_ = 0;

  // The sync editor, its work taken this frame (reused), what it was last
  // told, and when each applied edit came in, until a frame shows it.
  std::unique_ptr<EditorService> editor_;
  std::unique_ptr<SyncTextEditor> syncEditor_;
  std::vector<std::shared_ptr<EditorWork>> editorWork_;
  std::vector<EditorReply> editorReplies_;
  int64_t publishedVersion_ = -1;
  int publishedSaves_ = -1;
  std::string publishedError_;
  const float* publishedSpectrum_ = nullptr;
  float publishedLength_ = -1.0f;
  std::vector<Clock::time_point> editsToShow_;
};
