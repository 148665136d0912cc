// SPDX-License-Identifier: MIT
// The board as vBulletin 4.2 shows it to a guest with the default style,
// after the output of its templates headinclude, header, navbar, FORUMHOME,
// forumhome_forumbit_level1_nopost, forumhome_forumbit_level2_post,
// forumhome_subforumbit_post, FORUMDISPLAY, threadbit, pagenav, SHOWTHREAD,
// postbit_legacy, bbcode_quote, bbcode_code and forumjump. Two address
// modes: the basic one (forumdisplay.php?f=2&page=2, showthread.php?t=1)
// and the mod_rewrite friendly one (forums/2-General-Chat/page2,
// threads/1-Welcome-to-the-lamp-room/page2), both under <base href>.
// A guest whose client keeps no cookie gets "s=" on every link.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <string>

#include "engine_board.h"

namespace quillstash::demo {
namespace {

std::string vbDate(long long time) {
  std::string iso = isoTime(time);
  int hour = std::stoi(iso.substr(11, 2));
  char text[48];
  std::snprintf(text, sizeof text, "%s-%s-%s, <span class=\"time\">%02d:%s %s</span>", iso.substr(5, 2).c_str(),
                iso.substr(8, 2).c_str(), iso.substr(0, 4).c_str(), hour % 12 == 0 ? 12 : hour % 12,
                iso.substr(14, 2).c_str(), hour < 12 ? "AM" : "PM");
  return text;
}

std::string vbSlug(std::string_view title) {
  std::string slug;
  for (char c : title) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      slug += c;
    } else if (!slug.empty() && slug.back() != '-') {
      slug += '-';
    }
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return slug;
}

// An address as printed in a page ("&amp;"), as a Location header carries it.
std::string plainAddress(std::string address) {
  for (std::size_t at = address.find("&amp;"); at != std::string::npos; at = address.find("&amp;", at + 1))
    address.erase(at + 1, 4);
  return address;
}

class VBulletin4Board {
 public:
  VBulletin4Board(std::shared_ptr<const BoardModel> model, bool friendly)
      : model_(std::move(model)), friendly_(friendly) {}
  Response serve(const Request& request);

 private:
  struct View {
    const Request& request;
    std::string session;  // "s=..." for a guest without cookies, else empty
  };
  // `script?params` in the basic mode; the session goes first, as the engine writes it.
  std::string basic(const View& view, const std::string& script, const std::string& params) const;
  std::string forumUrl(const View& view, int id, int page = 0) const;
  std::string threadUrl(const View& view, const ModelTopic& t, int page = 0, const std::string& extra = "") const;
  std::string memberUrl(const View& view, const Member& m) const;
  std::string member(const View& view, const Member& m) const;
  std::string page(const View& view, const std::string& title, const std::string& head, const std::string& crumbs,
                   const std::string& body) const;
  std::string crumbsTo(const View& view, int forumId, bool withForum) const;
  std::string pagenav(const View& view, const std::function<std::string(int)>& url, int current, int pages,
                      const std::string& what) const;
  std::string forumbits(const View& view, const std::vector<const ModelForum*>& forums) const;
  std::string quickNavigation(const View& view) const;
  Response home(const View& view) const;
  Response forum(const View& view, long id, int current) const;
  Response thread(const View& view, const ModelTopic& t, int current) const;

  std::shared_ptr<const BoardModel> model_;
  bool friendly_;
  std::atomic<unsigned long long> visits_{0};
};

std::string VBulletin4Board::basic(const View& view, const std::string& script, const std::string& params) const {
  std::string query = view.session.empty() ? params : view.session + (params.empty() ? "" : "&amp;" + params);
  return query.empty() ? script : script + "?" + query;
}

std::string VBulletin4Board::forumUrl(const View& view, int id, int page) const {
  if (!friendly_)
    return basic(view, "forumdisplay.php",
                 "f=" + std::to_string(id) + (page > 0 ? "&amp;page=" + std::to_string(page + 1) : ""));
  const ModelForum* f = model_->forum(id);
  std::string name = f != nullptr ? f->name : model_->category(id)->name;
  return "forums/" + std::to_string(id) + "-" + vbSlug(name) + (page > 0 ? "/page" + std::to_string(page + 1) : "") +
         (view.session.empty() ? "" : "?" + view.session);
}

std::string VBulletin4Board::threadUrl(const View& view, const ModelTopic& t, int page,
                                       const std::string& extra) const {
  if (!friendly_) {
    return basic(view, "showthread.php",
                 "t=" + std::to_string(t.id) + (page > 0 ? "&amp;page=" + std::to_string(page + 1) : "") + extra);
  }
  std::string query = view.session + (extra.empty() ? "" : (view.session.empty() ? extra.substr(5) : extra));
  return "threads/" + std::to_string(t.id) + "-" + vbSlug(t.title) +
         (page > 0 ? "/page" + std::to_string(page + 1) : "") + (query.empty() ? "" : "?" + query);
}

std::string VBulletin4Board::memberUrl(const View& view, const Member& m) const {
  if (!friendly_) return basic(view, "member.php", "u=" + std::to_string(m.id));
  return "members/" + std::to_string(m.id) + "-" + vbSlug(m.name) + (view.session.empty() ? "" : "?" + view.session);
}

std::string VBulletin4Board::member(const View& view, const Member& m) const {
  return "<div class=\"popupmenu memberaction\">\n\t<a class=\"username offline popupctrl\" href=\"" +
         memberUrl(view, m) + "\" title=\"" + escapeHtml(m.name) + " is offline\"><strong>" + escapeHtml(m.name) +
         "</strong></a>\n"
         "\t<ul class=\"popupbody popuphover memberaction_body\">\n\t\t<li class=\"left\">\n\t\t\t<a href=\"" +
         memberUrl(view, m) +
         "\" class=\"siteicon_profile\">\n\t\t\t\tView Profile\n\t\t\t</a>\n\t\t</li>\n\t\t<li class=\"right\">\n\t\t\t<a href=\"" +
         basic(view, "search.php",
               "do=finduser&amp;userid=" + std::to_string(m.id) + "&amp;contenttype=vBForum_Post&amp;showposts=1") +
         "\" class=\"siteicon_forum\" rel=\"nofollow\">\n\t\t\t\tView Forum Posts\n\t\t\t</a>\n\t\t</li>\n\t</ul>\n</div>";
}

std::string VBulletin4Board::page(const View& view, const std::string& title, const std::string& head,
                                  const std::string& crumbs, const std::string& body) const {
  return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\" dir=\"ltr\" lang=\"en\" id=\"vbulletin_html\">\n<head>\n"
         "\t<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />\n<meta id=\"e_vb_meta_bburl\" name=\"vb_meta_bburl\" content=\"" +
         origin(view.request) + "\" />\n<base href=\"" + origin(view.request) +
         "/\" /><!--[if IE]></base><![endif]-->\n"
         "<meta name=\"generator\" content=\"vBulletin 4.2.5\" />\n\n<link rel=\"Shortcut Icon\" href=\"favicon.ico\" type=\"image/x-icon\" />\n"
         "<script type=\"text/javascript\">\n<!--\n\tvar SESSIONURL = \"" +
         (view.session.empty() ? "" : view.session + "&") +
         "\";\n\tvar SECURITYTOKEN = \"guest\";\n\tvar IMGDIR_MISC = \"images/misc\";\n\tvar vb_disable_ajax = parseInt(\"0\", 10);\n// -->\n</script>\n"
         "<script type=\"text/javascript\" src=\"clientscript/vbulletin_global.js?v=425\"></script>\n"
         "\t<link rel=\"alternate\" type=\"application/rss+xml\" title=\"" +
         escapeHtml(model_->title) + " RSS Feed\" href=\"" + origin(view.request) + "/external.php?type=RSS2\" />\n" +
         head +
         "<link rel=\"stylesheet\" type=\"text/css\" href=\"clientscript/vbulletin_css/style00001l/main-rollup.css?d=1717200000\" />\n"
         "\t<title>" +
         escapeHtml(title) +
         "</title>\n</head>\n<body>\n\n<div class=\"above_body\"> <!-- closing tag is in template navbar -->\n"
         "<div id=\"header\" class=\"floatcontainer doc_header\">\n\t<div><a name=\"top\" href=\"" +
         (friendly_ ? "forum.php" : basic(view, "forum.php", "")) +
         "\" class=\"logo-image\"><img src=\"images/misc/vbulletin4_logo.png\" alt=\"" + escapeHtml(model_->title) +
         " - Powered by vBulletin\" /></a></div>\n"
         "\t<div id=\"toplinks\" class=\"toplinks\">\n\t\t<ul class=\"nouser\">\n\t\t\t<li><a href=\"" +
         basic(view, "register.php", "") + "\" rel=\"nofollow\">Register</a></li>\n\t\t\t<li><a rel=\"help\" href=\"" +
         basic(view, "faq.php", "") +
         "\">Help</a></li>\n"
         "\t\t\t<li>\n\t\t\t<script type=\"text/javascript\" src=\"clientscript/vbulletin_md5.js?v=425\"></script>\n"
         "\t\t\t<form id=\"navbar_loginform\" action=\"login.php?do=login\" method=\"post\" onsubmit=\"md5hash(vb_login_password, "
         "vb_login_md5password, vb_login_md5password_utf, 0)\">\n\t\t\t\t<fieldset id=\"logindetails\" class=\"logindetails\">\n"
         "\t\t\t\t\t<input type=\"text\" class=\"textbox default-value\" name=\"vb_login_username\" id=\"navbar_username\" size=\"10\" "
         "accesskey=\"u\" tabindex=\"101\" value=\"User Name\" />\n\t\t\t\t\t<input type=\"password\" class=\"textbox\" tabindex=\"102\" "
         "name=\"vb_login_password\" id=\"navbar_password\" size=\"10\" />\n\t\t\t\t\t<input type=\"submit\" class=\"loginbutton\" "
         "tabindex=\"104\" value=\"Log in\" title=\"Enter your username and password in the boxes provided to login, or click the 'register' "
         "button to create a profile for yourself.\" accesskey=\"s\" />\n\t\t\t\t</fieldset>\n\t\t\t\t<input type=\"hidden\" name=\"s\" value=\"" +
         (view.session.empty() ? "" : view.session.substr(2)) +
         "\" />\n\t\t\t\t<input type=\"hidden\" name=\"securitytoken\" value=\"guest\" />\n"
         "\t\t\t\t<input type=\"hidden\" name=\"do\" value=\"login\" />\n\t\t\t</form>\n\t\t\t</li>\n\t\t</ul>\n\t</div>\n"
         "\t<div class=\"ad_global_header\">\n\t</div>\n\t<hr />\n</div>\n\n<div id=\"navbar\" class=\"navbar\">\n\t<ul id=\"navtabs\" class=\"navtabs floatcontainer\">\n"
         "\t\t<li class=\"selected\"><a class=\"navtab\" href=\"" +
         basic(view, "forum.php", "") +
         "\">Forum</a>\n\t\t\t<ul class=\"floatcontainer\">\n"
         "\t\t\t\t<li><a href=\"" +
         basic(view, "search.php", "do=getdaily&amp;contenttype=vBForum_Post") +
         "\">Today's Posts</a></li>\n"
         "\t\t\t\t<li><a rel=\"help\" href=\"" +
         basic(view, "faq.php", "") +
         "\" accesskey=\"5\">FAQ</a></li>\n"
         "\t\t\t\t<li><a href=\"" +
         basic(view, "calendar.php", "") +
         "\">Calendar</a></li>\n"
         "\t\t\t\t<li class=\"popupmenu\">\n\t\t\t\t\t<a href=\"javascript://\" class=\"popupctrl\">Community</a>\n"
         "\t\t\t\t\t<ul class=\"popupbody popuphover\">\n\t\t\t\t\t\t<li><a href=\"" +
         basic(view, "memberlist.php", "") +
         "\">Member List</a></li>\n"
         "\t\t\t\t\t</ul>\n\t\t\t\t</li>\n\t\t\t</ul>\n\t\t</li>\n\t\t<li><a class=\"navtab\" href=\"" +
         basic(view, "search.php", "do=getdaily") +
         "\" accesskey=\"2\">What's New?</a></li>\n\t</ul>\n\t<div id=\"globalsearch\" class=\"globalsearch\">\n"
         "\t\t<form action=\"search.php?do=process\" method=\"post\" id=\"navbar_search\" class=\"navbar_search\">\n"
         "\t\t<input type=\"hidden\" name=\"securitytoken\" value=\"guest\" />\n\t\t<input type=\"hidden\" name=\"do\" value=\"process\" />\n"
         "\t\t<span class=\"textboxcontainer\"><span><input type=\"text\" value=\"\" name=\"query\" class=\"textbox\" tabindex=\"99\"/></span></span>\n"
         "\t\t<span class=\"buttoncontainer\"><span><input type=\"image\" class=\"searchbutton\" src=\"images/buttons/search.png\" name=\"submit\" "
         "onclick=\"document.getElementById('navbar_search').submit;\" tabindex=\"100\"/></span></span>\n\t\t</form>\n"
         "\t\t<ul class=\"navbar_advanced_search\">\n\t\t\t<li><a href=\"" +
         basic(view, "search.php", "") +
         "\" accesskey=\"4\">Advanced Search</a></li>\n"
         "\t\t</ul>\n\t</div>\n</div>\n</div><!-- closing div for above_body -->\n\n<div class=\"body_wrapper\">\n"
         "<div id=\"breadcrumb\" class=\"breadcrumb\">\n\t<ul class=\"floatcontainer\">\n\t\t<li class=\"navbithome\"><a href=\"" +
         basic(view, "forum.php", "") +
         "\" accesskey=\"1\"><img src=\"images/misc/navbit-home.png\" alt=\"Home\" /></a></li>\n" + crumbs +
         "\t</ul>\n\t<hr />\n</div>\n\n" + body +
         "\n</div>\n<div id=\"footer\" class=\"floatcontainer footer\">\n"
         "\t<ul id=\"footer_links\" class=\"footer_links\">\n\t\t<li><a href=\"" +
         basic(view, "sendmessage.php", "") +
         "\" rel=\"nofollow\" accesskey=\"9\">"
         "Contact Us</a></li>\n\t\t<li><a href=\"" +
         origin(view.request) + "/\">" + escapeHtml(model_->title) +
         "</a></li>\n"
         "\t\t<li><a href=\"" +
         basic(view, "archive/index.php", "") + "\">Archive</a></li>\n\t\t<li><a href=\"" +
         basic(view, "forumdisplay.php", "do=markread&amp;markreadhash=guest") +
         "\" rel=\"nofollow\">Mark Forums Read</a></li>\n"
         "\t\t<li><a href=\"#top\" onclick=\"document.location.hash='top'; return false;\">Top</a></li>\n\t</ul>\n</div>\n\n"
         "<div class=\"below_body\">\n<div id=\"footer_time\" class=\"shade footer_time\">All times are GMT. The time now is <span class=\"time\">"
         "12:00 AM</span>.</div>\n\n<div id=\"footer_copyright\" class=\"shade footer_copyright\">\n\t<!-- Do not remove this copyright notice -->\n"
         "\tPowered by <a href=\"https://www.vbulletin.com\" id=\"vbulletinlink\">vBulletin&reg;</a> Version 4.2.5 <br />Copyright &copy; 2024 "
         "vBulletin Solutions Inc. All rights reserved. \n\t<!-- Do not remove this copyright notice -->\t\n</div>\n</div>\n</body>\n</html>\n";
}

std::string VBulletin4Board::crumbsTo(const View& view, int forumId, bool withForum) const {
  std::vector<std::pair<int, std::string>> chain;
  for (const ModelForum* f = model_->forum(forumId); f != nullptr; f = model_->forum(f->parent)) {
    if (withForum || f->id != forumId) chain.emplace_back(f->id, f->name);
    if (f->parent == 0) chain.emplace_back(f->category, model_->category(f->category)->name);
  }
  std::string out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    out += "\t\t<li class=\"navbit\"><a href=\"" + forumUrl(view, it->first) + "\">" + escapeHtml(it->second) +
           "</a></li>\n";
  }
  return out;
}

std::string VBulletin4Board::pagenav(const View& view, const std::function<std::string(int)>& url, int current,
                                     int pages, const std::string& what) const {
  (void)view;
  std::string nav = renderPager(
      current, pages,
      {"<form action=\"" + url(std::min(current + 1, pages - 1)) +
           "\" method=\"get\" class=\"pagination popupmenu nohovermenu\">\n"
           "\t<span><a href=\"javascript://\" class=\"popupctrl\">Page " +
           std::to_string(current + 1) + " of " + std::to_string(pages) +
           "</a></span>\n"
           "\t<span class=\"first_last\"><a rel=\"start\" href=\"" +
           url(0) + "\" title=\"First Page - " + what +
           "\"><img src=\"images/pagination/first-right.png\" "
           "alt=\"First\" />First</a></span>\n",
       "\t<ul class=\"popupbody popuphover\">\n\t\t<li class=\"formsubmit jumptopage\"><label>Jump to page: <input type=\"text\" name=\"page\" "
       "size=\"4\" /></label> <input type=\"submit\" class=\"button\" value=\"Go\" /></li>\n\t</ul>\n</form>",
       "\t<span class=\"prev_next\"><a rel=\"prev\" href=\"{url}\" title=\"Prev Page - " + what +
           "\"><img src=\"images/pagination/previous-right.png\" "
           "alt=\"Previous\" /></a></span>\n",
       "\t<span><a href=\"{url}\" title=\"Show results of " + what + "\">{number}</a></span>\n",
       "\t<span class=\"selected\"><a href=\"javascript://\" title=\"Results of " + what + "\">{number}</a></span>\n",
       "\t<span class=\"prev_next\"><a rel=\"next\" href=\"{url}\" title=\"Next Page - " + what +
           "\"><img src=\"images/pagination/next-right.png\" "
           "alt=\"Next\" /></a></span>\n"},
      url);
  return nav;
}

std::string VBulletin4Board::forumbits(const View& view, const std::vector<const ModelForum*>& forums) const {
  std::string out;
  for (const ModelForum* f : forums) {
    std::string id = std::to_string(f->id);
    std::string subs;
    for (const ModelForum* sub : model_->subForums(f->id)) {
      subs += "\t\t\t\t\t\t\t<li class=\"subforum\">\n\t\t\t\t\t\t\t\t<a href=\"" + forumUrl(view, sub->id) +
              "\" class=\"old\">" + escapeHtml(sub->name) + "</a>\n\t\t\t\t\t\t\t</li>\n";
    }
    const Post* last = model_->lastPost(f->id);
    const ModelTopic* lastTopic = model_->post(last->id).first;
    std::string lastId = std::to_string(last->id);
    out +=
        "<li id=\"forum" + id +
        "\" class=\"forumbit_post old L2\">\n\t<div class=\"forumrow table\">\n\t\t<div class=\"foruminfo td\">\n"
        "\t\t\t<img src=\"images/statusicon/forum_old-48.png\" class=\"forumicon\" id=\"forum_statusicon_" +
        id +
        "\" alt=\"\" />\n"
        "\t\t\t<div class=\"forumdata\">\n\t\t\t\t<div class=\"datacontainer\">\n\t\t\t\t\t<div class=\"titleline\">\n"
        "\t\t\t\t\t\t<h2 class=\"forumtitle\"><a href=\"" +
        forumUrl(view, f->id) + "\">" + escapeHtml(f->name) +
        "</a></h2>\n"
        "\t\t\t\t\t</div>\n\t\t\t\t\t<p class=\"forumdescription\">" +
        escapeHtml(f->description) + "</p>\n" +
        (subs.empty()
             ? ""
             : "\t\t\t\t\t<div class=\"subforums\">\n\t\t\t\t\t\t<h4 class=\"subforumlistlabel\">Sub-Forums:</h4>\n"
               "\t\t\t\t\t\t<ol class=\"subforumlist commalist\">\n" +
                   subs + "\t\t\t\t\t\t</ol>\n\t\t\t\t\t</div>\n") +
        "\t\t\t\t</div>\n\t\t\t</div>\n\t\t</div>\n\t\t<h4 class=\"nocss_label\">Forum Actions:</h4>\n"
        "\t\t<ul class=\"forumactionlinks td\">\n\t\t\t<li class=\"forumactionlink rsslink\"><a href=\"" +
        basic(view, "external.php", "type=RSS2&amp;forumids=" + id) +
        "\" title=\"View this forum's RSS feed\">View this forum's RSS feed</a></li>\n"
        "\t\t</ul>\n\t\t<h4 class=\"nocss_label\">Forum Statistics:</h4>\n\t\t<ul class=\"forumstats td\">\n\t\t\t<li>Threads: " +
        std::to_string(model_->topicCount(f->id)) +
        "</li>\n\t\t\t<li>Posts: " + std::to_string(model_->postCount(f->id)) +
        "</li>\n\t\t</ul>\n"
        "\t\t<div class=\"forumlastpost td\">\n\t\t\t<h4 class=\"lastpostlabel\">Last Post:</h4>\n\t\t\t<div>\n\t\t\t\t<p class=\"lastposttitle\">\n"
        "\t\t\t\t<a href=\"" +
        threadUrl(view, *lastTopic, 0, "&amp;goto=newpost") +
        "\" class=\"threadtitle\" title=\"Go to first unread post in thread '" + escapeHtml(lastTopic->title) + "'\">" +
        escapeHtml(lastTopic->title) + "</a>\n\t\t\t\t<a href=\"" + threadUrl(view, *lastTopic, 0, "&amp;p=" + lastId) +
        "#post" + lastId +
        "\"><img src=\"images/buttons/lastpost-right.png\" alt=\"Go to last post\" /></a>\n"
        "\t\t\t\t</p>\n\t\t\t\t<div class=\"lastpostby\">\n\t\t\t\t\tby " +
        member(view, *last->author) +
        "\n\t\t\t\t</div>\n"
        "\t\t\t\t<p class=\"lastpostdate\">" +
        vbDate(last->time) + "</p>\n\t\t\t</div>\n\t\t</div>\n\t</div>\n</li>\n";
  }
  return out;
}

std::string VBulletin4Board::quickNavigation(const View& view) const {
  std::string items;
  for (const Category& c : model_->categories) {
    items += "\t\t<li class=\"d0\"><a href=\"" + forumUrl(view, c.id) + "\">" + escapeHtml(c.name) + "</a></li>\n";
    for (const ModelForum& f : model_->forums) {
      if (f.category != c.id) continue;
      items += "\t\t<li class=\"" + std::string(f.parent == 0 ? "d1" : "d2") + "\"><a href=\"" + forumUrl(view, f.id) +
               "\">" + escapeHtml(f.name) + "</a></li>\n";
    }
  }
  return "<div class=\"navpopupmenu popupmenu nohovermenu\" id=\"navpopup\">\n\t<a href=\"javascript://\" class=\"popupctrl\"><span class=\"ctrlcontainer\">"
         "Quick Navigation</span></a>\n\t<ul id=\"navpopup_body\" class=\"navpopupbody popupbody popuphover\">\n\t\t<li class=\"optionlabel\">Site Areas</li>\n"
         "\t\t<li><a href=\"" +
         basic(view, "usercp.php", "") + "\">Settings</a></li>\n\t\t<li><a href=\"" + basic(view, "private.php", "") +
         "\">Private Messages</a></li>\n\t\t<li><a href=\"" + basic(view, "online.php", "") +
         "\">Who's Online</a></li>\n"
         "\t\t<li><a href=\"" +
         basic(view, "search.php", "") + "\">Search Forums</a></li>\n\t\t<li><a href=\"" +
         basic(view, "forum.php", "") + "\">Forums Home</a></li>\n\t\t<li class=\"optionlabel\">Forums</li>\n" + items +
         "\t</ul>\n</div>\n";
}

Response VBulletin4Board::home(const View& view) const {
  std::string body = "<div id=\"pagetitle\">\n\t<h1>" + escapeHtml(model_->title) +
                     "</h1>\n</div>\n<ol id=\"forums\" class=\"floatcontainer\">\n";
  for (const Category& c : model_->categories) {
    std::string id = std::to_string(c.id);
    body += "\t<li id=\"cat" + id +
            "\" class=\"forumbit_nopost new L1\">\n\t\t<div class=\"forumhead foruminfo L1 collapse\">\n\t\t\t<h2>\n"
            "\t\t\t\t<a class=\"collapse\" id=\"collapse_c_cat" +
            id +
            "\" href=\"forum.php#top\"><img src=\"images/buttons/collapse_40b.png\" "
            "alt=\"\" title=\"Collapse this category\" /></a>\n\t\t\t\t<span class=\"forumtitle\"><a href=\"" +
            forumUrl(view, c.id) + "\">" + escapeHtml(c.name) +
            "</a></span>\n\t\t\t\t<span class=\"forumthreads\">Threads / Posts</span>\n"
            "\t\t\t\t<span class=\"forumlastpost\">Last Post</span>\n\t\t\t</h2>\n\t\t</div>\n\t\t<ol id=\"c_cat" +
            id + "\" class=\"childforum\">\n" + forumbits(view, model_->forumsIn(c.id)) + "\t\t</ol>\n\t</li>\n";
  }
  body +=
      "</ol>\n<div id=\"wgo\" class=\"collapse wgo_block block\">\n\t<h2 class=\"blockhead\">What's Going On?</h2>\n\t<div class=\"blockbody formcontrols floatcontainer\">\n"
      "\t\t<div class=\"section\">\n\t\t\t<h3 class=\"blocksubhead\"><a href=\"" +
      basic(view, "online.php", "") +
      "\" title=\"Currently Active Users\">"
      "Currently Active Users</a></h3>\n\t\t</div>\n\t\t<div class=\"section\">\n\t\t\t<h3 class=\"blocksubhead\">" +
      escapeHtml(model_->title) +
      " Statistics</h3>\n\t\t\t<div>Welcome to our newest member, <a class=\"username\" href=\"" +
      memberUrl(view, model_->members.back()) + "\">" + escapeHtml(model_->members.back().name) +
      "</a></div>\n\t\t</div>\n\t</div>\n</div>\n";
  return htmlPage(page(view, model_->title,
                       "<link rel=\"canonical\" href=\"" + origin(view.request) + "/forum.php\" />\n", "", body));
}

Response VBulletin4Board::forum(const View& view, long id, int current) const {
  std::string sid = std::to_string(id);
  if (const Category* c = model_->category(id)) {
    std::string body =
        "<div id=\"pagetitle\" class=\"pagetitle\">\n\t<h1>Forum: <span class=\"forumtitle\">" + escapeHtml(c->name) +
        "</span></h1>\n</div>\n"
        "<div id=\"forumbits\" class=\"forumbits\">\n\t<div class=\"forumhead\">\n\t\t<h2>\n\t\t\t<span class=\"forumtitle\">Forum</span>\n"
        "\t\t\t<span class=\"forumthreads\">Threads / Posts</span>\n\t\t\t<span class=\"forumlastpost\">Last Post</span>\n\t\t</h2>\n"
        "\t</div>\n\t<ol>\n" +
        forumbits(view, model_->forumsIn(c->id)) + "\t</ol>\n</div>\n" + quickNavigation(view);
    return htmlPage(page(view, c->name, "", "", body));
  }
  const ModelForum* f = model_->forum(id);
  if (f == nullptr) return Response::notFound();
  std::vector<const ModelTopic*> topics = model_->topicsOf(f->id);
  std::string sort = view.request.param("sort");
  std::string order = view.request.param("order");
  if (sort == "title") {
    std::stable_sort(topics.begin(), topics.end(), [&](const ModelTopic* a, const ModelTopic* b) {
      return order == "desc" ? a->title > b->title : a->title < b->title;
    });
  } else if (!sort.empty() && order == "asc") {
    std::reverse(topics.begin(), topics.end());
  }
  int pages = model_->forumPages(f->id);
  if (current >= pages) return Response::notFound();
  std::string sortParams = sort.empty() ? "" : "&amp;sort=" + escapeHtml(sort) + "&amp;order=" + escapeHtml(order);
  auto url = [&](int p) {
    return friendly_ ? forumUrl(view, f->id, p) +
                           (sortParams.empty() ? "" : (view.session.empty() ? "?" + sortParams.substr(5) : sortParams))
                     : basic(view, "forumdisplay.php",
                             "f=" + sid + (p > 0 ? "&amp;page=" + std::to_string(p + 1) : "") + sortParams);
  };
  auto sortLink = [&](const std::string& key, const std::string& direction) {
    std::string params = "sort=" + key + "&amp;order=" + direction;
    return friendly_ ? forumUrl(view, f->id) + (view.session.empty() ? "?" : "&amp;") + params
                     : basic(view, "forumdisplay.php", "f=" + sid + "&amp;" + params);
  };
  std::string what = "Threads of " + std::to_string(topics.size());
  std::string nav = pagenav(view, url, current, pages, what);
  std::string body =
      "<div id=\"above_threadlist\" class=\"above_threadlist\">\n\t<a href=\"" +
      basic(view, "newthread.php", "do=newthread&amp;f=" + sid) +
      "\" class=\"newcontent_textcontrol\" id=\"newthreadlink_top\"><span>+</span> Post New Thread</a>\n"
      "\t<div class=\"threadpagenav\">\n\t\t" +
      nav + "\n\t\t<div id=\"threadpagestats\" class=\"threadpagestats\">Threads " +
      std::to_string(current * model_->topicsPerPage + 1) + " to " +
      std::to_string(std::min<int>(static_cast<int>(topics.size()), (current + 1) * model_->topicsPerPage)) + " of " +
      std::to_string(topics.size()) +
      "</div>\n\t</div>\n</div>\n"
      "<div id=\"pagetitle\" class=\"pagetitle\">\n\t<h1>Forum: <span class=\"forumtitle\">" +
      escapeHtml(f->name) +
      "</span></h1>\n"
      "\t<p class=\"description\">" +
      escapeHtml(f->description) +
      "</p>\n</div>\n"
      "<div id=\"forum_info_options\" class=\"forum_info block\">\n\t<div class=\"collapse\">\n\t\t<h4 class=\"forumoptiontitle blockhead\">"
      "Forum Tools</h4>\n\t\t<ul class=\"forumoptions\">\n\t\t\t<li><a href=\"" +
      basic(view, "forumdisplay.php", "do=markread&amp;f=" + sid + "&amp;markreadhash=guest") +
      "\" rel=\"nofollow\">Mark This Forum Read</a></li>\n\t\t\t<li><a href=\"" +
      (f->parent != 0 ? forumUrl(view, f->parent) : forumUrl(view, f->category)) +
      "\" rel=\"nofollow\">View Parent Forum</a></li>\n"
      "\t\t</ul>\n\t</div>\n</div>\n";
  std::vector<const ModelForum*> subs = model_->subForums(f->id);
  if (!subs.empty()) {
    body +=
        "<div id=\"forumbits\" class=\"forumbits\">\n\t<div class=\"forumhead\">\n\t\t<h2>\n\t\t\t<span class=\"forumtitle\">Sub-Forums</span>\n"
        "\t\t\t<span class=\"forumlastpost\">Last Post</span>\n\t\t</h2>\n\t</div>\n\t<ol>\n" +
        forumbits(view, subs) + "\t</ol>\n</div>\n";
  }
  body +=
      "<div id=\"threadlist\" class=\"threadlist\">\n\t<form id=\"thread_inlinemod_form\" action=\"inlinemod.php?forumid=" +
      sid +
      "\" method=\"post\">\n"
      "\t<h2 class=\"hidden\">Threads in This Forum</h2>\n\t<div>\n\t\t<div class=\"threadlisthead table\">\n\t\t\t<div>\n"
      "\t\t\t<span class=\"threadinfo\">\n\t\t\t\t<span class=\"threadtitle\">\n\t\t\t\t\t<a href=\"" +
      sortLink("title", "asc") + "\" rel=\"nofollow\">Title</a> /\n\t\t\t\t\t<a href=\"" +
      sortLink("postusername", "asc") +
      "\" rel=\"nofollow\">Thread Starter</a>\n"
      "\t\t\t\t</span>\n\t\t\t</span>\n\t\t\t<span class=\"threadstats td\"><a href=\"" +
      sortLink("replycount", "desc") + "\" rel=\"nofollow\">Replies</a> / <a href=\"" + sortLink("views", "desc") +
      "\" rel=\"nofollow\">Views</a></span>\n"
      "\t\t\t<span class=\"threadlastpost td\"><a href=\"" +
      sortLink("lastpost", "asc") +
      "\" rel=\"nofollow\">Last Post By<img class=\"sortarrow\" "
      "src=\"images/buttons/sortarrow-asc.png\" alt=\"Reverse Sort Order\" border=\"0\" /></a></span>\n\t\t\t</div>\n\t\t</div>\n"
      "\t\t<ol id=\"threads\" class=\"threads\">\n";
  for (int i = current * model_->topicsPerPage;
       i < static_cast<int>(topics.size()) && i < (current + 1) * model_->topicsPerPage; ++i) {
    const ModelTopic& t = *topics[static_cast<std::size_t>(i)];
    std::string tid = std::to_string(t.id);
    int topicPages = model_->topicPages(t);
    std::string miniPages;
    for (int p = 0; p < topicPages && topicPages > 1; ++p)
      miniPages += "<span><a href=\"" + threadUrl(view, t, p) + "\">" + std::to_string(p + 1) + "</a></span> ";
    std::string lastId = std::to_string(t.posts.back().id);
    body +=
        "\t\t\t<li class=\"threadbit hot\" id=\"thread_" + tid +
        "\">\n\t<div class=\"rating0 nonsticky\">\n\t\t<div class=\"threadinfo\" title=\"\">\n"
        "\t\t\t<div class=\"inner\">\n\t\t\t\t<h3 class=\"threadtitle\">\n\t\t\t\t\t<a class=\"title\" href=\"" +
        threadUrl(view, t) + "\" id=\"thread_title_" + tid + "\">" + escapeHtml(t.title) +
        "</a>\n\t\t\t\t</h3>\n\t\t\t\t<div class=\"threadmeta\">\n"
        "\t\t\t\t\t<div class=\"author\">\n\t\t\t\t\t\t<span class=\"label\">Started by&nbsp;<a href=\"" +
        memberUrl(view, *t.posts.front().author) + "\" class=\"username understate\" title=\"Started by " +
        escapeHtml(t.posts.front().author->name) + "\">" + escapeHtml(t.posts.front().author->name) + "</a>,&nbsp;" +
        shortDate(t.posts.front().time) + "</span>\n" +
        (miniPages.empty() ? ""
                           : "\t\t\t\t\t\t<dl class=\"pagination\" id=\"pagination_threadbit_" + tid +
                                 "\">\n\t\t\t\t\t\t\t<dt class=\"label\">" + std::to_string(topicPages) +
                                 " Pages <span class=\"separator\">&bull;</span></dt>\n\t\t\t\t\t\t\t<dd>\n"
                                 "\t\t\t\t\t\t\t\t " +
                                 miniPages + "\n\t\t\t\t\t\t\t</dd>\n\t\t\t\t\t\t</dl>\n") +
        "\t\t\t\t\t</div>\n\t\t\t\t</div>\n\t\t\t</div>\n\t\t</div>\n\t</div>\n\t<ul class=\"threadstats td alt\" title=\"\">\n"
        "\t\t<li>Replies: <a href=\"" +
        basic(view, "misc.php", "do=whoposted&amp;t=" + tid) + "\" onclick=\"who(" + tid +
        "); return false;\" class=\"understate\">" + std::to_string(t.posts.size() - 1) +
        "</a></li>\n\t\t<li>Views: " + std::to_string(t.views) +
        "</li>\n\t</ul>\n\t<dl class=\"threadlastpost td\">\n\t\t<dt class=\"lastpostby hidden\">Last Post By:</dt>\n\t\t<dd>" +
        member(view, *t.posts.back().author) + "</dd>\n\t\t<dd>" + vbDate(t.posts.back().time) + "\n\t\t<a href=\"" +
        threadUrl(view, t, 0, "&amp;p=" + lastId) + "#post" + lastId +
        "\" class=\"lastpostdate understate\" title=\"Go to last post\">"
        "<img src=\"images/buttons/lastpost-right.png\" alt=\"Go to last post\" /></a>\n\t\t</dd>\n\t</dl>\n</li>\n";
  }
  body +=
      "\t\t</ol>\n\t</div>\n\t</form>\n</div>\n<div id=\"below_threadlist\" class=\"noinlinemod below_threadlist\">\n\t<div class=\"threadpagenav\">\n\t\t" +
      nav + "\n\t</div>\n</div>\n" + quickNavigation(view);
  std::string head = "<link rel=\"canonical\" href=\"" + origin(view.request) + "/" +
                     (friendly_ ? "forums/" + sid + "-" + vbSlug(f->name) : "forumdisplay.php?f=" + sid) + "\" />\n";
  return htmlPage(page(view, f->name + (current > 0 ? " - Page " + std::to_string(current + 1) : ""), head,
                       crumbsTo(view, f->id, false), body));
}

Response VBulletin4Board::thread(const View& view, const ModelTopic& t, int current) const {
  std::string tid = std::to_string(t.id);
  int pages = model_->topicPages(t);
  std::string mode = view.request.param("mode");
  bool threaded = mode == "threaded" || mode == "hybrid";
  long selected = view.request.number("p", t.posts.front().id);
  PostMarkup markup;
  markup.link = "<a href=\"{href}\" target=\"_blank\">{text}</a>";
  markup.smiley = "<img src=\"{src}\" border=\"0\" alt=\"\" title=\"Smile\" class=\"inlineimg\" />";
  markup.smileySource = "images/smilies/smile.png";
  markup.lineBreak = "<br />\n";
  markup.paragraphSeparator = "<br />\n<br />\n";
  markup.quote =
      "<div class=\"bbcode_container\">\n\t<div class=\"bbcode_quote\">\n\t\t<div class=\"quote_container\">\n"
      "\t\t\t<div class=\"bbcode_quote_container\"></div>\n\t\t\t\n\t\t\t\t<div class=\"bbcode_postedby\">\n"
      "\t\t\t\t\t<img src=\"images/misc/quote_icon.png\" alt=\"Quote\" /> Originally Posted by <strong>{who}</strong>\n"
      "\t\t\t\t\t<a href=\"" +
      basic(view, "showthread.php", "p={post}") +
      "#post{post}\" rel=\"nofollow\"><img class=\"inlineimg\" "
      "src=\"images/buttons/viewpost-right.png\" alt=\"View Post\" /></a>\n\t\t\t\t</div>\n\t\t\t\t<div class=\"message\">{body}</div>\n"
      "\t\t\t\n\t\t</div>\n\t</div>\n</div>";
  markup.code =
      "<div class=\"bbcode_container\">\n\t<div class=\"bbcode_description\">Code:</div>\n\t<pre class=\"bbcode_code\" style=\"height:60px;\">{code}</pre>\n</div>";
  markup.itemOpen = "<li style=\"\">";
  std::string posts;
  std::size_t first = threaded ? 0 : static_cast<std::size_t>(current * model_->postsPerPage);
  std::size_t end =
      threaded ? t.posts.size() : std::min(t.posts.size(), first + static_cast<std::size_t>(model_->postsPerPage));
  for (std::size_t i = first; i < end; ++i) {
    const Post& p = t.posts[i];
    if (threaded && p.id != selected) continue;
    std::string id = std::to_string(p.id);
    int memberPosts = model_->postsBy(*p.author);
    posts +=
        "\t\t<li class=\"postbitlegacy postbitim postcontainer old\" id=\"post_" + id +
        "\">\n\t<div class=\"posthead\">\n"
        "\t\t\t<span class=\"postdate old\">\n\t\t\t\t<span class=\"date\">" +
        vbDate(p.time) +
        "</span>\n\t\t\t</span>\n"
        "\t\t\t<span class=\"nodecontrols\">\n\t\t\t\t<a name=\"post" +
        id + "\" href=\"" + threadUrl(view, t, 0, "&amp;p=" + id) + "#post" + id + "\" class=\"postcounter\">#" +
        std::to_string(i + 1) + "</a><a id=\"postcount" + id + "\" name=\"" + std::to_string(i + 1) +
        "\"></a>\n"
        "\t\t\t</span>\n\t</div>\n\t<div class=\"postdetails\">\n\t\t<div class=\"userinfo\">\n\t\t\t<div class=\"username_container\">\n\t\t\t" +
        member(view, *p.author) +
        "\n\t\t\t\t<img class=\"inlineimg onlinestatus\" src=\"images/statusicon/user-offline.png\" alt=\"" +
        escapeHtml(p.author->name) +
        " is offline\" border=\"0\" />\n\t\t\t</div>\n\t\t\t<span class=\"usertitle\">\n\t\t\t\tMember\n\t\t\t</span>\n"
        "\t\t\t<hr />\n\t\t\t<dl class=\"userinfo_extra\">\n\t\t\t\t<dt>Join Date</dt> <dd>Jan 2024</dd>\n\t\t\t\t<dt>Posts</dt> <dd>" +
        std::to_string(memberPosts) +
        "</dd>\n\t\t\t</dl>\n\t\t</div>\n\t\t<div class=\"postbody\">\n\t\t\t<div class=\"postrow\">\n"
        "\t\t\t\t<h2 class=\"title icon\">\n\t\t\t\t\t" +
        (i == 0 ? "" : "Re: ") + escapeHtml(t.title) +
        "\n\t\t\t\t</h2>\n"
        "\t\t\t\t<div class=\"content\">\n\t\t\t\t\t<div id=\"post_message_" +
        id +
        "\">\n\t\t\t\t\t\t<blockquote class=\"postcontent restore \">\n"
        "\t\t\t\t\t\t\t" +
        renderMessage(p, markup, t.id) +
        "\n\t\t\t\t\t\t</blockquote>\n\t\t\t\t\t</div>\n\t\t\t\t</div>\n\t\t\t</div>\n"
        "\t\t\t<div class=\"cleardiv\"></div>\n\t\t</div>\n\t</div>\n\t<div class=\"postfoot\">\n\t\t<div class=\"textcontrols floatcontainer\">\n"
        "\t\t\t<span class=\"postcontrols\">\n\t\t\t\t<img style=\"display:none\" id=\"progress_" +
        id +
        "\" src=\"images/misc/progress.gif\" alt=\"\" />\n"
        "\t\t\t</span>\n\t\t\t<span class=\"postlinking\">\n\t\t\t\t<a href=\"" +
        basic(view, "report.php", "p=" + id) +
        "\" rel=\"nofollow\" "
        "title=\"Report Post\" class=\"report\"><img src=\"images/buttons/report-40b.png\" alt=\"Report Post\" /></a>\n\t\t\t</span>\n"
        "\t\t</div>\n\t</div>\n\t<hr />\n</li>\n";
  }
  if (threaded) {
    posts +=
        "<div id=\"threaded_view\" class=\"block\">\n\t<h4 class=\"blockhead\">Thread</h4>\n\t<div class=\"blockbody\">\n";
    for (const Post& p : t.posts) {
      posts += "\t\t<div class=\"x1\"><a href=\"" +
               threadUrl(view, t, 0, "&amp;p=" + std::to_string(p.id) + "&amp;mode=" + mode) + "#post" +
               std::to_string(p.id) + "\">" + escapeHtml(t.title) + "</a> <span class=\"shade\">" +
               escapeHtml(p.author->name) + "</span></div>\n";
    }
    posts += "\t</div>\n</div>\n";
  }
  std::string nav = threaded ? ""
                             : pagenav(
                                   view, [&](int p) { return threadUrl(view, t, p); }, current, pages,
                                   "Results of " + std::to_string(t.posts.size()));
  std::string body =
      "<div id=\"pagetitle\" class=\"pagetitle\">\n\t<h1>\n\t\tThread: <span class=\"threadtitle\"><a href=\"" +
      threadUrl(view, t) + "\" title=\"Reload this Page\">" + escapeHtml(t.title) +
      "</a></span>\n\t</h1>\n</div>\n"
      "<div id=\"thread_controls\" class=\"thread_info_block\">\n\t<div id=\"above_postlist\" class=\"above_postlist\">\n"
      "\t\t<a href=\"" +
      basic(view, "newreply.php", "p=" + std::to_string(t.posts.back().id) + "&amp;noquote=1") +
      "\" class=\"newcontent_textcontrol\" id=\"newreplylink_top\"><span>+</span> Reply to Thread</a>\n"
      "\t\t<div id=\"pagination_top\" class=\"pagination_top\">\n\t\t" +
      nav +
      "\n\t\t\t<div id=\"postpagestats_above\" class=\"postpagestats\">\n"
      "\t\t\t\tResults 1 to " +
      std::to_string(t.posts.size()) +
      "\n\t\t\t</div>\n\t\t</div>\n\t</div>\n"
      "\t<div id=\"pagetitle\" class=\"pagetitle\">\n\t\t<ul id=\"postlist_popups\" class=\"postlist_popups popupgroup\">\n"
      "\t\t\t<li class=\"popupmenu\" id=\"threadtools\">\n\t\t\t\t<h6><a class=\"popupctrl\" href=\"javascript://\">Thread Tools</a></h6>\n"
      "\t\t\t\t<ul class=\"popupbody popuphover\">\n\t\t\t\t\t<li><a href=\"" +
      basic(
          view, "printthread.php",
          "t=" + tid + "&amp;pp=" + std::to_string(model_->postsPerPage) + "&amp;page=" + std::to_string(current + 1)) +
      "\" accesskey=\"3\" rel=\"nofollow\">"
      "Show Printable Version</a></li>\n\t\t\t\t\t<li><a href=\"" +
      basic(view, "sendmessage.php", "do=sendtofriend&amp;t=" + tid) +
      "\" rel=\"nofollow\">Email this Page&hellip;</a></li>\n\t\t\t\t</ul>\n\t\t\t</li>\n"
      "\t\t\t<li class=\"popupmenu\" id=\"displaymodes\">\n\t\t\t\t<h6><a class=\"popupctrl\" href=\"javascript://\">Display</a></h6>\n"
      "\t\t\t\t<ul class=\"popupbody popuphover\">\n\t\t\t\t\t<li><label>" +
      (threaded ? "<a href=\"" + threadUrl(view, t, 0, "&amp;mode=linear") + "\">" : "") +
      "<img src=\"images/buttons/mode_linear.png\" alt=\"Linear Mode\" /> Switch to Linear Mode" +
      (threaded ? "</a>" : "") + "</label></li>\n\t\t\t\t\t<li><a href=\"" + threadUrl(view, t, 0, "&amp;mode=hybrid") +
      "\"> <img src=\"images/buttons/mode_hybrid.png\" "
      "alt=\"Hybrid Mode\" /> Switch to Hybrid Mode</a></li>\n\t\t\t\t\t<li><a href=\"" +
      threadUrl(view, t, 0,
                "&amp;p=" + std::to_string(t.posts.front().id) + "&amp;mode=threaded#post" +
                    std::to_string(t.posts.front().id)) +
      "\"> <img src=\"images/buttons/mode_threaded.png\" alt=\"Threaded Mode\" /> Switch to Threaded Mode</a></li>\n"
      "\t\t\t\t</ul>\n\t\t\t</li>\n\t\t</ul>\n\t</div>\n</div>\n<div id=\"postlist\" class=\"postlist restrain\">\n"
      "\t<ol id=\"posts\" class=\"posts\" start=\"1\">\n" +
      posts +
      "\t</ol>\n\t<div class=\"separator\"></div>\n"
      "\t<div class=\"postlistfoot\">\n\t</div>\n</div>\n<div id=\"below_postlist\" class=\"noinlinemod below_postlist\">\n"
      "\t<div id=\"pagination_bottom\" class=\"pagination_bottom\">\n\t" +
      nav +
      "\n\t</div>\n</div>\n"
      "<div class=\"navlinks\">\n\t\t<strong>&laquo;</strong>\n\t\t<a href=\"" +
      threadUrl(view, t, 0, "&amp;goto=nextoldest") + "\" rel=\"nofollow\">Previous Thread</a>\n\t\t|\n\t\t<a href=\"" +
      threadUrl(view, t, 0, "&amp;goto=nextnewest") +
      "\" rel=\"nofollow\">Next Thread</a>\n\t\t<strong>&raquo;</strong>\n</div>\n" + quickNavigation(view);
  std::string head =
      "<link rel=\"canonical\" href=\"" + origin(view.request) + "/" +
      (friendly_ ? "threads/" + tid + "-" + vbSlug(t.title) + (current > 0 ? "/page" + std::to_string(current + 1) : "")
                 : "showthread.php?t=" + tid + (current > 0 ? "&amp;page=" + std::to_string(current + 1) : "")) +
      "\" />\n";
  return htmlPage(page(view, t.title + (current > 0 ? " - Page " + std::to_string(current + 1) : ""), head,
                       crumbsTo(view, t.forum, true) + "\t\t<li class=\"navbit lastnavbit\"><span>" +
                           escapeHtml(t.title) + "</span></li>\n",
                       body));
}

Response VBulletin4Board::serve(const Request& request) {
  const std::string& path = request.path;
  if (path.starts_with("/images/")) return pictureResponse();
  bool hasCookie = request.cookies.count("bb_sessionhash") != 0;
  std::string session = hasCookie ? "" : "s=" + sessionId(request, "s", ++visits_);
  View view{request, session};
  // The friendly addresses: /forums/2-Name[/pageN], /threads/1-Title[/pageN], /members/2-Name.
  auto friendlyId = [&](const std::string& prefix, int& pageNumber) -> long {
    std::string rest = path.substr(prefix.size());
    std::size_t slash = rest.find('/');
    pageNumber = 0;
    if (slash != std::string::npos) {
      std::string tail = rest.substr(slash + 1);
      if (!tail.starts_with("page") || tail.size() < 5 || tail.find_first_not_of("0123456789", 4) != std::string::npos)
        return 0;
      pageNumber = std::stoi(tail.substr(4)) - 1;
    }
    return std::atol(rest.c_str());
  };
  Response response;
  int pageNumber = 0;
  if (path == "/" || path == "/forum.php" || path == "/index.php") {
    response = home(view);
  } else if (path == "/forumdisplay.php" && request.param("do").empty()) {
    response = forum(view, request.number("f"), static_cast<int>(request.number("page", 1)) - 1);
  } else if (friendly_ && path.starts_with("/forums/")) {
    long id = friendlyId("/forums/", pageNumber);
    response = forum(view, id, pageNumber);
  } else if (path == "/showthread.php" || (friendly_ && path.starts_with("/threads/"))) {
    const ModelTopic* t = path == "/showthread.php" ? model_->topic(request.number("t"))
                                                    : model_->topic(friendlyId("/threads/", pageNumber));
    if (path == "/showthread.php") pageNumber = static_cast<int>(request.number("page", 1)) - 1;
    if (request.query.count("p") != 0 && request.param("mode").empty()) {
      auto [holder, post] = model_->post(request.number("p"));
      if (holder == nullptr || (t != nullptr && t != holder)) return Response::notFound();
      t = holder;
      pageNumber = model_->pageOfPost(static_cast<std::size_t>(post - t->posts.data()));
    }
    if (t == nullptr || pageNumber < 0 || pageNumber >= model_->topicPages(*t)) return Response::notFound();
    std::string go = request.param("goto");
    if (go == "newpost" || go == "lastpost") {
      std::string id = std::to_string(t->posts.back().id);
      return Response::redirect(
          plainAddress(origin(request) + "/" + threadUrl(view, *t, 0, "&amp;p=" + id) + "#post" + id));
    }
    if (go == "nextoldest" || go == "nextnewest") {
      std::vector<const ModelTopic*> siblings = model_->topicsOf(t->forum);
      long at = std::find(siblings.begin(), siblings.end(), t) - siblings.begin();
      long next = go == "nextoldest" ? at + 1 : at - 1;
      const ModelTopic* target =
          next >= 0 && next < static_cast<long>(siblings.size()) ? siblings[static_cast<std::size_t>(next)] : t;
      return Response::redirect(plainAddress(origin(request) + "/" + threadUrl(view, *target)));
    }
    response = thread(view, *t, pageNumber);
  } else if (path == "/member.php" || (friendly_ && path.starts_with("/members/")) || path == "/register.php" ||
             path == "/faq.php" || path == "/calendar.php" || path == "/search.php" || path == "/memberlist.php" ||
             path == "/sendmessage.php" || path == "/forumdisplay.php" || path == "/newthread.php" ||
             path == "/newreply.php" || path == "/misc.php" || path == "/printthread.php" || path == "/report.php" ||
             path == "/usercp.php" || path == "/private.php" || path == "/online.php" || path == "/external.php" ||
             path == "/archive/index.php") {
    response = htmlPage(
        page(view, model_->title, "", "",
             "<div class=\"standard_error\">\n\t<h2 class=\"blockhead\">" + escapeHtml(model_->title) +
                 " Message</h2>\n\t<div class=\"blockbody\">\n\t\t<p class=\"blockrow restore\">You are not logged "
                 "in or you do not have permission to access this page.</p>\n\t</div>\n</div>\n"));
  } else {
    return Response::notFound();
  }
  response.headers.emplace_back("Set-Cookie", "bb_lastvisit=1717200000; expires=Sat, 01-Jun-2030 00:00:00 GMT; path=/");
  response.headers.emplace_back("Set-Cookie", "bb_lastactivity=0; expires=Sat, 01-Jun-2030 00:00:00 GMT; path=/");
  if (!hasCookie)
    response.headers.emplace_back("Set-Cookie", "bb_sessionhash=" + session.substr(2) + "; path=/; HttpOnly");
  return response;
}

}  // namespace

Handler makeVBulletin4Board(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<VBulletin4Board>(std::move(model), false);
  return [board](const Request& request) { return board->serve(request); };
}

Handler makeVBulletin4FriendlyBoard(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<VBulletin4Board>(std::move(model), true);
  return [board](const Request& request) { return board->serve(request); };
}

}  // namespace quillstash::demo
