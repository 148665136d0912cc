// SPDX-License-Identifier: MIT
#include "text/charset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quillstash {
namespace {

std::string converted(const std::string& page, const std::string& contentType) {
  PageBlock block(64);
  std::memcpy(block.data(), page.data(), page.size());
  block.setLength(page.size());
  const std::size_t length = convertPageToUtf8(block, page.size(), contentType);
  EXPECT_EQ(std::strlen(block.text()), length);
  return std::string(block.text(), length);
}

TEST(Charset, theHeaderWinsOverTheMetaTagAndTheMetaTagOverGuessing) {
  EXPECT_EQ(contentTypeOf("HTTP/1.0 200 OK\r\nX: 1\r\nContent-type: text/html; charset=ISO-8859-1\r\n"),
            " text/html; charset=ISO-8859-1");
  EXPECT_EQ(declaredCharset(" text/html; charset=\"koi8-r\"", "<meta charset=utf-8>"), "koi8-r");
  EXPECT_EQ(
      declaredCharset("text/html", "<META http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"),
      "windows-1251");
  EXPECT_EQ(declaredCharset("", "<html><meta charset='iso-8859-15'/>"), "iso-8859-15");
  EXPECT_EQ(declaredCharset("text/html", "<p>charset=none, not in a meta tag</p>"), "");
}

TEST(Charset, pagesAreUtf8OnArrivalAndUtf8PagesAreKeptByteForByte) {
  EXPECT_EQ(converted("<title>Caf\xE9</title>", "text/html; charset=iso-8859-1"), "<title>Caf\xC3\xA9</title>");
  // windows-1252's own characters, and a byte it leaves undefined.
  EXPECT_EQ(converted("\x80 \x93x\x94 \x81", "text/html; charset=ISO-8859-1"),
            "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xEF\xBF\xBD");
  EXPECT_EQ(converted("<meta charset=koi8-r>\xC1", ""), "<meta charset=koi8-r>\xD0\xB0");
  EXPECT_EQ(converted("undeclared \xE9t\xE9", ""), "undeclared \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(converted("undeclared \xC3\xA9t\xC3\xA9", ""), "undeclared \xC3\xA9t\xC3\xA9");
  // Declared UTF-8 is trusted as it is, even with a stray byte.
  EXPECT_EQ(converted("<meta charset=UTF-8>\xE9", ""), "<meta charset=UTF-8>\xE9");
  EXPECT_EQ(converted("x\xE9", "text/html; charset=no-such-charset"), "x\xC3\xA9");
  // Growing past the block cuts at a whole character.
  std::string cut;
  for (int i = 0; i < 32; ++i) cut += "\xC3\xA9";
  EXPECT_EQ(converted("a" + std::string(62, '\xE9'), "charset=latin1"), "a" + cut.substr(0, 62));
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_FALSE(isValidUtf8("\xC3"));
  EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80 ok"));
}

}  // namespace
}  // namespace quillstash
