// A plain blocking HTTP/1.1 client over a loopback socket, for tests of the
// editor service: whole requests, raw bytes (malformed or abusive ones
// included), and reading whatever comes back within a deadline.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpResult {
  bool answered = false;  // a status line came back
  int status = 0;
  HttpHeaders headers;
  std::string body;
  std::string header(const std::string& name) const;  // any case; "" when absent
};

// One connection to 127.0.0.1:port.
class TestConnection {
 public:
  explicit TestConnection(int port);
  ~TestConnection();
  TestConnection(const TestConnection&) = delete;
  TestConnection& operator=(const TestConnection&) = delete;
  bool connected() const { return fd_ >= 0; }
  // False once the peer no longer takes bytes (closed or reset).
  bool send(const std::string& bytes);
  // What arrives until the peer closes or `timeout` passes.
  std::string readUntilClosed(std::chrono::milliseconds timeout);
  // Reads until `text` has arrived (true), the peer closes or the timeout.
  bool readUntil(const std::string& text, std::chrono::milliseconds timeout);
  const std::string& received() const { return received_; }
  // Whether the peer has closed (reads end of stream within `timeout`).
  bool closedByPeer(std::chrono::milliseconds timeout);

 private:
  // One read of up to 64 KiB; false on end of stream, error or timeout.
  bool readSome(std::chrono::steady_clock::time_point deadline, bool& closed);
  int fd_ = -1;
  std::string received_;
};

// Parses "HTTP/1.1 200 OK\r\n...\r\n\r\nbody" (a Content-Length body).
HttpResult parseHttpResponse(const std::string& bytes);

// One request on a connection of its own ("Connection: close"); Host is
// 127.0.0.1:port unless given, Content-Length is set for a body or a POST.
HttpResult httpRequest(int port, const std::string& method, const std::string& target, const HttpHeaders& headers = {},
                       const std::string& body = "",
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
