#include "editor/editor_service.h"

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <httplib.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "editor/access.h"
#include "editor/page_files.h"

using Json = nlohmann::json;

namespace {
constexpr int kLastPort = 65535;
// Idle connections are dropped soon, so that stopping never waits long.
constexpr time_t kKeepAliveSeconds = 1;
constexpr const char* kJson = "application/json";

void refuse(httplib::Response& res, int status, const std::string& message) {
  res.status = status;
  res.set_content(errorJson(message), kJson);
}

std::string defaultMessage(int status) {
  switch (status) {
    case 400:
      return "the request is malformed";
    case 404:
      return "there is nothing here";
    case 405:
      return "the method is not allowed here";
    case 413:
      return "the request body is over 1 MiB";
    case 414:
      return "the request line is too long";
    default:
      return "the request was refused";
  }
}

// The stream's view of what it has sent.
struct EventStream {
  bool started = false;
  int64_t version = -1;
  std::string error;
  int64_t musicVersion = 0;
};
}  // namespace

struct EditorService::Impl {
  Settings settings;
  int port = 0;
  httplib::Server server;
  std::thread thread;

  mutable std::mutex mutex;
  std::condition_variable changed;  // version, error or stopping
  bool stopping = false;
  Playhead playhead;
  std::shared_ptr<const std::string> state = std::make_shared<const std::string>("{}");
  int64_t version = 0;
  std::string error;
  int32_t maxRow = 0;
  std::shared_ptr<const SpectrumColumns> spectrum = std::make_shared<const SpectrumColumns>();
  std::shared_ptr<const std::string> spectrumText;  // built on the first request after a publish
  std::shared_ptr<const std::string> music =
      std::make_shared<const std::string>(R"({"ready": false, "tempo": 0, "pulse": false, "beats": [], "onsets": []})");
  int64_t musicVersion = 0;
  std::vector<std::shared_ptr<EditorWork>> queue;
  std::atomic<int> connected{0};

  void routes();
  bool admitted(const httplib::Request& req, httplib::Response& res) const;
  void serveFile(const httplib::Request& req, httplib::Response& res) const;
  void serveSpectrum(httplib::Response& res);
  bool streamEvents(EventStream& stream, httplib::DataSink& sink);
  EditorReply queueAndWait(const std::shared_ptr<EditorWork>& work);
  void answerWith(httplib::Response& res, const EditorReply& reply) const {
    res.status = reply.status;
    res.set_content(reply.body, kJson);
  }
};

bool EditorService::Impl::admitted(const httplib::Request& req, httplib::Response& res) const {
  // A page from any other name (a rebound DNS name) is not the editor's.
  if (!hostAllowed(req.get_header_value("Host"), port)) {
    refuse(res, 403, "the Host header must be 127.0.0.1:" + std::to_string(port) + ", localhost:" +
                         std::to_string(port) + " or [::1]:" + std::to_string(port));
    return false;
  }
  const bool api = req.path.rfind("/api/", 0) == 0;
  // Only the event stream, which a browser opens without headers, may carry
  // the token in its address: anywhere else an address ends up in logs and
  // histories.
  const bool events = req.path == "/api/events";
  const std::string queryToken = events ? req.get_param_value("token") : std::string();
  if (api && !tokenAllowed(req.get_header_value("Authorization"), queryToken, settings.token)) {
    refuse(res, 401, events ? "the token is missing or wrong (Authorization: Bearer TOKEN, or ?token=TOKEN)"
                            : "the token is missing or wrong (Authorization: Bearer TOKEN)");
    return false;
  }
  if (req.method != "GET" && req.method != "HEAD" && !originAllowed(req.get_header_value("Origin"), port)) {
    refuse(res, 403, "a change must come from the editor page (Origin http://127.0.0.1:" + std::to_string(port) +
                         ")");
    return false;
  }
  return true;
}

void EditorService::Impl::serveFile(const httplib::Request& req, httplib::Response& res) const {
  PageFile file;
  if (req.path.rfind("/api/", 0) == 0 || !resolvePageFile(settings.pageFolder, req.path, file)) {
    refuse(res, 404, "no such file: " + req.path);
    return;
  }
  std::ifstream in(file.path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in) {
    refuse(res, 404, "cannot read " + req.path);
    return;
  }
  res.set_header("Cache-Control", "no-cache");
  res.set_content(bytes.str(), file.contentType.c_str());
}

void EditorService::Impl::serveSpectrum(httplib::Response& res) {
  std::shared_ptr<const SpectrumColumns> columns;
  std::shared_ptr<const std::string> text;
  {
    std::lock_guard<std::mutex> lock(mutex);
    columns = spectrum;
    text = spectrumText;
  }
  if (!text) {
    text = std::make_shared<const std::string>(spectrumJson(*columns));
    std::lock_guard<std::mutex> lock(mutex);
    if (spectrum == columns) spectrumText = text;
  }
  res.set_content(*text, kJson);
}

bool EditorService::Impl::streamEvents(EventStream& stream, httplib::DataSink& sink) {
  std::string out;
  {
    std::unique_lock<std::mutex> lock(mutex);
    if (stream.started) {
      changed.wait_for(lock, kPlayheadInterval,
                       [&] {
                         return stopping || version != stream.version || error != stream.error ||
                                musicVersion != stream.musicVersion;
                       });
    }
    if (stopping) return false;
    const auto event = [&out](const char* name, const Json& data) {
      out += std::string("event: ") + name + "\ndata: " + data.dump(-1, ' ', false, Json::error_handler_t::replace) +
             "\n\n";
    };
    if (!stream.started || version != stream.version) event("sync", {{"version", version}});
    if (!stream.started || error != stream.error) event("error", {{"message", error}});
    if (musicVersion != stream.musicVersion) event("music", {{"version", musicVersion}});
    stream.musicVersion = musicVersion;
    stream.started = true;
    stream.version = version;
    stream.error = error;
    event("playhead", {{"time", playhead.time},
                       {"row", static_cast<int64_t>(std::floor(playhead.row))},
                       {"paused", playhead.paused},
                       {"looping", playhead.looping}});
  }
  return sink.write(out.data(), out.size());
}

EditorReply EditorService::Impl::queueAndWait(const std::shared_ptr<EditorWork>& work) {
  std::future<EditorReply> reply = work->reply.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) return {503, errorJson("the player is closing; nothing changed")};
    queue.push_back(work);
  }
  if (reply.wait_for(settings.takeTimeout) == std::future_status::timeout) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto queued = std::find(queue.begin(), queue.end(), work);
    if (queued != queue.end()) {
      queue.erase(queued);
      return {503, errorJson("the player did not take the request in time; nothing changed")};
    }
  }
  // Taken: the main thread answers it within the frame that took it.
  try {
    return reply.get();
  } catch (const std::future_error&) {
    return {503, errorJson("the player closed before it answered")};
  }
}

void EditorService::Impl::routes() {
  server.set_payload_max_length(kMaxBodyBytes);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  // Only SO_REUSEADDR: the library's default SO_REUSEPORT would let two
  // players share a port instead of the second moving on to the next.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    return admitted(req, res) ? httplib::Server::HandlerResponse::Unhandled
                              : httplib::Server::HandlerResponse::Handled;
  });
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        res.set_content(errorJson(defaultMessage(res.status)), kJson);
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    refuse(res, 500, "the service failed on this request; nothing changed");
  });

  server.Get("/api/state", [this](const httplib::Request&, httplib::Response& res) {
    std::shared_ptr<const std::string> text;
    {
      std::lock_guard<std::mutex> lock(mutex);
      text = state;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(*text, kJson);
  });
  server.Get("/api/music", [this](const httplib::Request&, httplib::Response& res) {
    std::shared_ptr<const std::string> text;
    {
      std::lock_guard<std::mutex> lock(mutex);
      text = music;
    }
    res.set_content(*text, kJson);
  });
  server.Get("/api/spectrum", [this](const httplib::Request&, httplib::Response& res) { serveSpectrum(res); });
  server.Get("/api/events", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    ++connected;
    auto stream = std::make_shared<EventStream>();
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, stream](size_t, httplib::DataSink& sink) { return streamEvents(*stream, sink); },
        [this](bool) { --connected; });
  });
  server.Post("/api/edit", [this](const httplib::Request& req, httplib::Response& res) {
    const auto received = std::chrono::steady_clock::now();
    if (req.body.size() > kMaxBodyBytes) return refuse(res, 413, defaultMessage(413));
    int32_t rows = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      rows = maxRow;
    }
    EditRequestParse parsed = parseEditRequest(req.body, rows);
    if (!parsed.error.empty()) return refuse(res, 400, parsed.error);
    auto work = std::make_shared<EditorWork>();
    work->kind = EditorWork::Kind::kEdit;
    work->edit = std::move(parsed.request);
    work->received = received;
    answerWith(res, queueAndWait(work));
  });
  server.Post("/api/transport", [this](const httplib::Request& req, httplib::Response& res) {
    if (req.body.size() > kMaxBodyBytes) return refuse(res, 413, defaultMessage(413));
    const TransportRequestParse parsed = parseTransportRequest(req.body);
    if (!parsed.error.empty()) return refuse(res, 400, parsed.error);
    auto work = std::make_shared<EditorWork>();
    work->kind = EditorWork::Kind::kTransport;
    work->transport = parsed.request;
    work->received = std::chrono::steady_clock::now();
    answerWith(res, queueAndWait(work));
  });
  server.Get("/.*", [this](const httplib::Request& req, httplib::Response& res) { serveFile(req, res); });
}

EditorService::EditorService() : impl_(std::make_unique<Impl>()) {}

EditorService::~EditorService() { stop(); }

bool EditorService::start(const Settings& settings) {
  Impl& impl = *impl_;
  impl.settings = settings;
  impl.routes();
  if (settings.firstPort == 0) {
    impl.port = impl.server.bind_to_any_port("127.0.0.1");
  } else {
    for (int port = settings.firstPort; port < settings.firstPort + settings.portsToTry && port <= kLastPort; ++port) {
      if (impl.server.bind_to_port("127.0.0.1", port)) {
        impl.port = port;
        break;
      }
    }
  }
  if (impl.port <= 0) {
    impl.port = 0;
    return false;
  }
  impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
  return true;
}

void EditorService::stop() {
  Impl& impl = *impl_;
  std::vector<std::shared_ptr<EditorWork>> pending;
  {
    std::lock_guard<std::mutex> lock(impl.mutex);
    if (impl.stopping) return;
    impl.stopping = true;
    pending.swap(impl.queue);
  }
  impl.changed.notify_all();
  for (const std::shared_ptr<EditorWork>& work : pending) {
    work->answer(503, errorJson("the player is closing; nothing changed"));
  }
  if (impl.thread.joinable()) {
    impl.server.stop();
    impl.thread.join();
  }
}

int EditorService::port() const { return impl_->port; }

void EditorService::publishPlayhead(const Playhead& playhead) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->playhead = playhead;
}

void EditorService::publishState(std::string stateJson, int64_t version, const std::string& error, int32_t maxRow) {
  auto text = std::make_shared<const std::string>(std::move(stateJson));
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state = std::move(text);
    impl_->version = version;
    impl_->error = error;
    impl_->maxRow = maxRow;
  }
  impl_->changed.notify_all();
}

void EditorService::publishSpectrum(SpectrumColumns spectrum) {
  auto columns = std::make_shared<const SpectrumColumns>(std::move(spectrum));
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->spectrum = std::move(columns);
  impl_->spectrumText.reset();
}

void EditorService::publishMusic(std::string musicJson) {
  auto text = std::make_shared<const std::string>(std::move(musicJson));
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->music = std::move(text);
    ++impl_->musicVersion;
  }
  impl_->changed.notify_all();
}

void EditorService::takeWork(std::vector<std::shared_ptr<EditorWork>>& out) {
  out.clear();
  std::lock_guard<std::mutex> lock(impl_->mutex);
  out.swap(impl_->queue);
}

int EditorService::connectedPages() const { return impl_->connected.load(); }
