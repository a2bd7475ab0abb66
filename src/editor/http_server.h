// A small HTTP/1.1 server on 127.0.0.1 for the editor page: one I/O thread,
// every connection asynchronous, and every size and time bounded while it is
// read, so that no client (a flood of headers, a trickle, a compressed or
// endless body, a forgotten tab) can grow the player's memory or take the
// service from the others. It knows connections, limits and event streams;
// what a request means is its owner's (the editor service's) to say.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct HttpLimits {
  size_t maxHeaderBytes = 16 * 1024;  // request line and headers; past it 431
  size_t maxBodyBytes = 1 << 20;      // past it 413, chunked bodies too
  // The request line and headers must arrive within this of the
  // connection opening (or of the first byte of a later request).
  std::chrono::milliseconds requestTimeout{5000};
  // The body, once its headers are in.
  std::chrono::milliseconds bodyTimeout{10000};
  // A kept-alive connection with no new request is closed after this.
  std::chrono::milliseconds idleTimeout{30000};
  // An answer or event the client does not take within this closes it.
  std::chrono::milliseconds writeTimeout{10000};
  int maxEventStreams = 8;
  // Each open event stream is asked for news this often, and when woken.
  std::chrono::milliseconds eventInterval{40};
};

struct HttpRequest {
  std::string method;  // "GET", "POST", ...
  std::string path;    // the target before '?'
  std::string query;   // after '?', undecoded
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The first header of that name (any case), or "".
  std::string header(const std::string& name) const;
  bool hasHeader(const std::string& name) const;
  // The value of a query parameter, percent-decoded, or "".
  std::string queryValue(const std::string& name) const;
};

struct HttpAnswer {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

// Called at most once, from any thread.
using HttpReply = std::function<void(HttpAnswer)>;

// An open event stream's source: called on the I/O thread at each interval
// or wake; returns what to send now ("" for nothing). Destroyed when the
// stream closes.
using HttpEventSource = std::function<std::string()>;

struct HttpHandlers {
  // Called once the headers are in, before any body is read: a refusal is
  // sent at once and the body never read.
  std::function<std::optional<HttpAnswer>(const HttpRequest& head)> admit;
  // Whether this (admitted) request opens an event stream.
  std::function<bool(const HttpRequest& head)> isEventStream;
  // Makes the source of a new event stream.
  std::function<HttpEventSource(const HttpRequest& head)> openEventStream;
  // The whole request; answered now or later through `reply`.
  std::function<void(HttpRequest request, HttpReply reply)> handle;
  // The body of a refusal the server makes itself (431, 413, 503, ...).
  std::function<std::string(const std::string& message)> errorBody;
};

class HttpServer {
 public:
  HttpServer(HttpLimits limits, HttpHandlers handlers);
  ~HttpServer();  // stops
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds 127.0.0.1:port (0: any free port), without SO_REUSEPORT so that a
  // second player moves on to another port. False when it is taken.
  bool bind(int port);
  int port() const;
  // Serves on a thread of its own until stop().
  void start();
  void stop();

  // Asks every open event stream for news now (any thread).
  void wakeEventStreams();
  int openEventStreams() const;
  // Runs `task` on the I/O thread after `delay` (any thread); dropped when
  // the server stops first.
  void runAfter(std::chrono::milliseconds delay, std::function<void()> task);

 private:
  friend class HttpConnection;
  struct Impl;
  std::shared_ptr<Impl> impl_;
};
