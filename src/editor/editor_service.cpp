#include "editor/editor_service.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>

#include "editor/access.h"
#include "editor/http_server.h"
#include "editor/page_files.h"

using Json = nlohmann::json;

namespace {
constexpr int kLastPort = 65535;

HttpAnswer answer(int status, std::string body) {
  HttpAnswer out;
  out.status = status;
  out.body = std::move(body);
  return out;
}

HttpAnswer refusal(int status, const std::string& message) { return answer(status, errorJson(message)); }

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

  mutable std::mutex mutex;
  bool stopping = false;
  Playhead playhead;
  std::shared_ptr<const std::string> state = std::make_shared<const std::string>("{}");
  int64_t version = 0;
  std::string error;
  int32_t maxRow = 0;
  std::shared_ptr<const SpectrumColumns> spectrum = std::make_shared<const SpectrumColumns>();
  std::shared_ptr<const std::string> spectrumText;  // built on the first request after a publish
  std::shared_ptr<const std::string> music =
      std::make_shared<const std::string>(R"({"ready": false, "tempo": 0, "beats": [], "onsets": []})");
  int64_t musicVersion = 0;
  std::vector<std::shared_ptr<EditorWork>> queue;
  // Last, so that it stops (and drops its streams, which read the members
  // above) before they go.
  std::unique_ptr<HttpServer> server;

  std::optional<HttpAnswer> admit(const HttpRequest& req) const;
  void handle(HttpRequest req, HttpReply reply);
  HttpAnswer serveFile(const HttpRequest& req) const;
  HttpAnswer serveSpectrum();
  HttpAnswer serveText(const std::shared_ptr<const std::string> Impl::*text) const;
  std::string nextEvents(EventStream& stream) const;
  void queueWork(std::shared_ptr<EditorWork> work, HttpReply reply);
};

std::optional<HttpAnswer> EditorService::Impl::admit(const HttpRequest& req) const {
  // A page from any other name (a rebound DNS name) is not the editor's.
  if (!hostAllowed(req.header("Host"), port)) {
    return refusal(403, "the Host header must be 127.0.0.1:" + std::to_string(port) + ", localhost:" +
                            std::to_string(port) + " or [::1]:" + std::to_string(port));
  }
  const bool api = req.path.rfind("/api/", 0) == 0;
  // Only the event stream, which a browser opens without headers, may carry
  // the token in its address: anywhere else an address ends up in logs and
  // histories.
  const bool events = req.path == "/api/events";
  const std::string queryToken = events ? req.queryValue("token") : std::string();
  if (api && !tokenAllowed(req.header("Authorization"), queryToken, settings.token)) {
    return refusal(401, events ? "the token is missing or wrong (Authorization: Bearer TOKEN, or ?token=TOKEN)"
                               : "the token is missing or wrong (Authorization: Bearer TOKEN)");
  }
  const bool reads = req.method == "GET" || req.method == "HEAD";
  if (!reads && req.method != "POST") return refusal(405, "the method is not allowed here");
  if (!reads && !originAllowed(req.header("Origin"), port)) {
    return refusal(403, "a change must come from the editor page (Origin http://127.0.0.1:" + std::to_string(port) +
                            ")");
  }
  const bool post = req.method == "POST";
  const bool change = req.path == "/api/edit" || req.path == "/api/transport";
  if (post != change && (api || post)) {
    const bool known = change || req.path == "/api/state" || req.path == "/api/spectrum" ||
                       req.path == "/api/music" || events;
    return known ? refusal(405, "the method is not allowed here") : refusal(404, "there is nothing here");
  }
  return std::nullopt;
}

HttpAnswer EditorService::Impl::serveFile(const HttpRequest& req) const {
  PageFileBytes file;
  if (req.path.rfind("/api/", 0) == 0 || !readPageFile(settings.pageFolder, req.path, file)) return refusal(404, "no such file: " + req.path);
  HttpAnswer out = answer(200, std::move(file.bytes));
  out.contentType = file.contentType;
  out.headers.emplace_back("Cache-Control", "no-cache");
  return out;
}

HttpAnswer EditorService::Impl::serveSpectrum() {
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
  return answer(200, *text);
}

HttpAnswer EditorService::Impl::serveText(const std::shared_ptr<const std::string> Impl::*text) const {
  std::shared_ptr<const std::string> body;
  {
    std::lock_guard<std::mutex> lock(mutex);
    body = this->*text;
  }
  HttpAnswer out = answer(200, *body);
  out.headers.emplace_back("Cache-Control", "no-store");
  return out;
}

std::string EditorService::Impl::nextEvents(EventStream& stream) const {
  std::string out;
  const auto event = [&out](const char* name, const Json& data) {
    out += std::string("event: ") + name + "\ndata: " + data.dump(-1, ' ', false, Json::error_handler_t::replace) +
           "\n\n";
  };
  std::lock_guard<std::mutex> lock(mutex);
  if (stopping) return out;
  if (!stream.started || version != stream.version) event("sync", {{"version", version}});
  if (!stream.started || error != stream.error) event("error", {{"message", error}});
  if (musicVersion != stream.musicVersion) event("music", {{"version", musicVersion}});
  stream.started = true;
  stream.version = version;
  stream.error = error;
  stream.musicVersion = musicVersion;
  event("playhead", {{"time", playhead.time},
                     {"row", static_cast<int64_t>(std::floor(playhead.row))},
                     {"paused", playhead.paused},
                     {"looping", playhead.looping}});
  return out;
}

void EditorService::Impl::queueWork(std::shared_ptr<EditorWork> work, HttpReply reply) {
  work->deliver = [reply](EditorReply answered) { reply(answer(answered.status, std::move(answered.body))); };
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) return work->answer(503, errorJson("the player is closing; nothing changed"));
    queue.push_back(work);
  }
  // Not taken in time (the first frame may take seconds): withdrawn and
  // refused. Once taken, the main thread answers within the frame.
  std::weak_ptr<EditorWork> weak = work;
  server->runAfter(settings.takeTimeout, [this, weak] {
    const std::shared_ptr<EditorWork> late = weak.lock();
    if (!late) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      const auto queued = std::find(queue.begin(), queue.end(), late);
      if (queued == queue.end()) return;
      queue.erase(queued);
    }
    late->answer(503, errorJson("the player did not take the request in time; nothing changed"));
  });
}

void EditorService::Impl::handle(HttpRequest req, HttpReply reply) {
  if (req.path == "/api/state") return reply(serveText(&Impl::state));
  if (req.path == "/api/music") return reply(serveText(&Impl::music));
  if (req.path == "/api/spectrum") return reply(serveSpectrum());
  if (req.path == "/api/edit") {
    const auto received = std::chrono::steady_clock::now();
    int32_t rows = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      rows = maxRow;
    }
    EditRequestParse parsed = parseEditRequest(req.body, rows);
    if (!parsed.error.empty()) return reply(refusal(400, parsed.error));
    auto work = std::make_shared<EditorWork>();
    work->kind = EditorWork::Kind::kEdit;
    work->edit = std::move(parsed.request);
    work->received = received;
    return queueWork(std::move(work), std::move(reply));
  }
  if (req.path == "/api/transport") {
    const TransportRequestParse parsed = parseTransportRequest(req.body);
    if (!parsed.error.empty()) return reply(refusal(400, parsed.error));
    auto work = std::make_shared<EditorWork>();
    work->kind = EditorWork::Kind::kTransport;
    work->transport = parsed.request;
    work->received = std::chrono::steady_clock::now();
    return queueWork(std::move(work), std::move(reply));
  }
  reply(serveFile(req));
}

EditorService::EditorService() : impl_(std::make_unique<Impl>()) {}

EditorService::~EditorService() { stop(); }

bool EditorService::start(const Settings& settings) {
  Impl& impl = *impl_;
  impl.settings = settings;
  HttpHandlers handlers;
  handlers.admit = [&impl](const HttpRequest& req) { return impl.admit(req); };
  handlers.isEventStream = [](const HttpRequest& req) { return req.path == "/api/events" && req.method == "GET"; };
  handlers.openEventStream = [&impl](const HttpRequest&) -> HttpEventSource {
    auto stream = std::make_shared<EventStream>();
    return [&impl, stream] { return impl.nextEvents(*stream); };
  };
  handlers.handle = [&impl](HttpRequest req, HttpReply reply) { impl.handle(std::move(req), std::move(reply)); };
  handlers.errorBody = [](const std::string& message) { return errorJson(message); };
  HttpLimits limits;
  limits.maxBodyBytes = kMaxBodyBytes;
  limits.eventInterval = kPlayheadInterval;
  impl.server = std::make_unique<HttpServer>(limits, std::move(handlers));
  if (settings.firstPort == 0) {
    if (impl.server->bind(0)) impl.port = impl.server->port();
  } else {
    for (int port = settings.firstPort; port < settings.firstPort + settings.portsToTry && port <= kLastPort; ++port) {
      if (impl.server->bind(port)) {
        impl.port = port;
        break;
      }
    }
  }
  if (impl.port <= 0) {
    impl.port = 0;
    impl.server.reset();
    return false;
  }
  impl.server->start();
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
  for (const std::shared_ptr<EditorWork>& work : pending) {
    work->answer(503, errorJson("the player is closing; nothing changed"));
  }
  if (impl.server) impl.server->stop();
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
  if (impl_->server) impl_->server->wakeEventStreams();
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
  if (impl_->server) impl_->server->wakeEventStreams();
}

void EditorService::takeWork(std::vector<std::shared_ptr<EditorWork>>& out) {
  out.clear();
  std::lock_guard<std::mutex> lock(impl_->mutex);
  out.swap(impl_->queue);
}

int EditorService::connectedPages() const { return impl_->server ? impl_->server->openEventStreams() : 0; }
