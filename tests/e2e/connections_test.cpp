// SPDX-License-Identifier: MIT
// Several connections fetching the topics of a forum page side by side: the
// archive, the order of the log's topic lines and the requests are those of a
// run with one connection; a busy server brings the run down to one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "board_server.h"
#include "boards.h"
#include "support/process.h"
#include "support/temp_dir.h"

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

// Every file below `root` with its bytes, but the run's report files.
std::map<std::string, std::string> filesOf(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string path = fs::relative(entry.path(), root).generic_string();
    if (path.find(".quillstash") != std::string::npos || path.ends_with("report.json") ||
        path.ends_with("report.html")) {
      continue;
    }
    files[path] = entry.is_regular_file() ? readFile(entry.path().string()) : std::string("(folder)");
  }
  return files;
}

// The lines of `log` that begin with `prefix`, in their order.
std::vector<std::string> linesStartingWith(const std::string& log, const std::string& prefix) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < log.size();) {
    std::size_t end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(at, end - at);
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

// The demo board answering each connection on a thread of its own, each
// answer after a short wait so that requests of a run overlap when it sends
// them side by side; counts the requests in progress at once.
class SideBySideBoard : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<BoardServer>([this](const Request& request) {
      const int now = ++inProgress_;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        mostAtOnce_ = std::max(mostAtOnce_, now);
        if (busyAnswered_ && request.target == busyTarget_) asked_ = true;
        if (asked_) mostAtOnceSinceAskedAgain_ = std::max(mostAtOnceSinceAskedAgain_, now);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
      Response response = answer(request);
      --inProgress_;
      return response;
    });
    server_->answerSideBySide();
    ASSERT_TRUE(server_->start());
    address_ = "http://127.0.0.1:" + std::to_string(server_->port()) + "/index.php";
  }

  Response answer(const Request& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (request.target == busyTarget_ && !busyAnswered_) {
      busyAnswered_ = true;
      Response busy;
      busy.status = 429;
      busy.reason = "Too Many Requests";
      busy.headers.emplace_back("Retry-After", "1");
      return busy;
    }
    return board_.serve(request);
  }

  ProcessResult run(const std::string& folder, const std::string& connections) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      mostAtOnce_ = 0;
    }
    requestsBefore_ = server_->requestLines().size();
    return runProcess(QUILLSTASH_CLI, {"--connections", connections, address_, folder});
  }

  // A value the server's threads write, read under their lock.
  template <class T>
  T read(const T& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    return value;
  }

  // The request lines of the last run, sorted.
  std::vector<std::string> lastRequests() const {
    std::vector<std::string> lines = server_->requestLines();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(requestsBefore_));
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  const ClassicBoard board_{demo::demoShape()};
  std::unique_ptr<BoardServer> server_;
  std::string address_;
  std::atomic<int> inProgress_{0};
  std::mutex mutex_;
  int mostAtOnce_ = 0;
  std::string busyTarget_;
  bool busyAnswered_ = false;
  bool asked_ = false;  // the busy answer's request came again
  int mostAtOnceSinceAskedAgain_ = 0;
  std::size_t requestsBefore_ = 0;
};

TEST_F(SideBySideBoard, fourConnectionsMakeTheSameArchiveLogOrderAndRequestsAsOne) {
  TempDir one;
  TempDir four;
  ProcessResult single = run(one.path(), "1");
  ASSERT_EQ(single.exitCode, 0) << single.out;
  EXPECT_EQ(read(mostAtOnce_), 1);
  const std::vector<std::string> singleRequests = lastRequests();

  ProcessResult parallel = run(four.path(), "4");
  ASSERT_EQ(parallel.exitCode, 0) << parallel.out;
  EXPECT_GE(read(mostAtOnce_), 2);  // the topics were fetched side by side
  EXPECT_LE(read(mostAtOnce_), 4);
  // Nothing fetched twice and nothing fetched for nothing.
  EXPECT_EQ(lastRequests(), singleRequests);

  const std::map<std::string, std::string> expected = filesOf(one.path());
  const std::map<std::string, std::string> got = filesOf(four.path());
  ASSERT_EQ(expected.size(), got.size());
  for (const auto& [path, bytes] : expected) {
    auto it = got.find(path);
    ASSERT_NE(it, got.end()) << path;
    EXPECT_EQ(it->second, bytes) << path;
  }
  // Each topic's lines in the listing's order, and the whole summary alike.
  auto strip = [](std::vector<std::string> lines, const std::string& root) {
    for (std::string& line : lines) line.replace(line.find(root), root.size(), "");
    return lines;
  };
  EXPECT_EQ(strip(linesStartingWith(parallel.out, "* Saved: "), four.path()),
            strip(linesStartingWith(single.out, "* Saved: "), one.path()));
  EXPECT_EQ(linesStartingWith(parallel.out, "* Summary: ")[0].substr(0, 90),
            linesStartingWith(single.out, "* Summary: ")[0].substr(0, 90));
}

TEST_F(SideBySideBoard, aServerThatAsksToWaitIsWaitedForAndThenGetsOneConnection) {
  busyTarget_ = "/viewtopic.php?t=2";
  TempDir out;
  ProcessResult parallel = run(out.path(), "4");
  ASSERT_EQ(parallel.exitCode, 0) << parallel.out;
  EXPECT_TRUE(read(busyAnswered_));
  EXPECT_NE(parallel.out.find("[ ! ] Server busy (429), asking again in 1 s: "), std::string::npos) << parallel.out;
  EXPECT_EQ(linesStartingWith(parallel.out, "[ ! ] The server asked to wait: one connection from now on").size(), 1u);
  // Requests on their way when the answer came end during the wait; from the
  // request asked again on, one at a time.
  EXPECT_TRUE(read(asked_));
  EXPECT_EQ(read(mostAtOnceSinceAskedAgain_), 1);
  const std::vector<std::string> lines = server_->requestLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "GET /viewtopic.php?t=2 HTTP/1.1"), 2);
  EXPECT_EQ(filesOf(out.path()).count("Lantern Keepers/01 General Chat/00002 Which lighthouse is your favourite_.html"),
            1u);
}

}  // namespace
}  // namespace quillstash
