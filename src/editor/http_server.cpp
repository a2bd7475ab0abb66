#include "editor/http_server.h"

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cctype>
#include <thread>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {
// Past this many open connections a new one is closed at once, so that a
// flood of sockets cannot use up the player's file descriptors.
constexpr int kMaxConnections = 512;
// After a refusal the rest of what the client sends is read and dropped
// for a moment, so that it sees the answer instead of a reset.
constexpr std::chrono::milliseconds kDrainTime{1000};
constexpr size_t kDrainBytes = 256 * 1024;

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i] == '+' ? ' ' : text[i];
    }
  }
  return out;
}
}  // namespace

std::string HttpRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (sameName(key, name)) return value;
  }
  return {};
}

bool HttpRequest::hasHeader(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& field) { return sameName(field.first, name); });
}

std::string HttpRequest::queryValue(const std::string& name) const {
  size_t at = 0;
  while (at <= query.size()) {
    const size_t end = std::min(query.find('&', at), query.size());
    const std::string pair = query.substr(at, end - at);
    const size_t equals = pair.find('=');
    if (percentDecoded(pair.substr(0, equals)) == name) {
      return equals == std::string::npos ? std::string() : percentDecoded(pair.substr(equals + 1));
    }
    at = end + 1;
  }
  return {};
}

class HttpConnection;

struct HttpServer::Impl : std::enable_shared_from_this<HttpServer::Impl> {
  Impl(HttpLimits l, HttpHandlers h) : limits(l), handlers(std::move(h)) {}
  ~Impl() { stop(); }

  HttpLimits limits;
  HttpHandlers handlers;
  std::atomic<int> streams{0};
  std::atomic<int> connections{0};
  int port = 0;
  std::vector<std::weak_ptr<HttpConnection>> streamList;  // I/O thread only
  // Declared after what the connections touch when they are destroyed with it.
  asio::io_context io{1};
  tcp::acceptor acceptor{io};
  asio::steady_timer acceptPause{io};
  std::thread thread;

  void accept();
  void pollStreams();
  void stop();
};

// One client connection: requests one after another, or, once it asks for
// the event stream, a stream of events until either side closes.
class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
 public:
  HttpConnection(HttpServer::Impl& server, tcp::socket socket)
      : server_(server),
        limits_(server.limits),
        stream_(std::move(socket)),
        buffer_(server.limits.maxHeaderBytes + 4096),
        timer_(server.io) {
    ++server_.connections;
  }
  ~HttpConnection() {
    --server_.connections;
    if (streaming_ && !closed_) --server_.streams;
  }

  void start() {
    stream_.expires_after(limits_.requestTimeout);
    readHeader();
  }

  // The event stream's turn: send what is new, unless the last send is
  // still in flight; one stuck for too long closes the stream.
  void poll() {
    if (closed_ || !streaming_) return;
    if (writing_) {
      if (Clock::now() - writeStarted_ > limits_.writeTimeout) closeStream();
      return;
    }
    if (std::string news = source_(); !news.empty()) sendEvents(std::move(news));
  }

 private:
  void readHeader() {
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(limits_.maxHeaderBytes));
    parser_->body_limit(limits_.maxBodyBytes);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code ec, size_t) { self->onHeader(ec); });
  }

  void onHeader(beast::error_code ec) {
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
      return refuse(431, "the request's line and headers are over " + std::to_string(limits_.maxHeaderBytes / 1024) +
                             " KiB");
    }
    if (ec == http::error::body_limit) return refuse(413, bodyLimitMessage());
    if (ec == http::error::end_of_stream || ec == beast::error::timeout || ec == asio::error::operation_aborted ||
        ec == asio::error::eof || ec == asio::error::connection_reset) {
      return close();
    }
    if (ec) return refuse(400, "the request is malformed");

    const auto& head = parser_->get();
    request_ = HttpRequest();
    request_.method = std::string(head.method_string());
    const std::string target(head.target());
    const size_t question = target.find('?');
    request_.path = target.substr(0, question);
    request_.query = question == std::string::npos ? std::string() : target.substr(question + 1);
    for (const auto& field : head) {
      request_.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    keepAlive_ = head.keep_alive();
    headOnly_ = head.method() == http::verb::head;
    const bool hasBody = parser_->chunked() || parser_->content_length().value_or(0) > 0;

    if (request_.hasHeader("Content-Encoding")) {
      return refuse(415, "the request body must not be compressed (no Content-Encoding)", hasBody);
    }
    const bool mayHaveBody = head.method() != http::verb::get && head.method() != http::verb::head &&
                             head.method() != http::verb::delete_ && head.method() != http::verb::options;
    if (mayHaveBody && !parser_->content_length() && !parser_->chunked()) {
      return refuse(411, "a " + request_.method + " needs a Content-Length (or a chunked body)");
    }
    if (parser_->content_length().value_or(0) > limits_.maxBodyBytes) return refuse(413, bodyLimitMessage(), true);
    if (std::optional<HttpAnswer> refusal = server_.handlers.admit(request_)) {
      return send(std::move(*refusal), /*close=*/hasBody || !keepAlive_, hasBody);
    }
    if (server_.handlers.isEventStream(request_)) return openStream();
    if (parser_->is_done()) return onBody({});
    stream_.expires_after(limits_.bodyTimeout);
    if (sameName(request_.header("Expect"), "100-continue")) {
      auto interim = std::make_shared<std::string>("HTTP/1.1 100 Continue\r\n\r\n");
      asio::async_write(stream_, asio::buffer(*interim),
                        [self = shared_from_this(), interim](beast::error_code error, size_t) {
                          if (error) return self->close();
                          self->readBody();
                        });
      return;
    }
    readBody();
  }

  void readBody() {
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, size_t) { self->onBody(ec); });
  }

  void onBody(beast::error_code ec) {
    if (ec == http::error::body_limit) return refuse(413, bodyLimitMessage(), true);
    if (ec) return close();
    request_.body = std::move(parser_->get().body());
    parser_.reset();
    // The owner answers within its own bounded time (an edit waits for a
    // frame); the connection waits for it without a deadline of its own.
    stream_.expires_never();
    std::weak_ptr<HttpServer::Impl> server = server_.weak_from_this();
    auto once = std::make_shared<std::atomic<bool>>(false);
    // The reply holds the connection until it comes. It may come from the
    // main thread, even after the server is gone (then it is dropped): it
    // is posted to the I/O thread.
    HttpReply reply = [self = shared_from_this(), server, once](HttpAnswer answer) {
      if (once->exchange(true)) return;
      const std::shared_ptr<HttpServer::Impl> alive = server.lock();
      if (!alive) return;
      asio::post(alive->io, [self, answer = std::move(answer)]() mutable {
        self->send(std::move(answer), !self->keepAlive_, false);
      });
    };
    server_.handlers.handle(std::move(request_), std::move(reply));
  }

  std::string bodyLimitMessage() const {
    return "the request body is over " + std::to_string(limits_.maxBodyBytes / (1024 * 1024)) + " MiB";
  }

  void refuse(int status, const std::string& message, bool drain = true) {
    HttpAnswer answer;
    answer.status = status;
    answer.body = server_.handlers.errorBody(message);
    send(std::move(answer), /*close=*/true, drain);
  }

  void send(HttpAnswer answer, bool closeAfter, bool drain) {
    auto response = std::make_shared<http::response<http::string_body>>();
    response->version(11);
    response->result(static_cast<unsigned>(answer.status));
    response->set(http::field::content_type, answer.contentType);
    for (const auto& [name, value] : answer.headers) response->set(name, value);
    response->body() = std::move(answer.body);
    response->keep_alive(!closeAfter);
    response->prepare_payload();
    if (headOnly_) response->body().clear();  // the length stays: it is the GET's
    stream_.expires_after(limits_.writeTimeout);
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response, closeAfter, drain](beast::error_code ec, size_t) {
                        if (ec) return self->close();
                        if (closeAfter) return drain ? self->drainAndClose() : self->close();
                        self->awaitNextRequest();
                      });
  }

  // Keep-alive: wait (a while) for the first byte of the next request, then
  // give its line and headers the request time.
  void awaitNextRequest() {
    if (buffer_.size() > 0) {
      stream_.expires_after(limits_.requestTimeout);
      return readHeader();
    }
    stream_.expires_after(limits_.idleTimeout);
    stream_.async_read_some(buffer_.prepare(1024), [self = shared_from_this()](beast::error_code ec, size_t n) {
      if (ec) return self->close();
      self->buffer_.commit(n);
      self->stream_.expires_after(self->limits_.requestTimeout);
      self->readHeader();
    });
  }

  void drainAndClose() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    drained_ = 0;
    stream_.expires_after(kDrainTime);
    drainSome();
  }

  void drainSome() {
    buffer_.clear();
    stream_.async_read_some(buffer_.prepare(4096), [self = shared_from_this()](beast::error_code ec, size_t n) {
      self->drained_ += n;
      if (ec || self->drained_ > kDrainBytes) return self->close();
      self->drainSome();
    });
  }

  void close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.socket().close(ignored);
  }

  void openStream() {
    if (server_.streams.load() >= limits_.maxEventStreams) {
      return refuse(503, "the editor serves at most " + std::to_string(limits_.maxEventStreams) +
                             " event streams at once (one per open page): close a page and try again",
                    false);
    }
    ++server_.streams;
    streaming_ = true;
    source_ = server_.handlers.openEventStream(request_);
    server_.streamList.push_back(weak_from_this());
    stream_.expires_never();
    sendEvents(
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" +
        source_());
    tick();
    // The client sends nothing more; anything it does (closing) ends the stream.
    stream_.socket().async_read_some(asio::buffer(readProbe_),
                                     [self = shared_from_this()](beast::error_code, size_t) { self->closeStream(); });
  }

  void tick() {
    timer_.expires_after(limits_.eventInterval);
    timer_.async_wait([self = shared_from_this()](beast::error_code ec) {
      if (ec || self->closed_) return;
      self->poll();
      self->tick();
    });
  }

  void sendEvents(std::string text) {
    outgoing_ = std::move(text);
    writing_ = true;
    writeStarted_ = Clock::now();
    asio::async_write(stream_.socket(), asio::buffer(outgoing_),
                      [self = shared_from_this()](beast::error_code ec, size_t) {
                        self->writing_ = false;
                        if (ec) self->closeStream();
                      });
  }

  void closeStream() {
    if (closed_) return;
    closed_ = true;
    --server_.streams;
    timer_.cancel();
    source_ = nullptr;
    close();
  }

  HttpServer::Impl& server_;
  const HttpLimits& limits_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  HttpRequest request_;
  bool keepAlive_ = false;
  bool headOnly_ = false;
  size_t drained_ = 0;

  // The event stream.
  asio::steady_timer timer_;
  HttpEventSource source_;
  bool streaming_ = false;
  bool closed_ = false;
  bool writing_ = false;
  Clock::time_point writeStarted_;
  std::string outgoing_;
  char readProbe_[64] = {};
};


void HttpServer::Impl::accept() {
  acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted) return;
    if (ec) {
      // Out of descriptors, say: try again in a moment rather than spin.
      acceptPause.expires_after(std::chrono::milliseconds(100));
      acceptPause.async_wait([this](beast::error_code error) {
        if (!error) accept();
      });
      return;
    }
    if (connections.load() < kMaxConnections) std::make_shared<HttpConnection>(*this, std::move(socket))->start();
    accept();
  });
}

void HttpServer::Impl::pollStreams() {
  streamList.erase(std::remove_if(streamList.begin(), streamList.end(),
                                  [](const std::weak_ptr<HttpConnection>& stream) { return stream.expired(); }),
                   streamList.end());
  for (const std::weak_ptr<HttpConnection>& weak : streamList) {
    if (std::shared_ptr<HttpConnection> stream = weak.lock()) stream->poll();
  }
}

void HttpServer::Impl::stop() {
  io.stop();
  if (thread.joinable()) thread.join();
}

HttpServer::HttpServer(HttpLimits limits, HttpHandlers handlers)
    : impl_(std::make_shared<Impl>(limits, std::move(handlers))) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::bind(int port) {
  Impl& impl = *impl_;
  beast::error_code ec;
  impl.acceptor.close(ec);
  ec.clear();
  impl.acceptor.open(tcp::v4(), ec);
  if (!ec) impl.acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) impl.acceptor.bind(tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port)), ec);
  if (!ec) impl.acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    beast::error_code ignored;
    impl.acceptor.close(ignored);
    impl.port = 0;
    return false;
  }
  impl.port = impl.acceptor.local_endpoint(ec).port();
  return !ec;
}

int HttpServer::port() const { return impl_->port; }

void HttpServer::start() {
  Impl& impl = *impl_;
  if (impl.thread.joinable()) return;
  impl.accept();
  impl.thread = std::thread([&impl] { impl.io.run(); });
}

void HttpServer::stop() { impl_->stop(); }

void HttpServer::wakeEventStreams() {
  asio::post(impl_->io, [impl = impl_.get()] { impl->pollStreams(); });
}

void HttpServer::runAfter(std::chrono::milliseconds delay, std::function<void()> task) {
  asio::post(impl_->io, [impl = impl_.get(), delay, task = std::move(task)]() mutable {
    auto timer = std::make_shared<asio::steady_timer>(impl->io, delay);
    timer->async_wait([timer, task = std::move(task)](beast::error_code ec) {
      if (!ec) task();
    });
  });
}

int HttpServer::openEventStreams() const { return impl_->streams.load(); }
