// SPDX-License-Identifier: MIT
#include "http/login.h"

#include <gtest/gtest.h>

#include "http_world.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "support/http_test_server.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;
using test::HttpTestServer;
using test::ScriptedResponse;

const std::string kSearchForm =
    "<form action=\"search.php\" method=\"get\"><input type=\"text\" name=\"q\"><input type=\"submit\" "
    "value=\"Go\"></form>\n";

const std::string kLoginFields =
    "<input type=\"text\" name=\"user\"><input type=\"password\" name=\"pass\">"
    "<input type=\"checkbox\" name=\"keep\" value=\"on\"><input type=\"hidden\" name=\"next\" value=\"index.php\">"
    "<input type=\"submit\" name=\"go\" value=\"Log in\">"
    "<select name=\"lang\"><option value=\"de\">Deutsch<option value=\"en\" selected>English</select></form>";

const std::string kCookieAnswer =
    "HTTP/1.0 302 Found\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; expires=Thu, 01 Jan 2037 00:00:00 GMT\r\n"
    "Location: index.php\r\n\r\n";

const std::string kLoginHeaders =
    "Host: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\nAccept: */*\r\n"
    "User-Agent: Quillstash/1.02\r\nConnection: Close\r\nAccept-Encoding: deflate\r\n";

class Login : public ::testing::Test, protected test::HttpWorld {
 protected:
  void frontPage(const std::string& formTag) {
    frontPageBody = "<html><body>" + kSearchForm + formTag + kLoginFields;
    server.route("/forum/index.php", ScriptedResponse::ok(frontPageBody));
  }

  void run(const std::string& user = "alice", const std::string& password = "p&ss w=rd") {
    LoginJob job(settings, log, cookies, 1s);
    job.run(user, password, server.base() + "/forum/index.php");
  }

  // The Cookie line a later forum page gets.
  std::string jarLine() const {
    return cookies.requestLine({"127.0.0.1", "/forum/topic.php", false}, CookieJar::Clock::now());
  }

  void presetCookie(const std::string& pair) {
    cookies.storeFromHeader("HTTP/1.0 200 OK\r\nSet-Cookie: " + pair + "; path=/\r\n", {"127.0.0.1", "/", false},
                            CookieJar::Clock::now());
  }

  std::string frontPageBody;
};

TEST_F(Login, postsThePasswordFormAfterASearchFormAndKeepsTheCookies) {
  frontPage("<form action=\"login.php\" method=\"post\">");
  ScriptedResponse answer = ScriptedResponse::raw(kCookieAnswer + "body that is never read");
  answer.keepOpen = true;  // the header alone ends the exchange
  server.route("/forum/login.php", answer);
  run();
  EXPECT_EQ(view.text().find("Timeout"), std::string::npos);  // the header alone ended the exchange

  const std::string body = "user=alice&pass=p%26ss+w%3Drd&keep=on&next=index.php&go=Log&lang=en";
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1], "POST /forum/login.php HTTP/1.0\r\n" + kLoginHeaders +
                             "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  EXPECT_EQ(jarLine(), "Cookie: b=2; a=1\r\n");
  EXPECT_EQ(view.text(), "* Loading forum index...\r\n* Downloading file " + server.base() +
                             "/forum/index.php ...\r\n* Received " + std::to_string(frontPageBody.size()) +
                             " bytes\r\n* Sending login information...\r\n* Cookies:\r\n\ta\r\n\tb\r\n");

  // Later forum pages carry the cookies.
  server.route("/forum/topic.php", ScriptedResponse::ok("topic"));
  HttpClient client(settings, log, cookies, 1s);
  auto page = makeJobContext();
  page->forumAddress.assign(server.base() + "/forum/topic.php");
  PageBlock block;
  EXPECT_EQ(client.fetchToMemory(*page, block, true), 5u);
  EXPECT_NE(server.requests()[2].find("\r\nCookie: b=2; a=1\r\n"), std::string::npos);  // longer path first
}

TEST_F(Login, getAppendsTheFieldsToAnActionThatAlreadyHasAQuery) {
  frontPage("<form action=\"login.php?do=login\" method=\"get\">");
  server.route("/forum/login.php?do=login&user=alice&pass=secret&keep=on&next=index.php&go=Log&lang=en",
               ScriptedResponse::raw(kCookieAnswer));
  run("alice", "secret");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1],
            "GET /forum/login.php?do=login&user=alice&pass=secret&keep=on&next=index.php&go=Log&lang=en "
            "HTTP/1.0\r\n" +
                kLoginHeaders + "\r\n");
  EXPECT_EQ(jarLine(), "Cookie: b=2; a=1\r\n");
}

TEST_F(Login, dropsSessionIdsFromTheActionAndKeepsTheFrontPagesHost) {
  frontPage("<form method=get action=\"http://elsewhere.example/forum/login.php?sid=0a1b2c&amp;do=login\">");
  server.route("/forum/login.php?&do=login&user=bob&pass=pw&keep=on&next=index.php&go=Log&lang=en",
               ScriptedResponse::raw(kCookieAnswer));
  run("bob", "pw");
  ASSERT_EQ(server.requestCount(), 2u);
  EXPECT_EQ(jarLine(), "Cookie: b=2; a=1\r\n");
}

TEST_F(Login, postsWhenTheFormNamesNoMethodAndReadsUnquotedActions) {
  frontPage("<form action=login.php name=login>");
  server.route("/forum/login.php", ScriptedResponse::raw(kCookieAnswer));
  run();
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].substr(0, 32), "POST /forum/login.php HTTP/1.0\r\n");
}

TEST_F(Login, reportsAMissingFormAndMissingCookiesAndLeavesNoCookie) {
  server.route("/forum/index.php", ScriptedResponse::ok("<html>" + kSearchForm + "</html>"));
  presetCookie("old=1");
  run();
  EXPECT_EQ(jarLine(), "");
  EXPECT_NE(view.text().find("[ X ] Login form was not found\r\n"), std::string::npos);

  frontPage("<form action=\"login.php\" method=\"post\">");
  server.route("/forum/login.php", ScriptedResponse::raw("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nwrong"));
  run();
  EXPECT_EQ(jarLine(), "");
  const std::string& log = view.text();
  EXPECT_EQ(log.substr(log.size() - 42), "[ X ] No cookies were returned by server\r\n");
}

TEST_F(Login, keepsEveryCookieAndSendsOnlyWholeOnesThatFitTheLine) {
  frontPage("<form action=\"login.php\" method=\"post\">");
  std::string answer = "HTTP/1.0 200 OK\r\n";
  for (char name = 'a'; name <= 'l'; ++name)
    answer += "Set-Cookie: " + std::string(1, name) + "=" + std::string(1000, 'v') + "; path=/\r\n";
  server.route("/forum/login.php", ScriptedResponse::raw(answer + "\r\n"));
  run();
  EXPECT_EQ(cookies.size(), 12u);
  EXPECT_NE(view.text().find("\ta\r\n\tb\r\n\tc\r\n\td\r\n\te\r\n\tf\r\n\tg\r\n\th\r\n\ti\r\n\tj\r\n\tk\r\n\tl\r\n"),
            std::string::npos);
  const std::string line = jarLine();
  EXPECT_LE(line.size(), CookieJar::kMaxLineLength);
  EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
  EXPECT_EQ(line.substr(0, 10), "Cookie: a=");
  EXPECT_EQ(line.find("h="), std::string::npos);  // 7 pairs of 1002 characters fit, the 8th does not
  EXPECT_NE(line.find("; g=" + std::string(1000, 'v') + "\r\n"), std::string::npos);
}

// Run under ThreadSanitizer: a login empties and refills the cookie jar while
// a download fetches pages on another thread; every request carries the old
// cookies, none, or all the login's.
TEST_F(Login, runsBesideADownloadAndEveryRequestCarriesAWholeCookieLine) {
  frontPage("<form action=\"login.php\" method=\"post\">");
  server.route("/forum/login.php", ScriptedResponse::raw(kCookieAnswer));
  server.route("/forum/page.php", ScriptedResponse::ok("page"));
  presetCookie("old=0");

  std::atomic<bool> loginDone{false};
  std::thread download([&] {
    HttpClient client(settings, log, cookies, 1s);
    auto job = makeJobContext();
    PageBlock block(65536);
    for (int i = 0; i < 200 && !(loginDone.load() && i > 5); ++i) {
      job->forumAddress.assign(server.base() + "/forum/page.php");
      EXPECT_EQ(client.fetchToMemory(*job, block, true), 4u);
    }
  });
  std::thread login([&] {
    run();
    loginDone.store(true);
  });
  login.join();
  download.join();

  EXPECT_EQ(jarLine(), "Cookie: b=2; a=1\r\n");
  for (const std::string& request : server.requests()) {
    if (request.find("/forum/page.php") == std::string::npos) continue;
    const std::size_t at = request.find("Cookie: ");
    if (at == std::string::npos) continue;
    const std::string line = request.substr(at, request.find("\r\n", at) + 2 - at);
    EXPECT_TRUE(line == "Cookie: old=0\r\n" || line == "Cookie: b=2; a=1\r\n") << line;
  }
}

TEST_F(Login, aTricklingAnswerEndsByTheMinimumRateOrTheDeadline) {
  frontPage("<form action=\"login.php\" method=\"post\">");
  ScriptedResponse trickle = ScriptedResponse::raw("HTTP/1.0 302 Found\r\n");
  trickle.pieces.push_back("X");
  trickle.pauseBetweenPieces = 200ms;  // far under 1 KiB/s, yet never silent for the receive time-out
  trickle.repeatLastPiece = true;
  server.route("/forum/login.php", trickle);
  // A run past its budget is a failure; a stop request then ends it.
  auto runWithin = [&] {
    auto done = std::async(std::launch::async, [&] { run(); });
    if (done.wait_for(20s) != std::future_status::ready) {
      ADD_FAILURE() << "login still running after 20 s";
      log.requestStop();
    }
  };

  configure([](Settings& s) {
    s.minRateTimeS = 1;
    s.fetchDeadlineS = 600;
  });
  runWithin();
  EXPECT_NE(view.text().find("[ X ] Transfer too slow: under 1024 bytes/s for 1 s. Operation aborted\r\n"),
            std::string::npos)
      << view.text();

  configure([](Settings& s) {
    s.minRateTimeS = 0;
    s.fetchDeadlineS = 2;
  });
  runWithin();
  EXPECT_NE(view.text().find("[ X ] Time limit of 2 s passed, giving up " + server.base() + "/forum/login.php\r\n"),
            std::string::npos)
      << view.text();
}

}  // namespace
}  // namespace quillstash
