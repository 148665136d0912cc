// SPDX-License-Identifier: MIT
#include "http/login.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/version.h"
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

LoginJob::LoginJob(const SettingsStore& settings, ActivityLog& log, LoginCookie& loginCookie,
                   std::chrono::milliseconds receiveTimeout)
    : settings_(settings), log_(log), loginCookie_(loginCookie), receiveTimeout_(receiveTimeout) {}

namespace {

// Reads the answer's header (never the body) into `page`; returns the bytes read.
std::size_t readAnswerHeader(HttpScratch& http, PageBlock& page, std::chrono::milliseconds timeout, ActivityLog& log,
                             bool& stopped) {
  char* data = page.data();
  std::size_t received = 0;
  auto receiveFailed = [&]() {
    LogLineBuilder line(http);
    line << "[ X ] Error receiving data, ";
    appendSocketError(line.out());
    line << ". Operation aborted";
    line.send(log);
  };
  while (received < page.capacity()) {
    const WaitOutcome wait = waitForData(http.socket.handle(), timeout, log);
    if (wait == WaitOutcome::kStopped) {
      stopped = true;
      break;
    }
    if (wait == WaitOutcome::kTimedOut) {
      log.logLine("[ X ] Timeout, operation aborted\r\n");
      break;
    }
    std::size_t waiting = 0;
    if (wait == WaitOutcome::kFailed || !platform::bytesWaiting(http.socket.handle(), waiting)) {
      receiveFailed();
      break;
    }
    if (waiting == 0) break;
    const long n =
        platform::receiveBytes(http.socket.handle(), data + received, std::min(waiting, page.capacity() - received));
    if (n <= 0) break;
    received += static_cast<std::size_t>(n);
    if (received > 4 && findBlankLine(data, received) != nullptr) break;
  }
  page.setLength(received);
  return received;
}

// Builds "Cookie: a=1; b=2\r\n" from the Set-Cookie lines of the header in
// page[0, received) and replaces the cookie line with it (or empties it).
void collectCookies(char* data, std::size_t received, LoginCookie& loginCookie, ActivityLog& log) {
  std::string line = "Cookie: ";
  std::string names = "* Cookies:\r\n";
  std::size_t taken = 0;
  std::size_t dropped = 0;
  if (received > 4) {
    if (const char* blank = findBlankLine(data, received)) data[blank - 4 - data] = '\0';
    for (const char* p = data; *p != '\0';) {
      if (startsWithFolded(p, "set-cookie")) {
        const char* q = p + 10;
        if (*q == ':') ++q;
        while (*q == ' ') ++q;
        const char* end = q;
        while (*end != '\0' && *end != '\r' && *end != '\n' && *end != ';') ++end;
        if (end != q) {
          const std::string_view pair(q, static_cast<std::size_t>(end - q));
          // Only whole pairs go in, and the line with its CR LF keeps to its limit.
          const std::size_t needed = line.size() + (taken != 0 ? 2 : 0) + pair.size() + 2;
          if (needed <= LoginCookie::kMaxLength) {
            if (taken != 0) line += "; ";
            line += pair;
            ++taken;
            std::size_t nameLength = 0;
            while (nameLength < pair.size() && pair[nameLength] != '=' && pair[nameLength] != ';' &&
                   static_cast<unsigned char>(pair[nameLength]) >= ' ') {
              ++nameLength;
            }
            names += '\t';
            names += pair.substr(0, nameLength);
            names += "\r\n";
          } else {
            ++dropped;
          }
        }
      }
      while (*p != '\0' && *p != '\r' && *p != '\n') ++p;
      if (*p != '\0') ++p;
    }
  }
  if (taken == 0) {
    loginCookie.clear();
    log.logLine("[ X ] No cookies were returned by server\r\n");
    return;
  }
  line += "\r\n";
  loginCookie.set(line);
  log.logLine(names);
  if (dropped != 0) {
    std::string note = "[ X ] Cookie line full, ";
    note += std::to_string(dropped);
    note += " cookies were not kept\r\n";
    log.logLine(note);
  }
}

}  // namespace

void LoginJob::run(std::string_view userName, std::string_view password, std::string_view forumAddress) {
  loginCookie_.clear();
  log_.logLine("* Loading forum index...\r\n");
  const Settings settings = settings_.snapshot();
  auto job = makeJobContext();
  PageBlock page;
  if (!job->forumAddress.assign(forumAddress)) {
    log_.logLine("[ X ] Address too long, not fetched\r\n");
    return;
  }

  HttpClient client(settings_, log_, loginCookie_, nullptr, receiveTimeout_);
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
  if (viaProxy) {
    FixedText<16384> absolute;
    TextWriter a = absolute.writer();
    appendAbsoluteAddress(address, a);
    a.terminate();
    appendRequestText(absolute.view(), r);
  } else if (const char* slash = std::strchr(address + (hasHttpScheme(address) ? 7 : 0), '/')) {
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
  r.append(
      "\r\nContent-Type: application/x-www-form-urlencoded\r\nAccept: */*\r\nUser-Agent: Quillstash/" QUILLSTASH_VERSION
      "\r\n"
      "Connection: Close\r\nAccept-Encoding: deflate\r\n");
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

  if (!resolveServer(*http, settings, viaProxy)) {
    const int code = platform::lastSocketError();
    LogLineBuilder line(*http);
    line << "[ X ] Error resolving " << http->host.view() << " , code: ";
    appendDecimal(line.out(), static_cast<std::uint32_t>(code));
    line.send(log_);
    return;
  }
  http->socket = platform::openTcpSocket();
  if (!http->socket.isOpen()) {
    LogLineBuilder line(*http);
    line << "[ X ] Error creating socket, ";
    appendSocketError(line.out());
    line.send(log_);
    return;
  }
  const ConnectOutcome connected = connectWithin(
      http->socket.handle(), http->serverAddress,
      std::chrono::milliseconds(settings.connectTimeoutS != 0 ? settings.connectTimeoutS * 1000LL : 30000), log_);
  if (connected == ConnectOutcome::kStopped) return;
  if (connected != ConnectOutcome::kConnected) {
    LogLineBuilder line(*http);
    line << "[ X ] Error connecting to " << http->host.view() << ", code: ";
    appendSocketError(line.out());
    line.send(log_);
    return;
  }
  if (!sendAll(http->socket.handle(), r.begin(), r.length())) {
    LogLineBuilder line(*http);
    line << "[ X ] Error sending request, ";
    appendSocketError(line.out());
    line << ". Operation aborted";
    line.send(log_);
    return;
  }
  bool stopped = false;
  const std::size_t received = readAnswerHeader(*http, page, receiveTimeout_, log_, stopped);
  if (stopped) return;
  collectCookies(page.data(), received, loginCookie_, log_);
}

}  // namespace quillstash
