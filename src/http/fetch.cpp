// SPDX-License-Identifier: MIT
#include "http/fetch.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "http/body_decoder.h"
#include "http/exchange.h"
#include "http/socket_errors.h"
#include "platform/files.h"
#include "platform/path.h"
#include "text/charset.h"
#include "text/strings.h"

namespace quillstash {
namespace {

constexpr std::size_t kMaxRead = 1048576;          // largest single read
constexpr std::size_t kMaxLocationLength = 8191;   // longest redirect target taken
constexpr std::size_t kMaxStatusTextLength = 200;  // of a server error line
constexpr std::size_t kNoBlankLine = static_cast<std::size_t>(-1);
// Longest response header taken; a longer one ends the fetch.
constexpr std::size_t kMaxHeaderBytes = 65536;
// Longest wait a Retry-After is followed for, in seconds.
constexpr std::uint32_t kMaxRetryAfterS = 120;
// Raw body bytes read at a time once the header is in.
constexpr std::size_t kRawBodyRead = 65536;

using Clock = std::chrono::steady_clock;

enum class Mode { kMemory, kFile };

// How one call, one attempt or one read ended.
enum class Step { kData, kEnded, kFull, kRetry, kGiveUp, kRedirect, kBody, kWaitMore, kConnected };

// The state of one fetch (one address; a redirect starts a new one).
struct Fetch {
  JobContext& job;
  HttpScratch& http;
  const Settings& settings;
  ActivityLog& log;
  std::chrono::milliseconds timeout;
  Mode mode;
  bool viaProxy;
  int redirectsLeft;
  CookieJar& cookies;
  TlsContexts& tlsContexts;
  std::shared_ptr<const platform::TlsClientContext> tls{};  // for https, made in prepare()
  std::uint32_t retryCount = 0;                             // shared by every kind of failure
  std::uint64_t announced = 0;                              // Content-Length of the response, 0 = none
  Clock::time_point deadline = Clock::time_point::max();    // of the whole call
  Clock::time_point rateWindowStart{};                      // minimum-rate window of this attempt
  std::uint64_t rateWindowBytes = 0;
  bool deadlineLogged = false;
  std::string contentType{};       // the Content-Type of a page fetched into memory
  ConnectionPool* pool = nullptr;  // idle connections; nullptr = one connection per request
  std::string poolKey{};           // the server this fetch's connection goes to
  bool reused = false;             // this attempt's connection came from the pool
  bool freshOnly = false;          // the next attempt opens a new connection
  std::uint64_t attemptBytes = 0;  // bytes received by this attempt
  bool keepAlive = false;          // the response lets the connection serve another request
  bool bodyFramed = false;         // the response says where its body ends
  BodyDecoder::Framing framing = BodyDecoder::Framing::kUntilClose;
  BodyDecoder::Coding coding = BodyDecoder::Coding::kIdentity;
  BodyDecoder body{};
};

// Hands the connection back to the pool when the response that just ended
// allows it; closes it otherwise.
void finishConnection(Fetch& f, bool bodyEnded) {
  if (f.pool != nullptr && f.keepAlive && bodyEnded && !f.log.stopRequested() && f.http.connection.isOpen()) {
    f.pool->put(f.poolKey, std::move(f.http.connection));
  }
  f.http.connection.close();
}

// The end of a call that starts now: the fetch deadline, when one is set.
Clock::time_point callDeadline(const Settings& settings) {
  if (settings.fetchDeadlineS == 0) return Clock::time_point::max();
  return Clock::now() + std::chrono::seconds(settings.fetchDeadlineS);
}

// True once the call's deadline has passed; logs it the first time.
bool deadlinePassed(Fetch& f) {
  if (Clock::now() < f.deadline) return false;
  if (!f.deadlineLogged) {
    f.deadlineLogged = true;
    LogLineBuilder line(f.http);
    line << "[ X ] Time limit of ";
    appendCount(line.out(), f.settings.fetchDeadlineS);
    line << " s passed, giving up ";
    appendAbsoluteAddress(f.job.forumAddress.c_str(), line.out());
    line.send(f.log);
  }
  return true;
}

// `wanted`, shortened to what is left before the call's deadline.
std::chrono::milliseconds untilDeadline(const Fetch& f, std::chrono::milliseconds wanted) {
  if (f.deadline == Clock::time_point::max()) return wanted;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(f.deadline - Clock::now());
  return std::max(std::chrono::milliseconds(0), std::min(wanted, left));
}

void logAddressTooLong(Fetch& f, const char* address) {
  LogLineBuilder line(f.http);
  line << "[ X ] Address too long, not fetched: ";
  line.out().append(std::string_view(address, ::strnlen(address, 100)));
  line << "...";
  line.send(f.log);
}

// Sleeps before a retry, never past the call's deadline; false when the call
// should give up instead (stopped, or the deadline passed).
bool retryDelay(Fetch& f, bool use, std::uint32_t milliseconds) {
  if (use && milliseconds != 0) {
    const auto wait = untilDeadline(f, std::chrono::milliseconds(milliseconds));
    if (!sleepUnlessStopped(static_cast<std::uint32_t>(wait.count()), f.log)) return false;
  }
  return !f.log.stopRequested() && !deadlinePassed(f);
}

bool connectDelay(Fetch& f) { return retryDelay(f, f.settings.useConnectRetryDelay, f.settings.connectRetryDelayMs); }

bool receiveDelay(Fetch& f) { return retryDelay(f, f.settings.useReceiveRetryDelay, f.settings.receiveRetryDelayMs); }

// The jar's "Cookie: ...\r\n" line up to its first line break, without
// control characters, so that no byte of it can start a header of its own.
void appendCookieLine(std::string_view cookie, TextWriter& out) {
  const std::string_view line = cookie.substr(0, cookie.find_first_of("\r\n"));
  if (line.empty()) return;
  for (char c : line) {
    if ((static_cast<unsigned char>(c) >= 0x20 || c == '\t') && c != 0x7F) out.put(c);
  }
  out.append("\r\n");
}

// The text after "\r\n" + `name` (any letter case) in the NUL-terminated
// header, or nullptr.
const char* findHeaderField(const char* header, const char* name) {
  for (const char* p = std::strstr(header, "\r\n"); p != nullptr; p = std::strstr(p + 2, "\r\n")) {
    if (startsWithFolded(p + 2, name)) return p + 2 + std::strlen(name);
  }
  return nullptr;
}

bool buildRequest(Fetch& f) {
  JobContext& job = f.job;
  HttpScratch& http = f.http;
  // The cookie line is read once per request, whole.
  const std::string cookie =
      f.cookies.requestLine(cookieOrigin(http, job.forumAddress.c_str()), CookieJar::Clock::now());
  TextWriter r = http.requestText.writer();
  r.append("GET ");
  // Through a proxy, https goes through a tunnel and names the path alone.
  if (f.viaProxy && !http.secure) {
    FixedText<16384> absolute;
    TextWriter a = absolute.writer();
    appendAbsoluteAddress(job.forumAddress.c_str(), a);
    a.terminate();
    appendRequestText(absolute.view(), r);
  } else {
    if (http.path.data[0] != '/') r.put('/');
    appendRequestText(http.path.view(), r);
  }
  if (f.settings.http10) {
    r.append(" HTTP/1.0\r\nHost: ");
    appendRequestText(http.host.view(), r);
  } else {
    r.append(" HTTP/1.1\r\nHost: ");
    appendRequestText(http.host.view(), r);
    if (http.addressPort != (http.secure ? 443 : 80)) {
      r.put(':');
      appendCount(r, http.addressPort);
    }
  }
  r.append("\r\nAccept: */*\r\n");
  appendCookieLine(cookie, r);
  appendUserAgentLine(r, f.settings);
  if (f.settings.http10) {
    r.append("Connection: Close\r\nAccept-Encoding: deflate\r\n\r\n");
  } else {
    r.append("Accept-Encoding: gzip, deflate\r\n\r\n");
  }
  r.terminate();
  if (!r.truncated()) return true;
  LogLineBuilder line(http);
  line << "[ X ] Request too long, not sent: ";
  line.out().append(std::string_view(job.forumAddress.c_str(), ::strnlen(job.forumAddress.c_str(), 100)));
  line << "...";
  line.send(f.log);
  return false;
}

// Splits the address, builds the request and resolves the server, retrying
// the resolution as the mode allows. False: the call gives up.
bool prepare(Fetch& f) {
  JobContext& job = f.job;
  HttpScratch& http = f.http;
  if (!splitAddress(job.forumAddress.c_str(), http)) {
    logAddressTooLong(f, job.forumAddress.c_str());
    return false;
  }
  if (http.secure) {
    std::string error;
    f.tls = f.tlsContexts.get(f.settings, error);
    if (!f.tls) {
      LogLineBuilder line(http);
      line << "[ X ] " << error;
      line.send(f.log);
      return false;
    }
  }
  if (!buildRequest(f)) return false;

  for (;;) {
    if (f.log.stopRequested() || deadlinePassed(f)) return false;
    const ResolveOutcome resolved = resolveServer(http, f.settings, f.viaProxy, f.deadline, f.log);
    if (resolved == ResolveOutcome::kResolved) {
      if (f.pool != nullptr) {
        f.poolKey.clear();
        f.poolKey += http.secure ? "https " : "http ";
        f.poolKey += http.host.view();
        f.poolKey += ' ' + std::to_string(http.addressPort) + ' ' + std::to_string(http.serverAddress.address) + ':' +
                     std::to_string(http.serverAddress.port) + (f.viaProxy ? " proxy" : "");
      }
      return true;
    }
    if (resolved == ResolveOutcome::kStopped) return false;
    if (resolved == ResolveOutcome::kTimedOut) {
      deadlinePassed(f);  // logs it
      return false;
    }
    const int code = platform::lastSocketError();
    LogLineBuilder line(http);
    line << "[ X ] Error resolving " << http.host.view() << " , code: ";
    if (f.mode == Mode::kFile) {
      appendSocketError(line.out());
      line.send(f.log);
      connectDelay(f);
      return false;
    }
    appendDecimal(line.out(), static_cast<std::uint32_t>(code));
    line.send(f.log);
    const bool passing = code == 10050 || code == 11002 || code == 10036;
    if (!passing || f.retryCount >= f.settings.connectRetries) return false;
    ++f.retryCount;
    if (!connectDelay(f)) return false;
  }
}

// A kept-alive connection that the server closed while it was idle: the
// attempt starts again on a new connection, without counting as a failure.
Step staleConnection(Fetch& f) {
  f.http.connection.close();
  f.freshOnly = true;
  return Step::kRetry;
}

// Socket, connect, proxy tunnel and TLS handshake of a new connection.
Step openFreshConnection(Fetch& f) {
  JobContext& job = f.job;
  HttpScratch& http = f.http;
  http.connection.socket() = platform::openTcpSocket();
  if (!http.connection.isOpen()) {
    LogLineBuilder line(http);
    line << "[ X ] Error creating socket, ";
    appendSocketError(line.out());
    line.send(f.log);
    return Step::kGiveUp;
  }
  // No time-out set: a day, which the deadline usually cuts shorter.
  const std::chrono::milliseconds connectTimeout =
      untilDeadline(f, f.settings.connectTimeoutS != 0 ? std::chrono::seconds(f.settings.connectTimeoutS)
                                                       : std::chrono::seconds(86400));
  const ConnectOutcome connected =
      connectWithin(http.connection.socket().handle(), http.serverAddress, connectTimeout, f.log);
  if (connected == ConnectOutcome::kStopped) return Step::kGiveUp;
  if (connected != ConnectOutcome::kConnected) {
    http.connection.close();
    LogLineBuilder line(http);
    line << "[ X ] Error connecting to " << http.host.view() << ", code: ";
    appendSocketError(line.out());
    line.send(f.log);
    if (f.retryCount >= f.settings.connectRetries) return Step::kGiveUp;
    ++f.retryCount;
    return connectDelay(f) ? Step::kRetry : Step::kGiveUp;
  }
  // A refused tunnel or certificate is an answer, not a passing failure: no retry.
  if (http.secure && f.viaProxy && !openProxyTunnel(http, f.settings, untilDeadline(f, f.timeout), f.log)) {
    http.connection.close();
    return Step::kGiveUp;
  }
  if (http.secure && !startTls(http, *f.tls, untilDeadline(f, f.timeout), f.log)) {
    job.secureConnectionRefused = !f.log.stopRequested();
    http.connection.close();
    return Step::kGiveUp;
  }
  return Step::kConnected;
}

// Opens (or takes from the pool) the connection of one attempt and sends the request.
Step openConnection(Fetch& f) {
  JobContext& job = f.job;
  HttpScratch& http = f.http;
  if (f.log.stopRequested() || deadlinePassed(f)) return Step::kGiveUp;
  f.attemptBytes = 0;
  f.keepAlive = false;
  f.bodyFramed = false;
  f.coding = BodyDecoder::Coding::kIdentity;
  f.reused = f.pool != nullptr && !f.freshOnly && f.pool->take(f.poolKey, http.connection);
  f.freshOnly = false;
  if (!f.reused) {
    const Step opened = openFreshConnection(f);
    if (opened != Step::kConnected) return opened;
  }
  if (!http.connection.sendAll(http.requestText.c_str(), http.requestText.size(), untilDeadline(f, f.timeout), f.log)) {
    if (f.reused) return staleConnection(f);
    const bool again = f.retryCount < f.settings.receiveRetries;
    LogLineBuilder line(http);
    line << "[ X ] Error sending request, ";
    appendSocketError(line.out());
    line << (again ? ", retrying..." : ". Operation aborted");
    line.send(f.log);
    http.connection.close();
    if (!again) return Step::kGiveUp;
    ++f.retryCount;
    return receiveDelay(f) ? Step::kRetry : Step::kGiveUp;
  }
  f.log.progress().requestSent();
  f.rateWindowStart = Clock::now();
  f.rateWindowBytes = 0;
  if (f.mode == Mode::kFile) http.path.clear();  // now holds the Content-Disposition name
  LogLineBuilder line(http);
  line << "* Downloading file " << job.forumAddress.view() << " ...";
  line.send(f.log);
  return Step::kConnected;
}

// A failed attempt after the request went out: logged with its reason (the
// socket error when `reason` is empty), then retried as the settings allow.
Step receiveError(Fetch& f, std::string_view reason = {}) {
  const bool again = f.retryCount < f.settings.receiveRetries;
  LogLineBuilder line(f.http);
  if (reason.empty()) {
    line << "[ X ] Error receiving data, ";
    appendSocketError(line.out());
  } else {
    line << "[ X ] " << reason;
  }
  line << (again ? ", retrying..." : ". Operation aborted");
  line.send(f.log);
  f.http.connection.close();
  if (!again) return Step::kGiveUp;
  ++f.retryCount;
  return receiveDelay(f) ? Step::kRetry : Step::kGiveUp;
}

// One wait and one read of at most `room` bytes at `at`, over the plain or
// the TLS connection alike. The wait is cut into slices that end at the
// receive time-out, the end of the minimum-rate window and the call's
// deadline, whichever comes first. kData with `got` set, kEnded at the
// server's close, kFull when bytes wait but `room` is 0, kRetry or kGiveUp
// after a failure (connection closed, message logged).
Step readSome(Fetch& f, char* at, std::size_t room, std::size_t& got) {
  const Clock::time_point waitEnd = Clock::now() + f.timeout;
  const auto rateWindow = std::chrono::seconds(f.settings.minRateTimeS);
  for (;;) {
    if (deadlinePassed(f)) {
      f.http.connection.close();
      return Step::kGiveUp;
    }
    const Clock::time_point now = Clock::now();
    auto slice = std::chrono::ceil<std::chrono::milliseconds>(waitEnd - now);
    if (f.settings.minRateTimeS != 0) {
      const Clock::time_point windowEnd = f.rateWindowStart + rateWindow;
      if (now >= windowEnd) {
        if (f.rateWindowBytes < kMinTransferRate * f.settings.minRateTimeS) {
          FixedText<96> reason;
          TextWriter r = reason.writer();
          r.append("Transfer too slow: under ");
          appendCount(r, kMinTransferRate);
          r.append(" bytes/s for ");
          appendCount(r, f.settings.minRateTimeS);
          r.append(" s");
          return receiveError(f, r.view());
        }
        f.rateWindowStart = now;
        f.rateWindowBytes = 0;
        continue;
      }
      slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(windowEnd - now));
    }
    if (slice.count() <= 0) {
      const bool again = f.retryCount < f.settings.receiveRetries;
      f.log.logLine(again ? "[ X ] Timeout, retrying...\r\n" : "[ X ] Timeout, operation aborted\r\n");
      f.http.connection.close();
      if (!again) return Step::kGiveUp;
      ++f.retryCount;
      return receiveDelay(f) ? Step::kRetry : Step::kGiveUp;
    }
    switch (f.http.connection.receive(at, room, kMaxRead, untilDeadline(f, slice), f.log, got)) {
      case Connection::Received::kData:
        f.rateWindowBytes += got;
        f.attemptBytes += got;
        return Step::kData;
      case Connection::Received::kEnded:
        if (f.reused && f.attemptBytes == 0) return staleConnection(f);
        return Step::kEnded;
      case Connection::Received::kFull: return Step::kFull;
      case Connection::Received::kStopped: return Step::kGiveUp;
      case Connection::Received::kFailed:
        if (f.reused && f.attemptBytes == 0) return staleConnection(f);
        return receiveError(f);
      case Connection::Received::kTimedOut: break;  // the checks above tell which limit it was
    }
  }
}

Step followRedirect(Fetch& f, const char* location) {
  JobContext& job = f.job;
  HttpScratch& http = f.http;
  while (*location == ':' || *location == ' ') ++location;
  std::size_t length = 0;
  auto ends = [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; };
  while (!ends(location[length]) && length <= kMaxLocationLength) ++length;

  if (f.redirectsLeft <= 0) {
    f.log.logLine("[ X ] Too many redirects, operation aborted\r\n");
    return Step::kGiveUp;
  }
  FixedText<16384> target;
  TextWriter w = target.writer();
  // A path on the same server keeps the host and the port the page came from.
  appendRedirectTarget(http.secure, http.host.view(), http.addressPort, std::string_view(location, length), w);
  w.terminate();
  if (length > kMaxLocationLength || w.truncated()) {
    logAddressTooLong(f, target.c_str());
    return Step::kGiveUp;
  }
  job.forumAddress.assign(target.view());
  http.connection.close();
  LogLineBuilder line(http);
  line << "- Moved to " << job.forumAddress.view();
  line.send(f.log);
  return Step::kRedirect;
}

// The value of the header field `name` (without its colon), up to its line's
// end, or empty when the header has no such field.
std::string_view headerValue(const char* header, const char* name) {
  const char* field = findHeaderField(header, name);
  if (field == nullptr) return {};
  while (*field == ' ' || *field == '\t') ++field;
  if (*field != ':') return {};
  ++field;
  while (*field == ' ' || *field == '\t') ++field;
  std::size_t length = 0;
  while (field[length] != '\0' && field[length] != '\r' && field[length] != '\n') ++length;
  return {field, length};
}

bool containsFolded(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
    bool same = true;
    for (std::size_t k = 0; k < word.size() && same; ++k) {
      same = foldedEqual(text[i + k], word[k]);
    }
    if (same) return true;
  }
  return false;
}

// Where the body of a 2xx response ends, and whether its connection may carry
// the next request: an HTTP/1.1 answer unless it says "close", an HTTP/1.0
// one only when it says "keep-alive", and only when the body ends by its
// framing rather than by the close.
void readFraming(Fetch& f, const char* header) {
  f.framing = BodyDecoder::Framing::kUntilClose;
  f.coding = BodyDecoder::codingOf(headerValue(header, "Content-Encoding"));
  if (containsFolded(headerValue(header, "Transfer-Encoding"), "chunked")) {
    f.framing = BodyDecoder::Framing::kChunked;
    f.bodyFramed = true;
  } else if (f.bodyFramed) {
    f.framing = BodyDecoder::Framing::kLength;
  }
  // 204 and 304 answers have no body, whatever their header says.
  const char* status = std::strchr(header, ' ');
  if (status != nullptr && (std::strncmp(status + 1, "204", 3) == 0 || std::strncmp(status + 1, "304", 3) == 0)) {
    f.framing = BodyDecoder::Framing::kLength;
    f.bodyFramed = true;
    f.announced = 0;
  }
  if (f.pool == nullptr || f.framing == BodyDecoder::Framing::kUntilClose) return;
  const std::string_view connection = headerValue(header, "Connection");
  const bool http11 = startsWithFolded(header, "HTTP/1.1");
  f.keepAlive = http11 ? !containsFolded(connection, "close") : containsFolded(connection, "keep-alive");
}

// Seconds a Retry-After value asks to wait: a number of seconds, or an
// HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT") taken against the system clock.
// Empty when the value is neither.
std::optional<std::uint64_t> retryAfterSeconds(std::string_view value) {
  if (value.empty()) return std::nullopt;
  if (isDecimalDigit(value[0])) {
    std::uint64_t seconds = 0;
    for (char c : value) {
      if (!isDecimalDigit(c)) break;
      seconds = std::min<std::uint64_t>(seconds * 10 + static_cast<std::uint64_t>(c - '0'), 1u << 30);
    }
    return seconds;
  }
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::size_t comma = value.find(", ");
  if (comma == std::string_view::npos || value.size() < comma + 22) return std::nullopt;
  const std::string_view date = value.substr(comma + 2);  // "06 Nov 1994 08:49:37 GMT"
  auto number = [&](std::size_t at, std::size_t digits) -> std::optional<int> {
    int n = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      if (!isDecimalDigit(date[at + i])) return std::nullopt;
      n = n * 10 + (date[at + i] - '0');
    }
    return n;
  };
  unsigned month = 0;
  for (unsigned m = 0; m < 12; ++m) {
    if (date.substr(3, 3) == kMonths[m]) month = m + 1;
  }
  const auto day = number(0, 2), year = number(7, 4), hour = number(12, 2), minute = number(15, 2),
             second = number(18, 2);
  if (month == 0 || !day || !year || !hour || !minute || !second) return std::nullopt;
  const std::chrono::year_month_day ymd{std::chrono::year(*year), std::chrono::month(month),
                                        std::chrono::day(static_cast<unsigned>(*day))};
  if (!ymd.ok()) return std::nullopt;
  const auto when = std::chrono::sys_days(ymd) + std::chrono::hours(*hour) + std::chrono::minutes(*minute) +
                    std::chrono::seconds(*second);
  const auto now = std::chrono::system_clock::now();
  if (when <= now) return 0;
  return static_cast<std::uint64_t>(std::chrono::ceil<std::chrono::seconds>(when - now).count());
}

// A 429 or 503 answer with a Retry-After: the request is asked again after
// the wait it names (at most kMaxRetryAfterS, never past the call's
// deadline, ended by a stop), counted as a receive retry. kRetry after the
// wait, kGiveUp when stopped or out of retries or time; empty when the answer
// is not such a one.
std::optional<Step> waitForRetryAfter(Fetch& f, const char* header, const char* status) {
  const bool busy = std::strncmp(status, "429", 3) == 0 || std::strncmp(status, "503", 3) == 0;
  if (!busy) return std::nullopt;
  const std::optional<std::uint64_t> asked = retryAfterSeconds(headerValue(header, "Retry-After"));
  if (!asked || f.retryCount >= f.settings.receiveRetries) return std::nullopt;
  ++f.retryCount;
  f.log.progress().serverBusy();  // a run fetching side by side goes down to one connection
  const auto seconds = static_cast<std::uint32_t>(std::min<std::uint64_t>(*asked, kMaxRetryAfterS));
  f.http.connection.close();
  LogLineBuilder line(f.http);
  line << "[ ! ] Server busy (" << std::string_view(status, 3) << "), asking again in ";
  appendCount(line.out(), seconds);
  line << " s: ";
  appendAbsoluteAddress(f.job.forumAddress.c_str(), line.out());
  line.send(f.log);
  const auto wait = untilDeadline(f, std::chrono::seconds(seconds));
  if (!sleepUnlessStopped(static_cast<std::uint32_t>(wait.count()), f.log)) return Step::kGiveUp;
  if (deadlinePassed(f)) return Step::kGiveUp;
  return Step::kRetry;
}

// Status handling on a complete response header (NUL-terminated).
Step applyStatus(Fetch& f, const char* header) {
  f.cookies.storeFromHeader(header, cookieOrigin(f.http, f.job.forumAddress.c_str()), CookieJar::Clock::now());
  const char* p = header + 4;
  while (static_cast<unsigned char>(*p) > '!') ++p;
  while (*p == ' ') ++p;
  if (const std::optional<Step> waited = waitForRetryAfter(f, header, p)) return *waited;
  switch (*p) {
    case '3':
      if (const char* location = findHeaderField(header, "Location")) return followRedirect(f, location);
      break;
    case '5': {
      std::size_t length = 0;
      while (length < kMaxStatusTextLength && static_cast<unsigned char>(p[length]) >= ' ' && p[length] != 0x7F) {
        ++length;
      }
      LogLineBuilder line(f.http);
      line << "[ X ] Server error - " << std::string_view(p, length);
      line.send(f.log);
      return Step::kGiveUp;
    }
    case '4': f.log.logLine("[ X ] Not found\r\n"); return Step::kGiveUp;
    default: break;
  }
  if (const char* field = findHeaderField(header, "Content-Length")) {
    while (*field == ' ' || *field == '\t') ++field;
    if (*field == ':') {
      ++field;
      while (*field == ' ' || *field == '\t') ++field;
      std::uint64_t value = 0;
      for (; isDecimalDigit(*field) && value < (std::uint64_t{1} << 60); ++field) value = value * 10 + (*field - '0');
      f.announced = value;
      f.bodyFramed = true;
    }
  }
  readFraming(f, header);
  if (f.mode == Mode::kFile) {
    if (const char* field = findHeaderField(header, "Content-Disposition")) {
      for (; *field != '\0' && *field != '\r' && *field != '\n'; ++field) {
        if (field[0] == '=' && field[1] == '"') {
          const char* name = field + 2;
          TextWriter out = f.http.path.writer();
          while (*name != '"' && static_cast<unsigned char>(*name) >= ' ' && *name != 0x7F) out.put(*name++);
          out.terminate();
          break;
        }
      }
    }
  }
  return Step::kBody;
}

// Looks at the response gathered so far in data[0, received) (NUL after it).
// Waits for the whole header (its blank line) unless `final`. kBody with
// `bodyStart` the offset of the body, or kNoBlankLine when the header has no
// blank line; kNoBlankLine with no status handling when the response does not
// start with "http" (no header at all).
Step examineResponse(Fetch& f, char* data, std::size_t searchedUpTo, std::size_t received, bool final,
                     std::size_t& bodyStart) {
  bodyStart = kNoBlankLine;
  if (received < 4 && !final) return Step::kWaitMore;
  if (!startsWithFolded(data, "http")) return Step::kBody;
  const std::size_t from = searchedUpTo >= 3 ? searchedUpTo - 3 : 0;
  const char* blank = findBlankLine(data + from, received - from);
  if (blank == nullptr && !final) return Step::kWaitMore;
  const std::size_t headerEnd = blank != nullptr ? static_cast<std::size_t>(blank - data) : received;
  // Status handling reads the header alone, as a text.
  const char saved = data[headerEnd];
  data[headerEnd] = '\0';
  const Step step = applyStatus(f, data);
  data[headerEnd] = saved;
  if (blank != nullptr) bodyStart = headerEnd;
  return step;
}

// Ends an attempt whose response header has no end within kMaxHeaderBytes.
Step headerTooLong(Fetch& f) {
  f.http.connection.close();
  LogLineBuilder line(f.http);
  line << "[ X ] Response header longer than ";
  appendCount(line.out(), kMaxHeaderBytes);
  line << " bytes, operation aborted: ";
  appendAbsoluteAddress(f.job.forumAddress.c_str(), line.out());
  line.send(f.log);
  return Step::kGiveUp;
}

// Hands `size` raw body bytes to the fetch's decoder. True while more of the
// body is wanted; otherwise the read ends with `step` set, except when the
// sink refused the bytes (`refused`): then the caller says what follows.
bool feedBody(Fetch& f, const char* bytes, std::size_t size, const BodyDecoder::Sink& sink, bool& bodyEnded,
              bool& refused, Step& step) {
  std::size_t used = 0;
  switch (f.body.feed(bytes, size, sink, used)) {
    case BodyDecoder::Result::kMore: return true;
    case BodyDecoder::Result::kDone:
      if (used != size) f.keepAlive = false;  // bytes past the body: not reused
      bodyEnded = true;
      step = Step::kEnded;
      return false;
    case BodyDecoder::Result::kStopped: refused = true; return false;
    case BodyDecoder::Result::kCorrupt: step = receiveError(f, "Malformed chunked body"); return false;
    case BodyDecoder::Result::kBadData: step = receiveError(f, "Broken compressed data"); return false;
  }
  return false;
}

// The server closed before the end its framing announced (Content-Length
// or the last chunk): a receive failure, retried as the settings allow, never
// taken as the whole page or file.
Step cutShort(Fetch& f) {
  FixedText<128> reason;
  TextWriter r = reason.writer();
  if (f.framing == BodyDecoder::Framing::kLength) {
    r.append("Connection closed after ");
    appendCount(r, f.body.rawBytes());
    r.append(" of ");
    appendCount(r, f.announced);
    r.append(" bytes");
  } else {
    r.append("Connection closed before the last chunk");
  }
  return receiveError(f, r.view());
}

void logPageTooLarge(Fetch& f, std::size_t capacity) {
  LogLineBuilder line(f.http);
  line << "[ X ] File size exceeds ";
  appendCount(line.out(), capacity);
  line << (f.coding != BodyDecoder::Coding::kIdentity ? " bytes once decompressed, aborting..."
                                                      : " bytes, aborting...");
  line.send(f.log);
}

// One address into memory: kBody (done, `length` set), kRedirect or kGiveUp.
// The header is gathered at the destination's start; once it is complete,
// the body is read in pieces, unframed, and written at the destination's
// start in its place.
Step fetchMemoryOnce(Fetch& f, PageBlock& destination, std::size_t& length) {
  if (!prepare(f)) return Step::kGiveUp;
  char* data = destination.data();
  const std::size_t capacity = destination.capacity();
  std::unique_ptr<char[]> raw;  // body bytes as read, once the header is in
  for (;;) {
    Step step = openConnection(f);
    if (step == Step::kRetry) continue;
    if (step == Step::kGiveUp) return step;

    f.announced = 0;
    std::size_t received = 0;
    std::size_t bodyStart = kNoBlankLine;
    bool headerDone = false;
    bool full = false;       // the page reached the block's size: kept cut, as it is
    bool bodyEnded = false;  // by its framing
    std::size_t bodyLength = 0;
    std::size_t bodyCapacity = capacity;  // the header and the body share the destination's capacity
    BodyDecoder::Sink sink = [&](const char* piece, std::size_t size) {
      const std::size_t room = bodyCapacity - bodyLength;
      std::memmove(data + bodyLength, piece, std::min(size, room));
      bodyLength += std::min(size, room);
      return size <= room;
    };
    // Unframes `size` raw body bytes; false ends the read with `step` set.
    auto takeBody = [&](const char* bytes, std::size_t size) {
      bool refused = false;
      if (feedBody(f, bytes, size, sink, bodyEnded, refused, step)) return true;
      if (refused) {  // the page is full: kept cut, as it is
        logPageTooLarge(f, capacity);
        f.keepAlive = false;
        full = true;
        step = Step::kEnded;
      }
      return false;
    };
    for (;;) {
      std::size_t got = 0;
      if (headerDone) {
        if (!raw) raw = std::make_unique<char[]>(kRawBodyRead);
        step = readSome(f, raw.get(), kRawBodyRead, got);
        if (step != Step::kData) break;
        if (!takeBody(raw.get(), got)) break;
        continue;
      }
      step = readSome(f, data + received, capacity - received, got);
      if (step == Step::kFull) {
        logPageTooLarge(f, capacity);
        step = Step::kEnded;
        full = true;
      }
      if (step != Step::kData) break;
      const std::size_t before = received;
      received += got;
      data[received] = '\0';
      step = examineResponse(f, data, before, received, false, bodyStart);
      if (step == Step::kGiveUp || step == Step::kRedirect) return step;
      if (step == Step::kRetry) break;
      headerDone = step == Step::kBody;
      if (!headerDone) {
        if (received >= kMaxHeaderBytes) return headerTooLong(f);
        continue;
      }
      if (bodyStart == kNoBlankLine) {
        // Not a response header at all: everything is body, up to the close.
        headerDone = false;
        continue;
      }
      f.contentType = contentTypeOf(std::string_view(data, bodyStart));
      f.body.start(f.framing, f.announced, f.coding);
      bodyCapacity = capacity - bodyStart;
      // The body bytes that came with the header move out of the way first.
      const std::string first(data + bodyStart, received - bodyStart);
      if (!takeBody(first.data(), first.size())) break;
      if (f.body.done()) {
        bodyEnded = true;
        step = Step::kEnded;
        break;
      }
    }
    if (step == Step::kRetry) continue;
    if (step == Step::kGiveUp) return step;

    if (headerDone && !full && f.body.framed() && !bodyEnded) {
      step = cutShort(f);  // never taken as the whole page
      if (step == Step::kRetry) continue;
      return step;
    }
    if (headerDone) {
      finishConnection(f, bodyEnded);
      length = bodyLength;
      data[length] = '\0';
    } else {
      step = examineResponse(f, data, 0, received, true, bodyStart);
      if (step == Step::kGiveUp || step == Step::kRedirect) return step;
      if (step == Step::kRetry) continue;
      f.http.connection.close();
      // The body follows the first blank line; a response without one gives nothing.
      const char* body = bodyStart != kNoBlankLine ? data + bodyStart : findBlankLine(data, received);
      length = body != nullptr ? received - static_cast<std::size_t>(body - data) : 0;
      if (body != nullptr) {
        f.contentType = contentTypeOf(std::string_view(data, static_cast<std::size_t>(body - data)));
      }
      if (length != 0) std::memmove(data, body, length);
    }
    destination.setLength(length);

    LogLineBuilder line(f.http);
    line << "* Received ";
    appendCount(line.out(), length);
    line << " bytes";
    line.send(f.log);
    return Step::kBody;
  }
}

// Skips white space at the start of a body; true when markup follows.
bool looksLikeHtml(const char* body, std::size_t length) {
  std::size_t i = 0;
  while (i < length && (body[i] == ' ' || body[i] == '\t' || body[i] == '\r' || body[i] == '\n')) ++i;
  return i < length && body[i] == '<';
}

// The saved file of one fetchToFile call, kept across its attempts and
// redirects. Written beside its final name; removed unless committed.
struct SavedFile {
  platform::OutputFile file;
  std::uint64_t bytes = 0;    // body bytes written by the last attempt
  std::size_t nameStart = 0;  // where the file's name starts in http.savePath
};

// Names and creates the file for the first body bytes. False (logged) when it
// cannot be created.
bool createFile(Fetch& f, SavedFile& saved, std::string_view folder, std::uint32_t itemNumber) {
  JobContext& job = f.job;
  HttpScratch& http = f.http;
  TextWriter path = http.savePath.writer();
  path.append(folder);
  if (!folder.empty() && !platform::isPathSeparator(folder.back())) path.put(platform::kPathSeparator);
  saved.nameStart = path.length();
  writeFiveDigits(path, itemNumber);
  path.put(' ');
  const char* name = http.path.c_str();
  if (*name == '\0') {
    // The last segment of the address: after its last '/' that is not its last character.
    const char* address = job.forumAddress.c_str();
    const std::size_t length = job.forumAddress.size();
    name = address;
    for (std::size_t i = 0; i + 1 < length; ++i) {
      if (address[i] == '/') name = address + i + 1;
    }
  }
  copyNamePart(name, path);
  path.terminate();
  if (path.truncated() || !saved.file.create(http.savePath.c_str())) {
    LogLineBuilder line(http);
    line << "[ X ] Error creating file " << http.savePath.view();
    line.send(f.log);
    return false;
  }
  return true;
}

struct FileTarget {
  TextWriter& linkOutput;
  bool imageMode;
  std::string_view folder;
  std::uint32_t itemNumber;
};

void logFileTooLarge(Fetch& f) {
  LogLineBuilder line(f.http);
  line << "[ X ] File size exceeds ";
  appendCount(line.out(), f.settings.maxFileBytes);
  line << (f.coding != BodyDecoder::Coding::kIdentity ? " bytes once decompressed, aborting: " : " bytes, aborting: ");
  appendAbsoluteAddress(f.job.forumAddress.c_str(), line.out());
  line.send(f.log);
}

// One address into a file: kBody (done: saved, or an image refused as HTML),
// kRedirect or kGiveUp.
Step fetchFileOnce(Fetch& f, PageBlock& buffer, const FileTarget& target, SavedFile& saved, bool& kept) {
  if (!prepare(f)) return Step::kGiveUp;
  char* data = buffer.data();
  const std::size_t capacity = buffer.capacity();
  const std::uint64_t maxBytes = f.settings.maxFileBytes != 0 ? f.settings.maxFileBytes : UINT64_MAX;
  for (;;) {
    Step step = openConnection(f);
    if (step == Step::kRetry) continue;
    if (step == Step::kGiveUp) return step;

    // A retry starts the body afresh: the file is emptied at its first bytes.
    bool rewriteFile = saved.file.isOpen();
    f.announced = 0;
    std::uint64_t pageLength = 0;  // body bytes of this attempt
    std::size_t collected = 0;     // response bytes gathered while the header is incomplete
    bool headerDone = false;
    bool refused = false;

    bool bodyEnded = false;  // by its framing
    // Takes `chunk` body bytes at `bytes`. False ends the attempt with `step` set.
    auto writeBody = [&](const char* bytes, std::size_t chunk) {
      if (chunk == 0) return true;
      if (pageLength + chunk > maxBytes) {
        logFileTooLarge(f);
        step = Step::kGiveUp;
        return false;
      }
      pageLength += chunk;
      if (!saved.file.isOpen()) {
        if (target.imageMode && looksLikeHtml(bytes, chunk)) {
          LogLineBuilder line(f.http);
          line << "[ X ] The image: ";
          appendAbsoluteAddress(f.job.forumAddress.c_str(), line.out());
          line << " contains HTML code in it and was not saved";
          line.send(f.log);
          refused = true;
          step = Step::kEnded;
          return false;
        }
        if (!createFile(f, saved, target.folder, target.itemNumber)) {
          step = Step::kGiveUp;
          return false;
        }
      } else if (rewriteFile) {
        saved.file.restart();
      }
      if (rewriteFile) saved.bytes = 0;
      rewriteFile = false;
      saved.bytes += chunk;
      if (!saved.file.write(bytes, chunk)) {
        LogLineBuilder line(f.http);
        line << "[ X ] Error writing file " << f.http.savePath.view();
        line.send(f.log);
        step = Step::kGiveUp;
        return false;
      }
      return true;
    };
    const BodyDecoder::Sink sink = [&](const char* bytes, std::size_t chunk) { return writeBody(bytes, chunk); };
    // Unframes `size` raw body bytes at `bytes`. False ends the attempt with `step` set.
    auto takeBody = [&](const char* bytes, std::size_t size) {
      bool refused = false;  // then `step` was set by writeBody
      return feedBody(f, bytes, size, sink, bodyEnded, refused, step);
    };

    // Handles the gathered header, then the body bytes after it. False ends
    // the attempt with `step` set.
    auto finishHeader = [&]() {
      const bool hasHeader = startsWithFolded(data, "http");
      std::size_t bodyStart = kNoBlankLine;
      step = examineResponse(f, data, 0, collected, true, bodyStart);
      if (step != Step::kBody) return false;
      headerDone = true;
      // A compressed body's length says nothing of its decompressed size.
      if (f.coding == BodyDecoder::Coding::kIdentity && f.announced > maxBytes) {
        logFileTooLarge(f);
        step = Step::kGiveUp;
        return false;
      }
      if (!hasHeader) {
        f.body.start(BodyDecoder::Framing::kUntilClose, 0);
        return takeBody(data, collected);  // no header at all: everything is body
      }
      f.body.start(f.framing, f.announced, f.coding);
      if (bodyStart == kNoBlankLine) return true;
      if (!takeBody(data + bodyStart, collected - bodyStart)) return false;
      if (!f.body.done()) return true;
      bodyEnded = true;
      step = Step::kEnded;
      return false;
    };

    for (;;) {
      std::size_t got = 0;
      char* at = headerDone ? data : data + collected;
      step = readSome(f, at, headerDone ? capacity : capacity - collected, got);
      if (step != Step::kData) break;
      if (headerDone) {
        if (!takeBody(data, got)) break;
        continue;
      }
      const std::size_t before = collected;
      collected += got;
      data[collected] = '\0';
      const std::size_t from = before >= 3 ? before - 3 : 0;
      const bool complete = (collected >= 4 && !startsWithFolded(data, "http")) ||
                            findBlankLine(data + from, collected - from) != nullptr;
      if (complete) {
        if (!finishHeader()) break;
      } else if (collected >= kMaxHeaderBytes) {
        return headerTooLong(f);
      }
    }
    if (step == Step::kRetry) continue;
    if (step == Step::kGiveUp || step == Step::kRedirect) return step;
    if (!headerDone && !refused && !finishHeader()) {
      if (step == Step::kRetry) continue;
      if (step == Step::kGiveUp || step == Step::kRedirect) return step;
    }
    if (refused) {
      f.http.connection.close();
      LogLineBuilder line(f.http);
      line << "* Received ";
      appendCount(line.out(), pageLength);
      line << " bytes";
      line.send(f.log);
      return Step::kBody;
    }
    if (headerDone && f.body.codingUnfinished() && (bodyEnded || !f.body.framed())) {
      // All bytes came, but the compressed data stops short of its end.
      step = receiveError(f, "Compressed data cut short");
      if (step == Step::kRetry) continue;
      return step;
    }
    if (headerDone && f.body.framed() && !bodyEnded) {
      step = cutShort(f);  // a cut file
      if (step == Step::kRetry) continue;
      return step;
    }
    finishConnection(f, bodyEnded);
    if (pageLength == 0) return Step::kGiveUp;  // nothing to keep
    if (!saved.file.commit()) {
      LogLineBuilder line(f.http);
      line << "[ X ] Error writing file " << f.http.savePath.view();
      line.send(f.log);
      return Step::kGiveUp;
    }
    kept = true;
    target.linkOutput.append(
        std::string_view(f.http.savePath.c_str() + saved.nameStart, f.http.savePath.size() - saved.nameStart));
    LogLineBuilder line(f.http);
    line << "* Received ";
    appendCount(line.out(), pageLength);
    line << " bytes";
    line.send(f.log);
    return Step::kBody;
  }
}

}  // namespace

HttpClient::HttpClient(const SettingsStore& settings, ActivityLog& log, CookieJar& cookies,
                       std::chrono::milliseconds receiveTimeout)
    : settings_(settings),
      log_(log),
      cookies_(cookies),
      tlsContexts_(std::make_shared<TlsContexts>()),
      pool_(std::make_shared<ConnectionPool>()),
      receiveTimeout_(receiveTimeout) {}

HttpClient::HttpClient(HttpClient& other, ActivityLog& log)
    : settings_(other.settings_),
      log_(log),
      cookies_(other.cookies_),
      tlsContexts_(other.tlsContexts_),
      pool_(other.pool_),
      receiveTimeout_(other.receiveTimeout_) {}

HttpClient::~HttpClient() = default;

void HttpClient::closeIdleConnections() { pool_->closeAll(); }

std::size_t HttpClient::idleConnections() const { return pool_->idleCount(); }

std::size_t HttpClient::fetchToMemory(JobContext& job, PageBlock& destination, bool forumPage) {
  const Settings settings = settings_.snapshot();
  job.secureConnectionRefused = false;
  const Clock::time_point deadline = callDeadline(settings);
  auto http = makeHttpScratch();
  for (int redirects = 0;; ++redirects) {
    Fetch f{job,
            *http,
            settings,
            log_,
            receiveTimeout_,
            Mode::kMemory,
            settings.useProxy,
            kMaxRedirects - redirects,
            cookies_,
            *tlsContexts_};
    f.deadline = deadline;
    if (!settings.http10) f.pool = pool_.get();
    std::size_t length = 0;
    const Step step = fetchMemoryOnce(f, destination, length);
    if (step == Step::kRedirect) continue;
    if (step != Step::kBody) {
      destination.clear();
      return 0;
    }
    log_.progress().fetched(length);
    // Pages are read as UTF-8 from here on, whatever charset they came in.
    if (length != 0) length = convertPageToUtf8(destination, length, f.contentType);
    if (forumPage && settings.useDownloadDelay && settings.downloadDelayMs != 0) {
      sleepUnlessStopped(settings.downloadDelayMs, log_);
    }
    return length;
  }
}

FileOutcome HttpClient::fetchToFile(JobContext& job, PageBlock& receiveBuffer, TextWriter& linkOutput, bool imageMode,
                                    std::string_view folder, std::uint32_t itemNumber) {
  const Settings settings = settings_.snapshot();
  job.secureConnectionRefused = false;
  const bool viaProxy = settings.useProxy && !settings.proxyForumLinksOnly;
  const FileTarget target{linkOutput, imageMode, folder, itemNumber};
  const Clock::time_point deadline = callDeadline(settings);
  SavedFile saved;  // its .part goes with it unless committed
  auto http = makeHttpScratch();
  for (int redirects = 0;; ++redirects) {
    Fetch f{job,      *http,        settings, log_, receiveTimeout_, Mode::kFile, viaProxy, kMaxRedirects - redirects,
            cookies_, *tlsContexts_};
    f.deadline = deadline;
    if (!settings.http10) f.pool = pool_.get();
    bool kept = false;
    const Step step = fetchFileOnce(f, receiveBuffer, target, saved, kept);
    if (step == Step::kRedirect) continue;
    if (kept) {
      log_.progress().fetched(saved.bytes);
      return FileOutcome::kSaved;
    }
    saved.file.discard();
    if (log_.stopRequested()) return FileOutcome::kStopped;
    if (step == Step::kGiveUp) {
      LogLineBuilder line(*http);
      line << "[ X ] Error downloading file ";
      appendAbsoluteAddress(job.forumAddress.c_str(), line.out());
      line.send(log_);
    }
    return FileOutcome::kFailed;
  }
}

}  // namespace quillstash
