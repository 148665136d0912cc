// SPDX-License-Identifier: MIT
// quillstash-cli as a process against boards served on loopback: the output
// tree, whole files, log lines, requests and exit codes.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "board_server.h"
#include "boards.h"
#include "archive/topic_writer.h"
#include "platform/files.h"
#include "platform/tls.h"
#include "support/engine_boards.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace quillstash {
namespace {

namespace fs = std::filesystem;
using demo::BoardServer;
using demo::ClassicBoard;
using demo::Request;
using demo::Response;
using test::ProcessResult;
using test::readFile;
using test::runProcess;
using test::TempDir;

// Every file and folder below `root`, as paths relative to it, but the
// archive's own records (its manifest folder, the run's report and the
// index pages).
std::set<std::string> treeOf(const std::string& root) {
  std::set<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string path = fs::relative(entry.path(), root).generic_string();
    if (path.find(".quillstash") != std::string::npos || path.ends_with("/report.json") ||
        path.ends_with("/report.html") || path.ends_with("index.html")) {
      continue;
    }
    entries.insert(path);
  }
  return entries;
}

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

class DemoBoard : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<BoardServer>([this](const Request& request) { return board_.serve(request); });
    ASSERT_TRUE(server_->start());
    address_ = "http://127.0.0.1:" + std::to_string(server_->port()) + "/index.php";
  }

  ProcessResult cli(std::vector<std::string> arguments) { return runProcess(QUILLSTASH_CLI, arguments); }

  const ClassicBoard board_{demo::demoShape()};
  std::unique_ptr<BoardServer> server_;
  std::string address_;
  TempDir out_;
};

TEST_F(DemoBoard, archivesEveryForumTopicAndFileOnce) {
  // What an earlier run that was killed left: its .part files go, nothing else.
  const std::string chat = "Lantern Keepers/01 General Chat/";
  fs::create_directories(out_.file(chat + "kept.part"));
  for (const std::string& name : {chat + "00009 Cut short.html.part", std::string("Lantern Keepers/x.pdf.part"),
                                  chat + "notes.txt", chat + "00004 lamp.part.txt"}) {
    std::ofstream(out_.file(name)) << "left over";
  }
  ProcessResult run = cli({address_, out_.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.rfind("* Downloading file " + address_ + " ...\r\n", 0), 0u);
  EXPECT_NE(run.out.find("\r\n* Summary: 5 forums (0 pages failed), 31 topics saved, 0 incomplete, 0 failed, "
                         "4 files saved, 0 failed, "),
            std::string::npos);
  EXPECT_TRUE(run.out.ends_with("\r\n* Forum downloaded successfully\r\n")) << run.out.substr(run.out.size() - 200);
  EXPECT_EQ(run.err, "");

  std::set<std::string> tree = treeOf(out_.path());
  EXPECT_EQ(tree.count(chat + "00009 Cut short.html.part") + tree.count("Lantern Keepers/x.pdf.part"), 0u);
  for (const std::string& kept : {chat + "kept.part", chat + "notes.txt", chat + "00004 lamp.part.txt"}) {
    EXPECT_EQ(tree.count(kept), 1u) << kept;
  }
  for (const std::string& expected :
       {chat + "00001 Welcome to the Lantern Keepers.html", chat + "00001 lamp-manual.pdf", chat + "00001 dusk.png",
        chat + "00001 thumb7.png", chat + "00001 full7.png", chat + "00002 Which lighthouse is your favourite_.html",
        chat + "00003 Board rules_ read before posting.html",
        chat + "01 Introductions/00001 Hello from the harbour town.html",
        chat + "01 Introductions/00002 New keeper, first winter.html",
        chat + "02 Storm Stories/00001 The great gale of '98.html",
        std::string("Lantern Keepers/02 Lamps and Lenses/00023 Clockwork rotation (part 3).html"),
        std::string("Lantern Keepers/03 Charts & Soundings/00002 Old charts_ what do the symbols mean_.html")}) {
    EXPECT_EQ(tree.count(expected), 1u) << expected;
  }
  EXPECT_EQ(std::count_if(tree.begin(), tree.end(), [](const std::string& p) { return p.ends_with(".html"); }), 31);
  EXPECT_EQ(tree.count("Lantern Keepers/04 Keepers' Lodge"), 0u);  // members only

  // No page was fetched twice.
  std::vector<std::string> lines = server_->requestLines();
  std::set<std::string> distinct(lines.begin(), lines.end());
  EXPECT_EQ(distinct.size(), lines.size());
  EXPECT_EQ(lines.front(), "GET /index.php HTTP/1.1");

  std::string welcome = readFile(out_.file(chat + "00001 Welcome to the Lantern Keepers.html"));
  EXPECT_EQ(welcome.rfind("<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">"
                          "<META name=\"GENERATOR\" content=\"Quillstash 1.02\"><TITLE>Lantern Keepers :: View topic - "
                          "Welcome to the Lantern Keepers</TITLE></HEAD><BODY><TABLE width=\"100%\" border=\"1\">"
                          "<TR><TH width=\"20%\">Author</TH><TH>Message</TH></TR>",
                          0),
            0u);
  EXPECT_TRUE(welcome.ends_with("</TD></TR></TABLE></BODY></HTML>"));
  EXPECT_EQ(count(welcome, "<TR><TD valign=\"top\" align=\"left\">"), 12u);  // three pages of posts
  EXPECT_NE(welcome.find("<B>Please read the rules</B> and <I>introduce yourself</I> in the right forum. :)"),
            std::string::npos);
  EXPECT_NE(welcome.find("<tr><td><B>Ada Beacon wrote:</B></TD></TR><tr><td>Please read the rules</TD></TR></TABLE>"),
            std::string::npos);
  EXPECT_NE(welcome.find("Done! :D Here is my light at dusk:<BR><IMG src=\"00001 dusk.png\">"), std::string::npos);
  EXPECT_NE(welcome.find("<A HREF=\"00001 full7.png\"><IMG src=\"00001 thumb7.png\"></A> [/wink.gif]"),
            std::string::npos);
  EXPECT_NE(welcome.find("<A HREF=\"http://example.org/lighthouses\">the lighthouse registry</A>"), std::string::npos);
  EXPECT_NE(welcome.find("The lamp manual is attached: lamp-manual.pdf<BR>"), std::string::npos);
  for (const char* unsafe : {"script", "onclick", "style=", "class=", "tracking"}) {
    EXPECT_EQ(welcome.find(unsafe), std::string::npos) << unsafe;
  }
  EXPECT_EQ(readFile(out_.file(chat + "00001 dusk.png")), demo::pngPicture(0x40));
  EXPECT_EQ(readFile(out_.file(chat + "00001 full7.png")), demo::pngPicture(0xC0));
  EXPECT_EQ(readFile(out_.file(chat + "00001 lamp-manual.pdf")).rfind("%PDF-1.4", 0), 0u);
}

TEST_F(DemoBoard, logsInFirstAndThenSeesTheMembersForum) {
  ProcessResult run = cli({"--user", "keeper", "--password", "lantern", address_, out_.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("* Loading forum index...\r\n"), std::string::npos);
  EXPECT_NE(run.out.find("* Cookies:\r\n\tlk_session\r\n\tlk_user\r\n"), std::string::npos);
  std::set<std::string> tree = treeOf(out_.path());
  EXPECT_EQ(tree.count("Lantern Keepers/04 Keepers' Lodge/00002 Members' photo album.html"), 1u);

  std::vector<std::string> lines = server_->requestLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "POST /login.php HTTP/1.0"), lines.end());
}

// The same board over https: refused without the CA that signed its
// certificate (exit 1), archived byte for byte as over http with it, and
// archived with a warning when certificates are not checked.
TEST_F(DemoBoard, archivesTheBoardOverHttpsExactlyAsOverHttpWhenItsCaIsTrusted) {
  if (!platform::tlsServerAvailable()) GTEST_SKIP() << "no TLS server side on this system";
  test::TestPki pki;
  const demo::PemPair certificate = pki.server({"127.0.0.1", "localhost"});  // its images come from "localhost"
  BoardServer secure([this](const Request& request) { return board_.serve(request); });
  ASSERT_TRUE(secure.useTls(certificate.certificate, certificate.key));
  ASSERT_TRUE(secure.start());
  const std::string https = "https://127.0.0.1:" + std::to_string(secure.port()) + "/index.php";

  TempDir refusedOut;
  ProcessResult refused = cli({https, refusedOut.path()});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.out.find("[ X ] Secure connection to 127.0.0.1 failed: unknown issuer\r\n"), std::string::npos)
      << refused.out;

  TempDir secureOut;
  const std::vector<std::string> login = {"--user", "keeper", "--password", "lantern"};
  std::vector<std::string> arguments = login;
  arguments.insert(arguments.end(), {"--ca-file", pki.caFile(), https, secureOut.path()});
  ProcessResult run = cli(arguments);
  ASSERT_EQ(run.exitCode, 0) << run.out.substr(0, 2000);
  EXPECT_NE(run.out.find("* Cookies:\r\n\tlk_session\r\n\tlk_user\r\n"), std::string::npos);
  arguments = login;
  arguments.insert(arguments.end(), {address_, out_.path()});
  ASSERT_EQ(cli(arguments).exitCode, 0);
  const std::set<std::string> tree = treeOf(out_.path());
  EXPECT_EQ(treeOf(secureOut.path()), tree);
  EXPECT_EQ(tree.count("Lantern Keepers/04 Keepers' Lodge/00002 Members' photo album.html"), 1u);
  for (const std::string& entry : tree) {
    if (fs::is_regular_file(out_.file(entry))) {
      EXPECT_EQ(readFile(secureOut.file(entry)), readFile(out_.file(entry))) << entry;
    }
  }

  TempDir uncheckedOut;
  ProcessResult unchecked = cli({"--insecure", https, uncheckedOut.path()});
  EXPECT_EQ(unchecked.exitCode, 0);
  EXPECT_EQ(unchecked.out.rfind("[ ! ] Certificates are not checked", 0), 0u) << unchecked.out.substr(0, 200);
}

// The board binds its login form to the visit: a login counts only with the
// token of a form page and the visit cookie that page set.
TEST_F(DemoBoard, takesALoginOnlyWithTheCookieOfThePageThatShowedTheForm) {
  struct Visit {
    std::string cookie;  // "" when the page set none
    std::string token;
  };
  auto showForm = [&](const std::map<std::string, std::string>& cookies) {
    Request page;
    page.method = "GET";
    page.path = "/index.php";
    page.cookies = cookies;
    const Response answer = board_.serve(page);
    Visit visit;
    for (const auto& [name, value] : answer.headers) {
      if (name == "Set-Cookie" && value.rfind("lk_sid=", 0) == 0) visit.cookie = value.substr(7, value.find(';') - 7);
    }
    const std::string field = "name=\"form_token\" value=\"";
    const std::size_t at = answer.body.find(field);
    if (at != std::string::npos) visit.token = answer.body.substr(at + field.size(), 16);
    return visit;
  };
  auto logIn = [&](const std::map<std::string, std::string>& cookies, const std::string& token) {
    Request post;
    post.method = "POST";
    post.path = "/login.php";
    post.query = {{"username", "keeper"}, {"password", "lantern"}, {"form_token", token}};
    post.cookies = cookies;
    return board_.serve(post).status == 302;
  };

  const Visit first = showForm({});
  const Visit second = showForm({});
  ASSERT_EQ(first.cookie.size(), 16u);
  ASSERT_EQ(first.token.size(), 16u);
  EXPECT_NE(first.cookie, second.cookie);
  EXPECT_NE(first.token, second.token);
  // A later page of the same visit sets no new cookie and shows the same token.
  const Visit again = showForm({{"lk_sid", first.cookie}});
  EXPECT_EQ(again.cookie, "");
  EXPECT_EQ(again.token, first.token);

  EXPECT_TRUE(logIn({{"lk_sid", first.cookie}}, first.token));
  EXPECT_FALSE(logIn({}, first.token));                           // the form page's cookie not sent
  EXPECT_FALSE(logIn({{"lk_sid", second.cookie}}, first.token));  // another visit's cookie
  EXPECT_FALSE(logIn({{"lk_sid", first.cookie}}, ""));            // no token
}

TEST_F(DemoBoard, wrongPasswordLogsNoCookiesAndDownloadsAsAGuest) {
  ProcessResult run = cli({"-u", "keeper", "-p", "candle", address_, out_.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("[ X ] No cookies were returned by server\r\n"), std::string::npos);
  EXPECT_EQ(treeOf(out_.path()).count("Lantern Keepers/04 Keepers' Lodge"), 0u);
}

TEST_F(DemoBoard, listsTheForumsItWouldDownload) {
  ProcessResult run = cli({"--list-forums", address_});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::string base = address_.substr(0, address_.size() - std::string("index.php").size());
  EXPECT_EQ(run.out, "01 General Chat\t" + base + "viewforum.php?f=1\n02 Lamps and Lenses\t" + base +
                         "viewforum.php?f=2\n03 Charts & Soundings\t" + base + "viewforum.php?f=3\n");
  EXPECT_NE(run.err.find("* Received "), std::string::npos);
  EXPECT_EQ(server_->requestLines().size(), 1u);
}

TEST_F(DemoBoard, skipsTheForumsItIsToldTo) {
  TempDir logs;
  ProcessResult run = cli({"--skip", "2", "--no-attachments", "--no-external-images", "--log-file",
                           logs.file("run.log"), address_, out_.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readFile(logs.file("run.log")) + "\r\n", run.out);  // the final line's break is for the terminal
  std::set<std::string> tree = treeOf(out_.path());
  EXPECT_EQ(tree.count("Lantern Keepers/02 Lamps and Lenses"), 0u);
  EXPECT_EQ(tree.count("Lantern Keepers/03 Charts & Soundings"), 1u);
  EXPECT_EQ(tree.count("Lantern Keepers/01 General Chat/00001 lamp-manual.pdf"), 0u);
  EXPECT_EQ(tree.count("Lantern Keepers/01 General Chat/00001 dusk.png"), 0u);
  for (const std::string& line : server_->requestLines()) EXPECT_EQ(line.find("f=2"), std::string::npos) << line;
}

TEST_F(DemoBoard, goesThroughAProxyForPagesOnly) {
  // The proxy's handler runs on its server thread; the test reads the list.
  std::mutex proxiedMutex;
  std::vector<std::string> proxied;
  BoardServer proxy([&](const Request& request) {
    {
      std::lock_guard<std::mutex> lock(proxiedMutex);
      proxied.push_back(request.target);
    }
    Request forwarded = request;
    const std::string prefix = "http://127.0.0.1";
    if (forwarded.path.rfind(prefix, 0) != 0) return Response::notFound();
    forwarded.path = forwarded.path.substr(forwarded.path.find('/', prefix.size()));
    forwarded.serverPort = server_->port();
    return board_.serve(forwarded);
  });
  ASSERT_TRUE(proxy.start());
  ProcessResult run = cli({"--proxy", "127.0.0.1:" + std::to_string(proxy.port()), address_, out_.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  {
    std::lock_guard<std::mutex> lock(proxiedMutex);
    ASSERT_FALSE(proxied.empty());
    EXPECT_EQ(proxied.front(), address_);
  }
  for (const std::string& line : server_->requestLines()) {
    EXPECT_TRUE(line.find("download.php") != std::string::npos || line.find("/gallery/") != std::string::npos ||
                line.find("/pictures/") != std::string::npos)
        << "a page went around the proxy: " << line;
  }
  proxy.stop();
}

TEST(CliExit, usageErrorsUnreachableBoardsAndUnmakeableFolders) {
  ProcessResult usage = runProcess(QUILLSTASH_CLI, {"--bogus", "http://127.0.0.1/"});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_EQ(usage.err.rfind("quillstash-cli: unknown option --bogus\n", 0), 0u);
  EXPECT_EQ(usage.out, "");
  EXPECT_EQ(runProcess(QUILLSTASH_CLI, {"--skip", "1025", "http://127.0.0.1/"}).exitCode, 2);
  EXPECT_EQ(runProcess(QUILLSTASH_CLI, {}).exitCode, 2);
  // An engine that cannot be used is refused before any address is tried.
  ProcessResult engine = runProcess(QUILLSTASH_CLI, {"--engine", "nosuch", "http://127.0.0.1:1/"});
  EXPECT_EQ(engine.exitCode, 2);
  EXPECT_NE(engine.err.find("unknown forum engine nosuch"), std::string::npos) << engine.err;
  EXPECT_EQ(engine.out, "");
  ProcessResult profile = runProcess(QUILLSTASH_CLI, {"--profile", "/nonexistent/board.profile", "--list-engines"});
  EXPECT_EQ(profile.exitCode, 2);
  EXPECT_NE(profile.err.find("the engine profile cannot be used"), std::string::npos) << profile.err;
  ProcessResult help = runProcess(QUILLSTASH_CLI, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage: quillstash-cli", 0), 0u);
  ProcessResult version = runProcess(QUILLSTASH_CLI, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "quillstash-cli " QUILLSTASH_PROJECT_VERSION "\n");

  std::uint16_t closedPort;
  {
    BoardServer server([](const Request&) { return Response::notFound(); });
    ASSERT_TRUE(server.start());
    closedPort = server.port();
  }
  TempDir out;
  ProcessResult refused = runProcess(
      QUILLSTASH_CLI,
      {"--connect-retry-delay", "0", "http://127.0.0.1:" + std::to_string(closedPort) + "/", out.file("new")});
  EXPECT_EQ(refused.exitCode, 1) << "an index page that cannot be fetched is no success";
  EXPECT_NE(
      refused.out.find("[ X ] Error connecting to 127.0.0.1, code:  (WSAECONNREFUSED - The attempt to connect was "
                       "forcefully rejected.)\r\n"),
      std::string::npos);
  EXPECT_TRUE(refused.out.ends_with("[ X ] The forum's index page could not be fetched\r\n")) << refused.out;
  EXPECT_TRUE(treeOf(out.path()).empty()) << "no folder is made for a board that did not answer";

  ProcessResult noLogFolder =
      runProcess(QUILLSTASH_CLI, {"--log-file", out.file("missing/run.log"), "http://127.0.0.1:1/"});
  EXPECT_EQ(noLogFolder.exitCode, 2);
  EXPECT_NE(noLogFolder.err.find("the folder of the log file does not exist: " + out.file("missing")),
            std::string::npos);
}

TEST_F(DemoBoard, makesTheOutputFolderWithItsParentsAndNamesWhyOneCannotBeMade) {
  ProcessResult nested = cli({"--skip", "1,2", address_, out_.file("a/b")});
  EXPECT_EQ(nested.exitCode, 0) << nested.out;
  EXPECT_EQ(treeOf(out_.file("a/b")).count("Lantern Keepers/03 Charts & Soundings"), 1u);

  ASSERT_TRUE(platform::writeWholeFile(out_.file("plain").c_str(), "x", 1));
  ProcessResult blocked = cli({address_, out_.file("plain") + "/inside"});
  EXPECT_EQ(blocked.exitCode, 1);
  const std::string failure = "[ X ] Error creating directory " + out_.file("plain") + "/inside: ";
#ifdef _WIN32
  // The system's own text, worded differently by each Windows version.
  const std::size_t at = blocked.out.rfind(failure);
  EXPECT_TRUE(at != std::string::npos && blocked.out.size() > at + failure.size() + 2 &&
              blocked.out.ends_with("\r\n") && blocked.out.find("\r\n", at) == blocked.out.size() - 2)
      << blocked.out;
#else
  EXPECT_TRUE(blocked.out.ends_with(failure + "Not a directory\r\n")) << blocked.out;
#endif
}

TEST_F(DemoBoard, anInterruptEndsTheRunAtOnceLeavingOnlyWholeFiles) {
  if (!test::canInterruptProcesses()) GTEST_SKIP() << "no Ctrl-C can be sent to a child process here";
  std::atomic<int> topicPages{0};
  BoardServer slow([&](const Request& request) {
    // Topic pages after the first few answer slowly, so the interrupt meets a fetch in progress.
    if (request.path == "/viewtopic.php" && ++topicPages > 3) std::this_thread::sleep_for(std::chrono::seconds(3));
    return board_.serve(request);
  });
  ASSERT_TRUE(slow.start());
  auto started = std::chrono::steady_clock::now();
  ProcessResult run =
      runProcess(QUILLSTASH_CLI, {"http://127.0.0.1:" + std::to_string(slow.port()) + "/index.php", out_.path()},
                 std::chrono::seconds(20), std::chrono::milliseconds(1500));
  auto took = std::chrono::steady_clock::now() - started;
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_LT(took, std::chrono::seconds(4)) << "the run went on after the interrupt";
  EXPECT_EQ(run.out.find("* Forum downloaded successfully"), std::string::npos);
  for (const std::string& path : treeOf(out_.path())) {
    EXPECT_FALSE(path.ends_with(".part")) << path;
    if (path.ends_with(".html")) {
      EXPECT_TRUE(readFile(out_.file(path)).ends_with("</TABLE></BODY></HTML>")) << path;
    }
  }
  slow.stop();
}

// Interrupts at twenty moments spread over a run of the demo board whose every
// answer is a little slow: whatever is present afterwards is exactly what the
// uninterrupted run wrote, each saved file was logged, nothing follows the
// stop line and no temporary file is left.
TEST_F(DemoBoard, anInterruptAtAnyMomentLeavesOnlyFilesOfTheWholeRun) {
  BoardServer slow([&](const Request& request) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    return board_.serve(request);
  });
  ASSERT_TRUE(slow.start());
  const std::string address = "http://127.0.0.1:" + std::to_string(slow.port()) + "/index.php";
  TempDir whole;
  auto started = std::chrono::steady_clock::now();
  ProcessResult reference = runProcess(QUILLSTASH_CLI, {address, whole.path()});
  const auto runTime =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  ASSERT_EQ(reference.exitCode, 0) << reference.out;

  for (int moment = 1; moment <= 20; ++moment) {
    SCOPED_TRACE("interrupted at " + std::to_string(moment) + "/20 of the run");
    TempDir out;
    ProcessResult run =
        runProcess(QUILLSTASH_CLI, {address, out.path()}, std::chrono::seconds(30), runTime * moment / 21);
    ASSERT_FALSE(run.timedOut);
    const std::size_t stopLine = run.out.find("* Download stopped");
    if (run.exitCode == 0) continue;  // the interrupt came after the end
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out.find("* Forum downloaded successfully"), std::string::npos);
    if (stopLine != std::string::npos) {
      EXPECT_EQ(run.out.substr(stopLine), "* Download stopped\r\n");
    }
    for (const std::string& path : treeOf(out.path())) {
      EXPECT_FALSE(path.ends_with(".part")) << path;
      if (fs::is_directory(out.file(path))) continue;
      EXPECT_EQ(readFile(out.file(path)), readFile(whole.file(path))) << path;
      if (path.ends_with(".html")) {
        EXPECT_NE(run.out.find("* Saved: " + out.file(path) + "\r\n"), std::string::npos) << path;
      }
    }
  }
  slow.stop();
}

// A topic whose first page is missing is not written; one whose third page is
// missing is written with two pages; both count, and the run says so.
TEST_F(DemoBoard, failedTopicsAreCountedAndEndTheRunWithStatus3) {
  BoardServer gaps([&](const Request& request) {
    if (request.target == "/viewtopic.php?t=2" || request.target == "/viewtopic.php?t=1&start=10")
      return Response::notFound();
    return board_.serve(request);
  });
  ASSERT_TRUE(gaps.start());
  ProcessResult run =
      runProcess(QUILLSTASH_CLI, {"http://127.0.0.1:" + std::to_string(gaps.port()) + "/index.php", out_.path()});
  EXPECT_EQ(run.exitCode, 3) << run.out;
  const std::string chat = "Lantern Keepers/01 General Chat/";
  std::set<std::string> tree = treeOf(out_.path());
  EXPECT_EQ(tree.count(chat + "00002 Which lighthouse is your favourite_.html"), 0u);
  EXPECT_EQ(count(readFile(out_.file(chat + "00001 Welcome to the Lantern Keepers.html")),
                  "<TR><TD valign=\"top\" align=\"left\">"),
            10u);  // pages 1 and 2 of 3
  EXPECT_NE(run.out.find("[ X ] Topic not saved, its first page could not be fetched: " + out_.file(chat) +
                         "00002 Which lighthouse is your favourite_.html\r\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("[ X ] Topic incomplete, a later page could not be fetched: " + out_.file(chat) +
                         "00001 Welcome to the Lantern Keepers.html\r\n* Saved: "),
            std::string::npos);
  EXPECT_NE(
      run.out.find("* Summary: 5 forums (0 pages failed), 30 topics saved, 1 incomplete, 1 failed, 4 files saved, "),
      std::string::npos);
  EXPECT_TRUE(run.out.ends_with("\r\n[ X ] 2 items failed\r\n")) << run.out;
  EXPECT_EQ(run.out.find("* Forum downloaded successfully"), std::string::npos);
}

// On a full disk the topics that do not fit are reported, never left cut.
TEST_F(DemoBoard, aFullDiskEndsWithFailedItemsAndOnlyWholeFiles) {
#ifdef _WIN32
  GTEST_SKIP() << "a small file system is mounted with the Linux mount command";
#else
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  const std::string mountPoint = out_.file("small");
  fs::create_directory(mountPoint);
  if (std::system(("mount -t tmpfs -o size=40k tmpfs '" + mountPoint + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "tmpfs cannot be mounted here";
  }
  ProcessResult run = cli({address_, mountPoint});
  TempDir whole;
  ProcessResult reference = cli({address_, whole.path()});
  std::set<std::string> tree = treeOf(mountPoint);
  for (const std::string& path : tree) {
    EXPECT_FALSE(path.ends_with(".part")) << path;
    if (!fs::is_directory(mountPoint + "/" + path)) {
      EXPECT_EQ(readFile(mountPoint + "/" + path), readFile(whole.file(path))) << path;
    }
  }
  std::system(("umount '" + mountPoint + "'").c_str());
  EXPECT_EQ(run.exitCode, 3) << run.out;
  EXPECT_NE(run.out.find("[ X ] Error creating file "), std::string::npos);
  EXPECT_NE(run.out.find(" items failed\r\n"), std::string::npos);
#endif
}

// A board in ISO-8859-1: folder and file names and topic files come out in
// UTF-8, and the files say so.
TEST_F(DemoBoard, aLatin1BoardIsArchivedInUtf8) {
  auto replaceAll = [](std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
    return text;
  };
  BoardServer latin1([&](const Request& request) {
    Response response = board_.serve(request);
    if (response.body.find("<html") != std::string::npos || response.body.find("<HTML") != std::string::npos) {
      response.body = replaceAll(response.body, "Lantern Keepers", "Caf\xE9 des Phares");
      response.body = replaceAll(response.body, "Board rules",
                                 "R\xE8gles \x93"
                                 "du\x94 forum");
    }
    return response;
  });
  ASSERT_TRUE(latin1.start());
  ProcessResult run =
      runProcess(QUILLSTASH_CLI,
                 {"--skip", "2,3", "http://127.0.0.1:" + std::to_string(latin1.port()) + "/index.php", out_.path()});
  ASSERT_EQ(run.exitCode, 0) << run.out;
  const std::string chat = "Caf\xC3\xA9 des Phares/01 General Chat/";
  std::set<std::string> tree = treeOf(out_.path());
  ASSERT_EQ(tree.count(chat + "00003 R\xC3\xA8gles \xE2\x80\x9C"
                              "du\xE2\x80\x9D forum_ read before posting.html"),
            1u)
      << run.out;
  std::string rules = readFile(out_.file(chat + "00003 R\xC3\xA8gles \xE2\x80\x9C"
                                                "du\xE2\x80\x9D forum_ read before posting.html"));
  EXPECT_EQ(rules.rfind(std::string(kTopicHead) + "Caf\xC3\xA9 des Phares :: View topic - R\xC3\xA8gles", 0), 0u)
      << rules.substr(0, 300);
  EXPECT_NE(run.out.find("* Saved: " + out_.file(chat) + "00001 Welcome to the Caf\xC3\xA9 des Phares.html\r\n"),
            std::string::npos);
  for (const std::string& path : tree) {
    EXPECT_EQ(path.find('\xE9'), std::string::npos) << path;  // no Latin-1 byte left in a name
  }
}

struct EngineCase {
  const char* name;
  demo::Handler board;
  const char* index;
  std::vector<std::string> options;
  std::vector<std::string> files;
  const char* firstTopic;
  std::size_t firstTopicPosts;
};

class OtherEngines : public ::testing::TestWithParam<EngineCase> {};

TEST_P(OtherEngines, areArchivedWhole) {
  const EngineCase& engine = GetParam();
  BoardServer server(engine.board);
  ASSERT_TRUE(server.start());
  TempDir out;
  std::vector<std::string> arguments = engine.options;
  arguments.push_back("http://127.0.0.1:" + std::to_string(server.port()) + engine.index);
  arguments.push_back(out.path());
  ProcessResult run = runProcess(QUILLSTASH_CLI, arguments);
  ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
  std::set<std::string> tree = treeOf(out.path());
  std::set<std::string> expected(engine.files.begin(), engine.files.end());
  EXPECT_EQ(tree, expected) << run.out;
  std::string topic = readFile(out.file(engine.firstTopic));
  EXPECT_EQ(count(topic, "<TR><TD valign=\"top\" align=\"left\">"), engine.firstTopicPosts) << topic;
  EXPECT_NE(topic.find("First <B>post</B> here."), std::string::npos) << topic;
}

INSTANTIATE_TEST_SUITE_P(
    Boards, OtherEngines,
    ::testing::Values(
        EngineCase{
            "commentMarkers",
            test::commentMarkerBoard,
            "/index.php",
            {"--forum-link-pattern", "forumdisplay.php?$f=#|", "--forum-next-page", "&amp;page=#|",
             "--topic-link-pattern", "showthread.php?$t=#|", "--topic-next-page", "&amp;page=#|", "--author-prefix",
             "<!-- user info -->", "--author-suffix", "<!-- / user info -->", "--message-prefix", "<!-- message -->",
             "--message-suffix", "<!-- / message -->"},
            {"Harbour Board", "Harbour Board/01 Harbour News", "Harbour Board/01 Harbour News/00001 Fog signals.html",
             "Harbour Board/01 Harbour News/00002 Winter moorings.html", "Harbour Board/02 Ships & Boats",
             "Harbour Board/02 Ships & Boats/00001 The red schooner.html"},
            "Harbour Board/01 Harbour News/00001 Fog signals.html",
            3},
        EngineCase{"showTopic",
                   test::showTopicBoard,
                   "/index.php",
                   {},
                   {"Lighthouse Club", "Lighthouse Club/01 Harbour News",
                    "Lighthouse Club/01 Harbour News/00001 Fog signals.html",
                    "Lighthouse Club/01 Harbour News/00002 Winter moorings.html", "Lighthouse Club/02 Ships & Boats",
                    "Lighthouse Club/02 Ships & Boats/00001 The red schooner.html"},
                   "Lighthouse Club/01 Harbour News/00001 Fog signals.html",
                   3},
        EngineCase{"unknownShapes",
                   test::unknownShapeBoard,
                   "/main.cgi",
                   {},
                   {"Quay Talk", "Quay Talk/01 Harbour News", "Quay Talk/01 Harbour News/00001 Fog signals.html",
                    "Quay Talk/01 Harbour News/00002 Winter moorings.html", "Quay Talk/02 Ships & Boats",
                    "Quay Talk/02 Ships & Boats/00001 The red schooner.html"},
                   "Quay Talk/01 Harbour News/00001 Fog signals.html",
                   2}),
    [](const ::testing::TestParamInfo<EngineCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillstash
