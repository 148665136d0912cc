// SPDX-License-Identifier: MIT
// The board as phpBB 3.3 shows it to a guest with the prosilver style, after
// styles/prosilver/template/overall_header.html, overall_footer.html,
// index_body.html, forumlist_body.html, viewforum_body.html,
// viewtopic_body.html, attachment.html, pagination.html, jumpbox.html and
// bbcode.html; attachments download from download/file.php?id=N.
// A guest whose client sends no cookie back gets "sid=" on every link.
#include <atomic>
#include <memory>
#include <string>

#include "engine_board.h"

namespace quillstash::demo {
namespace {

const char* const kCookie = "phpbb3_lk";

class Phpbb3Board {
 public:
  explicit Phpbb3Board(std::shared_ptr<const BoardModel> model) : model_(std::move(model)) {}
  Response serve(const Request& request);

 private:
  struct View {
    const Request& request;
    std::string sid;   // empty when the client keeps the session cookie
    std::string root;  // "./", or "./../../" on the pages of the app.php front controller
  };

  std::string url(const View& view, const std::string& script, const std::string& params = "") const;
  std::string page(const View& view, const std::string& title, const std::string& section, const std::string& crumbs,
                   const std::string& canonical, const std::string& body) const;
  std::string crumbsTo(const View& view, int forumId) const;
  std::string member(const View& view, const Member& member) const;
  std::string attachbox(const View& view, const Post& post) const;
  std::string forumList(const View& view, const std::vector<const ModelForum*>& forums, const std::string& heading,
                        const std::string& headingUrl) const;
  std::string jumpbox(const View& view, const std::string& returnLink) const;
  std::string pagination(const View& view, const std::string& base, int current, int pages, int perPage) const;
  Response index(const View& view) const;
  Response forum(const View& view) const;
  Response topic(const View& view) const;

  std::shared_ptr<const BoardModel> model_;
  std::atomic<unsigned long long> visits_{0};
};

std::string Phpbb3Board::url(const View& view, const std::string& script, const std::string& params) const {
  std::string out = view.root + script;
  std::string query = params;
  if (!view.sid.empty()) query += (query.empty() ? "" : "&amp;") + std::string("sid=") + view.sid;
  return query.empty() ? out : out + "?" + query;
}

std::string Phpbb3Board::member(const View& view, const Member& member) const {
  return "<a href=\"" + url(view, "memberlist.php", "mode=viewprofile&amp;u=" + std::to_string(member.id)) +
         "\" class=\"username\">" + escapeHtml(member.name) + "</a>";
}

std::string Phpbb3Board::page(const View& view, const std::string& title, const std::string& section,
                              const std::string& crumbs, const std::string& canonical, const std::string& body) const {
  std::string index = url(view, "index.php");
  std::string search = url(view, "search.php");
  std::string out =
      "<!DOCTYPE html>\n<html dir=\"ltr\" lang=\"en-gb\">\n<head>\n<meta charset=\"utf-8\" />\n"
      "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\n\n<title>" +
      escapeHtml(title) + "</title>\n\n";
  if (!canonical.empty()) out += "\t<link rel=\"canonical\" href=\"" + canonical + "\">\n";
  out +=
      "<link href=\"./assets/css/font-awesome.min.css?assets_version=6\" rel=\"stylesheet\">\n"
      "<link href=\"./styles/prosilver/theme/stylesheet.css?assets_version=6\" rel=\"stylesheet\">\n"
      "<link href=\"./styles/prosilver/theme/en/stylesheet.css?assets_version=6\" rel=\"stylesheet\">\n"
      "</head>\n<body id=\"phpbb\" class=\"nojs notouch section-" +
      section +
      " ltr \">\n\n"
      "<div id=\"wrap\" class=\"wrap\">\n\t<a id=\"top\" class=\"top-anchor\" accesskey=\"t\"></a>\n"
      "\t<div id=\"page-header\">\n\t\t<div class=\"headerbar\" role=\"banner\">\n\t\t\t<div class=\"inner\">\n"
      "\t\t\t<div id=\"site-description\" class=\"site-description\">\n"
      "\t\t\t\t<a id=\"logo\" class=\"logo\" href=\"" +
      index +
      "\" title=\"Board index\"><span class=\"site_logo\"></span></a>\n"
      "\t\t\t\t<h1>" +
      escapeHtml(model_->title) +
      "</h1>\n\t\t\t\t<p>A board for the keepers of small lights</p>\n"
      "\t\t\t\t<p class=\"skiplink\"><a href=\"#start_here\">Skip to content</a></p>\n\t\t\t</div>\n"
      "\t\t\t<div id=\"search-box\" class=\"search-box search-header\" role=\"search\">\n"
      "\t\t\t\t<form action=\"" +
      search +
      "\" method=\"get\" id=\"search\">\n\t\t\t\t<fieldset>\n"
      "\t\t\t\t\t<input name=\"keywords\" id=\"keywords\" type=\"search\" maxlength=\"128\" title=\"Search for keywords\" "
      "class=\"inputbox search tiny\" size=\"20\" value=\"\" placeholder=\"Search…\" />\n"
      "\t\t\t\t\t<button class=\"button button-search\" type=\"submit\" title=\"Search\"><i class=\"icon fa-search fa-fw\" "
      "aria-hidden=\"true\"></i><span class=\"sr-only\">Search</span></button>\n"
      "\t\t\t\t\t<a href=\"" +
      search +
      "\" class=\"button button-search-end\" title=\"Advanced search\"><i class=\"icon fa-cog fa-fw\" "
      "aria-hidden=\"true\"></i><span class=\"sr-only\">Advanced search</span></a>\n" +
      (view.sid.empty() ? "" : "\t\t\t\t\t<input type=\"hidden\" name=\"sid\" value=\"" + view.sid + "\" />\n") +
      "\t\t\t\t</fieldset>\n\t\t\t\t</form>\n\t\t\t</div>\n\t\t\t</div>\n\t\t</div>\n"
      "\t\t<div class=\"navbar\" role=\"navigation\">\n\t<div class=\"inner\">\n"
      "\t<ul id=\"nav-main\" class=\"nav-main linklist\" role=\"menubar\">\n"
      "\t\t<li id=\"quick-links\" class=\"quick-links dropdown-container responsive-menu\" data-skip-responsive=\"true\">\n"
      "\t\t\t<a href=\"#\" class=\"dropdown-trigger\"><i class=\"icon fa-bars fa-fw\" aria-hidden=\"true\"></i><span>Quick links</span></a>\n"
      "\t\t\t<div class=\"dropdown\">\n\t\t\t\t<div class=\"pointer\"><div class=\"pointer-inner\"></div></div>\n"
      "\t\t\t\t<ul class=\"dropdown-contents\" role=\"menu\">\n\t\t\t\t\t<li class=\"separator\"></li>\n"
      "\t\t\t\t\t<li><a href=\"" +
      url(view, "search.php", "search_id=unanswered") +
      "\" role=\"menuitem\"><i class=\"icon fa-file-o fa-fw icon-gray\" "
      "aria-hidden=\"true\"></i><span>Unanswered topics</span></a></li>\n"
      "\t\t\t\t\t<li><a href=\"" +
      url(view, "search.php", "search_id=active_topics") +
      "\" role=\"menuitem\"><i class=\"icon fa-file-o fa-fw icon-blue\" "
      "aria-hidden=\"true\"></i><span>Active topics</span></a></li>\n\t\t\t\t\t<li class=\"separator\"></li>\n"
      "\t\t\t\t\t<li><a href=\"" +
      search +
      "\" role=\"menuitem\"><i class=\"icon fa-search fa-fw\" aria-hidden=\"true\"></i><span>Search</span></a></li>\n"
      "\t\t\t\t</ul>\n\t\t\t</div>\n\t\t</li>\n"
      "\t\t<li data-skip-responsive=\"true\"><a href=\"" +
      url(view, "app.php/help/faq") +
      "\" rel=\"help\" title=\"Frequently Asked Questions\" "
      "role=\"menuitem\"><i class=\"icon fa-question-circle fa-fw\" aria-hidden=\"true\"></i><span>FAQ</span></a></li>\n"
      "\t\t<li class=\"rightside\"  data-skip-responsive=\"true\"><a href=\"" +
      url(view, "ucp.php", "mode=login&amp;redirect=index.php") +
      "\" title=\"Login\" accesskey=\"x\" role=\"menuitem\"><i class=\"icon fa-power-off fa-fw\" aria-hidden=\"true\"></i><span>Login</span></a></li>\n"
      "\t\t<li class=\"rightside\" data-skip-responsive=\"true\"><a href=\"" +
      url(view, "ucp.php", "mode=register") +
      "\" role=\"menuitem\"><i class=\"icon fa-pencil-square-o  fa-fw\" aria-hidden=\"true\"></i><span>Register</span></a></li>\n\t</ul>\n\n"
      "\t<ul id=\"nav-breadcrumbs\" class=\"nav-breadcrumbs linklist navlinks\" role=\"menubar\">\n"
      "\t\t<li class=\"breadcrumbs\" itemscope itemtype=\"https://schema.org/BreadcrumbList\">\n"
      "\t\t\t<span class=\"crumb\" itemtype=\"https://schema.org/ListItem\" itemprop=\"itemListElement\" itemscope><a itemprop=\"item\" href=\"" +
      index +
      "\" accesskey=\"h\" data-navbar-reference=\"index\"><i class=\"icon fa-home fa-fw\"></i><span itemprop=\"name\">Board index</span></a>"
      "<meta itemprop=\"position\" content=\"1\" /></span>\n" +
      crumbs +
      "\t\t</li>\n\t</ul>\n\t</div>\n</div>\n\t</div>\n\n\t<a id=\"start_here\" class=\"anchor\"></a>\n"
      "\t<div id=\"page-body\" class=\"page-body\" role=\"main\">\n\n" +
      body +
      "\t</div>\n\n<div id=\"page-footer\" class=\"page-footer\" role=\"contentinfo\">\n\t<div class=\"navbar\" role=\"navigation\">\n"
      "\t<div class=\"inner\">\n\t<ul id=\"nav-footer\" class=\"nav-footer linklist\" role=\"menubar\">\n"
      "\t\t<li class=\"breadcrumbs\"><span class=\"crumb\"><a href=\"" +
      index +
      "\" data-navbar-reference=\"index\"><i class=\"icon fa-home fa-fw\" "
      "aria-hidden=\"true\"></i><span>Board index</span></a></span></li>\n"
      "\t\t<li class=\"rightside\">All times are <span title=\"UTC\">UTC</span></li>\n"
      "\t\t<li class=\"rightside\"><a href=\"" +
      url(view, "ucp.php", "mode=delete_cookies") +
      "\" data-ajax=\"true\" data-refresh=\"true\" "
      "role=\"menuitem\"><i class=\"icon fa-trash fa-fw\" aria-hidden=\"true\"></i><span>Delete cookies</span></a></li>\n"
      "\t\t<li class=\"rightside\" data-last-responsive=\"true\"><a href=\"" +
      url(view, "memberlist.php", "mode=team") +
      "\" role=\"menuitem\"><i class=\"icon fa-shield fa-fw\" aria-hidden=\"true\"></i><span>The team</span></a></li>\n"
      "\t\t<li class=\"rightside\" data-last-responsive=\"true\"><a href=\"" +
      url(view, "memberlist.php", "mode=contactadmin") +
      "\" role=\"menuitem\"><i class=\"icon fa-envelope fa-fw\" aria-hidden=\"true\"></i><span>Contact us</span></a></li>\n"
      "\t</ul>\n\t</div>\n</div>\n\n\t<div class=\"copyright\">\n"
      "\t\t<p class=\"footer-row\"><span class=\"footer-copyright\">Powered by <a href=\"https://www.phpbb.com/\">phpBB</a>&reg; Forum Software "
      "&copy; phpBB Limited</span></p>\n"
      "\t\t<p class=\"footer-row\" role=\"menu\"><a class=\"footer-link\" href=\"" +
      url(view, "ucp.php", "mode=privacy") +
      "\" title=\"Privacy\" role=\"menuitem\"><span class=\"footer-link-text\">Privacy</span></a> | <a class=\"footer-link\" href=\"" +
      url(view, "ucp.php", "mode=terms") +
      "\" title=\"Terms\" role=\"menuitem\"><span class=\"footer-link-text\">Terms</span></a></p>\n"
      "\t</div>\n</div>\n\n</div>\n\n<div id=\"darkenwrapper\" class=\"darkenwrapper\" data-ajax-error-title=\"AJAX error\"></div>\n"
      "<script src=\"./assets/javascript/core.js?assets_version=6\"></script>\n</body>\n</html>\n";
  return out;
}

std::string Phpbb3Board::crumbsTo(const View& view, int forumId) const {
  std::vector<std::pair<int, std::string>> chain;  // id, name, from the forum up to its category
  for (const ModelForum* f = model_->forum(forumId); f != nullptr; f = model_->forum(f->parent)) {
    chain.emplace_back(f->id, f->name);
    if (f->parent == 0) {
      const Category* c = model_->category(f->category);
      chain.emplace_back(c->id, c->name);
    }
  }
  if (const Category* c = model_->category(forumId)) chain.emplace_back(c->id, c->name);
  std::string out;
  int position = 2;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it, ++position) {
    std::string id = std::to_string(it->first);
    out +=
        "\t\t\t<span class=\"crumb\" itemtype=\"https://schema.org/ListItem\" itemprop=\"itemListElement\" itemscope data-forum-id=\"" +
        id + "\"><a itemprop=\"item\" href=\"" + url(view, "viewforum.php", "f=" + id) + "\"><span itemprop=\"name\">" +
        escapeHtml(it->second) + "</span></a><meta itemprop=\"position\" content=\"" + std::to_string(position) +
        "\" /></span>\n";
  }
  return out;
}

std::string Phpbb3Board::forumList(const View& view, const std::vector<const ModelForum*>& forums,
                                   const std::string& heading, const std::string& headingUrl) const {
  std::string out =
      "\t\t<div class=\"forabg\">\n\t\t\t<div class=\"inner\">\n\t\t\t<ul class=\"topiclist\">\n\t\t\t\t<li class=\"header\">\n"
      "\t\t\t\t\t<dl class=\"row-item\">\n\t\t\t\t\t\t<dt><div class=\"list-inner\">" +
      (headingUrl.empty() ? heading : "<a href=\"" + headingUrl + "\">" + escapeHtml(heading) + "</a>") +
      "</div></dt>\n\t\t\t\t\t\t<dd class=\"topics\">Topics</dd>\n\t\t\t\t\t\t<dd class=\"posts\">Posts</dd>\n"
      "\t\t\t\t\t\t<dd class=\"lastpost\"><span>Last post</span></dd>\n\t\t\t\t\t</dl>\n\t\t\t\t</li>\n\t\t\t</ul>\n"
      "\t\t\t<ul class=\"topiclist forums\">\n";
  for (const ModelForum* f : forums) {
    std::string id = std::to_string(f->id);
    std::string subforums;
    for (const ModelForum* sub : model_->subForums(f->id)) {
      subforums +=
          (subforums.empty() ? "" : ", ") + std::string("<a href=\"") +
          url(view, "viewforum.php", "f=" + std::to_string(sub->id)) +
          "\" class=\"subforum read\" title=\"No unread posts\">\n\t\t\t\t\t\t\t\t\t<i class=\"icon fa-file-o fa-fw  icon-blue icon-md\" "
          "aria-hidden=\"true\"></i>" +
          escapeHtml(sub->name) + "</a>";
    }
    const Post* last = model_->lastPost(f->id);
    const ModelTopic* lastTopic = model_->post(last->id).first;
    std::string lastUrl = url(view, "viewtopic.php", "p=" + std::to_string(last->id)) + "#p" + std::to_string(last->id);
    out +=
        "\t\t<li class=\"row\">\n\t\t\t<dl class=\"row-item forum_read_subforum\">\n\t\t\t\t<dt title=\"No unread posts\">\n"
        "\t\t\t\t\t<div class=\"list-inner\">\n\t\t\t\t\t\t<a href=\"" +
        url(view, "viewforum.php", "f=" + id) + "\" class=\"forumtitle\">" + escapeHtml(f->name) +
        "</a>\n\t\t\t\t\t\t<br />" + escapeHtml(f->description) + "\n" +
        (subforums.empty() ? ""
                           : "\t\t\t\t\t\t\t<br /><strong>Subforum:</strong>\n\t\t\t\t\t\t\t\t" + subforums + "\n") +
        "\t\t\t\t\t\t<div class=\"responsive-show\" style=\"display: none;\">\n\t\t\t\t\t\t\t\tTopics: <strong>" +
        std::to_string(model_->topicCount(f->id)) +
        "</strong>\n\t\t\t\t\t\t</div>\n\t\t\t\t\t</div>\n\t\t\t\t</dt>\n"
        "\t\t\t\t\t<dd class=\"topics\">" +
        std::to_string(model_->topicCount(f->id)) +
        " <dfn>Topics</dfn></dd>\n"
        "\t\t\t\t\t<dd class=\"posts\">" +
        std::to_string(model_->postCount(f->id)) +
        " <dfn>Posts</dfn></dd>\n"
        "\t\t\t\t\t<dd class=\"lastpost\">\n\t\t\t\t\t\t<span>\n\t\t\t\t\t\t\t<dfn>Last post</dfn>\n"
        "\t\t\t\t\t\t\t<a href=\"" +
        lastUrl + "\" title=\"Re: " + escapeHtml(lastTopic->title) +
        "\" class=\"lastsubject\">Re: " + escapeHtml(lastTopic->title) + "</a> <br />\n\t\t\t\t\t\t\tby " +
        member(view, *last->author) +
        "\n"
        "\t\t\t\t\t\t\t<a href=\"" +
        lastUrl +
        "\" title=\"View the latest post\">\n"
        "\t\t\t\t\t\t\t\t<i class=\"icon fa-external-link-square fa-fw icon-lightgray icon-md\" aria-hidden=\"true\"></i>"
        "<span class=\"sr-only\">View the latest post</span>\n\t\t\t\t\t\t\t</a>\n"
        "\t\t\t\t\t\t\t<br /><time datetime=\"" +
        isoTime(last->time) + "\">" + longTime(last->time) +
        "</time>\n"
        "\t\t\t\t\t\t</span>\n\t\t\t\t\t</dd>\n\t\t\t</dl>\n\t\t</li>\n";
  }
  return out + "\t\t\t</ul>\n\n\t\t\t</div>\n\t\t</div>\n";
}

std::string Phpbb3Board::jumpbox(const View& view, const std::string& returnLink) const {
  std::string items;
  for (const Category& c : model_->categories) {
    items += "\t\t\t\t<li><a href=\"" + url(view, "viewforum.php", "f=" + std::to_string(c.id)) +
             "\" class=\"jumpbox-cat-link\"> <span> " + escapeHtml(c.name) + "</span></a></li>\n";
    for (const ModelForum* f : model_->forumsIn(c.id)) {
      items += "\t\t\t\t<li><a href=\"" + url(view, "viewforum.php", "f=" + std::to_string(f->id)) +
               "\" class=\"jumpbox-sub-link\"><span class=\"spacer\"></span> <span>&#8627; &nbsp; " +
               escapeHtml(f->name) + "</span></a></li>\n";
      for (const ModelForum* sub : model_->subForums(f->id)) {
        items +=
            "\t\t\t\t<li><a href=\"" + url(view, "viewforum.php", "f=" + std::to_string(sub->id)) +
            "\" class=\"jumpbox-sub-link\"><span class=\"spacer\"></span><span class=\"spacer\"></span> <span>&#8627; &nbsp; " +
            escapeHtml(sub->name) + "</span></a></li>\n";
      }
    }
  }
  return "<div class=\"action-bar actions-jump\">\n" + returnLink +
         "\t<div class=\"jumpbox dropdown-container dropdown-container-right dropdown-up dropdown-left dropdown-button-control\" id=\"jumpbox\">\n"
         "\t\t\t<span title=\"Jump to\" class=\"button button-secondary dropdown-trigger dropdown-select\">\n\t\t\t\t<span>Jump to</span>\n"
         "\t\t\t\t<span class=\"caret\"><i class=\"icon fa-sort-down fa-fw\" aria-hidden=\"true\"></i></span>\n\t\t\t</span>\n"
         "\t\t<div class=\"dropdown\">\n\t\t\t<div class=\"pointer\"><div class=\"pointer-inner\"></div></div>\n"
         "\t\t\t<ul class=\"dropdown-contents\">\n" +
         items + "\t\t\t</ul>\n\t\t</div>\n\t</div>\n\n</div>\n";
}

std::string Phpbb3Board::pagination(const View& view, const std::string& base, int current, int pages,
                                    int perPage) const {
  PagerMarkup markup{
      "<ul>\n",
      "</ul>\n",
      "\t\t<li class=\"arrow previous\"><a class=\"button button-icon-only\" href=\"{url}\" rel=\"prev\" role=\"button\"><i class=\"icon "
      "fa-chevron-left fa-fw\" aria-hidden=\"true\"></i><span class=\"sr-only\">Previous</span></a></li>\n",
      "\t\t<li><a class=\"button\" href=\"{url}\" role=\"button\">{number}</a></li>\n",
      "\t<li class=\"active\"><span>{number}</span></li>\n",
      "\t\t<li class=\"arrow next\"><a class=\"button button-icon-only\" href=\"{url}\" rel=\"next\" role=\"button\"><i class=\"icon "
      "fa-chevron-right fa-fw\" aria-hidden=\"true\"></i><span class=\"sr-only\">Next</span></a></li>\n"};
  (void)view;
  return renderPager(current, pages, markup,
                     [&](int p) { return p == 0 ? base : base + "&amp;start=" + std::to_string(p * perPage); });
}

Response Phpbb3Board::index(const View& view) const {
  std::size_t totalPosts = model_->totalPosts();
  std::string body =
      "<p class=\"right responsive-center time\">It is currently " + longTime(1717200000) +
      "</p>\n\n"
      "\t<div class=\"action-bar compact\">\n\t\t<a href=\"" +
      url(view, "index.php", "hash=3f1e2d4c&amp;mark=forums&amp;mark_time=1717200000") +
      "\" class=\"mark-read rightside\" accesskey=\"m\" data-ajax=\"mark_forums_read\">Mark forums read</a>\n\t</div>\n\n";
  for (const Category& c : model_->categories) {
    body += forumList(view, model_->forumsIn(c.id), c.name, url(view, "viewforum.php", "f=" + std::to_string(c.id)));
  }
  body +=
      "\n\t<form method=\"post\" action=\"" + url(view, "ucp.php", "mode=login") +
      "\" class=\"headerspace\">\n"
      "\t<h3><a href=\"" +
      url(view, "ucp.php", "mode=login&amp;redirect=index.php") + "\">Login</a>&nbsp; &bull; &nbsp;<a href=\"" +
      url(view, "ucp.php", "mode=register") +
      "\">Register</a></h3>\n\t\t<fieldset class=\"quick-login\">\n"
      "\t\t\t<label for=\"username\"><span>Username:</span> <input type=\"text\" tabindex=\"1\" name=\"username\" id=\"username\" size=\"10\" "
      "class=\"inputbox\" title=\"Username\" autocomplete=\"username\" /></label>\n"
      "\t\t\t<label for=\"password\"><span>Password:</span> <input type=\"password\" tabindex=\"2\" name=\"password\" id=\"password\" size=\"10\" "
      "class=\"inputbox\" title=\"Password\" autocomplete=\"current-password\" /></label>\n"
      "\t\t\t<input type=\"submit\" tabindex=\"5\" name=\"login\" value=\"Login\" class=\"button2\" />\n"
      "\t\t\t<input type=\"hidden\" name=\"redirect\" value=\"./index.php\" />\n\t\t</fieldset>\n\t</form>\n\n"
      "\t<div class=\"stat-block online-list\">\n\t\t<h3><a href=\"" +
      url(view, "viewonline.php") +
      "\">Who is online</a></h3>\n"
      "\t\t<p>In total there is <strong>1</strong> user online :: 0 registered, 0 hidden and 1 guest</p>\n\t</div>\n"
      "\t<div class=\"stat-block statistics\">\n\t\t<h3>Statistics</h3>\n\t\t<p>Total posts <strong>" +
      std::to_string(totalPosts) + "</strong> &bull; Total topics <strong>" + std::to_string(model_->topics.size()) +
      "</strong> &bull; Total members <strong>" + std::to_string(model_->members.size()) +
      "</strong> &bull; Our newest member <strong>" + member(view, model_->members.back()) +
      "</strong></p>\n\t</div>\n";
  return htmlPage(page(view, model_->title + " - Index page", "index", "", "", body));
}

Response Phpbb3Board::forum(const View& view) const {
  long id = view.request.number("f");
  std::string canonicalBase = origin(view.request) + "/viewforum.php?f=" + std::to_string(id);
  if (const Category* c = model_->category(id)) {
    std::string body =
        "<h2 class=\"forum-title\"><a href=\"" + url(view, "viewforum.php", "f=" + std::to_string(id)) + "\">" +
        escapeHtml(c->name) + "</a></h2>\n\n" + forumList(view, model_->forumsIn(c->id), "Forum", "") +
        jumpbox(
            view,
            "\t<p class=\"jumpbox-return\">\n\t\t<a href=\"" + url(view, "index.php") +
                "\" class=\"left-box arrow-left\" accesskey=\"r\">\n\t\t\t<i class=\"icon fa-angle-left fa-fw icon-black\" "
                "aria-hidden=\"true\"></i><span>Return to Board Index</span>\n\t\t</a>\n\t</p>\n");
    return htmlPage(
        page(view, model_->title + " - " + c->name, "viewforum", crumbsTo(view, c->id), canonicalBase, body));
  }
  const ModelForum* f = model_->forum(id);
  if (f == nullptr) return Response::notFound();
  std::vector<const ModelTopic*> topics = model_->topicsOf(f->id);
  int pages = model_->forumPages(f->id);
  int current = static_cast<int>(view.request.number("start") / model_->topicsPerPage);
  if (current >= pages) current = pages - 1;
  if (current < 0) current = 0;
  std::string forumUrl = url(view, "viewforum.php", "f=" + std::to_string(f->id));
  std::string pager = pagination(view, forumUrl, current, pages, model_->topicsPerPage);
  std::string pageNumber =
      "Page <strong>" + std::to_string(current + 1) + "</strong> of <strong>" + std::to_string(pages) + "</strong>";
  std::string actionBar =
      "\t<a href=\"" + url(view, "posting.php", "mode=post&amp;f=" + std::to_string(f->id)) +
      "\" class=\"button\" title=\"Post a new topic\">\n\t\t\t<span>New Topic</span> <i class=\"icon fa-pencil fa-fw\" "
      "aria-hidden=\"true\"></i>\n\t\t</a>\n\t<div class=\"pagination\">\n\t\t" +
      std::to_string(topics.size()) + " topics\n\t\t" + (pager.empty() ? "&bull; " + pageNumber + "\n" : pager) +
      "\t</div>\n";
  std::string body =
      "<h2 class=\"forum-title\"><a href=\"" + forumUrl + "\">" + escapeHtml(f->name) +
      "</a></h2>\n"
      "<div>\n\t<!-- NOTE: remove the style=\"display: none\" when you want to have the forum description on the forum body -->\n"
      "\t<div style=\"display: none !important;\">" +
      escapeHtml(f->description) + "<br /></div>\t</div>\n\n";
  std::vector<const ModelForum*> subs = model_->subForums(f->id);
  if (!subs.empty()) body += forumList(view, subs, "Forum", "");
  body +=
      "\t<div class=\"action-bar bar-top\">\n" + actionBar +
      "\t\t<div class=\"search-box\" role=\"search\">\n\t\t\t<form method=\"get\" id=\"forum-search\" action=\"" +
      url(view, "search.php") +
      "\">\n\t\t\t<fieldset>\n\t\t\t\t<input class=\"inputbox search tiny\" type=\"search\" name=\"keywords\" id=\"search_keywords\" size=\"20\" "
      "placeholder=\"Search this forum…\" />\n\t\t\t\t<input type=\"hidden\" name=\"fid[0]\" value=\"" +
      std::to_string(f->id) +
      "\" />\n\t\t\t</fieldset>\n\t\t\t</form>\n\t\t</div>\n\t</div>\n\n"
      "\t\t<div class=\"forumbg\">\n\t\t<div class=\"inner\">\n\t\t<ul class=\"topiclist\">\n\t\t\t<li class=\"header\">\n"
      "\t\t\t\t<dl class=\"row-item\">\n\t\t\t\t\t<dt><div class=\"list-inner\">Topics</div></dt>\n"
      "\t\t\t\t\t<dd class=\"posts\">Replies</dd>\n\t\t\t\t\t<dd class=\"views\">Views</dd>\n"
      "\t\t\t\t\t<dd class=\"lastpost\"><span>Last post</span></dd>\n\t\t\t\t</dl>\n\t\t\t</li>\n\t\t</ul>\n"
      "\t\t<ul class=\"topiclist topics\">\n\n";
  for (int i = current * model_->topicsPerPage;
       i < static_cast<int>(topics.size()) && i < (current + 1) * model_->topicsPerPage; ++i) {
    const ModelTopic& t = *topics[static_cast<std::size_t>(i)];
    const Post& first = t.posts.front();
    const Post& last = t.posts.back();
    std::string topicUrl = url(view, "viewtopic.php", "t=" + std::to_string(t.id));
    std::string miniPager;
    int topicPages = model_->topicPages(t);
    for (int p = 0; p < topicPages && topicPages > 1; ++p) {
      miniPager += "<li><a class=\"button\" href=\"" +
                   (p == 0 ? topicUrl : topicUrl + "&amp;start=" + std::to_string(p * model_->postsPerPage)) + "\">" +
                   std::to_string(p + 1) + "</a></li>";
    }
    bool unread = i == 0;  // the newest topic shows its "first unread post" link to a guest with read marking on
    body +=
        "\t\t<li class=\"row bg" + std::to_string(i % 2 + 1) + "\">\n\t\t\t<dl class=\"row-item topic_" +
        (unread ? "unread" : "read") +
        "\">\n"
        "\t\t\t\t<dt title=\"" +
        (unread ? "Unread posts" : "No unread posts") + "\">\n" +
        (unread
             ? "\t\t\t\t\t<a href=\"" + url(view, "viewtopic.php", "t=" + std::to_string(t.id) + "&amp;view=unread") +
                   "#unread\" class=\"row-item-link\"></a>\n"
             : "") +
        "\t\t\t\t\t<div class=\"list-inner\">\n" +
        (unread
             ? "\t\t\t\t\t\t<a class=\"unread\" href=\"" +
                   url(view, "viewtopic.php", "t=" + std::to_string(t.id) + "&amp;view=unread") +
                   "#unread\">\n\t\t\t\t\t\t\t<i class=\"icon fa-file fa-fw icon-red icon-md\" aria-hidden=\"true\"></i><span class=\"sr-only\">New post</span>\n"
                   "\t\t\t\t\t\t</a>\n"
             : "") +
        "\t\t\t\t\t\t<a href=\"" + topicUrl + "\" class=\"topictitle\">" + escapeHtml(t.title) +
        "</a>\t\t\t\t\t\t<br />\n"
        "\t\t\t\t\t\t<div class=\"topic-poster responsive-hide left-box\">\n\t\t\t\t\t\t\tby " +
        member(view, *first.author) + " &raquo; " + longTime(first.time) + "\n\t\t\t\t\t\t</div>\n" +
        (miniPager.empty()
             ? ""
             : "\t\t\t\t\t\t<div class=\"pagination\">\n\t\t\t\t\t\t\t<span><i class=\"icon fa-clone fa-fw\" aria-hidden=\"true\"></i></span>\n"
               "\t\t\t\t\t\t\t<ul>\n\t\t\t\t\t\t\t" +
                   miniPager + "\n\t\t\t\t\t\t\t</ul>\n\t\t\t\t\t\t</div>\n") +
        "\t\t\t\t\t</div>\n\t\t\t\t</dt>\n\t\t\t\t<dd class=\"posts\">" + std::to_string(t.posts.size() - 1) +
        " <dfn>Replies</dfn></dd>\n"
        "\t\t\t\t<dd class=\"views\">" +
        std::to_string(t.views) +
        " <dfn>Views</dfn></dd>\n\t\t\t\t<dd class=\"lastpost\">\n"
        "\t\t\t\t\t<span><dfn>Last post </dfn>by " +
        member(view, *last.author) + "\n\t\t\t\t\t\t<a href=\"" +
        url(view, "viewtopic.php", "p=" + std::to_string(last.id)) + "#p" + std::to_string(last.id) +
        "\" title=\"Go to last post\">\n"
        "\t\t\t\t\t\t\t<i class=\"icon fa-external-link-square fa-fw icon-lightgray icon-md\" aria-hidden=\"true\"></i>"
        "<span class=\"sr-only\"></span>\n\t\t\t\t\t\t</a>\n\t\t\t\t\t\t<br /><time datetime=\"" +
        isoTime(last.time) + "\">" + longTime(last.time) +
        "</time>\n\t\t\t\t\t</span>\n\t\t\t\t</dd>\n\t\t\t</dl>\n\t\t</li>\n\n";
  }
  body +=
      "\t\t\t</ul>\n\t\t</div>\n\t</div>\n\n\t<div class=\"action-bar bar-bottom\">\n" + actionBar +
      "\t\t<form method=\"post\" action=\"" + forumUrl +
      "\">\n\t\t<div class=\"dropdown-container dropdown-container-left "
      "dropdown-button-control sort-tools\">\n\t<span title=\"Display and sorting options\" class=\"button button-secondary dropdown-trigger "
      "dropdown-select\">\n\t\t<i class=\"icon fa-sort-amount-asc fa-fw\" aria-hidden=\"true\"></i>\n\t</span>\n"
      "\t<div class=\"dropdown hidden\">\n\t\t<div class=\"dropdown-contents\">\n\t\t\t<fieldset class=\"display-options\">\n"
      "\t\t\t\t<label>Display: <select name=\"st\" id=\"st\"><option value=\"0\" selected=\"selected\">All Topics</option>"
      "<option value=\"1\">1 day</option><option value=\"7\">7 days</option></select></label>\n"
      "\t\t\t\t<label>Sort by: <select name=\"sk\" id=\"sk\"><option value=\"a\">Author</option><option value=\"t\" selected=\"selected\">"
      "Post time</option><option value=\"s\">Subject</option></select></label>\n"
      "\t\t\t\t<label>Direction: <select name=\"sd\" id=\"sd\"><option value=\"a\">Ascending</option><option value=\"d\" "
      "selected=\"selected\">Descending</option></select></label>\n\t\t\t\t<hr class=\"dashed\" />\n"
      "\t\t\t\t<input type=\"submit\" class=\"button2\" name=\"sort\" value=\"Go\" />\n\t\t\t</fieldset>\n\t\t</div>\n\t</div>\n</div>\n"
      "\t\t</form>\n\t</div>\n\n" +
      jumpbox(
          view,
          "\t<p class=\"jumpbox-return\">\n\t\t<a href=\"" + url(view, "index.php") +
              "\" class=\"left-box arrow-left\" accesskey=\"r\">\n"
              "\t\t\t<i class=\"icon fa-angle-left fa-fw icon-black\" aria-hidden=\"true\"></i><span>Return to Board Index</span>\n\t\t</a>\n\t</p>\n");
  std::string canonical =
      current == 0 ? canonicalBase : canonicalBase + "&amp;start=" + std::to_string(current * model_->topicsPerPage);
  return htmlPage(page(view, f->name + " - " + model_->title, "viewforum", crumbsTo(view, f->id), canonical, body));
}

Response Phpbb3Board::topic(const View& view) const {
  const ModelTopic* t = model_->topic(view.request.number("t"));
  int current = static_cast<int>(view.request.number("start") / model_->postsPerPage);
  if (view.request.query.count("p") != 0) {
    auto [holder, post] = model_->post(view.request.number("p"));
    if (holder == nullptr) return Response::notFound();
    t = holder;
    current = model_->pageOfPost(static_cast<std::size_t>(post - t->posts.data()));
  }
  if (t == nullptr) return Response::notFound();
  int pages = model_->topicPages(*t);
  if (current >= pages) current = pages - 1;
  if (current < 0) current = 0;
  std::string id = std::to_string(t->id);
  std::string topicUrl = url(view, "viewtopic.php", "t=" + id);
  const ModelForum& f = *model_->forum(t->forum);
  if (view.request.param("view") == "print") {
    std::string posts;
    for (const Post& p : t->posts) {
      posts += "<div class=\"post\">\n<h3>" + escapeHtml(t->title) + "</h3>\n<div class=\"date\">Post by <strong>" +
               escapeHtml(p.author->name) + "</strong> &raquo; " + longTime(p.time) +
               "</div>\n<div class=\"content\">" + escapeHtml(p.body.front().lines.front()) +
               "</div>\n</div>\n<hr />\n";
    }
    return htmlPage(
        "<!DOCTYPE html>\n<html dir=\"ltr\" lang=\"en-gb\">\n<head>\n<meta charset=\"utf-8\" />\n<meta name=\"robots\" "
        "content=\"noindex\" />\n<title>" +
        escapeHtml(model_->title + " - " + t->title) +
        "</title>\n</head>\n"
        "<body id=\"phpbb\">\n<div id=\"wrap\" class=\"wrap\">\n<div id=\"page-header\"><h1>" +
        escapeHtml(model_->title) +
        "</h1></div>\n<div id=\"page-body\" class=\"page-body\">\n<div class=\"page-title\">" + escapeHtml(t->title) +
        "</div>\n" + posts + "</div>\n</div>\n</body>\n</html>\n");
  }
  std::string pager = pagination(view, topicUrl, current, pages, model_->postsPerPage);
  std::string postCount = std::to_string(t->posts.size()) + (t->posts.size() == 1 ? " post" : " posts");
  std::string pageNumber =
      "Page <strong>" + std::to_string(current + 1) + "</strong> of <strong>" + std::to_string(pages) + "</strong>";
  std::string reply =
      "\t\t<a href=\"" + url(view, "posting.php", "mode=reply&amp;t=" + id) +
      "\" class=\"button\" title=\"Post a reply\">\n"
      "\t\t\t\t\t<span>Post Reply</span> <i class=\"icon fa-reply fa-fw\" aria-hidden=\"true\"></i>\n\t\t\t\t</a>\n\n"
      "\t\t\t<div class=\"dropdown-container dropdown-button-control topic-tools\">\n"
      "\t\t<span title=\"Topic tools\" class=\"button button-secondary dropdown-trigger dropdown-select\">\n"
      "\t\t\t<i class=\"icon fa-wrench fa-fw\" aria-hidden=\"true\"></i>\n\t\t</span>\n\t\t<div class=\"dropdown\">\n"
      "\t\t\t<ul class=\"dropdown-contents\">\n\t\t\t\t<li><a href=\"" +
      url(view, "viewtopic.php", "t=" + id + "&amp;view=print") +
      "\" title=\"Print view\" accesskey=\"p\"><i class=\"icon fa-print fa-fw\" aria-hidden=\"true\"></i><span>Print view</span></a></li>\n"
      "\t\t\t</ul>\n\t\t</div>\n\t</div>\n";
  std::string body =
      "<h2 class=\"topic-title\"><a href=\"" + topicUrl + "\">" + escapeHtml(t->title) +
      "</a></h2>\n"
      "<div style=\"display: none !important;\">" +
      escapeHtml(f.description) +
      "<br /></div>\n\n"
      "<div class=\"action-bar bar-top\">\n" +
      reply +
      "\t\t<div class=\"search-box\" role=\"search\">\n\t\t\t<form method=\"get\" id=\"topic-search\" action=\"" +
      url(view, "search.php") +
      "\">\n\t\t\t<fieldset>\n\t\t\t\t<input class=\"inputbox search tiny\"  type=\"search\" name=\"keywords\" id=\"search_keywords\" "
      "size=\"20\" placeholder=\"Search this topic…\" />\n\t\t\t\t<input type=\"hidden\" name=\"t\" value=\"" +
      id +
      "\" />\n"
      "\t\t\t\t<input type=\"hidden\" name=\"sf\" value=\"msgonly\" />\n\t\t\t</fieldset>\n\t\t\t</form>\n\t\t</div>\n"
      "\t\t<div class=\"pagination\">\n\t\t\t" +
      postCount + "\n\t\t\t" + (pager.empty() ? "&bull; " + pageNumber + "\n" : pager) + "\t\t</div>\n\t</div>\n\n";
  PostMarkup markup;
  markup.boldOpen = "<strong class=\"text-strong\">";
  markup.boldClose = "</strong>";
  markup.italicOpen = "<em class=\"text-italics\">";
  markup.italicClose = "</em>";
  markup.link = "<a href=\"{href}\" class=\"postlink\">{text}</a>";
  markup.smiley = "<img class=\"smilies\" src=\"{src}\" width=\"15\" height=\"17\" alt=\":)\" title=\"Smile\">";
  markup.smileySource = "./images/smilies/icon_e_smile.gif";
  markup.lineBreak = "<br>\n";
  markup.paragraphSeparator = "<br>\n<br>\n";
  markup.quote =
      "<blockquote cite=\"./viewtopic.php?p={post}#p{post}\"><div><cite>{who} wrote: <a href=\"./viewtopic.php?p={post}#p{post}\" "
      "aria-label=\"View quoted post\" data-post-id=\"{post}\" onclick=\"if(document.getElementById(hash.substr(1)))href=hash\">"
      "<i class=\"icon fa-arrow-circle-up fa-fw\" aria-hidden=\"true\"></i></a></cite>{body}</div></blockquote>";
  markup.code =
      "<div class=\"codebox\"><p>Code: <a href=\"#\" onclick=\"selectCode(this); return false;\">Select all</a></p><pre><code>{code}"
      "</code></pre></div>";
  for (int i = current * model_->postsPerPage;
       i < static_cast<int>(t->posts.size()) && i < (current + 1) * model_->postsPerPage; ++i) {
    const Post& p = t->posts[static_cast<std::size_t>(i)];
    std::string pid = std::to_string(p.id);
    std::string mini = url(view, "viewtopic.php", "p=" + pid) + "#p" + pid;
    int authorPosts = model_->postsBy(*p.author);
    body +=
        "\t\t\t<div id=\"p" + pid + "\" class=\"post has-profile bg" + std::to_string(i % 2 == 0 ? 2 : 1) +
        "\">\n\t\t<div class=\"inner\">\n\n"
        "\t\t<dl class=\"postprofile\" id=\"profile" +
        pid +
        "\">\n\t\t\t<dt class=\"no-profile-rank no-avatar\">\n"
        "\t\t\t\t<div class=\"avatar-container\">\n\t\t\t\t\t\t\t\t\t\t\t\t</div>\n\t\t\t\t\t\t\t\t" +
        member(view, *p.author) +
        "\t\t\t\t\t\t\t</dt>\n\n\t\t\t\t\t\t\n\t\t<dd class=\"profile-posts\"><strong>Posts:</strong> <a href=\"" +
        url(view, "search.php", "author_id=" + std::to_string(p.author->id) + "&amp;sr=posts") + "\">" +
        std::to_string(authorPosts) + "</a></dd>\t\t<dd class=\"profile-joined\"><strong>Joined:</strong> " +
        longTime(1704100000 + p.author->id * 86400LL) +
        "</dd>\t\t\n"
        "\t\t</dl>\n\n\t\t<div class=\"postbody\">\n\t\t\t\t\t\t<div id=\"post_content" +
        pid + "\">\n\n\t\t\t\t\t<h3 " + (i == 0 ? "class=\"first\"" : "") + ">\n\t\t\t\t\t\t<a href=\"" + mini + "\">" +
        (i == 0 ? "" : "Re: ") + escapeHtml(t->title) +
        "</a>\n\t\t</h3>\n\n\t\t\t\t\t\t<p class=\"author\">\n\t\t\t\t\t\t\t\t\t<a class=\"unread\" href=\"" + mini +
        "\" title=\"Post\">\n"
        "\t\t\t\t\t\t<i class=\"icon fa-file fa-fw icon-lightgray icon-md\" aria-hidden=\"true\"></i><span class=\"sr-only\">Post</span>\n"
        "\t\t\t\t\t</a>\n\t\t\t\t\t\t\t\t<span class=\"responsive-hide\">by <strong>" +
        member(view, *p.author) +
        "</strong> &raquo; </span>"
        "<time datetime=\"" +
        isoTime(p.time) + "\">" + longTime(p.time) +
        "</time>\n\t\t\t</p>\n\t\t\t\n\t\t\t\n\t\t\t\n\t\t\t\n"
        "\t\t\t<div class=\"content\">" +
        renderMessage(p, markup, t->id) + "</div>\n\n\t\t\t" + attachbox(view, p) +
        "\n\t\t\t\t\t\t\n\t\t\t\t\t\t\n"
        "\t\t\t\t\t\t\t\t\t\t\t\t\t\t</div>\n\n\t\t</div>\n\n\t\t\t\t<div class=\"back2top\">\n\t\t\t\t\t\t<a href=\"#top\" class=\"top\" "
        "title=\"Top\">\n\t\t\t\t<i class=\"icon fa-chevron-circle-up fa-fw icon-gray\" aria-hidden=\"true\"></i>\n"
        "\t\t\t\t<span class=\"sr-only\">Top</span>\n\t\t\t</a>\n\t\t\t\t\t</div>\n\t\t\t\n\t\t</div>\n\t</div>\n\n\t<hr class=\"divider\" />\n";
  }
  body +=
      "\n\t<div class=\"action-bar bar-bottom\">\n" + reply + "\t\t<div class=\"pagination\">\n\t\t\t" + postCount +
      "\n\t\t\t" + (pager.empty() ? "&bull; " + pageNumber + "\n" : pager) + "\t\t</div>\n\t</div>\n\n" +
      jumpbox(
          view,
          "\t<p class=\"jumpbox-return\">\n\t\t<a href=\"" + url(view, "viewforum.php", "f=" + std::to_string(f.id)) +
              "\" class=\"left-box arrow-left\" accesskey=\"r\">\n\t\t\t<i class=\"icon fa-angle-left fa-fw icon-black\" "
              "aria-hidden=\"true\"></i><span>Return to &ldquo;" +
              escapeHtml(f.name) + "&rdquo;</span>\n\t\t</a>\n\t</p>\n");
  std::string canonical = origin(view.request) + "/viewtopic.php?t=" + id +
                          (current == 0 ? "" : "&amp;start=" + std::to_string(current * model_->postsPerPage));
  return htmlPage(page(view, t->title + " - " + model_->title, "viewtopic", crumbsTo(view, f.id), canonical, body));
}

// The attachment box under a message, as viewtopic_body.html and
// attachment.html print it: files as download links, pictures inline.
std::string Phpbb3Board::attachbox(const View& view, const Post& post) const {
  if (post.attachments.empty()) return "";
  std::string out = "<dl class=\"attachbox\">\n\t\t\t\t<dt>\n\t\t\t\t\tAttachments\n\t\t\t\t</dt>\n";
  for (const Attachment& a : post.attachments) {
    std::string href = url(view, "download/file.php", "id=" + std::to_string(a.id));
    std::string size = std::to_string(a.bytes.size()) + " Bytes";
    out += "\t\t\t\t\t\t\t\t\t<dd>\t\t\t<dl class=\"file\">\n";
    if (a.isImage()) {
      out += "\t\t\t<dt class=\"attach-image\"><img class=\"postimage\" src=\"" + href + "\" alt=\"" +
             escapeHtml(a.name) + "\" onclick=\"viewableArea(this);\" /></dt>\n\t\t\t\t\t\t<dd>" + escapeHtml(a.name) +
             " (" + size + ") Viewed 5 times</dd>\n";
    } else {
      out += "\t\t\t<dt><i class=\"icon fa-file icon-black fa-fw\"></i> <a class=\"postlink\" href=\"" + href + "\">" +
             escapeHtml(a.name) + "</a></dt>\n\t\t\t\t\t\t<dd>" + size + " | Downloaded 3 times</dd>\n";
    }
    out += "\t\t\t</dl>\n\t\t</dd>\n";
  }
  return out + "\t\t\t\t\t</dl>\n";
}

Response Phpbb3Board::serve(const Request& request) {
  const std::string& path = request.path;
  if (path.starts_with("/images/smilies/")) return pictureResponse();
  if (path == "/download/file.php") {
    const Attachment* attachment = model_->attachment(request.number("id"));
    return attachment != nullptr ? attachmentResponse(*attachment) : Response::notFound();
  }
  auto cookie = request.cookies.find(std::string(kCookie) + "_sid");
  std::string sid = sessionId(request, "sid", ++visits_);
  View view{request, cookie != request.cookies.end() ? "" : sid, path.starts_with("/app.php/") ? "./../../" : "./"};
  Response response;
  if (path == "/" || path == "/index.php") {
    response = index(view);
  } else if (path == "/viewforum.php") {
    response = forum(view);
  } else if (path == "/viewtopic.php") {
    response = topic(view);
  } else if (path == "/ucp.php" || path == "/search.php" || path == "/memberlist.php" || path == "/posting.php" ||
             path == "/viewonline.php" || path == "/app.php/help/faq") {
    response = htmlPage(page(
        view, model_->title + " - Information", "ucp", "", "",
        "<div class=\"panel\" id=\"message\">\n\t<div class=\"inner\">\n\t<h2 class=\"message-title\">Information</h2>\n"
        "\t<p>You need to be logged in to do this.</p>\n\t</div>\n</div>\n"));
  } else {
    return Response::notFound();
  }
  if (response.status == 200) {
    std::string sessionCookie = cookie != request.cookies.end() ? cookie->second : sid;
    response.headers.emplace_back("Set-Cookie", std::string(kCookie) + "_u=1; path=/; HttpOnly");
    response.headers.emplace_back("Set-Cookie", std::string(kCookie) + "_k=; path=/; HttpOnly");
    response.headers.emplace_back("Set-Cookie", std::string(kCookie) + "_sid=" + sessionCookie + "; path=/; HttpOnly");
  }
  return response;
}

}  // namespace

Handler makePhpbb3Board(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<Phpbb3Board>(std::move(model));
  return [board](const Request& request) { return board->serve(request); };
}

}  // namespace quillstash::demo
