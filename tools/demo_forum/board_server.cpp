// SPDX-License-Identifier: MIT
#include "board_server.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/listener.h"

namespace quillstash::demo {
namespace {

constexpr std::size_t kMaxRequest = 1 << 20;

void parseParameters(const std::string& text, std::map<std::string, std::string>& into) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string::npos) end = text.size();
    std::string pair = text.substr(start, end - start);
    if (!pair.empty()) {
      std::size_t equals = pair.find('=');
      std::string name = urlDecode(pair.substr(0, equals));
      std::string value = equals == std::string::npos ? "" : urlDecode(pair.substr(equals + 1));
      into.emplace(name, value);
    }
    start = end + 1;
  }
}

std::string headerValue(const std::string& head, const char* name) {
  std::string lowerHead = head;
  for (char& c : lowerHead) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string key = std::string("\r\n") + name + ":";
  std::size_t at = lowerHead.find(key);
  if (at == std::string::npos) return "";
  std::size_t from = at + key.size();
  while (from < head.size() && head[from] == ' ') ++from;
  std::size_t end = head.find("\r\n", from);
  return head.substr(from, end - from);
}

bool sendAll(platform::SocketHandle connection, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    long n = platform::sendBytes(connection, data.data() + sent, data.size() - sent);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string urlDecode(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Request::param(const std::string& name, const std::string& fallback) const {
  auto found = query.find(name);
  return found == query.end() ? fallback : found->second;
}

long Request::number(const std::string& name, long fallback) const {
  auto found = query.find(name);
  if (found == query.end() || found->second.empty()) return fallback;
  return std::strtol(found->second.c_str(), nullptr, 10);
}

Response Response::html(std::string body) {
  Response response;
  response.headers.emplace_back("Content-Type", "text/html; charset=ISO-8859-1");
  response.body = std::move(body);
  return response;
}

Response Response::notFound() {
  Response response = html("<html><head><title>Not Found</title></head><body>No such page.</body></html>");
  response.status = 404;
  response.reason = "Not Found";
  return response;
}

Response Response::redirect(const std::string& location) {
  Response response = html("<html><body>Moved</body></html>");
  response.status = 302;
  response.reason = "Found";
  response.headers.emplace_back("Location", location);
  return response;
}

bool BoardServer::start(std::uint16_t port) {
  listener_ = platform::listenOnLoopback(port, port_);
  if (listener_ == platform::kInvalidSocket) return false;
  running_.store(true);
  thread_ = std::thread([this] { serve(); });
  return true;
}

void BoardServer::stop() {
  if (!running_.exchange(false)) return;
  if (thread_.joinable()) thread_.join();
  for (std::thread& connection : connections_) connection.join();
  connections_.clear();
  platform::closeSocket(listener_);
  listener_ = platform::kInvalidSocket;
}

std::vector<std::string> BoardServer::requestLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requestLines_;
}

void BoardServer::serve() {
  while (running_.load()) {
    if (platform::waitReadable(listener_, std::chrono::milliseconds(100)) != platform::WaitResult::kReadable) continue;
    platform::SocketHandle connection = platform::acceptConnection(listener_);
    if (connection == platform::kInvalidSocket) continue;
    if (!sideBySide_) {
      answer(connection);
      platform::closeSocket(connection);
      continue;
    }
    connections_.emplace_back([this, connection] {
      answer(connection);
      platform::closeSocket(connection);
    });
  }
}

bool BoardServer::useTls(const std::string& certificatePem, const std::string& keyPem) {
  tls_ = std::make_unique<platform::TlsServerContext>();
  if (tls_->open(certificatePem, keyPem)) return true;
  tls_.reset();
  return false;
}

namespace {

// One connection, plain or TLS (then non-blocking, each wait at most kSilence).
class Link {
 public:
  static constexpr auto kSilence = std::chrono::seconds(10);  // a silent client is dropped

  Link(platform::SocketHandle fd, const platform::TlsServerContext* tls) : fd_(fd) {
    if (tls == nullptr) return;
    platform::setBlocking(fd, false);
    session_.startServer(*tls, fd);
  }

  // Runs the handshake of a TLS connection; false when it fails.
  bool open() {
    while (session_.isOpen()) {
      const platform::TlsStep step = session_.handshake();
      if (step == platform::TlsStep::kDone) return true;
      if (!waitFor(step)) return false;
    }
    return true;
  }

  // Bytes read, or 0 at the end, on an error or after kSilence.
  long read(char* buffer, std::size_t capacity) {
    if (!session_.isOpen()) {
      if (platform::waitReadable(fd_, kSilence) != platform::WaitResult::kReadable) return 0;
      return std::max<long>(0, platform::receiveBytes(fd_, buffer, capacity));
    }
    for (;;) {
      std::size_t got = 0;
      const platform::TlsStep step = session_.read(buffer, capacity, got);
      if (step == platform::TlsStep::kDone) return static_cast<long>(got);
      if (!waitFor(step)) return 0;
    }
  }

  void writeAll(const std::string& data) {
    if (!session_.isOpen()) {
      sendAll(fd_, data);
      return;
    }
    std::size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + kSilence;
    while (done < data.size()) {
      std::size_t sent = 0;
      const platform::TlsStep step = session_.write(data.data() + done, data.size() - done, sent);
      done += sent;
      if (step == platform::TlsStep::kDone) continue;
      if (std::chrono::steady_clock::now() >= deadline || !waitFor(step)) return;
    }
  }

 private:
  // Waits for what a TLS step asks: readable (at most kSilence), or room to
  // write (a short pause, the caller bounds the whole write).
  bool waitFor(platform::TlsStep step) {
    if (step == platform::TlsStep::kWantWrite) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return true;
    }
    return step == platform::TlsStep::kWantRead &&
           platform::waitReadable(fd_, kSilence) == platform::WaitResult::kReadable;
  }

  platform::SocketHandle fd_;
  platform::TlsSession session_;
};

}  // namespace

void BoardServer::answer(platform::SocketHandle connection) {
  Link link(connection, tls_.get());
  if (!link.open()) return;
  std::string raw;
  char buffer[16384];
  std::size_t headEnd = std::string::npos;
  std::size_t wanted = 0;
  for (;;) {
    const long got = link.read(buffer, sizeof buffer);
    if (got <= 0) break;
    raw.append(buffer, static_cast<std::size_t>(got));
    if (raw.size() > kMaxRequest) return;
    if (headEnd == std::string::npos) {
      headEnd = raw.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        wanted =
            headEnd + 4 + std::strtoul(headerValue(raw.substr(0, headEnd + 2), "content-length").c_str(), nullptr, 10);
      }
    }
    if (headEnd != std::string::npos && raw.size() >= wanted) break;
  }
  if (headEnd == std::string::npos) return;

  Request request;
  request.raw = raw;
  request.serverPort = port_;
  request.secure = tls_ != nullptr;
  std::string head = "\r\n" + raw.substr(0, headEnd + 2);
  std::string line = raw.substr(0, raw.find("\r\n"));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requestLines_.push_back(line);
  }
  std::size_t space = line.find(' ');
  request.method = line.substr(0, space);
  std::size_t secondSpace = line.find(' ', space + 1);
  request.target = line.substr(space + 1, secondSpace - space - 1);
  std::size_t question = request.target.find('?');
  request.path = request.target.substr(0, question);
  if (question != std::string::npos) parseParameters(request.target.substr(question + 1), request.query);
  request.body = raw.substr(headEnd + 4);
  if (request.method == "POST") parseParameters(request.body, request.query);
  std::string cookies = headerValue(head, "cookie");
  std::size_t start = 0;
  while (start < cookies.size()) {
    std::size_t end = cookies.find(';', start);
    if (end == std::string::npos) end = cookies.size();
    std::string pair = cookies.substr(start, end - start);
    while (!pair.empty() && pair.front() == ' ') pair.erase(0, 1);
    std::size_t equals = pair.find('=');
    if (equals != std::string::npos) request.cookies.emplace(pair.substr(0, equals), pair.substr(equals + 1));
    start = end + 1;
  }

  Response response = handler_(request);
  std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
  out += "Server: quillstash-demo\r\n";
  for (const auto& [name, value] : response.headers) out += name + ": " + value + "\r\n";
  out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  out += "Connection: close\r\n\r\n";
  out += response.body;
  link.writeAll(out);
}

}  // namespace quillstash::demo
