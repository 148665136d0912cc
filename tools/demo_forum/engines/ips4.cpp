// SPDX-License-Identifier: MIT
// The board as Invision Community 4.7 shows it to a guest with the default
// theme and rewritten friendly addresses, after the output of its templates
// core/front/global/globalTemplate, forums/front/index/forumRow,
// forums/front/forums/forumDisplay and topicRow, forums/front/topics/topic
// and post, core/global/global/pagination, and its stored post HTML
// (blockquote.ipsQuote naming the quoted member only in its data- attributes,
// pre.ipsCode, emoticon pictures). Categories are forums of their own;
// permalinks and last-post links (?do=findComment, ?do=getLastComment)
// redirect to the page holding the post.
#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "engine_board.h"

namespace quillstash::demo {
namespace {

class Ips4Board {
 public:
  explicit Ips4Board(std::shared_ptr<const BoardModel> model) : model_(std::move(model)) {}
  Response serve(const Request& request) const;

 private:
  std::string forumUrl(const Request& request, int id, int page = 0) const;
  std::string topicUrl(const Request& request, const ModelTopic& t, int page = 0) const;
  std::string profileUrl(const Request& request, const Member& m) const;
  std::string profile(const Request& request, const Member& m) const;
  std::string time(long long when) const;
  std::string page(const Request& request, const std::string& title, const std::string& head,
                   const std::string& controller, const std::string& crumbs, const std::string& body) const;
  std::string crumbsTo(const Request& request, int forumId) const;
  std::string pagination(const std::function<std::string(int)>& url, int current, int pages, std::string& head) const;
  std::string forumRows(const Request& request, const std::vector<const ModelForum*>& forums) const;
  Response index(const Request& request) const;
  Response forum(const Request& request, long id, int current) const;
  Response topic(const Request& request, const ModelTopic& t, int current) const;

  std::shared_ptr<const BoardModel> model_;
};

std::string ipsSlug(std::string_view text) {
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

std::string Ips4Board::forumUrl(const Request& request, int id, int page) const {
  const ModelForum* f = model_->forum(id);
  std::string name = f != nullptr ? f->name : model_->category(id)->name;
  return origin(request) + "/forum/" + std::to_string(id) + "-" + ipsSlug(name) + "/" +
         (page > 0 ? "page/" + std::to_string(page + 1) + "/" : "");
}

std::string Ips4Board::topicUrl(const Request& request, const ModelTopic& t, int page) const {
  return origin(request) + "/topic/" + std::to_string(t.id) + "-" + t.slug + "/" +
         (page > 0 ? "page/" + std::to_string(page + 1) + "/" : "");
}

std::string Ips4Board::profileUrl(const Request& request, const Member& m) const {
  return origin(request) + "/profile/" + std::to_string(m.id) + "-" + ipsSlug(m.name) + "/";
}

std::string Ips4Board::profile(const Request& request, const Member& m) const {
  return "<a href='" + profileUrl(request, m) + "' data-ipsHover data-ipsHover-target='" + profileUrl(request, m) +
         "?do=hovercard' title=\"Go to " + escapeHtml(m.name) + "'s profile\" class=\"ipsType_break\">" +
         escapeHtml(m.name) + "</a>";
}

std::string Ips4Board::time(long long when) const {
  return "<time datetime='" + isoTime(when).substr(0, 19) + "Z' title='" + shortDate(when) + "' data-short='1 yr'>" +
         shortDate(when) + "</time>";
}

std::string Ips4Board::page(const Request& request, const std::string& title, const std::string& head,
                            const std::string& controller, const std::string& crumbs, const std::string& body) const {
  std::string o = origin(request);
  std::string breadcrumb =
      "<nav class='ipsBreadcrumb ipsBreadcrumb_top ipsFaded_withHover'>\n\t<ul class='ipsList_inline ipsPos_right'>\n"
      "\t\t<li><a data-action=\"defaultStream\" class='ipsType_light ' href='" +
      o +
      "/discover/'><i class=\"fa fa-newspaper-o\" "
      "aria-hidden=\"true\"></i> <span>All Activity</span></a></li>\n\t</ul>\n\t<ul data-role=\"breadcrumbList\">\n"
      "\t\t<li>\n\t\t\t<a title=\"Home\" href='" +
      o +
      "/'>\n\t\t\t\t<span><i class=\"fa fa-home\" aria-hidden=\"true\"></i> Home</span>\n"
      "\t\t\t</a>\n\t\t</li>\n" +
      crumbs + "\t</ul>\n</nav>\n";
  return "<!DOCTYPE html>\n<html lang=\"en-US\" dir=\"ltr\">\n\t<head>\n\t\t<meta charset=\"utf-8\">\n\t\t<title>" +
         escapeHtml(title) +
         "</title>\n"
         "\t\t<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n\t\t<meta property=\"og:site_name\" content=\"" +
         escapeHtml(model_->title) + "\">\n" + head + "\t\t<link rel=\"manifest\" href=\"" + o +
         "/manifest.webmanifest/\">\n"
         "\t\t<link rel='stylesheet' href='" +
         o +
         "/uploads/css_built_1/341e4a57816af3ba440d891ca87450ff_framework.css?v=0a1b2c3d4e' media='all'>\n"
         "\t</head>\n\t<body class='ipsApp ipsApp_front ipsJS_none ipsClearfix' data-controller='core.front.core.app' data-message=\"\" "
         "data-pageApp='forums' data-pageLocation='front' data-pageModule='forums' data-pageController='" +
         controller +
         "'>\n"
         "\t\t<a href='#ipsLayout_mainArea' class='ipsHide' title='Go to main content on this page' accesskey='m'>Jump to content</a>\n"
         "\t\t<div id='ipsLayout_header' class='ipsClearfix'>\n\t\t\t<header>\n\t\t\t\t<div class='ipsLayout_container'>\n"
         "<a href='" +
         o + "/' id='elSiteTitle' accesskey='1'>" + escapeHtml(model_->title) +
         "</a>\n"
         "\t<ul id='elUserNav' class='ipsList_inline cSignedOut ipsResponsive_showDesktop'>\n"
         "\t\t<li id='elSignInLink'>\n\t\t\t<a href='" +
         o +
         "/login/' data-ipsMenu-closeOnClick=\"false\" data-ipsMenu id='elUserSignIn'>\n"
         "\t\t\t\tExisting user? Sign In &nbsp;<i class='fa fa-caret-down'></i>\n\t\t\t</a>\n\t\t</li>\n"
         "\t\t<li>\n\t\t\t<a href='" +
         o +
         "/register/' data-ipsDialog data-ipsDialog-size='narrow' data-ipsDialog-title='Sign Up' id='elRegisterButton' "
         "class='ipsButton ipsButton_normal ipsButton_primary'>Sign Up</a>\n\t\t</li>\n\t</ul>\n\t\t\t\t</div>\n\t\t\t</header>\n"
         "\t\t\t<nav data-controller='core.front.core.navBar' class=' ipsResponsive_showDesktop'>\n\t\t\t\t<div class='ipsNavBar_primary ipsLayout_container '>\n"
         "\t\t\t\t\t<ul data-role=\"primaryNavBar\" class='ipsClearfix'>\n"
         "\t\t\t\t\t\t<li id='elNavSecondary_1' data-role=\"navBarItem\" data-navApp=\"core\" data-navExt=\"CustomItem\">\n"
         "\t\t\t\t\t\t\t<a href=\"" +
         o +
         "/\" data-navItem-id=\"1\" data-navDefault>Browse<span class='ipsNavBar_active__identifier'></span></a>\n"
         "\t\t\t\t\t\t\t<ul class='ipsNavBar_secondary ' data-role='secondaryNavBar'>\n"
         "\t\t\t\t\t\t\t\t<li id='elNavSecondary_8' data-role=\"navBarItem\" data-navApp=\"forums\" data-navExt=\"Forums\">\n"
         "\t\t\t\t\t\t\t\t\t<a href=\"" +
         o +
         "/\" data-navItem-id=\"8\" data-navDefault>Forums</a>\n\t\t\t\t\t\t\t\t</li>\n"
         "\t\t\t\t\t\t\t\t<li id='elNavSecondary_10' data-role=\"navBarItem\" data-navApp=\"core\" data-navExt=\"StaffDirectory\">\n"
         "\t\t\t\t\t\t\t\t\t<a href=\"" +
         o +
         "/staff/\" data-navItem-id=\"10\">Staff</a>\n\t\t\t\t\t\t\t\t</li>\n"
         "\t\t\t\t\t\t\t\t<li id='elNavSecondary_11' data-role=\"navBarItem\" data-navApp=\"core\" data-navExt=\"OnlineUsers\">\n"
         "\t\t\t\t\t\t\t\t\t<a href=\"" +
         o +
         "/online/\" data-navItem-id=\"11\">Online Users</a>\n\t\t\t\t\t\t\t\t</li>\n"
         "\t\t\t\t\t\t\t</ul>\n\t\t\t\t\t\t</li>\n\t\t\t\t\t\t<li id='elNavSecondary_2' data-role=\"navBarItem\" data-navApp=\"core\" data-navExt=\"CustomItem\">\n"
         "\t\t\t\t\t\t\t<a href=\"" +
         o +
         "/discover/\" data-navItem-id=\"2\">Activity</a>\n\t\t\t\t\t\t</li>\n\t\t\t\t\t</ul>\n"
         "\t\t\t\t\t<div id=\"elSearchWrapper\">\n\t\t\t\t\t\t<div id='elSearch' data-controller=\"core.front.core.quickSearch\">\n"
         "\t\t\t\t\t\t\t<form accept-charset='utf-8' action='" +
         o +
         "/search/?do=quicksearch' method='post'>\n"
         "\t\t\t\t\t\t\t\t<input type='search' id='elSearchField' placeholder='Search...' name='q' autocomplete='off' aria-label='Search'>\n"
         "\t\t\t\t\t\t\t</form>\n\t\t\t\t\t\t</div>\n\t\t\t\t\t</div>\n\t\t\t\t</div>\n\t\t\t</nav>\n\t\t</div>\n"
         "\t\t<main id='ipsLayout_body' class='ipsLayout_container'>\n\t\t\t<div id='ipsLayout_contentArea'>\n\t\t\t\t<div id='ipsLayout_contentWrapper'>\n"
         "\t\t\t\t\t" +
         breadcrumb + "\t\t\t\t\t<div id='ipsLayout_mainArea'>\n" + body + "\t\t\t\t\t</div>\n\t\t\t\t\t" + breadcrumb +
         "\t\t\t\t</div>\n\t\t\t</div>\n\t\t</main>\n\t\t<footer id='ipsLayout_footer' class='ipsClearfix'>\n"
         "\t\t\t<div class='ipsLayout_container'>\n<ul class='ipsList_inline ipsType_center ipsSpacer_top' id=\"elFooterLinks\">\n"
         "\t<li><a href='" +
         o + "/privacy/'>Privacy Policy</a></li>\n\t<li><a rel=\"nofollow\" href='" + o +
         "/contact/' data-ipsdialog "
         "data-ipsDialog-remoteSubmit data-ipsDialog-flashMessage='Thanks, your message has been sent to the administrators.' "
         "data-ipsdialog-title=\"Contact Us\">Contact Us</a></li>\n\t<li><a rel=\"nofollow\" href='" +
         o +
         "/cookies/'>Cookies</a></li>\n</ul>\n"
         "<p id='elCopyright'>\n\t<span id='elCopyright_userLine'>" +
         escapeHtml(model_->title) +
         "</span>\n"
         "\t<a rel='nofollow' title='Invision Community' href='https://www.invisioncommunity.com/'>Powered by Invision Community</a>\n</p>\n"
         "\t\t\t</div>\n\t\t</footer>\n\t</body>\n</html>\n";
}

std::string Ips4Board::crumbsTo(const Request& request, int forumId) const {
  std::vector<std::pair<int, std::string>> chain;
  for (const ModelForum* f = model_->forum(forumId); f != nullptr; f = model_->forum(f->parent)) {
    chain.emplace_back(f->id, f->name);
    if (f->parent == 0) chain.emplace_back(f->category, model_->category(f->category)->name);
  }
  if (const Category* c = model_->category(forumId)) chain.emplace_back(c->id, c->name);
  std::string out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    out += "\t\t<li>\n\t\t\t<a href='" + forumUrl(request, it->first) + "'>\n\t\t\t\t<span>" + escapeHtml(it->second) +
           " <i class=\"fa fa-angle-right\" aria-hidden=\"true\"></i></span>\n\t\t\t</a>\n\t\t</li>\n";
  }
  return out;
}

std::string Ips4Board::pagination(const std::function<std::string(int)>& url, int current, int pages,
                                  std::string& head) const {
  if (current > 0) head += "\t\t<link rel=\"prev\" href=\"" + url(current - 1) + "\">\n";
  if (current + 1 < pages) head += "\t\t<link rel=\"next\" href=\"" + url(current + 1) + "\">\n";
  if (pages <= 1) return "";
  std::string out =
      "<ul class='ipsPagination' id='elPagination_0a1b2c' data-ipsPagination-seoPagination='true' data-pages='" +
      std::to_string(pages) + "' data-ipsPagination data-ipsPagination-pages=\"" + std::to_string(pages) +
      "\" data-ipsPagination-perPage='" + std::to_string(model_->topicsPerPage) + "'>\n";
  std::string inactive = current == 0 ? " ipsPagination_inactive" : "";
  out += "\t<li class='ipsPagination_first" + inactive + "'><a href='" + url(0) +
         "' rel=\"first\" data-page='1' data-ipsTooltip "
         "title='First page'><i class='fa fa-angle-double-left'></i></a></li>\n"
         "\t<li class='ipsPagination_prev" +
         inactive + "'><a href='" + url(std::max(current - 1, 0)) + "' rel=\"prev\" data-page='" +
         std::to_string(std::max(current, 1)) + "' data-ipsTooltip title='Previous page'>Prev</a></li>\n";
  for (int p = 0; p < pages; ++p) {
    out += "\t<li class='ipsPagination_page" + std::string(p == current ? " ipsPagination_active" : "") +
           "'><a href='" + url(p) + "' data-page='" + std::to_string(p + 1) + "'>" + std::to_string(p + 1) +
           "</a></li>\n";
  }
  std::string last = current + 1 >= pages ? " ipsPagination_inactive" : "";
  out += "\t<li class='ipsPagination_next" + last + "'><a href='" + url(std::min(current + 1, pages - 1)) +
         "' rel=\"next\" data-page='" + std::to_string(std::min(current + 2, pages)) +
         "' data-ipsTooltip title='Next page'>Next</a></li>\n"
         "\t<li class='ipsPagination_last" +
         last + "'><a href='" + url(pages - 1) + "' rel=\"last\" data-page='" + std::to_string(pages) +
         "' data-ipsTooltip title='Last page'><i class='fa fa-angle-double-right'></i></a></li>\n</ul>\n";
  return out;
}

std::string Ips4Board::forumRows(const Request& request, const std::vector<const ModelForum*>& forums) const {
  std::string out;
  for (const ModelForum* f : forums) {
    std::string subs;
    for (const ModelForum* sub : model_->subForums(f->id)) {
      subs +=
          "\t\t\t<li class=''><a href=\"" + forumUrl(request, sub->id) + "\">" + escapeHtml(sub->name) + "</a></li>\n";
    }
    const Post* last = model_->lastPost(f->id);
    const ModelTopic* lastTopic = model_->post(last->id).first;
    std::string lastUrl = topicUrl(request, *lastTopic) + "?do=getLastComment";
    out +=
        "<li class=\"cForumRow ipsDataItem ipsDataItem_responsivePhoto  ipsClearfix\" data-forumID=\"" +
        std::to_string(f->id) +
        "\">\n"
        "\t<div class=\"ipsDataItem_icon ipsDataItem_category\">\n\t\t<span class='ipsItemStatus ipsItemStatus_large cForumIcon_normal "
        "ipsItemStatus_read'>\n\t\t\t<i class=\"fa fa-comments\"></i>\n\t\t</span>\n\t</div>\n\t<div class=\"ipsDataItem_main\">\n"
        "\t\t<h4 class=\"ipsDataItem_title ipsType_large ipsType_break\">\n\t\t\t<a href=\"" +
        forumUrl(request, f->id) + "\">" + escapeHtml(f->name) +
        "</a>\n\t\t</h4>\n\t\t<div class=\"ipsDataItem_meta ipsType_richText\" data-ipsTruncate data-ipsTruncate-type=\"remove\" "
        "data-ipsTruncate-size=\"1 lines\">\n\t\t\t<p>" +
        escapeHtml(f->description) + "</p>\n\t\t</div>\n" +
        (subs.empty() ? "" : "\t\t<ul class=\"ipsDataItem_subList ipsList_inline\">\n" + subs + "\t\t</ul>\n") +
        "\t</div>\n\t<div class=\"ipsDataItem_stats ipsDataItem_statsLarge\">\n\t\t<dl>\n\t\t\t<dt class=\"ipsDataItem_stats_number\">" +
        std::to_string(model_->postCount(f->id)) +
        "</dt>\n\t\t\t<dd class=\"ipsDataItem_stats_type ipsType_light\"> posts</dd>\n\t\t</dl>\n\t</div>\n"
        "\t<ul class=\"ipsDataItem_lastPoster ipsDataItem_withPhoto\">\n\t\t<li><a href=\"" +
        profileUrl(request, *last->author) + "\" class=\"ipsUserPhoto ipsUserPhoto_tiny\"><img src='" +
        origin(request) + "/uploads/set_resources_1/default_photo.png' alt='" + escapeHtml(last->author->name) +
        "' loading=\"lazy\"></a></li>\n\t\t<li><a href=\"" + lastUrl +
        "\" class='ipsType_break ipsContained' "
        "title='Go to last post'>" +
        escapeHtml(lastTopic->title) + "</a></li>\n\t\t<li class='ipsType_blendLinks'>By " +
        profile(request, *last->author) + "</li>\n\t\t<li class=\"ipsType_light\"><a href='" + lastUrl +
        "' title='Go to last post' class='ipsType_blendLinks'>" + time(last->time) + "</a></li>\n\t</ul>\n</li>\n";
  }
  return out;
}

Response Ips4Board::index(const Request& request) const {
  std::string body =
      "<div class=\"ipsPageHeader ipsClearfix ipsSpacer_bottom\">\n\t<h1 class=\"ipsType_pageTitle\">Forums</h1>\n</div>\n"
      "<section>\n\t<ol class='ipsList_reset cForumList' data-controller='core.global.core.table, forums.front.forum.forumList' data-baseURL=''>\n";
  for (const Category& c : model_->categories) {
    body +=
        "\t\t<li data-categoryID='" + std::to_string(c.id) +
        "' class='cForumRow ipsBox ipsSpacer_bottom'>\n"
        "\t\t\t<h2 class=\"ipsType_sectionTitle ipsType_reset cForumTitle\">\n\t\t\t\t<a href='#' class='ipsPos_right ipsJS_show ipsType_noUnderline "
        "cForumToggle' data-action='toggleCategory' data-ipsTooltip title='Toggle this category'></a>\n\t\t\t\t<a href='" +
        forumUrl(request, c.id) + "'>" + escapeHtml(c.name) +
        "</a>\n\t\t\t</h2>\n\t\t\t<ol class=\"ipsDataList ipsDataList_large ipsDataList_zebra\" data-role=\"forums\">\n" +
        forumRows(request, model_->forumsIn(c.id)) + "\t\t\t</ol>\n\t\t</li>\n";
  }
  body += "\t</ol>\n</section>\n";
  return htmlPage(page(request, "Forums - " + model_->title,
                       "\t\t<link rel=\"canonical\" href=\"" + origin(request) + "/\">\n", "index", "", body));
}

Response Ips4Board::forum(const Request& request, long id, int current) const {
  if (const Category* c = model_->category(id)) {
    std::string body =
        "<div class=\"ipsPageHeader ipsClearfix ipsSpacer_bottom\">\n\t<h1 class=\"ipsType_pageTitle\">" +
        escapeHtml(c->name) +
        "</h1>\n</div>\n"
        "<div class='ipsBox'>\n\t<ol class=\"ipsDataList ipsDataList_large ipsDataList_zebra\" data-role=\"forums\">\n" +
        forumRows(request, model_->forumsIn(c->id)) + "\t</ol>\n</div>\n";
    return htmlPage(page(request, c->name + " - " + model_->title,
                         "\t\t<link rel=\"canonical\" href=\"" + forumUrl(request, c->id) + "\">\n", "forums",
                         crumbsTo(request, c->id), body));
  }
  const ModelForum* f = model_->forum(id);
  if (f == nullptr) return Response::notFound();
  std::vector<const ModelTopic*> topics = model_->topicsOf(f->id);
  std::string sortby = request.param("sortby");
  std::string direction = request.param("sortdirection");
  if (sortby == "title") {
    std::stable_sort(topics.begin(), topics.end(), [&](const ModelTopic* a, const ModelTopic* b) {
      return direction == "desc" ? a->title > b->title : a->title < b->title;
    });
  } else if (!sortby.empty() && direction == "asc") {
    std::reverse(topics.begin(), topics.end());
  }
  int pages = model_->forumPages(f->id);
  if (current >= pages) return Response::notFound();
  std::string sortQuery =
      sortby.empty() ? "" : "?sortby=" + escapeHtml(sortby) + "&amp;sortdirection=" + escapeHtml(direction);
  std::string head = "\t\t<link rel=\"canonical\" href=\"" + forumUrl(request, f->id, current) + "\">\n";
  std::string nav = pagination([&](int p) { return forumUrl(request, f->id, p) + sortQuery; }, current, pages, head);
  std::string sortMenu;
  for (const auto& [key, label] : std::vector<std::pair<std::string, std::string>>{{"last_post", "Recently Updated"},
                                                                                   {"title", "Title"},
                                                                                   {"start_date", "Start Date"},
                                                                                   {"posts", "Most Replies"},
                                                                                   {"views", "Most Viewed"}}) {
    sortMenu += "\t\t<li class='ipsMenu_item" +
                std::string(key == (sortby.empty() ? "last_post" : sortby) ? " ipsMenu_itemChecked" : "") +
                "' data-ipsMenuValue='" + key + "' data-sortDirection='" + (key == "title" ? "asc" : "desc") +
                "'><a href='" + forumUrl(request, f->id) + "?sortby=" + key +
                "&amp;sortdirection=" + (key == "title" ? "asc" : "desc") + "' rel=\"nofollow\">" + label +
                "</a></li>\n";
  }
  std::string body =
      "<div class=\"ipsPageHeader ipsResponsive_pull ipsBox ipsPadding sm:ipsPadding:half ipsMargin_bottom\">\n"
      "\t<header class='ipsFlex ipsFlex-ai:center ipsFlex-jc:between'>\n\t\t<h1 class=\"ipsType_pageTitle ipsContained_container\">"
      "<span class='ipsContained ipsType_break'>" +
      escapeHtml(f->name) +
      "</span></h1>\n\t</header>\n"
      "\t<div class='ipsType_richText ipsType_normal' data-controller='core.front.core.lightboxedImages'>\n\t\t<p>" +
      escapeHtml(f->description) +
      "</p>\n\t</div>\n</div>\n<ul class=\"ipsToolList ipsToolList_horizontal ipsClearfix ipsSpacer_both\">\n"
      "\t<li class='ipsToolList_primaryAction'>\n\t\t<a class=\"ipsButton ipsButton_medium ipsButton_important ipsButton_fullWidth\" href=\"" +
      forumUrl(request, f->id) +
      "?do=add\" title='Start a new topic in this forum' rel='nofollow noindex'>Start new topic</a>\n\t</li>\n</ul>\n";
  std::vector<const ModelForum*> subs = model_->subForums(f->id);
  if (!subs.empty()) {
    body +=
        "<div class='ipsBox ipsResponsive_pull ipsSpacer_bottom'>\n\t<h2 class='ipsType_sectionTitle ipsType_reset'>Subforums</h2>\n"
        "\t<ol class=\"ipsDataList ipsDataList_large ipsDataList_zebra\" data-role=\"forums\">\n" +
        forumRows(request, subs) + "\t</ol>\n</div>\n";
  }
  body +=
      "<div class='ipsBox ipsResponsive_pull' data-baseurl='" + forumUrl(request, f->id) +
      "' data-resort='listResort' data-controller='core.global.core.table'>\n"
      "\t<div class=\"ipsButtonBar ipsPad_half ipsClearfix ipsClear\">\n\t\t" +
      nav +
      "\t\t<ul class=\"ipsButtonRow ipsPos_right ipsClearfix sm:ipsFlex\">\n"
      "\t\t\t<li>\n\t\t\t\t<a href=\"#elSortByMenu_menu\" id=\"elSortByMenu_0a1b2c\" data-role='sortButton' data-ipsMenu data-ipsMenu-activeClass=\"ipsButtonRow_active\" "
      "data-ipsMenu-selectable=\"radio\">Sort By <i class=\"fa fa-caret-down\"></i></a>\n\t\t\t\t<ul class=\"ipsMenu ipsMenu_auto ipsMenu_withStem ipsMenu_selectable "
      "ipsHide\" id=\"elSortByMenu_0a1b2c_menu\">\n" +
      sortMenu +
      "\t\t\t\t</ul>\n\t\t\t</li>\n\t\t</ul>\n\t</div>\n"
      "\t<ol class='ipsClear ipsDataList cForumTopicTable cTopicList ipsDataList_zebra' id='elTable_0a1b2c' data-role=\"tableRows\">\n";
  for (int i = current * model_->topicsPerPage;
       i < static_cast<int>(topics.size()) && i < (current + 1) * model_->topicsPerPage; ++i) {
    const ModelTopic& t = *topics[static_cast<std::size_t>(i)];
    int topicPages = model_->topicPages(t);
    std::string mini;
    for (int p = 0; p < topicPages && topicPages > 1; ++p) {
      mini += "\t\t\t\t<li class='ipsPagination_page'><a href='" + topicUrl(request, t, p) +
              "#comments' data-ipsTooltip title='Go to page " + std::to_string(p + 1) + "'>" + std::to_string(p + 1) +
              "</a></li>\n";
    }
    body +=
        "\t\t<li class=\"ipsDataItem ipsDataItem_responsivePhoto   \" data-rowID='" + std::to_string(t.id) +
        "' data-location='' "
        "data-controller='forums.front.forum.topicRow'>\n\t\t\t<div class='ipsDataItem_main'>\n\t\t\t\t<h4 class='ipsDataItem_title ipsContained_container'>\n"
        "\t\t\t\t\t<span class='ipsType_break ipsContained'>\n\t\t\t\t\t\t<a href='" +
        topicUrl(request, t) + "' class='' title='" + escapeHtml(t.title) + " ' data-ipsHover data-ipsHover-target='" +
        topicUrl(request, t) + "?preview=1' data-ipsHover-timeout='1.5'>\n\t\t\t\t\t\t\t<span>" + escapeHtml(t.title) +
        "</span>\n\t\t\t\t\t\t</a>\n\t\t\t\t\t</span>\n\t\t\t\t</h4>\n" +
        (mini.empty() ? ""
                      : "\t\t\t\t<ul class='ipsPagination ipsPagination_mini' id='elPagination_" +
                            std::to_string(t.id) + "'>\n" + mini + "\t\t\t\t</ul>\n") +
        "\t\t\t\t<div class='ipsDataItem_meta ipsType_reset ipsType_light ipsType_blendLinks'>\n\t\t\t\t\t<span>By " +
        profile(request, *t.posts.front().author) + ", </span>" + time(t.posts.front().time) +
        "\n\t\t\t\t</div>\n\t\t\t</div>\n"
        "\t\t\t<ul class='ipsDataItem_stats'>\n\t\t\t\t<li><span class='ipsDataItem_stats_number'>" +
        std::to_string(t.posts.size() - 1) +
        "</span><span class='ipsDataItem_stats_type'> replies</span></li>\n\t\t\t\t<li class='ipsType_light'><span class='ipsDataItem_stats_number'>" +
        std::to_string(t.views) +
        "</span><span class='ipsDataItem_stats_type'> views</span></li>\n\t\t\t</ul>\n"
        "\t\t\t<ul class='ipsDataItem_lastPoster ipsDataItem_withPhoto ipsType_blendLinks'>\n\t\t\t\t<li>" +
        profile(request, *t.posts.back().author) + "</li>\n\t\t\t\t<li class=\"ipsType_light\"><a href='" +
        topicUrl(request, t) +
        "?do=getLastComment' title='Go to last post' "
        "class='ipsType_blendLinks'>" +
        time(t.posts.back().time) + "</a></li>\n\t\t\t</ul>\n\t\t</li>\n";
  }
  body += "\t</ol>\n\t<div class=\"ipsButtonBar ipsPad_half ipsClearfix ipsClear\">\n\t\t" + nav + "\t</div>\n</div>\n";
  return htmlPage(
      page(request, f->name + (current > 0 ? " - Page " + std::to_string(current + 1) : "") + " - " + model_->title,
           head, "forums",
           crumbsTo(request, f->parent != 0 ? f->parent : -1) + (f->parent != 0 ? "" : crumbsTo(request, f->category)),
           body));
}

Response Ips4Board::topic(const Request& request, const ModelTopic& t, int current) const {
  std::string head = "\t\t<link rel=\"canonical\" href=\"" + topicUrl(request, t, current) + "\">\n";
  std::string nav = pagination([&](int p) { return topicUrl(request, t, p); }, current, model_->topicPages(t), head);
  PostMarkup markup;
  markup.boldOpen = "<strong>";
  markup.boldClose = "</strong>";
  markup.italicOpen = "<em>";
  markup.italicClose = "</em>";
  markup.link = "<a href=\"{href}\" rel=\"external nofollow\">{text}</a>";
  markup.smiley = "<img alt=\":)\" data-emoticon=\"\" height=\"20\" src=\"{src}\" title=\":)\" width=\"20\" />";
  markup.smileySource = origin(request) + "/uploads/emoticons/smile.png";
  markup.lineBreak = "<br />\n";
  markup.paragraphOpen = "<p>\n\t";
  markup.paragraphClose = "\n</p>";
  markup.paragraphSeparator = "\n\n";
  markup.quote =
      "<blockquote class=\"ipsQuote\" data-ipsquote=\"\" data-ipsquote-contentapp=\"forums\" data-ipsquote-contentclass=\"forums_Topic\" "
      "data-ipsquote-contentcommentid=\"{post}\" data-ipsquote-contentid=\"{topic}\" data-ipsquote-contenttype=\"forums\" "
      "data-ipsquote-username=\"{who}\">\n\t<div class=\"ipsQuote_citation\">\n\t\t&nbsp;\n\t</div>\n\n\t<div class=\"ipsQuote_contents\">\n"
      "\t\t<p>\n\t\t\t{body}\n\t\t</p>\n\t</div>\n</blockquote>";
  markup.code = "<pre class=\"ipsCode prettyprint lang-auto\">{code}</pre>";
  std::string posts;
  for (int i = current * model_->postsPerPage;
       i < static_cast<int>(t.posts.size()) && i < (current + 1) * model_->postsPerPage; ++i) {
    const Post& p = t.posts[static_cast<std::size_t>(i)];
    std::string id = std::to_string(p.id);
    std::string permalink = topicUrl(request, t) + "?do=findComment&amp;comment=" + id;
    int memberPosts = model_->postsBy(*p.author);
    posts +=
        "<a id='comment-" + id + "'></a>\n<article id='elComment_" + id +
        "' class='cPost ipsBox ipsResponsive_pull  ipsComment  ipsComment_parent "
        "ipsClearfix ipsClear ipsColumns ipsColumns_noSpacing ipsColumns_collapsePhone    '>\n"
        "\t<aside class='ipsComment_author cAuthorPane ipsColumn ipsColumn_medium ipsResponsive_hidePhone'>\n"
        "\t\t<h3 class='ipsType_sectionHead cAuthorPane_author ipsType_blendLinks ipsType_break'><strong>" +
        profile(request, *p.author) +
        "</strong></h3>\n\t\t<ul class='cAuthorPane_info ipsList_reset'>\n\t\t\t<li data-role='photo' class='cAuthorPane_photo'>\n"
        "\t\t\t\t<div class='cAuthorPane_photoWrap'><a href=\"" +
        profileUrl(request, *p.author) +
        "\" rel=\"nofollow\" data-ipsHover "
        "class=\"ipsUserPhoto ipsUserPhoto_large\" title=\"Go to " +
        escapeHtml(p.author->name) + "'s profile\"><img src='" + origin(request) +
        "/uploads/set_resources_1/default_photo.png' alt='" + escapeHtml(p.author->name) +
        "' loading=\"lazy\"></a></div>\n\t\t\t</li>\n"
        "\t\t\t<li data-role='group'>Members</li>\n\t\t\t<li data-role='stats' class='ipsMargin_top'>\n"
        "\t\t\t\t<ul class=\"ipsList_reset ipsType_light ipsFlex ipsFlex-ai:center ipsFlex-jc:center ipsGap_row:2 cAuthorPane_stats\">\n"
        "\t\t\t\t\t<li>\n\t\t\t\t\t\t<a href=\"" +
        profileUrl(request, *p.author) + "content/\" title=\"" + std::to_string(memberPosts) +
        " posts\" data-ipsTooltip class=\"ipsType_blendLinks\">\n\t\t\t\t\t\t\t<i class=\"fa fa-comment\"></i> " +
        std::to_string(memberPosts) +
        "\n\t\t\t\t\t\t</a>\n\t\t\t\t\t</li>\n\t\t\t\t</ul>\n\t\t\t</li>\n\t\t</ul>\n\t</aside>\n"
        "\t<div class='ipsColumn ipsColumn_fluid ipsMargin:none'>\n\t\t<div id='comment-" +
        id +
        "_wrap' data-controller='core.front.core.comment' "
        "data-commentApp='forums' data-commentType='forums' data-commentID=\"" +
        id + "\" data-quoteData='{&quot;userid&quot;:" + std::to_string(p.author->id) + ",&quot;username&quot;:&quot;" +
        escapeHtml(p.author->name) + "&quot;,&quot;timestamp&quot;:" + std::to_string(p.time) +
        ",&quot;contentapp&quot;:&quot;forums&quot;,&quot;contenttype&quot;:&quot;forums&quot;,&quot;contentid&quot;:" +
        std::to_string(t.id) + ",&quot;contentclass&quot;:&quot;forums_Topic&quot;,&quot;contentcommentid&quot;:" + id +
        "}' class='ipsComment_content ipsType_medium'>\n\t\t\t<div class='ipsComment_meta ipsType_light ipsFlex ipsFlex-ai:center "
        "ipsFlex-jc:between ipsFlex-fd:row-reverse'>\n\t\t\t\t<div class='ipsType_light ipsType_blendLinks ipsComment_toolWrap'>\n"
        "\t\t\t\t\t<ul class='ipsList_reset ipsComment_tools'>\n\t\t\t\t\t\t<li><a href='" +
        permalink +
        "' data-ipsTooltip title='Share this post' "
        "data-ipsMenu data-ipsMenu-closeOnClick='false' id='elSharePost_" +
        id +
        "' data-role='shareComment'><i class='fa fa-share-alt'></i></a></li>\n"
        "\t\t\t\t\t</ul>\n\t\t\t\t</div>\n\t\t\t\t<div class='ipsType_reset ipsResponsive_hidePhone'>\n\t\t\t\t\t<a href='" +
        permalink + "' rel=\"nofollow\" class='ipsType_blendLinks' data-ipsTooltip title='Share this post'>Posted " +
        time(p.time) +
        "</a>\n"
        "\t\t\t\t</div>\n\t\t\t</div>\n\t\t\t<div class='cPost_contentWrap'>\n\t\t\t\t<div data-role='commentContent' class='ipsType_normal "
        "ipsType_richText ipsPadding_bottom ipsContained' data-controller='core.front.core.lightboxedImages'>\n" +
        renderMessage(p, markup, t.id) + "\n\t\t\t\t</div>\n\t\t\t</div>\n\t\t</div>\n\t</div>\n</article>\n";
  }
  const ModelForum& f = *model_->forum(t.forum);
  std::string body =
      "<div class='ipsPageHeader ipsResponsive_pull ipsBox ipsPadding sm:ipsPadding:half ipsMargin_bottom'>\n"
      "\t<div class='ipsFlex ipsFlex-ai:center ipsFlex-fw:wrap ipsGap:4'>\n\t\t<div class='ipsFlex-flex:11'>\n"
      "\t\t\t<h1 class='ipsType_pageTitle ipsContained_container'>\n\t\t\t\t<span class='ipsType_break ipsContained'>\n"
      "\t\t\t\t\t<span>" +
      escapeHtml(t.title) +
      "</span>\n\t\t\t\t</span>\n\t\t\t</h1>\n\t\t</div>\n\t</div>\n"
      "\t<div class='ipsPageHeader__meta ipsFlex ipsFlex-jc:between ipsFlex-ai:center ipsFlex-fw:wrap ipsGap:3'>\n"
      "\t\t<div class='ipsType_reset ipsType_blendLinks'>By " +
      profile(request, *t.posts.front().author) + ", " + time(t.posts.front().time) +
      "</div>\n\t</div>\n</div>\n<div class='ipsClearfix'>\n\t<ul class=\"ipsToolList ipsToolList_horizontal "
      "ipsClearfix ipsSpacer_both \">\n\t\t<li class='ipsToolList_primaryAction'>\n\t\t\t<a href='" +
      forumUrl(request, f.id) +
      "?do=add' class='ipsButton ipsButton_link ipsButton_medium ipsButton_fullWidth' title='Start a new topic'>Start new topic</a>\n"
      "\t\t</li>\n\t</ul>\n</div>\n<div class='ipsClearfix ipsClear ipsMargin_bottom'>\n\t" +
      nav +
      "</div>\n"
      "<div id='comments' data-controller='core.front.core.commentFeed,forums.front.topic.view, core.front.core.ignoredComments' "
      "data-baseURL='" +
      topicUrl(request, t) + "' data-lastPage data-feedID='topic-" + std::to_string(t.id) +
      "' class='cTopic ipsClear ipsSpacer_top'>\n" + posts +
      "</div>\n<div class='ipsResponsive_noFloat ipsResponsive_block ipsMargin_top'>\n\t" + nav +
      "</div>\n"
      "<div class='ipsBox ipsPadding ipsResponsive_pull ipsResponsive_showPhone ipsMargin_top'>\n\t<div class='ipsGrid ipsGrid_collapsePhone'>\n"
      "\t\t<div class='ipsGrid_span6 ipsType_left'><a href=\"" +
      forumUrl(request, f.id) +
      "\" class='ipsType_normal'>Go to topic listing</a></div>\n"
      "\t</div>\n</div>\n";
  return htmlPage(page(
      request,
      t.title + (current > 0 ? " - Page " + std::to_string(current + 1) : "") + " - " + f.name + " - " + model_->title,
      head, "topic", crumbsTo(request, f.id), body));
}

Response Ips4Board::serve(const Request& request) const {
  const std::string& path = request.path;
  auto split = [&](const std::string& prefix, long& id, std::string& slug, int& pageNumber) {
    // /forum/2-general-chat/page/2/
    std::string rest = path.substr(prefix.size());
    std::size_t slash = rest.find('/');
    std::string head = rest.substr(0, slash);
    std::string tail = slash == std::string::npos ? "" : rest.substr(slash + 1);
    std::size_t dash = head.find('-');
    id = std::atol(head.substr(0, dash).c_str());
    slug = dash == std::string::npos ? "" : head.substr(dash + 1);
    pageNumber = 0;
    if (tail.starts_with("page/")) pageNumber = std::atoi(tail.c_str() + 5) - 1;
    return tail.empty() || tail.starts_with("page/");
  };
  long id = 0;
  std::string slug;
  int pageNumber = 0;
  if (path == "/" || path == "/index.php") return index(request);
  if (path.starts_with("/forum/")) {
    if (!split("/forum/", id, slug, pageNumber) || pageNumber < 0) return Response::notFound();
    if (!request.param("do").empty()) {
      return htmlPage(page(request, "Sign In - " + model_->title, "", "login", "",
                           "<div class='ipsBox ipsPad'><p>Sign in to start a topic.</p></div>\n"));
    }
    const ModelForum* f = model_->forum(id);
    const Category* c = model_->category(id);
    if (f == nullptr && c == nullptr) return Response::notFound();
    if (slug != ipsSlug(f != nullptr ? f->name : c->name))
      return Response::redirect(forumUrl(request, static_cast<int>(id), pageNumber));
    return forum(request, id, pageNumber);
  }
  if (path.starts_with("/topic/")) {
    if (!split("/topic/", id, slug, pageNumber) || pageNumber < 0) return Response::notFound();
    const ModelTopic* t = model_->topic(id);
    if (t == nullptr) return Response::notFound();
    std::string action = request.param("do");
    if (action == "findComment" || action == "getLastComment" || action == "getNewComment") {
      std::size_t index = t->posts.size() - 1;
      if (action == "findComment") {
        auto [holder, post] = model_->post(request.number("comment"));
        if (holder != t) return Response::notFound();
        index = static_cast<std::size_t>(post - t->posts.data());
      }
      Response moved = Response::redirect(topicUrl(request, *t, model_->pageOfPost(index)) + "#comment-" +
                                          std::to_string(t->posts[index].id));
      moved.status = 301;
      moved.reason = "Moved Permanently";
      return moved;
    }
    if (slug != t->slug) return Response::redirect(topicUrl(request, *t, pageNumber));
    if (pageNumber >= model_->topicPages(*t)) return Response::notFound();
    return topic(request, *t, pageNumber);
  }
  if (path.starts_with("/uploads/")) return pictureResponse();
  if (path.starts_with("/profile/") || path == "/login/" || path == "/register/" || path == "/discover/" ||
      path == "/staff/" || path == "/online/" || path == "/search/" || path == "/privacy/" || path == "/contact/" ||
      path == "/cookies/") {
    return htmlPage(page(request, model_->title, "", "page", "",
                         "<div class='ipsBox ipsPad'><p>Sign in or sign up to see this page.</p></div>\n"));
  }
  return Response::notFound();
}

}  // namespace

Handler makeIps4Board(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<Ips4Board>(std::move(model));
  return [board](const Request& request) {
    Response response = board->serve(request);
    response.headers.emplace_back("Set-Cookie",
                                  "ips4_IPSSessionFront=3d5f7a9c1e2b4d6f8a0c2e4b6d8f0a1c; path=/; HttpOnly");
    return response;
  };
}

}  // namespace quillstash::demo
