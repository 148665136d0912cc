// SPDX-License-Identifier: MIT
#include "archive/post_extraction.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "archive/fake_fetcher.h"
#include "archive/media.h"

namespace quillstash {
namespace {

std::string row(const std::string& author, const std::string& message) {
  return std::string("<TR>") + kCellOpener + author + "</TD>" + kCellOpener + message + "</TD></TR>";
}

class Extraction : public ::testing::Test, protected test::MediaWorld {
 protected:
  Extraction() : MediaWorld("http://forum.test/index.php") {}

  std::string extract(std::string page) {
    OutputBuffer out(0);
    TopicMedia media = MediaWorld::media();
    std::string before = page;
    extractPosts(page.data(), settings_, out, media);
    EXPECT_EQ(page, before) << "the page must be restored";
    return std::string(out.view());
  }

  void usePatterns() {
    settings_.useAuthorPrefix = settings_.useAuthorSuffix = true;
    settings_.useMessagePrefix = settings_.useMessageSuffix = true;
  }
};

TEST_F(Extraction, aNarrowFirstCellOfTwoMakesAPost) {
  EXPECT_EQ(extract("<table><tr><td width='150'>Bob</td><td>Hello</td></tr></table>"), row("Bob", "Hello"));
  EXPECT_EQ(extract("<tr><td width='250'>Bob</td><td>Hello</td></tr>"), "");
  EXPECT_EQ(extract("<tr><td width=\"20%\">Bob</td><td>Hello</td></tr>"), row("Bob", "Hello"));
  EXPECT_EQ(extract("<tr><td width=\"21%\">Bob</td><td>Hello</td></tr>"), "");
  EXPECT_EQ(extract("<tr><td WIDTH=20>Bob</td><td width=900>Hello</td></tr>"), row("Bob", "Hello"));
}

TEST_F(Extraction, otherRowsAreNotPostsButTheirInnerRowsAreExamined) {
  EXPECT_EQ(extract("<tr><td width=1>a</td><td>b</td><td>c</td></tr>"), "");
  EXPECT_EQ(extract("<tr><td>layout<table><tr><td width=100>Ann</td><td>Hi</td></tr></table></td></tr>"),
            row("Ann", "Hi"));
}

TEST_F(Extraction, nestedTablesAndInlineFramesInAPostRow) {
  EXPECT_EQ(extract("<tr><td width=10>Q</td><td>x<table><tr><td>1</td><td>2</td></tr></table>y</td></tr>"),
            row("Q", "x<table><tr><td>1</TD><td>2</TD></TR></TABLE>y"));
  EXPECT_EQ(extract("<tr><td width=10>Q</td><td><iframe src=x></iframe>m</td></tr>"), "");
  EXPECT_EQ(extract("<tr><td width=10>Q</td><td><table><tr><td><iframe></td></tr></table>m</td></tr>"),
            row("Q", "<table><tr><td></TD></TR></TABLE>m"));
}

TEST_F(Extraction, patternModeTakesTheTextBetweenTheMarkers) {
  usePatterns();
  std::string page =
      "<tr><td><!-- user info -->Bob<br>Member<!-- / user info --></td><td><!-- message -->Hi <b>all</b>"
      "<!-- / message --></td></tr><tr><td><!-- user info -->Ann<!-- / user info --></td><td>"
      "<!-- message -->Bye<!-- / message --></td></tr>end";
  EXPECT_EQ(extract(page), row("Bob<BR>Member", "Hi <B>all</B>") + row("Ann", "Bye"));
}

TEST_F(Extraction, patternModeAuthorStartsAfterTheLastPrefixBeforeItsSuffix) {
  usePatterns();
  settings_.authorPrefix.assign("[u]");
  settings_.authorSuffix.assign("[/u]");
  settings_.useMessagePrefix = false;
  EXPECT_EQ(extract("[u]ghost[u]Bob[/u]</td><td>msg</td>x"), row("Bob[/u]", "msg"));
  settings_.authorSuffix.assign(" wrote:");
  EXPECT_EQ(extract("[u]Bob wrote:<td>msg</td>x"), row("Bob wrote:", "msg"));
}

TEST_F(Extraction, patternModeWithoutSuffixLeavesEmptyCells) {
  usePatterns();
  EXPECT_EQ(extract("<!-- user info -->Bob and nothing else"), row("", ""));
  std::string page = "<!-- user info -->Bob<!-- / user info --><!-- message -->Hi<!-- / message -->";
  EXPECT_EQ(extract(page), row("Bob", ""));
}

TEST_F(Extraction, patternsThatMatchNothingCannotHoldTheWalk) {
  usePatterns();
  settings_.authorPrefix.assign("*");
  settings_.authorSuffix.assign("*");
  settings_.messagePrefix.assign("*");
  settings_.messageSuffix.assign("*");
  auto start = std::chrono::steady_clock::now();
  std::string out = extract(std::string(2000, 'x'));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(out.empty());
}

TEST_F(Extraction, unclosedNestedTablesDoNotMakeTheScanQuadratic) {
  std::string page;
  for (int i = 0; i < 200000; ++i) page += "<tr><table>";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(extract(page), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(90));
}

}  // namespace
}  // namespace quillstash
