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

  // Ten top-level forums in two categories, each with two sub-forums: thirty
  // forums of about a hundred topics each, 25 topics to a forum page, 15 posts
  // to a topic page and three pages to a topic.
  BoardShape shape;
  shape.title = "Harbour Watch";
  shape.categories = {"On Shore", "At Sea"};
  shape.showcase = false;
  shape.topicsPerPage = 25;
  shape.postsPerPage = 15;
  shape.postPadding = 2100;
  shape.pageLinkWindow = 3;  // a forum of 100,000 topics has 4,000 pages
  int id = 1;
  if (oneForum) {
    shape.categories = {"On Shore"};
    shape.forums.push_back({id++, 0, 1, "Station 1", "Logs and talk", false});
  }
  for (int top = 0; top < (oneForum ? 0 : 10); ++top) {
    int parent = id++;
    shape.forums.push_back({parent, 0, top < 5 ? 1 : 2, "Station " + std::to_string(top + 1), "Logs and talk", false});
    for (int sub = 0; sub < 2; ++sub) {
      shape.forums.push_back({id++, parent, top < 5 ? 1 : 2,
                              "Station " + std::to_string(top + 1) + " watch " + std::to_string(sub + 1),
                              "Watch reports", false});
    }
  }
  for (int t = 0; t < topicCount; ++t) {
    shape.topics.push_back({1000 + t, 1 + t % static_cast<int>(shape.forums.size()),
                            "Watch report number " + std::to_string(t + 1), oneForum ? 5 : 45});
  }
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
