// SPDX-License-Identifier: MIT
#include "support/http_test_server.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "platform/listener.h"

namespace quillstash::test {
namespace {

constexpr auto kRequestBudget = std::chrono::seconds(10);

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The Content-Length of a request header, 0 when none.
std::size_t requestBodyLength(const std::string& header) {
  const std::string lower = lowerCase(header);
  const std::size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return static_cast<std::size_t>(std::strtoul(header.c_str() + at + 17, nullptr, 10));
}

constexpr auto kPollSlice = std::chrono::milliseconds(20);

// One accepted connection, plain or TLS. A TLS connection's socket is
// non-blocking; its calls wait in short slices.
struct Peer {
  platform::SocketHandle fd = platform::kInvalidSocket;
  platform::TlsSession tls;

  bool secure() const { return tls.isOpen(); }

  // Waits a slice for what a TLS step asks for: readable, or room to write.
  void waitFor(platform::TlsStep step) const {
    if (step == platform::TlsStep::kWantRead) {
      platform::waitReadable(fd, kPollSlice);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // Bytes read (> 0), 0 at the client's close, -1 on an error, -2 when nothing is there yet.
  long read(char* buffer, std::size_t capacity) {
    if (!secure()) return platform::receiveBytes(fd, buffer, capacity);
    std::size_t got = 0;
    switch (tls.read(buffer, capacity, got)) {
      case platform::TlsStep::kDone: return static_cast<long>(got);
      case platform::TlsStep::kClosed: return 0;
      case platform::TlsStep::kWantRead:
      case platform::TlsStep::kWantWrite: return -2;
      case platform::TlsStep::kFailed: return -1;
    }
    return -1;
  }

  // Bytes already decrypted wait without the socket being readable.
  bool readable() {
    if (secure() && tls.pending() > 0) return true;
    return platform::waitReadable(fd, kPollSlice) == platform::WaitResult::kReadable;
  }

  // False when the client went away: nothing more to say.
  bool writeAll(const std::string& bytes) {
    std::size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + kRequestBudget;
    while (done < bytes.size()) {
      if (!secure()) {
        const long n = platform::sendBytes(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
        continue;
      }
      std::size_t sent = 0;
      const platform::TlsStep step = tls.write(bytes.data() + done, bytes.size() - done, sent);
      if (step == platform::TlsStep::kFailed || step == platform::TlsStep::kClosed) return false;
      done += sent;
      if (step == platform::TlsStep::kDone) continue;
      // A client that stops reading for a whole budget has gone: give up.
      if (std::chrono::steady_clock::now() >= deadline) return false;
      waitFor(step);
    }
    return true;
  }
};

platform::SocketHandle connectLoopback(std::uint16_t port) {
  platform::Socket socket = platform::openTcpSocket();
  if (!socket.isOpen() || !platform::connectSocket(socket.handle(), platform::Ipv4Endpoint{0x7F000001, port})) {
    return platform::kInvalidSocket;
  }
  return socket.release();
}

}  // namespace

ScriptedResponse ScriptedResponse::make(const std::string& status, const std::string& headers, const std::string& body,
                                        bool withLength) {
  std::string bytes = status + "\r\n" + headers;
  if (withLength) bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  bytes += "\r\n";
  bytes += body;
  return raw(std::move(bytes));
}

ScriptedResponse ScriptedResponse::raw(std::string bytes) {
  ScriptedResponse response;
  response.pieces.push_back(std::move(bytes));
  return response;
}

HttpTestServer::HttpTestServer() {
  listener_ = platform::listenOnLoopback(0, port_);
  if (listener_ == platform::kInvalidSocket) throw std::runtime_error("test server: cannot listen on loopback");
  acceptor_ = std::thread([this] { acceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  acceptor_.join();
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connections.swap(connections_);
  }
  for (std::thread& t : connections) t.join();
  platform::closeSocket(listener_);
}

void HttpTestServer::stopListening() {
  std::unique_lock<std::mutex> lock(mutex_);
  listening_ = false;
  changed_.wait(lock, [this] { return listener_ == platform::kInvalidSocket; });
}

std::string HttpTestServer::base() const {
  return (tls_.isOpen() ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_);
}

bool HttpTestServer::useTls(const std::string& certificatePem, const std::string& keyPem) {
  std::lock_guard<std::mutex> lock(mutex_);
  return tls_.open(certificatePem, keyPem);
}

void HttpTestServer::allowTunnels() {
  std::lock_guard<std::mutex> lock(mutex_);
  tunnels_ = true;
}

void HttpTestServer::relay(platform::SocketHandle connection, const std::string& request) {
  const std::size_t colon = request.find(':');
  const std::size_t space = request.find(' ', 8);
  const std::string host = request.substr(8, colon - 8);
  const platform::Socket upstream(
      (host == "127.0.0.1" || host == "localhost") && colon < space
          ? connectLoopback(static_cast<std::uint16_t>(std::stoi(request.substr(colon + 1))))
          : platform::kInvalidSocket);
  Peer client{connection, {}};
  if (!upstream.isOpen()) {
    client.writeAll("HTTP/1.0 502 Bad Gateway\r\n\r\n");
    return;
  }
  client.writeAll("HTTP/1.0 200 Connection established\r\n\r\n");
  const platform::SocketHandle ends[2] = {connection, upstream.handle()};
  char buffer[65536];
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
    }
    bool closed = false;
    for (int i = 0; i < 2 && !closed; ++i) {
      if (platform::waitReadable(ends[i], std::chrono::milliseconds(5)) != platform::WaitResult::kReadable) continue;
      const long n = platform::receiveBytes(ends[i], buffer, sizeof buffer);
      Peer to{ends[1 - i], {}};
      closed = n <= 0 || !to.writeAll(std::string(buffer, static_cast<std::size_t>(n)));
    }
    if (closed) break;
  }
}

void HttpTestServer::route(const std::string& target, std::vector<ScriptedResponse> responses) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[target] = std::move(responses);
  served_[target] = 0;
}

std::vector<std::string> HttpTestServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::size_t HttpTestServer::requestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

std::size_t HttpTestServer::connectionCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return accepted_;
}

bool HttpTestServer::waitForRequests(std::size_t count, std::chrono::milliseconds budget) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, budget, [&] { return requests_.size() >= count; });
}

bool HttpTestServer::pause(std::chrono::milliseconds duration) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !changed_.wait_for(lock, duration, [this] { return stopping_; });
}

ScriptedResponse HttpTestServer::responseFor(const std::string& target) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = routes_.find(target);
  if (found == routes_.end() || found->second.empty()) {
    return ScriptedResponse::make("HTTP/1.0 404 Not Found", "", "no route");
  }
  std::size_t& count = served_[target];
  const std::size_t index = std::min(count, found->second.size() - 1);
  ++count;
  return found->second[index];
}

void HttpTestServer::acceptLoop() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      if (!listening_) {
        platform::closeSocket(listener_);
        listener_ = platform::kInvalidSocket;
        changed_.notify_all();
        return;
      }
    }
    if (platform::waitReadable(listener_, kPollSlice) != platform::WaitResult::kReadable) continue;
    const platform::SocketHandle connection = platform::acceptConnection(listener_);
    if (connection == platform::kInvalidSocket) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    ++accepted_;
    connections_.emplace_back([this, connection] { serve(connection); });
  }
}

void HttpTestServer::serve(platform::SocketHandle connection) {
  Peer peer{connection, {}};
  const auto deadline = std::chrono::steady_clock::now() + kRequestBudget;
  bool tunnels = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tunnels = tunnels_;
    if (tls_.isOpen()) {
      platform::setBlocking(connection, false);
      peer.tls.startServer(tls_, connection);
    }
  }
  // A client that refuses the certificate ends here, before any request.
  while (peer.secure() && std::chrono::steady_clock::now() < deadline) {
    const platform::TlsStep step = peer.tls.handshake();
    if (step == platform::TlsStep::kDone) break;
    if (step != platform::TlsStep::kWantRead && step != platform::TlsStep::kWantWrite) {
      peer.tls.close();
      platform::closeSocket(connection);
      return;
    }
    peer.waitFor(step);
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) break;
  }
  // Requests follow one another on the connection while the answers keep it
  // alive; bytes read past one request belong to the next.
  std::string pending;
  char buffer[65536];
  for (bool firstRequest = true;; firstRequest = false) {
    // Read the request header, then the body its Content-Length announces.
    std::string request = std::move(pending);
    pending.clear();
    std::size_t needed = std::string::npos;
    auto measure = [&] {
      const std::size_t blank = request.find("\r\n\r\n");
      if (blank != std::string::npos) needed = blank + 4 + requestBodyLength(request.substr(0, blank + 2));
    };
    measure();
    bool ended = false;
    while (request.size() < needed && std::chrono::steady_clock::now() < deadline) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) break;
      }
      if (!peer.readable()) continue;
      const long n = peer.read(buffer, sizeof buffer);
      if (n == -2) continue;
      if (n <= 0) {
        ended = true;
        break;
      }
      request.append(buffer, static_cast<std::size_t>(n));
      measure();
    }
    if (!firstRequest && request.empty() && ended) break;  // the client closed a kept-alive connection
    if (needed != std::string::npos && request.size() > needed) {
      pending = request.substr(needed);
      request.resize(needed);
    }
    std::string target;
    const std::size_t first = request.find(' ');
    if (first != std::string::npos) target = request.substr(first + 1, request.find(' ', first + 1) - first - 1);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    changed_.notify_all();

    if (tunnels && request.rfind("CONNECT ", 0) == 0) {
      relay(connection, request);
      platform::closeSocket(connection);
      return;
    }
    const ScriptedResponse response = responseFor(target);
    bool going = pause(response.stallBeforeAnswer);
    if (going && !response.closeWithoutAnswer) {
      for (std::size_t i = 0; i < response.pieces.size() && going; ++i) {
        if (i != 0) going = pause(response.pauseBetweenPieces);
        if (going) going = peer.writeAll(response.pieces[i]);
      }
      while (going && response.repeatLastPiece && !response.pieces.empty()) {
        going = pause(response.pauseBetweenPieces) && peer.writeAll(response.pieces.back());
      }
      if (going && response.keepAlive && !ended) continue;
      // Held open until the client closes, so that only a Content-Length can end the read.
      while (going && response.keepOpen) {
        if (peer.readable()) {
          const long n = peer.read(buffer, sizeof buffer);
          if (n == 0 || n == -1) break;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        going = !stopping_;
      }
    }
    if (response.resetAtEnd) platform::resetOnClose(connection);
    break;
  }
  peer.tls.close();
  platform::closeSocket(connection);
}

}  // namespace quillstash::test
