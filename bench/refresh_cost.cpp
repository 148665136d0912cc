// SPDX-License-Identifier: MIT
// Measures what refreshing an archive costs against its first run, in
// requests, on the benchmark's generated board served on loopback:
//   refresh_cost QUILLSTASH_CLI [TOPICS]
// Runs the archiver three times into one folder: the first run, a rerun on the
// unchanged board, and a rerun after one topic in a hundred got a new post.
// Prints the requests the board served for each run (and what the run's
// report says it sent) and exits with 1 when the unchanged rerun costs 5% or
// more of the first run's requests.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>

#include "bench_board.h"
#include "board_server.h"
#include "boards.h"

namespace {

using quillstash::demo::BoardServer;
using quillstash::demo::BoardShape;
using quillstash::demo::ClassicBoard;
using quillstash::demo::Request;
using quillstash::demo::Response;

struct RunFigures {
  std::size_t requests = 0;    // as the board counted them
  std::string reported = "?";  // as report.json gives them
  double seconds = 0;
  int exitCode = -1;
};

std::string reportedRequests(const std::filesystem::path& archive) {
  std::ifstream in(archive / "report.json");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string key = "\"requests\": ";
  std::size_t at = text.find(key);
  if (at == std::string::npos) return "?";
  at += key.size();
  return text.substr(at, text.find_first_not_of("0123456789", at) - at);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: refresh_cost QUILLSTASH_CLI [TOPICS]\n");
    return 2;
  }
  const std::string cli = argv[1];
  int topicCount = argc > 2 ? std::atoi(argv[2]) : 3000;
  if (topicCount < 1) topicCount = 1;

  BoardShape shape = quillstash::bench::benchBoardShape(topicCount, false);
  std::mutex mutex;
  auto board = std::make_shared<const ClassicBoard>(shape);
  BoardServer server([&](const Request& request) {
    std::shared_ptr<const ClassicBoard> current;
    {
      std::lock_guard<std::mutex> lock(mutex);
      current = board;
    }
    return current->serve(request);
  });
  if (!server.start()) {
    std::fprintf(stderr, "refresh_cost: cannot listen on loopback\n");
    return 1;
  }
  const std::string address = "http://127.0.0.1:" + std::to_string(server.port()) + "/index.php";

  std::string folderTemplate = (std::filesystem::temp_directory_path() / "refresh-cost-XXXXXX").string();
  if (::mkdtemp(folderTemplate.data()) == nullptr) {
    std::fprintf(stderr, "refresh_cost: cannot make a temporary folder\n");
    return 1;
  }
  const std::filesystem::path folder = folderTemplate;
  const std::filesystem::path archive = folder / "archive";

  auto run = [&] {
    RunFigures figures;
    const std::size_t before = server.requestLines().size();
    const auto started = std::chrono::steady_clock::now();
    const std::string command =
        "'" + cli + "' '" + address + "' '" + archive.string() + "' > '" + (folder / "log.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    figures.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    figures.requests = server.requestLines().size() - before;
    figures.reported = reportedRequests(archive / shape.title);
    return figures;
  };

  const RunFigures first = run();
  const RunFigures unchanged = run();
  int grown = 0;
  for (std::size_t i = 0; i < shape.topics.size(); i += 100, ++grown) shape.topics[i].posts += 1;
  {
    std::lock_guard<std::mutex> lock(mutex);
    board = std::make_shared<const ClassicBoard>(shape);
  }
  const RunFigures changed = run();
  server.stop();
  std::filesystem::remove_all(folder);

  const double share =
      first.requests == 0 ? 0 : 100.0 * static_cast<double>(unchanged.requests) / static_cast<double>(first.requests);
  const double changedShare =
      first.requests == 0 ? 0 : 100.0 * static_cast<double>(changed.requests) / static_cast<double>(first.requests);
  std::printf("Board: %d topics in %zu forums, %d topics of 3 pages of 15 posts\n\n", topicCount, shape.forums.size(),
              topicCount);
  std::printf("| Run | Exit | Requests served | Requests reported | Share of first run | Wall time |\n");
  std::printf("|---|---|---|---|---|---|\n");
  std::printf("| first run | %d | %zu | %s | 100%% | %.1f s |\n", first.exitCode, first.requests,
              first.reported.c_str(), first.seconds);
  std::printf("| rerun, no change | %d | %zu | %s | %.2f%% | %.1f s |\n", unchanged.exitCode, unchanged.requests,
              unchanged.reported.c_str(), share, unchanged.seconds);
  std::printf("| rerun, %d topics with a new post | %d | %zu | %s | %.2f%% | %.1f s |\n", grown, changed.exitCode,
              changed.requests, changed.reported.c_str(), changedShare, changed.seconds);
  const bool ok = first.exitCode == 0 && unchanged.exitCode == 0 && changed.exitCode == 0 && share < 5.0;
  return ok ? 0 : 1;
}
