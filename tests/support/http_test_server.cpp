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

// False when the client went away: nothing more to say.
bool writeAll(platform::SocketHandle connection, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const long n = platform::sendBytes(connection, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
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

std::string HttpTestServer::base() const { return "http://127.0.0.1:" + std::to_string(port_); }

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
    connections_.emplace_back([this, connection] { serve(connection); });
  }
}

void HttpTestServer::serve(platform::SocketHandle connection) {
  // Read the request header, then the body its Content-Length announces.
  std::string request;
  std::size_t needed = std::string::npos;
  const auto deadline = std::chrono::steady_clock::now() + kRequestBudget;
  char buffer[65536];
  while (request.size() < needed && std::chrono::steady_clock::now() < deadline) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
    }
    if (platform::waitReadable(connection, kPollSlice) != platform::WaitResult::kReadable) continue;
    const long n = platform::receiveBytes(connection, buffer, sizeof buffer);
    if (n <= 0) break;
    request.append(buffer, static_cast<std::size_t>(n));
    const std::size_t blank = request.find("\r\n\r\n");
    if (blank != std::string::npos) needed = blank + 4 + requestBodyLength(request.substr(0, blank + 2));
  }
  std::string target;
  const std::size_t first = request.find(' ');
  if (first != std::string::npos) target = request.substr(first + 1, request.find(' ', first + 1) - first - 1);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  changed_.notify_all();

  const ScriptedResponse response = responseFor(target);
  bool going = pause(response.stallBeforeAnswer);
  if (going && !response.closeWithoutAnswer) {
    for (std::size_t i = 0; i < response.pieces.size() && going; ++i) {
      if (i != 0) going = pause(response.pauseBetweenPieces);
      if (going) writeAll(connection, response.pieces[i]);
    }
    while (going && response.repeatLastPiece && !response.pieces.empty()) {
      going = pause(response.pauseBetweenPieces) && writeAll(connection, response.pieces.back());
    }
    // Held open until the client closes, so that only a Content-Length can end the read.
    while (going && response.keepOpen) {
      if (platform::waitReadable(connection, kPollSlice) == platform::WaitResult::kReadable &&
          platform::receiveBytes(connection, buffer, sizeof buffer) <= 0) {
        break;
      }
      std::lock_guard<std::mutex> lock(mutex_);
      going = !stopping_;
    }
  }
  if (response.resetAtEnd) platform::resetOnClose(connection);
  platform::closeSocket(connection);
}

}  // namespace quillstash::test
