// SPDX-License-Identifier: MIT
#pragma once

// A small HTTP/1.0 server on 127.0.0.1 that serves one sample board, over
// http or https. It answers one connection at a time, as the archiver fetches
// one page at a time, and closes every connection after its answer.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "platform/tls.h"

namespace quillstash::demo {

struct Request {
  std::string method;                        // "GET", "POST"
  std::string target;                        // path and query as sent, e.g. "/viewforum.php?f=2&start=10"
  std::string path;                          // target up to '?'
  std::map<std::string, std::string> query;  // decoded parameters of the query and of a form body
  std::map<std::string, std::string> cookies;
  std::string body;
  std::string raw;               // the request as received
  std::uint16_t serverPort = 0;  // the port the server listens on
  bool secure = false;           // served over https

  // The query or form parameter, or `fallback`.
  std::string param(const std::string& name, const std::string& fallback = "") const;
  long number(const std::string& name, long fallback = 0) const;
};

struct Response {
  int status = 200;
  std::string reason = "OK";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  static Response html(std::string body);
  static Response notFound();
  static Response redirect(const std::string& location);
};

using Handler = std::function<Response(const Request&)>;

class BoardServer {
 public:
  explicit BoardServer(Handler handler) : handler_(std::move(handler)) {}
  ~BoardServer() { stop(); }
  BoardServer(const BoardServer&) = delete;
  BoardServer& operator=(const BoardServer&) = delete;

  // Serves https with this certificate chain and key (PEM) from start() on.
  // False when they do not make a server configuration.
  bool useTls(const std::string& certificatePem, const std::string& keyPem);

  // Answers each connection on a thread of its own from start() on, so that
  // one held request does not hold the others; the handler is then called
  // from several threads at once. Otherwise connections are answered one
  // after the other.
  void answerSideBySide() { sideBySide_ = true; }

  // Listens on 127.0.0.1:`port` (0 picks a free port) and serves on a thread
  // of its own. False when the port cannot be bound.
  bool start(std::uint16_t port = 0);
  void stop();
  std::uint16_t port() const { return port_; }

  // Every request line received so far ("GET /index.php HTTP/1.0").
  std::vector<std::string> requestLines() const;

 private:
  void serve();
  void answer(platform::SocketHandle connection);

  Handler handler_;
  platform::SocketHandle listener_ = platform::kInvalidSocket;
  std::uint16_t port_ = 0;
  std::atomic<bool> running_{false};
  std::thread thread_;
  bool sideBySide_ = false;
  std::vector<std::thread> connections_;  // answering side by side; joined by stop()
  mutable std::mutex mutex_;
  std::vector<std::string> requestLines_;
  std::unique_ptr<platform::TlsServerContext> tls_;  // set for https
};

// Percent- and plus-decoding of a form value.
std::string urlDecode(const std::string& text);

}  // namespace quillstash::demo
