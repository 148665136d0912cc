// SPDX-License-Identifier: MIT
#include "core/activity_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;

TEST(ActivityLog, linesAreShownInOrderAsGiven) {
  StringLogView view;
  ActivityLog log(view);
  log.logLine("* Received 12 bytes\r\n");
  log.logLine("* Forum downloaded successfully");
  EXPECT_EQ(view.text(), "* Received 12 bytes\r\n* Forum downloaded successfully");
}

TEST(ActivityLog, trimsTheOldestHalfOnlyWhenALineWouldPassTheLimit) {
  StringLogView view;
  ActivityLog log(view);
  std::string start(32758, 'a');
  start += "bc";  // 32,760 characters
  log.logLine(start);
  log.logLine("0123456789");  // 32,770 would pass 32,768
  EXPECT_EQ(view.text().size(), 32770u - 16384u);
  EXPECT_EQ(view.text().substr(view.text().size() - 12), "bc0123456789");

  StringLogView exact;
  ActivityLog exactLog(exact);
  exactLog.logLine(std::string(32760, 'x'));
  exactLog.logLine("12345678");  // exactly 32,768: nothing removed
  EXPECT_EQ(exact.text().size(), 32768u);
}

TEST(ActivityLog, aLineLongerThanWhatIsLeftStillGoesIn) {
  StringLogView view;
  ActivityLog log(view);
  log.logLine(std::string(20000, 'a'));
  log.logLine(std::string(40000, 'b'));
  EXPECT_EQ(view.text(), std::string(3616, 'a') + std::string(40000, 'b'));
}

TEST(ActivityLog, fileGetsOnlyLinesLoggedWhileSwitchedOnAndKeepsEarlierRuns) {
  test::TempDir dir;
  std::string path = dir.file("quillstash.log");
  for (int run = 0; run < 2; ++run) {
    StringLogView view;
    ActivityLog log(view);
    log.setLogFilePath(path);
    log.logLine("before\r\n");
    log.setLogToFile(true);
    log.logLine("during\r\n");
    log.setLogToFile(false);
    log.logLine("after\r\n");
    EXPECT_EQ(view.text(), "before\r\nduring\r\nafter\r\n");
  }
  EXPECT_EQ(test::readFile(path), "during\r\nduring\r\n");
}

TEST(ActivityLog, unwritableLogFileIsIgnored) {
  test::TempDir dir;
  StringLogView view;
  ActivityLog log(view);
  log.setLogFilePath(dir.file("missing/folder/x.log"));
  log.setLogToFile(true);
  log.logLine("still shown\r\n");
  EXPECT_EQ(view.text(), "still shown\r\n");
}

TEST(PauseGate, holdsAWorkerAfterItsLineUntilResumed) {
  test::TempDir dir;
  StringLogView view;
  ActivityLog log(view);
  log.setLogFilePath(dir.file("gate.log"));
  log.setLogToFile(true);
  log.setRunState(RunState::kPaused);

  std::atomic<bool> returned{false};
  std::thread worker([&] {
    log.logLine("* Downloading file x ...\r\n");
    returned.store(true);
  });
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(returned.load());
  log.setRunState(RunState::kRunning);
  worker.join();
  EXPECT_TRUE(returned.load());
  EXPECT_EQ(view.text(), "* Downloading file x ...\r\n*** Paused\r\n");
  EXPECT_EQ(test::readFile(dir.file("gate.log")), "* Downloading file x ...\r\n");
}

TEST(PauseGate, stopReleasesEveryWaitingWorker) {
  StringLogView view;
  ActivityLog log(view);
  log.setRunState(RunState::kPaused);
  std::thread first([&] { log.logLine("a\r\n"); });
  std::thread second([&] { log.logLine("b\r\n"); });
  std::this_thread::sleep_for(150ms);
  log.requestStop();
  first.join();
  second.join();
  EXPECT_EQ(view.text().size(), std::string("a\r\nb\r\n*** Paused\r\n*** Paused\r\n").size());
  log.logLine("c\r\n");  // never waits again once stopped
}

TEST(LogFilePath, replacesTheExtensionOfTheProgramFile) {
  EXPECT_EQ(logFilePathFor("/opt/quillstash/bin/quillstash"), "/opt/quillstash/bin/quillstash.log");
  EXPECT_EQ(logFilePathFor("C:\\tools\\quillstash.exe"), "C:\\tools\\quillstash.log");
  EXPECT_EQ(logFilePathFor("/home/a.b/quillstash"), "/home/a.b/quillstash.log");
  EXPECT_EQ(logFilePathFor("/x/archive.tar.gz"), "/x/archive.tar.log");
}

}  // namespace
}  // namespace quillstash
