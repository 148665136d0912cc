// SPDX-License-Identifier: MIT
#include "text/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace quillstash {
namespace {

// A heap copy of exactly the text and its NUL, so that the sanitizers catch
// any read past the terminator.
std::unique_ptr<char[]> exactCopy(const std::string& text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

std::string linkText(const std::string& html, std::uint32_t limit, std::size_t* consumed = nullptr) {
  auto source = exactCopy(html);
  const char* pos = source.get();
  char buffer[256];
  TextWriter out(buffer, sizeof buffer);
  copyLinkText(pos, out, limit);
  if (consumed != nullptr) *consumed = static_cast<std::size_t>(pos - source.get());
  return std::string(out.view());
}

std::string namePart(const std::string& text, std::size_t* consumed = nullptr) {
  auto source = exactCopy(text);
  const char* pos = source.get();
  char buffer[256];
  TextWriter out(buffer, sizeof buffer);
  copyNamePart(pos, out);
  if (consumed != nullptr) *consumed = static_cast<std::size_t>(pos - source.get());
  return std::string(out.view());
}

std::string cleaned(const std::string& path) {
  auto buffer = exactCopy(path);
  cleanPathComponent(buffer.get());
  return buffer.get();
}

template <typename Write>
std::string written(Write write) {
  char buffer[64];
  TextWriter out(buffer, sizeof buffer);
  write(out);
  return std::string(out.view());
}

TEST(Strings, decimalNumbersAreWrittenWithoutPadding) {
  EXPECT_EQ(written([](TextWriter& w) { appendDecimal(w, 0); }), "0");
  EXPECT_EQ(written([](TextWriter& w) { appendDecimal(w, 4294967295u); }), "4294967295");
  EXPECT_EQ(written([](TextWriter& w) { appendDecimal(w, 1000); }), "1000");
}

TEST(Strings, fixedWidthNumbersArePaddedButNeverWrapped) {
  EXPECT_EQ(written([](TextWriter& w) { writeTwoDigits(w, 0); }), "00");
  EXPECT_EQ(written([](TextWriter& w) { writeTwoDigits(w, 7); }), "07");
  EXPECT_EQ(written([](TextWriter& w) { writeTwoDigits(w, 99); }), "99");
  EXPECT_EQ(written([](TextWriter& w) { writeTwoDigits(w, 100); }), "100");
  EXPECT_EQ(written([](TextWriter& w) { writeFiveDigits(w, 7); }), "00007");
  EXPECT_EQ(written([](TextWriter& w) { writeFiveDigits(w, 0); }), "00000");
  EXPECT_EQ(written([](TextWriter& w) { writeFiveDigits(w, 65535); }), "65535");
  EXPECT_EQ(written([](TextWriter& w) { writeFiveDigits(w, 70000); }), "70000");
  EXPECT_EQ(written([](TextWriter& w) { writeFiveDigits(w, 123456); }), "123456");
}

TEST(Strings, writersStopAtTheBufferBound) {
  char buffer[4];
  TextWriter out(buffer, sizeof buffer);
  appendText(out, "ab");
  appendDecimal(out, 12345);
  out.terminate();
  EXPECT_STREQ(buffer, "ab1");
  EXPECT_TRUE(out.truncated());

  TextWriter names(buffer, sizeof buffer);
  const char* pos = "abcdefgh";
  copyLinkText(pos, names, 100);
  names.terminate();
  EXPECT_STREQ(buffer, "abc");
  EXPECT_TRUE(names.truncated());
}

TEST(Strings, parseDecimalStopsAtTheFirstNonDigit) {
  const char* text = "12ab";
  const char* pos = text;
  EXPECT_EQ(parseDecimal(pos), 12u);
  EXPECT_EQ(pos, text + 2);

  const char* letters = "ab";
  pos = letters;
  EXPECT_EQ(parseDecimal(pos), 0u);
  EXPECT_EQ(pos, letters);

  const char* signedNumber = "-5";
  pos = signedNumber;
  EXPECT_EQ(parseDecimal(pos), 0u);
  EXPECT_EQ(pos, signedNumber);

  const char* huge = "4294967296";  // 2^32 wraps to 0
  pos = huge;
  EXPECT_EQ(parseDecimal(pos), 0u);
  EXPECT_EQ(*pos, '\0');
}

TEST(Strings, foldedComparisonNeverMatchesTheEndOfTheText) {
  // NUL | 0x20 is a blank, so a bare folded compare would take NUL for ' '.
  EXPECT_FALSE(startsWithFolded("ab", "ab "));
  EXPECT_TRUE(startsWithFolded("AMP;x", "amp;"));
  EXPECT_TRUE(startsWithFolded("x", ""));
  EXPECT_EQ(findFolded("a", "a "), nullptr);
  const char* text = "viewTOPIC";
  EXPECT_EQ(findFolded(text, "topic"), text + 4);
  EXPECT_EQ(findFolded(text, ""), text);
}

TEST(LinkText, limitCountsEverythingButSpaces) {
  EXPECT_EQ(linkText("Tips &amp; Tricks for All", 10), "Tips & Trick");
  EXPECT_EQ(linkText("Tips &amp; Tricks", 0), "");
  // "&lt;" counts against the limit even where its space is not written.
  EXPECT_EQ(linkText("a &lt;bcd", 3), "a b");
  // The limit never cuts a UTF-8 character in two.
  EXPECT_EQ(linkText("Caf\xC3\xA9s", 4), "Caf\xC3\xA9");
  EXPECT_EQ(linkText("\xE2\x82\xAC\xE2\x82\xAC", 2), "\xE2\x82\xAC");
}

TEST(LinkText, unsafeCharactersAndEntitiesAreMapped) {
  EXPECT_EQ(linkText("Q: what/why?", 100), "Q_ what-why_");
  EXPECT_EQ(linkText("a*b\\c|d", 100), "a_b-c-d");
  EXPECT_EQ(linkText("A&lt;B", 100), "A B");
  EXPECT_EQ(linkText("A &GT; B", 100), "A B");
  EXPECT_EQ(linkText("a &quot;b&QUOT;", 100), "a 'b'");
  EXPECT_EQ(linkText("say \"hi\"", 100), "say 'hi'");
  EXPECT_EQ(linkText("R&D &nbsp;x", 100), "R&D &nbsp;x");
  EXPECT_EQ(linkText("Caf\xE9", 100), "Caf\xE9");
}

TEST(LinkText, whiteSpaceAndTagsCollapseAndClosingTagEnds) {
  EXPECT_EQ(linkText("Hello <b>big</b> world", 100), "Hello big");
  EXPECT_EQ(linkText("  a\r\n\t b", 100), " a b");
  EXPECT_EQ(linkText("a\x01\x7f", 100), "a \x7f");
  EXPECT_EQ(linkText("x>yz", 100), "xz");

  std::size_t consumed = 0;
  EXPECT_EQ(linkText("Forum</a> rest", 100, &consumed), "Forum");
  EXPECT_EQ(consumed, 5u);
}

TEST(LinkText, textCutOffAnywhereEndsTheCopy) {
  std::size_t consumed = 0;
  EXPECT_EQ(linkText("ab<span", 100, &consumed), "ab");
  EXPECT_EQ(consumed, 7u);
  EXPECT_EQ(linkText("ab>", 100, &consumed), "ab");
  EXPECT_EQ(consumed, 3u);
  EXPECT_EQ(linkText("ab&am", 100), "ab&am");
  EXPECT_EQ(linkText("ab&quot", 100), "ab&quot");
  EXPECT_EQ(linkText("ab<", 100), "ab");
  EXPECT_EQ(linkText("&", 100), "&");
  EXPECT_EQ(linkText("<", 100), "");
}

TEST(NamePart, stopsAtQuotesAndAfterFortyCharacters) {
  std::size_t consumed = 0;
  EXPECT_EQ(namePart("report.pdf\"; size=3", &consumed), "report.pdf");
  EXPECT_EQ(consumed, 10u);
  EXPECT_EQ(namePart("it's"), "it");
  EXPECT_EQ(namePart("a &quot;b"), "a 'b");
  EXPECT_EQ(namePart(std::string(50, 'x')), std::string(40, 'x'));
}

TEST(PortableName, deviceNamesAndTrailingDotsAreMadeSafeAndOtherNamesKept) {
  auto portable = [](std::string name) {
    makePortableName(name);
    return name;
  };
  EXPECT_EQ(portable("CON"), "CON_");
  EXPECT_EQ(portable("nul.txt"), "nul_.txt");
  EXPECT_EQ(portable("Aux .tar.gz"), "Aux_ .tar.gz");
  EXPECT_EQ(portable("com7"), "com7_");
  EXPECT_EQ(portable("LPT9..."), "LPT9_");
  EXPECT_EQ(portable("Board. . "), "Board");
  EXPECT_EQ(portable("..."), "");
  // Names that only look alike stay byte for byte.
  for (const char* kept : {"CONSOLE", "COM0", "COM10", "LPT", "PRN-1", "Caf\xE9 & Bar", "con_", "x.CON", "My.Board"}) {
    EXPECT_EQ(portable(kept), kept);
  }
  EXPECT_EQ(namePart("report. . \""), "report");
  EXPECT_EQ(namePart("archive.tar.gz"), "archive.tar.gz");
}

TEST(PathComponent, entitiesOfTheLastComponentAreDecoded) {
  EXPECT_EQ(cleaned("out/Caf&#233;s &amp; Bars..."), "out/Caf\xC3\xA9s & Bars");  // names are UTF-8
  EXPECT_EQ(cleaned("out/&#128512;&#1114112;"), "out/\xF0\x9F\x98\x80_");
  EXPECT_EQ(cleaned("out/Q&#63;A"), "out/Q_A");
  EXPECT_EQ(cleaned("out/&#x41;"), "out/_x41;");
  EXPECT_EQ(cleaned("out/A&#66B"), "out/ABB");
  EXPECT_EQ(cleaned("out/a&AMP;b"), "out/a&b");
  // Only the last component is touched.
  EXPECT_EQ(cleaned("a&amp;b/c&amp;d"), "a&amp;b/c&d");
  EXPECT_EQ(cleaned("plain&amp;"), "plain&");
}

TEST(PathComponent, decodedCharactersCannotFormSeparatorsOrControls) {
  EXPECT_EQ(cleaned("out/a&#47;b"), "out/a_b");
  EXPECT_EQ(cleaned("out/a&#92;b"), "out/a_b");
  EXPECT_EQ(cleaned("out/a&#256;b"),
            "out/a\xC4\x80"
            "b");                                        // the whole code, never its low 8 bits
  EXPECT_EQ(cleaned("out/a&#4294967343;b"), "out/a_b");  // wraps to '/'
  EXPECT_EQ(cleaned("out/a&#55296;b"), "out/a_b");       // a surrogate is no character
  EXPECT_EQ(cleaned("out/a&#9;b"), "out/a_b");
  EXPECT_EQ(cleaned("out/a&#34;&#60;&#42;"), "out/a___");
  EXPECT_EQ(cleaned("out/a&#"), "out/a_");
  EXPECT_EQ(cleaned("out/a&"), "out/a&");
  EXPECT_EQ(cleaned("out/a&am"), "out/a&am");
}

TEST(PathComponent, trailingDotsAndBlanksGoButNotPastASeparator) {
  EXPECT_EQ(cleaned("out/01 Name. . "), "out/01 Name");
  EXPECT_EQ(cleaned("out/.."), "out/");
  EXPECT_EQ(cleaned("out/&#46;&#46;"), "out/");
  EXPECT_EQ(cleaned("out. /"), "out. /");
  EXPECT_EQ(cleaned("..."), "");
  EXPECT_EQ(cleaned(""), "");
}

TEST(LinkKeyword, searchesOnlyTheLastSegment) {
  const KeywordEntry topic{"topic", 2};
  EXPECT_EQ(linkContains("http://host/forum/viewtopic.php?t=1", topic), 2);
  EXPECT_EQ(linkContains("VIEWTOPIC.PHP", topic), 2);
  EXPECT_EQ(linkContains("viewtopic.php?t=1&sid=ABC", topic), 2);
  EXPECT_EQ(linkContains("http://host/topic/list.php", topic), 0);
  // A '/' before a digit does not start a segment.
  EXPECT_EQ(linkContains("http://host/topic/2", topic), 2);
}

TEST(LinkKeyword, linkEndsAtQuoteAngleOrFragment) {
  const KeywordEntry topic{"topic", 5};
  EXPECT_EQ(linkContains("index.php\" title=\"topic", topic), 0);
  EXPECT_EQ(linkContains("index.php'>topic", topic), 0);
  EXPECT_EQ(linkContains("index.php#topic", topic), 0);
  EXPECT_EQ(linkContains("index.php?top", topic), 0);
  EXPECT_EQ(linkContains("x.php?a=topic#", topic), 5);
  EXPECT_EQ(linkContains("", topic), 0);
}

}  // namespace
}  // namespace quillstash
