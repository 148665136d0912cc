// SPDX-License-Identifier: MIT
#include "http/exchange.h"

#include <algorithm>
#include <cstring>

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
  return splitAddress(address, host, http.serverAddress.port, path);
}

bool resolveServer(HttpScratch& http, const Settings& settings, bool viaProxy) {
  std::uint32_t address = 0;
  if (!viaProxy) {
    if (!platform::resolveHost(http.host.c_str(), address)) return false;
    http.serverAddress.address = address;
    return true;
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
  if (!platform::resolveHost(proxyHost.c_str(), address)) return false;
  http.serverAddress.address = address;
  return true;
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
