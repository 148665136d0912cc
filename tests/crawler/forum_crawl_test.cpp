// SPDX-License-Identifier: MIT
#include "crawler/forum_crawl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

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
 protected:
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

}  // namespace
}  // namespace quillstash
