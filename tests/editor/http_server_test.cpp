// The HTTP layer's bounds, with short times so that they can be watched:
// what is refused before it is read (headers past the limit, compressed
// bodies, a POST without a length, a body past the limit even when
// chunked), connections that trickle or idle are closed, and event streams
// beyond the limit are refused by name while the others and plain requests
// go on being served. The real player under the same abuse is in the
// end-to-end tests.
#include "editor/http_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "support/http_test_client.h"

using namespace std::chrono_literals;

namespace {
struct Echo {
  HttpServer server;
  explicit Echo(const HttpLimits& limits) : server(limits, handlers()) {
    EXPECT_TRUE(server.bind(0));
    server.start();
  }
  static HttpHandlers handlers() {
    HttpHandlers h;
    h.admit = [](const HttpRequest&) -> std::optional<HttpAnswer> { return std::nullopt; };
    h.isEventStream = [](const HttpRequest& req) { return req.path == "/events"; };
    h.openEventStream = [](const HttpRequest&) -> HttpEventSource { return [] { return std::string("data: x\n\n"); }; };
    h.handle = [](HttpRequest req, HttpReply reply) {
      HttpAnswer answer;
      answer.body = "got " + std::to_string(req.body.size());
      // Answered from another thread, as the frame does.
      std::thread([reply, answer] { reply(answer); }).detach();
    };
    h.errorBody = [](const std::string& message) { return message; };
    return h;
  }
  int port() const { return server.port(); }
};

std::string head(int port, const std::string& line, const std::string& more = "") {
  return line + "\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n" + more + "\r\n";
}
}  // namespace

TEST(HttpServer, RefusesWhatIsTooBigOrUnboundedBeforeReadingIt) {
  HttpLimits limits;
  limits.maxBodyBytes = 1000;
  Echo echo(limits);
  const int port = echo.port();

  // Headers past 16 KiB: 431, whatever else is still coming.
  {
    TestConnection c(port);
    c.send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    for (int i = 0; i < 64 && c.send("X-Filler: " + std::string(1000, 'a') + "\r\n"); ++i) {
    }
    EXPECT_EQ(parseHttpResponse(c.readUntilClosed(5s)).status, 431);
  }
  const auto status = [&](const std::string& request) {
    TestConnection c(port);
    c.send(request);
    const HttpResult result = parseHttpResponse(c.readUntilClosed(5s));
    return result.answered ? result.status : -1;
  };
  EXPECT_EQ(status(head(port, "POST /x HTTP/1.1", "Content-Length: 3\r\nContent-Encoding: gzip\r\n") + "abc"), 415);
  EXPECT_EQ(status(head(port, "POST /x HTTP/1.1")), 411);
  EXPECT_EQ(status(head(port, "POST /x HTTP/1.1", "Content-Length: 5000\r\n")), 413);
  std::string chunked = head(port, "POST /x HTTP/1.1", "Transfer-Encoding: chunked\r\n");
  for (int i = 0; i < 20; ++i) chunked += "64\r\n" + std::string(100, 'b') + "\r\n";
  EXPECT_EQ(status(chunked + "0\r\n\r\n"), 413);
  EXPECT_EQ(status(head(port, "POST /x HTTP/1.1", "Content-Length: 3\r\nConnection: close\r\n") + "abc"), 200);
}

TEST(HttpServer, ClosesTricklingAndIdleConnectionsAndLimitsEventStreams) {
  HttpLimits limits;
  limits.requestTimeout = 300ms;
  limits.idleTimeout = 600ms;
  limits.maxEventStreams = 2;
  Echo echo(limits);
  const int port = echo.port();

  // One header byte at a time never completes the request in time.
  TestConnection trickler(port);
  const std::string request = head(port, "GET /slow HTTP/1.1");
  const auto started = std::chrono::steady_clock::now();
  size_t sent = 0;
  while (sent < request.size() && trickler.send(request.substr(sent, 1))) {
    ++sent;
    std::this_thread::sleep_for(50ms);
    if (std::chrono::steady_clock::now() - started > 3s) break;
  }
  EXPECT_LT(sent, request.size());
  EXPECT_TRUE(trickler.closedByPeer(2s));

  // A kept-alive connection serves a second request, then is closed idle.
  TestConnection kept(port);
  kept.send(head(port, "GET /a HTTP/1.1"));
  ASSERT_TRUE(kept.readUntil("got 0", 2s));
  kept.send(head(port, "POST /b HTTP/1.1", "Content-Length: 2\r\n") + "hi");
  ASSERT_TRUE(kept.readUntil("got 2", 2s));
  EXPECT_TRUE(kept.closedByPeer(3s));

  // Two streams are the limit: a third is told so, the two go on, and a
  // closed one frees its place.
  TestConnection first(port), third(port);
  auto second = std::make_unique<TestConnection>(port);
  for (TestConnection* c : {&first, second.get()}) {
    c->send(head(port, "GET /events HTTP/1.1"));
    ASSERT_TRUE(c->readUntil("data: x", 2s));
  }
  EXPECT_EQ(echo.server.openEventStreams(), 2);
  third.send(head(port, "GET /events HTTP/1.1"));
  const HttpResult refused = parseHttpResponse(third.readUntilClosed(2s));
  EXPECT_EQ(refused.status, 503);
  EXPECT_NE(refused.body.find("at most 2 event streams"), std::string::npos) << refused.body;
  EXPECT_EQ(httpRequest(port, "GET", "/still").body, "got 0");
  EXPECT_TRUE(first.readUntil("data: x\n\ndata: x\n\ndata: x", 2s));
  second.reset();
  bool admitted = false;
  for (int i = 0; i < 20 && !admitted; ++i) {
    TestConnection again(port);
    again.send(head(port, "GET /events HTTP/1.1"));
    admitted = again.readUntil("data: x", 500ms);
  }
  EXPECT_TRUE(admitted);
}
