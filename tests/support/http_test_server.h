// SPDX-License-Identifier: MIT
#pragma once

// A real HTTP server on loopback for the network tests: it listens on an
// ephemeral port of 127.0.0.1, records every raw request, and answers each
// request target with responses the test scripts byte for byte, including
// the misbehaviours of real servers (stalls, early closes, split headers,
// connections held open). One thread per connection; every wait ends when the
// server is destroyed, so no test can hang on it. Serves also as a proxy: its
// routes are then keyed by absolute addresses, and CONNECT opens a tunnel to
// a loopback port when tunnels are allowed. Speaks https when given a
// certificate.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "platform/tls.h"

namespace quillstash::test {

struct ScriptedResponse {
  // Written one after another; a pause between pieces makes them arrive in
  // separate reads.
  std::vector<std::string> pieces;
  std::chrono::milliseconds pauseBetweenPieces{0};
  std::chrono::milliseconds stallBeforeAnswer{0};  // wait this long before writing
  bool closeWithoutAnswer = false;                 // read the request, then close
  bool keepOpen = false;                           // after writing, wait for the client to close
  bool resetAtEnd = false;                         // end with a reset instead of a close
  bool keepAlive = false;                          // after writing, read the next request on the
                                                   // same connection (HTTP/1.1 keep-alive)
  bool repeatLastPiece = false;                    // send the last piece again and again (an endless
                                                   // body or header) until the client goes away

  // A complete response: status line, the given header lines (each ending in
  // CR LF), a Content-Length when `withLength`, the blank line and the body.
  static ScriptedResponse make(const std::string& status, const std::string& headers, const std::string& body,
                               bool withLength = true);
  // Exactly these bytes.
  static ScriptedResponse raw(std::string bytes);
  // "HTTP/1.0 200 OK" with a Content-Length and `body`.
  static ScriptedResponse ok(const std::string& body) { return make("HTTP/1.0 200 OK", "", body); }
  // A redirect to `location`.
  static ScriptedResponse redirect(const std::string& location) {
    return make("HTTP/1.0 302 Found", "Location: " + location + "\r\n", "");
  }
};

class HttpTestServer {
 public:
  HttpTestServer();
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>", or "https://..." once TLS is on.
  std::string base() const;

  // Serves every later connection over TLS with this certificate chain and
  // key (PEM). False when they do not make a server configuration.
  bool useTls(const std::string& certificatePem, const std::string& keyPem);
  // Answers "CONNECT 127.0.0.1:<port>" with 200 and relays the bytes both ways.
  void allowTunnels();

  // Answers requests for `target` (the request line's target, exactly) with
  // `responses` in turn; the last one answers every further request. Unknown
  // targets get a 404.
  void route(const std::string& target, std::vector<ScriptedResponse> responses);
  void route(const std::string& target, ScriptedResponse response) {
    route(target, std::vector<ScriptedResponse>{std::move(response)});
  }

  // The raw requests received so far (header and body), in order.
  std::vector<std::string> requests() const;
  std::size_t requestCount() const;
  // Connections accepted so far.
  std::size_t connectionCount() const;
  // Stops accepting: later connections are refused, open ones go on.
  void stopListening();

  // Waits until `count` requests have arrived or `budget` has passed.
  bool waitForRequests(std::size_t count, std::chrono::milliseconds budget) const;

 private:
  void acceptLoop();
  void serve(platform::SocketHandle connection);
  void relay(platform::SocketHandle connection, const std::string& request);
  ScriptedResponse responseFor(const std::string& target);
  // Sleeps up to `duration`; false when the server is stopping.
  bool pause(std::chrono::milliseconds duration);

  platform::SocketHandle listener_ = platform::kInvalidSocket;
  std::uint16_t port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  bool listening_ = true;
  bool tunnels_ = false;
  platform::TlsServerContext tls_;  // open once useTls() succeeded
  std::map<std::string, std::vector<ScriptedResponse>> routes_;
  std::map<std::string, std::size_t> served_;
  std::vector<std::string> requests_;
  std::size_t accepted_ = 0;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace quillstash::test
