// SPDX-License-Identifier: MIT
#include "http/cookie_jar.h"

#include <gtest/gtest.h>

#include <string>

namespace quillstash {
namespace {

using Clock = CookieJar::Clock;

// Each row: a response from `from` sets `setCookie`; then a request to `to`
// carries `sent` (the whole Cookie line, or "" for none).
struct Row {
  const char* what;
  CookieJar::Origin from;
  const char* setCookie;
  CookieJar::Origin to;
  const char* sent;
};

TEST(CookieJar, appliesDomainPathSecureAndExpiryRules) {
  const Clock::time_point now = Clock::now();
  const Row rows[] = {
      {"host-only stays on its host", {"forum.test", "/", false}, "a=1", {"www.forum.test", "/", false}, ""},
      {"host names fold case", {"Forum.Test", "/", false}, "a=1", {"forum.TEST", "/x", false}, "Cookie: a=1\r\n"},
      {"domain covers subdomains",
       {"www.forum.test", "/", false},
       "a=1; Domain=.forum.test",
       {"img.forum.test", "/", false},
       "Cookie: a=1\r\n"},
      {"domain of another site is refused",
       {"forum.test", "/", false},
       "a=1; domain=evil.test",
       {"evil.test", "/", false},
       ""},
      {"a bare top-level domain is refused",
       {"forum.test", "/", false},
       "a=1; domain=test",
       {"other.test", "/", false},
       ""},
      {"no domain reaches into an address",
       {"127.0.0.1", "/", false},
       "a=1; domain=0.0.1",
       {"127.0.0.1", "/", false},
       ""},
      {"default path is the request's folder",
       {"f.test", "/forum/login.php?x=/y", false},
       "a=1",
       {"f.test", "/forum/t.php", false},
       "Cookie: a=1\r\n"},
      {"default path excludes other folders",
       {"f.test", "/forum/login.php", false},
       "a=1",
       {"f.test", "/other/t.php", false},
       ""},
      {"a path is not a string prefix",
       {"f.test", "/", false},
       "a=1; path=/forum",
       {"f.test", "/forumother", false},
       ""},
      {"a path matches below itself",
       {"f.test", "/", false},
       "a=1; Path=/forum",
       {"f.test", "/forum/x?y", false},
       "Cookie: a=1\r\n"},
      {"secure goes over https only", {"f.test", "/", true}, "a=1; Secure", {"f.test", "/", false}, ""},
      {"secure from plain http is refused", {"f.test", "/", false}, "a=1; secure", {"f.test", "/", true}, ""},
      {"an expiry in the past deletes",
       {"f.test", "/", false},
       "a=1; expires=Thu, 01 Jan 1998 00:00:00 GMT",
       {"f.test", "/", false},
       ""},
      {"a future expiry keeps",
       {"f.test", "/", false},
       "a=1; Expires=Fri, 01-Jan-2100 00:00:00 GMT",
       {"f.test", "/", false},
       "Cookie: a=1\r\n"},
      {"max-age wins over expires",
       {"f.test", "/", false},
       "a=1; max-age=0; expires=Fri, 01 Jan 2100 00:00:00 GMT",
       {"f.test", "/", false},
       ""},
      {"a pair without '=' is ignored", {"f.test", "/", false}, "novalue", {"f.test", "/", false}, ""},
  };
  for (const Row& row : rows) {
    CookieJar jar;
    jar.storeFromHeader(std::string("HTTP/1.0 200 OK\r\nSet-Cookie: ") + row.setCookie + "\r\n", row.from, now);
    EXPECT_EQ(jar.requestLine(row.to, now), row.sent) << row.what;
  }
}

TEST(CookieJar, replacesDeletesAndExpiresStoredCookiesInOrder) {
  const Clock::time_point now = Clock::now();
  CookieJar jar;
  const CookieJar::Origin site{"f.test", "/forum/index.php", false};
  EXPECT_EQ(jar.storeFromHeader("HTTP/1.1 200 OK\r\nset-cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"
                                "Set-Cookie: c=3; Max-Age=60; path=/\r\nX-Set-Cookie: d=4\r\n",
                                site, now),
            (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(jar.requestLine(site, now), "Cookie: b=2; a=1; c=3\r\n");  // longer path first, then oldest
  jar.storeFromHeader("HTTP/1.0 200 OK\r\nSet-Cookie: a=9; path=/\r\nSet-Cookie: b=x; max-age=-1\r\n", site, now);
  EXPECT_EQ(jar.requestLine(site, now), "Cookie: a=9; c=3\r\n");
  EXPECT_EQ(jar.requestLine(site, now + std::chrono::seconds(61)), "Cookie: a=9\r\n");
  jar.clear();
  EXPECT_EQ(jar.requestLine(site, now), "");
}

}  // namespace
}  // namespace quillstash
