// SPDX-License-Identifier: MIT
// Every engine board, served on loopback and walked from its index page like
// a guest's browser: each page, picture and pager target it links to answers
// 200 (after at most a few redirects), and every post of the board is on a
// page the walk reached, so archiving tests against the boards never meet a
// dead link or an unreachable post of the fixture itself.
#include <gtest/gtest.h>

#include <cctype>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "board_server.h"
#include "engine_board.h"
#include "platform/socket.h"

namespace quillstash {
namespace {

struct Answer {
  int status = 0;
  std::string type;
  std::string location;
  std::string body;
};

Answer get(std::uint16_t port, const std::string& target) {
  Answer answer;
  platform::SocketHandle socket = platform::createTcpSocket();
  if (socket == platform::kInvalidSocket) return answer;
  std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
  std::string raw;
  if (platform::connectSocket(socket, {0x7F000001, port}) &&
      platform::sendBytes(socket, request.data(), request.size()) > 0) {
    char buffer[16384];
    while (platform::waitReadable(socket, std::chrono::seconds(10)) == platform::WaitResult::kReadable) {
      long n = platform::receiveBytes(socket, buffer, sizeof buffer);
      if (n <= 0) break;
      raw.append(buffer, static_cast<std::size_t>(n));
    }
  }
  platform::closeSocket(socket);
  std::size_t headEnd = raw.find("\r\n\r\n");
  if (raw.rfind("HTTP/1.", 0) != 0 || headEnd == std::string::npos) return answer;
  answer.status = std::stoi(raw.substr(9, 3));
  std::size_t type = raw.find("Content-Type: ");
  if (type < headEnd) answer.type = raw.substr(type + 14, raw.find("\r\n", type) - type - 14);
  std::size_t location = raw.find("Location: ");
  if (location < headEnd) answer.location = raw.substr(location + 10, raw.find("\r\n", location) - location - 10);
  answer.body = raw.substr(headEnd + 4);
  return answer;
}

// The value of attribute `name` of `tag`, quoted with either quote mark.
std::string attribute(const std::string& tag, const std::string& name) {
  std::size_t at = std::string::npos;
  for (std::size_t from = tag.find(name + "="); from != std::string::npos; from = tag.find(name + "=", from + 1)) {
    if (std::isspace(static_cast<unsigned char>(tag[from - 1]))) {
      at = from;
      break;
    }
  }
  if (at == std::string::npos || at + name.size() + 1 >= tag.size()) return "";
  char quote = tag[at + name.size() + 1];
  if (quote != '"' && quote != '\'') return "";
  std::size_t from = at + name.size() + 2;
  std::string value = tag.substr(from, tag.find(quote, from) - from);
  for (std::size_t amp = value.find("&amp;"); amp != std::string::npos; amp = value.find("&amp;", amp + 1))
    value.erase(amp + 1, 4);
  return value;
}

// The addresses of the links, pictures and next/previous/canonical page links of
// `page`; `base` becomes the address of its <base href> when it has one.
std::vector<std::string> linksOf(const std::string& page, std::string& base) {
  std::vector<std::string> links;
  for (std::size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
    std::string tag = page.substr(at, page.find('>', at) - at);
    for (char& c : tag) {
      if (c == '\n' || c == '\t') c = ' ';
    }
    if (tag.rfind("<a ", 0) == 0) {
      links.push_back(attribute(tag, "href"));
    } else if (tag.rfind("<img ", 0) == 0) {
      links.push_back(attribute(tag, "src"));
    } else if (tag.rfind("<base ", 0) == 0) {
      base = attribute(tag, "href");
    } else if (tag.rfind("<link ", 0) == 0) {
      std::string rel = attribute(tag, "rel");
      if (rel == "next" || rel == "prev" || rel == "canonical") links.push_back(attribute(tag, "href"));
    }
  }
  return links;
}

// `link` as a request target of the board at `origin`, seen from `base`; empty for
// other hosts, in-page anchors and scripts.
std::string resolve(const std::string& link, const std::string& base, const std::string& origin) {
  std::string target = link.substr(0, link.find('#'));
  if (target.empty() || link.rfind("javascript:", 0) == 0 || link.rfind("mailto:", 0) == 0 ||
      link.rfind("data:", 0) == 0)
    return "";
  if (target.rfind(origin, 0) == 0) target = target.substr(origin.size());
  if (target.find("://") != std::string::npos || target.rfind("//", 0) == 0) return "";
  std::string path = base.substr(0, base.find('?'));
  if (target[0] == '?') return path + target;
  if (target[0] != '/') target = path.substr(0, path.rfind('/') + 1) + target;
  std::vector<std::string> parts;
  std::string query = target.find('?') == std::string::npos ? "" : target.substr(target.find('?'));
  std::string rest = target.substr(0, target.find('?'));
  for (std::size_t from = 1; from <= rest.size();) {
    std::size_t slash = rest.find('/', from);
    if (slash == std::string::npos) slash = rest.size();
    std::string part = rest.substr(from, slash - from);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (part != ".") {
      parts.push_back(part);
    }
    from = slash + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  if (rest.ends_with("/") && !out.ends_with("/")) out += "/";
  return (out.empty() ? "/" : out) + query;
}

// A target without the session ids engines add for guests, so one page is visited once.
std::string withoutSession(std::string target) {
  for (const char* name : {"sid=", "s=", "PHPSESSID="}) {
    for (const char* before : {"?", "&", ";"}) {
      std::size_t at = target.find(std::string(before) + name);
      if (at == std::string::npos) continue;
      std::size_t end = target.find_first_of("&;#", at + 1);
      target.erase(at + 1, end == std::string::npos ? std::string::npos : end - at);
    }
  }
  while (!target.empty() && (target.back() == '&' || target.back() == '?' || target.back() == ';')) target.pop_back();
  return target;
}

class EngineBoardLinks : public ::testing::TestWithParam<std::string> {};

TEST_P(EngineBoardLinks, everyLinkedPageOfTheBoardAnswers) {
  const demo::EngineBoard* engine = demo::findEngineBoard(GetParam());
  ASSERT_NE(engine, nullptr);
  demo::BoardServer server(engine->make(std::make_shared<const demo::BoardModel>(demo::makeBoardModel())));
  ASSERT_TRUE(server.start());
  const std::string origin = "http://127.0.0.1:" + std::to_string(server.port());

  std::deque<std::pair<std::string, std::string>> queue{{engine->startPath, "(start)"}};  // target, linked from
  std::set<std::string> seen{withoutSession(engine->startPath)};
  std::size_t pages = 0;
  std::string seenText;  // every page fetched, to find each post's words in
  while (!queue.empty() && pages < 2000) {
    auto [target, from] = queue.front();
    queue.pop_front();
    Answer answer = get(server.port(), target);
    // Permalinks and "latest post" links of some engines redirect to the page holding the post.
    for (int hops = 0; hops < 3 && (answer.status == 301 || answer.status == 302) && !answer.location.empty(); ++hops) {
      target = resolve(answer.location, target, origin);
      answer = get(server.port(), target);
    }
    ++pages;
    EXPECT_EQ(answer.status, 200) << target << " linked from " << from;
    if (answer.type.rfind("text/html", 0) != 0) continue;
    seenText += answer.body;
    std::string base = target;
    std::vector<std::string> links = linksOf(answer.body, base);
    if (base.rfind(origin, 0) == 0) base = base.substr(origin.size());
    for (const std::string& link : links) {
      std::string next = resolve(link, base, origin);
      if (!next.empty() && seen.insert(withoutSession(next)).second) queue.emplace_back(next, target);
    }
  }
  EXPECT_TRUE(queue.empty()) << "the walk stopped after " << pages << " pages, next " << queue.front().first
                             << " linked from " << queue.front().second;
  // Every post of the board can be reached by following links: each one's
  // message names it ("Post 12 ...").
  demo::BoardModel model = demo::makeBoardModel();
  for (const demo::ModelTopic& topic : model.topics) {
    for (const demo::Post& post : topic.posts) {
      EXPECT_NE(seenText.find("Post " + std::to_string(post.id) + " "), std::string::npos)
          << "post " << post.id << " of " << topic.title;
    }
  }
}

std::vector<std::string> engineNames() {
  std::vector<std::string> names;
  for (const demo::EngineBoard& board : demo::engineBoards()) names.emplace_back(board.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineBoardLinks, ::testing::ValuesIn(engineNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

}  // namespace
}  // namespace quillstash
