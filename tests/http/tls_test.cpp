// SPDX-License-Identifier: MIT
// Fetches over https against loopback servers whose certificates a test CA,
// made at test time, signed.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "http/fetch.h"
#include "http/login.h"
#include "http_world.h"
#include "platform/tls.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;
using test::HttpTestServer;
using test::ScriptedResponse;

class Https : public ::testing::Test, protected test::HttpWorld {
 protected:
  void SetUp() override {
    if (!platform::tlsServerAvailable()) GTEST_SKIP() << "no TLS server side on this system";
  }

  // A TLS server with `pair` as its certificate.
  std::unique_ptr<HttpTestServer> tlsServer(const demo::PemPair& pair) {
    auto s = std::make_unique<HttpTestServer>();
    EXPECT_TRUE(s->useTls(pair.certificate, pair.key));
    return s;
  }

  void trustTestCa() {
    configure([&](Settings& s) { s.caFile.assign(pki.caFile()); });
  }

  std::size_t fetch(const std::string& address) {
    job->forumAddress.assign(address);
    return client.fetchToMemory(*job, page, false);
  }

  void markLog() { mark_ = view.text().size(); }
  std::string logSince() const { return view.text().substr(mark_); }

  std::size_t mark_ = 0;
  test::TestPki pki;
  std::unique_ptr<JobContext> job = makeJobContext();
  PageBlock page;
  HttpClient client{settings, log, cookies, 1s};
};

TEST_F(Https, fetchesWithTheCaFileAndSendsTheSameRequestAsOverHttp) {
  auto secure = tlsServer(pki.server());
  secure->route("/a?b=1", ScriptedResponse::ok("<html>hello</html>"));
  server.route("/a?b=1", ScriptedResponse::ok("<html>hello</html>"));
  trustTestCa();

  ASSERT_EQ(fetch(secure->base() + "/a?b=1"), 18u) << view.text();
  EXPECT_STREQ(page.text(), "<html>hello</html>");
  ASSERT_EQ(fetch(server.base() + "/a?b=1"), 18u);
  ASSERT_EQ(secure->requestCount(), 1u);
  // The same request but for the port its Host line names.
  std::string overHttp = server.requests()[0];
  const std::string port = std::to_string(server.port());
  overHttp.replace(overHttp.find(port), port.size(), std::to_string(secure->port()));
  EXPECT_EQ(secure->requests()[0], overHttp);
}

// Each refusal names its reason, ends the fetch at once (no retries, no
// request sent) and leaves nothing delivered.
TEST_F(Https, refusesCertificatesThatDoNotCheckOutAndSaysWhy) {
  trustTestCa();
  struct Case {
    demo::PemPair certificate;
    const char* reason;
  };
  const Case cases[] = {
      {pki.server({"127.0.0.1"}, -2 * 86400, -86400), "certificate has expired"},
      {pki.server({"forum.example", "127.0.0.2"}), "certificate is for another host"},
      {test::TestPki::strangerServer(), "unknown issuer"},
  };
  for (const Case& c : cases) {
    auto secure = tlsServer(c.certificate);
    secure->route("/", ScriptedResponse::ok("secret"));
    markLog();
    EXPECT_EQ(fetch(secure->base() + "/"), 0u);
    EXPECT_TRUE(job->secureConnectionRefused);
    EXPECT_STREQ(page.text(), "");
    EXPECT_EQ(secure->requestCount(), 0u);
    EXPECT_EQ(logSince(), std::string("[ X ] Secure connection to 127.0.0.1 failed: ") + c.reason + "\r\n") << c.reason;
  }

  // Without the CA file the test CA is unknown; with checks off anything goes.
  auto secure = tlsServer(pki.server());
  secure->route("/", ScriptedResponse::ok("open"));
  configure([](Settings& s) { s.caFile.clear(); });
  markLog();
  EXPECT_EQ(fetch(secure->base() + "/"), 0u);
  EXPECT_EQ(logSince(), "[ X ] Secure connection to 127.0.0.1 failed: unknown issuer\r\n");
  configure([](Settings& s) { s.skipCertificateCheck = true; });
  EXPECT_EQ(fetch(secure->base() + "/"), 4u);

  configure([](Settings& s) {
    s.skipCertificateCheck = false;
    s.caFile.assign("/nonexistent/ca.pem");
  });
  markLog();
  EXPECT_EQ(fetch(secure->base() + "/"), 0u);
  EXPECT_EQ(logSince(), "[ X ] cannot read the CA file /nonexistent/ca.pem\r\n");
}

TEST_F(Https, followsRedirectsBetweenTheSchemesWithEachOnesPorts) {
  trustTestCa();
  auto secure = tlsServer(pki.server());
  const std::string secureBase = secure->base();
  server.route("/old", ScriptedResponse::redirect(secureBase + "/new"));
  secure->route("/new", ScriptedResponse::redirect("/newer"));  // stays on https and its port
  secure->route("/newer", ScriptedResponse::redirect(server.base() + "/back"));
  server.route("/back", ScriptedResponse::ok("home"));
  EXPECT_EQ(fetch(server.base() + "/old"), 4u) << view.text();
  EXPECT_EQ(job->forumAddress.view(), server.base() + "/back");
  EXPECT_NE(view.text().find("- Moved to " + secureBase + "/newer\r\n"), std::string::npos) << view.text();
  EXPECT_EQ(secure->requestCount(), 2u);
}

// A body of many TLS records, split unevenly by the server, arrives whole
// into a file; the file's server is on another port than the page's.
TEST_F(Https, streamsALargeFileFromAnotherPortWhole) {
  trustTestCa();
  auto secure = tlsServer(pki.server());
  std::string body(700000, '\0');
  std::mt19937 random(7);
  for (char& c : body) c = static_cast<char>(random());
  ScriptedResponse answer = ScriptedResponse::make("HTTP/1.0 200 OK", "", "", false);
  answer.pieces = {"HTTP/1.0 200 OK\r\n\r\n" + body.substr(0, 5), body.substr(5, 300000), body.substr(300005)};
  answer.pauseBetweenPieces = 5ms;
  secure->route("/files/big.bin", answer);
  test::TempDir dir;
  FixedText<8192> link;
  TextWriter out = link.writer();
  job->forumAddress.assign(secure->base() + "/files/big.bin");
  ASSERT_EQ(client.fetchToFile(*job, page, out, false, dir.path() + "/", 3), FileOutcome::kSaved) << view.text();
  out.terminate();
  EXPECT_EQ(test::readFile(dir.file("00003 big.bin")), body);
}

// The limits of a fetch hold over TLS as over http: the minimum rate, the
// call's deadline (which also bounds the handshake) and a stop request.
TEST_F(Https, aTrickleAStalledHandshakeAndAStopEachEndTheFetch) {
  trustTestCa();
  configure([](Settings& s) {
    s.receiveRetries = 0;
    s.minRateTimeS = 1;
  });
  auto secure = tlsServer(pki.server());
  ScriptedResponse trickle = ScriptedResponse::raw("HTTP/1.0 200 OK\r\n\r\n");
  trickle.pieces.push_back("x");
  trickle.pauseBetweenPieces = 200ms;  // far under 1 KiB/s, yet never silent for the receive time-out
  trickle.repeatLastPiece = true;
  secure->route("/trickle", trickle);
  EXPECT_EQ(fetch(secure->base() + "/trickle"), 0u);
  EXPECT_NE(view.text().find("[ X ] Transfer too slow: under 1024 bytes/s for 1 s. Operation aborted\r\n"),
            std::string::npos)
      << view.text();

  // A plain server never answers the handshake. The receive time-out is long;
  // the deadline of the call ends the handshake.
  HttpClient patient(settings, log, cookies, 60s);
  configure([](Settings& s) {
    s.minRateTimeS = 0;
    s.fetchDeadlineS = 1;
  });
  const std::string stalled = "https://127.0.0.1:" + std::to_string(server.port()) + "/";
  job->forumAddress.assign(stalled);
  markLog();
  EXPECT_EQ(patient.fetchToMemory(*job, page, false), 0u);
  // A slow machine may spend the second before the handshake starts; either
  // way the deadline ends the call.
  const std::string ended = logSince();
  EXPECT_TRUE(ended.find("[ X ] Secure connection to 127.0.0.1 failed: handshake timed out\r\n") != std::string::npos ||
              ended.find("[ X ] Time limit of 1 s passed") != std::string::npos)
      << ended;

  // Without a deadline, a stop request ends the handshake quietly.
  configure([](Settings& s) { s.fetchDeadlineS = 0; });
  job->forumAddress.assign(stalled);
  markLog();
  auto stopper = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(300ms);
    log.requestStop();
  });
  EXPECT_EQ(patient.fetchToMemory(*job, page, false), 0u);
  stopper.get();
  EXPECT_EQ(logSince().find("Secure connection"), std::string::npos) << logSince();
}

TEST_F(Https, tunnelsThroughTheProxyAndSendsThePathAlone) {
  trustTestCa();
  auto secure = tlsServer(pki.server());
  secure->route("/page", ScriptedResponse::ok("tunnelled"));
  server.allowTunnels();
  configure([&](Settings& s) {
    s.useProxy = true;
    s.proxyAddress.assign("127.0.0.1:" + std::to_string(server.port()));
  });
  ASSERT_EQ(fetch(secure->base() + "/page"), 9u) << view.text();
  const std::string target = "127.0.0.1:" + std::to_string(secure->port());
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(server.requests()[0],
            "CONNECT " + target + " HTTP/1.0\r\nHost: " + target + "\r\nUser-Agent: Quillstash/1.02\r\n\r\n");
  ASSERT_EQ(secure->requestCount(), 1u);
  EXPECT_EQ(secure->requests()[0].substr(0, 20), "GET /page HTTP/1.1\r\n");
}

// The form's hidden token is only good together with the session cookie the
// form page set: the login sends that cookie, over https, with a custom agent.
TEST_F(Https, logsInWithTheCookieTheFormPageSet) {
  trustTestCa();
  configure([](Settings& s) { s.userAgent.assign("Archiver/9"); });
  auto secure = tlsServer(pki.server());
  secure->route("/forum/index.php",
                ScriptedResponse::make("HTTP/1.0 200 OK", "Set-Cookie: sess=form42; path=/forum; Secure\r\n",
                                       "<form action=\"login.php\" method=\"post\"><input type=\"hidden\" "
                                       "name=\"token\" value=\"t42\"><input type=\"text\" name=\"u\">"
                                       "<input type=\"password\" name=\"p\"></form>"));
  secure->route("/forum/login.php", ScriptedResponse::raw("HTTP/1.0 302 Found\r\nSet-Cookie: user=alice; path=/\r\n"
                                                          "Location: index.php\r\n\r\n"));
  LoginJob login(settings, log, cookies, 1s);
  login.run("alice", "pw", secure->base() + "/forum/index.php");
  const auto requests = secure->requests();
  ASSERT_EQ(requests.size(), 2u) << view.text();
  EXPECT_EQ(requests[1],
            "POST /forum/login.php HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: "
            "application/x-www-form-urlencoded\r\nAccept: */*\r\nUser-Agent: Archiver/9\r\n"
            "Connection: Close\r\nAccept-Encoding: deflate\r\nCookie: sess=form42\r\n"
            "Content-Length: 22\r\n\r\ntoken=t42&u=alice&p=pw");
  EXPECT_EQ(cookies.requestLine({"127.0.0.1", "/forum/x", true}, CookieJar::Clock::now()),
            "Cookie: sess=form42; user=alice\r\n");
  // The secure cookie never goes over plain http.
  EXPECT_EQ(cookies.requestLine({"127.0.0.1", "/forum/x", false}, CookieJar::Clock::now()), "Cookie: user=alice\r\n");
}

}  // namespace
}  // namespace quillstash
