// SPDX-License-Identifier: MIT
#include "crawler/forum_detection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "crawler_fixtures.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

using Strings = std::vector<std::string>;

const std::string kBase = "http://forum.example/board/";

TEST(ForumRules, takesTheForumsOfAnIndexPageOnceWithTheirNames) {
  struct Case {
    const char* page;
    Strings paths;
    std::string first, last, shape;
  };
  const std::string ipb = "index.php?s=c83a5f1e0d7b294a6e1f3c8b5d20a97e&showforum=";
  const Case cases[] = {
      {"classic/phpbb2_index.html",
       {"/01 Watch_ Night Log Archive", "/02 Keepers_General Talk", "/03 New Keepers Say Hello",
        "/04 Fresnel Lens Care", "/05 Shore Leave_ Anything Goes"},
       "viewforum.php?f=3",
       "viewforum.php?f=9",
       "viewforum.php?f="},
      {"classic/ipb1_index.html",
       {"/01 Barn Owls", "/02 Tawny Owls", "/03 Night Optics", "/04 Sound Recording", "/05 Off Topic_ Everything Else"},
       ipb + "2",
       ipb + "8",
       "index.php?showforum="},
  };
  for (const Case& c : cases) {
    std::string page = test::fixturePage(c.page);
    ASSERT_FALSE(page.empty()) << c.page;
    test::CrawlWorld world;
    test::RecordingForumSink sink;
    EXPECT_TRUE(detectForums(page.c_str(), world.state, sink)) << c.page;
    EXPECT_EQ(sink.paths(), c.paths) << c.page;  // categories, last posts, members and mark-read links are not forums
    ASSERT_EQ(sink.taken.size(), 5u) << c.page;
    EXPECT_EQ(sink.addresses()[0], kBase + c.first) << c.page;
    EXPECT_EQ(sink.addresses()[4], kBase + c.last) << c.page;
    EXPECT_EQ(world.state.visitedForums.size(), 5u) << c.page;
    EXPECT_EQ(world.state.forumShape.view().substr(0, c.shape.size()), c.shape) << c.page;
  }
}

TEST(ForumRules, skipsMarkReadAndTakesTheFirstForumOfEachLaterRow) {
  std::string page = test::fixturePage("classic/vbulletin3_index.html");
  ASSERT_FALSE(page.empty());
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  EXPECT_TRUE(detectForums(page.c_str(), world.state, sink));
  // Category rows are forums of their own; a row's sub-forum list ("Hand Appliqué", f=12) is not taken.
  EXPECT_EQ(sink.paths(), (Strings{"/01 Patterns & Blocks", "/02 Log Cabin Corner", "/03 Appliqué Questions",
                                   "/04 Paper Piecing", "/05 Around the Frame", "/06 Fabric & Batting",
                                   "/07 Machines & Tools", "/08 Community", "/09 Show & Tell", "/10 Swaps and Bees"}));
  ASSERT_FALSE(sink.taken.empty());
  EXPECT_EQ(sink.taken[0].address, kBase + "forumdisplay.php?s=a04f7c2e9b1d36e85f0c4a7b2d9e1f63&f=2");
  for (const auto& t : sink.taken) EXPECT_EQ(t.address.find("markread"), std::string::npos) << t.address;
  for (std::size_t i = 0; i < sink.taken.size(); ++i) EXPECT_EQ(sink.taken[i].number, i + 1);
}

TEST(ForumRulesOnSavedPages, takesTheForumsOfARealIndexPageOnceWithTheirNames) {
  QUILLSTASH_REQUIRE_CORPUS();
  std::string page = test::corpusPage("phpbb2/index-1.html");
  ASSERT_FALSE(page.empty());
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  EXPECT_TRUE(detectForums(page.c_str(), world.state, sink));
  EXPECT_EQ(sink.paths(),
            (Strings{"/01 GOF_ EQ Events Forum Archive", "/02 GOF_EQ Public Forum", "/03 GOF_EQ Newbie Intro Board",
                     "/04 Testing Forum", "/05 GOF_ SWG General Forum"}));
  EXPECT_EQ(sink.addresses()[0], kBase + "viewforum.php?f=13");
  EXPECT_EQ(sink.addresses()[4], kBase + "viewforum.php?f=7");
  EXPECT_EQ(world.state.visitedForums.size(), 5u);
  EXPECT_EQ(world.state.forumShape.view(), "viewforum.php?f=");  // session ids are no part of a shape
}

TEST(ForumRulesOnSavedPages, skipsMarkReadAndTakesTheFirstForumOfEachLaterRow) {
  QUILLSTASH_REQUIRE_CORPUS();
  std::string page = test::corpusPage("vbulletin3/index-1.html");
  ASSERT_FALSE(page.empty());
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  EXPECT_TRUE(detectForums(page.c_str(), world.state, sink));
  ASSERT_FALSE(sink.taken.empty());
  EXPECT_EQ(sink.taken[0].path, "/01 Gates of Discord Discussions");
  EXPECT_EQ(sink.taken[0].address, kBase + "forumdisplay.php?s=e9122b285a8228e31def5d950b569d43&f=38");
  for (const auto& t : sink.taken) EXPECT_EQ(t.address.find("markread"), std::string::npos) << t.address;
  // Numbers follow the order of the forums that got a name, without gaps.
  for (std::size_t i = 0; i < sink.taken.size(); ++i) EXPECT_EQ(sink.taken[i].number, i + 1);
}

TEST(ForumRules, pageLinksAreExcludedAndEachForumIsTakenOnce) {
  const char* page =
      "<table><tr><td><a href=\"viewforum.php?f=1\">One</a></td><td><a href=\"viewforum.php?f=1&amp;start=50\">2</a>"
      "</td></tr><tr><td><a href=\"viewforum.php?f=2\">Two</a> <a href=\"viewforum.php?f=2&start=50\">2</a></td></tr>"
      "<tr><td><a href=\"viewforum.php?f=1&amp;sid=0123\">One again</a></td></tr></table>";
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  EXPECT_TRUE(detectForums(page, world.state, sink));
  EXPECT_EQ(sink.paths(), (Strings{"/01 One", "/02 Two"}));
  EXPECT_EQ(sink.addresses(), (Strings{kBase + "viewforum.php?f=1", kBase + "viewforum.php?f=2"}));
}

TEST(ForumRules, aForumsOwnStPageLinksAreNotSubForums) {
  const char* page =
      "Pages (2): <b>1</b> <a href=\"index.php?showforum=1&amp;st=15\">2</a> <a href='index.php?st=15&showforum=1'>2</a>"
      "<table><tr><td><a href=\"index.php?showforum=4\">Sub</a></td></tr></table>";
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  EXPECT_TRUE(detectForums(page, world.state, sink));
  EXPECT_EQ(sink.paths(), (Strings{"/01 Sub"}));
}

TEST(ForumRules, firstRowTakesEveryForumLaterRowsOnlyTheFirst) {
  const char* page =
      "<table><tr><td><a href='viewforum.php?f=1'>A</a> <a href='viewforum.php?f=2'>B</a></td></tr>"
      "<tr><td><a href='viewforum.php?f=3'>C</a> sub: <a href='viewforum.php?f=4'>D</a></td></tr>"
      "<TR><td><a href='viewforum.php?f=5'>E</a></td></TR></table>";
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  detectForums(page, world.state, sink);
  // "<TR" is not a row start for the rules, so E shares the row of C.
  EXPECT_EQ(sink.paths(), (Strings{"/01 A", "/02 B", "/03 C"}));
}

TEST(ForumRules, upperCaseTagsAreExaminedButATagBrokenByALineIsNot) {
  const char* page =
      "<A HREF=\"forumdisplay.php?f=1\">Upper</A><a\nhref=\"forumdisplay.php?f=2\">Broken</a>"
      "<a class=x HrEf = 'forumdisplay.php?f=3'>Mixed</a>";
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  detectForums(page, world.state, sink);
  EXPECT_EQ(sink.paths(), (Strings{"/01 Upper", "/02 Mixed"}));
}

TEST(ForumRules, imageOnlyLinkTakesNoNumberAndDoesNotHideTheNamedLink) {
  const char* page =
      "<a href='viewforum.php?f=1'> <img src='x.gif'> </a><a href='viewforum.php?f=2'>Second</a>"
      "<a href='viewforum.php?f=1'>First by name</a>";
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  detectForums(page, world.state, sink);
  EXPECT_EQ(sink.paths(), (Strings{"/01 Second", "/02 First by name"}));
  EXPECT_EQ(world.state.itemNumber, 3u);
}

TEST(ForumRules, duplicateLinksWithOtherSessionIdsAreSeen) {
  const char* page =
      "<a href='viewforum.php?f=9&amp;sid=aaaa'>Nine</a><a href='viewforum.php?sid=bbbb&f=9'>Nine</a>"
      "<a href='VIEWFORUM.PHP?F=9&phpsessid=cc'>Nine</a>";
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  EXPECT_TRUE(detectForums(page, world.state, sink));
  EXPECT_EQ(sink.taken.size(), 1u);
}

TEST(ForumRules, theFirstLinksShapeHidesDifferentlyShapedLinks) {
  const char* page =
      "<a href='viewforum.php?f=1'>One</a><a href='index.php?showforum=2'>Other engine</a>"
      "<a href='viewforum.php?f=3&amp;start=0'>page</a><a href='./viewforum.php?f=5'>Slash</a>"
      "<a href='viewforum.php?f=44#new'>Four</a>";
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  detectForums(page, world.state, sink);
  EXPECT_EQ(sink.paths(), (Strings{"/01 One", "/02 Four"}));
}

TEST(ForumRules, reportsWhetherAnyForumLinkWasMet) {
  test::CrawlWorld world;
  test::RecordingForumSink sink;
  EXPECT_FALSE(detectForums("<a href='viewtopic.php?t=1'>x</a><a href='profile.php'>y</a>", world.state, sink));
  appendLink(world.state.visitedForums, (kBase + "viewforum.php?f=1").c_str());
  EXPECT_TRUE(detectForums("<a href='viewforum.php?f=1'>seen</a>", world.state, sink));
  EXPECT_TRUE(sink.taken.empty());
  EXPECT_FALSE(detectForums("", world.state, sink));
  EXPECT_FALSE(detectForums("<a", world.state, sink));
  // A value longer than any usable address is no link.
  std::string longValue = "<a href='viewforum.php?f=2&x=" + std::string(5000, 'x') + "'>Long</a>";
  EXPECT_FALSE(detectForums(longValue.c_str(), world.state, sink));
}

TEST(ForumRules, namesAreCutToTheLimitAndNumbersPast99AreWrittenWhole) {
  std::string page;
  for (int i = 1; i <= 101; ++i) {
    page += "<a href='viewforum.php?f=" + std::to_string(i) + "'>Forum number " + std::to_string(i) + "</a>\n";
  }
  test::CrawlWorld world;
  world.state.settings.maxFileNameChars = 8;
  world.state.outputPath.assign("/out/Board");
  test::RecordingForumSink sink;
  detectForums(page.c_str(), world.state, sink);
  ASSERT_EQ(sink.taken.size(), 101u);
  EXPECT_EQ(sink.taken[0].path, "/out/Board/01 Forum num");
  EXPECT_EQ(sink.taken[99].path, "/out/Board/100 Forum num");
  EXPECT_STREQ(world.state.outputPath.c_str(), "/out/Board");
}

TEST(ForumPatterns, prefixPatternAndSuffixFrameEachLink) {
  const char* page =
      "<a href=\"forumdisplay.php?s=0123456789abcdef0123456789abcdef&amp;f=4\"><strong>General</strong></a>"
      "<a href=\"forumdisplay.php?s=0123456789abcdef0123456789abcdef&amp;f=5\">not strong</a> "
      "<a href=\"forumdisplay.php?s=0123456789abcdef0123456789abcdef&amp;f=6\"><strong>Six</strong></a>";
  test::CrawlWorld world;
  Settings& s = world.state.settings;
  s.useForumLinkPattern = true;
  test::RecordingForumSink sink;
  EXPECT_TRUE(detectForums(page, world.state, sink));
  EXPECT_EQ(sink.paths(), (Strings{"/01 General", "/02 not strong", "/03 Six"}));

  test::CrawlWorld framed;
  framed.state.settings.useForumLinkPrefix = true;
  framed.state.settings.useForumLinkPattern = true;
  framed.state.settings.useForumLinkSuffix = true;
  test::RecordingForumSink framedSink;
  detectForums(page, framed.state, framedSink);
  // The suffix must follow the link: the second forum is passed over.
  EXPECT_EQ(framedSink.paths(), (Strings{"/01 General", "/02 Six"}));
}

TEST(ForumPatterns, quoteSearchTakesTheQuotedValueHoldingThePattern) {
  // No href and no http: the value is found between quotes.
  const char* page = "<option value='list.php?x=1'>No</option><option value='forumdisplay.php?f=8'>Eight</option>";
  test::CrawlWorld world;
  world.state.settings.useForumLinkPattern = true;
  test::RecordingForumSink sink;
  detectForums(page, world.state, sink);
  EXPECT_EQ(sink.addresses(), (Strings{kBase + "forumdisplay.php?f=8"}));
}

TEST(ForumPatterns, aDistantLinkAfterManyTagsIsFoundQuicklyAndGapPatternsStillWork) {
  std::string page;
  for (int i = 0; i < 400000; ++i) page += "<b>";
  page += "<a href='forumdisplay.php?f=1'>Far</a><a href='forumdisplay.php?f=2'>Farther</a>";
  test::CrawlWorld world;
  world.state.settings.useForumLinkPattern = true;
  test::RecordingForumSink sink;
  const auto started = std::chrono::steady_clock::now();
  detectForums(page.c_str(), world.state, sink);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(sink.paths(), (Strings{"/01 Far", "/02 Farther"}));

  test::CrawlWorld gap;
  gap.state.settings.useForumLinkPattern = true;
  gap.state.settings.forumLinkPattern.assign("forum*f=#|");
  test::RecordingForumSink gapSink;
  detectForums("<a href='forumdisplay.php?f=1'>One</a> <a href='forumdisplay.php?f=2'>Two</a>", gap.state, gapSink);
  EXPECT_EQ(gapSink.paths(), (Strings{"/01 One", "/02 Two"}));
}

TEST(ForumPatterns, onlyASuffixNeverFindsALinkAndAskForNoFallback) {
  test::CrawlWorld world;
  world.state.settings.useForumLinkSuffix = true;
  test::RecordingForumSink sink;
  EXPECT_TRUE(detectForums("<a href='forumdisplay.php?f=1'><strong>x</strong></a>", world.state, sink));
  EXPECT_TRUE(sink.taken.empty());
}

TEST(ForumListSink, insertsRowsCheckedFromTheSelection) {
  test::CrawlWorld world;
  world.state.forumSelection[1] = 0;
  ForumListSink list;
  detectForums("<a href='viewforum.php?f=1'>A</a><a href='viewforum.php?f=2'>B</a><a href='viewforum.php?f=3'>C</a>",
               world.state, list);
  ASSERT_EQ(list.rows().size(), 3u);
  EXPECT_EQ(list.rows()[0].name, "01 A");
  EXPECT_EQ(list.rows()[1].address, kBase + "viewforum.php?f=2");
  EXPECT_TRUE(list.rows()[0].checked);
  EXPECT_FALSE(list.rows()[1].checked);
  EXPECT_TRUE(list.rows()[2].checked);
}

}  // namespace
}  // namespace quillstash
