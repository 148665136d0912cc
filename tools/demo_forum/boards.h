// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "board_server.h"

namespace quillstash::demo {

struct Forum {
  int id;
  int parent;    // 0 for a top-level forum
  int category;  // heading the forum is listed under on the index page
  std::string name;
  std::string description;
  bool membersOnly = false;  // listed and readable only after logging in
};

struct Topic {
  int id;
  int forum;
  std::string title;
  int posts;
};

// What a classic board holds and how it pages.
struct BoardShape {
  std::string title = "Lantern Keepers";
  std::vector<std::string> categories = {"The Lamp Room", "The Chart Room"};
  std::vector<Forum> forums;
  std::vector<Topic> topics;
  int topicsPerPage = 10;
  int postsPerPage = 5;
  // Bytes of ordinary text added to every post, to give pages a realistic size.
  std::size_t postPadding = 0;
  // The first posts of topic 1 show quotes, smileys, an attachment, an external
  // image and a thumbnail link.
  bool showcase = true;
  // Forum pages list every page when 0; otherwise this many at each end and
  // the neighbours of the current one.
  int pageLinkWindow = 0;
};

// A board in the classic table-based shape: an index of categories and
// forums, forums with sub-forums and "Goto page" navigation, topics whose posts
// are two-cell rows with a narrow author cell, a login form, and the
// profile, posting, search and member-list links a real board has.
class ClassicBoard {
 public:
  explicit ClassicBoard(BoardShape shape) : shape_(std::move(shape)) {}
  Response serve(const Request& request) const;
  const BoardShape& shape() const { return shape_; }

 private:
  const Forum* findForum(long id) const;
  const Topic* findTopic(long id) const;
  std::string forumRow(const Forum& forum) const;
  std::string forumTable(const Request& request, int parent) const;
  Response indexPage(const Request& request) const;
  std::string topicRow(const Topic& topic) const;
  Response forumPage(const Request& request) const;
  std::string postText(const Request& request, const Topic& topic, int index) const;
  Response topicPage(const Request& request) const;

  BoardShape shape_;
};

// The bundled demo board: categories, forums with sub-forums, a forum over
// three pages, topics over several pages, quotes, bold and italic text,
// smileys, an attachment served with a Content-Disposition name, an external
// image on a second host name (localhost while the board is 127.0.0.1), a
// thumbnail link and a forum only a logged-in member sees. User "keeper",
// password "lantern".
BoardShape demoShape();

// A tiny valid PNG picture (1 x 1 pixel); `shade` tells pictures apart.
std::string pngPicture(unsigned char shade);

}  // namespace quillstash::demo
