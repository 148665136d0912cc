// SPDX-License-Identifier: MIT
// quillstash-cli with its default options against every engine board: the
// archive must hold each forum and sub-forum as a folder, each topic as one
// file with every post, each author cell naming its author, and the bold,
// quotes, code and paragraph breaks of the messages; nothing else.
// A profile file teaches the program a board of an engine it does not know.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "board_server.h"
#include "engine_board.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

namespace fs = std::filesystem;
using demo::BoardModel;
using demo::EngineBoard;

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// A name as the archive writes it: characters a file name may not hold become '_'.
std::string fileName(const std::string& text) {
  std::string out;
  for (char c : text) out += std::string("<>*?/\\:|\"").find(c) == std::string::npos ? c : '_';
  return out;
}

// A folder's or file's name without its number and blank.
std::string unnumbered(const std::string& name) {
  std::size_t blank = name.find(' ');
  return blank == std::string::npos ? name : name.substr(blank + 1);
}

// The archive's own records beside the board's folders and files: the
// manifest, the report and the index pages.
bool isArchiveRecord(const fs::path& path) {
  const std::string name = path.filename().string();
  return name == ".quillstash" || name == "index.html" || name == "report.html" || name == "report.json" ||
         path.parent_path().filename() == ".quillstash";
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
  return out;
}

// The cells of the post rows of a topic file: (author cell, message cell).
std::vector<std::pair<std::string, std::string>> postRows(const std::string& file) {
  const std::string cell = "<TD valign=\"top\" align=\"left\">";
  std::vector<std::pair<std::string, std::string>> rows;
  for (std::size_t at = file.find("<TR>" + cell); at != std::string::npos; at = file.find("<TR>" + cell, at + 1)) {
    std::size_t author = at + 4 + cell.size();
    std::size_t authorEnd = file.find("</TD>", author);
    std::size_t message = authorEnd + 5 + cell.size();
    std::size_t messageEnd = file.find("</TD></TR>", message);
    rows.emplace_back(file.substr(author, authorEnd - author), file.substr(message, messageEnd - message));
  }
  return rows;
}

// Checks one folder of the archive against the forum (or the index, id 0)
// it stands for: its sub-folders, its topic files and each topic's posts.
void checkFolder(const fs::path& folder, const BoardModel& model, const EngineBoard& board, int forumId) {
  std::set<std::string> expectedFolders;
  std::map<std::string, const demo::ModelTopic*> expectedFiles;
  std::map<std::string, std::string> expectedAttachments;  // name: bytes
  for (const demo::ModelForum& forum : model.forums) {
    int parent = board.subForums ? forum.parent : 0;
    if (parent == forumId) expectedFolders.insert(fileName(forum.name));
  }
  for (const demo::ModelTopic* topic : model.topicsOf(forumId)) {
    expectedFiles[fileName(topic->title) + ".html"] = topic;
    for (const demo::Post& post : topic->posts) {
      for (const demo::Attachment& attachment : post.attachments) {
        if (board.attachments) expectedAttachments[attachment.name] = attachment.bytes;
      }
    }
  }

  std::set<std::string> folders;
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (isArchiveRecord(entry.path())) continue;
    std::string name = unnumbered(entry.path().filename().string());
    if (entry.is_directory()) {
      folders.insert(name);
      for (const demo::ModelForum& forum : model.forums) {
        if (fileName(forum.name) == name) checkFolder(entry.path(), model, board, forum.id);
      }
      continue;
    }
    if (auto attachment = expectedAttachments.find(name); attachment != expectedAttachments.end()) {
      EXPECT_EQ(test::readFile(entry.path().string()), attachment->second) << entry.path();
      files.insert(name);
      continue;
    }
    files.insert(name);
    auto expected = expectedFiles.find(name);
    if (expected == expectedFiles.end()) continue;
    const demo::ModelTopic& topic = *expected->second;
    std::string text = test::readFile(entry.path().string());
    auto rows = postRows(text);
    ASSERT_EQ(rows.size(), topic.posts.size()) << entry.path();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const demo::Post& post = topic.posts[i];
      const std::string& message = rows[i].second;
      EXPECT_NE(rows[i].first.find(escaped(post.author->name)), std::string::npos)
          << entry.path() << " post " << post.id << ": " << rows[i].first;
      EXPECT_NE(message.find("Post " + std::to_string(post.id) + " "), std::string::npos)
          << entry.path() << ": " << message;
      EXPECT_EQ(message.find("<SCRIPT"), std::string::npos);
      for (const demo::Block& block : post.body) {
        if (block.kind == demo::Block::Kind::Quote) {
          std::size_t quote = message.find("<BLOCKQUOTE>");
          ASSERT_NE(quote, std::string::npos) << entry.path() << ": " << message;
          EXPECT_NE(message.find(escaped(block.who), quote), std::string::npos) << "who is quoted: " << message;
          EXPECT_NE(message.find(block.lines.front(), quote), std::string::npos) << message;
        } else if (block.kind == demo::Block::Kind::Code) {
          std::string lines;
          for (const std::string& line : block.lines) lines += (lines.empty() ? "" : "<BR>") + escaped(line);
          EXPECT_NE(message.find("<PRE>" + lines), std::string::npos) << entry.path() << ": " << message;
        } else if (block.kind == demo::Block::Kind::List) {
          EXPECT_EQ(count(message, "<LI>"), block.lines.size()) << message;
        } else if (block.lines.front().find("[b]") != std::string::npos) {
          EXPECT_NE(message.find("<B>"), std::string::npos) << message;
        }
      }
      if (i == 0) {  // two paragraphs, the first of two lines
        EXPECT_TRUE(count(message, "<BR><BR>") + count(message, "<P>") >= 1 &&
                    count(message, "<BR>") + count(message, "<P>") >= 2)
            << entry.path() << ": " << message;
      }
    }
  }
  std::set<std::string> expectedFileNames;
  for (const auto& [name, topic] : expectedFiles) expectedFileNames.insert(name);
  for (const auto& [name, bytes] : expectedAttachments) expectedFileNames.insert(name);
  EXPECT_EQ(folders, expectedFolders) << folder;
  EXPECT_EQ(files, expectedFileNames) << folder;
}

class EngineArchive : public ::testing::TestWithParam<const EngineBoard*> {};

TEST_P(EngineArchive, archivesEveryForumTopicAndPostWithItsFormatting) {
  const EngineBoard& board = *GetParam();
  auto model = std::make_shared<const BoardModel>(demo::makeBoardModel());
  demo::BoardServer server(board.make(model));
  ASSERT_TRUE(server.start());
  test::TempDir out;
  std::string address = "http://127.0.0.1:" + std::to_string(server.port()) + board.startPath;
  test::ProcessResult run = test::runProcess(QUILLSTASH_CLI, {address, out.path()}, std::chrono::seconds(90));
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;

  std::vector<fs::path> roots;
  for (const auto& entry : fs::directory_iterator(out.path())) roots.push_back(entry.path());
  ASSERT_EQ(roots.size(), 1u);
  checkFolder(roots.front(), *model, board, 0);
  for (const auto& entry : fs::recursive_directory_iterator(roots.front())) {
    if (entry.is_regular_file()) {
      EXPECT_GT(entry.file_size(), 0u) << entry.path();
    }
  }

  // The default two connections make the requests one connection makes:
  // nothing fetched twice, no page fetched ahead for nothing.
  auto sortedSince = [&server](std::size_t from) {
    std::vector<std::string> lines = server.requestLines();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(from));
    std::sort(lines.begin(), lines.end());
    return lines;
  };
  const std::vector<std::string> parallel = sortedSince(0);
  test::TempDir single;
  test::ProcessResult oneByOne =
      test::runProcess(QUILLSTASH_CLI, {"--connections", "1", address, single.path()}, std::chrono::seconds(90));
  ASSERT_EQ(oneByOne.exitCode, 0) << oneByOne.out << oneByOne.err;
  EXPECT_EQ(sortedSince(parallel.size()), parallel);

  // A second run into the same folder finds every topic unchanged from what
  // its forum's listing shows and fetches none of them again.
  test::ProcessResult again = test::runProcess(QUILLSTASH_CLI, {address, out.path()}, std::chrono::seconds(90));
  ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_EQ(again.out.find("* Saved:"), std::string::npos) << again.out;
  checkFolder(roots.front(), *model, board, 0);
}

std::vector<const EngineBoard*> allBoards() {
  std::vector<const EngineBoard*> boards;
  for (const EngineBoard& board : demo::engineBoards()) boards.push_back(&board);
  return boards;
}

INSTANTIATE_TEST_SUITE_P(EngineBoards, EngineArchive, ::testing::ValuesIn(allBoards()),
                         [](const ::testing::TestParamInfo<const EngineBoard*>& info) {
                           std::string name = info.param->name;
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// A board of an engine no built-in profile knows: "rooms" hold "threads"
// whose posts are <section> blocks; the second page of a thread is reached
// only through rel="next". Links carry title slugs that change between pages.
demo::Response madeUpBoard(const demo::Request& request) {
  auto page = [](const std::string& title, const std::string& body) {
    return demo::Response::html("<html><head><title>" + title +
                                "</title></head><body><nav><a href=\"/members\">Members</a>"
                                " <a href=\"/room/1-anything\">Jump: Harbour</a></nav>" +
                                body + "</body></html>");
  };
  auto post = [](const std::string& who, const std::string& text) {
    return "<section class=\"entry\"><header><span class=\"who\">" + who +
           "</span> <i class=\"when\">May 1</i></header>"
           "<div class=\"words\">" +
           text + "<script>alert(1)</script><p onclick=\"x()\">second <u>part</u></p></div></section>";
  };
  if (request.path == "/") {
    return page("Lanterns",
                "<ul class=\"rooms\"><li><a class=\"room\" href=\"/room/1-harbour\">Harbour</a></li>"
                "<li><a class=\"room\" href=\"/room/2-cliffs\">Cliffs</a></li></ul>");
  }
  if (request.path == "/room/1-harbour" || request.path == "/room/1-anything") {
    return page("Harbour",
                "<a class=\"thread\" href=\"/thread/7-mooring\"><img src=\"/new.png\"></a>"
                "<a class=\"thread\" href=\"/thread/7-mooring-lines\">Mooring lines</a>"
                "<a class=\"thread\" href=\"/thread/7-mooring?sort=new\">Mooring (by date)</a>");
  }
  if (request.path == "/room/2-cliffs") return page("Cliffs", "<a class=\"thread\" href=\"/thread/8-gulls\">Gulls</a>");
  if (request.path.rfind("/thread/7-", 0) == 0 && request.query.count("page") == 0) {
    return page("Mooring lines",
                post("Ann", "<b>Tie</b> it fast") + "<a rel=\"next\" href=\"/thread/7-moor?page=2\">more</a>");
  }
  if (request.path.rfind("/thread/7-", 0) == 0)
    return page("Mooring lines", post("Ben", "<blockquote>Ann said</blockquote>yes"));
  if (request.path.rfind("/thread/8-", 0) == 0) return page("Gulls", post("Cy", "<pre>a\nb</pre>"));
  return demo::Response::notFound();
}

TEST(ProfileFile, teachesTheProgramABoardOfAnEngineItDidNotKnow) {
  demo::BoardServer server(madeUpBoard);
  ASSERT_TRUE(server.start());
  test::TempDir out;
  std::string profile = out.file("lanterns.profile");
  {
    std::FILE* file = std::fopen(profile.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(
        "[engine]\nname = lanterns\ndetect = ul.rooms\n"
        "[forums]\nlinks = a.room\naddress = */room/#-*\n"
        "[topics]\nlinks = a.thread\naddress = */thread/#-*\nignore-address = *sort=*\n"
        "[posts]\npost = section.entry\nauthor = .who\ndate = .when\nmessage = .words\n",
        file);
    std::fclose(file);
  }
  std::string archive = out.file("archive");
  fs::create_directory(archive);
  std::string address = "http://127.0.0.1:" + std::to_string(server.port()) + "/";

  // Without the profile the board is not understood: nothing is saved.
  test::ProcessResult plain = test::runProcess(QUILLSTASH_CLI, {address, archive}, std::chrono::seconds(60));
  EXPECT_EQ(plain.out.find("* Saved:"), std::string::npos) << plain.out;
  fs::remove_all(archive);
  fs::create_directory(archive);

  test::ProcessResult run =
      test::runProcess(QUILLSTASH_CLI, {"--profile", profile, address, archive}, std::chrono::seconds(60));
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(archive)) {
    if (entry.is_regular_file() && !isArchiveRecord(entry.path()))
      files.insert(fs::relative(entry.path(), archive).generic_string());
  }
  // The icon link does not name the thread, the sort view and the jump link add nothing.
  EXPECT_EQ(files, (std::set<std::string>{"Lanterns/01 Harbour/00001 Mooring lines.html",
                                          "Lanterns/02 Cliffs/00001 Gulls.html"}));
  std::string mooring = test::readFile(archive + "/Lanterns/01 Harbour/00001 Mooring lines.html");
  auto rows = postRows(mooring);
  ASSERT_EQ(rows.size(), 2u) << mooring;  // the second page came through rel="next" with another slug
  EXPECT_EQ(rows[0].first, "Ann<BR>May 1");
  EXPECT_EQ(rows[0].second, "<B>Tie</B> it fast<P>second <U>part</U></P>");
  EXPECT_EQ(rows[1].second, "<BLOCKQUOTE>Ann said</BLOCKQUOTE>yes<P>second <U>part</U></P>");
  EXPECT_NE(test::readFile(archive + "/Lanterns/02 Cliffs/00001 Gulls.html").find("<PRE>a<BR>b</PRE>"),
            std::string::npos);

  test::ProcessResult list =
      test::runProcess(QUILLSTASH_CLI, {"--profile", profile, "--list-engines"}, std::chrono::seconds(30));
  EXPECT_NE(list.out.find("lanterns\t"), std::string::npos) << list.out;
  // The forum list numbers the forums as the download does, so that --skip means the same forum.
  list = test::runProcess(QUILLSTASH_CLI, {"--profile", profile, "--list-forums", address}, std::chrono::seconds(30));
  EXPECT_EQ(list.out, "01 Harbour\t" + address + "room/1-harbour\n02 Cliffs\t" + address + "room/2-cliffs\n");

  // A mistake in the file stops the program before anything is fetched or made and names its line.
  {
    std::FILE* file = std::fopen(profile.c_str(), "a");
    ASSERT_NE(file, nullptr);
    std::fputs("stray line\n", file);
    std::fclose(file);
  }
  test::ProcessResult broken =
      test::runProcess(QUILLSTASH_CLI, {"--profile", profile, address, out.file("other")}, std::chrono::seconds(30));
  EXPECT_EQ(broken.exitCode, 2) << "a usage error, found before anything is fetched";
  EXPECT_NE(broken.err.find("line 16: expected key = value"), std::string::npos) << broken.err;
  EXPECT_FALSE(fs::exists(out.file("other")));
}

}  // namespace
}  // namespace quillstash
