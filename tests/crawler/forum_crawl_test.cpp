// SPDX-License-Identifier: MIT
#include "crawler/forum_crawl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "crawler/topic_lookahead.h"
#include "crawler_fixtures.h"
#include "platform/files.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;
using test::ScriptedResponse;

// A forum crawl on a loopback board, writing into a temporary folder, with
// topics recorded instead of written.
class ForumCrawl : public ::testing::Test {
 public:
  ForumCrawl() : log(view), world((server.base() + "/index.php").c_str()) {
    Settings s = settings.snapshot();
    s.connectRetryDelayMs = 1;
    s.receiveRetryDelayMs = 1;
    s.receiveRetries = 0;
    settings.replace(s);
    world.state.settings = s;
    world.state.outputPath.assign(dir.path());
  }

  std::vector<std::string> forumRequests() const {
    std::vector<std::string> lines;
    for (const std::string& request : server.requests()) lines.push_back(request.substr(0, request.find("\r\n")));
    return lines;
  }

  void crawl(const std::string& firstPage) {
    auto forum = makeJobContext();
    forum->forumAddress.assign(server.base() + firstPage);
    ForumCrawler crawler(world.state, client, log, settings, writer);
    crawler.crawlForum(*forum);
  }

  test::HttpTestServer server;
  test::TempDir dir;
  SettingsStore settings;
  StringLogView view;
  ActivityLog log;
  CookieJar cookies;
  test::CrawlWorld world;
  HttpClient client{settings, log, cookies, 1s};
  test::RecordingTopicWriter writer;
};

std::string forumPage(const std::string& navigation, const std::string& topics) {
  return "<html><body>" + navigation + "<table width='100%'>" + topics + "</table></body></html>";
}

TEST_F(ForumCrawl, followsEveryPageOnceAndNumbersTopicsAcrossThem) {
  server.route(
      "/viewforum.php?f=1",
      ScriptedResponse::ok(forumPage(
          "Goto page <b>1</b>, <a href='viewforum.php?f=1&amp;start=2'>2</a>",
          "<tr><td><a href='viewtopic.php?t=1'>One</a></td></tr><tr><td><a href='viewtopic.php?t=2'>Two</a></td></tr>")));
  // The last page links back to itself as its "next" page: the forum ends there.
  server.route(
      "/viewforum.php?f=1&start=2",
      ScriptedResponse::ok(forumPage(
          "Goto page <a href='viewforum.php?f=1'>1</a>, <b>2</b>, <a href='viewforum.php?f=1&amp;start=2'>3</a>",
          "<tr><td><a href='viewtopic.php?t=3'>Three</a></td></tr><tr><td><a href='viewtopic.php?t=1'>One</a></td></tr>")));
  crawl("/viewforum.php?f=1");
  EXPECT_EQ(forumRequests(),
            (std::vector<std::string>{"GET /viewforum.php?f=1 HTTP/1.1", "GET /viewforum.php?f=1&start=2 HTTP/1.1"}));
  std::vector<std::string> expected = {test::genericPath(dir.file("00001 One.html")),
                                       test::genericPath(dir.file("00002 Two.html")),
                                       test::genericPath(dir.file("00003 Three.html"))};
  EXPECT_EQ(writer.paths(), expected);
  EXPECT_TRUE(world.state.visitedTopics.empty());  // emptied at the end of the forum
  EXPECT_EQ(world.state.itemNumber, 1u);           // given back as it was found
}

TEST_F(ForumCrawl, aFollowingPageThatCannotBeFetchedEndsTheForum) {
  server.route("/viewforum.php?f=1",
               ScriptedResponse::ok(forumPage("Goto page <b>1</b>, <a href='viewforum.php?f=1&amp;start=2'>2</a>",
                                              "<tr><td><a href='viewtopic.php?t=1'>One</a></td></tr>")));
  server.route("/viewforum.php?f=1&start=2", ScriptedResponse::make("HTTP/1.0 500 Internal Server Error", "", ""));
  crawl("/viewforum.php?f=1");
  EXPECT_EQ(server.requestCount(), 2u);
  EXPECT_EQ(writer.paths(), (std::vector<std::string>{test::genericPath(dir.file("00001 One.html"))}));
  EXPECT_NE(view.text().find("[ X ] Server error - 500 Internal Server Error\r\n"), std::string::npos);
}

TEST_F(ForumCrawl, subForumsAreCrawledFirstInFoldersOfTheirOwn) {
  server.route(
      "/viewforum.php?f=1",
      ScriptedResponse::ok(forumPage(
          "",
          "<tr><td><a href='viewforum.php?f=2'>Lamps</a></td></tr><tr><td><a href='viewtopic.php?t=1'>One</a></td></tr>")));
  server.route("/viewforum.php?f=2",
               ScriptedResponse::ok(forumPage("", "<tr><td><a href='viewtopic.php?t=9'>Nine</a></td></tr>")));
  world.state.outputPath.assign(dir.file("Board/03 Forum"));
  ASSERT_EQ(platform::createDirectory((dir.file("Board")).c_str()), platform::CreateDirectoryResult::kCreated);
  ASSERT_EQ(platform::createDirectory(world.state.outputPath.c_str()), platform::CreateDirectoryResult::kCreated);
  crawl("/viewforum.php?f=1");
  EXPECT_TRUE(platform::pathExists((dir.file("Board/03 Forum/01 Lamps")).c_str()));
  EXPECT_EQ(writer.paths(),
            (std::vector<std::string>{test::genericPath(dir.file("Board/03 Forum/01 Lamps/00001 Nine.html")),
                                      test::genericPath(dir.file("Board/03 Forum/00001 One.html"))}));
}

// Notes what the crawl announces and fetches, in order: "next X" for each
// forum page announced after a forum page's topics, "fetch X" for each forum
// page fetched.
class AnnouncementLog final : public TopicLookahead {
 public:
  explicit AnnouncementLog(HttpClient& client) : client_(client) {}
  bool fetchesAhead() override { return true; }
  void upcoming(std::vector<std::string>, std::string nextForumPage) override {
    events.push_back("next " + nextForumPage);
  }
  std::size_t fetchForumPage(JobContext& job, PageBlock& page) override {
    events.push_back("fetch " + std::string(job.forumAddress.view()));
    return client_.fetchToMemory(job, page, true);
  }
  std::vector<std::string> events;

 private:
  HttpClient& client_;
};

// Crawls an index whose forum links begin with `stem` (the same board by
// forum detection or by the table route); returns what the crawl announced
// and fetched, in order.
std::vector<std::string> announcementsOf(ForumCrawl& t, const std::string& stem) {
  const std::string f = t.server.base() + "/" + stem;
  auto row = [](const std::string& target, const std::string& name) {
    return "<tr><td><a href='" + target + "'>" + name + "</a></td><td>about it</td><td>12</td></tr>";
  };
  // Forum 2 is unticked, sub-forum 12 left out; links met before are passed over.
  std::string index =
      forumPage("", row(stem + "1", "Alpha") + row(stem + "2", "Beta") + row(stem + "1", "Alpha again") +
                        row(stem + "3", "Gamma") + row(stem + "4", "Delta"));
  t.server.route("/" + stem + "1",
                 ScriptedResponse::ok(forumPage("Goto page <b>1</b>, <a href='" + stem + "1&amp;start=2'>2</a>",
                                                row(stem + "11", "Sub one") + row(stem + "12", "Sub two") +
                                                    row(stem + "11", "Sub one again") + row(stem + "13", "Sub three") +
                                                    row("viewtopic.php?t=1", "One"))));
  t.server.route("/" + stem + "1&start=2",
                 ScriptedResponse::ok(
                     forumPage("Goto page <a href='" + stem + "1'>1</a>, <b>2</b>", row("viewtopic.php?t=2", "Two"))));
  for (const char* forum : {"3", "4", "11", "13"}) {
    t.server.route("/" + stem + forum,
                   ScriptedResponse::ok(forumPage("", row(std::string("viewtopic.php?t=") + forum, "Topic"))));
  }
  t.world.state.forumSelection[1] = 0;
  appendLink(t.world.state.leftOutForums, (f + "12").c_str());
  AnnouncementLog announced(t.client);
  t.world.state.lookahead = &announced;
  ForumCrawler crawler(t.world.state, t.client, t.log, t.settings, t.writer);
  crawler.crawlIndex(index.data());

  return announced.events;
}

TEST_F(ForumCrawl, theForumPageAnnouncedAfterAPagesTopicsIsTheOneFetchedNext) {
  const std::string f = server.base() + "/viewforum.php?f=";
  // A sub-forum's last page is followed by the next sub-forum, the last
  // sub-forum's by its forum's own topics, a forum's page by its next page,
  // the last page by the next forum taken from the index.
  EXPECT_EQ(announcementsOf(*this, "viewforum.php?f="),
            (std::vector<std::string>{"fetch " + f + "1", "fetch " + f + "11", "next " + f + "13", "fetch " + f + "13",
                                      "next ", "next " + f + "1&start=2", "fetch " + f + "1&start=2", "next " + f + "3",
                                      "fetch " + f + "3", "next " + f + "4", "fetch " + f + "4", "next "}));
  EXPECT_EQ(writer.taken.size(), 6u);
}

TEST_F(ForumCrawl, theForumPageAnnouncedIsFetchedNextOnTheTableRouteToo) {
  // The table route takes every link of the forum column, the topic row's
  // too; whatever it takes, each page announced is the next one fetched.
  const std::vector<std::string> events = announcementsOf(*this, "board.cgi?b=");
  std::size_t announced = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].rfind("next ", 0) != 0 || events[i] == "next ") continue;
    ++announced;
    ASSERT_LT(i + 1, events.size());
    EXPECT_EQ(events[i + 1], "fetch " + events[i].substr(5));
  }
  EXPECT_GE(announced, 5u);
  const std::string f = server.base() + "/board.cgi?b=";
  for (const std::string& never : {f + "2", f + "12"}) {
    EXPECT_EQ(std::count(events.begin(), events.end(), "fetch " + never), 0) << never;
  }
}

}  // namespace
}  // namespace quillstash
