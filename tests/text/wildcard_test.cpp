// SPDX-License-Identifier: MIT
#include "text/wildcard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace quillstash {
namespace {

// Matches `pattern` in an exact heap copy of `text` (so the sanitizers see any
// read past its NUL) and reports the result position as an offset, -1 when
// there is no match.
long matchAt(const std::string& text, const char* pattern) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  PatternMatch match = matchPattern(copy.get(), pattern);
  if (!match.found) {
    EXPECT_EQ(match.position, copy.get() + text.size()) << "a failed match reports the end of the text";
    return -1;
  }
  return match.position - copy.get();
}

constexpr const char* kThread = "showthread.php?$t=#|";

TEST(Wildcard, sessionIdIsSkippedBeforeAParameter) {
  std::string text = "href='showthread.php?s=0123456789abcdef0123456789abcdef&t=42' x";
  EXPECT_EQ(matchAt(text, kThread), static_cast<long>(text.find("' x")));
  EXPECT_EQ(matchAt("showthread.php?t=42'", kThread), 19);
  EXPECT_EQ(matchAt("showthread.php?PHPSESSID=0123456789abcdef&amp;t=1\"", kThread), 49);
}

TEST(Wildcard, sessionIdNeedsSixteenHexDigits) {
  EXPECT_EQ(matchAt("showthread.php?s=abc&t=42'", kThread), -1);
  EXPECT_EQ(matchAt("t=5&sid=0123456789abcdef'", "t=#$|"), 24);
  EXPECT_EQ(matchAt("t=5&amp;sid=0123456789abcdef'", "t=#$|"), 28);
  EXPECT_EQ(matchAt("t=5&sid=0123456789abcde'", "t=#$|"), -1);
  // The character after the hexadecimal run is left for the pattern.
  EXPECT_EQ(matchAt("t=5&sid=0123456789abcdefX", "t=#$X"), 25);
  // Without a session id '$' takes nothing.
  EXPECT_EQ(matchAt("t=5'", "t=#$|"), 3);
}

TEST(Wildcard, lettersMatchInEitherCaseAndQuestionMarkIsAWildcard) {
  EXPECT_EQ(matchAt("ShowThread.PHP?T=7'", kThread), 18);
  EXPECT_EQ(matchAt("showthread.phpXt=7'", kThread), 18);
  // The fold rule also pairs a few non-letters.
  EXPECT_EQ(matchAt("a{b", "a[b"), 3);
}

TEST(Wildcard, barNeedsAQuoteAndReportsTheLastOne) {
  EXPECT_EQ(matchAt("&amp;page=3'", "&amp;page=#|"), 11);
  EXPECT_EQ(matchAt("&amp;page=3>", "&amp;page=#|"), -1);
  EXPECT_EQ(matchAt("\"a\"b", "|a|b"), 2);
  // Without '|' the result is the end of the matched text.
  EXPECT_EQ(matchAt("xxabcyy", "abc"), 5);
}

TEST(Wildcard, numbersAreGreedyWithoutBacktracking) {
  EXPECT_EQ(matchAt("125", "#5"), -1);
  EXPECT_EQ(matchAt("x12y", "x#y"), 4);
  EXPECT_EQ(matchAt("sid=ab12&", "sid=@&"), 9);
  EXPECT_EQ(matchAt("sid=12ab&", "sid=@&"), 9);
  EXPECT_EQ(matchAt("sid=&", "sid=@&"), -1);
  EXPECT_EQ(matchAt("p=x", "p=#"), -1);
}

TEST(Wildcard, partBeforeAStarIsNeverTriedAgain) {
  EXPECT_EQ(matchAt("ab", "ab*b"), 2);
  EXPECT_EQ(matchAt("zabc", "*abc"), 4);
  EXPECT_EQ(matchAt("zabcz", "abc*"), 4);
  EXPECT_EQ(matchAt("a1 xx b", "a#*b"), 7);
  // The part after the star may overlap the part before it.
  EXPECT_EQ(matchAt("abc", "abc*bc"), 3);
  // '|' positions of a failed earlier attempt are not kept.
  EXPECT_EQ(matchAt("'a' b", "|*b"), 5);
}

TEST(Wildcard, emptyTextAndPatternEdges) {
  EXPECT_EQ(matchAt("", ""), -1);
  EXPECT_EQ(matchAt("", "?"), -1);
  EXPECT_EQ(matchAt("", "*"), -1);
  EXPECT_EQ(matchAt("abc", ""), 0);
  EXPECT_EQ(matchAt("abc", "*"), 0);
  EXPECT_EQ(matchAt("abx", "x?"), -1);
  EXPECT_EQ(matchAt("abx", "x"), 3);
  // NUL | 0x20 is a blank: the end of the text must still match no character.
  EXPECT_EQ(matchAt("ab", "ab "), -1);
  EXPECT_EQ(matchAt("ab", "ab?"), -1);
}

TEST(Wildcard, textCutOffInsideAShapeNeverReadsPastItsEnd) {
  EXPECT_EQ(matchAt("t=1&", "t=#$|"), -1);
  EXPECT_EQ(matchAt("t=1&am", "t=#$|"), -1);
  EXPECT_EQ(matchAt("t=1&amp;", "t=#$|"), -1);
  EXPECT_EQ(matchAt("t=1&sid", "t=#$|"), -1);
  EXPECT_EQ(matchAt("t=1&sid=", "t=#$|"), -1);
  EXPECT_EQ(matchAt("t=1&sid=0123456789abcdef", "t=#$|"), -1);
  EXPECT_EQ(matchAt("s=0123456789abcdef&", "$x"), -1);
  EXPECT_EQ(matchAt("s=0123456789abcdef&am", "$am"), 21);
  EXPECT_EQ(matchAt("x1", "x#@?|"), -1);
}

TEST(Wildcard, largePageWithoutAMatchFinishes) {
  std::string page(1 << 20, 'a');
  EXPECT_EQ(matchAt(page, "a#"), -1);
  EXPECT_EQ(matchAt(page + "1", "a#"), static_cast<long>(page.size()) + 1);
}

}  // namespace
}  // namespace quillstash
