// SPDX-License-Identifier: MIT
// The main window's commands against a real session and a board on loopback.
#include "app/main_window_model.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "board_server.h"
#include "boards.h"
#include "engine_board.h"
#include "platform/path.h"
#include "support/http_test_server.h"
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
  MainWindowModel model{session, view, "/var/state/quillstash/quillstash.log", output.path()};

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
  // Select as the window gives it: pressed, then answered once its fetch has ended.
  MainWindowModel::SelectResult select() {
    MainWindowModel::SelectResult result = model.pressSelect();
    if (!result.pending) return result;
    session.waitForIndexFetch();
    return model.finishSelect();
  }
};

TEST(MainWindowModel, startsWithTheHomeFolderAndTheGivenLogFile) {
  Fixture f;
  EXPECT_EQ(f.model.outputDirectory(), f.output.path() + platform::kPathSeparator);
  EXPECT_EQ(f.model.title(), "Quillstash 1.02");
  EXPECT_STREQ(f.model.downloadButtonText(), "&Download");
  EXPECT_TRUE(f.model.browseEnabled());
  EXPECT_TRUE(f.model.selectEnabled());
  EXPECT_EQ(f.session.log().logFilePath(), "/var/state/quillstash/quillstash.log");
  EXPECT_FALSE(f.model.logToFile());

  WindowLogView view;
  Session session{view};
  MainWindowModel root(session, view, "", "/");
  EXPECT_EQ(root.outputDirectory(), "/");  // already ends with a separator
  // No state folder: ticking the box says that nothing can be written.
  root.setLogToFile(true);
  EXPECT_EQ(view.text().rfind("[ X ] No folder for the log file", 0), 0u) << view.text();
}

TEST(MainWindowModel, aDownloadPausesResumesEndsAndStartsAgain) {
  Fixture f;
  f.model.editForumAddress(f.indexAddress());
  f.model.pressDownload();
  EXPECT_EQ(f.model.title(), "Quillstash 1.02 - " + f.indexAddress());
  EXPECT_EQ(f.model.windowTitle(), "Running - Quillstash 1.02 - " + f.indexAddress());
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

  // The end returns the window to its idle state; the next press runs again.
  EXPECT_TRUE(f.model.pollDownloadEnd());
  EXPECT_FALSE(f.model.pollDownloadEnd());
  EXPECT_STREQ(f.model.downloadButtonText(), "&Download");
  EXPECT_TRUE(f.model.selectEnabled());
  EXPECT_EQ(f.model.windowTitle(), "Done - Quillstash 1.02 - " + f.indexAddress());
  MainWindowModel::ProgressView done = f.model.progress();
  EXPECT_EQ(done.counts, "Forums: 3 of 3 done    Topics: 3 of 3 saved");
  EXPECT_EQ(done.percent, 100);
  EXPECT_EQ(done.summary.rfind("Done: 3 forums, 3 topics saved, ", 0), 0u) << done.summary;
  const int indexFetches = f.requestsFor("/index.php");
  f.model.pressDownload();
  EXPECT_STREQ(f.model.downloadButtonText(), "&Pause");
  f.session.waitForDownload();
  EXPECT_TRUE(f.model.pollDownloadEnd());
  EXPECT_TRUE(f.session.downloadSucceeded());
  EXPECT_EQ(f.requestsFor("/index.php"), indexFetches + 1);
  EXPECT_EQ(f.model.title(), "Quillstash 1.02 - " + f.indexAddress());  // not "... - - ..."
}

TEST(ProgressText, formatsTimesAndSizes) {
  EXPECT_EQ(formatElapsed(std::chrono::milliseconds(7999)), "0:07");
  EXPECT_EQ(formatElapsed(std::chrono::minutes(12) + std::chrono::seconds(34)), "12:34");
  EXPECT_EQ(formatElapsed(std::chrono::hours(1) + std::chrono::minutes(2) + std::chrono::seconds(3)), "1:02:03");
  EXPECT_EQ(formatBytes(1023), "1023 bytes");
  EXPECT_EQ(formatBytes(1536), "1.5 KB");
  EXPECT_EQ(formatBytes(3u * 1024 * 1024 * 1024), "3.0 GB");
}

TEST(MainWindowModel, selectWithoutAnAddressLogsItAndShowsNothing) {
  Fixture f;
  MainWindowModel::SelectResult result = f.select();
  EXPECT_FALSE(result.showDialog);
  EXPECT_EQ(f.view.text(), "* No address entered\r\n");
  EXPECT_TRUE(f.server.requestLines().empty());
}

TEST(MainWindowModel, anAddressThatCannotBeFetchedIsRefusedBeforeAnythingStarts) {
  Fixture f;
  f.model.editForumAddress("http://127.0.0.1:" + std::to_string(f.server.port()) + "0000/index.php");
  EXPECT_FALSE(f.model.pressSelect().showDialog);
  f.model.pressDownload();
  EXPECT_FALSE(f.session.downloadStarted());
  EXPECT_EQ(f.model.runState(), RunState::kIdle);
  EXPECT_EQ(f.model.title(), "Quillstash 1.02");
  const std::string line = "[ X ] the port of the forum address must be a number from 1 to 65535\r\n";
  EXPECT_EQ(f.view.text(), line + line);
  EXPECT_TRUE(f.server.requestLines().empty());
}

TEST(MainWindowModel, selectFetchesTheIndexOnceUntilTheAddressIsEdited) {
  Fixture f;
  f.model.editForumAddress(f.indexAddress());
  MainWindowModel::SelectResult first = f.select();
  ASSERT_TRUE(first.showDialog);
  ASSERT_EQ(first.forums.size(), 3u);
  EXPECT_EQ(first.forums[1].name, "02 Chat");
  MainWindowModel::SelectResult second = f.model.pressSelect();  // answered at once from the page held
  EXPECT_FALSE(second.pending);
  EXPECT_EQ(f.requestsFor("/index.php"), 1);
  ASSERT_EQ(second.forums.size(), 3u);
  EXPECT_EQ(second.forums[2].address, first.forums[2].address);

  f.model.editForumAddress(f.indexAddress());  // typed again: fetched again
  EXPECT_TRUE(f.select().showDialog);
  EXPECT_EQ(f.requestsFor("/index.php"), 2);
}

TEST(MainWindowModel, aFailedSelectFetchOpensNoDialogAndTheNextSelectTriesAgain) {
  Fixture f;
  f.model.editForumAddress("http://127.0.0.1:" + std::to_string(f.server.port()) + "/missing.php");
  EXPECT_FALSE(f.select().showDialog);
  EXPECT_FALSE(f.select().showDialog);
  EXPECT_EQ(f.requestsFor("/missing.php"), 2);
}

TEST(MainWindowModel, untickedForumsAreSkippedByTheDownload) {
  Fixture f;
  f.model.editForumAddress(f.indexAddress());
  MainWindowModel::SelectResult result = f.select();
  ASSERT_EQ(result.forums.size(), 3u);
  DetectedForumsModel dialog(result.forums);
  dialog.setChecked(1, false);
  f.model.confirmForums(dialog);
  EXPECT_FALSE(f.select().forums[1].checked);  // shown unticked on reopening

  // Select read each forum's first page; the download does not come back for
  // the unticked one.
  const int secondBefore = f.requestsFor("/viewforum.php?f=2");
  const int firstBefore = f.requestsFor("/viewforum.php?f=1");
  f.model.pressDownload();
  f.session.waitForDownload();
  EXPECT_EQ(f.requestsFor("/viewforum.php?f=2"), secondBefore);
  EXPECT_GT(f.requestsFor("/viewforum.php?f=1"), firstBefore);
  EXPECT_GE(f.requestsFor("/viewforum.php?f=3"), 1);
}

// Every file and folder under `root`, as paths relative to it.
std::set<std::string> filesUnder(const std::string& root) {
  std::set<std::string> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    paths.insert(std::filesystem::relative(entry.path(), root).generic_string());
  }
  return paths;
}

// Downloads everything, then again into a fresh folder with the sub-forum
// of row `left` unticked: the second archive must be the first without that
// forum's folder, every other folder and file named as before. Returns the
// folder's name as the first archive has it.
std::string expectOnlyTheUntickedForumLeftOut(MainWindowModel& model, Session& session,
                                              const std::function<MainWindowModel::SelectResult()>& select,
                                              std::size_t left) {
  MainWindowModel::SelectResult rows = select();
  test::TempDir whole;
  model.setOutputDirectory(whole.path());
  model.pressDownload();
  session.waitForDownload();
  EXPECT_TRUE(session.downloadSucceeded());
  model.pollDownloadEnd();
  const std::set<std::string> all = filesUnder(whole.path());

  DetectedForumsModel dialog(rows.forums);
  dialog.setChecked(left, false);
  EXPECT_EQ(dialog.shown(static_cast<std::size_t>(rows.forums[left].parent)), DetectedForumsModel::Shown::kPartial);
  model.confirmForums(dialog);
  MainWindowModel::SelectResult again = select();
  EXPECT_FALSE(again.forums.at(left).checked);  // shown unticked on reopening

  test::TempDir part;
  model.setOutputDirectory(part.path());
  model.pressDownload();
  session.waitForDownload();
  EXPECT_TRUE(session.downloadSucceeded());
  model.pollDownloadEnd();
  std::set<std::string> expected;
  std::string folder;  // the forum's folder, as a path under the archive
  for (const std::string& path : all) {
    const std::size_t at = path.find("/" + rows.forums[left].name);
    if (at != std::string::npos && (folder.empty() || path.size() < folder.size())) folder = path;
    if (at == std::string::npos) expected.insert(path);
  }
  EXPECT_FALSE(folder.empty());  // the folder was there when ticked
  EXPECT_EQ(filesUnder(part.path()), expected);
  return folder;
}

TEST(MainWindowModel, selectListsSubForumsUnderTheirForumAndAnUntickedOneIsLeftOutAlone) {
  demo::BoardShape shape;
  shape.forums = {{1, 0, 1, "News", "", false},  {2, 0, 1, "Chat", "", false},    {3, 1, 1, "Old News", "", false},
                  {4, 1, 1, "Press", "", false}, {5, 3, 1, "Archive", "", false}, {6, 0, 2, "Help", "", false}};
  shape.topics = {{1, 1, "First news", 1},    {2, 2, "First chat", 1}, {3, 3, "Old story", 1},
                  {4, 4, "Press release", 1}, {5, 5, "Dusty", 1},      {6, 6, "First help", 1}};
  shape.showcase = false;
  Fixture f(shape);
  f.model.editForumAddress(f.indexAddress());
  MainWindowModel::SelectResult result = f.select();
  ASSERT_EQ(result.forums.size(), 6u) << f.view.text();
  const std::vector<std::pair<std::string, int>> tree = {{"01 News", -1}, {"01 Old News", 0}, {"01 Archive", 1},
                                                         {"02 Press", 0}, {"02 Chat", -1},    {"03 Help", -1}};
  for (std::size_t k = 0; k < tree.size(); ++k) {
    EXPECT_EQ(result.forums[k].name, tree[k].first);
    EXPECT_EQ(result.forums[k].parent, tree[k].second);
    EXPECT_TRUE(result.forums[k].checked);
  }
  EXPECT_EQ(f.requestsFor("/viewforum.php?f=3"), 1);  // each forum page read once

  // Old News goes, with Archive under it; Press keeps its number.
  const std::string folder = expectOnlyTheUntickedForumLeftOut(
      f.model, f.session, [&f] { return f.select(); }, 1);
  EXPECT_NE(folder.find("/01 News/01 Old News"), std::string::npos) << folder;
  EXPECT_EQ(f.requestsFor("/viewforum.php?f=5"), 2);  // by the first Select and the first download only
}

TEST(MainWindowModel, aBoardReadByAnEngineProfileListsAndLeavesOutSubForumsTheSameWay) {
  const demo::EngineBoard* engine = demo::findEngineBoard("phpbb3");
  ASSERT_NE(engine, nullptr);
  ASSERT_TRUE(engine->subForums);
  demo::BoardServer server(engine->make(std::make_shared<const demo::BoardModel>(demo::makeBoardModel())));
  ASSERT_TRUE(server.start());
  WindowLogView view;
  Session session{view, 5s};
  test::TempDir home;
  MainWindowModel model{session, view, "", home.path()};
  model.editForumAddress("http://127.0.0.1:" + std::to_string(server.port()) + engine->startPath);
  auto select = [&model, &session] {
    MainWindowModel::SelectResult result = model.pressSelect();
    if (!result.pending) return result;
    session.waitForIndexFetch();
    return model.finishSelect();
  };
  MainWindowModel::SelectResult result = select();
  std::size_t sub = result.forums.size();
  for (std::size_t k = 0; k < result.forums.size() && sub == result.forums.size(); ++k) {
    if (result.forums[k].parent >= 0) sub = k;
  }
  ASSERT_LT(sub, result.forums.size()) << view.text();
  EXPECT_LT(result.forums[sub].parent, static_cast<int>(sub));
  expectOnlyTheUntickedForumLeftOut(model, session, select, sub);
}

TEST(MainWindowModel, closeEndsASelectWaitingForAForumPageWithinASecond) {
  test::HttpTestServer server;
  server.route("/index.php",
               test::ScriptedResponse::ok("<html><body><a href=\"viewforum.php?f=1\">News</a></body></html>"));
  test::ScriptedResponse never = test::ScriptedResponse::ok("");
  never.stallBeforeAnswer = 60s;
  server.route("/viewforum.php?f=1", never);
  WindowLogView view;
  Session session{view};  // the default two-minute wait for each read
  test::TempDir home;
  MainWindowModel model{session, view, "", home.path()};
  model.editForumAddress(server.base() + "/index.php");
  ASSERT_TRUE(model.pressSelect().pending);
  ASSERT_TRUE(server.waitForRequests(2, 5s));  // the index, then the forum's page
  EXPECT_TRUE(model.selectPending());
  const auto start = std::chrono::steady_clock::now();
  model.close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(model.finishSelect().showDialog);
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
  f.model.close();                              // a second Close is harmless
}

}  // namespace
}  // namespace quillstash
