// SPDX-License-Identifier: MIT
// The board as XenForo 2.2 shows it to a guest with the default style, after
// the public output of its templates PAGE_CONTAINER, forum_list,
// node_list_forum / node_list_category, forum_view, thread_list_macros,
// thread_view, post_macros, message_macros and page_nav, and its BB code
// renderer (bbCodeBlock quotes and code, sprite smilies as data: pictures).
// Addresses are paths with title slugs: /forums/general-chat.2/page-2,
// /threads/welcome-to-the-lamp-room.1/page-3; a wrong slug redirects.
#include <cctype>
#include <memory>
#include <string>

#include "engine_board.h"

namespace quillstash::demo {
namespace {

const char* const kBlankGif = "data:image/gif;base64,R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7";

class XenForo2Board {
 public:
  explicit XenForo2Board(std::shared_ptr<const BoardModel> model) : model_(std::move(model)) {}
  Response serve(const Request& request) const;

 private:
  std::string forumUrl(const ModelForum& f) const { return "/forums/" + f.slug + "." + std::to_string(f.id) + "/"; }
  std::string threadUrl(const ModelTopic& t) const { return "/threads/" + t.slug + "." + std::to_string(t.id) + "/"; }
  std::string memberUrl(const Member& m) const;
  std::string username(const Member& m, const std::string& extraClass = "") const;
  std::string avatar(const Member& m, const char* size) const;
  std::string time(long long when, const std::string& extraClass = "", bool published = false) const;
  std::string page(const Request& request, const std::string& title, const std::string& templateName,
                   const std::string& crumbs, const std::string& canonical, const std::string& headLinks,
                   const std::string& body) const;
  // The trail from the category down to the forum, or to its parent.
  std::string crumbsTo(int forumId, bool withForum = true) const;
  std::string pageNav(const std::string& base, int current, int pages, std::string& headLinks) const;
  std::string nodeList(const std::vector<const ModelForum*>& forums, int depth) const;
  Response index(const Request& request) const;
  Response forum(const Request& request, const ModelForum& f, int current) const;
  Response thread(const Request& request, const ModelTopic& t, int current) const;

  std::shared_ptr<const BoardModel> model_;
};

std::string XenForo2Board::memberUrl(const Member& m) const {
  std::string slug;
  for (char c : m.name) slug += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return "/members/" + slug + "." + std::to_string(m.id) + "/";
}

std::string XenForo2Board::username(const Member& m, const std::string& extraClass) const {
  return "<a href=\"" + memberUrl(m) + "\" class=\"username " + extraClass + "\" dir=\"auto\" data-user-id=\"" +
         std::to_string(m.id) + "\" data-xf-init=\"member-tooltip\">" + escapeHtml(m.name) + "</a>";
}

std::string XenForo2Board::avatar(const Member& m, const char* size) const {
  std::string id = std::to_string(m.id);
  return "<a href=\"" + memberUrl(m) + "\" class=\"avatar avatar--" + size +
         " avatar--default avatar--default--dynamic\" data-user-id=\"" + id +
         "\" data-xf-init=\"member-tooltip\" style=\"background-color: #7a8599; color: #1f2229\">\n\t\t\t<span class=\"avatar-u" +
         id + "-" + size + "\" role=\"img\" aria-label=\"" + escapeHtml(m.name) + "\">" + m.name.substr(0, 1) +
         "</span> \n\t\t</a>";
}

std::string XenForo2Board::time(long long when, const std::string& extraClass, bool published) const {
  std::string date = shortDate(when);
  return "<time " + (extraClass.empty() ? std::string("class=\"u-dt\"") : "class=\"" + extraClass + " u-dt\"") +
         " dir=\"auto\" datetime=\"" + isoTime(when) + "\" data-time=\"" + std::to_string(when) +
         "\" data-date-string=\"" + date + "\" title=\"" + date + "\"" +
         (published ? " itemprop=\"datePublished\"" : "") + ">" + date + "</time>";
}

std::string XenForo2Board::page(const Request& request, const std::string& title, const std::string& templateName,
                                const std::string& crumbs, const std::string& canonical, const std::string& headLinks,
                                const std::string& body) const {
  std::string breadcrumbs =
      "<ul class=\"p-breadcrumbs \"\n\t\titemscope itemtype=\"https://schema.org/BreadcrumbList\">\n"
      "\t\t\t<li itemprop=\"itemListElement\" itemscope itemtype=\"https://schema.org/ListItem\">\n"
      "\t\t\t\t<a href=\"/\" itemprop=\"item\"><span itemprop=\"name\">Forums</span></a>\n"
      "\t\t\t\t<meta itemprop=\"position\" content=\"1\" />\n\t\t\t</li>\n" +
      crumbs + "\t</ul>\n";
  return "<!DOCTYPE html>\n<html id=\"XF\" lang=\"en-US\" dir=\"LTR\"\n\tdata-app=\"public\"\n\tdata-template=\"" +
         templateName +
         "\"\n\tdata-container-key=\"\"\n\tdata-content-key=\"\"\n\tdata-logged-in=\"false\"\n\tdata-cookie-prefix=\"xf_\"\n"
         "\tdata-csrf=\"1717200000,0a1b2c3d4e5f60718293a4b5c6d7e8f9\"\n\tclass=\"has-no-js template-" +
         templateName +
         "\"\n\t>\n<head>\n"
         "\t<meta charset=\"utf-8\" />\n\t<meta http-equiv=\"X-UA-Compatible\" content=\"IE=Edge\" />\n"
         "\t<meta name=\"viewport\" content=\"width=device-width, initial-scale=1, viewport-fit=cover\">\n\n\t<title>" +
         escapeHtml(title) + "</title>\n\n\t<link rel=\"manifest\" href=\"/webmanifest.php\">\n" +
         (canonical.empty() ? "" : "\t<link rel=\"canonical\" href=\"" + origin(request) + canonical + "\" />\n") +
         headLinks + "\t<link rel=\"alternate\" type=\"application/rss+xml\" title=\"RSS feed for " +
         escapeHtml(model_->title) +
         "\" href=\"/forums/-/index.rss\" />\n"
         "\t<link rel=\"stylesheet\" href=\"/css.php?css=public%3Anormalize.css%2Cpublic%3Acore.less%2Cpublic%3Aapp.less&amp;s=1&amp;l=1&amp;d=1717200000&amp;k=0a1b\" />\n"
         "\t<script src=\"/js/xf/preamble.min.js?_v=2a0b8c1d\"></script>\n</head>\n<body data-template=\"" +
         templateName +
         "\">\n\n"
         "<div class=\"p-pageWrapper\" id=\"top\">\n\n<header class=\"p-header\" id=\"header\">\n\t<div class=\"p-header-inner\">\n"
         "\t\t<div class=\"p-header-content\">\n\t\t\t<div class=\"p-header-logo p-header-logo--image\">\n\t\t\t\t<a href=\"/\">\n"
         "\t\t\t\t\t<img src=\"/styles/default/xenforo/xenforo-logo.png\" alt=\"" +
         escapeHtml(model_->title) +
         "\" width=\"100\" height=\"36\" />\n"
         "\t\t\t\t</a>\n\t\t\t</div>\n\t\t</div>\n\t</div>\n</header>\n\n"
         "<div class=\"p-navSticky p-navSticky--primary\" data-xf-init=\"sticky-header\">\n\t<nav class=\"p-nav\">\n\t<div class=\"p-nav-inner\">\n"
         "\t\t<div class=\"p-nav-scroller hScroller\" data-xf-init=\"h-scroller\" data-auto-scroll=\".p-navEl.is-selected\">\n"
         "\t\t\t<div class=\"hScroller-scroll\">\n\t\t\t\t<ul class=\"p-nav-list js-offCanvasNavSource\">\n"
         "\t\t\t\t\t<li>\n\t<div class=\"p-navEl is-selected\" data-has-children=\"true\">\n"
         "\t\t<a href=\"/\" class=\"p-navEl-link p-navEl-link--splitMenu \" data-nav-id=\"forums\">Forums</a>\n\t</div>\n</li>\n"
         "\t\t\t\t\t<li>\n\t<div class=\"p-navEl \" data-has-children=\"true\">\n"
         "\t\t<a href=\"/whats-new/\" class=\"p-navEl-link p-navEl-link--splitMenu \" data-nav-id=\"whatsNew\">What's new</a>\n\t</div>\n</li>\n"
         "\t\t\t\t\t<li>\n\t<div class=\"p-navEl \" data-has-children=\"true\">\n"
         "\t\t<a href=\"/members/\" class=\"p-navEl-link p-navEl-link--splitMenu \" data-nav-id=\"members\">Members</a>\n\t</div>\n</li>\n"
         "\t\t\t\t</ul>\n\t\t\t</div>\n\t\t</div>\n\n\t\t<div class=\"p-nav-opposite\">\n\t\t\t<div class=\"p-navgroup p-account p-navgroup--guest\">\n"
         "\t\t\t\t<a href=\"/login/\" class=\"p-navgroup-link p-navgroup-link--textual p-navgroup-link--logIn\" data-xf-click=\"overlay\" "
         "data-follow-redirects=\"on\">\n\t\t\t\t\t<span class=\"p-navgroup-linkText\">Log in</span>\n\t\t\t\t</a>\n"
         "\t\t\t\t<a href=\"/register/\" class=\"p-navgroup-link p-navgroup-link--textual p-navgroup-link--register\" data-xf-click=\"overlay\" "
         "data-follow-redirects=\"on\">\n\t\t\t\t\t<span class=\"p-navgroup-linkText\">Register</span>\n\t\t\t\t</a>\n\t\t\t</div>\n\n"
         "\t\t\t<div class=\"p-navgroup p-discovery\">\n\t\t\t\t<a href=\"/whats-new/\" class=\"p-navgroup-link p-navgroup-link--iconic "
         "p-navgroup-link--whatsnew\" aria-label=\"What's new\" title=\"What's new\">\n\t\t\t\t\t<i aria-hidden=\"true\"></i>\n"
         "\t\t\t\t\t<span class=\"p-navgroup-linkText\">What's new</span>\n\t\t\t\t</a>\n"
         "\t\t\t\t<a href=\"/search/\" class=\"p-navgroup-link p-navgroup-link--iconic p-navgroup-link--search\" data-xf-click=\"menu\" "
         "data-xf-key=\"/\" aria-label=\"Search\" aria-expanded=\"false\" aria-haspopup=\"true\" title=\"Search\">\n"
         "\t\t\t\t\t<i aria-hidden=\"true\"></i>\n\t\t\t\t\t<span class=\"p-navgroup-linkText\">Search</span>\n\t\t\t\t</a>\n"
         "\t\t\t</div>\n\t\t</div>\n\t</div>\n\t</nav>\n</div>\n\n"
         "<div class=\"p-body\">\n\t<div class=\"p-body-inner\">\n\t\t<!--XF:EXTRA_OUTPUT-->\n\t\t" +
         breadcrumbs +
         "\n\t\t<div class=\"p-body-main  \">\n\t\t\t<div class=\"p-body-content\">\n\t\t\t\t<div class=\"p-body-pageContent\">" +
         body + "</div>\n\t\t\t</div>\n\t\t</div>\n\t\t" + breadcrumbs +
         "\t</div>\n</div>\n\n"
         "<footer class=\"p-footer\" id=\"footer\">\n\t<div class=\"p-footer-inner\">\n\t\t<div class=\"p-footer-row\">\n"
         "\t\t\t<div class=\"p-footer-row-opposite\">\n\t\t\t\t<ul class=\"p-footer-linkList\">\n"
         "\t\t\t\t\t<li><a href=\"/misc/contact\" data-xf-click=\"overlay\">Contact us</a></li>\n"
         "\t\t\t\t\t<li><a href=\"/help/terms/\">Terms and rules</a></li>\n\t\t\t\t\t<li><a href=\"/help/privacy-policy/\">Privacy policy</a></li>\n"
         "\t\t\t\t\t<li><a href=\"/help/\">Help</a></li>\n\t\t\t\t\t<li><a href=\"/\">Home</a></li>\n"
         "\t\t\t\t\t<li><a href=\"/forums/-/index.rss\" target=\"_blank\" class=\"p-footer-rssLink\" title=\"RSS\"><span aria-hidden=\"true\">"
         "<i class=\"fa--xf far fa-rss\" aria-hidden=\"true\"></i><span class=\"u-srOnly\">RSS</span></span></a></li>\n"
         "\t\t\t\t</ul>\n\t\t\t</div>\n\t\t</div>\n\t\t<div class=\"p-footer-copyright\">\n"
         "\t\t\t\t<a href=\"https://xenforo.com\" class=\"u-concealed\" dir=\"ltr\" target=\"_blank\" rel=\"sponsored noopener\">Community platform "
         "by XenForo<sup>&reg;</sup> <span class=\"copyright\">&copy; 2010-2024 XenForo Ltd.</span></a>\n\t\t</div>\n\t</div>\n</footer>\n\n"
         "</div> <!-- closing p-pageWrapper -->\n\n<div class=\"u-bottomFixer js-bottomFixTarget\"></div>\n\n"
         "<script src=\"/js/xf/core-compiled.js?_v=2a0b8c1d\"></script>\n</body>\n</html>\n";
}

std::string XenForo2Board::crumbsTo(int forumId, bool withForum) const {
  std::vector<std::pair<std::string, std::string>> chain;  // address, name
  for (const ModelForum* f = model_->forum(forumId); f != nullptr; f = model_->forum(f->parent)) {
    if (withForum || f->id != forumId) chain.emplace_back(forumUrl(*f), f->name);
    if (f->parent == 0) {
      const Category* c = model_->category(f->category);
      chain.emplace_back("/#" + c->slug + "." + std::to_string(c->id), c->name);
    }
  }
  std::string out;
  int position = 2;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it, ++position) {
    out +=
        "\t\t\t<li itemprop=\"itemListElement\" itemscope itemtype=\"https://schema.org/ListItem\">\n\t\t\t\t<a href=\"" +
        it->first + "\" itemprop=\"item\"><span itemprop=\"name\">" + escapeHtml(it->second) +
        "</span></a>\n\t\t\t\t<meta itemprop=\"position\" content=\"" + std::to_string(position) +
        "\" />\n\t\t\t</li>\n";
  }
  return out;
}

std::string XenForo2Board::pageNav(const std::string& base, int current, int pages, std::string& headLinks) const {
  auto url = [&](int p) { return p == 0 ? base : base + "page-" + std::to_string(p + 1); };
  if (current > 0) headLinks += "\t<link rel=\"prev\" href=\"" + url(current - 1) + "\" />\n";
  if (current + 1 < pages) headLinks += "\t<link rel=\"next\" href=\"" + url(current + 1) + "\" />\n";
  std::string main = renderPager(
      current, pages,
      {"<nav class=\"pageNavWrapper pageNavWrapper--mixed \">\n\n<div class=\"pageNav  \">\n", "",
       "\t<a href=\"{url}\" class=\"pageNav-jump pageNav-jump--prev\">Prev</a>\n\t<ul class=\"pageNav-main\">\n",
       "\t\t<li class=\"pageNav-page \"><a href=\"{url}\">{number}</a></li>\n",
       "\t\t<li class=\"pageNav-page pageNav-page--current \"><a href=\"{url}\">{number}</a></li>\n",
       "\t</ul>\n\t<a href=\"{url}\" class=\"pageNav-jump pageNav-jump--next\">Next</a>\n"},
      url);
  if (main.empty()) return "";
  // The list opens after the "Prev" jump; on the first page there is none.
  if (current == 0) main.replace(main.find("\t\t<li"), 0, "\t<ul class=\"pageNav-main\">\n");
  if (current + 1 >= pages) main += "\t</ul>\n";
  std::string simple = "<div class=\"pageNavSimple\">\n";
  if (current > 0) {
    simple += "\t<a href=\"" + url(0) +
              "\" class=\"pageNavSimple-el pageNavSimple-el--first\" data-xf-init=\"tooltip\" title=\"First\">"
              "<i aria-hidden=\"true\"></i> <span class=\"u-srOnly\">First</span></a>\n\t<a href=\"" +
              url(current - 1) +
              "\" class=\"pageNavSimple-el pageNavSimple-el--prev\">\n\t\t<i aria-hidden=\"true\"></i> Prev\n\t</a>\n";
  }
  simple +=
      "\t<a class=\"pageNavSimple-el pageNavSimple-el--current\" data-xf-init=\"tooltip\" title=\"Go to page\" data-xf-click=\"menu\" "
      "role=\"button\" tabindex=\"0\" aria-expanded=\"false\" aria-haspopup=\"true\">\n\t\t" +
      std::to_string(current + 1) + " of " + std::to_string(pages) + "\n\t</a>\n";
  if (current + 1 < pages) {
    simple += "\t<a href=\"" + url(current + 1) +
              "\" class=\"pageNavSimple-el pageNavSimple-el--next\">\n\t\tNext <i aria-hidden=\"true\"></i>\n"
              "\t</a>\n\t<a href=\"" +
              url(pages - 1) +
              "\" class=\"pageNavSimple-el pageNavSimple-el--last\" data-xf-init=\"tooltip\" title=\"Last\">\n"
              "\t\t<i aria-hidden=\"true\"></i> <span class=\"u-srOnly\">Last</span>\n\t</a>\n";
  }
  return main + "</div>\n\n" + simple + "</div>\n\n</nav>\n";
}

std::string XenForo2Board::nodeList(const std::vector<const ModelForum*>& forums, int depth) const {
  std::string out;
  for (const ModelForum* f : forums) {
    std::string subNodes;
    for (const ModelForum* sub : model_->subForums(f->id)) {
      subNodes += "\t\t\t\t\t\t<li>\n\t\t\t\t\t\t\t<a href=\"" + forumUrl(*sub) +
                  "\" class=\"subNodeLink subNodeLink--forum \">\n"
                  "\t\t\t\t\t\t\t\t<i class=\"fa--xf far fa-comments subNodeLink-icon\" aria-hidden=\"true\"></i>" +
                  escapeHtml(sub->name) + "\n\t\t\t\t\t\t\t</a>\n\t\t\t\t\t\t</li>\n";
    }
    const Post* last = model_->lastPost(f->id);
    const ModelTopic* lastTopic = model_->post(last->id).first;
    std::string threads = std::to_string(model_->topicCount(f->id));
    std::string messages = std::to_string(model_->postCount(f->id));
    out +=
        "<div class=\"node node--id" + std::to_string(f->id) + " node--depth" + std::to_string(depth) +
        " node--forum node--read\">\n"
        "\t<div class=\"node-body\">\n\t\t<span class=\"node-icon\" aria-hidden=\"true\">\n"
        "\t\t\t<i class=\"fa--xf far fa-comments\" aria-hidden=\"true\"></i>\n\t\t</span>\n\t\t<div class=\"node-main js-nodeMain\">\n"
        "\t\t\t<h3 class=\"node-title\">\n\t\t\t\t<a href=\"" +
        forumUrl(*f) + "\" data-xf-init=\"element-tooltip\" data-shortcut=\"node-description\">" + escapeHtml(f->name) +
        "</a>\n\t\t\t</h3>\n\t\t\t<div class=\"node-description node-description--tooltip js-nodeDescTooltip\">" +
        escapeHtml(f->description) +
        "</div>\n\t\t\t<div class=\"node-meta\">\n\t\t\t\t<div class=\"node-statsMeta\">\n"
        "\t\t\t\t\t<dl class=\"pairs pairs--inline\">\n\t\t\t\t\t\t<dt>Threads</dt>\n\t\t\t\t\t\t<dd>" +
        threads +
        "</dd>\n\t\t\t\t\t</dl>\n"
        "\t\t\t\t\t<dl class=\"pairs pairs--inline\">\n\t\t\t\t\t\t<dt>Messages</dt>\n\t\t\t\t\t\t<dd>" +
        messages +
        "</dd>\n\t\t\t\t\t</dl>\n"
        "\t\t\t\t</div>\n\t\t\t</div>\n" +
        (subNodes.empty()
             ? ""
             : "\t\t\t<div class=\"node-subNodesFlat\">\n\t\t\t\t<span class=\"node-subNodesLabel\">Sub-forums:</span>\n"
               "\t\t\t\t\t<ol class=\"node-subNodeFlatList\">\n" +
                   subNodes + "\t\t\t\t\t</ol>\n\t\t\t</div>\n") +
        "\t\t</div>\n\t\t<div class=\"node-stats\">\n\t\t\t<dl class=\"pairs pairs--rows\">\n\t\t\t\t<dt>Threads</dt>\n\t\t\t\t<dd>" +
        threads +
        "</dd>\n\t\t\t</dl>\n\t\t\t<dl class=\"pairs pairs--rows\">\n\t\t\t\t<dt>Messages</dt>\n\t\t\t\t<dd>" +
        messages +
        "</dd>\n\t\t\t</dl>\n"
        "\t\t</div>\n\t\t<div class=\"node-extra\">\n\t\t\t<div class=\"node-extra-icon\">\n\t\t\t\t" +
        avatar(*last->author, "xs") + "\n\t\t\t</div>\n\t\t\t<div class=\"node-extra-row\">\n\t\t\t\t<a href=\"" +
        threadUrl(*lastTopic) + "post-" + std::to_string(last->id) + "\" class=\"node-extra-title\" title=\"" +
        escapeHtml(lastTopic->title) + "\">" + escapeHtml(lastTopic->title) +
        "</a>\n"
        "\t\t\t</div>\n\t\t\t<div class=\"node-extra-row\">\n\t\t\t\t<ul class=\"listInline listInline--bullet\">\n\t\t\t\t\t<li>" +
        time(last->time, "node-extra-date") + "</li>\n\t\t\t\t\t<li class=\"node-extra-user\">" +
        username(*last->author) +
        "</li>\n"
        "\t\t\t\t</ul>\n\t\t\t</div>\n\t\t</div>\n\t</div>\n</div>\n";
  }
  return out;
}

Response XenForo2Board::index(const Request& request) const {
  std::string body =
      "\n\t<div class=\"p-body-header\">\n\t\t<div class=\"p-title \">\n\t\t\t<h1 class=\"p-title-value\">" +
      escapeHtml(model_->title) +
      "</h1>\n\t\t</div>\n\t</div>\n\n<div class=\"block\" data-xf-init=\"\" data-type=\"thread\" data-href=\"/inline-mod/\">\n"
      "\t<div class=\"block-outer\">\n\t\t<div class=\"block-outer-opposite\">\n\t\t\t<div class=\"buttonGroup\">\n"
      "\t\t\t\t<a href=\"/whats-new/posts/\" class=\"button--link button\" rel=\"nofollow\"><span class=\"button-text\">New posts</span></a>\n"
      "\t\t\t</div>\n\t\t</div>\n\t</div>\n</div>\n\n<div class=\"block-container\">\n";
  for (const Category& c : model_->categories) {
    body += "<div class=\"block block--category block--category" + std::to_string(c.id) +
            "\">\n\t<span class=\"u-anchorTarget\" id=\"" + c.slug + "." + std::to_string(c.id) +
            "\"></span>\n\t<div class=\"block-container\">\n\t\t<h2 class=\"block-header\">\n\t\t\t<a href=\"/#" +
            c.slug + "." + std::to_string(c.id) + "\">" + escapeHtml(c.name) +
            "</a>\n\t\t</h2>\n\t\t<div class=\"block-body\">\n" + nodeList(model_->forumsIn(c.id), 1) +
            "\t\t</div>\n\t</div>\n</div>\n";
  }
  body +=
      "</div>\n\n<div class=\"block\" data-widget-id=\"7\" data-widget-key=\"forum_overview_forum_statistics\" data-widget-definition=\"forum_statistics\">\n"
      "\t<div class=\"block-container\">\n\t\t<h3 class=\"block-minorHeader\">Forum statistics</h3>\n\t\t<div class=\"block-body block-row\">\n"
      "\t\t\t<dl class=\"pairs pairs--justified\"><dt>Threads</dt><dd>" +
      std::to_string(model_->topics.size()) +
      "</dd></dl>\n"
      "\t\t\t<dl class=\"pairs pairs--justified\"><dt>Latest member</dt><dd>" +
      username(model_->members.back()) +
      "</dd></dl>\n"
      "\t\t</div>\n\t</div>\n</div>\n";
  return htmlPage(page(request, model_->title, "forum_list", "", "/", "", body));
}

Response XenForo2Board::forum(const Request& request, const ModelForum& f, int current) const {
  std::vector<const ModelTopic*> topics = model_->topicsOf(f.id);
  int pages = model_->forumPages(f.id);
  std::string headLinks;
  std::string nav = pageNav(forumUrl(f), current, pages, headLinks);
  std::string body =
      "\n\t<div class=\"p-body-header\">\n\t\t<div class=\"p-title \">\n\t\t\t<h1 class=\"p-title-value\">" +
      escapeHtml(f.name) + "</h1>\n\t\t\t<div class=\"p-title-pageAction\">\n\t\t\t\t<a href=\"" + forumUrl(f) +
      "post-thread\" class=\"button--cta button "
      "button--icon button--icon--write\" rel=\"nofollow\"><span class=\"button-text\">\n\t\t\t\tPost thread\n\t\t\t</span></a>\n"
      "\t\t\t</div>\n\t\t</div>\n\t\t<div class=\"p-description\">" +
      escapeHtml(f.description) + "</div>\n\t</div>\n\n";
  std::vector<const ModelForum*> subs = model_->subForums(f.id);
  if (!subs.empty()) {
    body += "<div class=\"block\">\n\t<div class=\"block-container\">\n\t\t<div class=\"block-body\">\n" +
            nodeList(subs, 1) + "\t\t</div>\n\t</div>\n</div>\n";
  }
  body +=
      "<div class=\"block \" data-xf-init=\"\" data-type=\"thread\" data-href=\"/inline-mod/\">\n\n\t<div class=\"block-outer\">" +
      nav +
      "</div>\n\n\t<div class=\"block-container\">\n\t\t<div class=\"block-filterBar\">\n\t\t\t<div class=\"filterBar\">\n"
      "\t\t\t\t<a class=\"filterBar-menuTrigger\" data-xf-click=\"menu\" role=\"button\" tabindex=\"0\" aria-expanded=\"false\" "
      "aria-haspopup=\"true\">Filters</a>\n\t\t\t\t<div class=\"menu menu--wide\" data-menu=\"menu\" aria-hidden=\"true\"\n"
      "\t\t\t\t\tdata-href=\"" +
      forumUrl(f) +
      "filters\"\n\t\t\t\t\tdata-load-target=\".js-filterMenuBody\">\n"
      "\t\t\t\t\t<div class=\"menu-content\">\n\t\t\t\t\t\t<h4 class=\"menu-header\">Show only:</h4>\n"
      "\t\t\t\t\t\t<div class=\"js-filterMenuBody\">\n\t\t\t\t\t\t\t<div class=\"menu-row\">Loading…</div>\n\t\t\t\t\t\t</div>\n"
      "\t\t\t\t\t</div>\n\t\t\t\t</div>\n\t\t\t</div>\n\t\t</div>\n\n"
      "\t\t<div class=\"block-body\">\n\t\t\t<div class=\"structItemContainer\">\n\t\t\t\t<div class=\"structItemContainer-group js-threadList\">\n";
  for (int i = current * model_->topicsPerPage;
       i < static_cast<int>(topics.size()) && i < (current + 1) * model_->topicsPerPage; ++i) {
    const ModelTopic& t = *topics[static_cast<std::size_t>(i)];
    const Post& first = t.posts.front();
    const Post& last = t.posts.back();
    std::string jump;
    int topicPages = model_->topicPages(t);
    for (int p = 1; p < topicPages; ++p) {
      jump += "\t\t\t\t<a href=\"" + threadUrl(t) + "page-" + std::to_string(p + 1) + "\">" + std::to_string(p + 1) +
              "</a>\n";
    }
    body +=
        "<div class=\"structItem structItem--thread js-inlineModContainer js-threadListItem-" + std::to_string(t.id) +
        "\" data-author=\"" + escapeHtml(first.author->name) +
        "\">\n\n\t<div class=\"structItem-cell structItem-cell--icon\">\n\t\t<div class=\"structItem-iconContainer\">\n"
        "\t\t\t" +
        avatar(*first.author, "s") +
        "\n\t\t</div>\n\t</div>\n\n"
        "\t<div class=\"structItem-cell structItem-cell--main\" data-xf-init=\"touch-proxy\">\n\t\t<div class=\"structItem-title\">\n"
        "\t\t\t<a href=\"" +
        threadUrl(t) + "\" class=\"\" data-tp-primary=\"on\" data-xf-init=\"preview-tooltip\" data-preview-url=\"" +
        threadUrl(t) + "preview\">" + escapeHtml(t.title) +
        "</a>\n\t\t</div>\n\n\t\t<div class=\"structItem-minor\">\n"
        "\t\t\t<ul class=\"structItem-parts\">\n\t\t\t\t<li>" +
        username(*first.author) +
        "</li>\n"
        "\t\t\t\t<li class=\"structItem-startDate\"><a href=\"" +
        threadUrl(t) + "\" rel=\"nofollow\">" + time(first.time) +
        "</a></li>\n"
        "\t\t\t</ul>\n" +
        (jump.empty() ? "" : "\t\t\t<span class=\"structItem-pageJump\">\n" + jump + "\t\t\t</span>\n") +
        "\t\t</div>\n\t</div>\n\t<div class=\"structItem-cell structItem-cell--meta\" title=\"First message reaction score: 0\">\n"
        "\t\t<dl class=\"pairs pairs--justified\"><dt>Replies</dt><dd>" +
        std::to_string(t.posts.size() - 1) +
        "</dd></dl>\n"
        "\t\t<dl class=\"pairs pairs--justified structItem-minor\"><dt>Views</dt><dd>" +
        std::to_string(t.views) +
        "</dd></dl>\n\t</div>\n"
        "\t<div class=\"structItem-cell structItem-cell--latest \">\n\t\t\t<a href=\"" +
        threadUrl(t) + "latest\" rel=\"nofollow\">" + time(last.time, "structItem-latestDate") +
        "</a>\n\t\t\t<div class=\"structItem-minor\">\n\t\t\t\t" + username(*last.author) +
        "\n\t\t\t</div>\n\t</div>\n\t<div class=\"structItem-cell structItem-cell--icon structItem-cell--iconEnd\">\n"
        "\t\t<div class=\"structItem-iconContainer\">\n\t\t\t" +
        avatar(*last.author, "xxs") + "\n\t\t</div>\n\t</div>\n</div>\n";
  }
  body +=
      "\t\t\t\t</div>\n\t\t\t</div>\n\t\t</div>\n\t</div>\n\n\t<div class=\"block-outer block-outer--after\">" + nav +
      "\n\t\t<div class=\"block-outer-opposite\">\n\t\t\t<a href=\"/login/\" class=\"button--link button--wrap button\" "
      "data-xf-click=\"overlay\"><span class=\"button-text\">\n\t\t\t\tYou must log in or register to post here.\n\t\t\t</span></a>\n"
      "\t\t</div>\n\t</div>\n</div>\n";
  std::string canonical = current == 0 ? forumUrl(f) : forumUrl(f) + "page-" + std::to_string(current + 1);
  return htmlPage(page(request,
                       f.name + (current > 0 ? " | Page " + std::to_string(current + 1) : "") + " | " + model_->title,
                       "forum_view", crumbsTo(f.id, false), canonical, headLinks, body));
}

Response XenForo2Board::thread(const Request& request, const ModelTopic& t, int current) const {
  int pages = model_->topicPages(t);
  std::string headLinks;
  std::string nav = pageNav(threadUrl(t), current, pages, headLinks);
  const Post& first = t.posts.front();
  PostMarkup markup;
  markup.link =
      "<a href=\"{href}\" target=\"_blank\" class=\"link link--external\" rel=\"nofollow ugc noopener\">{text}</a>";
  markup.smiley = std::string(
      "<img src=\"{src}\" class=\"smilie smilie--sprite smilie--sprite1\" alt=\":)\" title=\"Smile    :)\" loading=\"lazy\" "
      "data-shortname=\":)\" />");
  markup.smileySource = kBlankGif;
  markup.lineBreak = "<br />\n";
  markup.paragraphSeparator = "<br />\n<br />\n";
  markup.quote =
      "<blockquote data-attributes=\"member: 0\" data-quote=\"{who}\" data-source=\"post: {post}\"\n"
      "\tclass=\"bbCodeBlock bbCodeBlock--expandable bbCodeBlock--quote js-expandWatch\">\n\t\n\t\t<div class=\"bbCodeBlock-title\">\n"
      "\t\t\t\n\t\t\t\t<a href=\"/goto/post?id={post}\"\n\t\t\t\t\tclass=\"bbCodeBlock-sourceJump\"\n\t\t\t\t\trel=\"nofollow\"\n"
      "\t\t\t\t\tdata-xf-click=\"attribution\"\n\t\t\t\t\tdata-content-selector=\"#post-{post}\">{who} said:</a>\n\t\t\t\n\t\t</div>\n"
      "\t\n\t<div class=\"bbCodeBlock-content\">\n\t\t\n\t\t<div class=\"bbCodeBlock-expandContent js-expandContent \">\n\t\t\t{body}\n"
      "\t\t</div>\n\t\t<div class=\"bbCodeBlock-expandLink js-expandLink\"><a role=\"button\" tabindex=\"0\">Click to expand...</a></div>\n"
      "\t</div>\n</blockquote>";
  markup.code =
      "<div class=\"bbCodeBlock bbCodeBlock--screenLimited bbCodeBlock--code\">\n\t<div class=\"bbCodeBlock-title\">\n\t\tCode:\n\t</div>\n"
      "\t<div class=\"bbCodeBlock-content\" dir=\"ltr\">\n\t\t<pre class=\"bbCodeCode\" dir=\"ltr\" data-xf-init=\"code-block\" data-lang=\"\">"
      "<code>{code}</code></pre>\n\t</div>\n</div>";
  markup.itemOpen = "<li data-xf-list-type=\"ul\">";
  std::string body =
      "\n\t<div class=\"p-body-header\">\n\t\t<div class=\"p-title \">\n\t\t\t<h1 class=\"p-title-value\">" +
      escapeHtml(t.title) +
      "</h1>\n\t\t</div>\n\t\t<div class=\"p-description\">\n\t<ul class=\"listInline listInline--bullet\">\n\t\t<li>\n"
      "\t\t\t<i class=\"fa--xf far fa-user\" aria-hidden=\"true\" title=\"Thread starter\"></i>\n"
      "\t\t\t<span class=\"u-srOnly\">Thread starter</span>\n\n\t\t\t" +
      username(*first.author, " u-concealed") +
      "\n\t\t</li>\n"
      "\t\t<li>\n\t\t\t<i class=\"fa--xf far fa-clock\" aria-hidden=\"true\" title=\"Start date\"></i>\n"
      "\t\t\t<span class=\"u-srOnly\">Start date</span>\n\n\t\t\t<a href=\"" +
      threadUrl(t) + "\" class=\"u-concealed\">" + time(first.time) +
      "</a>\n\t\t</li>\n\t</ul>\n</div>\n\t</div>\n\n"
      "<div class=\"block block--messages\" data-xf-init=\"\" data-type=\"post\" data-href=\"/inline-mod/\" data-search-target=\"*\">\n"
      "\t<span class=\"u-anchorTarget\" id=\"posts\"></span>\n\n\t<div class=\"block-outer\"><div class=\"block-outer-main\">" +
      nav +
      "</div></div>\n\n\t<div class=\"block-outer js-threadStatusField\"></div>\n\n"
      "\t<div class=\"block-container lbContainer\"\n\t\tdata-xf-init=\"lightbox select-to-quote\"\n\t\tdata-message-selector=\".js-post\"\n"
      "\t\tdata-lb-id=\"thread-" +
      std::to_string(t.id) +
      "\"\n\t\tdata-lb-universal=\"0\">\n\n"
      "\t\t<div class=\"block-body js-replyNewMessageContainer\">\n";
  std::string threadAddress = origin(request) + threadUrl(t);
  for (int i = current * model_->postsPerPage;
       i < static_cast<int>(t.posts.size()) && i < (current + 1) * model_->postsPerPage; ++i) {
    const Post& p = t.posts[static_cast<std::size_t>(i)];
    const Member& m = *p.author;
    std::string pid = std::to_string(p.id);
    std::string permalink = threadUrl(t) + "post-" + pid;
    int memberPosts = model_->postsBy(*p.author);
    body +=
        "\n\t<article class=\"message message--post js-post js-inlineModContainer  \"\n\t\tdata-author=\"" +
        escapeHtml(m.name) + "\"\n\t\tdata-content=\"post-" + pid + "\"\n\t\tid=\"js-post-" + pid +
        "\"\n\t\titemscope itemtype=\"https://schema.org/Comment\" itemid=\"" + origin(request) + "/posts/" + pid +
        "/\">\n\n\t\t<meta itemprop=\"parentItem\" itemscope itemid=\"" + threadAddress +
        "\" />\n\n"
        "\t\t<span class=\"u-anchorTarget\" id=\"post-" +
        pid +
        "\"></span>\n\n\t\t<div class=\"message-inner\">\n"
        "\t\t\t<div class=\"message-cell message-cell--user\">\n\t\t\t\t<section class=\"message-user\"\n\t\t\t\t\titemprop=\"author\"\n"
        "\t\t\t\t\titemscope itemtype=\"https://schema.org/Person\"\n\t\t\t\t\titemid=\"" +
        origin(request) + memberUrl(m) +
        "\">\n\n"
        "\t\t\t\t\t<meta itemprop=\"url\" content=\"" +
        origin(request) + memberUrl(m) +
        "\" />\n\n"
        "\t\t\t\t\t<div class=\"message-avatar \">\n\t\t\t\t\t\t<div class=\"message-avatar-wrapper\">\n\t\t\t\t\t\t\t" +
        avatar(m, "m") +
        "\n\t\t\t\t\t\t</div>\n\t\t\t\t\t</div>\n\t\t\t\t\t<div class=\"message-userDetails\">\n"
        "\t\t\t\t\t\t<h4 class=\"message-name\"><a href=\"" +
        memberUrl(m) + "\" class=\"username \" dir=\"auto\" data-user-id=\"" + std::to_string(m.id) +
        "\" data-xf-init=\"member-tooltip\"><span itemprop=\"name\">" + escapeHtml(m.name) +
        "</span></a></h4>\n"
        "\t\t\t\t\t\t<h5 class=\"userTitle message-userTitle\" dir=\"auto\" itemprop=\"jobTitle\">Member</h5>\n\t\t\t\t\t</div>\n"
        "\t\t\t\t\t<div class=\"message-userExtras\">\n\t\t\t\t\t\t<dl class=\"pairs pairs--justified\">\n\t\t\t\t\t\t\t<dt>Joined</dt>\n"
        "\t\t\t\t\t\t\t<dd>" +
        shortDate(1704100000 + m.id * 86400LL) +
        "</dd>\n\t\t\t\t\t\t</dl>\n"
        "\t\t\t\t\t\t<dl class=\"pairs pairs--justified\">\n\t\t\t\t\t\t\t<dt>Messages</dt>\n\t\t\t\t\t\t\t<dd>" +
        std::to_string(memberPosts) +
        "</dd>\n\t\t\t\t\t\t</dl>\n\t\t\t\t\t</div>\n\t\t\t\t\t<span class=\"message-userArrow\"></span>\n\t\t\t\t</section>\n\t\t\t</div>\n"
        "\t\t\t<div class=\"message-cell message-cell--main\">\n\t\t\t\t<div class=\"message-main js-quickEditTarget\">\n\n"
        "\t\t\t\t\t<header class=\"message-attribution message-attribution--split\">\n"
        "\t\t\t\t\t\t<ul class=\"message-attribution-main listInline \">\n\t\t\t\t\t\t\t<li class=\"u-concealed\">\n"
        "\t\t\t\t\t\t\t\t<a href=\"" +
        permalink + "\" rel=\"nofollow\" itemprop=\"url\">\n\t\t\t\t\t\t\t\t\t" + time(p.time, "", true) +
        "\n\t\t\t\t\t\t\t\t</a>\n\t\t\t\t\t\t\t</li>\n\t\t\t\t\t\t</ul>\n\n"
        "\t\t\t\t\t\t<ul class=\"message-attribution-opposite message-attribution-opposite--list \">\n"
        "\t\t\t\t\t\t\t<li>\n\t\t\t\t\t\t\t\t<a href=\"" +
        permalink +
        "\"\n\t\t\t\t\t\t\t\t\tclass=\"message-attribution-gadget\"\n"
        "\t\t\t\t\t\t\t\t\tdata-xf-init=\"share-tooltip\"\n\t\t\t\t\t\t\t\t\tdata-href=\"/posts/" +
        pid +
        "/share\"\n"
        "\t\t\t\t\t\t\t\t\taria-label=\"Share\"\n\t\t\t\t\t\t\t\t\trel=\"nofollow\">\n"
        "\t\t\t\t\t\t\t\t\t<i class=\"fa--xf far fa-share-alt\" aria-hidden=\"true\"></i>\n\t\t\t\t\t\t\t\t</a>\n\t\t\t\t\t\t\t</li>\n"
        "\t\t\t\t\t\t\t<li>\n\t\t\t\t\t\t\t\t<a href=\"" +
        permalink + "\" rel=\"nofollow\">\n\t\t\t\t\t\t\t\t\t#" + std::to_string(i + 1) +
        "\n\t\t\t\t\t\t\t\t</a>\n\t\t\t\t\t\t\t</li>\n\t\t\t\t\t\t</ul>\n\t\t\t\t\t</header>\n\n"
        "\t\t\t\t\t<div class=\"message-content js-messageContent\">\n\t\t\t\t\t\t<div class=\"message-userContent lbContainer js-lbContainer \"\n"
        "\t\t\t\t\t\t\tdata-lb-id=\"post-" +
        pid + "\"\n\t\t\t\t\t\t\tdata-lb-caption-desc=\"" + escapeHtml(m.name) + " &middot; " + shortDate(p.time) +
        "\">\n\n\t\t\t\t\t\t\t<article class=\"message-body js-selectToQuote\">\n\t\t\t\t\t\t\t\t<div itemprop=\"text\">\n"
        "\t\t\t\t\t\t\t\t\t<div class=\"bbWrapper\">" +
        renderMessage(p, markup, t.id) +
        "</div>\n\t\t\t\t\t\t\t\t</div>\n"
        "\t\t\t\t\t\t\t\t<div class=\"js-selectToQuoteEnd\">&nbsp;</div>\n\t\t\t\t\t\t\t</article>\n\t\t\t\t\t\t</div>\n\t\t\t\t\t</div>\n\n"
        "\t\t\t\t\t<footer class=\"message-footer\">\n\t\t\t\t\t\t<div class=\"reactionsBar js-reactionsList \"></div>\n"
        "\t\t\t\t\t\t<div class=\"js-historyTarget message-historyTarget toggleTarget\" data-href=\"trigger-href\"></div>\n"
        "\t\t\t\t\t</footer>\n\t\t\t\t</div>\n\t\t\t</div>\n\t\t</div>\n\t</article>\n";
  }
  body +=
      "\t\t</div>\n\t</div>\n\n\t<div class=\"block-outer block-outer--after\">\n\t\t" + nav +
      "\n\t\t<div class=\"block-outer-opposite\">\n\t\t\t<a href=\"/login/\" class=\"button--link button--wrap button\" data-xf-click=\"overlay\">"
      "<span class=\"button-text\">\n\t\t\t\tYou must log in or register to reply here.\n\t\t\t</span></a>\n\t\t</div>\n\t</div>\n</div>\n";
  std::string canonical = current == 0 ? threadUrl(t) : threadUrl(t) + "page-" + std::to_string(current + 1);
  return htmlPage(page(request,
                       t.title + (current > 0 ? " | Page " + std::to_string(current + 1) : "") + " | " + model_->title,
                       "thread_view", crumbsTo(t.forum), canonical, headLinks, body));
}

// Splits "/threads/some-title.12/page-2" after `prefix` into the id (12), the
// slug and the rest ("page-2"); id 0 when the address has no such shape.
struct PathParts {
  long id = 0;
  std::string slug;
  std::string rest;
};

PathParts splitPath(const std::string& path, const std::string& prefix) {
  PathParts parts;
  if (!path.starts_with(prefix)) return parts;
  std::string tail = path.substr(prefix.size());
  std::size_t slash = tail.find('/');
  std::string head = tail.substr(0, slash);
  parts.rest = slash == std::string::npos ? "" : tail.substr(slash + 1);
  std::size_t dot = head.rfind('.');
  std::string number = dot == std::string::npos ? head : head.substr(dot + 1);
  parts.slug = dot == std::string::npos ? "" : head.substr(0, dot);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return parts;
  parts.id = std::stol(number);
  return parts;
}

int pageNumber(const std::string& rest) {
  if (!rest.starts_with("page-")) return 0;
  std::string number = rest.substr(5);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoi(number) - 1;
}

Response XenForo2Board::serve(const Request& request) const {
  const std::string& path = request.path;
  Response response;
  if (path == "/" || path == "/index.php") {
    response = index(request);
  } else if (path.starts_with("/forums/") && path != "/forums/-/index.rss") {
    PathParts parts = splitPath(path, "/forums/");
    const ModelForum* f = model_->forum(parts.id);
    if (f == nullptr) return Response::notFound();
    if (parts.slug != f->slug) return Response::redirect(forumUrl(*f) + parts.rest);
    if (parts.rest == "post-thread") {
      response = htmlPage(page(request, "Log in | " + model_->title, "login", "", "", "",
                               "<div class=\"blockMessage\">You must be logged in to do that.</div>"));
    } else {
      int current = pageNumber(parts.rest);
      if (current < 0 || current >= model_->forumPages(f->id)) return Response::notFound();
      response = forum(request, *f, current);
    }
  } else if (path.starts_with("/threads/")) {
    PathParts parts = splitPath(path, "/threads/");
    const ModelTopic* t = model_->topic(parts.id);
    if (t == nullptr) return Response::notFound();
    if (parts.slug != t->slug) return Response::redirect(threadUrl(*t) + parts.rest);
    if (parts.rest == "latest" || parts.rest.starts_with("post-")) {
      std::size_t index = t->posts.size() - 1;
      if (parts.rest != "latest") {
        auto [holder, post] = model_->post(std::atol(parts.rest.c_str() + 5));
        if (holder != t) return Response::notFound();
        index = static_cast<std::size_t>(post - t->posts.data());
      }
      int p = model_->pageOfPost(index);
      Response moved =
          Response::redirect(origin(request) + threadUrl(*t) + (p == 0 ? "" : "page-" + std::to_string(p + 1)) +
                             "#post-" + std::to_string(t->posts[index].id));
      moved.status = 301;
      moved.reason = "Moved Permanently";
      return moved;
    }
    int current = pageNumber(parts.rest);
    if (current < 0 || current >= model_->topicPages(*t)) return Response::notFound();
    response = thread(request, *t, current);
  } else if (path == "/goto/post") {
    auto [holder, post] = model_->post(request.number("id"));
    if (holder == nullptr) return Response::notFound();
    return Response::redirect(threadUrl(*holder) + "post-" + std::to_string(post->id));
  } else if (path.starts_with("/members/") || path.starts_with("/whats-new/") || path == "/login/" ||
             path == "/register/" || path == "/search/" || path == "/misc/contact" || path.starts_with("/help/") ||
             path == "/forums/-/index.rss") {
    response = htmlPage(
        page(request, model_->title, "page", "", "", "", "<div class=\"blockMessage\">Nothing to archive here.</div>"));
  } else if (path.starts_with("/styles/")) {
    return pictureResponse();
  } else {
    return Response::notFound();
  }
  response.headers.emplace_back("Set-Cookie", "xf_csrf=0a1b2c3d4e5f6071; path=/; secure");
  return response;
}

}  // namespace

Handler makeXenForo2Board(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<XenForo2Board>(std::move(model));
  return [board](const Request& request) { return board->serve(request); };
}

}  // namespace quillstash::demo
