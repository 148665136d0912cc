// SPDX-License-Identifier: MIT
#include "engines/page_reading.h"

#include "text/address.h"
#include "text/text_writer.h"

namespace quillstash {
namespace {

bool startsWithFolded(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if ((text[i] | 0x20) != (prefix[i] | 0x20)) return false;
  }
  return true;
}

bool insideAny(const html::Node& node, const std::vector<html::Node>& blocks) {
  for (const html::Node& block : blocks) {
    if (block.contains(node)) return true;
  }
  return false;
}

bool matchesAny(const std::vector<std::string>& patterns, std::string_view address) {
  for (const std::string& pattern : patterns) {
    if (matchAddressPattern(pattern, address)) return true;
  }
  return false;
}

bool hasRelNext(const html::Node& node) {
  std::string rel = node.attribute("rel");
  std::size_t at = rel.find("next");
  return at != std::string::npos && (at == 0 || rel[at - 1] == ' ') && (at + 4 == rel.size() || rel[at + 4] == ' ');
}

// Removes the "." and ".." segments of the address's path (before its
// query), as browsers do, so that "./x" and "a/../x" name the page "x" does.
std::string removeDotSegments(std::string address) {
  std::size_t scheme = address.find("//");
  std::size_t pathStart = scheme == std::string::npos ? 0 : address.find('/', scheme + 2);
  if (pathStart == std::string::npos) return address;
  std::size_t pathEnd = address.find_first_of("?#", pathStart);
  if (pathEnd == std::string::npos) pathEnd = address.size();
  std::string_view path(address.data() + pathStart, pathEnd - pathStart);
  if (path.find("/.") == std::string_view::npos) return address;
  std::vector<std::string_view> segments;
  std::size_t i = 1;
  bool trailingSlash = false;
  while (i <= path.size()) {
    std::size_t end = path.find('/', i);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(i, end - i);
    trailingSlash = end < path.size() || segment == "." || segment == "..";
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (segment != ".") {
      segments.push_back(segment);
    }
    i = end + 1;
  }
  std::string clean;
  for (std::string_view segment : segments) {
    clean += '/';
    clean += segment;
  }
  if (clean.empty() || (trailingSlash && !segments.empty() && !segments.back().empty())) clean += '/';
  return address.substr(0, pathStart) + clean + address.substr(pathEnd);
}

// The address relative links of the page resolve against: its <base href>
// when it has one, else its own address.
std::string pageBase(const html::Document& page, std::string_view pageAddress) {
  for (const html::Node& base : page.select("head base[href], base[href]")) {
    std::string address = resolveHref(pageAddress, base.attribute("href"));
    if (!address.empty()) return address;
  }
  return std::string(pageAddress);
}

// Attachment links of a post when the profile names none: the rule the
// table-based path applies to a whole page, kept inside the post blocks.
constexpr std::string_view kDefaultAttachments = "xpath:.//a[contains(translate(@href, 'ATCH', 'atch'), 'attach')]";

}  // namespace

std::string resolveHref(std::string_view pageAddress, std::string_view href) {
  while (!href.empty() && static_cast<unsigned char>(href.front()) <= 0x20) href.remove_prefix(1);
  if (href.empty() || href.front() == '#') return {};
  for (std::string_view scheme : {"javascript:", "mailto:", "data:", "ftp:", "about:", "tel:"}) {
    if (startsWithFolded(href, scheme)) return {};
  }
  if (href.size() > 4096) return {};
  std::string base(pageAddress);
  std::string link(href);
  FixedText<16384> out;
  TextWriter writer = out.writer();
  appendResolvedPageLink(base.c_str(), link.c_str(), writer);
  writer.terminate();
  if (writer.truncated()) return {};
  std::string address = removeDotSegments(std::string(out.view()));
  if (!address.empty() && address.back() == '?') address.pop_back();  // a query left empty without its session id
  return address;
}

// The marker of the row around `links[index]`: see FoundLink::row.
std::string rowMarker(const std::vector<html::Node>& links, std::size_t index, const std::string& base) {
  html::Node row = links[index];
  for (html::Node up = row.parent(); up && up.name() != "body" && up.name() != "html"; up = up.parent()) {
    bool shared = false;
    for (std::size_t other = 0; other < links.size() && !shared; ++other) {
      shared = other != index && up.contains(links[other]);
    }
    if (shared) break;
    row = up;
  }
  std::string marker;
  html::walkTree(row, [&](const html::Node& node) {
    if (node.isText()) {
      std::string_view text = node.ownText();
      const bool blank = text.find_first_not_of(" \t\r\n") == std::string_view::npos;
      const bool number = text.find_first_not_of(" \t\r\n0123456789,.") == std::string_view::npos;
      if (!blank && !number) marker.append(text).append("|");
    } else if (node.isElement() && node.name() == "a") {
      std::string address = resolveHref(base, node.attribute("href"));
      if (!address.empty()) marker.append(address).append("|");
    }
    return true;
  });
  return marker;
}

std::vector<FoundLink> findLinks(const html::Document& page, const LinkRules& rules, std::string_view pageAddress) {
  std::vector<FoundLink> found;
  std::vector<html::Node> nodes;  // the link of each found entry
  const std::string base = pageBase(page, pageAddress);
  if (rules.links.empty()) return found;
  std::vector<html::Node> ignored = rules.ignore.empty() ? std::vector<html::Node>() : page.query(rules.ignore);
  for (const html::Node& link : page.query(rules.links)) {
    if (insideAny(link, ignored)) continue;
    std::string text = link.text();
    if (text.empty()) continue;
    std::string address = resolveHref(base, link.attribute("href"));
    if (address.empty() || matchesAny(rules.ignoreAddresses, address)) continue;
    std::string key = linkKey(rules, address);
    if (key.empty()) continue;
    bool seen = false;
    for (const FoundLink& earlier : found) seen = seen || earlier.key == key;
    if (seen) continue;
    found.push_back({std::move(address), std::move(key), std::move(text), {}});
    nodes.push_back(link);
  }
  for (std::size_t i = 0; i < found.size(); ++i) found[i].row = rowMarker(nodes, i, base);
  return found;
}

std::string findNextPage(const html::Document& page, const LinkRules& rules, std::string_view pageAddress,
                         std::string_view currentKey) {
  const std::string base = pageBase(page, pageAddress);
  auto fits = [&](const std::string& address) {
    if (address.empty()) return false;
    // A number, or an address without its page parts, tells pages of the
    // same forum or topic apart from others; a whole address cannot.
    bool comparable = !currentKey.empty() && (currentKey.front() == '#' || !rules.pageParts.empty());
    return !comparable || linkKey(rules, address) == currentKey;
  };
  for (const html::Node& node : page.select("link[rel], a[rel]")) {
    if (!hasRelNext(node)) continue;
    std::string address = resolveHref(base, node.attribute("href"));
    if (fits(address)) return address;
  }
  if (!rules.next.empty()) {
    for (const html::Node& node : page.query(rules.next)) {
      std::string address = resolveHref(base, node.attribute("href"));
      if (fits(address)) return address;
    }
  }
  return {};
}

std::vector<FoundPost> findPosts(const html::Document& page, const EngineProfile& profile) {
  std::vector<FoundPost> posts;
  std::vector<html::Node> blocks = page.query(profile.post);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const html::Node& block = blocks[i];
    // A post block inside another (a quoted post in some styles) belongs to the outer one.
    bool nested = false;
    for (std::size_t k = 0; k < i && !nested; ++k) nested = blocks[k].contains(block);
    if (nested) continue;
    FoundPost post;
    std::vector<html::Node> authors = page.query(profile.author, block);
    if (!authors.empty()) post.author = authors.front().text();
    if (!profile.date.empty()) {
      std::vector<html::Node> dates = page.query(profile.date, block);
      if (!dates.empty()) {
        post.date = dates.front().text();
        if (post.date.empty()) post.date = dates.front().attribute("datetime");
        if (post.date.empty()) post.date = dates.front().attribute("title");
      }
    }
    std::vector<html::Node> messages = page.query(profile.message, block);
    if (!messages.empty()) post.message = messages.front();
    std::string_view attachments = profile.attachments.empty() ? kDefaultAttachments : profile.attachments;
    for (const html::Node& node : page.query(attachments, block)) {
      std::string address = node.attribute("href");
      if (address.empty()) address = node.attribute("src");
      bool known = address.empty();
      for (const std::string& earlier : post.attachments) known = known || earlier == address;
      if (!known) post.attachments.push_back(std::move(address));
    }
    posts.push_back(std::move(post));
  }
  return posts;
}

}  // namespace quillstash
