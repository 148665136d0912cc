// SPDX-License-Identifier: MIT
// The board as vBulletin 5.6 (Connect) shows it to a guest with its default
// theme: the channel list, the topic list and the conversation view as its
// display_Forums, display_Topics, conversation_* and pagenav templates print
// them, with vB4-style BB code boxes. Channels are addressed by their path
// (/forum/the-lamp-room/general-chat, then /page2), topics by id and slug
// under their channel (/forum/the-lamp-room/general-chat/1-welcome-to-the-lamp-room),
// permalinks by ?p=ID#postID; the disabled "previous" button has an empty href.
#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "engine_board.h"

namespace quillstash::demo {
namespace {

std::string vb5Date(long long time) {
  std::string iso = isoTime(time);
  int hour = std::stoi(iso.substr(11, 2));
  char text[40];
  std::snprintf(text, sizeof text, "%s-%s-%s, %02d:%s %s", iso.substr(5, 2).c_str(), iso.substr(8, 2).c_str(),
                iso.substr(0, 4).c_str(), hour % 12 == 0 ? 12 : hour % 12, iso.substr(14, 2).c_str(),
                hour < 12 ? "AM" : "PM");
  return text;
}

class VBulletin5Board {
 public:
  explicit VBulletin5Board(std::shared_ptr<const BoardModel> model) : model_(std::move(model)) {}
  Response serve(const Request& request) const;

 private:
  // The channel path of a forum or category, "/forum/the-lamp-room/general-chat".
  std::string channelPath(int id) const;
  std::string channelUrl(const Request& request, int id, int page = 0) const {
    return origin(request) + channelPath(id) + (page > 0 ? "/page" + std::to_string(page + 1) : "");
  }
  std::string topicUrl(const Request& request, const ModelTopic& t, int page = 0) const {
    return origin(request) + channelPath(t.forum) + "/" + std::to_string(t.id) + "-" + t.slug +
           (page > 0 ? "/page" + std::to_string(page + 1) : "");
  }
  std::string memberUrl(const Request& request, const Member& m) const;
  std::string username(const Request& request, const Member& m) const {
    return "<a href=\"" + memberUrl(request, m) + "\" class=\"username\">" + escapeHtml(m.name) + "</a>";
  }
  std::string page(const Request& request, const std::string& title, const std::string& head, const std::string& crumbs,
                   const std::string& body) const;
  std::string crumbsTo(const Request& request, int id) const;
  std::string pagenav(const std::function<std::string(int)>& url, int current, int pages, std::string& head) const;
  std::string channelRows(const Request& request, const std::vector<const ModelForum*>& forums) const;
  Response home(const Request& request) const;
  Response channel(const Request& request, int id, int current) const;
  Response topic(const Request& request, const ModelTopic& t, int current) const;

  std::shared_ptr<const BoardModel> model_;
};

std::string VBulletin5Board::channelPath(int id) const {
  if (const Category* c = model_->category(id)) return "/forum/" + c->slug;
  const ModelForum* f = model_->forum(id);
  return channelPath(f->parent != 0 ? f->parent : f->category) + "/" + f->slug;
}

std::string VBulletin5Board::memberUrl(const Request& request, const Member& m) const {
  std::string slug;
  for (char c : m.name) slug += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return origin(request) + "/member/" + std::to_string(m.id) + "-" + slug;
}

std::string VBulletin5Board::page(const Request& request, const std::string& title, const std::string& head,
                                  const std::string& crumbs, const std::string& body) const {
  std::string o = origin(request);
  return "<!DOCTYPE html>\n<html id=\"htmlTag\" xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en\" lang=\"en\" dir=\"ltr\">\n<head>\n"
         "\t<base href=\"" +
         o +
         "/\" />\n\t<meta charset=\"utf-8\" />\n\t<meta name=\"generator\" content=\"vBulletin 5.6.9\" />\n"
         "\t<title>" +
         escapeHtml(title) + "</title>\n" + head + "\t<link rel=\"stylesheet\" type=\"text/css\" href=\"" + o +
         "/css.php?styleid=1&amp;td=ltr&amp;sheet=css_additional.css&amp;ts=1717200000\" />\n"
         "\t<script type=\"text/javascript\">\n\t\tif (location.hash) { document.getElementById('htmlTag').classList.add('h-hide-on-load'); }\n"
         "\t\tvar pageData = {\"baseurl\": \"" +
         o +
         "\", \"pageid\": \"1\", \"userid\": \"0\"};\n\t</script>\n</head>\n"
         "<body id=\"vb-page-body\" class=\"l-desktop page1 vb-page view-mode logged-out\" itemscope itemtype=\"http://schema.org/WebPage\" "
         "data-usergroupid=\"1\" data-styleid=\"1\">\n<div id=\"outer-wrapper\">\n<div id=\"wrapper\">\n\t<div id=\"header-axd\" class=\"header-edit-box axdnum_1 h-clearfix\">\n"
         "\t\t<div class=\"axd-container axd-container_header\">\n\t\t\t<div id=\"header\" class=\"noselect\">\n\t\t\t\t<div class=\"header-cell\">\n"
         "\t\t\t\t\t<div class=\"site-logo header-edit-box\"><a href=\"" +
         o +
         "/\"><img src=\"images/misc/vbulletin5_logo.png\" data-orig-src=\"images/misc/vbulletin5_logo.png\" "
         "alt=\"Logo\" title=\"Powered by vBulletin\" /></a></div>\n\t\t\t\t</div>\n\t\t\t\t<div class=\"toolbar\">\n\t\t\t\t\t<ul class=\"h-right\">\n"
         "\t\t\t\t\t\t<li class=\"search-container\">\n\t\t\t\t\t\t\t<form id=\"searchForm\" action=\"" +
         o +
         "/search\" class=\"h-left\" method=\"GET\">\n"
         "\t\t\t\t\t\t\t\t<div class=\"h-left\"><input type=\"text\" name=\"q\" id=\"q\" class=\"textbox\" placeholder=\"Search\" /></div>\n"
         "\t\t\t\t\t\t\t</form>\n\t\t\t\t\t\t</li>\n\t\t\t\t\t\t<li id=\"idLoginBtn\" data-dropdown-align=\"right\">\n"
         "\t\t\t\t\t\t\t<a href=\"" +
         o +
         "/auth/login-form\" id=\"lnkLoginSignupMenu\" class=\"js-login-button\">Log in</a>\n\t\t\t\t\t\t</li>\n"
         "\t\t\t\t\t\t<li class=\"h-margin-left-l\"><a href=\"" +
         o +
         "/register\" class=\"js-signup-button\">Sign Up</a></li>\n"
         "\t\t\t\t\t</ul>\n\t\t\t\t</div>\n\t\t\t</div>\n\t\t\t<div id=\"channel-tabbar\" class=\"h-clearfix\">\n\t\t\t\t<ul class=\"channel-tabbar-list h-left "
         "b-comp-menu-horizontal js-comp-menu-horizontal js-mobile-comp-menu-horizontal\">\n"
         "\t\t\t\t\t<li class=\"current section-item\"><a href=\"" +
         o +
         "/\" class=\"h-left navtab\">Home</a></li>\n"
         "\t\t\t\t\t<li class=\"section-item\"><a href=\"" +
         o +
         "/forum\" class=\"h-left navtab\">Forums</a></li>\n"
         "\t\t\t\t\t<li class=\"section-item\"><a href=\"" +
         o +
         "/blogs\" class=\"h-left navtab\">Blogs</a></li>\n"
         "\t\t\t\t\t<li class=\"section-item\"><a href=\"" +
         o +
         "/social-groups\" class=\"h-left navtab\">Groups</a></li>\n"
         "\t\t\t\t</ul>\n\t\t\t</div>\n\t\t\t<div id=\"channel-subtabbar\" class=\"h-clearfix\">\n\t\t\t\t<ul class=\"h-left channel-subtabbar-list\">\n"
         "\t\t\t\t\t<li><a href=\"" +
         o +
         "/search?searchJSON=%7B%22date%22%3A%7B%22from%22%3A%22lastDay%22%7D%2C%22view%22%3A%22topic%22%2C%22unread_only%22%3A1"
         "%2C%22sort%22%3A%7B%22lastcontent%22%3A%22desc%22%7D%2C%22exclude_type%22%3A%5B%22vBForum_PrivateMessage%22%5D%7D\" class=\"navtab\">Today's Posts</a></li>\n"
         "\t\t\t\t\t<li><a href=\"" +
         o + "/memberlist\" class=\"navtab\">Member List</a></li>\n\t\t\t\t\t<li><a href=\"" + o +
         "/calendar\" class=\"navtab\">Calendar</a></li>\n\t\t\t\t</ul>\n\t\t\t</div>\n\t\t</div>\n\t</div>\n"
         "\t<nav class=\"breadcrumbs-wrapper\">\n\t\t<ul id=\"breadcrumbs\" class=\"h-clearfix\" itemprop=\"breadcrumb\">\n"
         "\t\t\t<li class=\"crumb ellipsis\"><a class=\"crumb-link\" href=\"" +
         o + "/\">Home</a></li>\n" + crumbs +
         "\t\t</ul>\n\t</nav>\n"
         "\t<main id=\"content\">\n\t\t<div class=\"canvas-layout-container js-canvas-layout-container\">\n" +
         body +
         "\t\t</div>\n\t</main>\n</div>\n<div id=\"footer\">\n\t<div id=\"footer-tabbar\">\n\t\t<ul class=\"h-clearfix js-footer-chooser-list h-right\">\n"
         "\t\t\t<li><a href=\"" +
         o + "/help\">Help</a></li>\n\t\t\t<li><a href=\"" + o +
         "/contact-us\" rel=\"nofollow\">Contact Us</a></li>\n"
         "\t\t\t<li><a href=\"" +
         o +
         "/privacy\">Privacy</a></li>\n\t\t\t<li><a href=\"#\" class=\"js-footer-go-to-top\">Go to top</a></li>\n"
         "\t\t</ul>\n\t</div>\n\t<p id=\"footer-copyright\">Powered by <a href=\"https://www.vbulletin.com\" id=\"vbulletinlink\">vBulletin&reg;</a> "
         "Version 5.6.9 <br />Copyright &copy; 2024 MH Sub I, LLC dba vBulletin. All rights reserved.</p>\n</div>\n</div>\n</body>\n</html>\n";
}

std::string VBulletin5Board::crumbsTo(const Request& request, int id) const {
  std::vector<int> chain;
  for (int at = id; at != 0;) {
    chain.push_back(at);
    const ModelForum* f = model_->forum(at);
    at = f == nullptr ? 0 : (f->parent != 0 ? f->parent : f->category);
  }
  std::string out =
      "\t\t\t<li class=\"crumb ellipsis\"><span class=\"separator\">&#9658;</span><a class=\"crumb-link\" href=\"" +
      origin(request) + "/forum\">Forums</a></li>\n";
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const ModelForum* f = model_->forum(*it);
    out +=
        "\t\t\t<li class=\"crumb ellipsis\"><span class=\"separator\">&#9658;</span><a class=\"crumb-link\" href=\"" +
        channelUrl(request, *it) + "\">" + escapeHtml(f != nullptr ? f->name : model_->category(*it)->name) +
        "</a></li>\n";
  }
  return out;
}

std::string VBulletin5Board::pagenav(const std::function<std::string(int)>& url, int current, int pages,
                                     std::string& head) const {
  if (current > 0) head += "\t<link rel=\"prev\" href=\"" + url(current - 1) + "\" />\n";
  if (current + 1 < pages) head += "\t<link rel=\"next\" href=\"" + url(current + 1) + "\" />\n";
  if (pages <= 1) return "";
  std::string out =
      "<div class=\"pagenav-container h-clearfix noselect\">\n<div class=\"js-pagenav pagenav h-right js-shrink-event-parent\">\n"
      "\t<a class=\"js-pagenav-button js-pagenav-prev-button b-button b-button--secondary" +
      std::string(current == 0 ? " h-disabled" : "") + "\" data-page=\"" + std::to_string(current) + "\" href=\"" +
      (current == 0 ? "" : url(current - 1)) +
      "\" tabindex=\"0\"><span class=\"vb-icon vb-icon-arrow-left\"></span></a>\n";
  for (int p = 0; p < pages; ++p) {
    out += "\t<a class=\"js-pagenav-button b-button b-button--narrow js-shrink-event-child b-button--secondary h-left" +
           std::string(p == current ? " js-pagenav-button--current b-button--narrow--current" : "") +
           "\" data-page=\"" + std::to_string(p + 1) + "\" href=\"" + url(p) + "\" tabindex=\"0\">" +
           std::to_string(p + 1) + "</a>\n";
  }
  out += "\t<a class=\"js-pagenav-button js-pagenav-next-button b-button b-button--secondary h-left" +
         std::string(current + 1 >= pages ? " h-disabled" : "") + "\" data-page=\"" +
         std::to_string(std::min(current + 2, pages)) + "\" href=\"" + (current + 1 >= pages ? "" : url(current + 1)) +
         "\" tabindex=\"0\"><span class=\"vb-icon vb-icon-arrow-right\"></span></a>\n</div>\n</div>\n";
  return out;
}

std::string VBulletin5Board::channelRows(const Request& request, const std::vector<const ModelForum*>& forums) const {
  std::string out;
  for (const ModelForum* f : forums) {
    std::string subs;
    for (const ModelForum* sub : model_->subForums(f->id)) {
      subs +=
          "<div class=\"subforum-item\"><span class=\"subforum-icon vb-icon vb-icon-forum-old-tiny\"></span><a href=\"" +
          channelUrl(request, sub->id) + "\" class=\"subforum-title\">" + escapeHtml(sub->name) + "</a></div>";
    }
    const Post* last = model_->lastPost(f->id);
    const ModelTopic* lastTopic = model_->post(last->id).first;
    out +=
        "\t\t\t\t<tr class=\"forum-item main h-left\" data-channel-id=\"" + std::to_string(f->id) +
        "\">\n\t\t\t\t\t<td class=\"cell-forum\">\n"
        "\t\t\t\t\t\t<div class=\"forum-wrapper\">\n\t\t\t\t\t\t\t<div class=\"forum-info\">\n\t\t\t\t\t\t\t\t<a href=\"" +
        channelUrl(request, f->id) + "\" class=\"forum-title\">" + escapeHtml(f->name) +
        "</a>\n\t\t\t\t\t\t\t\t<div class=\"forum-desc\">" + escapeHtml(f->description) + "</div>\n" +
        (subs.empty()
             ? ""
             : "\t\t\t\t\t\t\t\t<div class=\"subforum-list\"><span class=\"subforum-list-label\">Subforums:</span>" +
                   subs + "</div>\n") +
        "\t\t\t\t\t\t\t</div>\n\t\t\t\t\t\t</div>\n\t\t\t\t\t</td>\n\t\t\t\t\t<td class=\"cell-topics\">" +
        std::to_string(model_->topicCount(f->id)) + "</td>\n\t\t\t\t\t<td class=\"cell-posts\">" +
        std::to_string(model_->postCount(f->id)) +
        "</td>\n\t\t\t\t\t<td class=\"cell-lastpost\">\n"
        "\t\t\t\t\t\t<div class=\"lastpost-wrapper\">\n\t\t\t\t\t\t\t<a href=\"" +
        topicUrl(request, *lastTopic) + "\" class=\"lastpost-title\">" + escapeHtml(lastTopic->title) +
        "</a>\n\t\t\t\t\t\t\t<div class=\"lastpost-by\">by " + username(request, *last->author) +
        "</div>\n"
        "\t\t\t\t\t\t\t<span class=\"post-date\">" +
        vb5Date(last->time) + "</span>\n\t\t\t\t\t\t\t<a href=\"" + topicUrl(request, *lastTopic) +
        "?p=" + std::to_string(last->id) + "#post" + std::to_string(last->id) +
        "\" class=\"go-to-last-post\"><span class=\"vb-icon vb-icon-circle-arrow-right\"></span></a>\n"
        "\t\t\t\t\t\t</div>\n\t\t\t\t\t</td>\n\t\t\t\t</tr>\n";
  }
  return out;
}

Response VBulletin5Board::home(const Request& request) const {
  std::string body =
      "<div class=\"b-module canvas-widget default-widget forum-list-widget\" id=\"widget_1\" data-widget-id=\"1\">\n"
      "\t<div class=\"widget-header\"><h1 class=\"widget-title\">Forums</h1></div>\n\t<div class=\"widget-content\">\n";
  for (const Category& c : model_->categories) {
    body += "\t\t<table class=\"forum-list-container\" data-channel-id=\"" + std::to_string(c.id) +
            "\">\n\t\t\t<tr class=\"category-header\">\n"
            "\t\t\t\t<td class=\"category\" colspan=\"4\"><h2 class=\"forum-list-category\"><a href=\"" +
            channelUrl(request, c.id) + "\" class=\"category\">" + escapeHtml(c.name) +
            "</a></h2></td>\n\t\t\t</tr>\n" + channelRows(request, model_->forumsIn(c.id)) + "\t\t</table>\n";
  }
  body += "\t</div>\n</div>\n";
  return htmlPage(
      page(request, model_->title, "\t<link rel=\"canonical\" href=\"" + origin(request) + "/\" />\n", "", body));
}

Response VBulletin5Board::channel(const Request& request, int id, int current) const {
  const Category* c = model_->category(id);
  const ModelForum* f = model_->forum(id);
  std::string name = c != nullptr ? c->name : f->name;
  std::vector<const ModelForum*> subs = c != nullptr ? model_->forumsIn(c->id) : model_->subForums(f->id);
  std::string body =
      "<div class=\"b-module canvas-widget default-widget page-title-widget\">\n\t<h1 class=\"main-title js-main-title hide-on-editmode\">" +
      escapeHtml(name) + "</h1>\n</div>\n";
  if (!subs.empty()) {
    body +=
        "<div class=\"b-module canvas-widget default-widget channel-widget\">\n\t<table class=\"channel-list main-channel-list\">\n" +
        channelRows(request, subs) + "\t</table>\n</div>\n";
  }
  std::string head = "\t<link rel=\"canonical\" href=\"" + channelUrl(request, id, current) + "\" />\n";
  if (f != nullptr) {
    std::vector<const ModelTopic*> topics = model_->topicsOf(f->id);
    std::string sort = request.param("filter_sort");
    if (sort == "title")
      std::stable_sort(topics.begin(), topics.end(),
                       [](const ModelTopic* a, const ModelTopic* b) { return a->title < b->title; });
    int pages = model_->forumPages(f->id);
    if (current >= pages) return Response::notFound();
    std::string sortQuery = sort.empty() ? "" : "?filter_sort=" + escapeHtml(sort);
    std::string nav = pagenav([&](int p) { return channelUrl(request, f->id, p) + sortQuery; }, current, pages, head);
    body +=
        "<div class=\"b-module canvas-widget default-widget channel-widget topic-list-widget\" id=\"widget_2\">\n"
        "\t<div class=\"conversation-toolbar-wrapper\">\n\t\t<div class=\"conversation-toolbar\">\n"
        "\t\t\t<a href=\"" +
        channelUrl(request, f->id) +
        "?filter_sort=lastcontent\" class=\"b-button filter-option\" rel=\"nofollow\">Latest Activity</a>\n"
        "\t\t\t<a href=\"" +
        channelUrl(request, f->id) +
        "?filter_sort=title\" class=\"b-button filter-option\" rel=\"nofollow\">Title</a>\n"
        "\t\t\t<a href=\"" +
        origin(request) + "/new-content/" + std::to_string(f->id) +
        "\" class=\"b-button b-button--primary new-conversation-btn\">"
        "+ New Topic</a>\n\t\t</div>\n\t\t" +
        nav +
        "\t</div>\n\t<table class=\"topic-list\">\n\t\t<thead>\n\t\t\t<tr class=\"topic-list-header\">\n"
        "\t\t\t\t<th class=\"cell-topic\">Topics</th><th class=\"cell-count\">Posts</th><th class=\"cell-lastpost\">Last Post</th>\n"
        "\t\t\t</tr>\n\t\t</thead>\n\t\t<tbody>\n";
    for (int i = current * model_->topicsPerPage;
         i < static_cast<int>(topics.size()) && i < (current + 1) * model_->topicsPerPage; ++i) {
      const ModelTopic& t = *topics[static_cast<std::size_t>(i)];
      int topicPages = model_->topicPages(t);
      std::string mini;
      for (int p = 0; p < topicPages && topicPages > 1; ++p)
        mini += "<a href=\"" + topicUrl(request, t, p) + "\">" + std::to_string(p + 1) + "</a> ";
      std::string lastId = std::to_string(t.posts.back().id);
      body +=
          "\t\t\t<tr class=\"topic-item\" data-node-id=\"" + std::to_string(t.id) +
          "\">\n\t\t\t\t<td class=\"cell-topic\">\n"
          "\t\t\t\t\t<div class=\"topic-wrapper\">\n\t\t\t\t\t\t<a href=\"" +
          topicUrl(request, t) + "\" class=\"topic-title js-topic-title\">" + escapeHtml(t.title) +
          "</a>\n\t\t\t\t\t\t<div class=\"topic-info h-clear js-topic-info\">\n\t\t\t\t\t\t\tStarted by " +
          username(request, *t.posts.front().author) + ", <span class=\"date\">" + vb5Date(t.posts.front().time) +
          "</span>\n" +
          (mini.empty()
               ? ""
               : "\t\t\t\t\t\t\t<div class=\"pagenav h-inline-block\"><span class=\"pagenav-label\">Pages</span> " +
                     mini + "</div>\n") +
          "\t\t\t\t\t\t</div>\n\t\t\t\t\t</div>\n\t\t\t\t</td>\n\t\t\t\t<td class=\"cell-count\"><div class=\"posts-count\">" +
          std::to_string(t.posts.size()) + " posts</div><div class=\"views-count\">" + std::to_string(t.views) +
          " views</div></td>\n"
          "\t\t\t\t<td class=\"cell-lastpost\">\n\t\t\t\t\t<div class=\"lastpost-wrapper\">\n\t\t\t\t\t\t" +
          username(request, *t.posts.back().author) + "\n\t\t\t\t\t\t<span class=\"post-date\">" +
          vb5Date(t.posts.back().time) + "</span>\n\t\t\t\t\t\t<a href=\"" + topicUrl(request, t) + "?p=" + lastId +
          "#post" + lastId +
          "\" class=\"go-to-last-post\"><span class=\"vb-icon vb-icon-circle-arrow-right\"></span></a>\n"
          "\t\t\t\t\t</div>\n\t\t\t\t</td>\n\t\t\t</tr>\n";
    }
    body += "\t\t</tbody>\n\t</table>\n\t<div class=\"conversation-toolbar-wrapper\">" + nav + "</div>\n</div>\n";
  }
  return htmlPage(
      page(request, name + (current > 0 ? " - Page " + std::to_string(current + 1) : "") + " - " + model_->title, head,
           crumbsTo(request, f != nullptr && f->parent != 0 ? f->parent : (f != nullptr ? f->category : 0)), body));
}

Response VBulletin5Board::topic(const Request& request, const ModelTopic& t, int current) const {
  std::string head = "\t<link rel=\"canonical\" href=\"" + topicUrl(request, t, current) + "\" />\n";
  std::string nav = pagenav([&](int p) { return topicUrl(request, t, p); }, current, model_->topicPages(t), head);
  PostMarkup markup;
  markup.link = "<a href=\"{href}\" target=\"_blank\">{text}</a>";
  markup.smiley = "<img src=\"{src}\" border=\"0\" alt=\"\" title=\"Smile\" smilieid=\"1\" class=\"inlineimg\" />";
  markup.smileySource = origin(request) + "/images/smilies/smile.png";
  markup.lineBreak = "<br />\n";
  markup.paragraphSeparator = "<br />\n<br />\n";
  markup.quote =
      "<div class=\"bbcode_container\">\n\t<div class=\"bbcode_quote\">\n\t\t<div class=\"quote_container\">\n"
      "\t\t\t<div class=\"bbcode_quote_container vb-icon vb-icon-quote-large\"></div>\n\t\t\t<div class=\"bbcode_postedby\">\n"
      "\t\t\t\t<strong>{who}</strong> wrote:\n\t\t\t\t<a href=\"" +
      topicUrl(request, t) +
      "?p={post}#post{post}\" rel=\"nofollow\">"
      "<span class=\"vb-icon vb-icon-arrow-right-square\"></span></a>\n\t\t\t</div>\n\t\t\t<div class=\"message\">{body}</div>\n"
      "\t\t</div>\n\t</div>\n</div>";
  markup.code =
      "<div class=\"bbcode_container\">\n\t<div class=\"bbcode_description\">Code:</div>\n\t<pre class=\"bbcode_code\">{code}</pre>\n</div>";
  std::string posts;
  for (int i = current * model_->postsPerPage;
       i < static_cast<int>(t.posts.size()) && i < (current + 1) * model_->postsPerPage; ++i) {
    const Post& p = t.posts[static_cast<std::size_t>(i)];
    std::string id = std::to_string(p.id);
    int memberPosts = model_->postsBy(*p.author);
    posts +=
        "\t\t<li class=\"b-post js-post js-comment-entry__parent h-restore--on-preview b-post--text" +
        std::string(i == 0 ? " b-post--first" : "") + "\" data-node-id=\"" + id +
        "\" itemscope itemtype=\"http://schema.org/Comment\" itemprop=\"comment\">\n"
        "\t\t\t<a id=\"post" +
        id +
        "\" class=\"anchor\"></a>\n\t\t\t<div class=\"b-post__grid\">\n"
        "\t\t\t<div class=\"b-userinfo b-post__hide-when-deleted\" data-userid=\"" +
        std::to_string(p.author->id) +
        "\" itemprop=\"author\" itemscope "
        "itemtype=\"http://schema.org/Person\">\n\t\t\t\t<div class=\"b-userinfo__details\">\n\t\t\t\t\t<div class=\"author h-text-size--14\">"
        "<strong><a href=\"" +
        memberUrl(request, *p.author) + "\" class=\"username\" itemprop=\"url\"><span itemprop=\"name\">" +
        escapeHtml(p.author->name) +
        "</span></a></strong></div>\n\t\t\t\t\t<div class=\"usertitle\">Member</div>\n"
        "\t\t\t\t\t<ul class=\"b-userinfo__additional-info-block\">\n\t\t\t\t\t\t<li class=\"b-userinfo__additional-info\"><label>Join Date:</label> "
        "<span>Jan 2024</span></li>\n\t\t\t\t\t\t<li class=\"b-userinfo__additional-info\"><label>Posts:</label> <span>" +
        std::to_string(memberPosts) +
        "</span></li>\n\t\t\t\t\t</ul>\n\t\t\t\t</div>\n\t\t\t</div>\n\t\t\t<div class=\"b-post__body\">\n"
        "\t\t\t\t<div class=\"b-post__content js-post__content\">\n\t\t\t\t\t<div class=\"b-post__header\">\n"
        "\t\t\t\t\t\t<div class=\"b-post__timestamp\"><time itemprop=\"dateCreated\" datetime=\"" +
        isoTime(p.time).substr(0, 19) + "\">" + vb5Date(p.time) +
        "</time></div>\n\t\t\t\t\t\t<div class=\"b-post__count\"><a href=\"" + topicUrl(request, t) + "?p=" + id +
        "#post" + id + "\" class=\"b-post__count-link\">#" + std::to_string(i + 1) +
        "</a></div>\n\t\t\t\t\t</div>\n"
        "\t\t\t\t\t<div class=\"b-post__content-wrapper\">\n\t\t\t\t\t\t<div class=\"js-post__content-text restore h-wordwrap\" itemprop=\"text\">\n"
        "\t\t\t\t\t\t\t" +
        renderMessage(p, markup, t.id) +
        "\n\t\t\t\t\t\t</div>\n\t\t\t\t\t</div>\n\t\t\t\t</div>\n\t\t\t</div>\n"
        "\t\t\t</div>\n\t\t</li>\n";
  }
  std::string body =
      "<div class=\"b-module canvas-widget default-widget page-title-widget\">\n\t<h1 class=\"main-title js-main-title hide-on-editmode\">" +
      escapeHtml(t.title) +
      "</h1>\n</div>\n<div class=\"b-module canvas-widget default-widget conversation-content-widget forum-conversation-content-widget\" "
      "data-widget-id=\"3\" data-channel-id=\"" +
      std::to_string(t.forum) + "\">\n\t<div class=\"conversation-toolbar-wrapper top\">" + nav +
      "</div>\n\t<div class=\"conversation-content\">\n\t\t<ul class=\"conversation-list list-container h-clearfix thread-view\">\n" +
      posts + "\t\t</ul>\n\t</div>\n\t<div class=\"conversation-toolbar-wrapper bottom\">" + nav + "</div>\n</div>\n";
  return htmlPage(page(request,
                       t.title + (current > 0 ? " - Page " + std::to_string(current + 1) : "") + " - " + model_->title,
                       head, crumbsTo(request, t.forum), body));
}

Response VBulletin5Board::serve(const Request& request) const {
  const std::string& path = request.path;
  if (path == "/" || path == "/forum") return home(request);
  if (path.starts_with("/forum/")) {
    std::vector<std::string> parts;
    for (std::size_t from = 7; from <= path.size();) {
      std::size_t slash = path.find('/', from);
      if (slash == std::string::npos) slash = path.size();
      if (slash > from) parts.push_back(path.substr(from, slash - from));
      from = slash + 1;
    }
    int pageNumber = 0;
    if (!parts.empty() && parts.back().starts_with("page") && parts.back().size() > 4 &&
        parts.back().find_first_not_of("0123456789", 4) == std::string::npos) {
      pageNumber = std::stoi(parts.back().substr(4)) - 1;
      parts.pop_back();
    }
    const ModelTopic* t = nullptr;
    if (!parts.empty() && std::isdigit(static_cast<unsigned char>(parts.back()[0]))) {
      t = model_->topic(std::atol(parts.back().c_str()));
      if (t == nullptr) return Response::notFound();
      parts.pop_back();
    }
    std::string wanted = "/forum";
    for (const std::string& part : parts) wanted += "/" + part;
    int channelId = 0;
    for (const Category& c : model_->categories) channelId = channelPath(c.id) == wanted ? c.id : channelId;
    for (const ModelForum& f : model_->forums) channelId = channelPath(f.id) == wanted ? f.id : channelId;
    if (t != nullptr) {
      if (channelId != t->forum || pageNumber < 0) return Response::notFound();
      if (request.query.count("p") != 0) {
        auto [holder, post] = model_->post(request.number("p"));
        if (holder != t) return Response::notFound();
        pageNumber = model_->pageOfPost(static_cast<std::size_t>(post - t->posts.data()));
      }
      if (pageNumber >= model_->topicPages(*t)) return Response::notFound();
      return topic(request, *t, pageNumber);
    }
    if (channelId == 0 || pageNumber < 0) return Response::notFound();
    return channel(request, channelId, pageNumber);
  }
  if (path.starts_with("/images/")) return pictureResponse();
  if (path.starts_with("/member/") || path.starts_with("/new-content/") || path == "/auth/login-form" ||
      path == "/register" || path == "/search" || path == "/blogs" || path == "/social-groups" ||
      path == "/memberlist" || path == "/calendar" || path == "/help" || path == "/contact-us" || path == "/privacy") {
    return htmlPage(page(request, model_->title, "", "",
                         "<div class=\"b-module\"><p>You need to log in to see this page.</p></div>\n"));
  }
  return Response::notFound();
}

}  // namespace

Handler makeVBulletin5Board(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<VBulletin5Board>(std::move(model));
  return [board](const Request& request) {
    Response response = board->serve(request);
    response.headers.emplace_back("Set-Cookie", "bbsessionhash=6c8e0a2c4e6a8c0e2a4c6e8a0c2e4a6c; path=/; HttpOnly");
    return response;
  };
}

}  // namespace quillstash::demo
