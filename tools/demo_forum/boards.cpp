// SPDX-License-Identifier: MIT
#include "boards.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quillstash::demo {
namespace {

const char* const kSessionCookie = "lk_session";
const char* const kSessionValue = "c0ffee42";
const char* const kAuthors[] = {"Ada Beacon", "Tom Wick", "Mara Fathom", "Old Ned", "Lise Harbour"};

// The visit cookie a page with the login form sets, and the secret its form
// token is made with: a login is taken only with the token of the form shown
// under the same visit cookie, as boards bind their forms to the session.
const char* const kVisitCookie = "lk_sid";
const char* const kFormSecret = "lantern-keepers-form-secret";

std::string hex64(std::uint64_t value) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kHex[value & 0x0F];
  return text;
}

// The visit cookie of the request, or empty when it has none of the form the board makes.
std::string visitOf(const Request& request) {
  auto found = request.cookies.find(kVisitCookie);
  if (found == request.cookies.end() || found->second.size() != 16) return {};
  for (char c : found->second) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
  }
  return found->second;
}

std::string newVisit() {
  std::random_device random;
  return hex64((std::uint64_t{random()} << 32) ^ random());
}

// The form token of a visit: keyed on the board's secret, so that only the
// board can make the token that goes with a visit cookie.
std::string formToken(const std::string& visit) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::string& part : {std::string(kFormSecret), visit}) {
    for (char c : part) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ull;
    }
    hash ^= 0xFF;
    hash *= 1099511628211ull;
  }
  return hex64(hash);
}

bool loggedIn(const Request& request) {
  auto found = request.cookies.find(kSessionCookie);
  return found != request.cookies.end() && found->second == kSessionValue;
}

std::string otherHost(const Request& request) {
  return (request.secure ? "https://localhost:" : "http://localhost:") + std::to_string(request.serverPort);
}

std::string pageHead(const std::string& title) {
  return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html dir=\"ltr\">\n<head>\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
         "<title>" +
         title +
         "</title>\n"
         "<style type=\"text/css\">body { background: #f4f1e8; } .row1 { background: #ece7d8; }</style>\n"
         "<script type=\"text/javascript\">function toggle(id) { return false; }</script>\n"
         "</head>\n<body bgcolor=\"#F4F1E8\">\n"
         "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"10\" border=\"0\">\n"
         "<tr><td><a href=\"index.php\"><img src=\"images/logo.png\" border=\"0\" alt=\"Lantern Keepers\"></a></td>\n"
         "<td align=\"right\"><a href=\"faq.php\">FAQ</a> &nbsp; <a href=\"search.php\">Search</a> &nbsp; "
         "<a href=\"memberlist.php\">Memberlist</a> &nbsp; <a href=\"profile.php?mode=register\">Register</a></td></tr>\n"
         "</table>\n";
}

const char* const kPageFoot =
    "<br><div align=\"center\"><span class=\"copyright\">A sample board for trying out archivers</span></div>\n"
    "</body>\n</html>\n";

// "Goto page" navigation: the current page bold, the others linked. With a
// `window`, a long list shows the first, the last and the pages around the
// current one, with "..." between, as big boards do.
std::string pageNavigation(const std::string& base, int current, int pages, int perPage, int window = 0) {
  if (pages <= 1) return "<span class=\"nav\">Page <b>1</b> of <b>1</b></span>";
  std::string nav = "<span class=\"nav\">Goto page ";
  if (current > 0)
    nav +=
        "<a href=\"" + base + "&amp;start=" + std::to_string((current - 1) * perPage) + "\">Previous</a>&nbsp;&nbsp;";
  for (int page = 0; page < pages; ++page) {
    if (window > 0 && page >= window && page < pages - window && (page < current - 1 || page > current + 1)) {
      const int skipTo = page < current - 1 ? current - 1 : pages - window;
      nav += " ... ";
      page = skipTo - 1;
      continue;
    }
    if (page > 0 && !nav.ends_with(" ... ")) nav += ", ";
    if (page == current) {
      nav += "<b>" + std::to_string(page + 1) + "</b>";
    } else {
      nav += "<a href=\"" + base + "&amp;start=" + std::to_string(page * perPage) + "\">" + std::to_string(page + 1) +
             "</a>";
    }
  }
  if (current + 1 < pages)
    nav += "&nbsp;&nbsp;<a href=\"" + base + "&amp;start=" + std::to_string((current + 1) * perPage) + "\">Next</a>";
  return nav + "</span>";
}

std::string loginForm(const std::string& token) {
  return "<form action=\"search.php\" method=\"get\"><input type=\"text\" name=\"keywords\" size=\"20\">"
         "<input type=\"submit\" value=\"Search\"></form>\n"
         "<form action=\"login.php\" method=\"post\"><table width=\"100%\" cellspacing=\"1\" cellpadding=\"3\" border=\"0\" class=\"forumline\">"
         "<tr><td class=\"catHead\" height=\"28\"><a name=\"login\"></a><span class=\"cattitle\">Log in</span></td></tr>"
         "<tr><td class=\"row1\" align=\"center\" valign=\"middle\" height=\"28\"><span class=\"gensmall\">Username: "
         "<input class=\"post\" type=\"text\" name=\"username\" size=\"10\"> &nbsp;&nbsp;&nbsp;Password: "
         "<input class=\"post\" type=\"password\" name=\"password\" size=\"10\" maxlength=\"32\"> &nbsp;&nbsp;"
         "<input type=\"hidden\" name=\"redirect\" value=\"index.php\">"
         "<input type=\"hidden\" name=\"form_token\" value=\"" +
         token +
         "\">"
         "<input type=\"submit\" class=\"mainoption\" name=\"login\" value=\"Log in\"></span></td></tr></table></form>\n";
}

// An HTML page with the login form between `before` and `after`; the form's
// token is made for the request's visit, or for a new visit whose cookie the
// page sets.
Response pageWithLoginForm(const Request& request, const std::string& before, const std::string& after) {
  std::string visit = visitOf(request);
  const bool fresh = visit.empty();
  if (fresh) visit = newVisit();
  Response response = Response::html(before + loginForm(formToken(visit)) + after);
  if (fresh) response.headers.emplace_back("Set-Cookie", std::string(kVisitCookie) + "=" + visit + "; path=/");
  return response;
}

Response loginPage(const Request& request) {
  const std::string visit = visitOf(request);
  const bool formOfThisVisit = !visit.empty() && request.param("form_token") == formToken(visit);
  if (request.method == "POST" && formOfThisVisit && request.param("username") == "keeper" &&
      request.param("password") == "lantern") {
    Response response = Response::redirect("/index.php");
    response.headers.emplace_back("Set-Cookie",
                                  std::string(kSessionCookie) + "=" + kSessionValue + "; path=/; HttpOnly");
    response.headers.emplace_back("Set-Cookie", "lk_user=keeper; expires=Fri, 01-Jan-2038 00:00:00 GMT; path=/");
    return response;
  }
  return pageWithLoginForm(
      request,
      pageHead("Lantern Keepers :: Log in") +
          "<table class=\"forumline\" width=\"100%\"><tr><td class=\"row1\">Wrong user name or password.</td></tr></table>",
      kPageFoot);
}

Response file(const std::string& type, std::string body) {
  Response response;
  response.headers.emplace_back("Content-Type", type);
  response.body = std::move(body);
  return response;
}

}  // namespace

const Forum* ClassicBoard::findForum(long id) const {
  for (const Forum& forum : shape_.forums) {
    if (forum.id == id) return &forum;
  }
  return nullptr;
}

const Topic* ClassicBoard::findTopic(long id) const {
  // Generated boards number their topics in order: the topic's own place first.
  if (!shape_.topics.empty()) {
    const long at = id - shape_.topics.front().id;
    if (at >= 0 && at < static_cast<long>(shape_.topics.size()) && shape_.topics[at].id == id) {
      return &shape_.topics[at];
    }
  }
  for (const Topic& topic : shape_.topics) {
    if (topic.id == id) return &topic;
  }
  return nullptr;
}

std::string ClassicBoard::forumRow(const Forum& forum) const {
  std::string id = std::to_string(forum.id);
  int count = 0;
  int last = 0;
  for (const Topic& topic : shape_.topics) {
    if (topic.forum == forum.id) {
      ++count;
      last = topic.id;
    }
  }
  return "<tr>\n<td class=\"row1\" align=\"center\" valign=\"middle\" height=\"50\"><img src=\"images/folder_big.gif\" width=\"46\" height=\"25\"></td>\n"
         "<td class=\"row1\" width=\"100%\" height=\"50\"><span class=\"forumlink\"><a href=\"viewforum.php?f=" +
         id + "\" class=\"forumlink\">" + forum.name + "</a><br></span><span class=\"genmed\">" + forum.description +
         "<br></span></td>\n<td class=\"row2\" align=\"center\" valign=\"middle\" height=\"50\"><span class=\"gensmall\">" +
         std::to_string(count) +
         "</span></td>\n<td class=\"row2\" align=\"center\" valign=\"middle\" height=\"50\"><span class=\"gensmall\">" +
         std::to_string(count * 3) +
         "</span></td>\n<td class=\"row2\" align=\"center\" valign=\"middle\" height=\"50\" nowrap=\"nowrap\">"
         "<span class=\"gensmall\">Mon Mar 3, 2003<br><a href=\"profile.php?mode=viewprofile&amp;u=2\">Ada Beacon</a> "
         "<a href=\"viewtopic.php?p=" +
         std::to_string(last * 10) + "#" + std::to_string(last * 10) +
         "\"><img src=\"images/icon_latest_reply.gif\" border=\"0\" alt=\"View latest post\"></a></span></td>\n</tr>\n";
}

std::string ClassicBoard::forumTable(const Request& request, int parent) const {
  std::string table =
      "<table width=\"100%\" cellpadding=\"2\" cellspacing=\"1\" border=\"0\" class=\"forumline\">\n"
      "<tr><th colspan=\"2\" class=\"thCornerL\" height=\"25\" nowrap=\"nowrap\">&nbsp;Forum&nbsp;</th>"
      "<th width=\"50\" class=\"thTop\" nowrap=\"nowrap\">&nbsp;Topics&nbsp;</th><th width=\"50\" class=\"thTop\" nowrap=\"nowrap\">&nbsp;Posts&nbsp;</th>"
      "<th class=\"thCornerR\" nowrap=\"nowrap\">&nbsp;Last Post&nbsp;</th></tr>\n";
  int category = 0;
  for (const Forum& forum : shape_.forums) {
    if (forum.parent != parent || (forum.membersOnly && !loggedIn(request))) continue;
    if (parent == 0 && forum.category != category) {
      category = forum.category;
      table += "<tr><td class=\"catLeft\" colspan=\"2\" height=\"28\"><span class=\"cattitle\"><a href=\"index.php?c=" +
               std::to_string(category) + "\" class=\"cattitle\">" +
               (static_cast<std::size_t>(category) <= shape_.categories.size()
                    ? shape_.categories[static_cast<std::size_t>(category) - 1]
                    : std::string("Forums")) +
               "</a></span></td><td class=\"rowpic\" colspan=\"3\" align=\"right\">&nbsp;</td></tr>\n";
    }
    table += forumRow(forum);
  }
  return table + "</table>\n";
}

Response ClassicBoard::indexPage(const Request& request) const {
  std::string body = pageHead(shape_.title + " :: Index");
  body +=
      "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\" border=\"0\"><tr><td align=\"left\" valign=\"bottom\">"
      "<span class=\"gensmall\">The time now is Mon Mar 3, 2003 9:12 pm</span><br><span class=\"nav\">"
      "<a href=\"index.php\" class=\"nav\">Lantern Keepers Forum Index</a></span></td>"
      "<td align=\"right\" valign=\"bottom\" class=\"gensmall\"><a href=\"search.php?search_id=unanswered\" class=\"gensmall\">"
      "View unanswered posts</a></td></tr></table>\n";
  body += forumTable(request, 0);
  std::string rest =
      "<table width=\"100%\" cellpadding=\"3\" cellspacing=\"1\" border=\"0\" class=\"forumline\"><tr><td class=\"catHead\" colspan=\"2\">"
      "<span class=\"cattitle\"><a href=\"viewonline.php\" class=\"cattitle\">Who is Online</a></span></td></tr>"
      "<tr><td class=\"row1\" align=\"left\" width=\"100%\"><span class=\"gensmall\">Our users have posted a total of 212 articles</span></td></tr></table>\n";
  rest += kPageFoot;
  if (!loggedIn(request)) return pageWithLoginForm(request, body, rest);
  return Response::html(body + rest);
}

std::string ClassicBoard::topicRow(const Topic& topic) const {
  std::string id = std::to_string(topic.id);
  int pages = (topic.posts + shape_.postsPerPage - 1) / shape_.postsPerPage;
  std::string row =
      "<tr>\n<td class=\"row1\" align=\"center\" valign=\"middle\" width=\"20\"><img src=\"images/folder.gif\" width=\"19\" height=\"18\"></td>\n"
      "<td class=\"row1\" width=\"100%\"><span class=\"topictitle\"><a href=\"viewtopic.php?t=" +
      id + "\" class=\"topictitle\">" + topic.title + "</a></span><span class=\"gensmall\"><br>";
  if (pages > 1) {
    row += " [ Goto page: ";
    for (int page = 0; page < pages; ++page) {
      if (page > 0) row += ", ";
      row += "<a href=\"viewtopic.php?t=" + id + "&amp;start=" + std::to_string(page * shape_.postsPerPage) + "\">" +
             std::to_string(page + 1) + "</a>";
    }
    row += " ] ";
  }
  const char* starter = kAuthors[topic.id % 5];
  const std::string lastPost = std::to_string(topic.id * 100 + topic.posts - 1);  // the anchor of the topic's last post
  row +=
      "</span></td>\n<td class=\"row2\" align=\"center\" valign=\"middle\"><span class=\"postdetails\">" +
      std::to_string(topic.posts - 1) +
      "</span></td>\n<td class=\"row3\" align=\"center\" valign=\"middle\"><span class=\"name\"><a href=\"profile.php?mode=viewprofile&amp;u=" +
      std::to_string(topic.id % 5 + 2) + "\">" + starter +
      "</a></span></td>\n"
      "<td class=\"row2\" align=\"center\" valign=\"middle\"><span class=\"postdetails\">" +
      std::to_string(topic.id * 7) +
      "</span></td>\n"
      "<td class=\"row3Right\" align=\"center\" valign=\"middle\" nowrap=\"nowrap\"><span class=\"postdetails\">Sun Mar 2, 2003 8:40 pm<br>"
      "<a href=\"profile.php?mode=viewprofile&amp;u=2\">Ada Beacon</a> <a href=\"viewtopic.php?p=" +
      lastPost + "#" + lastPost +
      "\"><img src=\"images/icon_latest_reply.gif\" alt=\"View latest post\" border=\"0\"></a></span></td>\n</tr>\n";
  return row;
}

Response ClassicBoard::forumPage(const Request& request) const {
  const Forum* forum = findForum(request.number("f"));
  if (forum == nullptr) return Response::notFound();
  if (forum->membersOnly && !loggedIn(request)) {
    return pageWithLoginForm(
        request,
        pageHead("Lantern Keepers :: Log in") +
            "<table class=\"forumline\" width=\"100%\"><tr><td class=\"row1\">You must be logged in to read this forum.</td></tr></table>",
        kPageFoot);
  }
  std::vector<const Topic*> list;
  for (const Topic& topic : shape_.topics) {
    if (topic.forum == forum->id) list.push_back(&topic);
  }
  int pages = std::max<int>(1, (static_cast<int>(list.size()) + shape_.topicsPerPage - 1) / shape_.topicsPerPage);
  int current = static_cast<int>(request.number("start") / shape_.topicsPerPage);
  if (current < 0 || current >= pages) current = 0;
  std::string id = std::to_string(forum->id);
  std::string base = "viewforum.php?f=" + id;

  std::string body = pageHead(shape_.title + " :: View Forum - " + forum->name);
  body +=
      "<table width=\"100%\" cellspacing=\"2\" cellpadding=\"2\" border=\"0\" align=\"center\"><tr><td align=\"left\" valign=\"bottom\" colspan=\"2\">"
      "<a class=\"maintitle\" href=\"" +
      base + "\">" + forum->name +
      "</a><br><span class=\"gensmall\"><b>Moderator: Ada Beacon</b></span></td>"
      "<td align=\"right\" valign=\"bottom\" nowrap=\"nowrap\"><span class=\"gensmall\"><b>" +
      pageNavigation(base, current, pages, shape_.topicsPerPage, shape_.pageLinkWindow) +
      "</b></span></td></tr><tr><td align=\"left\" valign=\"middle\" width=\"50\"><a href=\"posting.php?mode=newtopic&amp;f=" +
      id +
      "\"><img src=\"images/post.gif\" border=\"0\" alt=\"Post new topic\"></a></td><td align=\"left\" valign=\"middle\" class=\"nav\" width=\"100%\">"
      "<span class=\"nav\">&nbsp;&nbsp;&nbsp;<a href=\"index.php\" class=\"nav\">Lantern Keepers Forum Index</a></span></td>"
      "<td align=\"right\" valign=\"bottom\" class=\"nav\" nowrap=\"nowrap\"><span class=\"gensmall\"><a href=\"viewforum.php?f=" +
      id + "&amp;mark=topics\">Mark all topics read</a></span></td></tr></table>\n";

  bool hasSubForums = false;
  for (const Forum& sub : shape_.forums) hasSubForums |= sub.parent == forum->id;
  if (hasSubForums && current == 0) body += forumTable(request, forum->id) + "<br>\n";

  body +=
      "<table border=\"0\" cellpadding=\"4\" cellspacing=\"1\" width=\"100%\" class=\"forumline\">\n"
      "<tr><th colspan=\"2\" align=\"center\" height=\"25\" class=\"thCornerL\" nowrap=\"nowrap\">&nbsp;Topics&nbsp;</th>"
      "<th width=\"50\" align=\"center\" class=\"thTop\" nowrap=\"nowrap\">&nbsp;Replies&nbsp;</th>"
      "<th width=\"100\" align=\"center\" class=\"thTop\" nowrap=\"nowrap\">&nbsp;Author&nbsp;</th>"
      "<th width=\"50\" align=\"center\" class=\"thTop\" nowrap=\"nowrap\">&nbsp;Views&nbsp;</th>"
      "<th align=\"center\" class=\"thCornerR\" nowrap=\"nowrap\">&nbsp;Last Post&nbsp;</th></tr>\n";
  for (int i = current * shape_.topicsPerPage;
       i < static_cast<int>(list.size()) && i < (current + 1) * shape_.topicsPerPage; ++i) {
    body += topicRow(*list[static_cast<std::size_t>(i)]);
  }
  body +=
      "<tr><td class=\"catBottom\" align=\"center\" valign=\"middle\" colspan=\"6\" height=\"28\"><span class=\"genmed\">"
      "Display topics from previous: <select name=\"topicdays\"><option value=\"0\" selected=\"selected\">All Topics</option></select>"
      "</span></td></tr>\n</table>\n";
  body += "<table width=\"100%\"><tr><td align=\"right\"><span class=\"nav\">" +
          pageNavigation(base, current, pages, shape_.topicsPerPage, shape_.pageLinkWindow) +
          "</span></td></tr></table>\n";
  body += kPageFoot;
  return Response::html(body);
}

// The text of post `index` (0-based) of a topic. The first posts of the
// welcome topic show every kind of markup an archive has to keep or drop.
std::string ClassicBoard::postText(const Request& request, const Topic& topic, int index) const {
  if (shape_.showcase && topic.id == 1) {
    switch (index) {
      case 0:
        return "Welcome, keepers! <b>Please read the rules</b> and <i>introduce yourself</i> in the right forum. "
               "<img src=\"images/smiles/smile.gif\" alt=\":)\" border=\"0\"><br />\r\n"
               "The lamp manual is attached: <a href=\"download.php?attach_id=1\">lamp-manual.pdf</a><br />\r\n"
               "<span style=\"color: red\">Mind the stairs.</span> <script type=\"text/javascript\">document.write('tracking');</script>";
      case 1:
        return "<table width=\"90%\" cellspacing=\"1\" cellpadding=\"3\" border=\"0\" align=\"center\"><tr><td><span class=\"genmed\"><b>Ada Beacon wrote:</b></span></td></tr>"
               "<tr><td class=\"quote\">Please read the rules</td></tr></table><span class=\"postbody\"><br />Done! "
               "<img src=\"images/smiles/biggrin.gif\" alt=\":D\" border=\"0\"> Here is my light at dusk:<br />"
               "<img src=\"" +
               otherHost(request) + "/pictures/dusk.png\" border=\"0\"></span>";
      case 2:
        return "A photo from the gallery, click for the big one: <a href=\"" + otherHost(request) +
               "/gallery/view.php?id=7\" target=\"_blank\"><img src=\"" + otherHost(request) +
               "/gallery/thumb7.png\" border=\"0\"></a> <img src=\"images/smiles/wink.gif\" alt=\";)\" border=\"0\">";
      case 3:
        return "See also <a href=\"http://example.org/lighthouses\" target=\"_blank\" onclick=\"track()\">the lighthouse registry</a> "
               "and <a href=\"viewtopic.php?t=3\">our rules</a>.";
      default: break;
    }
  }
  std::string text = std::string("Post ") + std::to_string(index + 1) + " of \"" + topic.title +
                     "\". The light turns twice a minute &amp; "
                     "the fog horn sounds every <u>thirty</u> seconds.<br />\r\nKeep the glass clean.";
  static const char kFiller[] =
      " The keeper climbs the hundred and twelve steps at dusk, trims the wick, winds the clockwork and writes the"
      " weather in the log: wind, sea, visibility and every ship that passes.";
  while (text.size() < shape_.postPadding) {
    text += kFiller;
    if (text.size() % 4 == 0) text += "<br />\r\n";
  }
  return text;
}

Response ClassicBoard::topicPage(const Request& request) const {
  const Topic* topic = findTopic(request.number("t"));
  if (topic == nullptr) return Response::notFound();
  const Forum* forum = findForum(topic->forum);
  if (forum->membersOnly && !loggedIn(request)) return Response::redirect("/login.php?redirect=viewtopic.php");
  int pages = (topic->posts + shape_.postsPerPage - 1) / shape_.postsPerPage;
  int current = static_cast<int>(request.number("start") / shape_.postsPerPage);
  if (current < 0 || current >= pages) current = 0;
  std::string base = "viewtopic.php?t=" + std::to_string(topic->id);

  std::string body = pageHead(shape_.title + " :: View topic - " + topic->title);
  body +=
      "<table width=\"100%\" cellspacing=\"2\" cellpadding=\"2\" border=\"0\"><tr><td align=\"left\" valign=\"bottom\" colspan=\"2\">"
      "<a class=\"maintitle\" href=\"" +
      base + "\">" + topic->title + "</a><br><span class=\"gensmall\"><b>" +
      pageNavigation(base, current, pages, shape_.postsPerPage) + "</b></span></td></tr></table>\n";
  body +=
      "<table class=\"forumline\" width=\"100%\" cellspacing=\"1\" cellpadding=\"3\" border=\"0\">\n"
      "<tr><th class=\"thLeft\" width=\"150\" height=\"26\" nowrap=\"nowrap\">Author</th><th class=\"thRight\" nowrap=\"nowrap\">Message</th></tr>\n";
  for (int i = current * shape_.postsPerPage; i < topic->posts && i < (current + 1) * shape_.postsPerPage; ++i) {
    const char* author = kAuthors[(topic->id + i) % 5];
    body +=
        "<tr><td width=\"150\" align=\"left\" valign=\"top\" class=\"row1\"><span class=\"name\"><a name=\"" +
        std::to_string(topic->id * 100 + i) + "\"></a><b>" + author +
        "</b></span><br /><span class=\"postdetails\">Keeper<br /><img src=\"images/avatars/" + std::to_string(i % 3) +
        ".png\" alt=\"\" border=\"0\" /><br /><br />Joined: 12 Mar 2003<br />Posts: " + std::to_string(10 + i * 3) +
        "</span><br /></td>\n<td class=\"row1\" width=\"100%\" height=\"28\" valign=\"top\"><table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">"
        "<tr><td width=\"100%\"><span class=\"postdetails\">Posted: Sun Mar 2, 2003 8:" +
        std::to_string(10 + i) +
        " pm</span></td><td valign=\"top\" nowrap=\"nowrap\"><a href=\"posting.php?mode=quote&amp;p=" +
        std::to_string(topic->id * 100 + i) +
        "\"><img src=\"images/icon_quote.gif\" alt=\"Reply with quote\" border=\"0\" /></a></td></tr>"
        "<tr><td colspan=\"2\"><hr /></td></tr><tr><td colspan=\"2\"><span class=\"postbody\">" +
        postText(request, *topic, i) +
        "</span></td></tr></table></td></tr>\n"
        "<tr><td class=\"spaceRow\" colspan=\"2\" height=\"1\"><img src=\"images/spacer.gif\" alt=\"\" width=\"1\" height=\"1\" /></td></tr>\n";
  }
  body +=
      "</table>\n<table width=\"100%\"><tr><td align=\"left\"><span class=\"nav\"><a href=\"index.php\" class=\"nav\">Lantern Keepers Forum Index</a> -&gt; "
      "<a href=\"viewforum.php?f=" +
      std::to_string(forum->id) + "\" class=\"nav\">" + forum->name +
      "</a></span></td>"
      "<td align=\"right\"><span class=\"nav\">" +
      pageNavigation(base, current, pages, shape_.postsPerPage) + "</span></td></tr></table>\n";
  body += kPageFoot;
  return Response::html(body);
}

BoardShape demoShape() {
  BoardShape shape;
  shape.forums = {
      {1, 0, 1, "General Chat", "Anything about lighthouses and the people who keep them", false},
      {2, 0, 1, "Lamps and Lenses", "Oil lamps, Fresnel lenses and clockwork", false},
      {3, 0, 2, "Charts &amp; Soundings", "Maps, depths and tides", false},
      {4, 0, 2, "Keepers' Lodge", "For members only", true},
      {5, 1, 1, "Introductions", "Say hello", false},
      {6, 1, 1, "Storm Stories", "The nights we remember", false},
  };
  shape.topics = {
      {1, 1, "Welcome to the Lantern Keepers", 12},
      {2, 1, "Which lighthouse is your favourite?", 3},
      {3, 1, "Board rules: read before posting", 1},
      {40, 3, "Tide tables for the north coast", 2},
      {41, 3, "Old charts: what do the symbols mean?", 4},
      {50, 4, "Lodge meeting in spring", 2},
      {51, 4, "Members' photo album", 3},
      {60, 5, "Hello from the harbour town", 2},
      {61, 5, "New keeper, first winter", 3},
      {70, 6, "The great gale of '98", 4},
  };
  const char* subjects[] = {
      "Trimming the wick",     "Cleaning brass", "Clockwork rotation",        "Paraffin or oil?",    "Cracked prism",
      "Lens polishing cloths", "Mantles",        "Replacing a chimney glass", "Night watch routine", "Spare parts"};
  for (int i = 0; i < 23; ++i) {
    shape.topics.push_back(
        {10 + i, 2, std::string(subjects[i % 10]) + " (part " + std::to_string(i / 10 + 1) + ")", 2 + i % 3});
  }
  return shape;
}

std::string pngPicture(unsigned char shade) {
  // A 1 x 1 grey PNG; the shade byte sits in the image data, whose checksum
  // the viewers we know do not verify strictly.
  static const unsigned char kPng[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
      0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00, 0x00, 0x3A, 0x7E, 0x9B, 0x55, 0x00,
      0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x60, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01,
      0x48, 0xAF, 0xA4, 0x71, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  std::string png(reinterpret_cast<const char*>(kPng), sizeof kPng);
  png += std::string("\0\0\0\0", 4);  // trailing bytes tell pictures of different shades apart
  png[png.size() - 1] = static_cast<char>(shade);
  return png;
}

Response ClassicBoard::serve(const Request& request) const {
  const std::string& path = request.path;
  if (path == "/" || path == "/index.php") return indexPage(request);
  if (path == "/viewforum.php") return forumPage(request);
  if (path == "/viewtopic.php") return topicPage(request);
  if (path == "/login.php") return loginPage(request);
  if (path == "/download.php" && request.number("attach_id") == 1) {
    Response response = file("application/pdf",
                             "%PDF-1.4\n% Lantern Keepers lamp manual\n1 0 obj << /Type /Catalog >> endobj\n%%EOF\n");
    response.headers.emplace_back("Content-Disposition", "attachment; filename=\"lamp-manual.pdf\"");
    return response;
  }
  if (path == "/pictures/dusk.png") return file("image/png", pngPicture(0x40));
  if (path == "/gallery/thumb7.png") return file("image/png", pngPicture(0x80));
  if (path == "/gallery/full7.png") return file("image/png", pngPicture(0xC0));
  if (path == "/gallery/view.php") {
    return Response::html(
        "<html><head><title>Harbour gallery</title></head><body><h1>Harbour light at night</h1>"
        "<img title=\"Harbour light at night\" src=\"/gallery/full7.png\" width=\"800\">"
        "<p>Share it: <input type=\"text\" value=\"[img]" +
        otherHost(request) + "/gallery/full7.png[/img]\"></p></body></html>");
  }
  if (path.rfind("/images/", 0) == 0) return file("image/gif", "GIF89a\x01\x00\x01\x00\x00\x00\x00;");
  return Response::notFound();
}

}  // namespace quillstash::demo
