// SPDX-License-Identifier: MIT
// The main window's commands against a real session and a board on loopback.
#include "app/main_window_model.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "board_server.h"
#include "boards.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;

TEST(DownloadTitle, cutsTheTitleAtItsThirdSpaceBeforeTheAddress) {
  EXPECT_EQ(downloadTitle("Quillstash 1.02", "http://a/"), "Quillstash 1.02 - http://a/");
  EXPECT_EQ(downloadTitle("one two three four five", "x"), "one two three - x");
  EXPECT_EQ(downloadTitle("one two three", "x"), "one two three - x");
  EXPECT_EQ(downloadTitle("Quillstash 1.02 - http://a/", "http://b/"), "Quillstash 1.02 - - http://b/");
  EXPECT_EQ(downloadTitle("", ""), " - ");
}

// A small board on loopback, its server, and a window model over a fresh session.
struct Fixture {
  demo::ClassicBoard board;
  demo::BoardServer server{[this](const demo::Request& request) { return board.serve(request); }};
  WindowLogView view;  // no widget attached: lines never wait to be drawn
  Session session{view, 5s};
  test::TempDir output;
  MainWindowModel model{session, view, "/opt/tools/quillstash.bin", output.path()};

  explicit Fixture(demo::BoardShape shape = smallShape()) : board(std::move(shape)) { EXPECT_TRUE(server.start()); }

  static demo::BoardShape smallShape() {
    demo::BoardShape shape;
    shape.forums = {{1, 0, 1, "News", "", false}, {2, 0, 1, "Chat", "", false}, {3, 0, 2, "Help", "", false}};
    shape.topics = {{1, 1, "First news", 2}, {2, 2, "First chat", 2}, {3, 3, "First help", 1}};
    shape.showcase = false;
    return shape;
  }
  std::string indexAddress() const { return "http://127.0.0.1:" + std::to_string(server.port()) + "/index.php"; }
  int requestsFor(const std::string& path) const {
    int count = 0;
    for (const auto& line : server.requestLines()) count += line.find(" " + path) != std::string::npos;
    return count;
  }
};

TEST(MainWindowModel, startsWithTheHomeFolderAndTheLogFileBesideTheProgram) {
  Fixture f;
  EXPECT_EQ(f.model.outputDirectory(), f.output.path() + "/");
  EXPECT_EQ(f.model.title(), "Quillstash 1.02");
  EXPECT_STREQ(f.model.downloadButtonText(), "&Download");
  EXPECT_TRUE(f.model.browseEnabled());
  EXPECT_TRUE(f.model.selectEnabled());
  EXPECT_EQ(f.session.log().logFilePath(), "/opt/tools/quillstash.log");
  EXPECT_FALSE(f.model.logToFile());

  WindowLogView view;
  Session session{view};
  MainWindowModel root(session, view, "/usr/bin/quillstash", "/");
  EXPECT_EQ(root.outputDirectory(), "/");  // already ends with a separator
  EXPECT_EQ(session.log().logFilePath(), "/usr/bin/quillstash.log");
}

TEST(MainWindowModel, theFirstDownloadPressStartsAndLaterPressesPauseAndResume) {
  Fixture f;
  f.model.editForumAddress(f.indexAddress());
  f.model.pressDownload();
  EXPECT_EQ(f.model.title(), "Quillstash 1.02 - " + f.indexAddress());
  EXPECT_STREQ(f.model.downloadButtonText(), "&Pause");
  EXPECT_FALSE(f.model.browseEnabled());
  EXPECT_FALSE(f.model.selectEnabled());
  EXPECT_TRUE(f.session.downloadStarted());

  f.model.pressDownload();
  EXPECT_STREQ(f.model.downloadButtonText(), "&Start");
  EXPECT_EQ(f.model.runState(), RunState::kPaused);
  f.model.pressDownload();
  EXPECT_STREQ(f.model.downloadButtonText(), "&Pause");
  f.session.waitForDownload();
  EXPECT_TRUE(f.session.downloadSucceeded());

  // After the download the button still toggles, and nothing restarts it.
  f.model.pressDownload();
  EXPECT_STREQ(f.model.downloadButtonText(), "&Start");
  f.model.pressDownload();
  EXPECT_STREQ(f.model.downloadButtonText(), "&Pause");
  EXPECT_EQ(f.model.title(), "Quillstash 1.02 - " + f.indexAddress());
  EXPECT_FALSE(f.model.pressSelect().showDialog);  // Select is off once a download started
}

TEST(MainWindowModel, selectWithoutAnAddressLogsItAndShowsNothing) {
  Fixture f;
  MainWindowModel::SelectResult result = f.model.pressSelect();
  EXPECT_FALSE(result.showDialog);
  EXPECT_EQ(f.view.text(), "* No address entered\r\n");
  EXPECT_TRUE(f.server.requestLines().empty());
}

TEST(MainWindowModel, selectFetchesTheIndexOnceUntilTheAddressIsEdited) {
  Fixture f;
  f.model.editForumAddress(f.indexAddress());
  MainWindowModel::SelectResult first = f.model.pressSelect();
  ASSERT_TRUE(first.showDialog);
  ASSERT_EQ(first.forums.size(), 3u);
  EXPECT_EQ(first.forums[1].name, "02 Chat");
  MainWindowModel::SelectResult second = f.model.pressSelect();
  EXPECT_EQ(f.requestsFor("/index.php"), 1);
  ASSERT_EQ(second.forums.size(), 3u);
  EXPECT_EQ(second.forums[2].address, first.forums[2].address);

  f.model.editForumAddress(f.indexAddress());  // typed again: fetched again
  EXPECT_TRUE(f.model.pressSelect().showDialog);
  EXPECT_EQ(f.requestsFor("/index.php"), 2);
}

TEST(MainWindowModel, aFailedSelectFetchOpensNoDialogAndTheNextSelectTriesAgain) {
  Fixture f;
  f.model.editForumAddress("http://127.0.0.1:" + std::to_string(f.server.port()) + "/missing.php");
  EXPECT_FALSE(f.model.pressSelect().showDialog);
  EXPECT_FALSE(f.model.pressSelect().showDialog);
  EXPECT_EQ(f.requestsFor("/missing.php"), 2);
}

TEST(MainWindowModel, untickedForumsAreSkippedByTheDownload) {
  Fixture f;
  f.model.editForumAddress(f.indexAddress());
  MainWindowModel::SelectResult result = f.model.pressSelect();
  ASSERT_EQ(result.forums.size(), 3u);
  DetectedForumsModel dialog(result.forums);
  dialog.setChecked(1, false);
  f.model.confirmForums(dialog);
  EXPECT_FALSE(f.model.pressSelect().forums[1].checked);  // shown unticked on reopening

  f.model.pressDownload();
  f.session.waitForDownload();
  EXPECT_EQ(f.requestsFor("/viewforum.php?f=2"), 0);
  EXPECT_GE(f.requestsFor("/viewforum.php?f=1"), 1);
  EXPECT_GE(f.requestsFor("/viewforum.php?f=3"), 1);
}

TEST(MainWindowModel, eachLoginPressStartsALoginWithTheFieldsAsTheyAre) {
  Fixture f;
  f.model.editForumAddress(f.indexAddress());
  f.model.setUserName("keeper");
  f.model.setPassword("lantern");
  f.model.pressLogin();
  f.session.waitForLogins();
  EXPECT_GT(f.session.cookies().size(), 0u) << f.view.text();
  f.model.pressLogin();  // never disabled: a second press logs in again
  f.session.waitForLogins();
  EXPECT_GE(f.requestsFor("/login.php"), 2);
}

TEST(MainWindowModel, theTrayTipIsTheTitleCutTo62Characters) {
  Fixture f;
  EXPECT_EQ(f.model.trayTip(), "Quillstash 1.02");
  f.model.editForumAddress(f.indexAddress() + "?" + std::string(80, 'q'));
  f.model.pressDownload();
  EXPECT_EQ(f.model.trayTip(), f.model.title().substr(0, 62));
  f.model.close();
}

TEST(MainWindowModel, closeEndsARunningDownloadAtOnce) {
  demo::BoardShape big = Fixture::smallShape();
  for (int i = 0; i < 200; ++i) big.topics.push_back({100 + i, 1 + i % 3, "Topic " + std::to_string(i), 8});
  big.postPadding = 4000;
  Fixture f(big);
  f.model.editForumAddress(f.indexAddress());
  f.model.pressDownload();
  auto deadline = std::chrono::steady_clock::now() + 20s;
  while (f.view.text().find("* Saved: ") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  f.model.pressDownload();  // paused: Close must lift the pause too
  auto start = std::chrono::steady_clock::now();
  f.model.close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(f.session.downloadFinished());
  EXPECT_FALSE(f.session.downloadSucceeded());  // it was cut short, not run to its end
  f.model.close();  // a second Close is harmless
}

}  // namespace
}  // namespace quillstash
