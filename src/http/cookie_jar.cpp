// SPDX-License-Identifier: MIT
#include "http/cookie_jar.h"

#include <algorithm>
#include <cstdint>

#include "platform/socket.h"
#include "text/strings.h"

namespace quillstash {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool equalsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!foldedEqual(a[i], b[i])) return false;
  }
  return true;
}

bool isAddress(const std::string& host) {
  std::uint32_t address = 0;
  return platform::parseDottedAddress(host.c_str(), address);
}

// The host is the domain, or a name under it (never an address under it).
bool domainMatches(const std::string& host, const std::string& domain) {
  if (host == domain) return true;
  return host.size() > domain.size() && host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
         host[host.size() - domain.size() - 1] == '.' && !isAddress(host);
}

std::string_view pathWithoutQuery(std::string_view path) {
  const std::size_t cut = path.find_first_of("?#");
  if (cut != std::string_view::npos) path = path.substr(0, cut);
  return path.empty() ? std::string_view("/") : path;
}

// The directory of the request path: where a cookie without Path applies.
std::string defaultPath(std::string_view requestPath) {
  const std::string_view path = pathWithoutQuery(requestPath);
  if (path.front() != '/') return "/";
  const std::size_t last = path.rfind('/');
  return last == 0 ? std::string("/") : std::string(path.substr(0, last));
}

bool pathMatches(std::string_view requestPath, const std::string& cookiePath) {
  const std::string_view path = pathWithoutQuery(requestPath);
  if (path.compare(0, cookiePath.size(), cookiePath) != 0) return false;
  return path.size() == cookiePath.size() || cookiePath.back() == '/' || path[cookiePath.size()] == '/';
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// A cookie date, read leniently as browsers do: the first hh:mm:ss, day of
// month, month name and year among its tokens, in any order. False when one
// is missing or out of range.
bool parseCookieDate(std::string_view text, CookieJar::Clock::time_point& when) {
  static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
  int hour = -1, minute = -1, second = -1, day = -1, month = -1, year = -1;
  auto isDelimiter = [](char c) {
    return c == '\t' || (c >= ' ' && c <= '/') || (c >= ';' && c <= '@') || (c >= '[' && c <= '`') ||
           (c >= '{' && c <= '~');
  };
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isDelimiter(text[i])) ++i;
    std::size_t end = i;
    while (end < text.size() && !isDelimiter(text[end])) ++end;
    const std::string_view token = text.substr(i, end - i);
    i = end;
    if (token.empty()) continue;
    auto digitsAt = [&](std::size_t from, std::size_t& to) {
      int value = 0;
      to = from;
      while (to < token.size() && to - from < 4 && isDecimalDigit(token[to])) value = value * 10 + (token[to++] - '0');
      return value;
    };
    std::size_t to = 0;
    if (hour < 0 && token.find(':') != std::string_view::npos) {
      const int h = digitsAt(0, to);
      if (to == 0 || to > 2 || to >= token.size() || token[to] != ':') continue;
      const std::size_t m0 = to + 1;
      const int m = digitsAt(m0, to);
      if (to == m0 || to - m0 > 2 || to >= token.size() || token[to] != ':') continue;
      const std::size_t s0 = to + 1;
      const int s = digitsAt(s0, to);
      if (to == s0 || to - s0 > 2) continue;
      hour = h, minute = m, second = s;
      continue;
    }
    if (isDecimalDigit(token[0])) {
      const int value = digitsAt(0, to);
      if (day < 0 && to <= 2) {
        day = value;
      } else if (year < 0 && to >= 2 && to <= 4) {
        year = value;
      }
      continue;
    }
    if (month < 0 && token.size() >= 3) {
      for (int m = 0; m < 12; ++m) {
        if (equalsFolded(token.substr(0, 3), kMonths[m])) month = m + 1;
      }
    }
  }
  if (year >= 70 && year <= 99) year += 1900;
  if (year >= 0 && year <= 69) year += 2000;
  if (hour < 0 || day < 1 || day > 31 || month < 1 || year < 1601 || hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  const std::int64_t seconds = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                               hour * 3600 + minute * 60 + second;
  when = CookieJar::Clock::time_point(std::chrono::seconds(seconds));
  return true;
}

}  // namespace

std::vector<std::string> CookieJar::storeFromHeader(std::string_view header, const Origin& origin,
                                                    Clock::time_point now) {
  std::vector<std::string> stored;
  std::vector<Cookie> parsed;
  const std::string host = lowerCase(origin.host);
  std::size_t lineStart = 0;
  while (lineStart < header.size()) {
    std::size_t lineEnd = header.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = header.size();
    std::string_view line = header.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() < 11 || !equalsFolded(line.substr(0, 10), "set-cookie")) continue;
    line = trim(line.substr(10));
    if (line.empty() || line.front() != ':') continue;
    line.remove_prefix(1);

    const std::size_t pairEnd = line.find(';');
    const std::string_view pair = line.substr(0, pairEnd);
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) continue;
    Cookie cookie;
    cookie.name = std::string(trim(pair.substr(0, equals)));
    cookie.value = std::string(trim(pair.substr(equals + 1)));
    if (cookie.name.empty() || cookie.name.size() + cookie.value.size() > kMaxCookieLength) continue;
    // A control character (a lone CR above all) could end the Cookie line early and start a header of its own.
    if (std::any_of(cookie.name.begin(), cookie.name.end(), isControl) ||
        std::any_of(cookie.value.begin(), cookie.value.end(), isControl)) {
      continue;
    }
    cookie.domain = host;
    cookie.path = defaultPath(origin.path);

    bool refused = false;
    bool haveMaxAge = false;
    std::string_view attributes = pairEnd == std::string_view::npos ? std::string_view() : line.substr(pairEnd + 1);
    while (!attributes.empty()) {
      const std::size_t next = attributes.find(';');
      const std::string_view attribute = attributes.substr(0, next);
      attributes = next == std::string_view::npos ? std::string_view() : attributes.substr(next + 1);
      const std::size_t eq = attribute.find('=');
      const std::string_view name = trim(attribute.substr(0, eq));
      const std::string_view value = eq == std::string_view::npos ? std::string_view() : trim(attribute.substr(eq + 1));
      if (equalsFolded(name, "domain")) {
        std::string domain = lowerCase(value);
        while (!domain.empty() && domain.front() == '.') domain.erase(0, 1);
        if (domain.empty()) continue;
        // A domain must cover the host, and a bare top-level name would reach other sites.
        if (!domainMatches(host, domain) || (domain != host && domain.find('.') == std::string::npos)) {
          refused = true;
        } else {
          cookie.domain = std::move(domain);
          cookie.hostOnly = false;
        }
      } else if (equalsFolded(name, "path")) {
        if (!value.empty() && value.front() == '/') cookie.path = std::string(value);
      } else if (equalsFolded(name, "secure")) {
        cookie.secure = true;
      } else if (equalsFolded(name, "max-age")) {
        const bool negative = !value.empty() && value.front() == '-';
        std::string_view digits = negative ? value.substr(1) : value;
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDecimalDigit)) continue;
        std::int64_t seconds = 0;
        for (char c : digits) seconds = std::min<std::int64_t>(seconds * 10 + (c - '0'), std::int64_t{1} << 40);
        haveMaxAge = true;
        cookie.persistent = true;
        cookie.expires = negative || seconds == 0 ? Clock::time_point::min() : now + std::chrono::seconds(seconds);
      } else if (equalsFolded(name, "expires") && !haveMaxAge) {
        Clock::time_point when;
        if (parseCookieDate(value, when)) {
          cookie.persistent = true;
          cookie.expires = when;
        }
      }
    }
    // A secure cookie comes only from a secure origin.
    if (refused || (cookie.secure && !origin.secure)) continue;
    if (!cookie.persistent || cookie.expires > now) stored.push_back(cookie.name);
    parsed.push_back(std::move(cookie));
  }
  // One response's cookies arrive together: a request made meanwhile sees all or none.
  std::lock_guard<std::mutex> lock(mutex_);
  for (Cookie& cookie : parsed) storeLocked(std::move(cookie), now);
  return stored;
}

void CookieJar::storeLocked(Cookie cookie, Clock::time_point now) {
  const bool live = !cookie.persistent || cookie.expires > now;
  auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) {
    return c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path;
  });
  if (same != cookies_.end()) {
    if (!live) {
      cookies_.erase(same);
      return;
    }
    cookie.order = same->order;
    *same = std::move(cookie);
    return;
  }
  if (!live) return;
  if (cookies_.size() >= kMaxCookies) {
    cookies_.erase(std::remove_if(cookies_.begin(), cookies_.end(),
                                  [&](const Cookie& c) { return c.persistent && c.expires <= now; }),
                   cookies_.end());
    if (cookies_.size() >= kMaxCookies) {
      cookies_.erase(std::min_element(cookies_.begin(), cookies_.end(),
                                      [](const Cookie& a, const Cookie& b) { return a.order < b.order; }));
    }
  }
  cookie.order = nextOrder_++;
  cookies_.push_back(std::move(cookie));
}

std::string CookieJar::requestLine(const Origin& origin, Clock::time_point now) const {
  const std::string host = lowerCase(origin.host);
  std::vector<const Cookie*> chosen;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Cookie& c : cookies_) {
    if (c.persistent && c.expires <= now) continue;
    if (c.secure && !origin.secure) continue;
    if (c.hostOnly ? host != c.domain : !domainMatches(host, c.domain)) continue;
    if (!pathMatches(origin.path, c.path)) continue;
    chosen.push_back(&c);
  }
  if (chosen.empty()) return std::string();
  std::stable_sort(chosen.begin(), chosen.end(), [](const Cookie* a, const Cookie* b) {
    return a->path.size() != b->path.size() ? a->path.size() > b->path.size() : a->order < b->order;
  });
  std::string line = "Cookie: ";
  bool first = true;
  for (const Cookie* c : chosen) {
    const std::size_t needed = line.size() + (first ? 0 : 2) + c->name.size() + 1 + c->value.size() + 2;
    if (needed > kMaxLineLength) continue;
    if (!first) line += "; ";
    line += c->name;
    line += '=';
    line += c->value;
    first = false;
  }
  if (first) return std::string();
  line += "\r\n";
  return line;
}

void CookieJar::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  cookies_.clear();
}

std::size_t CookieJar::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cookies_.size();
}

}  // namespace quillstash
