// The editor service on a free port with a stand-in for the show behind it
// (a thread that takes the queued work as the frame would, and applies
// edits through the real SyncTextEditor to a sync.txt in a temporary
// folder): every kind of refused request gets its status and a JSON reason
// and changes nothing, a good edit and a transport request still go through
// afterwards, and the event stream sends the version and the playhead while
// it counts as a connected page.
#include "editor/editor_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "editor/sync_text_editor.h"
#include "support/http_test_client.h"
#include "support/test_support.h"

using Json = nlohmann::json;
using namespace std::chrono_literals;

namespace {
const std::string kToken = "0123456789abcdef0123456789abcdef";
const std::string kText = "# 16: \"bgColor\"\ntrack 16\n0s    0.05  step\n2s    0.5   linear\n";

// What LiveSession does with the queue, on a sync.txt of its own; only the
// transport is a record of what was asked.
class ShowStandIn {
 public:
  ShowStandIn(EditorService& service, const std::string& syncText)
      : service_(service), editor_(syncText), thread_([this] { run(); }) {}
  ~ShowStandIn() {
    running_ = false;
    thread_.join();
  }
  int64_t version() {
    std::lock_guard<std::mutex> lock(mutex_);
    return version_;
  }
  std::vector<TransportAction> actions() {
    std::lock_guard<std::mutex> lock(mutex_);
    return actions_;
  }

 private:
  void run() {
    std::vector<std::shared_ptr<EditorWork>> work;
    while (running_) {
      service_.takeWork(work);
      for (const std::shared_ptr<EditorWork>& item : work) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (item->kind == EditorWork::Kind::kTransport) {
          actions_.push_back(item->transport.action);
          item->answer(200, okJson());
          continue;
        }
        const SyncTextEditor::Result result = editor_.apply(item->edit, version_);
        if (result.status != 200) {
          item->answer(result.status, result.body);
          continue;
        }
        if (result.written) ++version_;
        service_.publishState("{}", version_, "", 1000);
        item->answer(200, versionJson(version_));
      }
      service_.publishPlayhead({1.5, 24.0, false, true});
      std::this_thread::sleep_for(5ms);
    }
  }

  EditorService& service_;
  SyncTextEditor editor_;
  std::mutex mutex_;
  int64_t version_ = 7;
  std::vector<TransportAction> actions_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

std::string editBody(const std::string& edit) { return "{\"edits\": [" + edit + "]}"; }
}  // namespace

TEST(EditorService, RefusesForeignOrMalformedRequestsAndStillTakesAGoodEdit) {
  TempDir root(false);
  const std::string page = root.path() + "/page";
  std::filesystem::create_directories(page);
  writeFile(page + "/index.html", "<!doctype html><title>sync</title>");
  writeFile(root.path() + "/editor-secret.txt", "not for the page");

  EditorService service;
  EditorService::Settings settings;
  settings.firstPort = 0;
  settings.token = kToken;
  settings.pageFolder = page;
  ASSERT_TRUE(service.start(settings));
  const int port = service.port();
  service.publishState("{\"version\": 7}", 7, "", 1000);
  const std::string syncText = root.path() + "/sync.txt";
  writeFile(syncText, kText);
  ShowStandIn show(service, syncText);

  const std::string origin = "http://127.0.0.1:" + std::to_string(port);
  const HttpHeaders good = {{"Authorization", "Bearer " + kToken}, {"Origin", origin}};

  // The page's files need no token, but the right Host, and never leave
  // their folder.
  HttpResult res = httpRequest(port, "GET", "/");
  ASSERT_TRUE(res.answered);
  EXPECT_EQ(res.status, 200);
  EXPECT_EQ(res.header("Content-Type"), "text/html; charset=utf-8");
  for (const char* escape : {"/../editor-secret.txt", "/%2e%2e/editor-secret.txt", "/.hidden.js"}) {
    res = httpRequest(port, "GET", escape);
    ASSERT_TRUE(res.answered);
    EXPECT_EQ(res.status, 404) << escape;
  }
  res = httpRequest(port, "GET", "/", {{"Host", "attacker.example:" + std::to_string(port)}});
  ASSERT_TRUE(res.answered);
  EXPECT_EQ(res.status, 403);

  struct Refusal {
    const char* what;
    std::string path;
    HttpHeaders headers;
    std::string body;
    int status;
    const char* reason;
  };
  const std::string set =
      "{\"op\": \"set\", \"track\": \"16\", \"row\": 48, \"value\": 0.25, \"kind\": \"smooth\", \"was\": null}";
  const std::string was = ", \"was\": {\"value\": 0.05, \"kind\": \"step\"}}";
  const std::vector<Refusal> refusals = {
      {"no token", "/api/edit", {{"Origin", origin}}, editBody(set), 401, "token"},
      {"wrong token", "/api/edit", {{"Authorization", "Bearer " + std::string(32, '0')}, {"Origin", origin}},
       editBody(set), 401, "token"},
      {"foreign Host", "/api/edit",
       {{"Authorization", "Bearer " + kToken}, {"Origin", origin}, {"Host", "127.0.0.1.nip.io:" + std::to_string(port)}},
       editBody(set), 403, "Host"},
      {"foreign Origin", "/api/edit", {{"Authorization", "Bearer " + kToken}, {"Origin", "http://evil.example"}},
       editBody(set), 403, "Origin"},
      {"no Origin", "/api/transport", {{"Authorization", "Bearer " + kToken}}, "{\"action\": \"pause\"}", 403,
       "Origin"},
      {"oversized body", "/api/edit", good, std::string(EditorService::kMaxBodyBytes + 1, ' '), 413, "1 MiB"},
      {"malformed JSON", "/api/edit", good, "{\"edits\": [", 400, "not JSON"},
      {"row beyond the limit", "/api/edit", good,
       editBody("{\"op\": \"delete\", \"track\": \"16\", \"row\": 1001" + was), 400, "row"},
      {"negative row", "/api/edit", good, editBody("{\"op\": \"delete\", \"track\": \"16\", \"row\": -1" + was), 400,
       "row"},
      {"value beyond a float", "/api/edit", good,
       editBody("{\"op\": \"value\", \"track\": \"16\", \"row\": 0, \"value\": 1e39" + was), 400, "value"},
      {"unknown kind", "/api/edit", good,
       editBody("{\"op\": \"kind\", \"track\": \"16\", \"row\": 0, \"kind\": \"bouncy\"" + was), 400, "kind"},
      {"unknown op", "/api/edit", good, editBody("{\"op\": \"swap\", \"track\": \"16\", \"row\": 0" + was), 400, "op"},
      {"unknown track", "/api/edit", good, editBody("{\"op\": \"delete\", \"track\": \"99\", \"row\": 0" + was), 400,
       "unknown track"},
      {"no \"was\"", "/api/edit", good, editBody("{\"op\": \"delete\", \"track\": \"16\", \"row\": 0}"), 400,
       "was"},
      {"missing key", "/api/edit", good,
       editBody("{\"op\": \"delete\", \"track\": \"16\", \"row\": 16, \"was\": null}"), 400, "no key at row 16"},
      {"a key that changed meanwhile", "/api/edit", good,
       editBody("{\"op\": \"value\", \"track\": \"16\", \"row\": 32, \"value\": 1, \"was\": {\"value\": 0.9, "
                "\"kind\": \"linear\"}}"),
       409, "track 16, row 32 changed in sync.txt meanwhile: 0.9 \u2192 0.5"},
      {"token in a POST's query", "/api/edit?token=" + kToken, {{"Origin", origin}}, editBody(set), 401, "token"},
      {"unknown transport action", "/api/transport", good, "{\"action\": \"rewind\"}", 400, "action"},
      {"a loop that ends before it starts", "/api/transport", good,
       "{\"action\": \"loop\", \"from\": 3, \"to\": 2}", 400, "loop"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    res = httpRequest(port, "POST", refusal.path, refusal.headers, refusal.body);
    ASSERT_TRUE(res.answered);
    EXPECT_EQ(res.status, refusal.status);
    const Json answer = Json::parse(res.body, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << res.body;
    ASSERT_TRUE(answer.contains("error") && answer["error"].is_string()) << res.body;
    EXPECT_NE(answer["error"].get<std::string>().find(refusal.reason), std::string::npos) << res.body;
    if (refusal.status == 409) {
      EXPECT_EQ(answer["version"], 7);
    }
    EXPECT_EQ(readFile(syncText), kText);
    EXPECT_EQ(show.version(), 7);
  }
  EXPECT_TRUE(show.actions().empty());
  for (const std::string& path : {std::string("/api/state"), "/api/state?token=" + kToken}) {
    res = httpRequest(port, "GET", path);
    ASSERT_TRUE(res.answered);
    EXPECT_EQ(res.status, 401) << path;
  }

  // The page's event stream: the version first, then the playhead, and a
  // connected page while it is open.
  TestConnection eventsClient(port);
  eventsClient.send("GET /api/events?token=" + kToken + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                    "\r\n\r\n");
  ASSERT_TRUE(eventsClient.readUntil("event: playhead", 10s));
  const std::string events = eventsClient.received();
  EXPECT_EQ(service.connectedPages(), 1);
  EXPECT_NE(events.find("event: sync\ndata: {\"version\":7}\n\n"), std::string::npos) << events;
  EXPECT_NE(events.find("event: playhead\ndata: {\"looping\":true,\"paused\":false,\"row\":24,\"time\":1.5}\n\n"),
            std::string::npos)
      << events;

  // After all of that, good requests still work.
  res = httpRequest(port, "POST", "/api/edit", good, editBody(set));
  ASSERT_TRUE(res.answered);
  EXPECT_EQ(res.status, 200) << res.body;
  EXPECT_EQ(res.body, "{\"version\":8}");
  EXPECT_EQ(readFile(syncText), kText + "3s    0.25  smooth\n");
  res = httpRequest(port, "POST", "/api/transport", good, "{\"action\": \"seek\", \"time\": 2.5}");
  ASSERT_TRUE(res.answered);
  EXPECT_EQ(res.status, 200);
  EXPECT_EQ(show.actions(), std::vector<TransportAction>{TransportAction::kSeek});
  res = httpRequest(port, "GET", "/api/state", {{"Authorization", "Bearer " + kToken}});
  ASSERT_TRUE(res.answered);
  EXPECT_EQ(res.status, 200);
  EXPECT_EQ(res.body, "{}");  // what the fake show published last
}
