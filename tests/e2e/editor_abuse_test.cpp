// The live player's editor service under abuse from local clients, one
// case after another: 100 MB of headers, 16 event streams, 16 clients
// trickling a header byte a second, a gzip bomb, a 50 MiB chunked body, a
// POST without a length and the token in a POST's query. During or after
// each, the page, the state and an edit are answered within a second, and
// the player's resident memory grows by at most 20 MB over all of them. The
// figures of each case are printed.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <thread>

#include "support/e2e_support.h"
#include "support/http_test_client.h"
#include "support/test_support.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {
// Resident memory of the process in KiB, from /proc.
long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// 512 MiB of zeros, gzip-compressed (about half a megabyte).
std::string gzipBomb() {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  const std::string zeros(1 << 20, '\0');
  std::string out;
  char chunk[65536];
  for (int mib = 0; mib < 512; ++mib) {
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    z.avail_in = static_cast<uInt>(zeros.size());
    const int flush = mib == 511 ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = reinterpret_cast<Bytef*>(chunk);
      z.avail_out = sizeof chunk;
      deflate(&z, flush);
      out.append(chunk, sizeof chunk - z.avail_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  return out;
}

// Under AddressSanitizer freed memory waits in a quarantine of 256 MB, which
// would count as growth: a small one keeps the reading about the service.
std::string sanitizerOptions() {
  const char* given = std::getenv("ASAN_OPTIONS");
  return std::string("ASAN_OPTIONS=") + (given ? std::string(given) + ":" : "") +
         "quarantine_size_mb=1:thread_local_quarantine_size_kb=64";
}

class AbusedPlayer {
 public:
  explicit AbusedPlayer(const XvfbServer& x, const std::string& dir) : log_(dir + "/output2.txt") {
    // A port range of its own, so that parallel tests do not meet.
    const int firstPort = 7400 + static_cast<int>(::getpid() % 400) * 10;
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{builtProgram("tarvo"), "--live", "--window", "640x360", "--mute", "--editor-port",
                                 std::to_string(firstPort)},
        dir, std::vector<std::string>{"DISPLAY=" + x.display(), "SDL_AUDIODRIVER=dummy", sanitizerOptions()},
        dir + "/console.txt");
  }
  ~AbusedPlayer() {
    process_->signal(SIGTERM);
    process_->wait(30s);
  }
  bool started() {
    if (!waitForText(log_, "Profiler::Reset\n", 120s)) return false;
    std::smatch match;
    const std::string log = readFile(log_);
    static const std::regex line(R"(editor: http://127\.0\.0\.1:(\d+)/#([0-9a-f]{32})\n)");
    if (!std::regex_search(log, match, line)) return false;
    port = std::stoi(match[1]);
    token = match[2];
    return true;
  }
  long rss() const { return residentKiB(process_->pid()); }
  // The highest (or lowest) of five readings over two seconds.
  long rssOver(bool highest) const {
    long pick = rss();
    for (int i = 0; i < 4; ++i) {
      std::this_thread::sleep_for(500ms);
      pick = highest ? std::max(pick, rss()) : std::min(pick, rss());
    }
    return pick;
  }
  std::string log() const { return readFile(log_); }

  // The page, the state and an edit, each answered (200) within a second.
  // The show first finishes drawing the last edit (a frame of the software
  // renderer can take most of a second on a loaded machine): what is timed
  // is the service, and the frame that takes the edit.
  void stillServes(const std::string& during, bool timed = true) {
    SCOPED_TRACE(during);
    const int shown = editRow - kFirstEditRow;
    const Clock::time_point deadline = Clock::now() + 20s;
    while (countOccurrences(log(), "editor: edit shown (") < static_cast<size_t>(shown) && Clock::now() < deadline) {
      std::this_thread::sleep_for(20ms);
    }
    const std::string origin = "http://127.0.0.1:" + std::to_string(port);
    const auto request = [&](const char* what, const std::string& method, const std::string& target,
                           const HttpHeaders& headers, const std::string& body) {
      const Clock::time_point start = Clock::now();
      const HttpResult result = httpRequest(port, method, target, headers, body, 5s);
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      EXPECT_EQ(result.status, 200) << what << ": " << result.body;
      if (!timed) return;
      EXPECT_LT(ms, 1000) << what;
      slowest = std::max<long>(slowest, ms);
    };
    request("the page", "GET", "/", {}, "");
    request("the state", "GET", "/api/state", {{"Authorization", "Bearer " + token}}, "");
    const std::string edit = "{\"edits\": [{\"op\": \"set\", \"track\": \"7\", \"row\": " + std::to_string(++editRow) +
                             ", \"value\": 200, \"kind\": \"step\", \"was\": null}]}";
    request("an edit", "POST", "/api/edit", {{"Authorization", "Bearer " + token}, {"Origin", origin}}, edit);
  }

  int port = 0;
  std::string token;
  static constexpr int kFirstEditRow = 8;
  int editRow = kFirstEditRow;
  long slowest = 0;

 private:
  std::string log_;
  std::unique_ptr<ChildProcess> process_;
};

std::string requestHead(int port, const std::string& line, const std::string& more = "") {
  return line + "\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n" + more + "\r\n";
}

int statusOf(TestConnection& connection, std::chrono::milliseconds timeout) {
  const HttpResult result = parseHttpResponse(connection.readUntilClosed(timeout));
  return result.answered ? result.status : -1;
}
}  // namespace

TEST(EditorAbuse, TheServiceStaysBoundedAndAnswersThePageThroughEveryCase) {
  XvfbServer x(1280, 720);
  ASSERT_TRUE(x.running());
  TempDir dir(false);
  makeTestProduction(dir.path());
  AbusedPlayer player(x, dir.path());
  ASSERT_TRUE(player.started()) << player.log();
  const int port = player.port;
  const std::string origin = "http://127.0.0.1:" + std::to_string(port);
  const std::string auth = "Authorization: Bearer " + player.token + "\r\n";
  // The software renderer compiles code for each kind of picture the first
  // time it draws one, and its heap keeps what that took: paused, the show
  // is taken through its five seconds, a picture drawn at each moment (an
  // edit shown there), so that later frames draw nothing new. Its memory
  // still swings by some 30 MB between frames, so the growth is measured
  // from the highest reading before to the lowest after: what is left is
  // the service's.
  const HttpHeaders control = {{"Authorization", "Bearer " + player.token}, {"Origin", origin}};
  EXPECT_EQ(httpRequest(port, "POST", "/api/transport", control, "{\"action\": \"pause\"}").status, 200);
  for (const char* moment : {"0.25", "0.75", "1.25", "1.75", "2.5", "3.1", "3.3", "3.6", "4.25", "4.9", "0"}) {
    EXPECT_EQ(httpRequest(port, "POST", "/api/transport", control,
                          std::string("{\"action\": \"seek\", \"time\": ") + moment + "}")
                  .status,
              200);
    player.stillServes(std::string("warming up at ") + moment + " s", false);
  }
  player.stillServes("warmed up", false);
  const long baseline = player.rssOver(true);
  ASSERT_GT(baseline, 0);
  std::printf("abuse: resident at the start %.1f MB\n", baseline / 1024.0);
  long previous = baseline;
  const auto report = [&](const char* what) {
    const long now = player.rss();
    std::printf("abuse: %-34s resident %6.1f MB (%+.1f MB)\n", what, now / 1024.0, (now - previous) / 1024.0);
    previous = now;
  };

  {  // 100 MB of headers without a token.
    TestConnection flood(port);
    flood.send("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n");
    const std::string line = "X-Flood: " + std::string(1000, 'f') + "\r\n";
    size_t sent = 0;
    while (sent < 100'000'000 && flood.send(line)) sent += line.size();
    EXPECT_LT(sent, 100'000'000u) << "the headers were taken in full";
    const int status = statusOf(flood, 3s);
    EXPECT_TRUE(status == 431 || status == -1) << status;
    std::printf("abuse: headers: refused after %.1f MB sent (status %d)\n", sent / 1e6, status);
    player.stillServes("after 100 MB of headers");
    report("100 MB of headers");
  }
  {  // 16 event streams: 8 served, 8 told the limit; the page is still served.
    std::vector<std::unique_ptr<TestConnection>> streams;
    int served = 0, refused = 0;
    for (int i = 0; i < 16; ++i) {
      streams.push_back(std::make_unique<TestConnection>(port));
      streams.back()->send(requestHead(port, "GET /api/events?token=" + player.token + " HTTP/1.1"));
      if (streams.back()->readUntil("event: playhead", 2s)) {
        ++served;
      } else if (streams.back()->received().find(" 503 ") != std::string::npos &&
                 streams.back()->received().find("at most 8 event streams") != std::string::npos) {
        ++refused;
      }
    }
    EXPECT_EQ(served, 8);
    EXPECT_EQ(refused, 8);
    player.stillServes("with 8 event streams open");
    report("16 event streams");
  }
  {  // 16 clients trickling one header byte a second, for 7 s.
    std::atomic<int> closedEarly{0};
    std::vector<std::thread> tricklers;
    for (int i = 0; i < 16; ++i) {
      tricklers.emplace_back([&] {
        TestConnection slow(port);
        const std::string request = requestHead(port, "GET / HTTP/1.1");
        for (size_t at = 0; at < 7 && at < request.size(); ++at) {
          if (!slow.send(request.substr(at, 1))) break;
          std::this_thread::sleep_for(1s);
        }
        if (slow.closedByPeer(100ms)) ++closedEarly;
      });
    }
    std::this_thread::sleep_for(2s);
    player.stillServes("while 16 clients trickle");
    for (std::thread& t : tricklers) t.join();
    EXPECT_EQ(closedEarly.load(), 16) << "a trickling request was kept past 5 s";
    report("16 trickling clients");
  }
  {  // A gzip bomb.
    const std::string bomb = gzipBomb();
    TestConnection c(port);
    c.send(requestHead(port, "POST /api/edit HTTP/1.1",
                       auth + "Origin: " + origin + "\r\nContent-Encoding: gzip\r\nContent-Length: " +
                           std::to_string(bomb.size()) + "\r\n") +
           bomb);
    EXPECT_EQ(statusOf(c, 5s), 415);
    std::printf("abuse: gzip bomb of %.2f MB (512 MiB inflated)\n", bomb.size() / 1e6);
    player.stillServes("after a gzip bomb");
    report("a gzip bomb");
  }
  {  // A 50 MiB chunked body.
    TestConnection c(port);
    c.send(requestHead(port, "POST /api/edit HTTP/1.1", auth + "Origin: " + origin + "\r\nTransfer-Encoding: chunked\r\n"));
    const std::string chunk = "10000\r\n" + std::string(0x10000, '[') + "\r\n";
    size_t sent = 0;
    while (sent < (50u << 20) && c.send(chunk)) sent += 0x10000;
    const int status = statusOf(c, 5s);
    EXPECT_TRUE(status == 413 || (status == -1 && sent < (50u << 20))) << status;
    std::printf("abuse: chunked body: refused after %.1f MiB sent (status %d)\n", sent / 1048576.0, status);
    player.stillServes("after a 50 MiB chunked body");
    report("a 50 MiB chunked body");
  }
  {  // A POST without a length, and the token in a POST's query.
    TestConnection noLength(port);
    noLength.send(requestHead(port, "POST /api/edit HTTP/1.1", auth + "Origin: " + origin + "\r\n"));
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(statusOf(noLength, 5s), 411);
    EXPECT_LT(Clock::now() - start, 1s);
    const HttpResult queryToken = httpRequest(port, "POST", "/api/edit?token=" + player.token, {{"Origin", origin}},
                                              "{\"edits\": []}");
    EXPECT_EQ(queryToken.status, 401);
    player.stillServes("after a POST without a length");
    report("no length, token in the query");
  }
  const long growth = player.rssOver(false) - baseline;
  std::printf("abuse: resident memory %+.1f MB over all cases; slowest answer %ld ms\n", growth / 1024.0,
              player.slowest);
  EXPECT_LE(growth, 20 * 1024);
}
