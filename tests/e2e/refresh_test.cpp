// SPDX-License-Identifier: MIT
// Runs of quillstash-cli into a folder that already holds an archive of the
// board: what is fetched again, what stays untouched, and killed runs.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "archive/manifest.h"
#include "board_server.h"
#include "boards.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

namespace fs = std::filesystem;
using demo::BoardServer;
using demo::BoardShape;
using demo::ClassicBoard;
using demo::Request;
using demo::Response;
using test::ProcessResult;
using test::readFile;
using test::runProcess;
using test::TempDir;

struct FileState {
  std::string bytes;
  fs::file_time_type modified;
  friend bool operator==(const FileState&, const FileState&) = default;
};

// Every file of the archive below `root` but the manifest and the run's
// report, by relative path.
std::map<std::string, FileState> archiveFiles(const std::string& root) {
  std::map<std::string, FileState> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string path = fs::relative(entry.path(), root).generic_string();
    if (!entry.is_regular_file() || path.find(".quillstash") != std::string::npos) continue;
    if (path.ends_with("/report.json") || path.ends_with("/report.html")) continue;
    files[path] = {readFile(entry.path().string()), entry.last_write_time()};
  }
  return files;
}

// The demo board, changeable between runs, that can hold one request
// unanswered until released (so that a run can be killed while it waits).
class GrowingBoard : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<BoardServer>([this](const Request& request) {
      std::unique_lock<std::mutex> lock(mutex_);
      if (++served_ == holdAt_ || request.target == holdTarget_) released_.wait(lock, [this] { return !holding_; });
      if (failing_.count(request.target) != 0) return Response::notFound();
      return ClassicBoard(shape_).serve(request);
    });
    server_->answerSideBySide();  // a held request leaves the run's other connection served
    ASSERT_TRUE(server_->start());
    address_ = "http://127.0.0.1:" + std::to_string(server_->port()) + "/index.php";
  }

  ProcessResult cli(const std::string& folder, std::vector<std::string> extra = {}) {
    extra.push_back(address_);
    extra.push_back(folder);
    return runProcess(QUILLSTASH_CLI, extra);
  }

  // Runs into `folder` and kills the run with SIGKILL while the server holds
  // its request number `request` (counted from this run's first).
  void killedRun(const std::string& folder, int request) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      holdAt_ = served_ + request;
      holding_ = true;
    }
    ProcessResult run = runProcess(QUILLSTASH_CLI, {address_, folder}, std::chrono::milliseconds(1500));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      holding_ = false;
      holdAt_ = 0;
    }
    released_.notify_all();
    (void)run;
  }

  // The request lines the server received since the `from`th.
  std::vector<std::string> requestsSince(std::size_t from) {
    std::vector<std::string> lines = server_->requestLines();
    return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())), lines.end()};
  }

  BoardShape& shape() { return shape_; }

  std::mutex mutex_;
  std::condition_variable released_;
  BoardShape shape_ = demo::demoShape();
  int served_ = 0;
  int holdAt_ = 0;
  std::string holdTarget_;         // a request held whenever it comes
  std::set<std::string> failing_;  // requests answered 404
  bool holding_ = false;
  std::unique_ptr<BoardServer> server_;
  std::string address_;
  TempDir out_;
};

TEST_F(GrowingBoard, rerunOnAnUnchangedBoardFetchesOnlyIndexAndForumPagesAndTouchesNoFile) {
  ASSERT_EQ(cli(out_.path()).exitCode, 0);
  const auto before = archiveFiles(out_.path());
  const std::size_t firstRun = server_->requestLines().size();

  const std::string reportFile = out_.path() + "/Lantern Keepers/report.json";
  // The report gives the requests the run sent, as the server counted them.
  EXPECT_NE(readFile(reportFile).find("\"requests\": " + std::to_string(firstRun) + ",\n"), std::string::npos)
      << readFile(reportFile);

  ProcessResult rerun = cli(out_.path());
  ASSERT_EQ(rerun.exitCode, 0) << rerun.out;
  std::vector<std::string> lines = requestsSince(firstRun);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(readFile(reportFile).find("\"requests\": " + std::to_string(lines.size()) + ",\n"), std::string::npos)
      << readFile(reportFile);
  for (const std::string& line : lines) {
    EXPECT_TRUE(line.starts_with("GET /index.php") || line.starts_with("GET /viewforum.php")) << line;
  }
  EXPECT_LT(lines.size() * 4, firstRun);
  EXPECT_EQ(archiveFiles(out_.path()), before);

  // The check reads the manifest and the files only.
  const std::string archive = out_.path() + "/Lantern Keepers";
  const std::size_t fetched = server_->requestLines().size();
  ProcessResult check = runProcess(QUILLSTASH_CLI, {"--check", archive});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("35 files recorded, 0 missing, 0 changed"), std::string::npos) << check.out;
  fs::remove(archive + "/01 General Chat/00002 Which lighthouse is your favourite_.html");
  { std::ofstream(archive + "/02 Lamps and Lenses/00001 Trimming the wick (part 1).html", std::ios::app) << "x"; }
  check = runProcess(QUILLSTASH_CLI, {"--check", archive});
  EXPECT_EQ(check.exitCode, 3);
  EXPECT_NE(check.out.find("missing\t01 General Chat/00002 Which lighthouse is your favourite_.html\n"),
            std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("changed\t02 Lamps and Lenses/00001 Trimming the wick (part 1).html\n"), std::string::npos)
      << check.out;
  EXPECT_EQ(server_->requestLines().size(), fetched);
}

TEST_F(GrowingBoard, rerunFetchesExactlyTheTopicsWithNewPostsAndTheNewTopicIntoTheirNames) {
  ASSERT_EQ(cli(out_.path()).exitCode, 0);
  const auto before = archiveFiles(out_.path());
  const std::size_t firstRun = server_->requestLines().size();
  // The pages and posts each topic file holds, by topic number.
  auto pagesAndPosts = [this] {
    std::string error;
    auto manifest = Manifest::openExisting(out_.path() + "/Lantern Keepers", error);
    std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> counts;
    if (!manifest) return counts;
    for (const TopicRecord& topic : manifest->topics()) {
      counts[topic.address.substr(topic.address.find("?t="))] = {topic.pages, topic.posts};
    }
    return counts;
  };
  auto counted = pagesAndPosts();
  EXPECT_EQ(counted["?t=1"], std::make_pair(3u, 12u));
  EXPECT_EQ(counted["?t=2"], std::make_pair(1u, 3u));

  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (demo::Topic& topic : shape_.topics) {
      if (topic.id == 2) topic.posts = 7;    // from one page onto two
      if (topic.id == 22) topic.posts += 1;  // forum 2, second page of its list
    }
    // A new topic listed first in its forum, as boards list the newest first.
    shape_.topics.insert(shape_.topics.begin(), demo::Topic{90, 1, "Fog horn maintenance", 2});
  }
  ProcessResult rerun = cli(out_.path());
  ASSERT_EQ(rerun.exitCode, 0) << rerun.out;

  std::set<std::string> topicPages;
  for (const std::string& line : requestsSince(firstRun)) {
    if (line.starts_with("GET /viewtopic.php")) topicPages.insert(line);
  }
  EXPECT_EQ(topicPages,
            (std::set<std::string>{"GET /viewtopic.php?t=2 HTTP/1.1", "GET /viewtopic.php?t=2&start=5 HTTP/1.1",
                                   "GET /viewtopic.php?t=22 HTTP/1.1", "GET /viewtopic.php?t=90 HTTP/1.1"}));

  auto after = archiveFiles(out_.path());
  const std::string chat = "Lantern Keepers/01 General Chat/";
  const std::string changed[] = {chat + "00002 Which lighthouse is your favourite_.html",
                                 "Lantern Keepers/02 Lamps and Lenses/00013 Clockwork rotation (part 2).html"};
  for (const std::string& name : changed) {
    ASSERT_EQ(after.count(name), 1u) << name;
    EXPECT_NE(after[name].bytes, before.at(name).bytes) << name;
  }
  EXPECT_NE(after[changed[0]].bytes.find("Post 7 of"), std::string::npos);
  counted = pagesAndPosts();
  EXPECT_EQ(counted["?t=1"], std::make_pair(3u, 12u));
  EXPECT_EQ(counted["?t=2"], std::make_pair(2u, 7u));
  EXPECT_NE(after[chat + "index.html"].bytes.find("favourite_</a> (7 posts, 2 pages)</li>"), std::string::npos)
      << after[chat + "index.html"].bytes;
  // The new topic takes the next free number; the listed ones keep theirs.
  ASSERT_EQ(after.count(chat + "00004 Fog horn maintenance.html"), 1u);
  EXPECT_NE(after[chat + "index.html"].bytes.find("<a href=\"00004%20Fog%20horn%20maintenance.html\">"),
            std::string::npos);
  EXPECT_NE(
      after["Lantern Keepers/index.html"].bytes.find("<a href=\"01%20General%20Chat/index.html\">01 General Chat</a>"),
      std::string::npos);
  for (const auto& [name, state] : before) {
    // The index pages of the two forums list the new topic and the new post counts.
    if (name == changed[0] || name == changed[1] || name == chat + "index.html" ||
        name == "Lantern Keepers/02 Lamps and Lenses/index.html") {
      continue;
    }
    ASSERT_EQ(after.count(name), 1u) << name;
    EXPECT_EQ(after[name], state) << name;
  }
  EXPECT_EQ(after.size(), before.size() + 1);
  EXPECT_NE(readFile(out_.path() + "/Lantern Keepers/report.json")
                .find("\"totals\": {\"listed\": 32, \"written\": 3, \"kept\": 29, \"problems\": 0}"),
            std::string::npos);
}

// A topic fetched again links the files an earlier run saved for it without
// fetching them again; a saved file that is gone is fetched again.
TEST_F(GrowingBoard, aRefetchedTopicKeepsItsSavedFilesAndFetchesOnlyMissingOnes) {
  ASSERT_EQ(cli(out_.path()).exitCode, 0);
  const std::string chat = "Lantern Keepers/01 General Chat/";
  const std::string welcome = chat + "00001 Welcome to the Lantern Keepers.html";
  auto before = archiveFiles(out_.path());
  std::set<std::string> savedFiles;
  for (const auto& [name, state] : before) {
    if (name.starts_with(chat + "00001 ") && name != welcome) savedFiles.insert(name);
  }
  ASSERT_EQ(savedFiles.size(), 4u);
  auto growWelcome = [this] {
    std::lock_guard<std::mutex> lock(mutex_);
    for (demo::Topic& topic : shape_.topics) {
      if (topic.id == 1) topic.posts += 1;
    }
  };
  auto mediaRequests = [this](std::size_t from) {
    std::vector<std::string> media;
    for (const std::string& line : requestsSince(from)) {
      if (!line.starts_with("GET /index.php") && !line.starts_with("GET /viewforum.php") &&
          !line.starts_with("GET /viewtopic.php")) {
        media.push_back(line);
      }
    }
    return media;
  };

  growWelcome();
  std::size_t from = server_->requestLines().size();
  ProcessResult rerun = cli(out_.path());
  ASSERT_EQ(rerun.exitCode, 0) << rerun.out;
  EXPECT_EQ(mediaRequests(from), std::vector<std::string>{});
  auto after = archiveFiles(out_.path());
  for (const std::string& name : savedFiles) EXPECT_EQ(after.at(name), before.at(name)) << name;
  // The rewritten topic links the same files as before.
  auto links = [](const std::string& page) {
    std::set<std::string> found;
    for (std::size_t at = page.find("00001 "); at != std::string::npos; at = page.find("00001 ", at + 1)) {
      found.insert(page.substr(at, page.find('"', at) - at));
    }
    return found;
  };
  EXPECT_NE(after.at(welcome).bytes, before.at(welcome).bytes);
  EXPECT_EQ(links(after.at(welcome).bytes), links(before.at(welcome).bytes));

  const std::string gone = *savedFiles.begin();
  fs::remove(out_.path() + "/" + gone);
  growWelcome();
  from = server_->requestLines().size();
  rerun = cli(out_.path());
  ASSERT_EQ(rerun.exitCode, 0) << rerun.out;
  EXPECT_EQ(mediaRequests(from).size(), 1u) << gone;
  EXPECT_EQ(readFile(out_.path() + "/" + gone), before.at(gone).bytes);
  ProcessResult check = runProcess(QUILLSTASH_CLI, {"--check", out_.path() + "/Lantern Keepers"});
  EXPECT_EQ(check.exitCode, 0) << check.out;
  EXPECT_NE(check.out.find("35 files recorded, 0 missing, 0 changed"), std::string::npos) << check.out;
}

// A topic cut by a stop, and one whose attachment could not be saved, are
// never recorded complete: the next run fetches them again, and only them.
TEST_F(GrowingBoard, topicsCutByAStopOrMissingAFileAreFetchedAgain) {
  if (!test::canInterruptProcesses()) GTEST_SKIP() << "no Ctrl-C for child processes here";
  const std::string archive = out_.path() + "/Lantern Keepers";
  auto stateOf = [&](const std::string& topic) {
    std::string error;
    auto manifest = Manifest::openExisting(archive, error);
    if (!manifest) return std::string("no manifest: ") + error;
    for (const TopicRecord& record : manifest->topics()) {
      if (record.address.ends_with(topic)) return std::string(topicStateName(record.state));
    }
    return std::string("not recorded");
  };
  const std::string welcome = archive + "/01 General Chat/00001 Welcome to the Lantern Keepers.html";

  // Ctrl-C while the welcome topic's second page is on its way.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    holdTarget_ = "/viewtopic.php?t=1&start=5";
    holding_ = true;
  }
  ProcessResult stopped =
      runProcess(QUILLSTASH_CLI, {address_, out_.path()}, std::chrono::seconds(60), std::chrono::seconds(2));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    holding_ = false;
    holdTarget_.clear();
  }
  released_.notify_all();
  EXPECT_EQ(stopped.exitCode, 1) << stopped.out;
  EXPECT_FALSE(fs::exists(welcome));
  EXPECT_EQ(stateOf("?t=1"), "incomplete");

  // The attachment the stopped run saved is gone, and cannot be had again.
  const std::string attachment = archive + "/01 General Chat/00001 lamp-manual.pdf";
  ASSERT_TRUE(fs::exists(attachment));
  fs::remove(attachment);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failing_.insert("/download.php?attach_id=1");
  }
  ProcessResult missingFile = cli(out_.path());
  EXPECT_EQ(missingFile.exitCode, 3) << missingFile.out;
  EXPECT_TRUE(fs::exists(welcome));
  EXPECT_EQ(stateOf("?t=1"), "incomplete");
  EXPECT_EQ(stateOf("?t=2"), "complete");

  {
    std::lock_guard<std::mutex> lock(mutex_);
    failing_.clear();
  }
  const std::size_t from = server_->requestLines().size();
  ProcessResult whole = cli(out_.path());
  EXPECT_EQ(whole.exitCode, 0) << whole.out;
  std::set<std::string> fetched;
  for (const std::string& line : requestsSince(from)) {
    if (!line.starts_with("GET /index.php") && !line.starts_with("GET /viewforum.php")) fetched.insert(line);
  }
  EXPECT_EQ(fetched, (std::set<std::string>{
                         "GET /viewtopic.php?t=1 HTTP/1.1", "GET /viewtopic.php?t=1&start=5 HTTP/1.1",
                         "GET /viewtopic.php?t=1&start=10 HTTP/1.1", "GET /download.php?attach_id=1 HTTP/1.1"}));
  EXPECT_EQ(stateOf("?t=1"), "complete");
}

TEST_F(GrowingBoard, runsKilledAtAnyMomentResumeToTheArchiveOfOneWholeRun) {
  TempDir whole;
  ASSERT_EQ(cli(whole.path()).exitCode, 0);
  const std::size_t requests = server_->requestLines().size();
  const auto expected = archiveFiles(whole.path());

  for (int request :
       {2, static_cast<int>(requests / 3), static_cast<int>(requests * 2 / 3), static_cast<int>(requests - 2)}) {
    killedRun(out_.path(), request);
  }
  ProcessResult last = cli(out_.path());
  ASSERT_EQ(last.exitCode, 0) << last.out;

  auto resumed = archiveFiles(out_.path());
  ASSERT_EQ(resumed.size(), expected.size());
  for (const auto& [name, state] : expected) {
    ASSERT_EQ(resumed.count(name), 1u) << name;
    EXPECT_EQ(resumed[name].bytes, state.bytes) << name;
  }
  std::string error;
  auto wholeManifest = Manifest::openExisting(whole.path() + "/Lantern Keepers", error);
  auto resumedManifest = Manifest::openExisting(out_.path() + "/Lantern Keepers", error);
  ASSERT_TRUE(wholeManifest && resumedManifest) << error;
  auto key = [](const std::vector<TopicRecord>& topics) {
    std::vector<std::string> keys;
    for (const TopicRecord& t : topics) keys.push_back(t.folder + "/" + t.fileName + " " + topicStateName(t.state));
    return keys;
  };
  EXPECT_EQ(key(resumedManifest->topics()), key(wholeManifest->topics()));
  EXPECT_EQ(wholeManifest->topics().size(), 31u);
  EXPECT_EQ(resumedManifest->board().engine, "classic");
  EXPECT_EQ(resumedManifest->board().namingOptions.rfind("max-name-chars=", 0), 0u);
}

TEST_F(GrowingBoard, retryFailedFetchesOnlyTheTopicThatCouldNotBeSaved) {
  ASSERT_EQ(cli(out_.path()).exitCode, 0);
  const std::string chat = out_.path() + "/Lantern Keepers/01 General Chat/";
  const std::string topic = chat + "00002 Which lighthouse is your favourite_.html";
  // A folder in the file's place makes the next save of that topic fail.
  fs::remove(topic);
  fs::create_directory(topic);
  cli(out_.path());
  std::string report = readFile(out_.path() + "/Lantern Keepers/report.json");
  EXPECT_NE(report.find("\"problems\": [{\"address\": \"http://127.0.0.1:" + std::to_string(server_->port()) +
                        "/viewtopic.php?t=2\", \"file\": \"\", \"reason\": \"not saved\"}]"),
            std::string::npos)
      << report;

  fs::remove(topic);
  const std::size_t before = server_->requestLines().size();
  ProcessResult retry = cli(out_.path(), {"--retry-failed"});
  ASSERT_EQ(retry.exitCode, 0) << retry.out;
  std::vector<std::string> topicPages;
  for (const std::string& line : requestsSince(before)) {
    if (!line.starts_with("GET /index.php") && !line.starts_with("GET /viewforum.php")) topicPages.push_back(line);
  }
  EXPECT_EQ(topicPages, std::vector<std::string>{"GET /viewtopic.php?t=2 HTTP/1.1"});
  EXPECT_TRUE(readFile(topic).ends_with("</TABLE></BODY></HTML>"));
}

TEST_F(GrowingBoard, refusesAFolderHoldingTheArchiveOfAnotherBoard) {
  ASSERT_EQ(cli(out_.path()).exitCode, 0);
  const auto before = archiveFiles(out_.path());

  const ClassicBoard other{demo::demoShape()};
  BoardServer otherServer([&other](const Request& request) { return other.serve(request); });
  ASSERT_TRUE(otherServer.start());
  std::string otherAddress = "http://127.0.0.1:" + std::to_string(otherServer.port()) + "/index.php";
  ProcessResult run = runProcess(QUILLSTASH_CLI, {otherAddress, out_.path()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("[ X ] the folder holds the archive of another board: " + address_), std::string::npos)
      << run.out;
  EXPECT_EQ(otherServer.requestLines().size(), 1u);  // the index page only
  EXPECT_EQ(archiveFiles(out_.path()), before);
}

}  // namespace
}  // namespace quillstash
