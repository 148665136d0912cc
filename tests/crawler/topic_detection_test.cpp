// SPDX-License-Identifier: MIT
#include "crawler/topic_detection.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "crawler/table_layout.h"
#include "crawler_fixtures.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

using Strings = std::vector<std::string>;

const std::string kBase = "http://forum.example/board/";

// The table route of a forum page, as the forum crawl runs it.
void walkTopicTables(std::string& page, CrawlState& state, TopicWriter& writer) {
  auto record = makeTableSurvey();
  chooseTopicLayout(page.data(), *record, state);
  classifyColumns(page.data(), *record, [&](TableRow& row) { classifyTopicRow(row, state); });
  settleTopicColumns(*record);
  walkRows(page.data(), *record, [&](TableRow& row) { walkTopicRow(row, state, writer); });
}

TEST(TopicRules, takesTheTopicsOfAForumPageAndSkipsItsPageLinks) {
  std::string page = test::fixturePage("classic/phpbb2_forum.html");
  ASSERT_FALSE(page.empty());
  test::CrawlWorld world;
  world.state.outputPath.assign("/out/Board/02 Keepers_General Talk");
  test::RecordingTopicWriter writer;
  EXPECT_TRUE(detectTopics(page.c_str(), world.state, writer));
  const std::string folder = "/out/Board/02 Keepers_General Talk/";
  EXPECT_EQ(writer.paths(), (Strings{folder + "00001 Read this before your first post..html",
                                     folder + "00002 Station codes_ a list.html",
                                     folder + "00003 Storm on the 9th - who kept the lamp lit_.html",
                                     folder + "00004 Paraffin or electric_ the old argument.html",
                                     folder + "00005 Logbook ink that survives salt air.html",
                                     folder + "00006 Relief boat late again (Tuesday).html",
                                     folder + "00007 Fog signals_ who still winds a clockwork bell_.html"}));
  ASSERT_EQ(writer.taken.size(), 7u);
  EXPECT_EQ(writer.taken[0].address, kBase + "viewtopic.php?t=88");
  EXPECT_EQ(writer.taken[2].address, kBase + "viewtopic.php?t=530");  // not its "Goto page" links
  // The first row's image-only last-post link gets no name and is not remembered; later rows give only their
  // first link.
  EXPECT_EQ(world.state.visitedTopics.size(), 7u);
  EXPECT_STREQ(world.state.outputPath.c_str(), "/out/Board/02 Keepers_General Talk");

  page = test::fixturePage("classic/vbulletin3_forum.html");
  test::CrawlWorld vb;
  test::RecordingTopicWriter vbWriter;
  EXPECT_TRUE(detectTopics(page.c_str(), vb.state, vbWriter));
  EXPECT_EQ(vbWriter.paths(),
            (Strings{"/00001 How to press seams in a log cabin.html", "/00002 Scrappy cabin in autumn colours.html",
                     "/00003 Courthouse steps vs. plain cabin.html", "/00004 First cabin quilt_ wonky centres.html",
                     "/00005 Half-square log cabin_ anyone tried it_.html"}));
  for (const auto& t : vbWriter.taken) EXPECT_EQ(t.address.find("page="), std::string::npos) << t.address;
}

TEST(TopicRulesOnSavedPages, takesTheTopicsOfARealForumPageAndSkipsItsPageLinks) {
  QUILLSTASH_REQUIRE_CORPUS();
  std::string page = test::corpusPage("phpbb2/forum-2.html");
  ASSERT_FALSE(page.empty());
  test::CrawlWorld world;
  world.state.outputPath.assign("/out/Board/01 Raids");
  test::RecordingTopicWriter writer;
  EXPECT_TRUE(detectTopics(page.c_str(), world.state, writer));
  ASSERT_EQ(writer.taken.size(), 13u);
  EXPECT_EQ(writer.taken[0].path, "/out/Board/01 Raids/00001 Do NOT post Fear or Sky Raids here..html");
  EXPECT_EQ(writer.taken[0].address, kBase + "viewtopic.php?t=2738");
  EXPECT_EQ(writer.taken[1].address, kBase + "viewtopic.php?t=1606");
  // The first row's image-only last-post link gets no name and is not remembered; later rows give only their
  // first link.
  EXPECT_EQ(world.state.visitedTopics.size(), 13u);
  EXPECT_EQ(writer.taken.back().path,
            "/out/Board/01 Raids/00013 exile hosting behemoth killing sunday the (UPDATED).html");
  for (const auto& t : writer.taken) EXPECT_EQ(t.address.find("start="), std::string::npos) << t.address;
  EXPECT_STREQ(world.state.outputPath.c_str(), "/out/Board/01 Raids");
}

TEST(TopicRules, lastPageActionAndProfileLinksOfARowAreNotTopics) {
  const char* page =
      "<tr><td><a href='member.php?u=3'>Starter</a> <a href='showthread.php?t=5'>Hello world</a>"
      " <a href='showthread.php?t=5&amp;page=7'>7</a> <a href='index.php?showtopic=5&amp;act=ST'>act</a>"
      " <a href='index.php?showtopic=5&amp;st=15'>2</a></td></tr>"
      "<tr><td><a href='index.php?showtopic=12&amp;act=ST'>x</a><a href='index.php?showtopic=12'>Twelve</a></td></tr>";
  test::CrawlWorld world;
  test::RecordingTopicWriter writer;
  detectTopics(page, world.state, writer);
  EXPECT_EQ(writer.paths(), (Strings{"/00001 Hello world.html", "/00002 Twelve.html"}));
}

TEST(TopicRules, aTopicMetAgainOnALaterPageKeepsItsFirstNumber) {
  test::CrawlWorld world;
  world.state.itemNumber = 1;
  test::RecordingTopicWriter writer;
  detectTopics("<a href='viewtopic.php?t=1&sid=aaaa'>One</a><a href='viewtopic.php?t=2'>Two</a>", world.state, writer);
  detectTopics("<a href='viewtopic.php?t=2&sid=bbbb'>Two</a><a href='viewtopic.php?t=3'>Three</a>", world.state,
               writer);
  EXPECT_EQ(writer.paths(), (Strings{"/00001 One.html", "/00002 Two.html", "/00003 Three.html"}));
}

TEST(TopicRules, imageOnlyTopicLinkIsSkippedWithoutANumber) {
  test::CrawlWorld world;
  test::RecordingTopicWriter writer;
  detectTopics("<a href='viewtopic.php?t=1'><img src='new.gif'></a><a href='viewtopic.php?t=2'>Two</a>", world.state,
               writer);
  EXPECT_EQ(writer.paths(), (Strings{"/00001 Two.html"}));
  EXPECT_EQ(world.state.itemNumber, 2u);
  EXPECT_STREQ(world.state.topicShape.c_str(), "viewtopic.php?t=");
}

TEST(TopicRules, numbersPastFiveDigitsAreWrittenWhole) {
  test::CrawlWorld world;
  world.state.itemNumber = 123456;
  test::RecordingTopicWriter writer;
  detectTopics("<a href='viewtopic.php?t=1'>Late</a>", world.state, writer);
  EXPECT_EQ(writer.paths(), (Strings{"/123456 Late.html"}));
}

TEST(TopicRules, lastPostLinksAndRowIconsHideNoTopic) {
  std::string page = test::fixturePage("classic/ipb1_forum.html");
  ASSERT_FALSE(page.empty());
  test::CrawlWorld world;
  test::RecordingTopicWriter writer;
  EXPECT_TRUE(detectTopics(page.c_str(), world.state, writer));
  for (const std::string& path : writer.paths()) EXPECT_EQ(path.find("Last post by"), std::string::npos) << path;
  for (const std::string& address : writer.addresses())
    EXPECT_EQ(address.find("getlastpost"), std::string::npos) << address;

  // Later rows whose first link is an icon to the topic still give the topic.
  const char* icons =
      "<a href=\"viewtopic.php?t=1\">One</a><table><tr><td><a href=\"viewtopic.php?t=2\"><img src=\"i.gif\"></a></td>"
      "<td><a href=\"viewtopic.php?t=2\">Two</a></td></tr><tr><td><a href=\"viewtopic.php?t=3\"> </a>"
      "<a href=\"viewtopic.php?t=3\">Three</a> <a href=\"viewtopic.php?t=9\">last</a></td></tr></table>";
  test::CrawlWorld rows;
  test::RecordingTopicWriter rowWriter;
  EXPECT_TRUE(detectTopics(icons, rows.state, rowWriter));
  EXPECT_EQ(rowWriter.paths(), (Strings{"/00001 One.html", "/00002 Two.html", "/00003 Three.html"}));
}

TEST(TopicPatterns, theUsersPatternFindsTopicsTheRulesDoNotKnow) {
  const char* page =
      "<a href=\"thread.cgi?id=4\">Four</a> <a href=\"thread.cgi?id=5\">Five</a> <a href=\"x.cgi\">No</a>";
  test::CrawlWorld world;
  world.state.settings.useTopicLinkPattern = true;
  world.state.settings.topicLinkPattern.assign("thread.cgi?id=#|");
  test::RecordingTopicWriter writer;
  EXPECT_TRUE(detectTopics(page, world.state, writer));
  EXPECT_EQ(writer.addresses(), (Strings{kBase + "thread.cgi?id=4", kBase + "thread.cgi?id=5"}));

  test::CrawlWorld rules;
  test::RecordingTopicWriter none;
  EXPECT_FALSE(detectTopics(page, rules.state, none));
}

TEST(TopicTableWalk, takesTheTopicColumnOfAForumPage) {
  // The cells of the pinned or "Sticky:" topics begin with text, not with the link.
  const std::pair<const char*, Strings> cases[] = {
      {"classic/phpbb2_forum.html",
       {"viewtopic.php?t=530", "viewtopic.php?t=527", "viewtopic.php?t=519", "viewtopic.php?t=508",
        "viewtopic.php?t=497"}},
      {"classic/vbulletin3_forum.html",
       {"showthread.php?&t=1822", "showthread.php?&t=1819", "showthread.php?&t=1815", "showthread.php?&t=1808"}},
      {"classic/ipb1_forum.html",
       {"index.php?&showtopic=207", "index.php?&showtopic=205", "index.php?&showtopic=201",
        "index.php?&showtopic=196"}},
  };
  for (const auto& [name, addresses] : cases) {
    std::string page = test::fixturePage(name);
    ASSERT_FALSE(page.empty()) << name;
    test::CrawlWorld world;
    test::RecordingTopicWriter writer;
    walkTopicTables(page, world.state, writer);
    Strings expected;
    for (const std::string& a : addresses) expected.push_back(kBase + a);
    EXPECT_EQ(writer.addresses(), expected) << name;
  }
}

TEST(TopicTableWalkOnSavedPages, takesTheTopicColumnOfARealForumPage) {
  QUILLSTASH_REQUIRE_CORPUS();
  std::string page = test::corpusPage("phpbb2/forum-1.html");
  ASSERT_FALSE(page.empty());
  test::CrawlWorld world;
  test::RecordingTopicWriter writer;
  walkTopicTables(page, world.state, writer);
  // Six topics; the cells of the two "Sticky:" topics begin with text, not with the link.
  ASSERT_EQ(writer.taken.size(), 4u);
  for (const auto& t : writer.taken) {
    EXPECT_NE(t.address.find("viewtopic.php?t="), std::string::npos) << t.address;
    EXPECT_EQ(t.address.find("sid="), std::string::npos) << t.address;
  }
}

TEST(TopicTableWalk, namesAreSixCharactersShorterThanByRules) {
  const std::string title(60, 'T');
  std::string page = "<table width=1>";
  for (int i = 1; i <= 3; ++i) {
    page += "<tr><td><img></td><td><a href='showthread.php?s=0123456789abcdef&t=" + std::to_string(i) + "'>" + title +
            "</a></td><td><a href='member.php?u=1'>who</a></td></tr>";
  }
  page += "</table>";
  test::CrawlWorld world;
  test::RecordingTopicWriter writer;
  walkTopicTables(page, world.state, writer);
  ASSERT_EQ(writer.taken.size(), 3u);
  EXPECT_EQ(writer.taken[0].path, "/00001 " + std::string(44, 'T') + ".html");
  EXPECT_EQ(writer.taken[2].address, kBase + "showthread.php?&t=3");
  EXPECT_STREQ(world.state.topicShape.c_str(), "showthread.php?t=");  // session ids are no part of a shape

  test::CrawlWorld rules;
  test::RecordingTopicWriter ruleWriter;
  detectTopics(page.c_str(), rules.state, ruleWriter);
  EXPECT_EQ(ruleWriter.taken[0].path, "/00001 " + std::string(50, 'T') + ".html");

  test::CrawlWorld tiny;
  tiny.state.settings.maxFileNameChars = 6;
  test::RecordingTopicWriter tinyWriter;
  walkTopicTables(page, tiny.state, tinyWriter);
  EXPECT_TRUE(tinyWriter.taken.empty());
}

}  // namespace
}  // namespace quillstash
