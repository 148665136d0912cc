// SPDX-License-Identifier: MIT
#include "http/login.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "http/exchange.h"
#include "http/socket_errors.h"
#include "text/strings.h"

namespace quillstash {
namespace {

bool isBlank(char c) { return c != '\0' && static_cast<unsigned char>(c) < '!'; }
bool isQuote(char c) { return c == '"' || c == '\''; }

// The end of the tag whose name starts at `tag`: its '>', the next '<', or the NUL.
const char* tagEnd(const char* tag) {
  while (*tag != '\0' && *tag != '>' && *tag != '<') ++tag;
  return tag;
}

// The start of the value of the first `name` (any letter case) in [tag, end)
// that is followed by optional blanks and '=': after the '=', the blanks and
// at most one quote. `quoted` tells whether a quote was skipped.
const char* findAttribute(const char* tag, const char* end, const char* name, bool* quoted = nullptr) {
  for (const char* p = tag; p < end; ++p) {
    if (!startsWithFolded(p, name)) continue;
    const char* q = p + std::strlen(name);
    while (q < end && isBlank(*q)) ++q;
    if (q >= end || *q != '=') continue;
    ++q;
    while (isBlank(*q)) ++q;
    const bool isQuoted = isQuote(*q);
    if (isQuoted) ++q;
    if (quoted != nullptr) *quoted = isQuoted;
    return q;
  }
  return nullptr;
}

// A name or value of a form field: up to a quote, a blank or control
// character, '<' or '>'.
std::string_view fieldText(const char* start) {
  const char* p = start;
  while (!isQuote(*p) && static_cast<unsigned char>(*p) > ' ' && *p != '<' && *p != '>') ++p;
  return std::string_view(start, static_cast<std::size_t>(p - start));
}

// application/x-www-form-urlencoded, so that any password logs in.
void appendFormEncoded(TextWriter& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (isAsciiLetter(c) || isDecimalDigit(c) || c == '*' || c == '-' || c == '.' || c == '_') {
      out.put(c);
    } else if (c == ' ') {
      out.put('+');
    } else {
      out.put('%');
      out.put(kHex[byte >> 4]);
      out.put(kHex[byte & 0x0F]);
    }
  }
}

void appendSeparator(TextWriter& out) {
  if (out.length() == 0) return;
  const char last = out.begin()[out.length() - 1];
  if (last != '&' && last != '?') out.put('&');
}

bool inputIsPassword(const char* tag) {
  const char* end = tagEnd(tag);
  for (const char* p = tag; p < end; ++p) {
    if (*p != ' ' || !startsWithFolded(p + 1, "type")) continue;
    const char* q = p + 5;
    while (q < end && isBlank(*q)) ++q;
    if (q >= end || *q != '=') continue;
    ++q;
    while (isBlank(*q)) ++q;
    if (isQuote(*q)) ++q;
    return startsWithFolded(q, "pass");
  }
  return false;
}

enum class FormMethod { kGet, kPost };

// Reads the start tag of the form at `form` ('<'): its action changes
// `address` (the front page's address; its host stays), its method is
// returned (POST when it names neither GET nor POST). False when the new
// address does not fit.
bool readFormTag(const char* form, FixedText<16384>& address, FormMethod& method) {
  const char* end = tagEnd(form + 1);
  method = FormMethod::kPost;
  if (const char* m = findAttribute(form + 1, end, "method")) {
    if (startsWithFolded(m, "ge")) method = FormMethod::kGet;
  }
  bool quoted = false;
  const char* v = findAttribute(form + 1, end, "action", &quoted);
  if (v == nullptr) return true;
  const char* vEnd = v;
  while (*vEnd != '\0' && !isQuote(*vEnd) && *vEnd != '>' && (quoted || !isBlank(*vEnd))) ++vEnd;

  // The action's own host is ignored: the login goes to the front page's server.
  FixedText<16384> result;
  TextWriter out = result.writer();
  appendResolvedFormAction(address.c_str(), v, vEnd, out);
  out.terminate();
  if (out.truncated()) return false;
  address.assign(result.view());
  return true;
}

}  // namespace

const char* findLoginForm(const char* page) {
  const char* form = nullptr;
  for (const char* p = std::strchr(page, '<'); p != nullptr; p = std::strchr(p + 1, '<')) {
    if (startsWithFolded(p + 1, "form")) {
      form = p;
    } else if (form == nullptr) {
      continue;
    } else if (startsWithFolded(p + 1, "/form")) {
      form = nullptr;
    } else if (startsWithFolded(p + 1, "inpu") && inputIsPassword(p + 1)) {
      return form;
    }
  }
  return nullptr;
}

void appendFormFields(const char* pos, TextWriter& out, std::string_view userName, std::string_view password) {
  std::string_view selectName;  // the select whose selected option is awaited
  for (const char* p = std::strchr(pos, '<'); p != nullptr; p = std::strchr(p + 1, '<')) {
    const char* tag = p + 1;
    const char* end = tagEnd(tag);
    if (startsWithFolded(tag, "input") && tag[5] == ' ') {
      const char* name = findAttribute(tag, end, "name");
      if (name == nullptr) continue;
      appendSeparator(out);
      out.append(fieldText(name));
      out.put('=');
      const char* type = findAttribute(tag, end, "type");
      if (type != nullptr && std::strncmp(type, "pass", 4) == 0) {
        appendFormEncoded(out, password);
      } else if (type != nullptr && std::strncmp(type, "text", 4) == 0) {
        appendFormEncoded(out, userName);
      } else if (const char* value = findAttribute(tag, end, "value")) {
        out.append(fieldText(value));
      }
    } else if (startsWithFolded(tag, "sele")) {
      const char* name = findAttribute(tag, end, "name");
      selectName = name != nullptr ? fieldText(name) : std::string_view();
    } else if (startsWithFolded(tag, "opti") && !selectName.empty()) {
      bool selected = false;
      for (const char* q = tag; q < end && !selected; ++q) selected = startsWithFolded(q, "sele");
      const char* value = selected ? findAttribute(tag, end, "value") : nullptr;
      if (value == nullptr) continue;
      appendSeparator(out);
      out.append(selectName);
      out.put('=');
      out.append(fieldText(value));
      selectName = std::string_view();
    }
  }
}

LoginJob::LoginJob(const SettingsStore& settings, ActivityLog& log, CookieJar& cookies,
                   std::chrono::milliseconds receiveTimeout)
    : settings_(settings), log_(log), cookies_(cookies), receiveTimeout_(receiveTimeout) {}

namespace {

using Clock = std::chrono::steady_clock;

// The time limits of the login's own exchange: the fetch deadline over all of
// it, and the minimum transfer rate over the answer.
struct LoginLimits {
  const Settings& settings;
  Clock::time_point deadline = Clock::time_point::max();

  // `wanted`, shortened to what is left before the deadline.
  std::chrono::milliseconds cut(std::chrono::milliseconds wanted) const {
    if (deadline == Clock::time_point::max()) return wanted;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return std::max(std::chrono::milliseconds(0), std::min(wanted, left));
  }
  bool passed() const { return Clock::now() >= deadline; }
};

void logDeadline(HttpScratch& http, const LoginLimits& limits, const char* address, ActivityLog& log) {
  LogLineBuilder line(http);
  line << "[ X ] Time limit of ";
  appendCount(line.out(), limits.settings.fetchDeadlineS);
  line << " s passed, giving up ";
  appendAbsoluteAddress(address, line.out());
  line.send(log);
}

// Reads the answer's header (never the body) into `page`; returns the bytes
// read. Each wait ends at the receive time-out, the end of the minimum-rate
// window or the deadline, whichever comes first.
std::size_t readAnswerHeader(HttpScratch& http, PageBlock& page, std::chrono::milliseconds timeout,
                             const LoginLimits& limits, const char* address, ActivityLog& log, bool& stopped) {
  char* data = page.data();
  std::size_t received = 0;
  const auto rateWindow = std::chrono::seconds(limits.settings.minRateTimeS);
  Clock::time_point windowStart = Clock::now();
  std::uint64_t windowBytes = 0;
  Clock::time_point waitEnd = Clock::now() + timeout;
  while (received < page.capacity()) {
    if (limits.passed()) {
      logDeadline(http, limits, address, log);
      break;
    }
    const Clock::time_point now = Clock::now();
    auto slice = std::chrono::ceil<std::chrono::milliseconds>(waitEnd - now);
    if (limits.settings.minRateTimeS != 0) {
      const Clock::time_point windowEnd = windowStart + rateWindow;
      if (now >= windowEnd) {
        if (windowBytes < kMinTransferRate * limits.settings.minRateTimeS) {
          LogLineBuilder line(http);
          line << "[ X ] Transfer too slow: under ";
          appendCount(line.out(), kMinTransferRate);
          line << " bytes/s for ";
          appendCount(line.out(), limits.settings.minRateTimeS);
          line << " s. Operation aborted";
          line.send(log);
          break;
        }
        windowStart = now;
        windowBytes = 0;
        continue;
      }
      slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(windowEnd - now));
    }
    if (slice.count() <= 0) {
      log.logLine("[ X ] Timeout, operation aborted\r\n");
      break;
    }
    std::size_t got = 0;
    const Connection::Received result = http.connection.receive(data + received, page.capacity() - received,
                                                                page.capacity(), limits.cut(slice), log, got);
    if (result == Connection::Received::kStopped) {
      stopped = true;
      break;
    }
    if (result == Connection::Received::kTimedOut) continue;  // the checks above tell which limit it was
    if (result == Connection::Received::kFailed) {
      LogLineBuilder line(http);
      line << "[ X ] Error receiving data, ";
      appendSocketError(line.out());
      line << ". Operation aborted";
      line.send(log);
      break;
    }
    if (result != Connection::Received::kData) break;
    received += got;
    windowBytes += got;
    waitEnd = Clock::now() + timeout;
    if (received > 4 && findBlankLine(data, received) != nullptr) break;
  }
  page.setLength(received);
  return received;
}

// Keeps the cookies the answer's header in page[0, received) sets, and logs
// their names (or that there were none).
void collectCookies(char* data, std::size_t received, const CookieJar::Origin& origin, CookieJar& cookies,
                    ActivityLog& log) {
  std::vector<std::string> names;
  if (received > 4) {
    if (const char* blank = findBlankLine(data, received)) data[blank - 4 - data] = '\0';
    names = cookies.storeFromHeader(std::string_view(data), origin, CookieJar::Clock::now());
  }
  if (names.empty()) {
    log.logLine("[ X ] No cookies were returned by server\r\n");
    return;
  }
  std::string text = "* Cookies:\r\n";
  for (const std::string& name : names) {
    text += '\t';
    for (char c : name) text += static_cast<unsigned char>(c) >= ' ' ? c : '?';
    text += "\r\n";
  }
  log.logLine(text);
}

}  // namespace

void LoginJob::run(std::string_view userName, std::string_view password, std::string_view forumAddress) {
  // A new login starts a new session: the form page's cookies are the first.
  cookies_.clear();
  log_.logLine("* Loading forum index...\r\n");
  const Settings settings = settings_.snapshot();
  auto job = makeJobContext();
  PageBlock page;
  if (!job->forumAddress.assign(forumAddress)) {
    log_.logLine("[ X ] Address too long, not fetched\r\n");
    return;
  }

  HttpClient client(settings_, log_, cookies_, receiveTimeout_);
  client.fetchToMemory(*job, page, true);
  if (log_.stopRequested()) return;
  auto http = makeHttpScratch();
  const bool split = splitAddress(job->forumAddress.c_str(), *http);

  const char* form = split ? findLoginForm(page.text()) : nullptr;
  if (form == nullptr) {
    log_.logLine("[ X ] Login form was not found\r\n");
    return;
  }
  FormMethod method = FormMethod::kPost;
  if (!readFormTag(form, job->forumAddress, method)) {
    log_.logLine("[ X ] Login form address too long, not sent\r\n");
    return;
  }
  const char* fields = tagEnd(form + 1);
  log_.logLine("* Sending login information...\r\n");

  std::vector<char> request(kRequestCapacity);
  std::vector<char> body(kRequestCapacity);
  TextWriter r(request.data(), request.size());
  TextWriter b(body.data(), body.size());
  const bool viaProxy = settings.useProxy;
  const char* address = job->forumAddress.c_str();
  r.append(method == FormMethod::kGet ? "GET " : "POST ");
  // Through a proxy, https goes through a tunnel and names the path alone.
  if (viaProxy && !http->secure) {
    FixedText<16384> absolute;
    TextWriter a = absolute.writer();
    appendAbsoluteAddress(address, a);
    a.terminate();
    appendRequestText(absolute.view(), r);
  } else if (const char* slash = std::strchr(address + schemeLength(address), '/')) {
    appendRequestText(slash, r);
  } else {
    r.put('/');
  }
  if (method == FormMethod::kGet) {
    if (r.view().find('?') == std::string_view::npos) r.put('?');
    appendFormFields(fields, r, userName, password);
  }
  r.append(" HTTP/1.0\r\nHost: ");
  appendRequestText(http->host.view(), r);
  r.append("\r\nContent-Type: application/x-www-form-urlencoded\r\nAccept: */*\r\n");
  appendUserAgentLine(r, settings);
  r.append("Connection: Close\r\nAccept-Encoding: deflate\r\n");
  // The form's token is checked against the session cookie of the page that showed it.
  const CookieJar::Origin origin = cookieOrigin(*http, address);
  r.append(cookies_.requestLine(origin, CookieJar::Clock::now()));
  if (method == FormMethod::kPost) {
    appendFormFields(fields, b, userName, password);
    r.append("Content-Length: ");
    appendDecimal(r, static_cast<std::uint32_t>(b.length()));
    r.append("\r\n\r\n");
    r.append(b.view());
  } else {
    r.append("\r\n");
  }
  if (r.truncated() || b.truncated()) {
    log_.logLine("[ X ] Login request too long, not sent\r\n");
    return;
  }

  LoginLimits limits{settings};
  if (settings.fetchDeadlineS != 0) limits.deadline = Clock::now() + std::chrono::seconds(settings.fetchDeadlineS);
  const ResolveOutcome resolved = resolveServer(*http, settings, viaProxy, limits.deadline, log_);
  if (resolved == ResolveOutcome::kStopped) return;
  if (resolved == ResolveOutcome::kTimedOut) {
    logDeadline(*http, limits, address, log_);
    return;
  }
  if (resolved != ResolveOutcome::kResolved) {
    const int code = platform::lastSocketError();
    LogLineBuilder line(*http);
    line << "[ X ] Error resolving " << http->host.view() << " , code: ";
    appendDecimal(line.out(), static_cast<std::uint32_t>(code));
    line.send(log_);
    return;
  }
  std::shared_ptr<const platform::TlsClientContext> tls;
  if (http->secure) {
    std::string error;
    tls = client.tlsContexts().get(settings, error);
    if (!tls) {
      log_.logLine("[ X ] " + error + "\r\n");
      return;
    }
  }
  http->connection.socket() = platform::openTcpSocket();
  if (!http->connection.isOpen()) {
    LogLineBuilder line(*http);
    line << "[ X ] Error creating socket, ";
    appendSocketError(line.out());
    line.send(log_);
    return;
  }
  const ConnectOutcome connected = connectWithin(
      http->connection.socket().handle(), http->serverAddress,
      limits.cut(std::chrono::milliseconds(settings.connectTimeoutS != 0 ? settings.connectTimeoutS * 1000LL : 30000)),
      log_);
  if (connected == ConnectOutcome::kStopped) return;
  if (connected == ConnectOutcome::kTimedOut && limits.passed()) {
    logDeadline(*http, limits, address, log_);
    return;
  }
  if (connected != ConnectOutcome::kConnected) {
    LogLineBuilder line(*http);
    line << "[ X ] Error connecting to " << http->host.view() << ", code: ";
    appendSocketError(line.out());
    line.send(log_);
    return;
  }
  if (http->secure && viaProxy && !openProxyTunnel(*http, settings, limits.cut(receiveTimeout_), log_)) return;
  if (http->secure && !startTls(*http, *tls, limits.cut(receiveTimeout_), log_)) return;
  if (!http->connection.sendAll(r.begin(), r.length(), limits.cut(receiveTimeout_), log_)) {
    LogLineBuilder line(*http);
    line << "[ X ] Error sending request, ";
    appendSocketError(line.out());
    line << ". Operation aborted";
    line.send(log_);
    return;
  }
  bool stopped = false;
  const std::size_t received = readAnswerHeader(*http, page, receiveTimeout_, limits, address, log_, stopped);
  if (stopped) return;
  collectCookies(page.data(), received, origin, cookies_, log_);
}

}  // namespace quillstash
