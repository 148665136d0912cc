// SPDX-License-Identifier: MIT
#include "http/fetch.h"

#include <gtest/gtest.h>

#include "http_world.h"

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "platform/listener.h"
#include "support/http_test_server.h"
#include "support/process.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;
using test::HttpTestServer;
using test::ScriptedResponse;

const std::string kRequestTail =
    "Accept: */*\r\nUser-Agent: Quillstash/1.02\r\nConnection: Close\r\nAccept-Encoding: deflate\r\n\r\n";

// A port on loopback where nothing listens.
std::uint16_t closedPort() {
  std::uint16_t port = 0;
  platform::closeSocket(platform::listenOnLoopback(0, port));
  return port;
}

class FetchToMemory : public ::testing::Test, protected test::HttpWorld {
 protected:
  std::size_t fetch(const std::string& address, bool forumPage = false, JobContext* context = nullptr) {
    JobContext& job = context != nullptr ? *context : *this->job;
    job.forumAddress.assign(address);
    return client.fetchToMemory(job, page, forumPage);
  }

  std::string text() const { return page.text(); }
  std::string downloading(const std::string& address) const { return "* Downloading file " + address + " ...\r\n"; }

  std::unique_ptr<JobContext> job = makeJobContext();
  std::unique_ptr<JobContext> currentJob = makeJobContext();
  PageBlock page;
  HttpClient client{settings, log, cookies, 1s};
};

TEST_F(FetchToMemory, sendsTheHttp10RequestByteForByteAndDeliversTheBodyWithoutItsHeader) {
  configure([](Settings& s) { s.http10 = true; });
  server.route("/a?b=1", ScriptedResponse::ok("<html>hello</html>"));
  const std::string address = server.base() + "/a?b=1";
  EXPECT_EQ(fetch(address), 18u);
  EXPECT_EQ(text(), "<html>hello</html>");
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(server.requests()[0], "GET /a?b=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kRequestTail);
  EXPECT_EQ(view.text(), downloading(address) + "* Received 18 bytes\r\n");
}

TEST_F(FetchToMemory, readsAddressesWithoutSchemeOrPathAndAnyLetterCaseOfTheScheme) {
  server.route("/", ScriptedResponse::ok("root"));
  server.route("/x", ScriptedResponse::ok("x"));
  EXPECT_EQ(fetch("127.0.0.1:" + std::to_string(server.port())), 4u);
  EXPECT_EQ(fetch("HTTP://127.0.0.1:" + std::to_string(server.port()) + "/x"), 1u);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].substr(0, 16), "GET / HTTP/1.1\r\n");
  EXPECT_EQ(requests[1].substr(0, 17), "GET /x HTTP/1.1\r\n");
}

TEST_F(FetchToMemory, keepsCookiesFromAnyResponseAndSendsThemToTheirHostOnly) {
  configure([](Settings& s) { s.http10 = true; });
  server.route("/set", ScriptedResponse::make("HTTP/1.0 302 Found", "Set-Cookie: a=1; path=/\r\nLocation: /p\r\n", ""));
  server.route("/p", ScriptedResponse::make("HTTP/1.0 200 OK", "Set-Cookie: b=2\r\n", "p"));
  server.route("/plain", ScriptedResponse::ok("plain"));
  const std::string withoutCookie = "GET /plain HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kRequestTail;
  const std::string withCookie =
      "GET /p HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\nCookie: a=1; b=2\r\n"
      "User-Agent: Quillstash/1.02\r\nConnection: Close\r\nAccept-Encoding: deflate\r\n\r\n";

  fetch(server.base() + "/plain", false);  // nothing set yet: no Cookie line at all
  fetch(server.base() + "/set", true);     // a redirect sets one, its target another
  fetch(server.base() + "/p", false);
  fetch("http://localhost:" + std::to_string(server.port()) + "/p", false);  // another host name
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[0], withoutCookie);
  EXPECT_NE(requests[2].find("\r\nCookie: a=1\r\n"), std::string::npos);  // set by the redirect itself
  EXPECT_EQ(requests[3], withCookie);
  EXPECT_EQ(requests[4].find("Cookie"), std::string::npos);
}

TEST_F(FetchToMemory, goesThroughTheProxyWithTheAbsoluteAddressAndTheTargetHost) {
  HttpTestServer proxy;
  proxy.route("http://forum.example/path?q=1", ScriptedResponse::ok("via proxy"));
  configure([&](Settings& s) {
    s.http10 = true;
    s.useProxy = true;
    s.proxyAddress.assign("127.0.0.1:" + std::to_string(proxy.port()));
  });
  // The forum's own name is never resolved: only the proxy is.
  EXPECT_EQ(fetch("forum.example/path?q=1", true), 9u);
  EXPECT_EQ(text(), "via proxy");
  ASSERT_EQ(proxy.requestCount(), 1u);
  EXPECT_EQ(proxy.requests()[0],
            "GET http://forum.example/path?q=1 HTTP/1.0\r\nHost: forum.example\r\n" + kRequestTail);

  // A proxy named without a port is reached on the address's own port.
  proxy.route("http://127.0.0.1:" + std::to_string(proxy.port()) + "/x", ScriptedResponse::ok("same port"));
  configure([&](Settings& s) { s.proxyAddress.assign("127.0.0.1"); });
  EXPECT_EQ(fetch("http://127.0.0.1:" + std::to_string(proxy.port()) + "/x"), 9u);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(FetchToMemory, givesUpOnClientAndServerErrorsWithoutRetrying) {
  server.route("/forbidden", ScriptedResponse::make("HTTP/1.1 403 Forbidden", "", "go away"));
  server.route("/busy", ScriptedResponse::make("HTTP/1.1 503 Service Unavailable", "", "later"));
  std::memcpy(page.data(), "old page", 9);

  EXPECT_EQ(fetch(server.base() + "/forbidden"), 0u);
  EXPECT_EQ(text(), "");
  EXPECT_EQ(fetch(server.base() + "/busy"), 0u);
  EXPECT_EQ(server.requestCount(), 2u);
  EXPECT_EQ(view.text(), downloading(server.base() + "/forbidden") + "[ X ] Not found\r\n" +
                             downloading(server.base() + "/busy") + "[ X ] Server error - 503 Service Unavailable\r\n");
}

TEST_F(FetchToMemory, followsRedirectsKeepingTheHostAndPortForServerRelativeTargets) {
  server.route("/old", ScriptedResponse::redirect("/new"));
  server.route("/new", ScriptedResponse::redirect(server.base() + "/final"));
  server.route("/final", ScriptedResponse::ok("arrived"));
  EXPECT_EQ(fetch(server.base() + "/old"), 7u);
  EXPECT_EQ(text(), "arrived");
  EXPECT_EQ(job->forumAddress.view(), server.base() + "/final");
  EXPECT_EQ(view.text(), downloading(server.base() + "/old") + "- Moved to " + server.base() + "/new\r\n" +
                             downloading(server.base() + "/new") + "- Moved to " + server.base() + "/final\r\n" +
                             downloading(server.base() + "/final") + "* Received 7 bytes\r\n");
}

TEST_F(FetchToMemory, findsTheLocationInAHeaderSplitOverSeveralReads) {
  ScriptedResponse split;
  split.pieces = {"HTTP/1.0 302 Found\r\nServer: test\r\n", "Location: /there\r\n\r\nmoved body"};
  split.pauseBetweenPieces = 100ms;
  server.route("/here", split);
  server.route("/there", ScriptedResponse::ok("there"));
  EXPECT_EQ(fetch(server.base() + "/here"), 5u);
  EXPECT_EQ(text(), "there");
}

TEST_F(FetchToMemory, takesTheBodyOfARedirectWithoutLocation) {
  server.route("/odd", ScriptedResponse::make("HTTP/1.0 302 Found", "", "own body"));
  EXPECT_EQ(fetch(server.base() + "/odd"), 8u);
  EXPECT_EQ(text(), "own body");
}

TEST_F(FetchToMemory, givesUpAfterTenRedirects) {
  server.route("/loop", ScriptedResponse::redirect("/loop"));
  EXPECT_EQ(fetch(server.base() + "/loop"), 0u);
  EXPECT_EQ(server.requestCount(), 11u);
  const std::string& log = view.text();
  EXPECT_EQ(log.substr(log.size() - 45), "[ X ] Too many redirects, operation aborted\r\n");
}

TEST_F(FetchToMemory, contentLengthEndsTheReadWithoutWaitingForTheClose) {
  ScriptedResponse held = ScriptedResponse::ok(std::string(1000, 'b'));
  held.keepOpen = true;
  server.route("/held", held);
  EXPECT_EQ(fetch(server.base() + "/held"), 1000u);
  EXPECT_EQ(view.text().find("Timeout"), std::string::npos);  // no wait for the close
}

TEST_F(FetchToMemory, aResponseWithoutBlankLineDeliversAnEmptyText) {
  server.route("/cut", ScriptedResponse::raw("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"));
  std::memcpy(page.data(), "old", 4);
  EXPECT_EQ(fetch(server.base() + "/cut"), 0u);
  EXPECT_EQ(text(), "");
  EXPECT_EQ(view.text(), downloading(server.base() + "/cut") + "* Received 0 bytes\r\n");
}

TEST_F(FetchToMemory, aPageCutShortOfItsContentLengthIsRetriedAndNeverTakenAsWhole) {
  configure([](Settings& s) { s.receiveRetries = 1; });
  const ScriptedResponse cut = ScriptedResponse::raw("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n<html>half");
  server.route("/flaky", {cut, ScriptedResponse::ok("<html>whole</html>")});
  EXPECT_EQ(fetch(server.base() + "/flaky"), 18u);
  EXPECT_EQ(text(), "<html>whole</html>");
  EXPECT_NE(view.text().find("[ X ] Connection closed after 10 of 100 bytes, retrying...\r\n"), std::string::npos);

  server.route("/cut", cut);
  EXPECT_EQ(fetch(server.base() + "/cut"), 0u);
  EXPECT_EQ(text(), "");
  EXPECT_NE(view.text().find("[ X ] Connection closed after 10 of 100 bytes. Operation aborted\r\n"),
            std::string::npos);
}

TEST_F(FetchToMemory, keepsTenMebibytesAndCutsAnythingBeyond) {
  const std::string header = "HTTP/1.0 200 OK\r\n\r\n";
  const std::size_t limit = PageBlock::kDefaultCapacity;
  std::string exact = header + std::string(limit - header.size(), 'x');
  server.route("/exact", ScriptedResponse::raw(exact));
  server.route("/over", ScriptedResponse::raw(exact + "y"));

  EXPECT_EQ(fetch(server.base() + "/exact"), limit - header.size());
  EXPECT_EQ(view.text().find("File size exceeds"), std::string::npos);

  EXPECT_EQ(fetch(server.base() + "/over"), limit - header.size());
  EXPECT_NE(view.text().find("[ X ] File size exceeds 10485760 bytes, aborting...\r\n* Received 10485741 bytes\r\n"),
            std::string::npos);
  EXPECT_EQ(std::string(page.text()).size(), limit - header.size());
}

TEST_F(FetchToMemory, retriesTimeOutsAndReceiveErrorsOnOneCounterThenAborts) {
  if (test::runningUnderWine()) GTEST_SKIP() << "wine reports a reset as an orderly close";
  configure([](Settings& s) { s.receiveRetries = 2; });
  ScriptedResponse stall = ScriptedResponse::ok("late");
  stall.stallBeforeAnswer = 10s;
  ScriptedResponse reset;
  reset.closeWithoutAnswer = true;
  reset.resetAtEnd = true;
  server.route("/slow", {stall, reset});

  const std::string address = server.base() + "/slow";
  EXPECT_EQ(fetch(address), 0u);
  EXPECT_EQ(server.requestCount(), 3u);
  const std::string resetText =
      " (WSAECONNRESET - The virtual circuit was reset by the remote side executing a \"hard\" or "
      "\"abortive\" close. For UPD sockets, the remote host was unable to deliver a previously "
      "sent UDP datagram and responded with a \"Port Unreachable\" ICMP packet.)";
  EXPECT_EQ(view.text(), downloading(address) + "[ X ] Timeout, retrying...\r\n" + downloading(address) +
                             "[ X ] Error receiving data, " + resetText + ", retrying...\r\n" + downloading(address) +
                             "[ X ] Error receiving data, " + resetText + ". Operation aborted\r\n");
}

TEST_F(FetchToMemory, aRetryAfterATimeOutDeliversTheNextResponse) {
  ScriptedResponse stall = ScriptedResponse::ok("late");
  stall.stallBeforeAnswer = 10s;
  server.route("/flaky", {stall, ScriptedResponse::ok("on time")});
  EXPECT_EQ(fetch(server.base() + "/flaky"), 7u);
  EXPECT_EQ(text(), "on time");
  EXPECT_NE(view.text().find("[ X ] Timeout, retrying...\r\n"), std::string::npos);
}

TEST_F(FetchToMemory, reportsARefusedConnectionWithItsErrorTextAndRetriesItUnderTheConnectLimit) {
  configure([](Settings& s) { s.connectRetries = 1; });
  const std::uint16_t port = closedPort();
  EXPECT_EQ(fetch("http://127.0.0.1:" + std::to_string(port) + "/"), 0u);
  const std::string line =
      "[ X ] Error connecting to 127.0.0.1, code:  (WSAECONNREFUSED - The attempt to connect was forcefully rejected.)\r\n";
  EXPECT_EQ(view.text(), line + line);
}

TEST_F(FetchToMemory, aConnectFailureAfterEarlierTimeOutsIsFinalAtOnce) {
  // Default limits: 2 connect retries, 10 receive retries, one counter.
  configure([](Settings& s) { s.useReceiveRetryDelay = false; });
  ScriptedResponse stall = ScriptedResponse::ok("never");
  stall.stallBeforeAnswer = 10s;
  server.route("/stall", stall);
  auto result = std::async(std::launch::async, [&] { return fetch(server.base() + "/stall"); });
  ASSERT_TRUE(server.waitForRequests(3, 10s));
  server.stopListening();  // the fourth attempt finds nobody listening
  ASSERT_EQ(result.wait_for(20s), std::future_status::ready);
  EXPECT_EQ(result.get(), 0u);

  const std::string& log = view.text();
  std::size_t timeouts = 0;
  for (std::size_t at = log.find("Timeout, retrying"); at != std::string::npos;
       at = log.find("Timeout, retrying", at + 1)) {
    ++timeouts;
  }
  EXPECT_EQ(timeouts, 3u);
  EXPECT_EQ(log.substr(log.rfind("[ X ]")).substr(0, 40), "[ X ] Error connecting to 127.0.0.1, cod");
  EXPECT_EQ(log.find("Error connecting"), log.rfind("Error connecting"));
}

TEST_F(FetchToMemory, reportsAnUnresolvableNameWithItsDecimalCode) {
  EXPECT_EQ(fetch("http:///nowhere"), 0u);
  EXPECT_EQ(view.text(), "[ X ] Error resolving  , code: 11001\r\n");
}

TEST_F(FetchToMemory, waitsTheDownloadDelayAfterForumPagesOnly) {
  server.route("/page", ScriptedResponse::ok("page"));
  configure([](Settings& s) {
    s.useDownloadDelay = true;
    s.downloadDelayMs = 1500;
  });
  auto timed = [&](bool forumPage) {
    const auto start = std::chrono::steady_clock::now();
    fetch(server.base() + "/page", forumPage);
    return std::chrono::steady_clock::now() - start;
  };
  EXPECT_GE(timed(true), 1500ms);
  EXPECT_LT(timed(false), 1000ms);
}

TEST_F(FetchToMemory, aStopRequestEndsAWaitPromptlyAndQuietly) {
  HttpClient patient(settings, log, cookies);  // the full 120-second wait
  ScriptedResponse stall = ScriptedResponse::ok("never");
  stall.stallBeforeAnswer = 30s;
  server.route("/stall", stall);
  job->forumAddress.assign(server.base() + "/stall");
  auto result = std::async(std::launch::async, [&] { return patient.fetchToMemory(*job, page, true); });
  ASSERT_TRUE(server.waitForRequests(1, 10s));
  log.requestStop();
  ASSERT_EQ(result.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(result.get(), 0u);
  EXPECT_EQ(view.text(), downloading(server.base() + "/stall"));
}

TEST_F(FetchToMemory, refusesAnAddressWhoseHostDoesNotFitItsText) {
  EXPECT_EQ(fetch("http://" + std::string(9000, 'h') + "/"), 0u);
  EXPECT_EQ(view.text().substr(0, 40), "[ X ] Address too long, not fetched: htt");
}

}  // namespace
}  // namespace quillstash
