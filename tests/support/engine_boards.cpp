// SPDX-License-Identifier: MIT
#include "support/engine_boards.h"

#include <cstdio>
#include <string>

namespace quillstash::test {
namespace {

using demo::Request;
using demo::Response;

struct Post {
  const char* author;
  const char* text;
};

const char* const kForumNames[] = {"Harbour News", "Ships &amp; Boats"};

// Topic t (1 to 3) of forum f (1 or 2): topic 1 and 2 in forum 1 (topic 2 on
// its second page), topic 3 in forum 2. Topic 1 has two pages.
int forumOfTopic(long topic) { return topic == 3 ? 2 : 1; }

const char* topicTitle(long topic) {
  switch (topic) {
    case 1: return "Fog signals";
    case 2: return "Winter moorings";
    default: return "The red schooner";
  }
}

Post topicPost(long topic, int page, int index) {
  static const char* const kAuthors[] = {"Ines", "Bart", "Coral"};
  static const char* const kTexts[] = {"First <b>post</b> here.", "A reply with <i>feeling</i>.",
                                       "Last word &amp; goodbye."};
  (void)topic;
  return {kAuthors[(page + index) % 3], kTexts[(page * 2 + index) % 3]};
}

int postsOnPage(long topic, int page) { return topic == 1 ? (page == 0 ? 2 : 1) : 2; }

std::string session(const Request& request) {
  // A new id on every page, as boards without cookies hand them out.
  static unsigned counter = 0;
  char id[40];
  std::snprintf(id, sizeof id, "%08x%08x0123456789abcdef", ++counter, static_cast<unsigned>(request.target.size()));
  return id;
}

Response page(const std::string& title, const std::string& body) {
  return Response::html("<html><head><title>" + title + "</title></head><body>" + body + "</body></html>");
}

}  // namespace

Response commentMarkerBoard(const Request& request) {
  std::string s = session(request);
  if (request.path == "/" || request.path == "/index.php") {
    std::string body = "<table class=\"tborder\" width=\"100%\"><tbody>";
    for (int f = 1; f <= 2; ++f) {
      body += "<tr><td class=\"alt1Active\" width=\"70%\"><div><a href=\"forumdisplay.php?s=" + s +
              "&amp;f=" + std::to_string(f) + "\"><strong>" + kForumNames[f - 1] +
              "</strong></a></div></td><td class=\"alt2\">"
              "<a href=\"showthread.php?s=" +
              s + "&amp;goto=newpost&amp;t=" + std::to_string(f) + "\">Last</a></td></tr>";
    }
    body += "</tbody></table><a href=\"member.php?s=" + s + "&amp;u=1\">Ines</a>";
    return page("Harbour Board - Powered by Engine", body);
  }
  if (request.path == "/forumdisplay.php") {
    long f = request.number("f");
    long pageNumber = request.number("page", 1);
    std::string body;
    for (long t = 1; t <= 3; ++t) {
      if (forumOfTopic(t) != f) continue;
      if (f == 1 && ((t == 1) != (pageNumber == 1))) continue;  // forum 1 shows topic 2 on page 2
      body += "<tr><td class=\"alt1\" id=\"td_title_" + std::to_string(t) + "\"><a href=\"showthread.php?s=" + s +
              "&amp;t=" + std::to_string(t) + "\" id=\"thread_title_" + std::to_string(t) + "\">" + topicTitle(t) +
              "</a></td></tr>";
    }
    std::string nav;
    if (f == 1) {
      nav = pageNumber == 1 ? "<a href=\"forumdisplay.php?s=" + s + "&amp;f=1&amp;page=2\" title=\"Next Page\">2</a>"
                            : "<a href=\"forumdisplay.php?s=" + s + "&amp;f=1&amp;page=1\" title=\"Prev Page\">1</a>";
    }
    return page(std::string("Harbour Board - ") + kForumNames[f - 1],
                "<table class=\"tborder\">" + body + "</table>" + nav);
  }
  if (request.path == "/showthread.php") {
    long t = request.number("t");
    if (t < 1 || t > 3) return Response::notFound();
    int pageNumber = static_cast<int>(request.number("page", 1)) - 1;
    std::string body;
    for (int i = 0; i < postsOnPage(t, pageNumber); ++i) {
      Post post = topicPost(t, pageNumber, i);
      body +=
          "<table class=\"tborder\"><tr><td class=\"alt2\"><!-- user info --><div><a class=\"bigusername\" href=\"member.php?s=" +
          s + "&amp;u=2\">" + post.author +
          "</a></div><div class=\"smallfont\">Member</div><!-- / user info --></td></tr>"
          "<tr><td class=\"alt1\"><!-- message --><div id=\"post_message\">" +
          post.text + "</div><!-- / message --></td></tr></table>";
    }
    if (t == 1 && pageNumber == 0) body += "<a href=\"showthread.php?s=" + s + "&amp;t=1&amp;page=2\">2</a>";
    return page(std::string("Harbour Board - ") + topicTitle(t), body);
  }
  return Response::notFound();
}

Response showTopicBoard(const Request& request) {
  if (request.path != "/" && request.path != "/index.php") return Response::notFound();
  if (request.query.count("showforum") != 0) {
    long f = request.number("showforum");
    long st = request.number("st");
    std::string rows;
    for (long t = 1; t <= 3; ++t) {
      if (forumOfTopic(t) != f) continue;
      if (f == 1 && ((t == 1) != (st == 0))) continue;
      std::string id = std::to_string(t);
      rows += "<tr><td class=\"row4\" width=\"3%\">*</td><td class=\"row4\"><a href=\"index.php?showtopic=" + id +
              "\">" + topicTitle(t) + "</a> <a href=\"index.php?showtopic=" + id +
              "&amp;act=ST&amp;view=getlastpost\">&raquo;</a></td>"
              "<td class=\"row2\"><a href=\"index.php?act=Profile&amp;MID=3\">Bart</a></td></tr>";
    }
    std::string nav = f == 1 ? (st == 0 ? "Pages (2): <b>1</b> <a href=\"index.php?showforum=1&amp;st=15\">2</a>"
                                        : "Pages (2): <a href=\"index.php?showforum=1&amp;st=0\">1</a> <b>2</b>")
                             : "";
    return page(std::string("Lighthouse Club -> ") + kForumNames[f - 1],
                nav + "<table width=\"100%\">" + rows + "</table>");
  }
  if (request.query.count("showtopic") != 0) {
    long t = request.number("showtopic");
    if (t < 1 || t > 3) return Response::notFound();
    int pageNumber = static_cast<int>(request.number("st") / 15);
    std::string body = "<table width=\"100%\" cellspacing=\"1\">";
    for (int i = 0; i < postsOnPage(t, pageNumber); ++i) {
      Post post = topicPost(t, pageNumber, i);
      body += "<tr><td valign=\"top\" class=\"post1\" width=\"20%\"><span class=\"normalname\">" +
              std::string(post.author) +
              "</span></td><td valign=\"top\" class=\"post1\" width=\"100%\"><div class=\"postcolor\">" + post.text +
              "</div></td></tr>";
    }
    body += "</table>";
    if (t == 1) {
      body += pageNumber == 0 ? "Pages (2): <b>1</b> <a href=\"index.php?showtopic=1&amp;st=15\">2</a>"
                              : "Pages (2): <a href=\"index.php?showtopic=1&amp;st=0\">1</a> <b>2</b>";
    }
    return page(std::string("Lighthouse Club -> ") + topicTitle(t), body);
  }
  std::string rows;
  for (int f = 1; f <= 2; ++f) {
    rows += "<tr><td class=\"row4\" width=\"5%\">*</td><td class=\"row4\"><b><a href=\"index.php?showforum=" +
            std::to_string(f) + "\">" + kForumNames[f - 1] + "</a></b></td><td class=\"row2\">3</td></tr>";
  }
  return page("Lighthouse Club - Powered by Board", "<table width=\"100%\">" + rows + "</table>");
}

Response unknownShapeBoard(const Request& request) {
  auto table = [](const std::string& head, const std::string& rows) {
    return "<table width=\"100%\" border=\"0\"><tr>" + head + "</tr>" + rows + "</table>";
  };
  if (request.path == "/" || request.path == "/main.cgi") {
    std::string rows;
    for (int f = 1; f <= 2; ++f) {
      rows += "<tr><td><a href=\"go.cgi?area=" + std::to_string(f) + "\">" + kForumNames[f - 1] +
              "</a></td><td>3</td><td>7</td>"
              "<td><a href=\"profile.cgi?user=ines\">Ines</a></td></tr>";
    }
    return page("Quay Talk", table("<th>Area</th><th>Topics</th><th>Posts</th><th>Last</th>", rows));
  }
  if (request.path == "/go.cgi") {
    long f = request.number("area");
    std::string rows;
    for (long t = 1; t <= 3; ++t) {
      if (forumOfTopic(t) != f) continue;
      rows += "<tr><td><a href=\"read.cgi?id=" + std::to_string(t) + "\">" + topicTitle(t) +
              "</a></td><td>2</td>"
              "<td><a href=\"profile.cgi?user=bart\">Bart</a></td></tr>";
    }
    return page(std::string("Quay Talk: ") + kForumNames[f - 1],
                table("<th>Topic</th><th>Replies</th><th>Starter</th>", rows));
  }
  if (request.path == "/read.cgi") {
    long t = request.number("id");
    if (t < 1 || t > 3) return Response::notFound();
    std::string body = "<table width=\"100%\">";
    for (int i = 0; i < postsOnPage(t, 0); ++i) {
      Post post = topicPost(t, 0, i);
      body += "<tr><td width=\"120\">" + std::string(post.author) + "</td><td>" + post.text + "</td></tr>";
    }
    return page(std::string("Quay Talk: ") + topicTitle(t), body + "</table>");
  }
  return Response::notFound();
}

}  // namespace quillstash::test
