// SPDX-License-Identifier: MIT
#include "engine_board.h"

#include <cctype>
#include <ctime>

#include "boards.h"

namespace quillstash::demo {
namespace {

constexpr long long kFirstPostTime = 1709662800;  // 2024-03-05 18:20 UTC

struct TopicSeed {
  int forum;
  const char* title;
  int posts;
};

std::string slugOf(std::string_view text) {
  std::string slug;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u)) {
      slug += static_cast<char>(std::tolower(u));
    } else if (!slug.empty() && slug.back() != '-') {
      slug += '-';
    }
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return slug;
}

// The message of post number `index` of a topic: the first post shows inline
// marks and paragraphs, the later ones in turn a quote of the post before, a
// code block, a list and plain lines.
std::vector<Block> postBody(const ModelTopic& topic, std::size_t index, int postId) {
  using Kind = Block::Kind;
  std::string number = std::to_string(postId);
  if (index == 0) {
    return {Block{Kind::Paragraph,
                  {"Post " + number + " opens [b]" + topic.title + "[/b] for everyone.",
                   "Read the [i]keeper's notes[/i] at [url=https://example.org/notes/" + topic.slug +
                       "]the lamp notes[/url] first."},
                  "",
                  0},
            Block{Kind::Paragraph, {"A second paragraph to say hello :)"}, "", 0}};
  }
  const Post& before = topic.posts[index - 1];
  switch (index % 4) {
    case 1:
      return {Block{Kind::Quote,
                    {"Quoted words of post " + std::to_string(before.id) + "."},
                    before.author->name,
                    before.id,
                    static_cast<int>(index)},
              Block{Kind::Paragraph, {"Post " + number + " agrees with [b]that[/b] :)"}, "", 0}};
    case 2:
      return {Block{Kind::Paragraph, {"Post " + number + " brings the trimming script:"}, "", 0},
              Block{Kind::Code, {"#!/bin/sh", "trim --wick 3", "  echo \"<done> & dusted\""}, "", 0}};
    case 3:
      return {Block{Kind::Paragraph, {"Post " + number + " lists the morning work:"}, "", 0},
              Block{Kind::List, {"Trim the wick", "Polish the [b]lens[/b]", "Wind the clock"}, "", 0}};
    default:
      return {
          Block{Kind::Paragraph, {"Post " + number + " has two lines,", "the [i]second[/i] after a break."}, "", 0}};
  }
}

std::string timeText(long long time, const char* format) {
  std::time_t t = static_cast<std::time_t>(time);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[64];
  std::strftime(text, sizeof text, format, &parts);
  return text;
}

std::string inlineText(std::string_view text, const PostMarkup& markup) {
  std::string out;
  std::size_t at = 0;
  auto startsWith = [&](std::string_view piece) { return text.substr(at, piece.size()) == piece; };
  while (at < text.size()) {
    if (startsWith("[b]")) {
      out += markup.boldOpen;
      at += 3;
    } else if (startsWith("[/b]")) {
      out += markup.boldClose;
      at += 4;
    } else if (startsWith("[i]")) {
      out += markup.italicOpen;
      at += 3;
    } else if (startsWith("[/i]")) {
      out += markup.italicClose;
      at += 4;
    } else if (startsWith("[url=")) {
      std::size_t close = text.find(']', at);
      std::size_t end = text.find("[/url]", close);
      std::string href = escapeHtml(text.substr(at + 5, close - at - 5));
      std::string label = escapeHtml(text.substr(close + 1, end - close - 1));
      out += fill(markup.link, {{"href", href}, {"text", label}});
      at = end + 6;
    } else if (startsWith(":)")) {
      out += fill(markup.smiley, {{"src", markup.smileySource}});
      at += 2;
    } else {
      out += escapeHtml(text.substr(at, 1));
      ++at;
    }
  }
  return out;
}

std::string inlineLines(const std::vector<std::string>& lines, const PostMarkup& markup) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += markup.lineBreak;
    out += inlineText(lines[i], markup);
  }
  return out;
}

}  // namespace

const ModelForum* BoardModel::forum(long id) const {
  for (const ModelForum& f : forums) {
    if (f.id == id) return &f;
  }
  return nullptr;
}

const ModelTopic* BoardModel::topic(long id) const {
  for (const ModelTopic& t : topics) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

const Category* BoardModel::category(long id) const {
  for (const Category& c : categories) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const Member* BoardModel::member(long id) const {
  for (const Member& m : members) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

std::pair<const ModelTopic*, const Post*> BoardModel::post(long id) const {
  for (const ModelTopic& t : topics) {
    for (const Post& p : t.posts) {
      if (p.id == id) return {&t, &p};
    }
  }
  return {nullptr, nullptr};
}

const Attachment* BoardModel::attachment(long id) const {
  for (const ModelTopic& t : topics) {
    for (const Post& p : t.posts) {
      for (const Attachment& a : p.attachments) {
        if (a.id == id) return &a;
      }
    }
  }
  return nullptr;
}

std::vector<const ModelForum*> BoardModel::forumsIn(int categoryId) const {
  std::vector<const ModelForum*> out;
  for (const ModelForum& f : forums) {
    if (f.category == categoryId && f.parent == 0) out.push_back(&f);
  }
  return out;
}

std::vector<const ModelForum*> BoardModel::subForums(int forumId) const {
  std::vector<const ModelForum*> out;
  for (const ModelForum& f : forums) {
    if (f.parent == forumId) out.push_back(&f);
  }
  return out;
}

std::vector<const ModelTopic*> BoardModel::topicsOf(int forumId) const {
  std::vector<const ModelTopic*> out;
  for (const ModelTopic& t : topics) {
    if (t.forum == forumId) out.push_back(&t);
  }
  return out;
}

std::size_t BoardModel::topicCount(int forumId) const {
  std::size_t count = topicsOf(forumId).size();
  for (const ModelForum* sub : subForums(forumId)) count += topicCount(sub->id);
  return count;
}

std::size_t BoardModel::postCount(int forumId) const {
  std::size_t count = 0;
  for (const ModelTopic* t : topicsOf(forumId)) count += t->posts.size();
  for (const ModelForum* sub : subForums(forumId)) count += postCount(sub->id);
  return count;
}

const Post* BoardModel::lastPost(int forumId) const {
  const Post* last = nullptr;
  for (const ModelTopic* t : topicsOf(forumId)) {
    if (last == nullptr || t->posts.back().time > last->time) last = &t->posts.back();
  }
  for (const ModelForum* sub : subForums(forumId)) {
    const Post* p = lastPost(sub->id);
    if (p != nullptr && (last == nullptr || p->time > last->time)) last = p;
  }
  return last;
}

std::size_t BoardModel::totalPosts() const {
  std::size_t count = 0;
  for (const ModelTopic& t : topics) count += t.posts.size();
  return count;
}

int BoardModel::postsBy(const Member& member) const {
  int count = 0;
  for (const ModelTopic& t : topics) {
    for (const Post& p : t.posts) count += p.author == &member ? 1 : 0;
  }
  return count;
}

int BoardModel::pages(std::size_t items, int perPage) {
  int count = static_cast<int>((items + static_cast<std::size_t>(perPage) - 1) / static_cast<std::size_t>(perPage));
  return count < 1 ? 1 : count;
}

BoardModel makeBoardModel() {
  BoardModel model;
  model.title = "Lantern Keepers";
  model.members = {{2, "Ada Beacon"}, {3, "Tom Wick"}, {4, "Mara Fathom"}, {5, "Old Ned"}, {6, "Lise Harbour"}};
  model.categories = {{1, "The Lamp Room", "the-lamp-room"}, {4, "The Workshop", "the-workshop"}};
  model.forums = {
      {2, 1, 0, "General Chat", "general-chat", "Anything about keeping a light."},
      {5, 1, 2, "Introductions", "introductions", "New keepers say hello here."},
      {3, 1, 0, "Storm Stories", "storm-stories", "Nights to remember."},
      {6, 4, 0, "Lamps and Lenses", "lamps-and-lenses", "Wicks, mantles, prisms & clockwork."},
  };
  const TopicSeed seeds[] = {
      {2, "Welcome to the lamp room", 10},
      {2, "Which lighthouse is your favourite?", 6},
      {2, "Board rules & etiquette", 1},
      {2, "Fog signals at dawn", 3},
      {2, "Night watch rota", 2},
      {2, "Keeper's log formats", 4},
      {2, "Tides and timetables", 5},
      {5, "Hello from the harbour town", 2},
      {5, "New keeper, first winter", 3},
      {3, "The great gale of '98", 4},
      {3, "Lightning on the gallery", 1},
      {6, "Fresnel lens cleaning", 9},
      {6, "Clockwork rotation (part 2)", 5},
      {6, "Paraffin or electric?", 2},
  };
  int topicId = 0;
  int postId = 0;
  for (const TopicSeed& seed : seeds) {
    ++topicId;
    ModelTopic topic{topicId, seed.forum, seed.title, slugOf(seed.title), 40 + 7 * topicId, {}};
    for (int i = 0; i < seed.posts; ++i) {
      ++postId;
      const Member* author = &model.members[static_cast<std::size_t>(topicId + i) % model.members.size()];
      topic.posts.push_back(Post{postId, author, kFirstPostTime + topicId * 86400LL + i * 3700LL, {}, {}});
      topic.posts.back().body = postBody(topic, static_cast<std::size_t>(i), postId);
    }
    model.topics.push_back(std::move(topic));
  }
  // "Fresnel lens cleaning": a text file on its first post and a picture on
  // a post of its second page.
  ModelTopic& lens = model.topics[11];
  lens.posts[0].attachments.push_back({1, "lens-notes.txt", "text/plain", "Vinegar, water, a soft cloth.\n"});
  lens.posts[5].attachments.push_back({2, "prism.png", "image/png", pngPicture(0x40)});
  return model;
}

std::string escapeHtml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#039;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string fill(std::string pattern, std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
  for (const auto& [name, value] : values) {
    std::string key = "{" + std::string(name) + "}";
    for (std::size_t at = pattern.find(key); at != std::string::npos; at = pattern.find(key, at + value.size())) {
      pattern.replace(at, key.size(), value);
    }
  }
  return pattern;
}

std::string isoTime(long long time) { return timeText(time, "%Y-%m-%dT%H:%M:%S+00:00"); }
std::string longTime(long long time) { return timeText(time, "%a %b %d, %Y %-I:%M %P"); }
std::string shortDate(long long time) { return timeText(time, "%b %d, %Y"); }

std::string origin(const Request& request) { return "http://127.0.0.1:" + std::to_string(request.serverPort); }

std::string semicolonParam(const Request& request, std::string_view name) {
  std::size_t question = request.target.find('?');
  if (question == std::string::npos) return "";
  std::string query = request.target.substr(question + 1);
  std::size_t start = 0;
  while (start < query.size()) {
    std::size_t end = query.find_first_of("&;", start);
    if (end == std::string::npos) end = query.size();
    std::string pair = query.substr(start, end - start);
    std::size_t equals = pair.find('=');
    if (pair.substr(0, equals) == name) return equals == std::string::npos ? "" : urlDecode(pair.substr(equals + 1));
    start = end + 1;
  }
  return "";
}

std::string sessionId(const Request& request, std::string_view name, unsigned long long counter) {
  std::string given = request.param(std::string(name));
  bool valid = given.size() == 32;
  for (char c : given) valid = valid && std::isxdigit(static_cast<unsigned char>(c));
  if (valid) return given;
  // Two rounds of a 64-bit mixer give 32 hex digits that differ per visit.
  std::string id;
  unsigned long long state = counter * 0x9E3779B97F4A7C15ULL + request.serverPort;
  for (int round = 0; round < 2; ++round) {
    state += 0x9E3779B97F4A7C15ULL;
    unsigned long long z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) id += kHex[(z >> (i * 4)) & 0xF];
  }
  return id;
}

std::string renderMessage(const Post& post, const PostMarkup& markup, int topicId) {
  std::string out;
  for (std::size_t b = 0; b < post.body.size(); ++b) {
    const Block& block = post.body[b];
    if (b > 0) out += markup.paragraphSeparator;
    switch (block.kind) {
      case Block::Kind::Paragraph:
        out += markup.paragraphOpen + inlineLines(block.lines, markup) + markup.paragraphClose;
        break;
      case Block::Kind::Quote:
        out += fill(markup.quote, {{"who", escapeHtml(block.who)},
                                   {"post", std::to_string(block.quotedPost)},
                                   {"number", std::to_string(block.quotedNumber)},
                                   {"topic", std::to_string(topicId)},
                                   {"body", inlineLines(block.lines, markup)}});
        break;
      case Block::Kind::Code: {
        std::string code;
        for (std::size_t i = 0; i < block.lines.size(); ++i)
          code += (i > 0 ? markup.codeLineBreak : "") + escapeHtml(block.lines[i]);
        out += fill(markup.code, {{"code", code}});
        break;
      }
      case Block::Kind::List:
        out += markup.listOpen;
        for (const std::string& item : block.lines)
          out += markup.itemOpen + inlineText(item, markup) + markup.itemClose;
        out += markup.listClose;
        break;
    }
  }
  return out;
}

std::string renderPager(int current, int pages, const PagerMarkup& markup, const std::function<std::string(int)>& url) {
  if (pages <= 1) return "";
  std::string out = markup.open;
  if (current > 0) out += fill(markup.previous, {{"url", url(current - 1)}, {"number", std::to_string(current)}});
  for (int page = 0; page < pages; ++page) {
    const std::string& item = page == current ? markup.current : markup.page;
    out += fill(item, {{"url", url(page)}, {"number", std::to_string(page + 1)}});
  }
  if (current + 1 < pages)
    out += fill(markup.next, {{"url", url(current + 1)}, {"number", std::to_string(current + 2)}});
  return out + markup.close;
}

Response htmlPage(std::string body) {
  Response response;
  response.headers.emplace_back("Content-Type", "text/html; charset=utf-8");
  response.body = std::move(body);
  return response;
}

Response attachmentResponse(const Attachment& attachment) {
  Response response;
  response.headers.emplace_back("Content-Type", attachment.type);
  response.headers.emplace_back("Content-Disposition", std::string(attachment.isImage() ? "inline" : "attachment") +
                                                           "; filename=\"" + attachment.name + "\"");
  response.body = attachment.bytes;
  return response;
}

Response pictureResponse() {
  Response response;
  response.headers.emplace_back("Content-Type", "image/png");
  response.body = pngPicture(0x80);
  return response;
}

Response plainPage(const std::string& head, const std::string& text) {
  return htmlPage("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n" + head + "</head>\n<body>\n<p>" +
                  escapeHtml(text) + "</p>\n</body>\n</html>\n");
}

std::span<const EngineBoard> engineBoards() {
  static constexpr EngineBoard kBoards[] = {
      {"phpbb3", "phpBB 3.3 (prosilver)", "/index.php", makePhpbb3Board, true, true, true},
      {"xenforo2", "XenForo 2.2 (default style)", "/", makeXenForo2Board},
      {"discourse3", "Discourse 3.2 (view without JavaScript)", "/", makeDiscourse3Board, true, false},
      {"mybb18", "MyBB 1.8 (default theme)", "/index.php", makeMyBB18Board},
      {"smf21", "SMF 2.1 (Curve2)", "/index.php", makeSmf21Board, true, true, true},
      {"vbulletin4", "vBulletin 4.2 (basic addresses)", "/forum.php", makeVBulletin4Board},
      {"vbulletin4-friendly", "vBulletin 4.2 (friendly addresses)", "/forum.php", makeVBulletin4FriendlyBoard},
      {"fluxbb15", "FluxBB 1.5 (Air)", "/index.php", makeFluxBB15Board, false, true},
      {"ips4", "Invision Community 4.7 (friendly addresses)", "/", makeIps4Board},
      {"vbulletin5", "vBulletin 5.6 (Connect)", "/", makeVBulletin5Board},
  };
  return kBoards;
}

const EngineBoard* findEngineBoard(std::string_view name) {
  for (const EngineBoard& board : engineBoards()) {
    if (name == board.name) return &board;
  }
  return nullptr;
}

}  // namespace quillstash::demo
