// SPDX-License-Identifier: MIT
// The board as Discourse 3.2 serves it to a client without JavaScript: the
// server-rendered crawler view of app/views/layouts/crawler.html.erb,
// categories/index, list/list.erb and topics/show.html.erb, with cooked
// posts (paragraphs, aside.quote, pre > code, emoji pictures).
// Discourse has no category headings: each forum is a category and the
// sub-forum a subcategory (/c/general-chat/introductions/5). The site shows
// its categories at "/" (top menu "categories" first); topic lists page with
// a 0-based ?page=, topics with a 1-based one. Full names show beside
// usernames (display_name_on_posts).
#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "engine_board.h"

namespace quillstash::demo {
namespace {

// The crawler view's long date, "March 6, 2024,  6:20pm".
std::string discourseDate(long long time) {
  static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
  std::string iso = isoTime(time);
  int hour = std::stoi(iso.substr(11, 2));
  char text[48];
  std::snprintf(text, sizeof text, "%s %d, %s, %2d:%s%s", kMonths[std::stoi(iso.substr(5, 2)) - 1],
                std::stoi(iso.substr(8, 2)), iso.substr(0, 4).c_str(), hour % 12 == 0 ? 12 : hour % 12,
                iso.substr(14, 2).c_str(), hour < 12 ? "am" : "pm");
  return text;
}

class Discourse3Board {
 public:
  explicit Discourse3Board(std::shared_ptr<const BoardModel> model) : model_(std::move(model)) {}
  Response serve(const Request& request) const;

 private:
  std::string categoryUrl(const ModelForum& f) const;
  std::string topicUrl(const ModelTopic& t) const { return "/t/" + t.slug + "/" + std::to_string(t.id); }
  static std::string username(const Member& m);
  std::string page(const Request& request, const std::string& title, const std::string& description,
                   const std::string& head, const std::string& body) const;
  std::string topicList(const Request& request, const std::vector<const ModelTopic*>& topics, int current,
                        bool showCategory, const std::string& pageBase, std::string& head) const;
  Response categories(const Request& request) const;
  Response latest(const Request& request) const;
  Response category(const Request& request, const ModelForum& f) const;
  Response topic(const Request& request, const ModelTopic& t, int current) const;

  std::shared_ptr<const BoardModel> model_;
};

std::string Discourse3Board::categoryUrl(const ModelForum& f) const {
  const ModelForum* parent = model_->forum(f.parent);
  return "/c/" + (parent != nullptr ? parent->slug + "/" : "") + f.slug + "/" + std::to_string(f.id);
}

std::string Discourse3Board::username(const Member& m) {
  std::string name;
  for (char c : m.name) name += c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string Discourse3Board::page(const Request& request, const std::string& title, const std::string& description,
                                  const std::string& head, const std::string& body) const {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n  <head>\n    <meta charset=\"utf-8\">\n    <title>" +
         escapeHtml(title) +
         "</title>\n"
         "    <meta name=\"description\" content=\"" +
         escapeHtml(description) +
         "\">\n"
         "    <meta name=\"generator\" content=\"Discourse 3.2.1 - https://github.com/discourse/discourse version 0f3a2b1c\">\n"
         "<link rel=\"icon\" type=\"image/png\" href=\"" +
         origin(request) +
         "/uploads/default/optimized/1X/favicon_32x32.png\">\n"
         "<meta name=\"theme-color\" media=\"all\" content=\"#ffffff\">\n\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0, minimum-scale=1.0, user-scalable=yes, viewport-fit=cover\">\n" +
         head + "<link rel=\"search\" type=\"application/opensearchdescription+xml\" href=\"" + origin(request) +
         "/opensearch.xml\" title=\"" + escapeHtml(model_->title) +
         " Search\">\n\n"
         "    <link href=\"/stylesheets/color_definitions_light_2_3_0a1b.css?__ws=127.0.0.1\" media=\"all\" rel=\"stylesheet\" class=\"light-scheme\"/>\n"
         "  <link href=\"/stylesheets/desktop_0a1b.css?__ws=127.0.0.1\" media=\"all\" rel=\"stylesheet\" data-target=\"desktop\"  />\n"
         "    <meta property=\"og:site_name\" content=\"" +
         escapeHtml(model_->title) +
         "\" />\n  </head>\n  <body class=\"crawler \">\n    \n"
         "    <header>\n  <a href=\"/\">\n    <img src=\"" +
         origin(request) + "/images/discourse-logo-sketch.png\" alt=\"" + escapeHtml(model_->title) +
         "\" id=\"site-logo\" style=\"max-width: 150px;\">\n  </a>\n</header>\n\n    <div id=\"main-outlet\" class=\"wrap\" role=\"main\">\n" +
         body +
         "    </div>\n    <footer class=\"container wrap\">\n  <nav class='crawler-nav'>\n    <ul>\n"
         "      <li itemscope itemtype='http://schema.org/SiteNavigationElement'>\n        <span itemprop='name'>\n"
         "          <a href='/' itemprop=\"url\">Home </a>\n        </span>\n      </li>\n"
         "      <li itemscope itemtype='http://schema.org/SiteNavigationElement'>\n        <span itemprop='name'>\n"
         "          <a href='/categories' itemprop=\"url\">Categories </a>\n        </span>\n      </li>\n"
         "      <li itemscope itemtype='http://schema.org/SiteNavigationElement'>\n        <span itemprop='name'>\n"
         "          <a href='/guidelines' itemprop=\"url\">FAQ/Guidelines </a>\n        </span>\n      </li>\n"
         "        <li itemscope itemtype='http://schema.org/SiteNavigationElement'>\n          <span itemprop='name'>\n"
         "            <a href='/tos' itemprop=\"url\">Terms of Service </a>\n          </span>\n        </li>\n"
         "        <li itemscope itemtype='http://schema.org/SiteNavigationElement'>\n          <span itemprop='name'>\n"
         "            <a href='/privacy' itemprop=\"url\">Privacy Policy </a>\n          </span>\n        </li>\n    </ul>\n  </nav>\n"
         "  <p class='powered-by-link'>Powered by <a href=\"https://www.discourse.org\">Discourse</a>, best viewed with JavaScript enabled</p>\n"
         "</footer>\n\n  </body>\n</html>\n";
}

std::string Discourse3Board::topicList(const Request& request, const std::vector<const ModelTopic*>& topics,
                                       int current, bool showCategory, const std::string& pageBase,
                                       std::string& head) const {
  std::string rows;
  int shown = 0;
  for (int i = current * model_->topicsPerPage;
       i < static_cast<int>(topics.size()) && i < (current + 1) * model_->topicsPerPage; ++i, ++shown) {
    const ModelTopic& t = *topics[static_cast<std::size_t>(i)];
    const ModelForum& f = *model_->forum(t.forum);
    std::string posters;
    std::vector<const Member*> seen;
    for (const Post& p : t.posts) {
      bool known = false;
      for (const Member* m : seen) known = known || m == p.author;
      if (known || seen.size() == 5) continue;
      seen.push_back(p.author);
      std::string name = username(*p.author);
      posters += "              <a href=\"" + origin(request) + "/u/" + name + "\" class=\"" +
                 (seen.size() == 1 ? "" : "latest") +
                 "\">\n"
                 "                <img width=\"25\" height=\"25\" src=\"/letter_avatar_proxy/v4/letter/" +
                 name.substr(0, 1) + "/8797f3/25.png\" class=\"avatar\" title='" + escapeHtml(name) + " - " +
                 (seen.size() == 1 ? "Original Poster" : "Frequent Poster") + "' aria-label='" + escapeHtml(name) +
                 " - Poster'>\n              </a>\n";
    }
    rows +=
        "          <tr class=\"topic-list-item\">\n            <td class=\"main-link\" itemprop='itemListElement' itemscope "
        "itemtype='http://schema.org/ListItem'>\n              <meta itemprop='position' content='" +
        std::to_string(shown + 1) +
        "'>\n"
        "              <span class=\"link-top-line\">\n                <a itemprop='url' href='" +
        origin(request) + topicUrl(t) + "' class='title raw-link raw-topic-link'>" + escapeHtml(t.title) +
        "</a>\n              </span>\n"
        "              <div class=\"link-bottom-line\">\n" +
        (showCategory
             ? "                  <a href='" + categoryUrl(f) +
                   "' class='badge-wrapper bullet'>\n"
                   "                    <span class='badge-category-bg' style='background-color: #0088CC'></span>\n"
                   "                    <span class='badge-category clear-badge'>\n                      <span class='category-name'>" +
                   escapeHtml(f.name) + "</span>\n                    </span>\n                  </a>\n"
             : "") +
        "              </div>\n            </td>\n            <td class=\"posters\">\n" + posters +
        "            </td>\n"
        "            <td class=\"replies\">\n              <span class='posts' title='posts'>" +
        std::to_string(t.posts.size() - 1) +
        "</span>\n            </td>\n            <td class=\"views\">\n              <span class='views' title='views'>" +
        std::to_string(t.views) + "</span>\n            </td>\n            <td>\n              " +
        shortDate(t.posts.back().time) + "\n            </td>\n          </tr>\n";
  }
  std::string nav;
  if (shown == model_->topicsPerPage || current > 0) {
    nav = "  <div role='navigation' itemscope itemtype='http://schema.org/SiteNavigationElement'>\n";
    if (current > 0) {
      std::string prev = pageBase + (current - 1 == 0 ? "" : "?page=" + std::to_string(current - 1));
      nav += "      <span itemprop='name'><a href='" + prev +
             "' rel='prev' itemprop='url'>&laquo; Previous Page</a> &nbsp;</span>\n";
      head += "      <link rel=\"prev\" href=\"" + prev + "\">\n";
    }
    // Like the engine, a full page always offers a next one.
    if (shown == model_->topicsPerPage) {
      std::string next = pageBase + "?page=" + std::to_string(current + 1);
      nav += "      <span itemprop='name'><b><a href='" + next +
             "' rel='next' itemprop='url'>Next Page &raquo;</a></b></span>\n";
      head += "    <link rel=\"next\" href=\"" + next + "\">\n";
    }
    nav += "  </div>\n";
  }
  return "<div class=\"topic-list-container\" itemscope itemtype='http://schema.org/ItemList'>\n"
         "  <meta itemprop='itemListOrder' content='http://schema.org/ItemListOrderDescending'>\n  <table class='topic-list'>\n"
         "    <thead>\n      <tr>\n        <th>Topic</th>\n        <th></th>\n        <th class=\"replies\">Replies</th>\n"
         "        <th class=\"views\">Views</th>\n        <th>Activity</th>\n      </tr>\n    </thead>\n    <tbody>\n" +
         rows + "    </tbody>\n  </table>\n</div>\n\n" + nav;
}

Response Discourse3Board::categories(const Request& request) const {
  std::string rows;
  for (const ModelForum& f : model_->forums) {
    if (f.parent != 0) continue;
    std::string subs;
    for (const ModelForum* sub : model_->subForums(f.id)) {
      subs += "              <div class='subcategories'>\n                <a href='" + categoryUrl(*sub) +
              "'>\n"
              "                  <span itemprop='name'>" +
              escapeHtml(sub->name) +
              "</span>\n                </a>\n"
              "                <span class='topic-count'>(" +
              std::to_string(model_->topicsOf(sub->id).size()) + ")</span>\n              </div>\n";
    }
    rows +=
        "        <tr>\n          <td class=\"category\" style=\"border-color: #0088CC\">\n"
        "            <div itemprop='itemListElement' itemscope itemtype='http://schema.org/ListItem'>\n"
        "              <meta itemprop='url' content='" +
        categoryUrl(f) +
        "'>\n              <h3>\n"
        "                <a href='" +
        categoryUrl(f) + "'>\n                  <span itemprop='name'>" + escapeHtml(f.name) +
        "</span>\n"
        "                </a>\n              </h3>\n              <div itemprop='description'>" +
        escapeHtml(f.description) + "</div>\n" + subs +
        "            </div>\n          </td>\n          <td class=\"topics\">\n            <div title=\"" +
        std::to_string(model_->topicCount(f.id)) + " topics\">" + std::to_string(model_->topicCount(f.id)) +
        "</div>\n"
        "          </td>\n        </tr>\n";
  }
  std::string body =
      "<div class=\"category-list\" itemscope itemtype='http://schema.org/ItemList'>\n"
      "  <meta itemprop='itemListOrder' content='http://schema.org/ItemListOrderDescending'>\n  <table class=\"category-list\">\n"
      "    <thead>\n      <tr>\n        <th class=\"category\">Category</th>\n        <th class=\"topics\">Topics</th>\n"
      "      </tr>\n    </thead>\n    <tbody>\n" +
      rows +
      "    </tbody>\n  </table>\n</div>\n\n"
      "<p><a href='/latest'>Latest topics</a></p>\n";
  std::string head = "<link rel=\"canonical\" href=\"" + origin(request) + "/categories\" />\n";
  return htmlPage(page(request, model_->title, "A board for the keepers of small lights", head, body));
}

Response Discourse3Board::latest(const Request& request) const {
  std::vector<const ModelTopic*> topics;
  for (const ModelTopic& t : model_->topics) topics.push_back(&t);
  int current = static_cast<int>(request.number("page"));
  if (current < 0 || current > static_cast<int>(topics.size()) / model_->topicsPerPage) return Response::notFound();
  std::string head;
  std::string list = topicList(request, topics, current, true, "/latest", head);
  return htmlPage(
      page(request, "Latest topics - " + model_->title, "A board for the keepers of small lights", head, list));
}

Response Discourse3Board::category(const Request& request, const ModelForum& f) const {
  int current = static_cast<int>(request.number("page"));
  std::vector<const ModelTopic*> topics = model_->topicsOf(f.id);
  if (current < 0 || current > static_cast<int>(topics.size()) / model_->topicsPerPage) return Response::notFound();
  std::string body = "  <h1>\n";
  if (const ModelForum* parent = model_->forum(f.parent)) {
    body += "      <a href=\"" + categoryUrl(*parent) + "\" itemprop=\"item\">\n        <span itemprop='name'>" +
            escapeHtml(parent->name) + "</span>\n</a>      &nbsp;\n";
  }
  body += "    <a href=\"" + categoryUrl(f) + "\" itemprop=\"item\">\n      <span itemprop='name'>" +
          escapeHtml(f.name) +
          "</span>\n</a>  </h1>\n"
          "  <br/>\n";
  if (current == 0) {
    for (const ModelForum* sub : model_->subForums(f.id)) {
      body += "      <a href='" + categoryUrl(*sub) + "'>\n        <span itemprop='name'>" + escapeHtml(sub->name) +
              "</span>\n      </a>\n"
              "        <span itemprop='description'>" +
              escapeHtml(sub->description) + "</span>\n    <br/>\n";
    }
  }
  std::string head = "<link rel=\"canonical\" href=\"" + origin(request) + categoryUrl(f) +
                     (current > 0 ? "?page=" + std::to_string(current) : "") +
                     "\" />\n<link rel=\"alternate nofollow\" type=\"application/rss+xml\" title=\"Latest topics in " +
                     escapeHtml(f.name) + "\" href=\"" + origin(request) + categoryUrl(f) + ".rss\" />\n";
  body += topicList(request, topics, current, false, categoryUrl(f) + "/l/latest", head);
  return htmlPage(page(request, f.name + " - " + model_->title, f.description, head, body));
}

Response Discourse3Board::topic(const Request& request, const ModelTopic& t, int current) const {
  const ModelForum& f = *model_->forum(t.forum);
  std::string address = origin(request) + topicUrl(t);
  PostMarkup markup;
  markup.boldOpen = "<strong>";
  markup.boldClose = "</strong>";
  markup.italicOpen = "<em>";
  markup.italicClose = "</em>";
  markup.link = "<a href=\"{href}\" rel=\"noopener nofollow ugc\">{text}</a>";
  markup.smiley =
      "<img src=\"{src}\" title=\":slight_smile:\" class=\"emoji\" alt=\":slight_smile:\" loading=\"lazy\" width=\"20\" height=\"20\">";
  markup.smileySource = origin(request) + "/images/emoji/twitter/slight_smile.png?v=12";
  markup.lineBreak = "<br>\n";
  markup.paragraphOpen = "<p>";
  markup.paragraphClose = "</p>";
  markup.paragraphSeparator = "\n";
  markup.quote =
      "<aside class=\"quote no-group\" data-username=\"{who}\" data-post=\"{number}\" data-topic=\"{topic}\">\n<div class=\"title\">\n"
      "<div class=\"quote-controls\"></div>\n {who}:</div>\n<blockquote>\n<p>{body}</p>\n</blockquote>\n</aside>";
  markup.code = "<pre><code class=\"lang-auto\">{code}\n</code></pre>";
  markup.listOpen = "<ul>\n";
  markup.listClose = "</ul>";
  markup.itemClose = "</li>\n";
  std::string posts;
  for (int i = current * model_->postsPerPage;
       i < static_cast<int>(t.posts.size()) && i < (current + 1) * model_->postsPerPage; ++i) {
    const Post& p = t.posts[static_cast<std::size_t>(i)];
    std::string number = std::to_string(i + 1);
    posts +=
        "      <div id='post_" + number + "' " +
        (i == 0 ? "" : "itemprop='comment' itemscope itemtype='http://schema.org/Comment' ") +
        "class='topic-body crawler-post'>\n        <div class='crawler-post-meta'>\n"
        "          <span class=\"creator\" itemprop=\"author\" itemscope itemtype=\"http://schema.org/Person\">\n"
        "            <a itemprop=\"url\" href='" +
        origin(request) + "/u/" + username(*p.author) + "'><span itemprop='name'>" + username(*p.author) +
        "</span></a>\n            (" + escapeHtml(p.author->name) +
        ")\n          </span>\n\n"
        "          <link itemprop=\"mainEntityOfPage\" href=\"" +
        address +
        "\">\n\n\n          <span class=\"crawler-post-infos\">\n"
        "              <time " +
        (i == 0 ? "itemprop='datePublished' " : "itemprop='datePublished' ") + "datetime='" + isoTime(p.time) +
        "' class='post-time'>\n                " + discourseDate(p.time) +
        "\n              </time>\n"
        "              <meta itemprop='dateModified' content='" +
        isoTime(p.time) + "'>\n          <span itemprop='position'>" + number +
        "</span>\n          </span>\n        </div>\n        <div class='post' itemprop='" +
        (i == 0 ? "articleBody" : "text") + "'>\n" + renderMessage(p, markup, t.id) +
        "\n        </div>\n\n        <div itemprop=\"interactionStatistic\" itemscope "
        "itemtype=\"http://schema.org/InteractionCounter\">\n           <meta itemprop=\"interactionType\" content=\"http://schema.org/LikeAction\"/>\n"
        "           <meta itemprop=\"userInteractionCount\" content=\"0\" />\n           <span class='post-likes'></span>\n        </div>\n\n"
        "      </div>\n";
  }
  int pages = model_->topicPages(t);
  std::string head = "<link rel=\"canonical\" href=\"" + address +
                     (current > 0 ? "?page=" + std::to_string(current + 1) : "") + "\" />\n";
  std::string nav;
  if (pages > 1) {
    nav =
        "    <div role='navigation' itemscope itemtype='http://schema.org/SiteNavigationElement' class=\"topic-body crawler-post\">\n";
    if (current > 0) {
      std::string prev = topicUrl(t) + (current == 1 ? "" : "?page=" + std::to_string(current));
      nav += "        <span itemprop='name'><a rel=\"prev\" itemprop=\"url\" href=\"" + prev +
             "\">&larr; previous page</a></span>\n";
      head += "<link rel=\"prev\" href=\"" + prev + "\">\n";
    }
    if (current + 1 < pages) {
      std::string next = topicUrl(t) + "?page=" + std::to_string(current + 2);
      nav += "        <span itemprop='name'><b><a rel=\"next\" itemprop=\"url\" href=\"" + next +
             "\">next page &rarr;</a></b></span>\n";
      head += "<link rel=\"next\" href=\"" + next + "\">\n";
    }
    nav += "    </div>\n";
  }
  head += "<link rel=\"alternate nofollow\" type=\"application/rss+xml\" title=\"RSS feed of &#39;" +
          escapeHtml(t.title) + "&#39;\" href=\"" + address + ".rss\" />\n";
  std::string body =
      "<div id=\"topic-title\">\n    <h1>\n      <a href=\"" + topicUrl(t) + "\">" + escapeHtml(t.title) +
      "</a>\n    </h1>\n\n"
      "      <div class=\"topic-category\" itemscope itemtype=\"http://schema.org/BreadcrumbList\">\n"
      "          <span itemprop=\"itemListElement\" itemscope itemtype=\"http://schema.org/ListItem\">\n"
      "            <a href=\"" +
      categoryUrl(f) +
      "\" class=\"badge-wrapper bullet\" itemprop=\"item\">\n"
      "              <span class='badge-category-bg' style='background-color: #0088CC'></span>\n"
      "              <span class='badge-category clear-badge'>\n                <span class='category-name' itemprop='name'>" +
      escapeHtml(f.name) +
      "</span>\n              </span>\n            </a>\n"
      "            <meta itemprop=\"position\" content=\"1\" />\n          </span>\n      </div>\n\n</div>\n\n"
      "  <div itemscope itemtype='http://schema.org/DiscussionForumPosting'>\n    <meta itemprop='headline' content='" +
      escapeHtml(t.title) + "'>\n    <link itemprop='url' href='" + address +
      "'>\n    <meta itemprop='datePublished' content='" + isoTime(t.posts.front().time) +
      "'>\n        <meta itemprop='articleSection' content='" + escapeHtml(f.name) +
      "'>\n"
      "    <meta itemprop='keywords' content=''>\n    <div itemprop='publisher' itemscope itemtype=\"http://schema.org/Organization\">\n"
      "      <meta itemprop='name' content='" +
      escapeHtml(model_->title) + "'>\n    </div>\n\n" + posts + "  </div>\n\n" + nav;
  return htmlPage(
      page(request, t.title + " - " + f.name + " - " + model_->title, "Post 1 opens the topic.", head, body));
}

Response Discourse3Board::serve(const Request& request) const {
  const std::string& path = request.path;
  std::vector<std::string> parts;
  for (std::size_t from = 1; from <= path.size();) {
    std::size_t slash = path.find('/', from);
    if (slash == std::string::npos) slash = path.size();
    if (slash > from) parts.push_back(path.substr(from, slash - from));
    from = slash + 1;
  }
  auto isNumber = [](const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  };
  if (parts.empty() || path == "/categories") return categories(request);
  if (path == "/latest") return latest(request);
  if (parts[0] == "c") {
    // /c/[parent/]slug/id[/l/latest]
    std::size_t idAt = 1;
    while (idAt < parts.size() && !isNumber(parts[idAt])) ++idAt;
    if (idAt >= parts.size()) return Response::notFound();
    const ModelForum* f = model_->forum(std::stol(parts[idAt]));
    if (f == nullptr) return Response::notFound();
    std::string rest =
        idAt + 1 < parts.size() ? path.substr(path.find("/" + parts[idAt]) + parts[idAt].size() + 1) : "";
    if (rest != "" && rest != "/l/latest") return Response::notFound();
    if (path.substr(0, path.size() - rest.size()) != categoryUrl(*f)) return Response::redirect(categoryUrl(*f) + rest);
    return category(request, *f);
  }
  if (parts[0] == "t" && parts.size() >= 3 && isNumber(parts[2])) {
    const ModelTopic* t = model_->topic(std::stol(parts[2]));
    if (t == nullptr) return Response::notFound();
    if (parts[1] != t->slug) return Response::redirect(topicUrl(*t) + (parts.size() > 3 ? "/" + parts[3] : ""));
    int current = static_cast<int>(request.number("page", 1)) - 1;
    if (parts.size() > 3) {
      if (!isNumber(parts[3])) return Response::notFound();
      long number = std::stol(parts[3]);
      if (number < 1) return Response::notFound();
      current =
          model_->pageOfPost(static_cast<std::size_t>(std::min<long>(number, static_cast<long>(t->posts.size())) - 1));
    }
    if (current < 0 || current >= model_->topicPages(*t)) return Response::notFound();
    return topic(request, *t, current);
  }
  if (parts[0] == "u" || path == "/guidelines" || path == "/tos" || path == "/privacy" || path == "/about" ||
      path == "/search" || path == "/login" || path == "/signup") {
    return htmlPage(page(request, model_->title, "", "", "<p>This page needs JavaScript.</p>\n"));
  }
  if (parts[0] == "letter_avatar_proxy" || parts[0] == "images" || parts[0] == "uploads") return pictureResponse();
  return Response::notFound();
}

}  // namespace

Handler makeDiscourse3Board(std::shared_ptr<const BoardModel> model) {
  auto board = std::make_shared<Discourse3Board>(std::move(model));
  return [board](const Request& request) { return board->serve(request); };
}

}  // namespace quillstash::demo
