// SPDX-License-Identifier: MIT
// The board as FluxBB 1.5 shows it to a guest with the default Air style,
// after its index.php, viewforum.php, viewtopic.php, header.php, footer.php,
// include/template/main.tpl, paginate() of include/functions.php and the
// BBCode output of include/parser.php. FluxBB has no sub-forums: the
// board's sub-forum is listed as a forum of its category. Forum and topic
// lists are tables; posts are div.blockpost blocks.
#include <algorithm>
#include <memory>
#include <string>

#include "engine_board.h"

namespace quillstash::demo {
namespace {

std::string fluxDate(long long time) {
  std::string iso = isoTime(time);
  return iso.substr(0, 10) + " " + iso.substr(11, 8);
}

class FluxBB15Board {
 public:
  explicit FluxBB15Board(std::shared_ptr<const BoardModel> model) : model_(std::move(model)) {}
  Response serve(const Request& request) const;

 private:
  std::string page(const Request& request, const std::string& title, const std::string& head,
                   const std::string& section, const std::string& body, const std::string& feeds) const;
  // paginate(): previous, the pages, next; all pages linked when `current` is -1.
  std::string paginate(int pages, int current, const std::string& link) const;
  std::string jump(int selected) const;
  Response index(const Request& request) const;
  Response forum(const Request& request) const;
  Response topic(const Request& request) const;

  std::shared_ptr<const BoardModel> model_;
};

std::string FluxBB15Board::page(const Request& request, const std::string& title, const std::string& head,
                                const std::string& section, const std::string& body, const std::string& feeds) const {
  (void)request;
  return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en\" lang=\"en\" dir=\"ltr\">\n<head>\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n<title>" +
         escapeHtml(title) +
         "</title>\n"
         "<link rel=\"stylesheet\" type=\"text/css\" href=\"style/Air.css\" />\n" +
         head +
         "</head>\n\n<body>\n\n"
         "<div id=\"pun" +
         section +
         "\" class=\"pun\">\n<div class=\"top-box\"></div>\n<div class=\"punwrap\">\n\n<div id=\"brdheader\" class=\"block\">\n"
         "\t<div class=\"box\">\n\t\t<div id=\"brdtitle\" class=\"inbox\">\n\t\t\t<h1><a href=\"index.php\">" +
         escapeHtml(model_->title) +
         "</a></h1>\n"
         "\t\t\t<div id=\"brddesc\"><p>A board for the keepers of small lights</p></div>\n\t\t</div>\n"
         "\t\t<div id=\"brdmenu\" class=\"inbox\">\n\t\t\t<ul>\n\t\t\t\t<li id=\"navindex\" class=\"isactive\"><a href=\"index.php\">Index</a></li>\n"
         "\t\t\t\t<li id=\"navuserlist\"><a href=\"userlist.php\">User list</a></li>\n\t\t\t\t<li id=\"navsearch\"><a href=\"search.php\">Search</a></li>\n"
         "\t\t\t\t<li id=\"navregister\"><a href=\"register.php\">Register</a></li>\n\t\t\t\t<li id=\"navlogin\"><a href=\"login.php\">Login</a></li>\n"
         "\t\t\t</ul>\n\t\t</div>\n\t\t<div id=\"brdwelcome\" class=\"inbox\">\n\t\t\t<p class=\"conl\">You are not logged in.</p>\n"
         "\t\t\t<ul class=\"conr\">\n\t\t\t\t<li><span>Topics: <a href=\"search.php?action=show_recent\" title=\"Find topics with recent posts.\">"
         "Active</a> | <a href=\"search.php?action=show_unanswered\" title=\"Find topics with no replies.\">Unanswered</a></span></li>\n"
         "\t\t\t</ul>\n\t\t\t<div class=\"clearer\"></div>\n\t\t</div>\n\t</div>\n</div>\n\n\n\n<div id=\"brdmain\">\n" +
         body +
         "</div>\n\n<div id=\"brdfooter\" class=\"block\">\n\t<h2><span>Board footer</span></h2>\n\t<div class=\"box\">\n"
         "\t\t<div id=\"brdfooternav\" class=\"inbox\">\n\t\t\t<div class=\"conl\">\n" +
         jump(0) + "\t\t\t</div>\n\t\t\t<div class=\"conr\">\n" + feeds +
         "\t\t\t\t<p id=\"poweredby\">Powered by <a href=\"http://fluxbb.org/\">FluxBB</a></p>\n\t\t\t</div>\n\t\t\t<div class=\"clearer\"></div>\n"
         "\t\t</div>\n\t</div>\n</div>\n\n</div>\n<div class=\"end-box\"></div>\n</div>\n\n</body>\n</html>\n";
}

std::string FluxBB15Board::paginate(int pages, int current, const std::string& link) const {
  if (pages <= 1) return "<strong class=\"item1\">1</strong>";
  bool linkAll = current < 0;
  int cur = linkAll ? 1 : current + 1;
  std::vector<std::string> items;
  auto first = [&] { return items.empty() ? " class=\"item1\"" : ""; };
  if (cur > 1)
    items.push_back("<a rel=\"prev\"" + std::string(first()) + " href=\"" + link +
                    (cur == 2 ? "" : "&amp;p=" + std::to_string(cur - 1)) + "\">Previous</a>");
  for (int p = 1; p <= pages; ++p) {
    if (p != cur || linkAll) {
      items.push_back("<a" + std::string(first()) + " href=\"" + link + (p == 1 ? "" : "&amp;p=" + std::to_string(p)) +
                      "\">" + std::to_string(p) + "</a>");
    } else {
      items.push_back("<strong" + std::string(first()) + ">" + std::to_string(p) + "</strong>");
    }
  }
  if (!linkAll && cur < pages)
    items.push_back("<a rel=\"next\" href=\"" + link + "&amp;p=" + std::to_string(cur + 1) + "\">Next</a>");
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : " ") + item;
  return out;
}

std::string FluxBB15Board::jump(int selected) const {
  std::string options;
  for (const Category& c : model_->categories) {
    options += "\t\t\t\t\t\t<optgroup label=\"" + escapeHtml(c.name) + "\">\n";
    for (const ModelForum& f : model_->forums) {
      if (f.category != c.id) continue;
      options += "\t\t\t\t\t\t\t<option value=\"" + std::to_string(f.id) + "\"" +
                 (f.id == selected ? " selected=\"selected\"" : "") + ">" + escapeHtml(f.name) + "</option>\n";
    }
    options += "\t\t\t\t\t\t</optgroup>\n";
  }
  return "\t\t\t\t<form id=\"qjump\" method=\"get\" action=\"viewforum.php\">\n\t\t\t\t\t<div><label><span>Jump to<br /></span>\n"
         "\t\t\t\t\t<select name=\"id\" onchange=\"window.location=('viewforum.php?id='+this.options[this.selectedIndex].value)\">\n" +
         options +
         "\t\t\t\t\t</select></label>\n\t\t\t\t\t<input type=\"submit\" value=\"Go\" accesskey=\"g\" />\n\t\t\t\t\t</div>\n\t\t\t\t</form>\n";
}

Response FluxBB15Board::index(const Request& request) const {
  std::string body;
  int catCount = 0;
  for (const Category& c : model_->categories) {
    ++catCount;
    body +=
        "<div id=\"idx" + std::to_string(catCount) + "\" class=\"blocktable\">\n\t<h2><span>" + escapeHtml(c.name) +
        "</span></h2>\n"
        "\t<div class=\"box\">\n\t\t<div class=\"inbox\">\n\t\t\t<table>\n\t\t\t<thead>\n\t\t\t\t<tr>\n"
        "\t\t\t\t\t<th class=\"tcl\" scope=\"col\">Forum</th>\n\t\t\t\t\t<th class=\"tc2\" scope=\"col\">Topics</th>\n"
        "\t\t\t\t\t<th class=\"tc3\" scope=\"col\">Posts</th>\n\t\t\t\t\t<th class=\"tcr\" scope=\"col\">Last post</th>\n\t\t\t\t</tr>\n"
        "\t\t\t</thead>\n\t\t\t<tbody>\n";
    int forumCount = 0;
    for (const ModelForum& f : model_->forums) {
      if (f.category != c.id) continue;
      ++forumCount;
      const Post* last = model_->lastPost(f.id);
      std::size_t posts = 0;  // without sub-forums a forum counts only its own topics
      for (const ModelTopic* t : model_->topicsOf(f.id)) posts += t->posts.size();
      std::string lastId = std::to_string(last->id);
      body += "\t\t\t\t<tr class=\"" + std::string(forumCount % 2 == 0 ? "roweven" : "rowodd") +
              "\">\n\t\t\t\t\t<td class=\"tcl\">\n"
              "\t\t\t\t\t\t<div class=\"icon\"><div class=\"nosize\">" +
              std::to_string(forumCount) +
              "</div></div>\n\t\t\t\t\t\t<div class=\"tclcon\">\n"
              "\t\t\t\t\t\t\t<div>\n\t\t\t\t\t\t\t\t<h3><a href=\"viewforum.php?id=" +
              std::to_string(f.id) + "\">" + escapeHtml(f.name) +
              "</a></h3>\n"
              "\t\t\t\t\t\t\t\t<div class=\"forumdesc\">" +
              escapeHtml(f.description) +
              "</div>\n\n\t\t\t\t\t\t\t</div>\n\t\t\t\t\t\t</div>\n"
              "\t\t\t\t\t</td>\n\t\t\t\t\t<td class=\"tc2\">" +
              std::to_string(model_->topicsOf(f.id).size()) + "</td>\n\t\t\t\t\t<td class=\"tc3\">" +
              std::to_string(posts) + "</td>\n\t\t\t\t\t<td class=\"tcr\"><a href=\"viewtopic.php?pid=" + lastId +
              "#p" + lastId + "\">" + fluxDate(last->time) + "</a> <span class=\"byuser\">by " +
              escapeHtml(last->author->name) + "</span></td>\n\t\t\t\t</tr>\n";
    }
    body += "\t\t\t</tbody>\n\t\t\t</table>\n\t\t</div>\n\t</div>\n</div>\n";
  }
  std::size_t posts = model_->totalPosts();
  body +=
      "<div id=\"brdstats\" class=\"block\">\n\t<h2><span>Board information</span></h2>\n\t<div class=\"box\">\n\t\t<div class=\"inbox\">\n"
      "\t\t\t<dl class=\"conr\">\n\t\t\t\t<dt><strong>Board statistics</strong></dt>\n\t\t\t\t<dd><span>Total number of registered users: "
      "<strong>" +
      std::to_string(model_->members.size()) +
      "</strong></span></dd>\n\t\t\t\t<dd><span>Total number of topics: <strong>" +
      std::to_string(model_->topics.size()) +
      "</strong></span></dd>\n\t\t\t\t<dd><span>Total number of posts: <strong>" + std::to_string(posts) +
      "</strong></span></dd>\n\t\t\t</dl>\n\t\t\t<dl class=\"conl\">\n\t\t\t\t<dt><strong>User information</strong></dt>\n"
      "\t\t\t\t<dd><span>Newest registered user: <a href=\"profile.php?id=" +
      std::to_string(model_->members.back().id) + "\">" + escapeHtml(model_->members.back().name) +
      "</a></span></dd>\n\t\t\t</dl>\n\t\t</div>\n\t</div>\n</div>\n";
  std::string head =
      "<link rel=\"canonical\" href=\"" + origin(request) +
      "/index.php\" />\n"
      "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"extern.php?action=feed&amp;type=atom\" title=\"Atom active topics feed\" />\n";
  return htmlPage(page(
      request, model_->title, head, "index", body,
      "\t\t\t\t<p id=\"feedlinks\"><span class=\"atom\"><a href=\"extern.php?action=feed&amp;type=atom\">Atom active topics feed</a></span></p>\n"));
}

Response FluxBB15Board::forum(const Request& request) const {
  const ModelForum* f = model_->forum(request.number("id"));
  if (f == nullptr) return Response::notFound();
  std::vector<const ModelTopic*> topics = model_->topicsOf(f->id);
  std::string id = std::to_string(f->id);
  int pages = model_->forumPages(f->id);
  int current = std::clamp(static_cast<int>(request.number("p", 1)) - 1, 0, pages - 1);
  std::string paging = "<span class=\"pages-label\">Pages </span>" + paginate(pages, current, "viewforum.php?id=" + id);
  std::string crumbs =
      "\t\t<ul class=\"crumbs\">\n\t\t\t<li><a href=\"index.php\">Index</a></li>\n\t\t\t<li><span>»&#160;</span><strong><a href=\"viewforum.php?id=" +
      id + "\">" + escapeHtml(f->name) + "</a></strong></li>\n\t\t</ul>\n";
  std::string body =
      "<div class=\"linkst\">\n\t<div class=\"inbox crumbsplus\">\n" + crumbs +
      "\t\t<div class=\"pagepost\">\n\t\t\t<p class=\"pagelink conl\">" + paging +
      "</p>\n\t\t</div>\n\t\t<div class=\"clearer\"></div>\n\t</div>\n</div>\n\n"
      "<div id=\"vf\" class=\"blocktable\">\n\t<h2><span>" +
      escapeHtml(f->name) +
      "</span></h2>\n\t<div class=\"box\">\n\t\t<div class=\"inbox\">\n"
      "\t\t\t<table>\n\t\t\t<thead>\n\t\t\t\t<tr>\n\t\t\t\t\t<th class=\"tcl\" scope=\"col\">Topic</th>\n"
      "\t\t\t\t\t<th class=\"tc2\" scope=\"col\">Replies</th>\n\t\t\t\t\t<th class=\"tc3\" scope=\"col\">Views</th>\n"
      "\t\t\t\t\t<th class=\"tcr\" scope=\"col\">Last post</th>\n\t\t\t\t</tr>\n\t\t\t</thead>\n\t\t\t<tbody>\n";
  int count = 0;
  for (int i = current * model_->topicsPerPage;
       i < static_cast<int>(topics.size()) && i < (current + 1) * model_->topicsPerPage; ++i) {
    const ModelTopic& t = *topics[static_cast<std::size_t>(i)];
    ++count;
    std::string tid = std::to_string(t.id);
    std::string lastId = std::to_string(t.posts.back().id);
    int topicPages = model_->topicPages(t);
    body += "\t\t\t\t<tr class=\"" + std::string(count % 2 == 0 ? "roweven" : "rowodd") +
            "\">\n\t\t\t\t\t<td class=\"tcl\">\n"
            "\t\t\t\t\t\t<div class=\"icon\"><div class=\"nosize\">" +
            std::to_string(i + 1) +
            "</div></div>\n\t\t\t\t\t\t<div class=\"tclcon\">\n"
            "\t\t\t\t\t\t\t<div>\n\t\t\t\t\t\t\t\t<a href=\"viewtopic.php?id=" +
            tid + "\">" + escapeHtml(t.title) + "</a> <span class=\"byuser\">by " +
            escapeHtml(t.posts.front().author->name) + "</span>" +
            (topicPages > 1 ? " <span class=\"pagestext\">[ <span class=\"pages-label\">Pages </span>" +
                                  paginate(topicPages, -1, "viewtopic.php?id=" + tid) + " ]</span>"
                            : "") +
            "\n\t\t\t\t\t\t\t</div>\n\t\t\t\t\t\t</div>\n\t\t\t\t\t</td>\n\t\t\t\t\t<td class=\"tc2\">" +
            std::to_string(t.posts.size() - 1) +
            "</td>\n"
            "\t\t\t\t\t<td class=\"tc3\">" +
            std::to_string(t.views) + "</td>\n\t\t\t\t\t<td class=\"tcr\"><a href=\"viewtopic.php?pid=" + lastId +
            "#p" + lastId + "\">" + fluxDate(t.posts.back().time) + "</a> <span class=\"byuser\">by " +
            escapeHtml(t.posts.back().author->name) + "</span></td>\n\t\t\t\t</tr>\n";
  }
  body +=
      "\t\t\t</tbody>\n\t\t\t</table>\n\t\t</div>\n\t</div>\n</div>\n\n<div class=\"linksb\">\n\t<div class=\"inbox crumbsplus\">\n"
      "\t\t<div class=\"pagepost\">\n\t\t\t<p class=\"pagelink conl\">" +
      paging + "</p>\n\t\t</div>\n" + crumbs + "\t\t<div class=\"clearer\"></div>\n\t</div>\n</div>\n";
  std::string head = "<link rel=\"canonical\" href=\"" + origin(request) + "/viewforum.php?id=" + id +
                     (current > 0 ? "&amp;p=" + std::to_string(current + 1) : "") + "\" />\n";
  if (current > 0)
    head += "<link rel=\"prev\" href=\"viewforum.php?id=" + id +
            (current == 1 ? "" : "&amp;p=" + std::to_string(current)) + "\" title=\"Page " + std::to_string(current) +
            "\" />\n";
  if (current + 1 < pages)
    head += "<link rel=\"next\" href=\"viewforum.php?id=" + id + "&amp;p=" + std::to_string(current + 2) +
            "\" title=\"Page " + std::to_string(current + 2) + "\" />\n";
  head += "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"extern.php?action=feed&amp;fid=" + id +
          "&amp;type=atom\" title=\"Atom forum feed\" />\n";
  return htmlPage(page(request, f->name + " / " + model_->title, head, "viewforum", body,
                       "\t\t\t\t<p id=\"feedlinks\"><span class=\"atom\"><a href=\"extern.php?action=feed&amp;fid=" +
                           id + "&amp;type=atom\">Atom forum feed</a></span></p>\n"));
}

Response FluxBB15Board::topic(const Request& request) const {
  const ModelTopic* t = model_->topic(request.number("id"));
  int current = static_cast<int>(request.number("p", 1)) - 1;
  if (request.query.count("pid") != 0) {
    auto [holder, post] = model_->post(request.number("pid"));
    if (holder == nullptr) return Response::notFound();
    t = holder;
    current = model_->pageOfPost(static_cast<std::size_t>(post - t->posts.data()));
  }
  if (t == nullptr) return Response::notFound();
  if (request.param("action") == "new" || request.param("action") == "last") {
    return Response::redirect("viewtopic.php?pid=" + std::to_string(t->posts.back().id) + "#p" +
                              std::to_string(t->posts.back().id));
  }
  int pages = model_->topicPages(*t);
  current = std::clamp(current, 0, pages - 1);
  std::string id = std::to_string(t->id);
  const ModelForum& f = *model_->forum(t->forum);
  PostMarkup markup;
  markup.boldOpen = "<strong>";
  markup.boldClose = "</strong>";
  markup.italicOpen = "<em>";
  markup.italicClose = "</em>";
  markup.link = "<a href=\"{href}\" rel=\"nofollow\">{text}</a>";
  markup.smiley = "<img src=\"{src}\" width=\"15\" height=\"15\" alt=\"smile\" />";
  markup.smileySource = origin(request) + "/img/smilies/smile.png";
  markup.lineBreak = "<br />";
  markup.paragraphOpen = "<p>";
  markup.paragraphClose = "</p>";
  markup.paragraphSeparator = "";
  markup.quote =
      "<div class=\"quotebox\"><cite>{who} wrote:</cite><blockquote><div><p>{body}</p></div></blockquote></div>";
  markup.code = "<div class=\"codebox\"><pre><code>{code}</code></pre></div>";
  markup.itemOpen = "<li><p>";
  markup.itemClose = "</p></li>";
  std::string paging = "<span class=\"pages-label\">Pages </span>" + paginate(pages, current, "viewtopic.php?id=" + id);
  std::string crumbs =
      "\t\t<ul class=\"crumbs\">\n\t\t\t<li><a href=\"index.php\">Index</a></li>\n\t\t\t<li><span>»&#160;</span><a href=\"viewforum.php?id=" +
      std::to_string(f.id) + "\">" + escapeHtml(f.name) +
      "</a></li>\n\t\t\t<li><span>»&#160;</span><strong><a href=\"viewtopic.php?id=" + id + "\">" +
      escapeHtml(t->title) + "</a></strong></li>\n\t\t</ul>\n";
  std::string body = "<div class=\"linkst\">\n\t<div class=\"inbox crumbsplus\">\n" + crumbs +
                     "\t\t<div class=\"pagepost\">\n\t\t\t<p class=\"pagelink conl\">" + paging +
                     "</p>\n\t\t</div>\n\t\t<div class=\"clearer\"></div>\n\t</div>\n</div>\n\n";
  for (int i = current * model_->postsPerPage;
       i < static_cast<int>(t->posts.size()) && i < (current + 1) * model_->postsPerPage; ++i) {
    const Post& p = t->posts[static_cast<std::size_t>(i)];
    std::string pid = std::to_string(p.id);
    int count = i - current * model_->postsPerPage + 1;
    int memberPosts = model_->postsBy(*p.author);
    body +=
        "<div id=\"p" + pid + "\" class=\"blockpost" + (count % 2 == 0 ? " roweven" : " rowodd") +
        (i == 0 ? " firstpost" : "") + (count == 1 ? " blockpost1" : "") + "\">\n\t<h2><span><span class=\"conr\">#" +
        std::to_string(i + 1) + "</span> <a href=\"viewtopic.php?pid=" + pid + "#p" + pid + "\">" + fluxDate(p.time) +
        "</a></span></h2>\n\t<div class=\"box\">\n\t\t<div class=\"inbox\">\n"
        "\t\t\t<div class=\"postbody\">\n\t\t\t\t<div class=\"postleft\">\n\t\t\t\t\t<dl>\n\t\t\t\t\t\t<dt><strong><a href=\"profile.php?id=" +
        std::to_string(p.author->id) + "\">" + escapeHtml(p.author->name) +
        "</a></strong></dt>\n\t\t\t\t\t\t<dd class=\"usertitle\"><strong>Member"
        "</strong></dd>\n\t\t\t\t\t\t<dd><span>Registered: 2024-01-0" +
        std::to_string(p.author->id) + "</span></dd>\n\t\t\t\t\t\t<dd><span>Posts: " + std::to_string(memberPosts) +
        "</span></dd>\n\t\t\t\t\t</dl>\n\t\t\t\t</div>\n\t\t\t\t<div class=\"postright\">\n\t\t\t\t\t<h3>" +
        (i == 0 ? "" : "Re: ") + escapeHtml(t->title) + "</h3>\n\t\t\t\t\t<div class=\"postmsg\">\n\t\t\t\t\t\t" +
        renderMessage(p, markup, t->id) +
        "\n\t\t\t\t\t</div>\n\t\t\t\t</div>\n\t\t\t</div>\n\t\t</div>\n\t\t<div class=\"inbox\">\n\t\t\t<div class=\"postfoot clearb\">\n"
        "\t\t\t\t<div class=\"postfootleft\"><p><span>Offline</span></p></div>\n\t\t\t</div>\n\t\t</div>\n\t</div>\n</div>\n\n";
  }
  body +=
      "<div class=\"postlinksb\">\n\t<div class=\"inbox crumbsplus\">\n\t\t<div class=\"pagepost\">\n\t\t\t<p class=\"pagelink conl\">" +
      paging + "</p>\n\t\t</div>\n" + crumbs + "\t\t<div class=\"clearer\"></div>\n\t</div>\n</div>\n";
  std::string head = "<link rel=\"canonical\" href=\"" + origin(request) + "/viewtopic.php?id=" + id +
                     (current > 0 ? "&amp;p=" + std::to_string(current + 1) : "") + "\" />\n";
  if (current > 0)
    head += "<link rel=\"prev\" href=\"viewtopic.php?id=" + id +
            (current == 1 ? "" : "&amp;p=" + std::to_string(current)) + "\" title=\"Page " + std::to_string(current) +
            "\" />\n";
  if (current + 1 < pages)
    head += "<link rel=\"next\" href=\"viewtopic.php?id=" + id + "&amp;p=" + std::to_string(current + 2) +
            "\" title=\"Page " + std::to_string(current + 2) + "\" />\n";
  return htmlPage(page(request, t->title + " / " + model_->title, head, "viewtopic", body,
                       "\t\t\t\t<p id=\"feedlinks\"><span class=\"atom\"><a href=\"extern.php?action=feed&amp;tid=" +
                           id + "&amp;type=atom\">Atom topic feed</a></span></p>\n"));
}

Response FluxBB15Board::serve(const Request& request) const {
  const std::string& path = request.path;
  if (path == "/" || path == "/index.php") return index(request);
  if (path == "/viewforum.php") return forum(request);
  if (path == "/viewtopic.php") return topic(request);
  if (path.starts_with("/img/")) return pictureResponse();
  if (path == "/userlist.php" || path == "/search.php" || path == "/register.php" || path == "/login.php" ||
      path == "/profile.php" || path == "/extern.php" || path == "/misc.php") {
    return htmlPage(page(request, model_->title, "", "misc",
                         "<div id=\"msg\" class=\"block\">\n\t<h2><span>Info</span></h2>\n\t<div class=\"box\">\n"
                         "\t\t<div class=\"inbox\">\n\t\t\t<p>You do not have permission to access this page.</p>\n"
                         "\t\t</div>\n\t</div>\n</div>\n",
                         ""));
  }
  return Response::notFound();
}

}  // namespace

Handler makeFluxBB15Board(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<FluxBB15Board>(std::move(model));
  return [board](const Request& request) { return board->serve(request); };
}

}  // namespace quillstash::demo
