// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "http_world.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>
#include <memory>
#include <string>

#include "http/fetch.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;
using test::HttpTestServer;
using test::ScriptedResponse;

// An HTTP/1.1 answer that leaves the connection open for the next request.
ScriptedResponse kept(const std::string& headers, const std::string& body, bool withLength = true) {
  ScriptedResponse response = ScriptedResponse::make("HTTP/1.1 200 OK", headers, body, withLength);
  response.keepAlive = true;
  return response;
}

class PersistentConnection : public ::testing::Test, protected test::HttpClientWorld {};

TEST_F(PersistentConnection, carriesPagesAndFilesWithLengthOrChunksOverOneConnection) {
  server.route("/a", kept("", "first page"));
  // Chunks split across reads, with an extension and a trailer field.
  ScriptedResponse chunked = kept("Transfer-Encoding: chunked\r\n", "", false);
  chunked.pieces = {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=y\r\nchunk\r\n",
                    "7\r\ned body\r\n0\r\nTrailer: t\r\n", "\r\n"};
  chunked.pauseBetweenPieces = 5ms;
  server.route("/b", chunked);
  ScriptedResponse file = kept("", "", false);
  file.pieces = {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nPNG\r\n4\r\nDATA\r\n0\r\n\r\n"};
  server.route("/f.png", file);
  server.route("/c", kept("", ""));  // an empty body ends at once

  EXPECT_EQ(fetch(server.base() + "/a"), "first page");
  EXPECT_EQ(fetch(server.base() + "/b"), "chunked body");
  EXPECT_TRUE(save(server.base() + "/f.png"));
  EXPECT_EQ(test::readFile(dir.file("00007 f.png")), "PNGDATA");
  EXPECT_EQ(fetch(server.base() + "/c"), "");
  EXPECT_EQ(fetch(server.base() + "/a"), "first page");

  EXPECT_EQ(server.connectionCount(), 1u) << view.text();
  ASSERT_EQ(server.requestCount(), 5u);
  EXPECT_EQ(server.requests()[0],
            "GET /a HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                "\r\nAccept: */*\r\nUser-Agent: Quillstash/1.02\r\nAccept-Encoding: gzip, deflate\r\n\r\n");
  EXPECT_EQ(view.text().find("[ X ]"), std::string::npos) << view.text();
  EXPECT_EQ(client.idleConnections(), 1u);
  client.closeIdleConnections();
  EXPECT_EQ(client.idleConnections(), 0u);
}

TEST_F(PersistentConnection, opensANewConnectionAfterAnAnswerThatDoesNotAllowAnother) {
  // Each answer leaves the server's side open, so only the client's choice
  // decides whether the next request takes a new connection.
  ScriptedResponse http10 = ScriptedResponse::ok("old server");
  http10.keepAlive = true;
  server.route("/http10", http10);
  server.route("/close", kept("Connection: close\r\n", "closing"));
  ScriptedResponse untilClose = ScriptedResponse::make("HTTP/1.1 200 OK", "", "no length", false);
  server.route("/unframed", untilClose);  // the server's close ends the body
  server.route("/next", kept("", "next"));

  EXPECT_EQ(fetch(server.base() + "/http10"), "old server");
  EXPECT_EQ(fetch(server.base() + "/close"), "closing");
  EXPECT_EQ(fetch(server.base() + "/unframed"), "no length");
  EXPECT_EQ(fetch(server.base() + "/next"), "next");
  EXPECT_EQ(server.connectionCount(), 4u);
  EXPECT_EQ(view.text().find("[ X ]"), std::string::npos) << view.text();
}

TEST_F(PersistentConnection, retriesOnANewConnectionWhenTheKeptOneIsClosedUnderTheRequest) {
  configure([](Settings& s) { s.receiveRetries = 0; });  // the retry is not a counted one
  server.route("/a", kept("", "a"));
  ScriptedResponse gone;
  gone.closeWithoutAnswer = true;
  server.route("/b", std::vector<ScriptedResponse>{gone, kept("", "b")});
  server.route("/f", std::vector<ScriptedResponse>{gone, kept("", "file")});

  EXPECT_EQ(fetch(server.base() + "/a"), "a");
  EXPECT_EQ(fetch(server.base() + "/b"), "b");
  EXPECT_TRUE(save(server.base() + "/f"));
  EXPECT_EQ(test::readFile(dir.file("00007 f")), "file");
  EXPECT_EQ(server.connectionCount(), 3u);
  EXPECT_EQ(server.requestCount(), 5u);
  EXPECT_EQ(view.text().find("[ X ]"), std::string::npos) << view.text();
}

TEST_F(PersistentConnection, refusesAFileWhoseChunkedBodyIsCutOrMalformed) {
  ScriptedResponse cut = ScriptedResponse::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\npartial");
  server.route("/cut", cut);
  ScriptedResponse broken = ScriptedResponse::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nx\r\n");
  server.route("/broken", broken);
  EXPECT_FALSE(save(server.base() + "/cut"));
  EXPECT_NE(view.text().find("[ X ] Connection closed before the last chunk"), std::string::npos) << view.text();
  EXPECT_FALSE(save(server.base() + "/broken"));
  EXPECT_NE(view.text().find("[ X ] Malformed chunked body"), std::string::npos) << view.text();
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(PersistentConnection, http10SendsTheOldRequestOnANewConnectionEachTime) {
  configure([](Settings& s) { s.http10 = true; });
  server.route("/a", kept("", "a"));
  EXPECT_EQ(fetch(server.base() + "/a"), "a");
  EXPECT_EQ(fetch(server.base() + "/a"), "a");
  EXPECT_EQ(server.connectionCount(), 2u);
  EXPECT_EQ(server.requests()[0],
            "GET /a HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\nUser-Agent: Quillstash/1.02\r\n"
            "Connection: Close\r\nAccept-Encoding: deflate\r\n\r\n");
  EXPECT_EQ(client.idleConnections(), 0u);
}

TEST_F(PersistentConnection, keepsATlsConnectionForTheNextRequest) {
  if (!platform::tlsServerAvailable()) GTEST_SKIP() << "no TLS server side on this system";
  test::TestPki pki;
  HttpTestServer secure;
  const demo::PemPair pair = pki.server();
  ASSERT_TRUE(secure.useTls(pair.certificate, pair.key));
  configure([&](Settings& s) { s.caFile.assign(pki.caFile()); });
  secure.route("/a", kept("", "one"));
  secure.route("/b", kept("Transfer-Encoding: chunked\r\n", "3\r\ntwo\r\n0\r\n\r\n", false));
  EXPECT_EQ(fetch(secure.base() + "/a"), "one");
  EXPECT_EQ(fetch(secure.base() + "/b"), "two");
  EXPECT_TRUE(save(secure.base() + "/a"));
  EXPECT_EQ(secure.connectionCount(), 1u) << view.text();
}

using ServerBusy = PersistentConnection;

TEST_F(ServerBusy, waitsAsRetryAfterSaysThenAsksAgainForPagesAndFiles) {
  configure([](Settings& s) { s.receiveRetries = 1; });
  ScriptedResponse busy = ScriptedResponse::make("HTTP/1.1 503 Service Unavailable", "Retry-After: 1\r\n", "later");
  ScriptedResponse tooMany =
      ScriptedResponse::make("HTTP/1.1 429 Too Many Requests", "Retry-After: Sun, 06 Nov 1994 08:49:37 GMT\r\n", "");
  server.route("/page", std::vector<ScriptedResponse>{busy, kept("", "page")});
  server.route("/pic.png", std::vector<ScriptedResponse>{tooMany, kept("", "PNG")});
  // The retry counter bounds how often a server may say "later".
  server.route("/always", busy);

  EXPECT_EQ(fetch(server.base() + "/page"), "page");
  EXPECT_NE(view.text().find("[ ! ] Server busy (503), asking again in 1 s: " + server.base() + "/page\r\n"),
            std::string::npos)
      << view.text();
  EXPECT_TRUE(save(server.base() + "/pic.png"));
  EXPECT_EQ(test::readFile(dir.file("00007 pic.png")), "PNG");
  EXPECT_NE(view.text().find("[ ! ] Server busy (429), asking again in 0 s"), std::string::npos) << view.text();
  EXPECT_EQ(fetch(server.base() + "/always"), "");
  EXPECT_NE(view.text().find("[ X ] Server error - 503 Service Unavailable"), std::string::npos) << view.text();
  EXPECT_EQ(server.requestCount(), 6u);
}

TEST_F(ServerBusy, aStopEndsTheWaitAtOnce) {
  server.route("/page", ScriptedResponse::make("HTTP/1.1 503 Service Unavailable", "Retry-After: 100000\r\n", ""));
  job->forumAddress.assign(server.base() + "/page");
  // The fetch runs on another thread: its lines are watched through the log
  // file, which the log writes under its lock, not through the view.
  test::TempDir logDir;
  log.setLogFilePath(logDir.file("run.log"));
  log.setLogToFile(true);
  auto result = std::async(std::launch::async, [&] { return client.fetchToMemory(*job, page, false); });
  std::string lines;
  for (int i = 0; i < 1000 && lines.find("Server busy") == std::string::npos; ++i) {
    std::this_thread::sleep_for(10ms);
    lines = test::readFile(logDir.file("run.log"));
  }
  ASSERT_NE(lines.find("[ ! ] Server busy (503), asking again in 120 s"), std::string::npos) << lines;
  log.requestStop();
  ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(result.get(), 0u);
  EXPECT_EQ(server.requestCount(), 1u);
}

}  // namespace
}  // namespace quillstash
