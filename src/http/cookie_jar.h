// SPDX-License-Identifier: MIT
#pragma once

// The cookies of one run: every Set-Cookie field of every response (pages,
// files, the login) is kept with its domain, path, secure flag and expiry,
// and each later request carries the cookies that belong to its host and
// path in one "Cookie: ...\r\n" line. Nothing is written to disk.
//
// One jar per session, shared by the download and a login running beside it:
// every member takes the jar's lock, so any thread may call any member.

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillstash {

class CookieJar {
 public:
  using Clock = std::chrono::system_clock;

  // Limits that keep a hostile server from filling memory or the request.
  static constexpr std::size_t kMaxCookies = 300;
  static constexpr std::size_t kMaxCookieLength = 4096;  // name and value together
  static constexpr std::size_t kMaxLineLength = 8000;    // the whole Cookie line, CR LF included

  // Where a response came from (or a request goes to).
  struct Origin {
    std::string_view host;  // no port, any letter case
    std::string_view path;  // the request path, query included; empty means "/"
    bool secure = false;    // over https
  };

  // Reads every Set-Cookie field of `header` (the response header as text,
  // status line first) answering a request to `origin`. A cookie whose
  // Domain does not cover the host is refused; one that has expired, or has
  // Max-Age 0 or less, removes the stored cookie of the same name, domain
  // and path. Returns the names of the cookies stored, in order.
  std::vector<std::string> storeFromHeader(std::string_view header, const Origin& origin, Clock::time_point now);

  // "Cookie: a=1; b=2\r\n" with the unexpired cookies for `origin` (longer
  // paths first, then oldest first), or an empty text when there are none.
  // Cookies that would make the line longer than kMaxLineLength are left out.
  std::string requestLine(const Origin& origin, Clock::time_point now) const;

  // Forgets every cookie (a new login starts from an empty jar).
  void clear();
  std::size_t size() const;

 private:
  struct Cookie {
    std::string name;
    std::string value;
    std::string domain;  // lower case, no leading dot
    std::string path;
    bool hostOnly = true;  // no Domain attribute: this host alone
    bool secure = false;
    bool persistent = false;  // has an expiry
    Clock::time_point expires;
    std::uint64_t order = 0;  // creation order
  };

  // Adds, replaces or (expired) removes one cookie; the caller holds mutex_.
  void storeLocked(Cookie cookie, Clock::time_point now);

  mutable std::mutex mutex_;
  std::vector<Cookie> cookies_;
  std::uint64_t nextOrder_ = 0;
};

}  // namespace quillstash
