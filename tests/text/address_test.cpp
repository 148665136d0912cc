// SPDX-License-Identifier: MIT
#include "text/address.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quillstash {
namespace {

using Resolver = const char* (*)(std::string_view, const char*, TextWriter&);

// The resolved address and the rest of the link text the resolver left unread.
std::pair<std::string, std::string> resolve(Resolver resolver, const char* base, const char* link) {
  FixedText<256> text;
  TextWriter out = text.writer();
  const char* stop = resolver(base, link, out);
  out.terminate();
  return {out.truncated() ? "<cut>" : text.c_str(), stop};
}

std::string pageLink(const char* base, const char* link) {
  FixedText<256> text;
  TextWriter out = text.writer();
  appendResolvedPageLink(base, link, out);
  out.terminate();
  return text.c_str();
}

std::string attachment(const char* base, const char* link) {
  FixedText<256> text;
  TextWriter out = text.writer();
  appendResolvedAttachment(base, link, out);
  out.terminate();
  return text.c_str();
}

std::string formAction(const char* base, const std::string& action) {
  FixedText<256> text;
  TextWriter out = text.writer();
  // The page continues after the value, as a tag does.
  std::string page = action + "\" method=post>";
  appendResolvedFormAction(base, page.c_str(), page.c_str() + action.size(), out);
  out.terminate();
  return text.c_str();
}

TEST(Address, listLinksResolveOnTheBaseHostAndDifferInFragmentsAndHexSessions) {
  const char* base = "http://forum.example/board/index.php";
  EXPECT_EQ(resolve(appendResolvedForumLink, base, "viewforum.php?f=3#top\">x").first,
            "http://forum.example/board/viewforum.php?f=3");
  EXPECT_EQ(resolve(appendResolvedForumLink, base, "viewforum.php?f=3#top\">x").second, "#top\">x");
  EXPECT_EQ(resolve(appendResolvedTopicLink, base, "t.php?t=3#p9'").first, "http://forum.example/board/t.php?t=3#p9");
  EXPECT_EQ(resolve(appendResolvedForumLink, base, "HTTP://mirror.example/x/f.php?f=1&amp;sid=ab&amp;g=2>").first,
            "http://forum.example/x/f.php?f=1&&g=2");
  // Only the table walk drops "s=" with a hexadecimal value.
  EXPECT_EQ(resolve(appendResolvedTopicLink, base, "t.php?s=0123456789abcdef&t=5").first,
            "http://forum.example/board/t.php?s=0123456789abcdef&t=5");
  EXPECT_EQ(resolve(appendResolvedTopicTableLink, base, "t.php?t=5&s=0123456789abcdef").first,
            "http://forum.example/board/t.php?t=5");
  EXPECT_EQ(resolve(appendResolvedTopicTableLink, base, "t.php?t=5&s=12").first,
            "http://forum.example/board/t.php?t=5&s=12");
  // A base without a path loses its query before the link's '/'.
  EXPECT_EQ(resolve(appendResolvedForumLink, "http://forum.example?x=1", "f.php").first, "http://forum.example/f.php");
  EXPECT_EQ(resolve(appendResolvedForumLink, "http://forum.example/b/", "/f.php").first, "http://forum.example/f.php");
  // An address that does not fit is reported, never cut silently.
  std::string longLink(300, 'a');
  EXPECT_EQ(resolve(appendResolvedForumLink, base, longLink.c_str()).first, "<cut>");
}

TEST(Address, pageLinksAndAttachmentsDropEverySessionIdAndFragment) {
  EXPECT_EQ(pageLink("http://forum.test/board/t.php?t=1",
                     "http://mirror.test/x/t.php?t=1&amp;sid=abc&amp;s=0123456789&amp;p=2#r"),
            "http://forum.test/x/t.php?t=1&&&p=2");
  EXPECT_EQ(pageLink("http://forum.test/board/t.php", "t.php?p=3'"), "http://forum.test/board/t.php?p=3");
  // A base without a path is kept whole.
  EXPECT_EQ(pageLink("http://forum.test?x=1", "t.php"), "http://forum.test?x=1/t.php");

  // Attachments keep a host they name and resolve the others like pages.
  const char* base = "http://forum.test:8080/board/t.php?t=1";
  EXPECT_EQ(attachment(base, "http://files.test/a.zip?PHPSESSID=1&id=2"), "http://files.test/a.zip?&id=2");
  EXPECT_EQ(attachment(base, "/download.php?id=2&amp;sid=9\""), "http://forum.test:8080/download.php?id=2");
  EXPECT_EQ(attachment(base, "download.php?id=2#x"), "http://forum.test:8080/board/download.php?id=2");
  EXPECT_EQ(attachment("http://forum.test", "d.php?id=2"), "http://forum.test/d.php?id=2");
}

TEST(Address, formActionsStayOnTheFrontPagesServerWithoutSessions) {
  const char* base = "http://forum.test/board/index.php";
  EXPECT_EQ(formAction(base, "login.php?mode=login&amp;sid=0a1b2c"), "http://forum.test/board/login.php?mode=login");
  EXPECT_EQ(formAction(base, "http://other.test/auth/login.php?S=x0123456&a=1"),
            "http://forum.test/auth/login.php?&a=1");
  // The value's own end counts, not the page's: a short tail is not a session id.
  EXPECT_EQ(formAction(base, "login.php?s=x012"), "http://forum.test/board/login.php?s=x012");
  EXPECT_EQ(formAction("http://forum.test", "login.php"), "http://forum.test/login.php");
}

// Relative and root links keep the scheme of their base; a link's own
// scheme and host are dropped as for http.
TEST(Address, httpsBasesKeepTheirSchemeInEveryResolver) {
  const char* base = "https://f.test:8443/board/index.php";
  EXPECT_EQ(resolve(appendResolvedForumLink, base, "viewforum.php?f=2\"").first,
            "https://f.test:8443/board/viewforum.php?f=2");
  EXPECT_EQ(resolve(appendResolvedTopicLink, base, "http://other.test/t.php?t=1\"").first,
            "https://f.test:8443/t.php?t=1");
  EXPECT_EQ(resolve(appendResolvedForumLink, "HTTPS://f.test", "f.php\"").first, "HTTPS://f.test/f.php");
  EXPECT_EQ(pageLink(base, "/t.php?p=2\""), "https://f.test:8443/t.php?p=2");
  EXPECT_EQ(attachment(base, "/files/a.zip\""), "https://f.test:8443/files/a.zip");
  EXPECT_EQ(attachment("https://f.test", "a.zip\""), "https://f.test/a.zip");
  EXPECT_EQ(formAction(base, "https://f.test:8443/board/login.php"), "https://f.test:8443/board/login.php");
  EXPECT_EQ(hostOf("https://f.test:8443/x"), "f.test:8443");

  FixedText<64> host, path;
  TextWriter h = host.writer(), p = path.writer();
  std::uint16_t port = 0;
  EXPECT_TRUE(splitAddress("https://f.test/x", h, port, p));
  EXPECT_EQ(port, 443);
  EXPECT_TRUE(isSecureAddress("Https://f.test/") && !isSecureAddress("http://f.test/") && !isSecureAddress("f.test"));
}

TEST(Address, sessionIdsAndLinkEnds) {
  EXPECT_TRUE(startsNamedSessionId("SID=1"));
  EXPECT_TRUE(startsNamedSessionId("PHPSESSID=abc"));
  EXPECT_FALSE(startsNamedSessionId("side=1"));
  EXPECT_TRUE(startsLongHexSessionId("S=abcdef012"));
  EXPECT_FALSE(startsLongHexSessionId("s=abcdef01"));
  EXPECT_TRUE(isLinkEndOrFragment('#'));
  EXPECT_FALSE(isLinkEnd('#'));
  EXPECT_TRUE(isLinkEnd('>'));
  EXPECT_FALSE(isStoredLinkEnd('>'));
}

TEST(Address, splitsHostPortAndPathAndBuildsRedirects) {
  FixedText<64> host;
  FixedText<64> path;
  TextWriter h = host.writer();
  TextWriter p = path.writer();
  std::uint16_t port = 0;
  EXPECT_TRUE(splitAddress("HTTP://forum.test:65617/b/i.php?x=1", h, port, p));
  EXPECT_STREQ(host.c_str(), "forum.test");
  EXPECT_EQ(port, 65617 & 0xFFFF);
  EXPECT_STREQ(path.c_str(), "/b/i.php?x=1");
  h = host.writer();
  p = path.writer();
  EXPECT_TRUE(splitAddress("forum.test", h, port, p));
  EXPECT_EQ(port, 80);
  EXPECT_STREQ(path.c_str(), "");
  h = host.writer();
  p = path.writer();
  EXPECT_FALSE(splitAddress(("http://" + std::string(100, 'h')).c_str(), h, port, p));

  FixedText<128> target;
  TextWriter t = target.writer();
  appendRedirectTarget(false, "forum.test", 8080, "/next.php", t);
  t.terminate();
  EXPECT_STREQ(target.c_str(), "http://forum.test:8080/next.php");
  t = target.writer();
  appendRedirectTarget(false, "forum.test", 80, "http://b.test/x", t);
  t.terminate();
  EXPECT_STREQ(target.c_str(), "http://b.test/x");
  t = target.writer();
  appendRedirectTarget(true, "forum.test", 443, "/next.php", t);  // the scheme's own port is left out
  t.terminate();
  EXPECT_STREQ(target.c_str(), "https://forum.test/next.php");
  t = target.writer();
  appendRedirectTarget(true, "forum.test", 80, "/next.php", t);
  t.terminate();
  EXPECT_STREQ(target.c_str(), "https://forum.test:80/next.php");
  t = target.writer();
  appendAbsoluteAddress("forum.test/x", t);
  t.terminate();
  EXPECT_STREQ(target.c_str(), "http://forum.test/x");
}

TEST(Address, forumAddressesAreCheckedBeforeAnythingIsFetched) {
  struct Case {
    const char* address;
    const char* problem;  // empty: accepted
  };
  const Case cases[] = {
      {"http://forum.example.org/index.php", ""},
      {"HTTP://127.0.0.1:8080/", ""},
      {"forum.example.org/board/", ""},
      {"host:65535", ""},
      {"http://host/a?b=http://c", ""},
      {"https://forum.example.org/", ""},
      {"HTTPS://127.0.0.1:8443/board/", ""},
      {"https://host:0/", "the port of the forum address must be a number from 1 to 65535"},
      {"ftp://forum.example.org/", "the forum address must start with http:// or https://"},
      {"file:///etc/passwd", "the forum address must start with http:// or https://"},
      {"http://", "the forum address has no host"},
      {"http:///index.php", "the forum address has no host"},
      {"http://host:99999/", "the port of the forum address must be a number from 1 to 65535"},
      {"http://host:0/", "the port of the forum address must be a number from 1 to 65535"},
      {"http://host:/", "the port of the forum address must be a number from 1 to 65535"},
      {"http://host:8o/", "the port of the forum address must be a number from 1 to 65535"},
      {"http://user:pw@host/", "user names in the forum address (user@host) are not supported"},
      {"http://[::1]:8080/", "IPv6 addresses are not supported; use a host name or an IPv4 address"},
      {"http://host/a b", "the forum address contains a blank or a control character"},
      {"http://host/a\r\nX: 1", "the forum address contains a blank or a control character"},
      {"", "the forum address is empty"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(checkForumAddress(c.address), c.problem) << c.address;
  }
}

TEST(Address, requestTextPercentEncodesControlCharactersAndBlanks) {
  FixedText<64> text;
  TextWriter out = text.writer();
  appendRequestText(std::string_view("/a b\r\n\x7f\x01?q=%41&x=\xC3\xA9", 19), out);
  out.terminate();
  EXPECT_EQ(text.view(), "/a%20b%0D%0A%7F%01?q=%41&x=\xC3\xA9");
}

}  // namespace
}  // namespace quillstash
