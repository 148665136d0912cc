// SPDX-License-Identifier: MIT
#pragma once

// One board described once (categories, forums and a sub-forum, topics and
// posts with authors, dates, quotes, code, lists, links and smileys) and
// printed by one renderer per forum engine as that engine shows it to a guest.
// The model is also the expected truth of the end-to-end tests: what an
// archive of any of the boards must contain.

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board_server.h"

namespace quillstash::demo {

struct Member {
  int id;
  std::string name;
};

// One block of a post's message. Paragraph and quote lines carry inline marks
// "[b]..[/b]", "[i]..[/i]", "[url=ADDRESS]..[/url]" and the smiley ":)";
// code lines are shown verbatim.
struct Block {
  enum class Kind { Paragraph, Quote, Code, List };
  Kind kind = Kind::Paragraph;
  std::vector<std::string> lines;  // a paragraph's lines, a list's items, a code block's lines
  std::string who;                 // the quoted member (quotes only)
  int quotedPost = 0;              // the quoted post's id (quotes only)
  int quotedNumber = 0;            // its place in the topic, from 1 (quotes only)
};

// A file attached to a post: what the engine's download address serves.
struct Attachment {
  int id;
  std::string name;  // the file name the engine sends and shows
  std::string type;  // its Content-Type
  std::string bytes;
  bool isImage() const { return type.starts_with("image/"); }
};

struct Post {
  int id;
  const Member* author;  // points into BoardModel::members
  long long time;        // seconds since 1970 (UTC)
  std::vector<Block> body;
  std::vector<Attachment> attachments;
};

struct ModelForum {
  int id;        // one id space with the categories, as most engines number them
  int category;  // the category heading it is listed under
  int parent;    // 0 for a forum of the index, else the forum it is a sub-forum of
  std::string name;
  std::string slug;
  std::string description;
};

struct ModelTopic {
  int id;
  int forum;
  std::string title;
  std::string slug;
  int views;
  std::vector<Post> posts;
};

struct Category {
  int id;
  std::string name;
  std::string slug;
};

struct BoardModel {
  std::string title;
  std::vector<Member> members;  // never resized after the model is built: posts point into it
  std::vector<Category> categories;
  std::vector<ModelForum> forums;  // in display order
  std::vector<ModelTopic> topics;  // in display order (newest activity first within a forum)
  int topicsPerPage = 5;
  int postsPerPage = 4;

  const ModelForum* forum(long id) const;
  const ModelTopic* topic(long id) const;
  const Category* category(long id) const;
  const Member* member(long id) const;
  // The post with this id and the topic holding it, or nulls.
  std::pair<const ModelTopic*, const Post*> post(long id) const;
  // The attachment with this id, or null.
  const Attachment* attachment(long id) const;
  // Forums listed directly under a category (parent 0) or under a forum.
  std::vector<const ModelForum*> forumsIn(int category) const;
  std::vector<const ModelForum*> subForums(int forum) const;
  std::vector<const ModelTopic*> topicsOf(int forum) const;
  // Topics and posts of a forum, its sub-forums included.
  std::size_t topicCount(int forum) const;
  std::size_t postCount(int forum) const;
  const Post* lastPost(int forum) const;
  std::size_t totalPosts() const;
  // Posts of `member` on the whole board.
  int postsBy(const Member& member) const;
  // Pages of `items` at `perPage` a page (at least one).
  static int pages(std::size_t items, int perPage);
  int forumPages(int forum) const { return pages(topicsOf(forum).size(), topicsPerPage); }
  int topicPages(const ModelTopic& topic) const { return pages(topic.posts.size(), postsPerPage); }
  // The 0-based page of a topic that shows its post number `index`.
  int pageOfPost(std::size_t index) const { return static_cast<int>(index) / postsPerPage; }
};

// The board every engine renders: two categories, a forum with a sub-forum,
// a forum over two pages of topics, topics over one to three pages.
BoardModel makeBoardModel();

// --- Helpers the renderers share ---------------------------------------

// Text made safe inside an element or a double-quoted attribute.
std::string escapeHtml(std::string_view text);
// Replaces each "{name}" of `pattern` by its value.
std::string fill(std::string pattern, std::initializer_list<std::pair<std::string_view, std::string_view>> values);
// Date texts of `time`: "2024-03-05T18:20:00+00:00", "Tue Mar 05, 2024 6:20 pm", "Mar 5, 2024".
std::string isoTime(long long time);
std::string longTime(long long time);
std::string shortDate(long long time);
// "http://127.0.0.1:PORT", the board's own address as a page prints it in full.
std::string origin(const Request& request);
// The query parameters of a target split at '&' and ';' as some engines write them.
std::string semicolonParam(const Request& request, std::string_view name);
// The same request's 32-digit session id if it carries one in `name`, else a new one.
std::string sessionId(const Request& request, std::string_view name, unsigned long long counter);

// How an engine prints the parts of a message.
struct PostMarkup {
  std::string boldOpen = "<b>", boldClose = "</b>";
  std::string italicOpen = "<i>", italicClose = "</i>";
  std::string link = "<a href=\"{href}\">{text}</a>";
  std::string smiley = "<img src=\"{src}\" alt=\":)\">";  // {src}: the engine's smiley address
  std::string smileySource;                               // the picture's address
  std::string lineBreak = "<br>\n";
  std::string paragraphOpen, paragraphClose;
  std::string paragraphSeparator = "<br>\n<br>\n";
  std::string quote;                 // {who}, {post} (id), {number} (place in the topic), {topic}, {body}
  std::string code;                  // {code}
  std::string codeLineBreak = "\n";  // between the lines of a code block
  std::string listOpen = "<ul>", listClose = "</ul>", itemOpen = "<li>", itemClose = "</li>";
};

// A pager: `open`, then for each page `previous` / `page` / `current` /
// `next` with {url} and {number} filled (the previous and next items only
// where such a page exists), then `close`. Nothing when there is one page.
struct PagerMarkup {
  std::string open, close, previous, page, current, next;
};
std::string renderPager(int current, int pages, const PagerMarkup& markup, const std::function<std::string(int)>& url);

// The message of `post` as the engine prints it; `topicId` fills quote links.
std::string renderMessage(const Post& post, const PostMarkup& markup, int topicId);

// An HTML page in UTF-8, as every engine here serves its pages.
Response htmlPage(std::string body);
// A small picture for smileys and avatars (a 1 x 1 PNG).
Response pictureResponse();
// The download of an attachment, with its type and file name as engines send them.
Response attachmentResponse(const Attachment& attachment);
// A plain page of the engine's frame for addresses a guest may open but the
// archive has no use for (log in, register, search, member list, posting).
Response plainPage(const std::string& head, const std::string& text);

// --- The engines --------------------------------------------------------

struct EngineBoard {
  const char* name;         // "phpbb3"
  const char* description;  // "phpBB 3.3 (prosilver)"
  const char* startPath;    // the index page, "/index.php"
  Handler (*make)(std::shared_ptr<const BoardModel> model);
  // Where the engine cannot show the model's shape: without sub-forums the
  // sub-forum is a forum of its category; without category headings the
  // forums stand on the index alone.
  bool subForums = true;
  bool categoryHeadings = true;
  // The board shows the model's attachments under their posts.
  bool attachments = false;
};

// Every engine board, in a fixed order.
std::span<const EngineBoard> engineBoards();
// The engine board named `name`, or null.
const EngineBoard* findEngineBoard(std::string_view name);

// Handlers of the engines; each keeps its model alive.
Handler makePhpbb3Board(std::shared_ptr<const BoardModel> model);
Handler makeXenForo2Board(std::shared_ptr<const BoardModel> model);
Handler makeDiscourse3Board(std::shared_ptr<const BoardModel> model);
Handler makeMyBB18Board(std::shared_ptr<const BoardModel> model);
Handler makeSmf21Board(std::shared_ptr<const BoardModel> model);
Handler makeVBulletin4Board(std::shared_ptr<const BoardModel> model);
Handler makeVBulletin4FriendlyBoard(std::shared_ptr<const BoardModel> model);
Handler makeFluxBB15Board(std::shared_ptr<const BoardModel> model);
Handler makeIps4Board(std::shared_ptr<const BoardModel> model);
Handler makeVBulletin5Board(std::shared_ptr<const BoardModel> model);

}  // namespace quillstash::demo
