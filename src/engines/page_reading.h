// SPDX-License-Identifier: MIT
#pragma once

// Reading one page by a profile: its forum or topic links, its next page and
// its posts. Addresses are resolved against the page's own address, with
// session ids left out, so that the same forum or topic always gets the same
// address.

#include <string>
#include <string_view>
#include <vector>

#include "engines/profile.h"
#include "html/tree.h"

namespace quillstash {

struct FoundLink {
  std::string address;  // resolved, session ids and fragment left out
  std::string key;      // linkKey of the address
  std::string text;     // the link's text, blanks collapsed
  // What the listing shows around the link (its row: the widest element that
  // holds no other link taken): the row's links and its texts that are not
  // bare numbers, each followed by '|'. Changes when a topic gets a new post
  // (last-post link or date), not when only its view count moves.
  std::string row;
};

// `href` resolved against `pageAddress` without session ids and fragment;
// empty for links that lead nowhere to fetch (fragments, scripts, mail).
std::string resolveHref(std::string_view pageAddress, std::string_view href);

// The links `rules` take on `page`, in page order, each key once: links
// inside an ignored block or matching an ignored address are left out, and
// so are links without text (icons), so that the named link of the same
// forum or topic gives the name.
std::vector<FoundLink> findLinks(const html::Document& page, const LinkRules& rules, std::string_view pageAddress);

// The address of the page after this one: the first <link> or <a> with
// rel="next", else the first link `rules.next` selects, provided it leads to
// the same forum or topic (same key) when `currentKey` is a number key or the
// rules have page parts. Empty
// when there is none.
std::string findNextPage(const html::Document& page, const LinkRules& rules, std::string_view pageAddress,
                         std::string_view currentKey);

// One post of a topic page, as the profile finds it.
struct FoundPost {
  std::string author;  // text, blanks collapsed
  std::string date;    // text (or the datetime/title value of an element without text)
  html::Node message;  // the message block; null when the post has none
  // The addresses (href of links, src of pictures) of the post's
  // attachments, as the page writes them: resolve them with resolveHref.
  std::vector<std::string> attachments;
};

std::vector<FoundPost> findPosts(const html::Document& page, const EngineProfile& profile);

}  // namespace quillstash
