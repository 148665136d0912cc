// SPDX-License-Identifier: MIT
// The prefetcher against a loopback server: pages fetched ahead reach the
// writer as its own fetch would have left them (redirect, log lines,
// failure), nothing is fetched twice, and a download delay fetches nothing
// ahead.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "archive/topic_prefetch.h"
#include "../http/http_world.h"

namespace quillstash {
namespace {

using test::ScriptedResponse;

struct Prefetching : test::HttpClientWorld {
  Prefetching() {
    server.route("/t1", ScriptedResponse::redirect("/t1-moved"));
    server.route("/t1-moved", ScriptedResponse::ok("<html>first topic</html>"));
    server.route("/t3", ScriptedResponse::ok("<html>third topic</html>"));
    server.route("/f2", ScriptedResponse::ok("<html>next forum page</html>"));
    // "/t2" is not routed: 404.
  }

  // The writer's fetch of `path` through the prefetcher: the body, or "" when
  // nothing came; `address` receives where it came from.
  std::string take(TopicPrefetcher& prefetcher, const std::string& path, std::string* address = nullptr) {
    job->forumAddress.assign(server.base() + path);
    const std::size_t length = prefetcher.fetchToMemory(*job, page, true);
    if (address != nullptr) *address = job->forumAddress.c_str();
    return std::string(page.text(), length);
  }

  HttpPageFetcher direct{client};
  std::unique_ptr<JobContext> typed = makeJobContext();
  // A prefetcher over three connections that tries each page once.
  TopicPrefetcher threeConnections() {
    configure([](Settings& s) {
      s.connections = 3;
      s.receiveRetries = 0;
    });
    return TopicPrefetcher(direct, client, settings, log, *typed, nullptr);
  }
  std::vector<std::string> topics() const {
    return {server.base() + "/t1", server.base() + "/t2", server.base() + "/t3"};
  }
};

TEST(TopicPrefetcher, pagesFetchedAheadReachTheWriterWithTheirRedirectLogLinesAndFailures) {
  Prefetching world;
  TopicPrefetcher prefetcher = world.threeConnections();
  ASSERT_TRUE(prefetcher.fetchesAhead());
  prefetcher.plan(world.topics(), nullptr, world.server.base() + "/f2");
  // The helpers fetch all three and the forum page after them ahead (the
  // redirect makes five requests).
  ASSERT_TRUE(world.server.waitForRequests(5, std::chrono::seconds(10)));
  EXPECT_EQ(world.view.text().find("Not found"), std::string::npos);  // kept until the writer takes it

  std::string address;
  EXPECT_EQ(world.take(prefetcher, "/t1", &address), "<html>first topic</html>");
  EXPECT_EQ(address, world.server.base() + "/t1-moved");
  EXPECT_EQ(world.take(prefetcher, "/t2"), "");
  EXPECT_NE(world.view.text().find("[ X ] Not found\r\n"), std::string::npos) << world.view.text();
  EXPECT_EQ(world.take(prefetcher, "/t3"), "<html>third topic</html>");
  EXPECT_EQ(world.take(prefetcher, "/f2"), "<html>next forum page</html>");
  EXPECT_EQ(prefetcher.pagesTaken(), 4u);
  EXPECT_EQ(world.server.requestCount(), 5u);  // none fetched again
}

TEST(TopicPrefetcher, pagesFetchedAheadForNothingAreLoggedWhenDropped) {
  Prefetching world;
  TopicPrefetcher prefetcher = world.threeConnections();
  prefetcher.plan(world.topics(), nullptr);
  ASSERT_TRUE(world.server.waitForRequests(4, std::chrono::seconds(10)));
  EXPECT_EQ(world.take(prefetcher, "/t1"), "<html>first topic</html>");
  EXPECT_EQ(world.view.text().find("/t3 ..."), std::string::npos);
  // The run ends without the writer asking for the other two: their fetches
  // still show, one "Downloading" line for each request the server saw.
  prefetcher.plan({}, nullptr);
  const std::string log = world.view.text();
  EXPECT_NE(log.find("[ X ] Not found\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("* Downloading file " + world.server.base() + "/t3 ..."), std::string::npos) << log;
  std::size_t downloading = 0;
  for (std::size_t at = log.find("* Downloading file "); at != std::string::npos;
       at = log.find("* Downloading file ", at + 1)) {
    ++downloading;
  }
  EXPECT_EQ(downloading, world.server.requestCount()) << log;
}

TEST(TopicPrefetcher, aDownloadDelayOrOneConnectionFetchesNothingAhead) {
  for (int variant = 0; variant < 2; ++variant) {
    Prefetching world;
    world.configure([variant](Settings& s) {
      s.connections = variant == 0 ? 4 : 1;
      s.useDownloadDelay = variant == 0;
      s.downloadDelayMs = 1;
    });
    TopicPrefetcher prefetcher(world.direct, world.client, world.settings, world.log, *world.typed, nullptr);
    EXPECT_FALSE(prefetcher.fetchesAhead()) << variant;
    prefetcher.plan(world.topics(), nullptr);
    EXPECT_EQ(world.take(prefetcher, "/t3"), "<html>third topic</html>");
    EXPECT_EQ(world.take(prefetcher, "/t1"), "<html>first topic</html>");
    EXPECT_EQ(prefetcher.pagesTaken(), 0u) << variant;
    EXPECT_EQ(world.server.requestCount(), 3u) << variant;  // the writer's own, one at a time
  }
}

}  // namespace
}  // namespace quillstash
