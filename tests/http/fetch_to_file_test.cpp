// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "http_world.h"

#include <chrono>
#include <memory>
#include <string>

#include "http/fetch.h"
#include "platform/files.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;
using test::HttpTestServer;
using test::ScriptedResponse;

class FetchToFile : public ::testing::Test, protected test::HttpWorld {
 protected:
  // Saves `address` as item 12 into the temporary folder; the link text is in `link`.
  bool save(const std::string& address, bool imageMode = false, std::string folder = "") {
    if (folder.empty()) folder = dir.path() + "/";
    job = makeJobContext();
    job->forumAddress.assign(address);
    link.clear();
    TextWriter out = link.writer();
    outcome = client.fetchToFile(*job, buffer, out, imageMode, folder, 12);
    out.terminate();
    return outcome == FileOutcome::kSaved;
  }

  test::TempDir dir;
  std::unique_ptr<JobContext> job;
  PageBlock buffer;
  FixedText<8192> link;
  FileOutcome outcome = FileOutcome::kFailed;
  HttpClient client{settings, log, cookies, 1s};
};

TEST_F(FetchToFile, namesTheFileByItemNumberAndLastSegmentAndSendsTheSessionsCookies) {
  cookies.storeFromHeader("HTTP/1.0 200 OK\r\nSet-Cookie: a=1; path=/\r\n", {"127.0.0.1", "/", false},
                          CookieJar::Clock::now());
  server.route("/files/pic.jpg", ScriptedResponse::ok("JPEGDATA"));
  EXPECT_TRUE(save(server.base() + "/files/pic.jpg"));
  EXPECT_EQ(link.view(), "00012 pic.jpg");
  EXPECT_EQ(test::readFile(dir.file("00012 pic.jpg")), "JPEGDATA");
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_NE(server.requests()[0].find("\r\nCookie: a=1\r\n"), std::string::npos);
  EXPECT_EQ(view.text(), "* Downloading file " + server.base() + "/files/pic.jpg ...\r\n* Received 8 bytes\r\n");

  // A trailing '/' is not a segment of its own; the cleaner makes the rest a name.
  server.route("/download/", ScriptedResponse::ok("zip"));
  EXPECT_TRUE(save(server.base() + "/download/"));
  EXPECT_EQ(link.view(), "00012 download-");
}

TEST_F(FetchToFile, takesTheQuotedContentDispositionNameOnly) {
  server.route(
      "/get?id=1",
      ScriptedResponse::make("HTTP/1.0 200 OK", "Content-Disposition: attachment; filename=\"report.zip\"\r\n", "PK"));
  server.route("/get?id=2", ScriptedResponse::make("HTTP/1.0 200 OK",
                                                   "Content-Disposition: attachment; filename=report.zip\r\n", "PK"));
  server.route("/get?id=3",
               ScriptedResponse::make("HTTP/1.0 200 OK",
                                      "Content-Disposition: attachment; filename=\"../../evil.sh\"\r\n", "x"));
  EXPECT_TRUE(save(server.base() + "/get?id=1"));
  EXPECT_EQ(link.view(), "00012 report.zip");
  EXPECT_TRUE(save(server.base() + "/get?id=2"));
  EXPECT_EQ(link.view(), "00012 get_id=2");
  // Separators in a server's name never lead out of the folder.
  EXPECT_TRUE(save(server.base() + "/get?id=3"));
  EXPECT_EQ(link.view().find('/'), std::string_view::npos);
  EXPECT_TRUE(platform::pathExists((dir.path() + "/" + std::string(link.view())).c_str()));
}

TEST_F(FetchToFile, refusesAnImageThatIsHtml) {
  server.route("/fake.gif", ScriptedResponse::ok("\r\n <html>login first</html>"));
  server.route("/real.gif", ScriptedResponse::ok("GIF89a<"));
  EXPECT_FALSE(save(server.base() + "/fake.gif", true));
  EXPECT_EQ(link.view(), "");
  EXPECT_FALSE(platform::pathExists(dir.file("00012 fake.gif").c_str()));
  EXPECT_NE(view.text().find("[ X ] The image: " + server.base() +
                             "/fake.gif contains HTML code in it and was not saved\r\n* Received 27 bytes\r\n"),
            std::string::npos);

  EXPECT_TRUE(save(server.base() + "/real.gif", true));
  EXPECT_EQ(test::readFile(dir.file("00012 real.gif")), "GIF89a<");
  // Attachments may be HTML.
  EXPECT_TRUE(save(server.base() + "/fake.gif", false));
}

TEST_F(FetchToFile, neverWritesAHeaderSplitOverSeveralReadsIntoTheFile) {
  ScriptedResponse split;
  split.pieces = {"HTTP/1.0 200 OK\r\nContent-Ty", "pe: image/png\r\n", "\r\nBODY"};
  split.pauseBetweenPieces = 60ms;
  server.route("/split.png", split);
  EXPECT_TRUE(save(server.base() + "/split.png"));
  EXPECT_EQ(test::readFile(dir.file("00012 split.png")), "BODY");
}

TEST_F(FetchToFile, anEmptyBodyCreatesNoFile) {
  server.route("/empty.txt", ScriptedResponse::ok(""));
  EXPECT_FALSE(save("127.0.0.1:" + std::to_string(server.port()) + "/empty.txt"));
  EXPECT_FALSE(platform::pathExists(dir.file("00012 empty.txt").c_str()));
  EXPECT_NE(view.text().find("[ X ] Error downloading file http://127.0.0.1:" + std::to_string(server.port()) +
                             "/empty.txt\r\n"),
            std::string::npos);
}

TEST_F(FetchToFile, savesFilesFarLargerThanTheReceiveBufferWhole) {
  std::string body(25 * 1024 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
  server.route("/big.bin", ScriptedResponse::ok(body));
  EXPECT_TRUE(save(server.base() + "/big.bin"));
  EXPECT_TRUE(test::readFile(dir.file("00012 big.bin")) == body);
  EXPECT_NE(view.text().find("* Received 26214407 bytes\r\n"), std::string::npos);
}

TEST_F(FetchToFile, aRetryReplacesWhatAnEarlierAttemptWrote) {
  ScriptedResponse broken;
  broken.pieces = {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nPARTIAL"};
  broken.keepOpen = true;  // then silence: the wait expires
  server.route("/doc.pdf", {broken, ScriptedResponse::ok("COMPLETE")});
  EXPECT_TRUE(save(server.base() + "/doc.pdf"));
  EXPECT_EQ(test::readFile(dir.file("00012 doc.pdf")), "COMPLETE");
  EXPECT_NE(view.text().find("[ X ] Timeout, retrying...\r\n"), std::string::npos);
}

TEST_F(FetchToFile, handlesStatusRedirectAndFileErrors) {
  server.route("/gone.zip", ScriptedResponse::make("HTTP/1.0 404 Not Found", "", "nope"));
  server.route("/moved.zip", ScriptedResponse::redirect("/files/here.zip"));
  server.route("/files/here.zip", ScriptedResponse::ok("ZIP"));

  EXPECT_FALSE(save(server.base() + "/gone.zip"));
  EXPECT_NE(view.text().find("[ X ] Not found\r\n"), std::string::npos);

  EXPECT_TRUE(save(server.base() + "/moved.zip"));
  EXPECT_EQ(link.view(), "00012 here.zip");

  const std::string missing = dir.path() + "/no-such-folder/";
  EXPECT_FALSE(save(server.base() + "/files/here.zip", false, missing));
  EXPECT_EQ(link.view(), "");
  EXPECT_NE(view.text().find("[ X ] Error creating file " + missing + "00012 here.zip\r\n"), std::string::npos);
}

TEST_F(FetchToFile, usesTheProxyOnlyWhenItServesMoreThanForumLinks) {
  HttpTestServer proxy;
  const std::string address = server.base() + "/a.png";
  server.route("/a.png", ScriptedResponse::ok("direct"));
  proxy.route(address, ScriptedResponse::ok("proxied"));
  configure([&](Settings& s) {
    s.useProxy = true;
    s.proxyForumLinksOnly = true;
    s.proxyAddress.assign("127.0.0.1:" + std::to_string(proxy.port()));
  });
  EXPECT_TRUE(save(address));
  EXPECT_EQ(test::readFile(dir.file("00012 a.png")), "direct");

  // Forum pages go through it all the same.
  auto page = makeJobContext();
  page->forumAddress.assign(address);
  EXPECT_EQ(client.fetchToMemory(*page, buffer, true), 7u);

  configure([](Settings& s) { s.proxyForumLinksOnly = false; });
  EXPECT_TRUE(save(address));
  EXPECT_EQ(test::readFile(dir.file("00012 a.png")), "proxied");
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(proxy.requestCount(), 2u);
}

TEST_F(FetchToFile, reportsAnUnresolvableNameWithTheErrorText) {
  EXPECT_FALSE(save("http:///x.png"));
  EXPECT_EQ(view.text(),
            "[ X ] Error resolving  , code:  (WSAHOST_NOT_FOUND - Authoritative Answer Host not found.)\r\n"
            "[ X ] Error downloading file http:///x.png\r\n");
}

}  // namespace
}  // namespace quillstash
