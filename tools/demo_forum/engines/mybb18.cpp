// SPDX-License-Identifier: MIT
// The board as MyBB 1.8 shows it to a guest with the default theme (search
// engine friendly addresses off), after install/resources/mybb_theme.xml:
// index, header, header_welcomeblock_guest, footer, forumbit_depth1_cat,
// forumbit_depth2_forum, forumbit_depth3, forumdisplay, forumdisplay_subforums,
// forumdisplay_threadlist, forumdisplay_thread, forumdisplay_forumsort,
// multipage*, showthread, postbit, postbit_posturl, mycode_quote_post,
// mycode_code and nav*. Column headings are sort links, the last-post and
// next-thread links redirect, and "Threaded mode" shows one post at a time.
#include <algorithm>
#include <memory>
#include <string>

#include "engine_board.h"

namespace quillstash::demo {
namespace {

std::string mybbDate(long long time) {
  // MyBB's default "m-d-Y, h:i A".
  std::string iso = isoTime(time);  // YYYY-MM-DDTHH:MM:SS
  int hour = std::stoi(iso.substr(11, 2));
  char text[32];
  std::snprintf(text, sizeof text, "%s-%s-%s, %02d:%s %s", iso.substr(5, 2).c_str(), iso.substr(8, 2).c_str(),
                iso.substr(0, 4).c_str(), hour % 12 == 0 ? 12 : hour % 12, iso.substr(14, 2).c_str(),
                hour < 12 ? "AM" : "PM");
  return text;
}

class MyBB18Board {
 public:
  explicit MyBB18Board(std::shared_ptr<const BoardModel> model) : model_(std::move(model)) {}
  Response serve(const Request& request) const;

 private:
  std::string profile(const Request& request, const Member& m) const {
    return "<a href=\"" + origin(request) + "/member.php?action=profile&amp;uid=" + std::to_string(m.id) + "\">" +
           escapeHtml(m.name) + "</a>";
  }
  std::string page(const Request& request, const std::string& title, const std::string& nav,
                   const std::string& body) const;
  std::string navigation(const Request& request, int forumId, const std::string& active) const;
  std::string forumRows(const Request& request, const std::vector<const ModelForum*>& forums) const;
  std::string multipage(const std::string& base, int current, int pages) const;
  Response index(const Request& request) const;
  Response forum(const Request& request) const;
  Response thread(const Request& request) const;

  std::shared_ptr<const BoardModel> model_;
};

std::string MyBB18Board::page(const Request& request, const std::string& title, const std::string& nav,
                              const std::string& body) const {
  std::string bburl = origin(request);
  return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\"><!-- start: index -->\n"
         "<html xml:lang=\"en\" lang=\"en\" xmlns=\"http://www.w3.org/1999/xhtml\">\n<head>\n<title>" +
         escapeHtml(title) +
         "</title>\n"
         "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"Latest Threads (RSS 2.0)\" href=\"" +
         bburl +
         "/syndication.php\" />\n"
         "<link rel=\"alternate\" type=\"application/atom+xml\" title=\"Latest Threads (Atom 1.0)\" href=\"" +
         bburl +
         "/syndication.php?type=atom1.0\" />\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />\n<meta http-equiv=\"Content-Script-Type\" content=\"text/javascript\" />\n"
         "<script type=\"text/javascript\" src=\"" +
         bburl +
         "/jscripts/jquery.js?ver=1823\"></script>\n"
         "<script type=\"text/javascript\" src=\"" +
         bburl +
         "/jscripts/general.js?ver=1827\"></script>\n"
         "<link type=\"text/css\" rel=\"stylesheet\" href=\"" +
         bburl +
         "/cache/themes/theme1/global.css?t=1717200000\" />\n"
         "<script type=\"text/javascript\">\n<!--\n\tvar cookiePrefix = \"\";\n\tvar my_post_key = \"5c1d0e7a9b3f2c4d6e8f0a1b2c3d4e5f\";\n"
         "\tvar rootpath = \"" +
         bburl +
         "\";\n// -->\n</script>\n</head>\n<body>\n\n<div id=\"container\">\n\t\t<a name=\"top\" id=\"top\"></a>\n"
         "\t\t<div id=\"header\">\n\t\t\t<div id=\"logo\">\n\t\t\t\t<div class=\"wrapper\">\n\t\t\t\t\t<a href=\"" +
         bburl + "/index.php\"><img src=\"" + bburl + "/images/logo.png\" alt=\"" + escapeHtml(model_->title) +
         "\" title=\"" + escapeHtml(model_->title) +
         "\" /></a>\n"
         "\t\t\t\t\t<ul class=\"menu top_links\">\n\t\t\t\t\t\t<li><a href=\"" +
         bburl +
         "/search.php\" class=\"search\">Search</a></li>\n"
         "\t\t\t\t\t\t<li><a href=\"" +
         bburl +
         "/memberlist.php\" class=\"memberlist\">Member List</a></li>\n"
         "\t\t\t\t\t\t<li><a href=\"" +
         bburl +
         "/calendar.php\" class=\"calendar\">Calendar</a></li>\n"
         "\t\t\t\t\t\t<li><a href=\"" +
         bburl +
         "/misc.php?action=help\" class=\"help\">Help</a></li>\n\t\t\t\t\t</ul>\n\t\t\t\t</div>\n\t\t\t</div>\n"
         "\t\t\t<div id=\"panel\">\n\t\t\t\t<div class=\"upper\">\n\t\t\t\t\t<div class=\"wrapper\">\n"
         "\t\t\t\t\t\t<form action=\"" +
         bburl +
         "/search.php\">\n\t\t\t\t\t\t<fieldset id=\"search\">\n"
         "\t\t\t\t\t\t\t<input name=\"keywords\" type=\"text\" class=\"textbox\" />\n\t\t\t\t\t\t\t<input value=\"Search\" type=\"submit\" class=\"button\" />\n"
         "\t\t\t\t\t\t\t<input type=\"hidden\" name=\"action\" value=\"do_search\" />\n\t\t\t\t\t\t</fieldset>\n\t\t\t\t\t\t</form>\n"
         "\t\t\t\t\t\t<span class=\"welcome\">Hello There, Guest! <a href=\"" +
         bburl +
         "/member.php?action=login\" onclick=\"$('#quick_login').modal({ "
         "fadeDuration: 250, keepelement: true }); return false;\" class=\"login\">Login</a> <a href=\"" +
         bburl +
         "/member.php?action=register\" class=\"register\">Register</a></span>\n\t\t\t\t\t</div>\n\t\t\t\t</div>\n\t\t\t</div>\n\t\t</div>\n"
         "\t\t<div id=\"content\">\n\t\t\t<div class=\"wrapper\">\n\t\t\t\t\n" +
         nav + "\n\t\t\t\t<br />\n" + body +
         "\n\t</div>\n</div>\n<div id=\"footer\">\n\t<div class=\"upper\">\n\t\t<div class=\"wrapper\">\n\t\t\t<ul class=\"menu bottom_links\">\n"
         "\t\t\t\t<li><a href=\"" +
         bburl + "/showteam.php\">Forum Team</a></li>\n\t\t\t\t<li><a href=\"" + bburl +
         "/contact.php\">Contact Us</a></li>\n"
         "\t\t\t\t<li><a href=\"" +
         bburl + "/\">" + escapeHtml(model_->title) +
         "</a></li>\n\t\t\t\t<li><a href=\"#top\">Return to Top</a></li>\n"
         "\t\t\t\t<li><a href=\"" +
         bburl +
         "/archive/index.php\">Lite (Archive) Mode</a></li>\n"
         "\t\t\t\t<li><a href=\"" +
         bburl +
         "/misc.php?action=markread&amp;my_post_key=5c1d0e7a9b3f2c4d6e8f0a1b2c3d4e5f\">Mark all forums read</a></li>\n"
         "\t\t\t\t<li><a href=\"" +
         bburl +
         "/misc.php?action=syndication\">RSS Syndication</a></li>\n\t\t\t</ul>\n\t\t</div>\n\t</div>\n"
         "\t<div class=\"lower\">\n\t\t<div class=\"wrapper\">\n\t\t\t<span id=\"current_time\"><strong>Current time:</strong> " +
         mybbDate(1717200000) +
         "</span>\n\t\t\t<span id=\"copyright\">\n\t\t\t\tPowered By <a href=\"https://mybb.com\" target=\"_blank\" rel=\"noopener\">MyBB</a>, &copy; "
         "2002-2024 <a href=\"https://mybb.com\" target=\"_blank\" rel=\"noopener\">MyBB Group</a>.\n\t\t\t</span>\n\t\t</div>\n\t</div>\n</div>\n"
         "</div>\n</body>\n</html>\n";
}

std::string MyBB18Board::navigation(const Request& request, int forumId, const std::string& active) const {
  std::vector<std::pair<int, std::string>> chain;
  for (const ModelForum* f = model_->forum(forumId); f != nullptr; f = model_->forum(f->parent)) {
    chain.emplace_back(f->id, f->name);
    if (f->parent == 0) chain.emplace_back(f->category, model_->category(f->category)->name);
  }
  if (const Category* c = model_->category(forumId)) chain.emplace_back(c->id, c->name);
  std::string nav = "\n<div class=\"navigation\">\n<a href=\"" + origin(request) + "/index.php\">" +
                    escapeHtml(model_->title) + "</a>";
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    bool last = it + 1 == chain.rend() && active.empty();
    nav += last ? "\n&rsaquo;\n<br /><img src=\"images/nav_bit.png\" alt=\"\" /><span class=\"active\">" +
                      escapeHtml(it->second) + "</span>"
                : " &rsaquo; <a href=\"forumdisplay.php?fid=" + std::to_string(it->first) + "\">" +
                      escapeHtml(it->second) + "</a>";
  }
  if (!active.empty())
    nav +=
        "\n<br /><img src=\"images/nav_bit.png\" alt=\"\" /><span class=\"active\">" + escapeHtml(active) + "</span>";
  return nav + "\n</div>\n";
}

std::string MyBB18Board::forumRows(const Request& request, const std::vector<const ModelForum*>& forums) const {
  std::string rows;
  for (const ModelForum* f : forums) {
    std::string subforums;
    for (const ModelForum* sub : model_->subForums(f->id)) {
      subforums +=
          "<div class=\"subforumicon subforum_minioff\" title=\"No New Posts\"></div><a href=\"forumdisplay.php?fid=" +
          std::to_string(sub->id) + "\" title=\"\">" + escapeHtml(sub->name) + "</a>";
    }
    const Post* last = model_->lastPost(f->id);
    const ModelTopic* lastTopic = model_->post(last->id).first;
    std::string id = std::to_string(f->id);
    rows +=
        "<tr>\n<td class=\"trow1\" align=\"center\" width=\"1\"><span class=\"forum_status forum_off ajax_mark_read\" title=\"No New Posts\" "
        "id=\"mark_read_" +
        id + "\"></span></td>\n<td class=\"trow1\">\n<strong><a href=\"forumdisplay.php?fid=" + id + "\">" +
        escapeHtml(f->name) + "</a></strong><div class=\"smalltext\">" + escapeHtml(f->description) +
        (subforums.empty() ? "" : "<br /><strong>Sub Forums:</strong> " + subforums) +
        "</div>\n</td>\n"
        "<td class=\"trow1\" align=\"center\" style=\"white-space: nowrap\">" +
        std::to_string(model_->topicCount(f->id)) +
        "</td>\n"
        "<td class=\"trow1\" align=\"center\" style=\"white-space: nowrap\">" +
        std::to_string(model_->postCount(f->id)) +
        "</td>\n"
        "<td class=\"trow1\" align=\"right\" style=\"white-space: nowrap\"><span class=\"smalltext\">\n<a href=\"showthread.php?tid=" +
        std::to_string(lastTopic->id) + "&amp;action=lastpost\" title=\"" + escapeHtml(lastTopic->title) +
        "\"><strong>" + escapeHtml(lastTopic->title) + "</strong></a>\n<br />" + mybbDate(last->time) + "<br />by " +
        profile(request, *last->author) + "</span></td>\n</tr>\n";
  }
  return rows;
}

std::string MyBB18Board::multipage(const std::string& base, int current, int pages) const {
  return renderPager(
      current, pages,
      {"<div class=\"pagination\">\n<span class=\"pages\">Pages (" + std::to_string(pages) + "):</span>\n",
       "\n</div>\n", "<a href=\"{url}\" class=\"pagination_previous\">&laquo; Previous</a>",
       "<a href=\"{url}\" class=\"pagination_page\">{number}</a>",
       " <span class=\"pagination_current\">{number}</span>",
       "<a href=\"{url}\" class=\"pagination_next\">Next &raquo;</a>"},
      [&](int p) { return p == 0 ? base : base + "&amp;page=" + std::to_string(p + 1); });
}

Response MyBB18Board::index(const Request& request) const {
  std::string body;
  for (const Category& c : model_->categories) {
    std::string id = std::to_string(c.id);
    body +=
        "<table border=\"0\" cellspacing=\"0\" cellpadding=\"5\" class=\"tborder\">\n<thead>\n<tr>\n<td class=\"thead\" colspan=\"5\">\n"
        "<div class=\"expcolimage\"><img src=\"images/collapse.png\" id=\"cat_" +
        id +
        "_img\" class=\"expander\" alt=\"[-]\" title=\"[-]\" /></div>\n"
        "<div><strong><a href=\"forumdisplay.php?fid=" +
        id + "\">" + escapeHtml(c.name) +
        "</a></strong><br /><div class=\"smalltext\"></div></div>\n"
        "</td>\n</tr>\n</thead>\n<tbody style=\"\" id=\"cat_" +
        id +
        "_e\">\n<tr>\n"
        "<td class=\"tcat\" colspan=\"2\"><span class=\"smalltext\"><strong>Forum</strong></span></td>\n"
        "<td class=\"tcat\" width=\"85\" align=\"center\" style=\"white-space: nowrap\"><span class=\"smalltext\"><strong>Threads</strong></span></td>\n"
        "<td class=\"tcat\" width=\"85\" align=\"center\" style=\"white-space: nowrap\"><span class=\"smalltext\"><strong>Posts</strong></span></td>\n"
        "<td class=\"tcat\" width=\"200\" align=\"center\"><span class=\"smalltext\"><strong>Last Post</strong></span></td>\n</tr>\n" +
        forumRows(request, model_->forumsIn(c.id)) + "</tbody>\n</table>\n<br />\n";
  }
  std::size_t posts = model_->totalPosts();
  body +=
      "<table border=\"0\" cellspacing=\"0\" cellpadding=\"5\" class=\"tborder\">\n<tr>\n<td class=\"thead\"><strong>Board Statistics</strong></td>\n"
      "</tr>\n<tr>\n<td class=\"trow1\"><span class=\"smalltext\">Our members have made a total of " +
      std::to_string(posts) + " posts in " + std::to_string(model_->topics.size()) +
      " threads.<br />We currently have " + std::to_string(model_->members.size()) +
      " members registered.<br />Please welcome our newest member, " + profile(request, model_->members.back()) +
      "<br /></span></td>\n</tr>\n</table>\n<br />\n";
  return htmlPage(page(request, model_->title, navigation(request, 0, ""), body));
}

Response MyBB18Board::forum(const Request& request) const {
  long fid = request.number("fid");
  if (const Category* c = model_->category(fid)) {
    std::string body =
        "<table border=\"0\" cellspacing=\"0\" cellpadding=\"5\" class=\"tborder\">\n<tr>\n<td class=\"thead\" colspan=\"5\" align=\"center\">"
        "<strong>Forums in '" +
        escapeHtml(c->name) + "'</strong></td>\n</tr>\n" + forumRows(request, model_->forumsIn(c->id)) +
        "</table>\n<br />\n";
    return htmlPage(page(request, model_->title + " - " + c->name, navigation(request, c->id, ""), body));
  }
  const ModelForum* f = model_->forum(fid);
  if (f == nullptr) return Response::notFound();
  std::vector<const ModelTopic*> topics = model_->topicsOf(f->id);
  std::string sortby = request.param("sortby");
  std::string order = request.param("order");
  if (sortby == "subject") {
    std::stable_sort(topics.begin(), topics.end(), [&](const ModelTopic* a, const ModelTopic* b) {
      return order == "desc" ? a->title > b->title : a->title < b->title;
    });
  } else if (!sortby.empty() && order == "asc") {
    std::reverse(topics.begin(), topics.end());
  }
  int pages = model_->forumPages(f->id);
  int current = std::clamp(static_cast<int>(request.number("page", 1)) - 1, 0, pages - 1);
  std::string id = std::to_string(f->id);
  std::string sortUrl = "forumdisplay.php?fid=" + id + "&amp;datecut=9999&amp;prefix=0";
  std::string pageBase = sortby.empty() ? "forumdisplay.php?fid=" + id
                                        : "forumdisplay.php?fid=" + id + "&amp;sortby=" + escapeHtml(sortby) +
                                              "&amp;order=" + escapeHtml(order) + "&amp;datecut=9999&amp;prefix=0";
  std::string pager = multipage(pageBase, current, pages);
  std::string body;
  std::vector<const ModelForum*> subs = model_->subForums(f->id);
  if (!subs.empty()) {
    body +=
        "<table border=\"0\" cellspacing=\"0\" cellpadding=\"5\" class=\"tborder\">\n<tr>\n<td class=\"thead\" colspan=\"5\" align=\"center\">"
        "<strong>Forums in '" +
        escapeHtml(f->name) +
        "'</strong></td>\n</tr>\n<tr>\n<td class=\"tcat\" width=\"2%\">&nbsp;</td>\n"
        "<td class=\"tcat\" width=\"59%\"><span class=\"smalltext\"><strong>Forum</strong></span></td>\n"
        "<td class=\"tcat\" width=\"7%\" align=\"center\" style=\"white-space: nowrap\"><span class=\"smalltext\"><strong>Threads</strong></span></td>\n"
        "<td class=\"tcat\" width=\"7%\" align=\"center\" style=\"white-space: nowrap\"><span class=\"smalltext\"><strong>Posts</strong></span></td>\n"
        "<td class=\"tcat\" width=\"15%\" align=\"center\"><span class=\"smalltext\"><strong>Last Post</strong></span></td>\n</tr>\n" +
        forumRows(request, subs) + "</table>\n<br />\n";
  }
  std::string newThread =
      "<a href=\"newthread.php?fid=" + id + "\" class=\"button new_thread_button\"><span>Post Thread</span></a>";
  body +=
      "<div class=\"float_left\">\n\t" + pager + "\n</div>\n<div class=\"float_right\">\n\t" + newThread +
      "\n</div>\n"
      "<table border=\"0\" cellspacing=\"0\" cellpadding=\"5\" class=\"tborder clear\">\n\t<tr>\n\t\t<td class=\"thead\" colspan=\"6\">\n"
      "\t\t\t<div class=\"float_right\">\n\t\t\t\t<span class=\"smalltext\"><strong><a href=\"misc.php?action=markread&amp;fid=" +
      id +
      "&amp;my_post_key=5c1d0e7a9b3f2c4d6e8f0a1b2c3d4e5f\">Mark this forum read</a> | <a href=\"usercp2.php?action=addsubscription&amp;type=forum&amp;fid=" +
      id +
      "&amp;my_post_key=5c1d0e7a9b3f2c4d6e8f0a1b2c3d4e5f\">Subscribe to this forum</a></strong></span>\n\t\t\t</div>\n\t\t\t<div>\n"
      "\t\t\t\t<strong>" +
      escapeHtml(f->name) +
      "</strong>\n\t\t\t</div>\n\t\t</td>\n\t</tr>\n\t<tr>\n"
      "\t\t<td class=\"tcat\" colspan=\"3\" width=\"66%\"><span class=\"smalltext\"><strong><a href=\"" +
      sortUrl + "&amp;sortby=subject&amp;order=asc\">Thread</a>  / <a href=\"" + sortUrl +
      "&amp;sortby=starter&amp;order=asc\">Author</a> </strong></span></td>\n"
      "\t\t<td class=\"tcat\" align=\"center\" width=\"7%\"><span class=\"smalltext\"><strong><a href=\"" +
      sortUrl +
      "&amp;sortby=replies&amp;order=desc\">Replies</a> </strong></span></td>\n"
      "\t\t<td class=\"tcat\" align=\"center\" width=\"7%\"><span class=\"smalltext\"><strong><a href=\"" +
      sortUrl +
      "&amp;sortby=views&amp;order=desc\">Views</a> </strong></span></td>\n"
      "\t\t<td class=\"tcat\" align=\"right\" width=\"20%\"><span class=\"smalltext\"><strong><a href=\"" +
      sortUrl + "&amp;sortby=lastpost&amp;order=desc\">Last Post</a> <span class=\"smalltext\">[<a href=\"" + sortUrl +
      "&amp;sortby=lastpost&amp;order=asc\">asc</a>]</span></strong></span></td>\n\t</tr>\n";
  for (int i = current * model_->topicsPerPage;
       i < static_cast<int>(topics.size()) && i < (current + 1) * model_->topicsPerPage; ++i) {
    const ModelTopic& t = *topics[static_cast<std::size_t>(i)];
    std::string tid = std::to_string(t.id);
    std::string threadPages;
    int topicPages = model_->topicPages(t);
    for (int p = 0; p < topicPages && topicPages > 1; ++p) {
      threadPages += "<a href=\"showthread.php?tid=" + tid + (p == 0 ? "" : "&amp;page=" + std::to_string(p + 1)) +
                     "\">" + std::to_string(p + 1) + "</a> ";
    }
    bool unread = i == 0;
    body +=
        "<tr class=\"inline_row\">\n\t<td align=\"center\" class=\"trow1 forumdisplay_regular\" width=\"2%\"><span class=\"thread_status " +
        std::string(unread ? "newfolder" : "folder") + "\" title=\"" + (unread ? "New posts." : "No new posts.") +
        "\">&nbsp;</span></td>\n"
        "\t<td align=\"center\" class=\"trow1 forumdisplay_regular\" width=\"2%\">&nbsp;</td>\n"
        "\t<td class=\"trow1 forumdisplay_regular\">\n\t\t\n\t\t<div>\n          <span> " +
        (unread ? "<a href=\"showthread.php?tid=" + tid +
                      "&amp;action=newpost\"><img src=\"images/jump.png\" alt=\"Go to first unread post\" "
                      "title=\"Go to first unread post\" /></a> "
                : "") +
        "<span class=\" subject_" + (unread ? "new" : "old") + "\" id=\"tid_" + tid +
        "\"><a href=\"showthread.php?tid=" + tid + "\">" + escapeHtml(t.title) + "</a></span>" +
        (threadPages.empty() ? "" : " <span class=\"smalltext\">(Pages: " + threadPages + ")</span>") +
        "</span>\n\t\t\t<div><span class=\"author smalltext\">" + profile(request, *t.posts.front().author) +
        ", </span><span class=\"thread_start_datetime smalltext\">" + mybbDate(t.posts.front().time) +
        "</span></div>\n\t\t</div>\n\t</td>\n"
        "\t<td align=\"center\" class=\"trow1 forumdisplay_regular\"><a href=\"" +
        origin(request) + "/misc.php?action=whoposted&tid=" + tid + "\" onclick=\"MyBB.whoPosted(" + tid +
        "); return false;\">" + std::to_string(t.posts.size() - 1) +
        "</a></td>\n"
        "\t<td align=\"center\" class=\"trow1 forumdisplay_regular\">" +
        std::to_string(t.views) +
        "</td>\n"
        "\t<td class=\"trow1 forumdisplay_regular\" style=\"white-space: nowrap; text-align: right;\">\n\t\t<span class=\"lastpost smalltext\">" +
        mybbDate(t.posts.back().time) + "<br />\n\t\t<a href=\"showthread.php?tid=" + tid +
        "&amp;action=lastpost\">Last Post</a>: " + profile(request, *t.posts.back().author) +
        "</span>\n\t</td>\n</tr>\n";
  }
  body +=
      "<tr>\n\t\t<td class=\"tfoot\" align=\"right\" colspan=\"6\">\n\t\t\t<form action=\"forumdisplay.php\" method=\"get\">\n"
      "\t\t\t\t<input type=\"hidden\" name=\"fid\" value=\"" +
      id +
      "\" />\n\t\t\t\t<select name=\"sortby\">\n"
      "\t\t\t\t\t<option value=\"subject\">Sort by: Subject</option>\n\t\t\t\t\t<option value=\"lastpost\" selected=\"selected\">Sort by: Last Post</option>\n"
      "\t\t\t\t\t<option value=\"starter\">Sort by: Author</option>\n\t\t\t\t</select>\n\t\t\t\t<select name=\"order\">\n"
      "\t\t\t\t\t<option value=\"asc\">Order: Ascending</option>\n\t\t\t\t\t<option value=\"desc\" selected=\"selected\">Order: Descending</option>\n"
      "\t\t\t\t</select>\n\t\t\t\t<input type=\"submit\" class=\"button\" value=\"Go\" />\n\t\t\t</form>\n\t\t</td>\n\t</tr>\n</table>\n"
      "<div class=\"float_left\">\n\t" +
      pager + "\n</div>\n<div class=\"float_right\" style=\"margin-top: 4px;\">\n\t" + newThread +
      "\n</div>\n<br class=\"clear\" />\n<br />\n<div class=\"float_right\" style=\"text-align: right;\">\n"
      "\t<form action=\"forumdisplay.php\" method=\"get\">\n<span class=\"smalltext\"><strong>Forum Jump:</strong></span>\n"
      "<select name=\"fid\" class=\"forumjump\">\n<option value=\"-4\">Private Messages</option>\n<option value=\"-3\">User Control Panel</option>\n"
      "<option value=\"-5\">Who's Online</option>\n<option value=\"-2\">Search</option>\n<option value=\"-1\">Forum Home</option>\n";
  for (const Category& c : model_->categories) {
    body += "<option value=\"" + std::to_string(c.id) + "\" > " + escapeHtml(c.name) + "</option>\n";
    for (const ModelForum& any : model_->forums) {
      if (any.category != c.id) continue;
      body += "<option value=\"" + std::to_string(any.id) + "\" " + (any.id == f->id ? "selected=\"selected\"" : "") +
              ">" + (any.parent == 0 ? "-- " : "---- ") + escapeHtml(any.name) + "</option>\n";
    }
  }
  body += "</select>\n<input type=\"submit\" class=\"button\" value=\"Go\" />\n</form>\n</div>\n";
  return htmlPage(page(request, model_->title + " - " + f->name + " ", navigation(request, f->id, ""), body));
}

Response MyBB18Board::thread(const Request& request) const {
  const ModelTopic* t = model_->topic(request.number("tid"));
  long pid = request.number("pid");
  int current = static_cast<int>(request.number("page", 1)) - 1;
  if (pid != 0) {
    auto [holder, post] = model_->post(pid);
    if (holder == nullptr || (t != nullptr && t != holder)) return Response::notFound();
    t = holder;
    current = model_->pageOfPost(static_cast<std::size_t>(post - t->posts.data()));
  }
  if (t == nullptr) return Response::notFound();
  std::string tid = std::to_string(t->id);
  std::string action = request.param("action");
  if (action == "lastpost" || action == "newpost") {
    const Post& target = action == "lastpost" ? t->posts.back() : t->posts[t->posts.size() / 2];
    return Response::redirect(origin(request) + "/showthread.php?tid=" + tid + "&pid=" + std::to_string(target.id) +
                              "#pid" + std::to_string(target.id));
  }
  if (action == "nextoldest" || action == "nextnewest") {
    std::vector<const ModelTopic*> siblings = model_->topicsOf(t->forum);
    auto at = std::find(siblings.begin(), siblings.end(), t) - siblings.begin();
    long next = action == "nextoldest" ? at + 1 : at - 1;
    if (next < 0 || next >= static_cast<long>(siblings.size())) {
      return htmlPage(page(
          request, model_->title, navigation(request, t->forum, t->title),
          "<table border=\"0\" cellspacing=\"0\" cellpadding=\"5\" class=\"tborder\">\n<tr>\n<td class=\"thead\"><span class=\"smalltext\">"
          "<strong>" +
              escapeHtml(model_->title) +
              "</strong></span></td>\n</tr>\n<tr>\n<td class=\"trow1\">There are no threads "
              "in this direction.</td>\n</tr>\n</table>\n"));
    }
    return Response::redirect(origin(request) +
                              "/showthread.php?tid=" + std::to_string(siblings[static_cast<std::size_t>(next)]->id));
  }
  int pages = model_->topicPages(*t);
  current = std::clamp(current, 0, pages - 1);
  bool threaded = request.param("mode") == "threaded";
  PostMarkup markup;
  markup.boldOpen = "<span style=\"font-weight: bold;\" class=\"mycode_b\">";
  markup.boldClose = "</span>";
  markup.italicOpen = "<span style=\"font-style: italic;\" class=\"mycode_i\">";
  markup.italicClose = "</span>";
  markup.link = "<a href=\"{href}\" target=\"_blank\" rel=\"noopener\" class=\"mycode_url\">{text}</a>";
  markup.smiley = "<img src=\"{src}\" alt=\"Smile\" title=\"Smile\" class=\"smilie smilie_1\" />";
  markup.smileySource = "images/smilies/smile.png";
  markup.lineBreak = "<br />\n";
  markup.paragraphSeparator = "<br />\n<br />\n";
  markup.quote = "<blockquote class=\"mycode_quote\"><cite><span> (" + mybbDate(t->posts.front().time) +
                 ")</span>{who} Wrote:  <a href=\"" + origin(request) +
                 "/showthread.php?pid={post}#pid{post}\" class=\"quick_jump\"></a></cite>{body}</blockquote>";
  markup.code =
      "<div class=\"codeblock\"><div class=\"title\">Code:</div><div class=\"body\" dir=\"ltr\"><code>{code}</code></div></div>";
  markup.listOpen = "<ul class=\"mycode_list\">";
  std::string posts;
  std::size_t first = threaded ? 0 : static_cast<std::size_t>(current * model_->postsPerPage);
  std::size_t end =
      threaded ? t->posts.size() : std::min(t->posts.size(), first + static_cast<std::size_t>(model_->postsPerPage));
  for (std::size_t i = first; i < end; ++i) {
    const Post& p = t->posts[i];
    if (threaded && p.id != (pid != 0 ? pid : t->posts.front().id)) continue;
    std::string id = std::to_string(p.id);
    int memberPosts = model_->postsBy(*p.author);
    posts +=
        "\n<a name=\"pid" + id + "\" id=\"pid" + id + "\"></a>\n<div class=\"post \" style=\"\" id=\"post_" + id +
        "\">\n<div class=\"post_author\">\n"
        "\t<div class=\"author_avatar\"><a href=\"member.php?action=profile&amp;uid=" +
        std::to_string(p.author->id) +
        "\"><img src=\"images/default_avatar.png\" alt=\"\" width=\"55\" height=\"55\" /></a></div>\n\t<div class=\"author_information\">\n"
        "\t\t\t<strong><span class=\"largetext\">" +
        profile(request, *p.author) +
        "</span></strong> <span class=\"status_type\">Offline</span><br />\n"
        "\t\t\t<span class=\"smalltext\">\n\t\t\t\tMember<br />\n\t\t\t\t<img src=\"images/star.png\" border=\"0\" alt=\"*\" /><br />\n"
        "\t\t\t</span>\n\t</div>\n\t<div class=\"author_statistics\">\n\t\t\n\tPosts: " +
        std::to_string(memberPosts) +
        "<br />\n"
        "\tThreads: 2<br />\n\tJoined: Jan 2024\n\t\n\t</div>\n</div>\n<div class=\"post_content\">\n\t<div class=\"post_head\">\n"
        "\t\t<div class=\"float_right\" style=\"vertical-align: top\">\n<strong><a href=\"showthread.php?tid=" +
        tid + "&amp;pid=" + id + "#pid" + id + "\" title=\"" + (i == 0 ? "" : "RE: ") + escapeHtml(t->title) + "\">#" +
        std::to_string(i + 1) +
        "</a></strong>\n\n</div>\n"
        "\t\t\n\t\t<span class=\"post_date\">" +
        mybbDate(p.time) + " <span class=\"post_edit\" id=\"edited_by_" + id +
        "\"></span></span>\n"
        "\t\n\t</div>\n\t<div class=\"post_body scaleimages\" id=\"pid_" +
        id + "\">\n\t\t" + renderMessage(p, markup, t->id) +
        "\n\t</div>\n"
        "\t\n\t\n\t<div class=\"post_meta\" id=\"post_meta_" +
        id +
        "\">\n\t\t\n\t\t<div class=\"float_right\">\n\t\t\t\n\t\t</div>\n\t</div>\n"
        "\t\n</div>\n<div class=\"post_controls\">\n\t<div class=\"postbit_buttons author_buttons float_left\">\n"
        "\t\t<a href=\"search.php?action=finduser&amp;uid=" +
        std::to_string(p.author->id) +
        "\" title=\"Find all posts by this user\" "
        "class=\"postbit_find\"><span>Find</span></a>\n\t</div>\n\t<div class=\"postbit_buttons post_management_buttons float_right\">\n"
        "\t\t<a href=\"javascript:Thread.reportPost(" +
        id +
        ");\" title=\"Report this post to a moderator\" class=\"postbit_report\"><span>Report</span></a>\n"
        "\t</div>\n</div>\n</div>\n";
  }
  if (threaded) {
    posts +=
        "<div id=\"thread_modes_popup\"><table border=\"0\" cellspacing=\"0\" cellpadding=\"5\" class=\"tborder\">\n<tr>\n<td class=\"thead\">"
        "<span class=\"smalltext\"><strong>Messages In This Thread</strong></span></td>\n</tr>\n<tr>\n<td class=\"trow1\">";
    for (const Post& p : t->posts) {
      posts += "<div style=\"margin-left: 0px;\"><a href=\"showthread.php?tid=" + tid +
               "&amp;pid=" + std::to_string(p.id) + "&amp;mode=threaded#pid" + std::to_string(p.id) + "\">" +
               escapeHtml(t->title) + "</a> <span class=\"smalltext\">- by " + escapeHtml(p.author->name) + " - " +
               mybbDate(p.time) + "</span></div>\n";
    }
    posts += "</td>\n</tr>\n</table></div>\n";
  }
  std::string pager = threaded ? "" : multipage("showthread.php?tid=" + tid, current, pages);
  long firstPid = t->posts[first].id;
  std::string newReply =
      "<a href=\"newreply.php?tid=" + tid + "\" class=\"button new_reply_button\"><span>New Reply</span></a>&nbsp;";
  std::string body =
      "<div class=\"float_left\">\n\t\t" + pager + "\n\t</div>\n\t<div class=\"float_right\">\n\t\t" + newReply +
      "\n\t</div>\n"
      "\t<table border=\"0\" cellspacing=\"0\" cellpadding=\"5\" class=\"tborder tfixed clear\">\n\t\t<tr>\n\t\t\t<td class=\"thead\">\n"
      "\t\t\t\t<div class=\"float_right\">\n\t\t\t\t\t<span class=\"smalltext\"><strong><a href=\"showthread.php?mode=" +
      (threaded ? "linear" : "threaded") + "&amp;tid=" + tid + "&amp;pid=" + std::to_string(firstPid) + "#pid" +
      std::to_string(firstPid) + "\">" + (threaded ? "Linear Mode" : "Threaded Mode") +
      "</a></strong></span>\n\t\t\t\t</div>\n\t\t\t\t<div>\n\t\t\t\t\t<strong>" + escapeHtml(t->title) +
      "</strong>\n\t\t\t\t</div>\n\t\t\t</td>\n\t\t</tr>\n<tr><td id=\"posts_container\">\n\t<div id=\"posts\">\n" +
      posts +
      "\t</div>\n</td></tr>\n\t\t<tr>\n\t\t\t<td class=\"tfoot\">\n\t\t\t\t<div class=\"float_right\">\n"
      "\t<form action=\"search.php\" method=\"post\">\n\t\t<input type=\"hidden\" name=\"action\" value=\"thread\" />\n"
      "\t\t<input type=\"hidden\" name=\"tid\" value=\"" +
      tid +
      "\" />\n\t\t<input type=\"text\" name=\"keywords\" value=\"Enter Keywords\" "
      "class=\"textbox\" size=\"25\" />\n\t\t<input type=\"submit\" class=\"button\" value=\"Search Thread\" />\n\t</form>\n</div>\n"
      "\t\t\t\t<div>\n\t\t\t\t\t<strong>&laquo; <a href=\"showthread.php?tid=" +
      tid +
      "&amp;action=nextoldest\">Next Oldest</a> | "
      "<a href=\"showthread.php?tid=" +
      tid +
      "&amp;action=nextnewest\">Next Newest</a> &raquo;</strong>\n\t\t\t\t</div>\n\t\t\t</td>\n"
      "\t\t</tr>\n\t</table>\n\t<div class=\"float_left\">\n\t\t" +
      pager +
      "\n\t</div>\n\t<div style=\"padding-top: 4px;\" class=\"float_right\">\n"
      "\t\t" +
      newReply +
      "\n\t</div>\n\t<br class=\"clear\" />\n\t<br />\n\t<div class=\"float_left\">\n\t\t<ul class=\"thread_tools\">\n"
      "\t\t\t<li class=\"printable\"><a href=\"printthread.php?tid=" +
      tid +
      "\">View a Printable Version</a></li>\n"
      "\t\t\t<li class=\"subscription_add\"><a href=\"usercp2.php?action=addsubscription&amp;tid=" +
      tid +
      "&amp;my_post_key=5c1d0e7a9b3f2c4d6e8f0a1b2c3d4e5f\">Subscribe to this thread</a></li>\n\t\t</ul>\n\t</div>\n";
  return htmlPage(page(request, t->title, navigation(request, t->forum, t->title), body));
}

Response MyBB18Board::serve(const Request& request) const {
  const std::string& path = request.path;
  Response response;
  if (path == "/" || path == "/index.php") {
    response = index(request);
  } else if (path == "/forumdisplay.php") {
    response = forum(request);
  } else if (path == "/showthread.php") {
    response = thread(request);
  } else if (path.starts_with("/images/")) {
    return pictureResponse();
  } else if (path.starts_with("/archive/")) {
    response = plainPage("<title>" + escapeHtml(model_->title) + " - Lite (Archive) Mode</title>\n",
                         "The archive shows the full version's text only.");
  } else if (path == "/member.php" || path == "/search.php" || path == "/memberlist.php" || path == "/calendar.php" ||
             path == "/misc.php" || path == "/showteam.php" || path == "/contact.php" || path == "/newthread.php" ||
             path == "/newreply.php" || path == "/usercp2.php" || path == "/printthread.php") {
    response = htmlPage(page(
        request, model_->title, navigation(request, 0, "Information"),
        "<table border=\"0\" cellspacing=\"0\" cellpadding=\"5\" class=\"tborder\">\n<tr>\n<td class=\"thead\"><span class=\"smalltext\">"
        "<strong>" +
            escapeHtml(model_->title) +
            "</strong></span></td>\n</tr>\n<tr>\n<td class=\"trow1\">You are either not logged in "
            "or do not have permission to view this page.</td>\n</tr>\n</table>\n"));
  } else {
    return Response::notFound();
  }
  response.headers.emplace_back("Set-Cookie", "mybb[lastvisit]=1717200000; path=/; HttpOnly");
  response.headers.emplace_back("Set-Cookie", "sid=5c1d0e7a9b3f2c4d6e8f0a1b2c3d4e5f; path=/; HttpOnly");
  return response;
}

}  // namespace

Handler makeMyBB18Board(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<MyBB18Board>(std::move(model));
  return [board](const Request& request) { return board->serve(request); };
}

}  // namespace quillstash::demo
