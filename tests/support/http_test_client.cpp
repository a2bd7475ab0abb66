#include "support/http_test_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

using Clock = std::chrono::steady_clock;

namespace {
bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
}  // namespace

std::string HttpResult::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (sameName(key, name)) return value;
  }
  return {};
}

TestConnection::TestConnection(int port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

TestConnection::~TestConnection() {
  if (fd_ >= 0) ::close(fd_);
}

bool TestConnection::send(const std::string& bytes) {
  size_t sent = 0;
  while (fd_ >= 0 && sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return fd_ >= 0;
}

bool TestConnection::readSome(Clock::time_point deadline, bool& closed) {
  closed = false;
  if (fd_ < 0) {
    closed = true;
    return false;
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return false;
  pollfd waiting{fd_, POLLIN, 0};
  if (::poll(&waiting, 1, static_cast<int>(left)) <= 0) return false;
  char chunk[65536];
  const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
  if (n <= 0) {
    closed = true;
    return false;
  }
  received_.append(chunk, static_cast<size_t>(n));
  return true;
}

std::string TestConnection::readUntilClosed(std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  bool closed = false;
  while (readSome(deadline, closed)) {
  }
  return received_;
}

bool TestConnection::readUntil(const std::string& text, std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  bool closed = false;
  while (received_.find(text) == std::string::npos) {
    if (!readSome(deadline, closed)) return false;
  }
  return true;
}

bool TestConnection::closedByPeer(std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  bool closed = false;
  while (readSome(deadline, closed)) {
  }
  return closed;
}

HttpResult parseHttpResponse(const std::string& bytes) {
  HttpResult result;
  const size_t headEnd = bytes.find("\r\n\r\n");
  if (bytes.rfind("HTTP/1.1 ", 0) != 0 || headEnd == std::string::npos) return result;
  result.answered = true;
  result.status = std::atoi(bytes.c_str() + 9);
  size_t at = bytes.find("\r\n") + 2;
  while (at < headEnd) {
    const size_t end = bytes.find("\r\n", at);
    const std::string line = bytes.substr(at, end - at);
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
      size_t valueAt = colon + 1;
      while (valueAt < line.size() && line[valueAt] == ' ') ++valueAt;
      result.headers.emplace_back(line.substr(0, colon), line.substr(valueAt));
    }
    at = end + 2;
  }
  result.body = bytes.substr(headEnd + 4);
  const std::string length = result.header("Content-Length");
  if (!length.empty()) result.body.resize(std::min(result.body.size(), static_cast<size_t>(std::atoll(length.c_str()))));
  return result;
}

HttpResult httpRequest(int port, const std::string& method, const std::string& target, const HttpHeaders& headers,
                       const std::string& body, std::chrono::milliseconds timeout) {
  std::string request = method + " " + target + " HTTP/1.1\r\n";
  bool hasHost = false;
  for (const auto& [name, value] : headers) {
    hasHost = hasHost || sameName(name, "Host");
    request += name + ": " + value + "\r\n";
  }
  if (!hasHost) request += "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  if (!body.empty() || method == "POST") request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  request += "Connection: close\r\n\r\n" + body;
  TestConnection connection(port);
  if (!connection.connected()) return {};
  connection.send(request);  // a refusal may close before the whole body is taken
  return parseHttpResponse(connection.readUntilClosed(timeout));
}
