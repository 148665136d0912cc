// SPDX-License-Identifier: MIT
// Writes a large classic board as static files for a web server, so that the
// archiver can be measured against other tools on one realistic site:
//   generate_board OUTPUT_DIR [TOPICS] [--one-forum]
// --one-forum puts every topic, each of one page, in a single forum, to show
// how the cost per topic grows with the size of a forum.
// Files: index.html, f/<forum>-<start>.html, t/<topic>-<start>.html, and one
// page for the profile, posting, search, member-list and FAQ links. The
// nginx configuration written by bench/run maps the board's addresses on them.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_board.h"
#include "boards.h"

using quillstash::demo::BoardShape;
using quillstash::demo::ClassicBoard;
using quillstash::demo::Request;

namespace {

void writeFile(const std::filesystem::path& path, const std::string& body) {
  std::ofstream out(path, std::ios::binary);
  out << body;
  if (!out) {
    std::fprintf(stderr, "generate_board: cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

Request requestFor(const std::string& path, long id, const char* idName, long start) {
  Request request;
  request.method = "GET";
  request.path = path;
  request.query[idName] = std::to_string(id);
  request.query["start"] = std::to_string(start);
  request.serverPort = 80;
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: generate_board OUTPUT_DIR [TOPICS] [--one-forum]\n");
    return 2;
  }
  std::filesystem::path root = argv[1];
  int topicCount = argc > 2 ? std::atoi(argv[2]) : 3000;
  if (topicCount < 1) topicCount = 1;
  const bool oneForum = argc > 3 && std::string(argv[3]) == "--one-forum";

  const BoardShape shape = quillstash::bench::benchBoardShape(topicCount, oneForum);
  const ClassicBoard board(shape);

  std::filesystem::create_directories(root / "f");
  std::filesystem::create_directories(root / "t");
  std::filesystem::create_directories(root / "images");
  Request index;
  index.path = "/index.php";
  writeFile(root / "index.html", board.serve(index).body);
  std::size_t files = 1;
  for (const auto& forum : shape.forums) {
    int topics = 0;
    for (const auto& topic : shape.topics) topics += topic.forum == forum.id;
    for (int start = 0; start == 0 || start < topics; start += shape.topicsPerPage) {
      writeFile(root / "f" / (std::to_string(forum.id) + "-" + std::to_string(start) + ".html"),
                board.serve(requestFor("/viewforum.php", forum.id, "f", start)).body);
      ++files;
    }
  }
  for (const auto& topic : shape.topics) {
    for (int start = 0; start < topic.posts; start += shape.postsPerPage) {
      writeFile(root / "t" / (std::to_string(topic.id) + "-" + std::to_string(start) + ".html"),
                board.serve(requestFor("/viewtopic.php", topic.id, "t", start)).body);
      ++files;
    }
  }
  const char* const kOther[] = {"profile", "posting", "search", "memberlist", "faq", "login", "viewonline"};
  for (const char* name : kOther) {
    writeFile(
        root / (std::string(name) + ".html"),
        "<html><head><title>Harbour Watch :: " + std::string(name) +
            "</title></head><body><table width=\"100%\"><tr><td>You must be logged in to do that.</td></tr></table>"
            "<a href=\"index.php\">Back to the index</a></body></html>");
    ++files;
  }
  writeFile(root / "images" / "blank.gif", "GIF89a\x01\x00\x01\x00\x00\x00\x00;");
  std::printf("%zu files, %zu topics, %zu forums in %s\n", files, shape.topics.size(), shape.forums.size(),
              root.c_str());
  return 0;
}
