// SPDX-License-Identifier: MIT
#include "archive/tree_markup.h"

#include <algorithm>
#include <string>

#include "text/address.h"
#include "text/strings.h"

namespace quillstash {
namespace {

// Elements nested deeper than this inside a message are written as text.
constexpr int kMaxDepth = 64;

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements whose whole content is left out.
bool isSkipped(std::string_view name) {
  return isOneOf(name,
                 {"script", "style", "noscript", "template", "form", "button", "input", "select", "textarea", "iframe",
                  "object", "embed", "svg",      "math",     "head", "title",  "meta",  "link",   "video",    "audio"});
}

// Elements that stand on lines of their own.
bool isBlock(std::string_view name) {
  return isOneOf(name, {"div", "article", "section", "aside",  "header",  "footer", "figure", "figcaption",
                        "dl",  "dt",      "dd",      "h1",     "h2",      "h3",     "h4",     "h5",
                        "h6",  "details", "summary", "center", "address", "hr"});
}

bool endsWithTag(const OutputBuffer& out, std::size_t start) {
  if (out.length() == start) return true;
  for (std::string_view tail : {"<BR>", "<P>", "</P>", "<BLOCKQUOTE>", "</BLOCKQUOTE>", "<PRE>", "</PRE>", "<UL>",
                                "</UL>", "<OL>", "</OL>", "<LI>", "</LI>"}) {
    if (out.endsWith(tail)) return true;
  }
  return false;
}

// Ends what was written with one line break, unless it is empty or ends
// with a tag that breaks the line itself.
void endLine(OutputBuffer& out, std::size_t start) {
  if (endsWithTag(out, start)) return;
  addLineBreak(out);
}

class TreeCleaner {
 public:
  TreeCleaner(const MessageParts& parts, std::string_view forumHost, OutputBuffer& out, MessageMedia& media)
      : parts_(parts), forumHost_(forumHost), out_(out), media_(media), start_(out.length()) {}

  void children(html::Node node, int depth) {
    for (html::Node child = node.firstChild(); child; child = child.nextSibling()) write(child, depth);
  }

  void finish() {
    if (linkOpen_) out_.append("</A>");
    linkOpen_ = false;
    // Trailing breaks of the last block add nothing to a table cell.
    while (out_.length() > start_ && out_.endsWith("<BR>")) out_.rewind(out_.length() - 4);
  }

 private:
  void text(std::string_view text) {
    if (preDepth_ > 0) {
      // Code keeps its lines: each line break becomes <BR>.
      std::size_t from = 0;
      for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
          std::string_view line = text.substr(from, i - from);
          if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
          appendEscaped(out_, line);
          if (i < text.size()) out_.append("<BR>");
          from = i + 1;
        }
      }
      return;
    }
    // White space runs become one blank, none at the start of a line.
    bool blank = false;
    std::string run;
    for (char c : text) {
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
        blank = true;
        continue;
      }
      if (blank && (!run.empty() || !endsWithTag(out_, start_))) run += ' ';
      blank = false;
      run += c;
    }
    if (blank && (!run.empty() || !endsWithTag(out_, start_))) run += ' ';
    appendEscaped(out_, run);
  }

  // Inline markup; left out when nothing was written inside it (icons).
  void wrap(html::Node node, int depth, std::string_view open, std::string_view close) {
    std::size_t mark = out_.length();
    out_.append(open);
    children(node, depth);
    if (out_.length() == mark + open.size()) {
      out_.rewind(mark);
      return;
    }
    out_.append(close);
  }

  void block(html::Node node, int depth, const char* open, const char* close) {
    // The block's own tags break the line; a break before them would add an empty one.
    while (out_.length() > start_ && out_.endsWith("<BR>")) out_.rewind(out_.length() - 4);
    out_.append(open);
    children(node, depth);
    while (out_.endsWith("<BR>")) out_.rewind(out_.length() - 4);
    out_.append(close);
  }

  // A quote block, with the name its attribute gives (when the profile
  // names one) on the first line.
  void quote(html::Node node, int depth) {
    std::string who = parts_.quoteAuthor.empty() ? std::string() : node.attribute(parts_.quoteAuthor);
    while (out_.length() > start_ && out_.endsWith("<BR>")) out_.rewind(out_.length() - 4);
    out_.append("<BLOCKQUOTE>");
    if (!who.empty()) {
      out_.append("<B>");
      appendEscaped(out_, who);
      out_.append("</B><BR>");
    }
    children(node, depth);
    while (out_.endsWith("<BR>")) out_.rewind(out_.length() - 4);
    out_.append("</BLOCKQUOTE>");
  }

  void image(html::Node node) {
    std::string source = node.attribute("src");
    if (source.empty()) source = node.attribute("data-src");
    std::string alt = node.attribute("alt");
    // Pictures of the forum itself (smileys, icons) become their text;
    // pictures from elsewhere go to the media.
    bool secure = startsWithFolded(source.c_str(), "https://");
    bool remote = hasHttpScheme(source.c_str()) || secure;
    if (remote && isForumHost(source.c_str() + (secure ? 8 : 7))) remote = false;
    if (!remote && !alt.empty()) {
      appendEscaped(out_, alt);
      return;
    }
    // Any other scheme (script, data) shows nothing.
    std::size_t colon = source.find(':');
    if (!remote && colon != std::string::npos && colon < source.find_first_of("/?#")) return;
    if (source.find_first_of("\"<>") != std::string::npos) return;
    if (secure) {
      // The media reads plain addresses; a secure one is shown from where it is.
      out_.append("<IMG src=\"");
      appendEscaped(out_, source);
      out_.append("\">");
      return;
    }
    std::string tag = "<img src=\"" + source + "\">";
    if (tag.find('"', 10) != tag.size() - 2) return;  // a quote inside the address
    media_.rewriteImage(tag.c_str(), out_);
  }

  void link(html::Node node, int depth) {
    std::string href = node.attribute("href");
    bool opened = false;
    bool secure = href.size() > 8 && startsWithFolded(href.c_str(), "https://");
    if (!linkOpen_ && secure && href.find_first_of("\"<>") == std::string::npos && !isForumHost(href.c_str() + 8)) {
      // Secure links are kept as they are; plain ones go through the media.
      out_.append("<A HREF=\"");
      appendEscaped(out_, href);
      out_.append("\">");
      linkOpen_ = true;
      opened = true;
    } else if (!linkOpen_ && hasHttpScheme(href.c_str()) && href.find('"') == std::string::npos) {
      std::string tag = "<a href=\"" + href + "\">";
      media_.rewriteLink(tag.c_str(), out_, linkOpen_);
      opened = linkOpen_;
    }
    children(node, depth);
    if (opened && linkOpen_) {
      out_.append("</A>");
      linkOpen_ = false;
    }
  }

  void write(html::Node node, int depth) {
    if (node.isText()) {
      text(node.ownText());
      return;
    }
    if (!node.isElement()) return;
    if (among(parts_.dropped, node)) return;
    std::string_view name = node.name();
    if (isSkipped(name)) return;
    if (depth >= kMaxDepth) {
      text(node.text());
      return;
    }
    ++depth;
    std::string style = node.attribute("style");
    if (name == "br") {
      out_.append("<BR>");
    } else if (name == "b" || name == "strong") {
      wrap(node, depth, "<B>", "</B>");
    } else if (name == "i" || name == "em") {
      wrap(node, depth, "<I>", "</I>");
    } else if (name == "u" || name == "ins") {
      wrap(node, depth, "<U>", "</U>");
    } else if (name == "span" && style.find("underline") != std::string::npos) {
      wrap(node, depth, "<U>", "</U>");
    } else if (name == "span" && style.find("bold") != std::string::npos) {
      wrap(node, depth, "<B>", "</B>");
    } else if (name == "span" && style.find("italic") != std::string::npos) {
      wrap(node, depth, "<I>", "</I>");
    } else if (name == "p") {
      block(node, depth, "<P>", "</P>");
    } else if (name == "blockquote" && among(parts_.quotes, node.parent())) {
      children(node, depth);  // the body of a quote block already written as a quote
    } else if (name == "blockquote" || among(parts_.quotes, node)) {
      quote(node, depth);
    } else if (name == "cite" || among(parts_.quoteTitles, node)) {
      // Who is quoted: a line of its own at the top of the quote.
      wrap(node, depth, "<B>", "</B>");
      out_.append("<BR>");
    } else if (name == "pre" || among(parts_.codes, node) || (name == "code" && preDepth_ == 0)) {
      ++preDepth_;
      block(node, depth, "<PRE>", "</PRE>");
      --preDepth_;
    } else if (name == "ul") {
      block(node, depth, "<UL>", "</UL>");
    } else if (name == "ol") {
      block(node, depth, "<OL>", "</OL>");
    } else if (name == "li") {
      wrap(node, depth, "<LI>", "</LI>");
    } else if (name == "table") {
      block(node, depth, "<TABLE border=\"1\">", "</TABLE>");
    } else if (name == "tr") {
      wrap(node, depth, "<TR>", "</TR>");
    } else if (name == "td" || name == "th") {
      wrap(node, depth, "<TD>", "</TD>");
    } else if (name == "a") {
      link(node, depth);
    } else if (name == "img") {
      image(node);
    } else if (isBlock(name)) {
      endLine(out_, start_);
      children(node, depth);
      endLine(out_, start_);
    } else {
      children(node, depth);
    }
  }

  // True when the address after "scheme://" names the forum's own host.
  bool isForumHost(const char* afterScheme) const {
    std::string_view rest(afterScheme);
    std::size_t end = rest.find_first_of("/?#");
    std::string_view host = rest.substr(0, end);
    if (host.size() != forumHost_.size()) return false;
    for (std::size_t i = 0; i < host.size(); ++i) {
      if (!foldedEqual(host[i], forumHost_[i])) return false;
    }
    return true;
  }

  static bool among(const std::vector<html::Node>& nodes, const html::Node& node) {
    return std::find(nodes.begin(), nodes.end(), node) != nodes.end();
  }

  const MessageParts& parts_;
  std::string_view forumHost_;
  OutputBuffer& out_;
  MessageMedia& media_;
  std::size_t start_;
  bool linkOpen_ = false;
  int preDepth_ = 0;
};

}  // namespace

void appendEscaped(OutputBuffer& out, std::string_view text) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* entity = text[i] == '&' ? "&amp;" : text[i] == '<' ? "&lt;" : text[i] == '>' ? "&gt;" : nullptr;
    if (entity == nullptr) continue;
    out.append(text.substr(from, i - from));
    out.append(entity);
    from = i + 1;
  }
  out.append(text.substr(from));
}

void writeMessageTree(html::Node message, const MessageParts& parts, std::string_view forumHost, OutputBuffer& out,
                      MessageMedia& media) {
  TreeCleaner cleaner(parts, forumHost, out, media);
  cleaner.children(message, 0);
  cleaner.finish();
}

}  // namespace quillstash
