// SPDX-License-Identifier: MIT
// The board as SMF 2.1 shows it to a guest with the default Curve2 theme,
// after Themes/default/index.template.php (html_above, body_above,
// linktree, footer), BoardIndex.template.php (template_main and the
// template_bi_board_* parts), MessageIndex.template.php,
// Display.template.php, the page index of Sources/Subs.php
// (constructPageIndex) and its BBC output. Addresses carry the start offset
// after a dot: index.php?board=2.5, index.php?topic=1.4, topic=1.msg3#msg3,
// with ";" between parameters. A guest whose client sends no cookies gets
// PHPSESSID= on every link of index.php. Attachments download from
// index.php?action=dlattach;topic=T.0;attach=N.
#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "engine_board.h"

namespace quillstash::demo {
namespace {

std::string smfDate(long long time) {
  std::string iso = isoTime(time);
  static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
  int hour = std::stoi(iso.substr(11, 2));
  char text[64];
  std::snprintf(text, sizeof text, "%s %s, %s, %02d:%s:%s %s", kMonths[std::stoi(iso.substr(5, 2)) - 1],
                iso.substr(8, 2).c_str(), iso.substr(0, 4).c_str(), hour % 12 == 0 ? 12 : hour % 12,
                iso.substr(14, 2).c_str(), iso.substr(17, 2).c_str(), hour < 12 ? "AM" : "PM");
  return text;
}

class Smf21Board {
 public:
  explicit Smf21Board(std::shared_ptr<const BoardModel> model) : model_(std::move(model)) {}
  Response serve(const Request& request);

 private:
  struct View {
    const Request& request;
    std::string script;  // "http://127.0.0.1:PORT/index.php"
  };
  std::string profile(const View& view, const Member& m) const {
    return "<a href=\"" + view.script + "?action=profile;u=" + std::to_string(m.id) +
           "\" title=\"View the profile of " + escapeHtml(m.name) + "\">" + escapeHtml(m.name) + "</a>";
  }
  std::string page(const View& view, const std::string& title, const std::string& head,
                   const std::vector<std::pair<std::string, std::string>>& tree, const std::string& body) const;
  std::string pageIndex(const std::string& base, int current, int pages, int perPage) const;
  std::string boardRow(const View& view, const ModelForum& f) const;
  std::string lastPostHref(const View& view, const ModelTopic& t) const;
  std::vector<std::pair<std::string, std::string>> treeTo(const View& view, int boardId) const;
  Response index(const View& view) const;
  Response board(const View& view, const ModelForum& f, const std::string& start) const;
  Response topic(const View& view, const ModelTopic& t, const std::string& start) const;
  std::string attachments(const View& view, const ModelTopic& t, const Post& post) const;

  std::shared_ptr<const BoardModel> model_;
  std::atomic<unsigned long long> visits_{0};
};

std::string Smf21Board::page(const View& view, const std::string& title, const std::string& head,
                             const std::vector<std::pair<std::string, std::string>>& tree,
                             const std::string& body) const {
  const std::string& s = view.script;
  std::string linktree;
  for (std::size_t i = 0; i < tree.size(); ++i) {
    linktree += "\t\t\t\t\t\t<li" + std::string(i + 1 == tree.size() ? " class=\"last\"" : "") + ">" +
                (i > 0 ? "\n\t\t\t\t\t\t\t<span class=\"dividers\"> &#9658; </span>" : "") +
                "\n\t\t\t\t\t\t\t<a href=\"" + tree[i].first + "\"><span>" + escapeHtml(tree[i].second) +
                "</span></a>\n\t\t\t\t\t\t</li>\n";
  }
  std::string navigate = "\t\t\t\t<div class=\"navigate_section\">\n\t\t\t\t\t<ul>\n" + linktree +
                         "\t\t\t\t\t</ul>\n\t\t\t\t</div><!-- .navigate_section -->\n";
  return "<!DOCTYPE html>\n<html lang=\"en-US\">\n<head>\n\t<meta charset=\"UTF-8\">\n"
         "\t<link rel=\"stylesheet\" href=\"" +
         origin(view.request) +
         "/Themes/default/css/index.css?smf214_1717200000\">\n"
         "\t<script>\n\t\tvar smf_theme_url = \"" +
         origin(view.request) + "/Themes/default\";\n\t\tvar smf_default_theme_url = \"" + origin(view.request) +
         "/Themes/default\";\n\t\tvar smf_images_url = \"" + origin(view.request) +
         "/Themes/default/images\";\n"
         "\t\tvar smf_scripturl = \"" +
         s +
         "\";\n\t\tvar smf_session_id = \"3b5c7d9e1f2a4b6c8d0e2f4a6b8c0d2e\";\n\t</script>\n"
         "\t<title>" +
         escapeHtml(title) + "</title>\n\t<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n" +
         head + "\t<link rel=\"help\" href=\"" + s + "?action=help\">\n\t<link rel=\"contents\" href=\"" + s +
         "\">\n"
         "\t<link rel=\"search\" href=\"" +
         s +
         "?action=search\">\n"
         "\t<link rel=\"alternate\" type=\"application/rss+xml\" title=\"" +
         escapeHtml(model_->title) + " - RSS\" href=\"" + s +
         "?action=.xml;type=rss2\">\n</head>\n<body id=\"chrome\" class=\"action_home\">\n<div id=\"footerfix\">\n"
         "\t<div id=\"top_section\">\n\t\t<div class=\"inner_wrap\">\n\t\t\t<ul class=\"floatleft\" id=\"top_info\">\n"
         "\t\t\t\t<li class=\"welcome\">\n\t\t\t\t\tWelcome to <strong>" +
         escapeHtml(model_->title) +
         "</strong>.\n\t\t\t\t</li>\n"
         "\t\t\t\t<li class=\"button_login\">\n\t\t\t\t\t<a href=\"" +
         s +
         "?action=login\" class=\"open\" onclick=\"return reqOverlayDiv(this.href, "
         "'Log in', 'login');\">\n\t\t\t\t\t\t<span class=\"main_icons login\"></span>\n\t\t\t\t\t\t<span class=\"textmenu\">Log in</span>\n"
         "\t\t\t\t\t</a>\n\t\t\t\t</li>\n\t\t\t\t<li class=\"button_signup\">\n\t\t\t\t\t<a href=\"" +
         s +
         "?action=signup\" class=\"open\">\n"
         "\t\t\t\t\t\t<span class=\"main_icons regcenter\"></span>\n\t\t\t\t\t\t<span class=\"textmenu\">Sign up</span>\n\t\t\t\t\t</a>\n"
         "\t\t\t\t</li>\n\t\t\t</ul>\n\t\t\t<form id=\"search_form\" class=\"floatright\" action=\"" +
         s +
         "?action=search2\" method=\"post\" "
         "accept-charset=\"UTF-8\">\n\t\t\t\t<input type=\"search\" name=\"search\" value=\"\">&nbsp;\n"
         "\t\t\t\t<button class=\"button\"><span class=\"main_icons search\"></span></button>\n\t\t\t</form>\n\t\t</div><!-- .inner_wrap -->\n"
         "\t</div><!-- #top_section -->\n\t<div id=\"header\">\n\t\t<h1 class=\"forumtitle\">\n\t\t\t<a id=\"top\" href=\"" +
         s + "\">" + escapeHtml(model_->title) + "</a>\n\t\t</h1>\n\t\t<img id=\"smflogo\" src=\"" +
         origin(view.request) +
         "/Themes/default/images/smflogo.svg\" alt=\"Simple Machines Forum\" title=\"Simple Machines Forum\">\n\t</div>\n"
         "\t<div id=\"wrapper\">\n\t\t<div id=\"upper_section\">\n\t\t\t<div id=\"inner_section\">\n\t\t\t\t<div id=\"inner_wrap\" class=\"hide_720\">\n"
         "\t\t\t\t\t<div class=\"user\">\n\t\t\t\t\t\t" +
         smfDate(1717200000) +
         "\n\t\t\t\t\t</div>\n\t\t\t\t</div>\n"
         "\t\t\t\t<a class=\"mobile_user_menu\">\n\t\t\t\t\t<span class=\"menu_icon\"></span>\n\t\t\t\t\t<span class=\"text_menu\">Main Menu</span>\n"
         "\t\t\t\t</a>\n\t\t\t\t<div id=\"main_menu\">\n\t\t\t\t\t<div id=\"mobile_user_menu\" class=\"popup_container\">\n"
         "\t\t\t\t\t\t<div class=\"popup_window description\">\n\t\t\t\t\t<ul class=\"dropmenu menu_nav\">\n"
         "\t\t\t\t\t\t<li class=\"button_home\">\n\t\t\t\t\t\t\t<a class=\"active\" href=\"" +
         s +
         "\">\n"
         "\t\t\t\t\t\t\t\t<span class=\"main_icons home\"></span><span class=\"textmenu\">Home</span>\n\t\t\t\t\t\t\t</a>\n\t\t\t\t\t\t</li>\n"
         "\t\t\t\t\t\t<li class=\"button_help\">\n\t\t\t\t\t\t\t<a href=\"" +
         s +
         "?action=help\">\n"
         "\t\t\t\t\t\t\t\t<span class=\"main_icons help\"></span><span class=\"textmenu\">Help</span>\n\t\t\t\t\t\t\t</a>\n\t\t\t\t\t\t</li>\n"
         "\t\t\t\t\t\t<li class=\"button_search\">\n\t\t\t\t\t\t\t<a href=\"" +
         s +
         "?action=search\">\n"
         "\t\t\t\t\t\t\t\t<span class=\"main_icons search\"></span><span class=\"textmenu\">Search</span>\n\t\t\t\t\t\t\t</a>\n\t\t\t\t\t\t</li>\n"
         "\t\t\t\t\t\t<li class=\"button_login\">\n\t\t\t\t\t\t\t<a href=\"" +
         s +
         "?action=login\">\n"
         "\t\t\t\t\t\t\t\t<span class=\"main_icons login\"></span><span class=\"textmenu\">Log in</span>\n\t\t\t\t\t\t\t</a>\n\t\t\t\t\t\t</li>\n"
         "\t\t\t\t\t\t<li class=\"button_signup\">\n\t\t\t\t\t\t\t<a href=\"" +
         s +
         "?action=signup\">\n"
         "\t\t\t\t\t\t\t\t<span class=\"main_icons signup\"></span><span class=\"textmenu\">Sign up</span>\n\t\t\t\t\t\t\t</a>\n\t\t\t\t\t\t</li>\n"
         "\t\t\t\t\t</ul><!-- .menu_nav -->\n\t\t\t\t\t\t</div>\n\t\t\t\t\t</div>\n\t\t\t\t</div>\n" +
         navigate +
         "\t\t\t</div><!-- #inner_section -->\n\t\t</div><!-- #upper_section -->\n\t\t<div id=\"content_section\">\n"
         "\t\t\t<div id=\"main_content_section\">" +
         body +
         "\n\t\t\t</div><!-- #main_content_section -->\n\t\t</div><!-- #content_section -->\n"
         "\t</div><!-- #wrapper -->\n</div><!-- #footerfix -->\n\t<div id=\"footer\">\n\t\t<div class=\"inner_wrap\">\n\t\t<ul>\n"
         "\t\t\t<li class=\"floatright\"><a href=\"" +
         s + "?action=help\">Help</a> | <a href=\"" + s +
         "?action=agreement\">Terms and Rules</a> | "
         "<a href=\"#top_section\">Go Up &#9650;</a></li>\n\t\t\t<li class=\"copyright\"><a href=\"" +
         s +
         "?action=credits\" title=\"License\" "
         "target=\"_blank\" rel=\"noopener\">SMF 2.1.4 &copy; 2023</a>, <a href=\"https://www.simplemachines.org\" title=\"Simple Machines\" "
         "target=\"_blank\" rel=\"noopener\">Simple Machines</a></li>\n\t\t</ul>\n\t\t</div>\n\t</div><!-- #footer -->\n</body>\n</html>\n";
}

std::string Smf21Board::pageIndex(const std::string& base, int current, int pages, int perPage) const {
  // A negative `current` gives the bare page links of a topic row.
  std::string out = "<span class=\"pages\">Pages</span>";
  if (current > 0)
    out += "<a class=\"nav_page\" href=\"" + base + std::to_string((current - 1) * perPage) +
           "\"><span class=\"main_icons previous_page\"></span></a> ";
  for (int p = 0; p < pages; ++p) {
    out += p == current ? "<span class=\"current_page\">" + std::to_string(p + 1) + "</span> "
                        : "<a class=\"nav_page\" href=\"" + base + std::to_string(p * perPage) + "\">" +
                              std::to_string(p + 1) + "</a> ";
  }
  if (current >= 0 && current + 1 < pages) {
    out += "<a class=\"nav_page\" href=\"" + base + std::to_string((current + 1) * perPage) +
           "\"><span class=\"main_icons next_page\"></span></a> ";
  }
  return out;
}

std::string Smf21Board::lastPostHref(const View& view, const ModelTopic& t) const {
  int lastPage = model_->topicPages(t) - 1;
  return view.script + "?topic=" + std::to_string(t.id) + "." + std::to_string(lastPage * model_->postsPerPage) +
         "#msg" + std::to_string(t.posts.back().id);
}

std::string Smf21Board::boardRow(const View& view, const ModelForum& f) const {
  std::string id = std::to_string(f.id);
  std::string children;
  for (const ModelForum* sub : model_->subForums(f.id)) {
    children += "<span><a href=\"" + view.script + "?board=" + std::to_string(sub->id) +
                ".0\" title=\"No New Posts (Topics: " + std::to_string(model_->topicCount(sub->id)) +
                ", Posts: " + std::to_string(model_->postCount(sub->id)) + ")\">" + escapeHtml(sub->name) +
                "</a></span>";
  }
  const Post* last = model_->lastPost(f.id);
  const ModelTopic* lastTopic = model_->post(last->id).first;
  return "\n\t\t\t\t<div id=\"board_" + id +
         "\" class=\"up_contain \">\n\t\t\t\t\t<div class=\"board_icon\">\n\t\t\t\t\t\t\n"
         "\t\t<a href=\"" +
         view.script + "?board=" + id +
         ".0\" class=\"board_off\" title=\"No New Posts\"></a>\n\t\t\t\t\t</div>\n"
         "\t\t\t\t\t<div class=\"info\">\n\t\t\t\t\t\t\n\t\t<a class=\"subject mobile_subject\" href=\"" +
         view.script + "?board=" + id + ".0\" id=\"b" + id + "\">\n\t\t\t" + escapeHtml(f.name) +
         "\n\t\t</a>\n\t\t<div class=\"board_description\">" + escapeHtml(f.description) +
         "</div>\n\t\t\t\t\t</div><!-- .info -->\n\t\t\t\t\t<div class=\"board_stats\">\n\t\t\t\t\t\t\n\t\t<p>\n\t\t\tPosts: " +
         std::to_string(model_->postCount(f.id)) + "<br>Topics: " + std::to_string(model_->topicCount(f.id)) +
         "\n\t\t</p>\n\t\t\t\t\t</div>\n"
         "\t\t\t\t\t<div class=\"lastpost\">\n\t\t\t\t\t\t\n\t\t\t<p><strong>Last post</strong>  by " +
         profile(view, *last->author) + "<br>in <a href=\"" + lastPostHref(view, *lastTopic) +
         "\" title=\"Re: " + escapeHtml(lastTopic->title) + "\">Re: " + escapeHtml(lastTopic->title) + "</a><br>on " +
         smfDate(last->time) + "</p>\n\t\t\t\t\t</div>" +
         (children.empty() ? ""
                           : "\n\t\t\t<div id=\"board_" + id +
                                 "_children\" class=\"children\">\n\t\t\t\t<p><strong id=\"child_list_" + id +
                                 "\">Child Boards</strong>" + children + "</p>\n\t\t\t</div>") +
         "\n\t\t\t\t</div><!-- #board_[id] -->";
}

std::vector<std::pair<std::string, std::string>> Smf21Board::treeTo(const View& view, int boardId) const {
  std::vector<std::pair<std::string, std::string>> tree;
  for (const ModelForum* f = model_->forum(boardId); f != nullptr; f = model_->forum(f->parent)) {
    tree.emplace(tree.begin(), view.script + "?board=" + std::to_string(f->id) + ".0", f->name);
    if (f->parent == 0)
      tree.emplace(tree.begin(), view.script + "#c" + std::to_string(f->category), model_->category(f->category)->name);
  }
  tree.emplace(tree.begin(), view.script, model_->title);
  return tree;
}

Response Smf21Board::index(const View& view) const {
  std::string body = "\n\t<div id=\"boardindex_table\" class=\"boardindex_table\">";
  for (const Category& c : model_->categories) {
    std::string id = std::to_string(c.id);
    body += "\n\t\t<div class=\"main_container\">\n\t\t\t<div class=\"cat_bar \" id=\"category_" + id +
            "\">\n\t\t\t\t<h3 class=\"catbg\">\n"
            "\t\t\t\t\t<a id=\"c" +
            id + "\"></a>" + escapeHtml(c.name) + "\n\t\t\t\t</h3>\n\t\t\t</div>\n\t\t\t<div id=\"category_" + id +
            "_boards\" >";
    for (const ModelForum* f : model_->forumsIn(c.id)) body += boardRow(view, *f);
    body += "\n\t\t\t</div><!-- #category_[id]_boards -->\n\t\t</div><!-- .main_container -->";
  }
  body +=
      "\n\t</div><!-- #boardindex_table -->\n\t<div class=\"roundframe\" id=\"info_center\">\n\t\t<div class=\"title_bar\">\n"
      "\t\t\t<h3 class=\"titlebg\">\n\t\t\t\t<span class=\"toggle_up floatright\" id=\"upshrink_ic\" title=\"Shrink or expand the info center.\"></span>\n"
      "\t\t\t\t<a href=\"#\" id=\"upshrink_link\">" +
      escapeHtml(model_->title) +
      " - Info Center</a>\n\t\t\t</h3>\n\t\t</div>\n"
      "\t\t<div id=\"upshrink_stats\">\n\t\t\t<div class=\"sub_bar\">\n\t\t\t\t<h4 class=\"subbg\">\n\t\t\t\t\t<a href=\"" +
      view.script +
      "?action=recent\"><span class=\"main_icons recent_posts\"></span> Recent Posts</a>\n\t\t\t\t</h4>\n\t\t\t</div>\n"
      "\t\t\t<div class=\"sub_bar\">\n\t\t\t\t<h4 class=\"subbg\">\n\t\t\t\t\t<a href=\"" +
      view.script +
      "?action=stats\" title=\"More detailed statistics\"><span class=\"main_icons stats\"></span> Forum Stats</a>\n\t\t\t\t</h4>\n\t\t\t</div>\n"
      "\t\t\t<p class=\"inline\">\n\t\t\t\tLatest Member: <strong> " +
      profile(view, model_->members.back()) +
      "</strong>\n\t\t\t</p>\n"
      "\t\t</div>\n\t</div>";
  return htmlPage(page(view, model_->title + " - Index",
                       "\t<link rel=\"canonical\" href=\"" + origin(view.request) + "/index.php\">\n",
                       {{view.script, model_->title}}, body));
}

Response Smf21Board::board(const View& view, const ModelForum& f, const std::string& start) const {
  std::string id = std::to_string(f.id);
  std::vector<const ModelTopic*> topics = model_->topicsOf(f.id);
  std::string sort = semicolonParam(view.request, "sort");
  bool descending = view.request.target.find(";desc") != std::string::npos;
  if (sort == "subject") {
    std::stable_sort(topics.begin(), topics.end(), [&](const ModelTopic* a, const ModelTopic* b) {
      return descending ? a->title > b->title : a->title < b->title;
    });
  } else if (!sort.empty() && !descending) {
    std::reverse(topics.begin(), topics.end());
  }
  int pages = model_->forumPages(f.id);
  int current = std::clamp(std::atoi(start.c_str()) / model_->topicsPerPage, 0, pages - 1);
  std::string sortSuffix = sort.empty() ? "" : ";sort=" + escapeHtml(sort) + (descending ? ";desc" : "");
  std::string base = view.script + "?board=" + id + ".";
  std::string index = pageIndex(base, current, pages, model_->topicsPerPage);
  if (!sortSuffix.empty()) {
    for (std::size_t at = index.find("\">"); at != std::string::npos;
         at = index.find("\">", at + sortSuffix.size() + 2))
      index.insert(at, sortSuffix);
  }
  std::string head = "\t<link rel=\"canonical\" href=\"" + origin(view.request) + "/index.php?board=" + id + "." +
                     std::to_string(current * model_->topicsPerPage) + "\">\n";
  if (current + 1 < pages)
    head += "\t<link rel=\"next\" href=\"" + base + std::to_string((current + 1) * model_->topicsPerPage) + sortSuffix +
            "\">\n";
  if (current > 0)
    head += "\t<link rel=\"prev\" href=\"" + base + std::to_string((current - 1) * model_->topicsPerPage) + sortSuffix +
            "\">\n";
  head += "\t<link rel=\"index\" href=\"" + view.script + "?board=" + id + ".0\">\n";
  std::string body =
      "<div id=\"display_head\" class=\"information\">\n\t\t\t<h2 class=\"display_title\">" + escapeHtml(f.name) +
      "</h2>\n"
      "\t\t\t<p>" +
      escapeHtml(f.description) + "</p>\n\t\t\t<p>0 Members and 1 Guest are viewing this board.</p>\n\t\t</div>";
  std::vector<const ModelForum*> subs = model_->subForums(f.id);
  if (!subs.empty()) {
    body += "\n\t<div id=\"board_" + id +
            "_childboards\" class=\"boardindex_table main_container\">\n\t\t<div class=\"cat_bar\">\n"
            "\t\t\t<h3 class=\"catbg\">Child Boards</h3>\n\t\t</div>";
    for (const ModelForum* sub : subs) body += boardRow(view, *sub);
    body += "\n\t</div><!-- #board_[current_board]_childboards -->";
  }
  std::string pagesection =
      "\n\t<div class=\"pagesection\">\n\t\t\n\t\t<div class=\"pagelinks floatleft\">\n\t\t\t<a href=\"#bot\" class=\"button\">Go Down</a>\n"
      "\t\t\t" +
      index +
      "\n\t\t</div>\n\t\t<div class=\"buttonlist floatright\">\n\t\t\t<a class=\"button button_strip_new_topic\" href=\"" +
      view.script + "?action=post;board=" + id + ".0\">New Topic</a>\n\t\t</div>\n\t</div>";
  auto header = [&](const std::string& key, const std::string& label) {
    bool active = sort == key;
    return "<a href=\"" + view.script + "?board=" + id + "." + std::to_string(current * model_->topicsPerPage) +
           ";sort=" + key + (active && !descending ? ";desc" : "") + "\">" + label +
           (active ? " <span class=\"main_icons sort_" + std::string(descending ? "down" : "up") + "\"></span>" : "") +
           "</a>";
  };
  body +=
      pagesection +
      "\n\t\t<div id=\"messageindex\">\n\t\t\t<div class=\"title_bar\" id=\"topic_header\">\n\t\t\t\t<div class=\"board_icon\"></div>\n"
      "\t\t\t\t<div class=\"info\">" +
      header("subject", "Subject") + " / " + header("starter", "Started by") +
      "</div>\n"
      "\t\t\t\t<div class=\"board_stats centertext\">" +
      header("replies", "Replies") + " / " + header("views", "Views") +
      "</div>\n"
      "\t\t\t\t<div class=\"lastpost\">" +
      header("last_post", "Last post") +
      "</div>\n\t\t\t</div><!-- #topic_header -->\n"
      "\t\t\t<div id=\"topic_container\">";
  for (int i = current * model_->topicsPerPage;
       i < static_cast<int>(topics.size()) && i < (current + 1) * model_->topicsPerPage; ++i) {
    const ModelTopic& t = *topics[static_cast<std::size_t>(i)];
    std::string tid = std::to_string(t.id);
    std::string firstId = std::to_string(t.posts.front().id);
    int topicPages = model_->topicPages(t);
    std::string topicPagesText =
        topicPages > 1 ? pageIndex(view.script + "?topic=" + tid + ".", -1, topicPages, model_->postsPerPage) : "";
    body +=
        "\n\t\t\t\t<div class=\"windowbg\">\n\t\t\t\t\t<div class=\"board_icon\">\n\t\t\t\t\t\t<img src=\"" +
        origin(view.request) +
        "/Themes/default/images/post/xx.png\" alt=\"\">\n\t\t\t\t\t\t\n\t\t\t\t\t</div>\n\t\t\t\t\t<div class=\"info info_block\">\n"
        "\t\t\t\t\t\t<div >\n\t\t\t\t\t\t\t<div class=\"message_index_title\">\n\t\t\t\t\t\t\t\t\n\t\t\t\t\t\t\t\t<span class=\"preview\" title=\"\">\n"
        "\t\t\t\t\t\t\t\t\t<span id=\"msg_" +
        firstId + "\"><a href=\"" + view.script + "?topic=" + tid + ".0\">" + escapeHtml(t.title) +
        "</a></span>\n\t\t\t\t\t\t\t\t</span>\n\t\t\t\t\t\t\t</div>\n\t\t\t\t\t\t\t<p class=\"floatleft\">\n\t\t\t\t\t\t\t\tStarted by " +
        profile(view, *t.posts.front().author) + "\n\t\t\t\t\t\t\t</p>\n\t\t\t\t\t\t\t" +
        (topicPagesText.empty()
             ? ""
             : "<span id=\"pages" + firstId + "\" class=\"topic_pages\">" + topicPagesText + "</span>") +
        "\n\t\t\t\t\t\t</div><!-- #topic_[first_post][id] -->\n\t\t\t\t\t</div><!-- .info -->\n\t\t\t\t\t<div class=\"board_stats centertext\">\n"
        "\t\t\t\t\t\t<p>Replies: " +
        std::to_string(t.posts.size() - 1) + "<br>Views: " + std::to_string(t.views) +
        "</p>\n\t\t\t\t\t</div>\n"
        "\t\t\t\t\t<div class=\"lastpost\">\n\t\t\t\t\t\t<p><a href=\"" +
        lastPostHref(view, t) + "\">" + smfDate(t.posts.back().time) + "</a><br>by " +
        profile(view, *t.posts.back().author) + "</p>\n\t\t\t\t\t</div>\n\t\t\t\t</div><!-- $topic[css_class] -->";
  }
  body +=
      "\n\t\t\t</div><!-- #topic_container -->\n\t\t</div><!-- #messageindex -->" + pagesection +
      "\n\t<div id=\"topic_icons\" class=\"description\">\n\t\t<p class=\"floatright\" id=\"message_index_jump_to\"></p>\n"
      "\t\t<script>\n\t\t\tif (typeof(window.XMLHttpRequest) != \"undefined\")\n\t\t\t\taJumpTo[aJumpTo.length] = new JumpTo({\n"
      "\t\t\t\t\tsContainerId: \"message_index_jump_to\",\n\t\t\t\t\tsJumpToTemplate: \"<label class=\\\"smalltext jump_to\\\" "
      "for=\\\"%select_id%\\\">Jump to<\" + \"/label> %dropdown_list%\",\n\t\t\t\t\tiCurBoardId: " +
      id + ",\n\t\t\t\t\tsCurBoardName: \"" + escapeHtml(f.name) + "\",\n\t\t\t\t});\n\t\t</script>\n\t</div>";
  return htmlPage(page(view, f.name + (current > 0 ? " - Page " + std::to_string(current + 1) : ""), head,
                       treeTo(view, f.id), body));
}

Response Smf21Board::topic(const View& view, const ModelTopic& t, const std::string& start) const {
  std::string tid = std::to_string(t.id);
  int pages = model_->topicPages(t);
  int current = 0;
  if (start.starts_with("msg")) {
    auto [holder, post] = model_->post(std::atol(start.c_str() + 3));
    if (holder != &t) return Response::notFound();
    current = model_->pageOfPost(static_cast<std::size_t>(post - t.posts.data()));
  } else {
    current = std::clamp(std::atoi(start.c_str()) / model_->postsPerPage, 0, pages - 1);
  }
  std::string base = view.script + "?topic=" + tid + ".";
  std::string head = "\t<link rel=\"canonical\" href=\"" + origin(view.request) + "/index.php?topic=" + tid + "." +
                     std::to_string(current * model_->postsPerPage) + "\">\n";
  if (current + 1 < pages)
    head += "\t<link rel=\"next\" href=\"" + base + std::to_string((current + 1) * model_->postsPerPage) + "\">\n";
  if (current > 0)
    head += "\t<link rel=\"prev\" href=\"" + base + std::to_string((current - 1) * model_->postsPerPage) + "\">\n";
  PostMarkup markup;
  markup.link = "<a href=\"{href}\" class=\"bbc_link\" target=\"_blank\" rel=\"noopener\">{text}</a>";
  markup.smiley = "<img src=\"{src}\" alt=\"&#58;&#41;\" title=\"Smiley\" class=\"smiley\">";
  markup.smileySource = origin(view.request) + "/Smileys/fugue/smiley.png";
  markup.lineBreak = "<br>";
  markup.paragraphSeparator = "<br><br>";
  markup.quote = "<blockquote class=\"bbc_standard_quote\"><cite><a href=\"" + view.script + "?topic=" + tid +
                 ".msg{post}#msg{post}\">Quote from: {who} on " + smfDate(t.posts.front().time) +
                 "</a></cite>{body}</blockquote>";
  markup.code =
      "<div class=\"codeheader\"><span class=\"code floatleft\">Code</span> <a class=\"codeoperation smf_select_text\">Select</a> "
      "<a class=\"codeoperation smf_expand_code hidden\" data-shrink-txt=\"Shrink\" data-expand-txt=\"Expand\">Expand</a></div>"
      "<code class=\"bbc_code\">{code}</code>";
  markup.codeLineBreak = "<br>";
  markup.listOpen = "<ul class=\"bbc_list\">";
  std::string index = pageIndex(base, current, pages, model_->postsPerPage);
  std::string buttons =
      "\t\t\t<div class=\"buttonlist floatright\">\n\t\t\t\t<a class=\"button button_strip_print\" href=\"" +
      view.script + "?action=printpage;topic=" + tid + ".0\" rel=\"nofollow\">Print</a>\n\t\t\t</div>\n";
  std::string body =
      "\n\t\t<div id=\"display_head\" class=\"information\">\n\t\t\t<h2 class=\"display_title\">\n\t\t\t\t<span id=\"top_subject\">" +
      escapeHtml(t.title) + "</span>\n\t\t\t</h2>\n\t\t\t<p>Started by " + escapeHtml(t.posts.front().author->name) +
      ", " + smfDate(t.posts.front().time) + "</p>\n\t\t\t<span class=\"nextlinks floatright\"><a href=\"" + base +
      "0;prev_next=prev#new\">&laquo; previous</a> <a href=\"" + base +
      "0;prev_next=next#new\">next &raquo;</a></span>\n"
      "\t\t\t<p>0 Members and 1 Guest are viewing this topic.</p>\n\t\t</div><!-- #display_head -->\n\t\t\n"
      "\t\t<div class=\"pagesection top\">\n" +
      buttons +
      "\t\t\t<div class=\"pagelinks floatleft\">\n"
      "\t\t\t\t<a href=\"#bot\" class=\"button\">Go Down</a>\n\t\t\t\t" +
      index +
      "\n\t\t\t</div>\n\t\t</div>\n"
      "\t\t<div id=\"forumposts\">\n\t\t\t<form action=\"" +
      view.script + "?action=quickmod2;topic=" + tid + "." + std::to_string(current * model_->postsPerPage) +
      "\" method=\"post\" accept-charset=\"UTF-8\" name=\"quickModForm\" "
      "id=\"quickModForm\" onsubmit=\"return oQuickModify.bInEditMode ? oQuickModify.modifySave('3b5c7d9e1f2a4b6c8d0e2f4a6b8c0d2e', "
      "'e3f1a2b4') : false\">";
  for (int i = current * model_->postsPerPage;
       i < static_cast<int>(t.posts.size()) && i < (current + 1) * model_->postsPerPage; ++i) {
    const Post& p = t.posts[static_cast<std::size_t>(i)];
    std::string id = std::to_string(p.id);
    std::string href = base + "msg" + id + "#msg" + id;
    int memberPosts = model_->postsBy(*p.author);
    body +=
        "\n\t\t\t\t<div class=\"windowbg\" id=\"msg" + id +
        "\">\n\t\t\t\t\t\n\t\t\t\t\t<div class=\"post_wrapper\">\n\t\t\t\t\t\t<div class=\"poster\">\n"
        "\t\t\t\t\t\t\t<h4>\n\t\t\t\t\t\t\t\t<span class=\"off\" title=\"Offline\"></span>\n\t\t\t\t\t\t\t\t" +
        profile(view, *p.author) +
        "\n\t\t\t\t\t\t\t</h4>\n\t\t\t\t\t\t\t<ul class=\"user_info\">\n\t\t\t\t\t\t\t\t<li class=\"postgroup\">Newbie</li>\n"
        "\t\t\t\t\t\t\t\t<li class=\"stars\"><img src=\"" +
        origin(view.request) +
        "/Themes/default/images/membericons/icon.png\" alt=\"*\"></li>\n"
        "\t\t\t\t\t\t\t\t<li class=\"postcount\">Posts: " +
        std::to_string(memberPosts) +
        "</li>\n\t\t\t\t\t\t\t</ul>\n"
        "\t\t\t\t\t\t</div><!-- .poster -->\n\t\t\t\t\t\t<div class=\"postarea\">\n\t\t\t\t\t\t\t<div class=\"keyinfo\">\n"
        "\t\t\t\t\t\t\t\t<div id=\"subject_" +
        id + "\" class=\"subject_title subject_hidden\">\n\t\t\t\t\t\t\t\t\t<a href=\"" + href +
        "\" rel=\"nofollow\">" + (i == 0 ? "" : "Re: ") + escapeHtml(t.title) +
        "</a>\n\t\t\t\t\t\t\t\t</div>\n"
        "\t\t\t\t\t\t\t\t<span class=\"page_number floatright\">" +
        (i == 0 ? "" : "#" + std::to_string(i)) +
        "</span>\n"
        "\t\t\t\t\t\t\t\t<div class=\"postinfo\">\n\t\t\t\t\t\t\t\t\t<span class=\"messageicon\"  style=\"position: absolute; z-index: -1;\">\n"
        "\t\t\t\t\t\t\t\t\t\t<img src=\"" +
        origin(view.request) +
        "/Themes/default/images/post/xx.png\" alt=\"\">\n\t\t\t\t\t\t\t\t\t</span>\n"
        "\t\t\t\t\t\t\t\t\t<a href=\"" +
        href + "\" rel=\"nofollow\" title=\"" + (i == 0 ? "" : "Reply #" + std::to_string(i) + " - ") +
        escapeHtml(t.title) + "\" class=\"smalltext\">" + smfDate(p.time) +
        "</a>\n\t\t\t\t\t\t\t\t\t<span class=\"spacer\"></span>\n"
        "\t\t\t\t\t\t\t\t\t<span class=\"smalltext modified floatright\" id=\"modified_" +
        id +
        "\">\n\t\t\t\t\t\t\t\t\t</span>\n"
        "\t\t\t\t\t\t\t\t</div>\n\t\t\t\t\t\t\t\t<div id=\"msg_" +
        id +
        "_quick_mod\"></div>\n\t\t\t\t\t\t\t</div><!-- .keyinfo -->\n"
        "\t\t\t\t\t\t\t<div class=\"post\">\n\t\t\t\t\t\t\t\t<div class=\"inner\" data-msgid=\"" +
        id + "\" id=\"msg_" + id +
        "\">\n"
        "\t\t\t\t\t\t\t\t\t" +
        renderMessage(p, markup, t.id) + "\n\t\t\t\t\t\t\t\t</div>\n\t\t\t\t\t\t\t</div><!-- .post -->\n" +
        attachments(view, t, p) +
        "\t\t\t\t\t\t</div><!-- .postarea -->\n\t\t\t\t\t\t<div class=\"moderatorbar\">\n\t\t\t\t\t\t</div><!-- .moderatorbar -->\n"
        "\t\t\t\t\t</div><!-- .post_wrapper -->\n\t\t\t\t</div><!-- $message[css_class] -->\n\t\t\t\t<hr class=\"post_separator\">";
  }
  body +=
      "\n\t\t\t</form>\n\t\t</div><!-- #forumposts -->\n\t\t<div class=\"pagesection\">\n" + buttons +
      "\t\t\t<div class=\"pagelinks floatleft\">\n\t\t\t\t<a href=\"#main_content_section\" class=\"button\" id=\"bot\">Go Up</a>\n\t\t\t\t" +
      index + "\n\t\t\t</div>\n\t\t</div>";
  return htmlPage(page(
      view, t.title + (current > 0 ? " - Page " + std::to_string(current + 1) : ""), head,
      [&] {
        auto tree = treeTo(view, t.forum);
        tree.emplace_back(base + "0", t.title);
        return tree;
      }(),
      body));
}

// The attachments under a message, as Display.template.php prints them: a
// picture shown above its link, every file linked with its size.
std::string Smf21Board::attachments(const View& view, const ModelTopic& t, const Post& post) const {
  if (post.attachments.empty()) return "";
  std::string id = std::to_string(post.id);
  std::string out = "\t\t\t\t\t\t\t<div id=\"msg_" + id + "_footer\" class=\"attachments smalltext\">\n";
  for (const Attachment& a : post.attachments) {
    std::string number = std::to_string(a.id);
    std::string href = view.script + "?action=dlattach;topic=" + std::to_string(t.id) + ".0;attach=" + number;
    out += "\t\t\t\t\t\t\t\t<div class=\"attached\">\n";
    if (a.isImage()) {
      out += "\t\t\t\t\t\t\t\t\t<div class=\"attachments_top\">\n\t\t\t\t\t\t\t\t\t\t<img src=\"" + href +
             ";image\" alt=\"\" loading=\"lazy\" class=\"atc_img\">\n\t\t\t\t\t\t\t\t\t</div>\n";
    }
    out += "\t\t\t\t\t\t\t\t\t<div class=\"attachments_bot\">\n\t\t\t\t\t\t\t\t\t\t<a href=\"" + href +
           "\"><img src=\"" + origin(view.request) +
           "/Themes/default/images/icons/clip.png\" class=\"centericon\" alt=\"*\">&nbsp;" + escapeHtml(a.name) +
           "</a>\n\t\t\t\t\t\t\t\t\t\t<br>" + std::to_string(a.bytes.size()) + " bytes" +
           (a.isImage() ? ", 1x1<br>Viewed 5 times." : "<br>Downloaded 3 times.") +
           "\n\t\t\t\t\t\t\t\t\t</div>\n\t\t\t\t\t\t\t\t</div>\n";
  }
  return out + "\t\t\t\t\t\t\t</div>\n";
}

Response Smf21Board::serve(const Request& request) {
  if (request.path.starts_with("/Smileys/") || request.path.starts_with("/Themes/")) return pictureResponse();
  if (request.path != "/" && request.path != "/index.php") return Response::notFound();
  View view{request, origin(request) + "/index.php"};
  std::string boardParam = semicolonParam(request, "board");
  std::string topicParam = semicolonParam(request, "topic");
  std::string action = semicolonParam(request, "action");
  if (action == "dlattach") {
    const Attachment* attachment = model_->attachment(std::atol(semicolonParam(request, "attach").c_str()));
    return attachment != nullptr ? attachmentResponse(*attachment) : Response::notFound();
  }
  Response response;
  if (!topicParam.empty()) {
    std::size_t dot = topicParam.find('.');
    const ModelTopic* t = model_->topic(std::atol(topicParam.substr(0, dot).c_str()));
    if (t == nullptr) return Response::notFound();
    std::string start = dot == std::string::npos ? "0" : topicParam.substr(dot + 1);
    std::string prevNext = semicolonParam(request, "prev_next");
    if (action.empty() && !prevNext.empty()) {
      std::vector<const ModelTopic*> siblings = model_->topicsOf(t->forum);
      long at = std::find(siblings.begin(), siblings.end(), t) - siblings.begin();
      long next = prevNext == "prev" ? at + 1 : at - 1;
      const ModelTopic* target =
          next >= 0 && next < static_cast<long>(siblings.size()) ? siblings[static_cast<std::size_t>(next)] : t;
      return Response::redirect(view.script + "?topic=" + std::to_string(target->id) + ".0");
    }
    response = action.empty() ? topic(view, *t, start)
                              : htmlPage(page(view, t->title, "", treeTo(view, t->forum),
                                              "<div class=\"roundframe\">Printing needs JavaScript.</div>"));
  } else if (!boardParam.empty() && action.empty()) {
    std::size_t dot = boardParam.find('.');
    const ModelForum* f = model_->forum(std::atol(boardParam.substr(0, dot).c_str()));
    if (f == nullptr) return Response::notFound();
    response = board(view, *f, dot == std::string::npos ? "0" : boardParam.substr(dot + 1));
  } else if (!action.empty()) {
    response = htmlPage(
        page(view, model_->title, "", {{view.script, model_->title}},
             "<div class=\"errorbox\">\n\t\t<h3>An Error Has Occurred!</h3>\n\t\t<p>Guests are not allowed to do this. "
             "Please log in or sign up.</p>\n\t</div>"));
  } else {
    response = index(view);
  }
  if (request.cookies.empty()) {
    // Links of index.php carry the session when the client keeps no cookie.
    std::string sid = sessionId(request, "PHPSESSID", ++visits_);
    std::string& body = response.body;
    const std::string canonical = "<link rel=\"canonical\" href=";
    auto isCanonical = [&](std::size_t at) {
      return at >= canonical.size() && body.compare(at - canonical.size(), canonical.size(), canonical) == 0;
    };
    std::string plain = "\"" + view.script + "\"";
    std::string query = "\"" + view.script + "?";
    for (std::size_t at = body.find(plain); at != std::string::npos; at = body.find(plain, at + 1)) {
      if (!isCanonical(at)) body.replace(at, plain.size(), "\"" + view.script + "?PHPSESSID=" + sid + "\"");
    }
    for (std::size_t at = body.find(query); at != std::string::npos; at = body.find(query, at + 1)) {
      if (!isCanonical(at) && body.compare(at + query.size(), 10, "PHPSESSID=") != 0)
        body.insert(at + query.size(), "PHPSESSID=" + sid + "&amp;");
    }
  }
  response.headers.emplace_back("Set-Cookie",
                                "PHPSESSID=" + sessionId(request, "PHPSESSID", visits_) + "; path=/; HttpOnly");
  return response;
}

}  // namespace

Handler makeSmf21Board(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<Smf21Board>(std::move(model));
  return [board](const Request& request) { return board->serve(request); };
}

}  // namespace quillstash::demo
