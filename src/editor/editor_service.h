// The sync editor's service: HTTP on 127.0.0.1 for the editor page, on one
// I/O thread of its own (see http_server.h for the limits). It serves the
// page's files (built into the player, or from a folder while the page is
// worked on), checks every request's
// Host, token and (for changes) Origin, reads the state, spectrum and
// playhead the main thread publishes, and queues edits and transport
// requests for the main thread to take once per frame and answer. It never
// touches the show: no GL, no tracks, no music.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/edit_request.h"
#include "editor/editor_state.h"

struct Playhead {
  double time = 0.0;  // seconds
  double row = 0.0;
  bool paused = false;
  bool looping = false;
};

struct EditorReply {
  int status = 200;
  std::string body;  // JSON
};

// One change the page asked for, waiting for the main thread.
struct EditorWork {
  enum class Kind { kEdit, kTransport };
  Kind kind = Kind::kEdit;
  EditRequest edit;
  TransportRequest transport;
  std::chrono::steady_clock::time_point received;  // when the request came in

  // Called once, by whoever took the work (later calls do nothing).
  void answer(int status, std::string body) {
    if (!answered.exchange(true) && deliver) deliver({status, std::move(body)});
  }
  std::function<void(EditorReply)> deliver;  // set by the service
  std::atomic<bool> answered{false};
};

class EditorService {
 public:
  // Request bodies beyond this are refused (413).
  static constexpr size_t kMaxBodyBytes = 1 << 20;
  // The playhead goes to each open event stream this often.
  static constexpr std::chrono::milliseconds kPlayheadInterval{40};

  struct Settings {
    int firstPort = 7040;  // 0: any free port (tests)
    int portsToTry = 10;
    std::string token;
    std::string pageFolder;  // empty: the page built into the player
    // How long a request waits for the main thread to take it (the first
    // frame may take seconds); past it, it is withdrawn and refused (503).
    std::chrono::milliseconds takeTimeout{10000};
  };

  EditorService();
  ~EditorService();  // stops
  EditorService(const EditorService&) = delete;
  EditorService& operator=(const EditorService&) = delete;

  // Binds the first free port of the range on 127.0.0.1 and serves on its
  // own thread. False when none was free.
  bool start(const Settings& settings);
  // Refuses what is still queued, ends the event streams and joins.
  void stop();
  int port() const;

  // The main thread's side. Cheap enough for every frame; nothing blocks on
  // a request in flight.
  void publishPlayhead(const Playhead& playhead);
  void publishState(std::string stateJson, int64_t version, const std::string& error, int32_t maxRow);
  void publishSpectrum(SpectrumColumns spectrum);
  // The music's beats and onsets as the JSON of GET /api/music; each
  // publish sends a "music" event to the open streams.
  void publishMusic(std::string musicJson);
  // Moves the queued work into `out`; each must be answered.
  void takeWork(std::vector<std::shared_ptr<EditorWork>>& out);
  // Open event streams: a page is connected.
  int connectedPages() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
