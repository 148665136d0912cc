// SPDX-License-Identifier: MIT
#include "http/exchange.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "platform/process.h"
#include "text/strings.h"

namespace quillstash {
namespace {

// The longest single sleep between two looks at the stop request.
constexpr std::chrono::milliseconds kStopCheckStep{100};

}  // namespace

bool splitAddress(const char* address, HttpScratch& http) {
  TextWriter host = http.host.writer();
  TextWriter path = http.path.writer();
  http.serverAddress = platform::Ipv4Endpoint{};
  http.secure = isSecureAddress(address);
  const bool fits = splitAddress(address, host, http.serverAddress.port, path);
  http.addressPort = http.serverAddress.port;
  return fits;
}

CookieJar::Origin cookieOrigin(const HttpScratch& http, const char* address) {
  const char* path = address + schemeLength(address);
  while (*path != '\0' && *path != '/') ++path;
  return CookieJar::Origin{http.host.view(), std::string_view(path), http.secure};
}

void appendUserAgentLine(TextWriter& out, const Settings& settings) {
  // The value comes from the settings: up to its first line break and without
  // control characters, so that it cannot add a header line of its own.
  std::string_view agent = settings.userAgent.empty() ? kDefaultUserAgent : settings.userAgent.view();
  agent = agent.substr(0, agent.find_first_of("\r\n"));
  out.append("User-Agent: ");
  for (char c : agent) {
    if ((static_cast<unsigned char>(c) >= 0x20 || c == '\t') && c != 0x7F) out.put(c);
  }
  out.append("\r\n");
}

bool openProxyTunnel(HttpScratch& http, const Settings& settings, std::chrono::milliseconds timeout, ActivityLog& log) {
  // Built apart from http.requestText, which already holds the request. The
  // host goes through the request encoding, like the Host line of a GET.
  FixedText<16384> request;
  TextWriter r = request.writer();
  for (int line = 0; line < 2; ++line) {
    r.append(line == 0 ? "CONNECT " : " HTTP/1.0\r\nHost: ");
    appendRequestText(http.host.view(), r);
    r.put(':');
    appendCount(r, http.addressPort);
  }
  r.append("\r\n");
  appendUserAgentLine(r, settings);
  r.append("\r\n");
  r.terminate();
  if (r.truncated()) {
    log.logLine("[ X ] Address too long for the tunnel request to the proxy\r\n");
    return false;
  }
  if (!http.connection.sendAll(request.c_str(), request.size(), timeout, log)) {
    log.logLine("[ X ] Error sending the tunnel request to the proxy\r\n");
    return false;
  }
  // The proxy says nothing more until the client speaks, so everything read
  // before the blank line is its answer. messageText holds it.
  char* data = http.messageText.data;
  const std::size_t capacity = http.messageText.capacity() - 1;
  std::size_t received = 0;
  while (findBlankLine(data, received) == nullptr) {
    std::size_t got = 0;
    const Connection::Received result =
        http.connection.receive(data + received, capacity - received, capacity, timeout, log, got);
    if (result == Connection::Received::kStopped) return false;
    if (result != Connection::Received::kData) {
      log.logLine(result == Connection::Received::kTimedOut ? "[ X ] Timeout waiting for the proxy\r\n"
                                                            : "[ X ] The proxy closed the tunnel\r\n");
      return false;
    }
    received += got;
  }
  data[received] = '\0';
  const char* status = std::strchr(data, ' ');
  if (startsWithFolded(data, "http/") && status != nullptr && status[1] == '2') return true;
  std::size_t length = 0;
  while (length < 200 && static_cast<unsigned char>(data[length]) >= ' ') ++length;
  std::string line = "[ X ] The proxy refused the tunnel - ";
  line.append(data, length);
  line += "\r\n";
  log.logLine(line);
  return false;
}

bool startTls(HttpScratch& http, const platform::TlsClientContext& context, std::chrono::milliseconds timeout,
              ActivityLog& log) {
  platform::TlsFailure failure = platform::TlsFailure::kNone;
  switch (http.connection.startTls(context, http.host.c_str(), timeout, log, failure)) {
    case Connection::Outcome::kDone: return true;
    case Connection::Outcome::kStopped: return false;
    case Connection::Outcome::kTimedOut: {
      LogLineBuilder line(http);
      line << "[ X ] Secure connection to " << http.host.view() << " failed: handshake timed out";
      line.send(log);
      return false;
    }
    case Connection::Outcome::kFailed: break;
  }
  LogLineBuilder line(http);
  line << "[ X ] Secure connection to " << http.host.view() << " failed: " << platform::describeTlsFailure(failure);
  line.send(log);
  return false;
}

ResolveOutcome resolveWithin(const char* name, std::uint32_t& address, std::chrono::steady_clock::time_point deadline,
                             const ActivityLog& log, const HostResolver& resolver) {
  if (log.stopRequested()) return ResolveOutcome::kStopped;
  if (platform::parseDottedAddress(name, address)) return ResolveOutcome::kResolved;

  // Shared by the waiting thread and the lookup thread; whichever ends last
  // frees it, so a lookup that is given up writes into memory still owned.
  struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    std::uint32_t address = 0;
    int error = 0;
  };
  auto lookup = std::make_shared<Lookup>();
  auto work = [lookup, resolver, host = std::string(name)] {
    std::uint32_t found = 0;
    const bool ok = resolver(host.c_str(), found);
    const int error = ok ? 0 : platform::lastSocketError();
    std::lock_guard<std::mutex> lock(lookup->mutex);
    lookup->finished = true;
    lookup->found = ok;
    lookup->address = found;
    lookup->error = error;
    lookup->done.notify_all();
  };
  try {
    std::thread(work).detach();
  } catch (const std::system_error&) {
    work();  // no thread to be had: look up here, as long as it takes
  }

  std::unique_lock<std::mutex> lock(lookup->mutex);
  while (!lookup->finished) {
    if (log.stopRequested()) return ResolveOutcome::kStopped;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      platform::setLastSocketError(11002);
      return ResolveOutcome::kTimedOut;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    lookup->done.wait_for(lock, std::min(left, kStopCheckStep));
  }
  if (!lookup->found) {
    platform::setLastSocketError(lookup->error);
    return ResolveOutcome::kFailed;
  }
  address = lookup->address;
  return ResolveOutcome::kResolved;
}

ResolveOutcome resolveServer(HttpScratch& http, const Settings& settings, bool viaProxy,
                             std::chrono::steady_clock::time_point deadline, const ActivityLog& log) {
  std::uint32_t address = 0;
  if (!viaProxy) {
    const ResolveOutcome outcome = resolveWithin(http.host.c_str(), address, deadline, log);
    if (outcome == ResolveOutcome::kResolved) http.serverAddress.address = address;
    return outcome;
  }
  FixedText<256> proxyHost;
  TextWriter name = proxyHost.writer();
  const char* pos = settings.proxyAddress.c_str();
  while (*pos != '\0' && *pos != ':') name.put(*pos++);
  name.terminate();
  if (*pos == ':') {
    ++pos;
    http.serverAddress.port = static_cast<std::uint16_t>(parseDecimal(pos) & 0xFFFF);
  }
  const ResolveOutcome outcome = resolveWithin(proxyHost.c_str(), address, deadline, log);
  if (outcome == ResolveOutcome::kResolved) http.serverAddress.address = address;
  return outcome;
}

WaitOutcome waitForData(platform::SocketHandle socket, std::chrono::milliseconds timeout, const ActivityLog& log) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (log.stopRequested()) return WaitOutcome::kStopped;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) left = std::chrono::milliseconds(0);
    const auto slice = std::min(left, kStopCheckStep);
    switch (platform::waitReadable(socket, slice)) {
      case platform::WaitResult::kReadable: return WaitOutcome::kReadable;
      case platform::WaitResult::kFailed: return WaitOutcome::kFailed;
      case platform::WaitResult::kTimedOut:
        if (slice == left) return WaitOutcome::kTimedOut;
        break;
    }
  }
}

ConnectOutcome connectWithin(platform::SocketHandle socket, const platform::Ipv4Endpoint& endpoint,
                             std::chrono::milliseconds timeout, const ActivityLog& log) {
  if (log.stopRequested()) return ConnectOutcome::kStopped;
  if (!platform::setBlocking(socket, false)) return ConnectOutcome::kFailed;
  platform::ConnectProgress progress = platform::startConnect(socket, endpoint);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (progress == platform::ConnectProgress::kPending) {
    if (log.stopRequested()) return ConnectOutcome::kStopped;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      platform::setLastSocketError(10060);
      return ConnectOutcome::kTimedOut;
    }
    progress = platform::waitConnected(socket, std::min(left, kStopCheckStep));
  }
  if (progress == platform::ConnectProgress::kFailed) return ConnectOutcome::kFailed;
  return platform::setBlocking(socket, true) ? ConnectOutcome::kConnected : ConnectOutcome::kFailed;
}

bool sleepUnlessStopped(std::uint32_t milliseconds, const ActivityLog& log) {
  const auto step = static_cast<std::uint32_t>(kStopCheckStep.count());
  while (milliseconds > 0) {
    if (log.stopRequested()) return false;
    const std::uint32_t now = std::min(milliseconds, step);
    platform::sleepMilliseconds(now);
    milliseconds -= now;
  }
  return !log.stopRequested();
}

bool sendAll(platform::SocketHandle socket, const char* data, std::size_t length) {
  while (length > 0) {
    const long sent = platform::sendBytes(socket, data, length);
    if (sent <= 0) {
      if (sent == 0) platform::setLastSocketError(10054);
      return false;
    }
    data += sent;
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

const char* findBlankLine(const char* begin, std::size_t length) {
  static constexpr char kBlank[] = "\r\n\r\n";
  if (length < 4) return nullptr;
  const char* end = begin + length;
  for (const char* p = begin; p + 4 <= end;) {
    const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(end - p));
    if (cr == nullptr) return nullptr;
    p = static_cast<const char*>(cr);
    if (p + 4 > end) return nullptr;
    if (std::memcmp(p, kBlank, 4) == 0) return p + 4;
    ++p;
  }
  return nullptr;
}

void appendCount(TextWriter& out, std::uint64_t value) {
  char digits[24];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out.put(digits[--n]);
}

LogLineBuilder::LogLineBuilder(HttpScratch& http)
    : text_(http.messageText), writer_(http.messageText.data, http.messageText.capacity() - 2) {}

void LogLineBuilder::send(ActivityLog& log) {
  std::size_t length = writer_.length();
  auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
  if (std::any_of(text_.data, text_.data + length, isControl)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    FixedText<8192> escaped;
    TextWriter out(escaped.data, escaped.capacity() - 2);
    for (std::size_t i = 0; i < length; ++i) {
      const auto byte = static_cast<unsigned char>(text_.data[i]);
      if (!isControl(text_.data[i])) {
        out.put(text_.data[i]);
      } else if (out.remaining() >= 3) {
        out.put('%');
        out.put(kHex[byte >> 4]);
        out.put(kHex[byte & 0x0F]);
      }
    }
    length = out.length();
    std::memcpy(text_.data, escaped.data, length);
  }
  // The writer kept two characters free for the line end.
  text_.data[length] = '\r';
  text_.data[length + 1] = '\n';
  text_.data[length + 2] = '\0';
  log.logLine(std::string_view(text_.data, length + 2));
}

}  // namespace quillstash
