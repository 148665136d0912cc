// SPDX-License-Identifier: MIT
#include "crawler/link_lists.h"

#include <gtest/gtest.h>

#include <string>

#include "crawler_fixtures.h"

namespace quillstash {
namespace {

std::string resolved(const char* href, LinkVariant variant = LinkVariant::kForum,
                     const char* base = "http://forum.example/board/index.php") {
  test::CrawlWorld world(base);
  const char* p = href;
  auto record = resolveLink(p, variant, *world.job);
  return record ? std::string(record->forumAddress.view()) : std::string("<none>");
}

TEST(ResolveLink, relativeAndRootRelativeLinksUseTheTypedAddress) {
  EXPECT_EQ(resolved("viewforum.php?f=3"), "http://forum.example/board/viewforum.php?f=3");
  EXPECT_EQ(resolved("/other/viewforum.php?f=3"), "http://forum.example/other/viewforum.php?f=3");
  EXPECT_EQ(resolved("viewforum.php?f=3", LinkVariant::kForum, "http://forum.example"),
            "http://forum.example/viewforum.php?f=3");
  EXPECT_EQ(resolved("/x.php", LinkVariant::kForum, "http://forum.example"), "http://forum.example/x.php");
}

TEST(ResolveLink, anotherHostIsFetchedFromTheForumsOwnHost) {
  EXPECT_EQ(resolved("HTTP://mirror.example/board/viewforum.php?f=3\">"),
            "http://forum.example/board/viewforum.php?f=3");
}

TEST(ResolveLink, dropsSessionParametersAndDecodesAmpersands) {
  EXPECT_EQ(resolved("viewforum.php?f=3&amp;sid=ab12&amp;start=0\""),
            "http://forum.example/board/viewforum.php?f=3&&start=0");
  EXPECT_EQ(resolved("viewforum.php?f=3&PHPSESSID=0123456789abcdef'"), "http://forum.example/board/viewforum.php?f=3");
  // Only the table walk variant drops s= with a hexadecimal value.
  EXPECT_EQ(resolved("showthread.php?s=0123456789abcdef&t=5", LinkVariant::kTopicTableWalk),
            "http://forum.example/board/showthread.php?&t=5");
  EXPECT_EQ(resolved("showthread.php?s=0123456789abcdef&t=5", LinkVariant::kTopic),
            "http://forum.example/board/showthread.php?s=0123456789abcdef&t=5");
  EXPECT_EQ(resolved("showthread.php?t=5&s=12", LinkVariant::kTopicTableWalk),
            "http://forum.example/board/showthread.php?t=5&s=12");
  // s= at the very end of the text: nothing is read past it.
  EXPECT_EQ(resolved("x.php?s=", LinkVariant::kTopicTableWalk), "http://forum.example/board/x.php?s=");
}

TEST(ResolveLink, forumLinksEndAtTheFragmentTopicLinksKeepIt) {
  EXPECT_EQ(resolved("index.php?showforum=5#top"), "http://forum.example/board/index.php?showforum=5");
  EXPECT_EQ(resolved("index.php?showtopic=5#top", LinkVariant::kTopic),
            "http://forum.example/board/index.php?showtopic=5#top");
}

TEST(ResolveLink, movesToTheValuesEndAndRefusesAnAddressThatDoesNotFit) {
  test::CrawlWorld world;
  const char* page = "viewforum.php?f=1#x\">Name";
  const char* p = page;
  ASSERT_NE(resolveLink(p, LinkVariant::kForum, *world.job), nullptr);
  EXPECT_EQ(*p, '#');

  std::string huge = std::string(20000, 'a') + "\"";
  const char* h = huge.c_str();
  EXPECT_EQ(resolveLink(h, LinkVariant::kForum, *world.job), nullptr);
  EXPECT_EQ(*h, '"');
}

TEST(LinkShape, recordsTheLastSegmentWithoutDigits) {
  FixedText<CrawlState::kShapeSize> shape;
  recordShape("./viewforum.php?f=12\"", shape, true);
  EXPECT_STREQ(shape.c_str(), "/viewforum.php?f=");
  recordShape("showthread.php?t=4711&page=2'", shape, false);
  EXPECT_STREQ(shape.c_str(), "showthread.php?t=&page=");
  recordShape("index.php?showforum=3#x", shape, true);
  EXPECT_STREQ(shape.c_str(), "index.php?showforum=");
}

TEST(LinkShape, matchesLinksOfTheSameShapeOnly) {
  EXPECT_TRUE(matchesShape("/board/viewforum.php?f=7&start=50\"", "/viewforum.php?f="));
  EXPECT_TRUE(matchesShape("viewforum.php?f=12", "viewforum.php?f="));
  EXPECT_FALSE(matchesShape("/viewtopic.php?t=7", "/viewforum.php?f="));
  EXPECT_FALSE(matchesShape("/ViewForum.php?f=7", "/viewforum.php?f="));  // case counts
  EXPECT_FALSE(matchesShape("/viewforum.php\"?f=7", "/viewforum.php?f="));
}

TEST(CrawlState, startRunEmptiesTheRunButKeepsSelectionAndIndexLayout) {
  test::CrawlWorld world;
  CrawlState& s = world.state;
  appendLink(s.visitedForums, "a");
  const char* topic = "b";
  appendLink(s.visitedTopics, topic, topic + 1);
  s.forumShape.assign("x");
  s.itemNumber = 7;
  s.forumSelection[2] = 0;
  s.indexLayout = LayoutKey{5, 2};
  s.topicLayoutConfirmed = LayoutKey{4, 1};
  s.startRun();
  EXPECT_TRUE(s.visitedForums.empty());
  EXPECT_TRUE(s.visitedTopics.empty());
  EXPECT_TRUE(s.forumShape.empty());
  EXPECT_EQ(s.itemNumber, 1u);
  EXPECT_EQ(s.forumSelection[2], 0);
  EXPECT_EQ(s.indexLayout, (LayoutKey{5, 2}));
  EXPECT_FALSE(s.topicLayoutConfirmed.isSet());
}

}  // namespace
}  // namespace quillstash
