// SPDX-License-Identifier: MIT
#pragma once

// Engine profiles: what the program knows about one forum engine, as data.
// A profile says how to recognise the engine from its index page, which
// links of a page are forums and topics (and which to leave alone), where the
// next page of a forum or topic is, and where each post's author, date and
// message are. The built-in profiles are written in the same text format a
// user gives with a profile file (docs/profiles.md).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "html/tree.h"

namespace quillstash {

// How the links of one kind (forums or topics) are found.
struct LinkRules {
  std::string links;                         // query of the link elements
  std::vector<std::string> addresses;        // address patterns a link must match (any); empty: all
  std::string ignore;                        // query of links, or of blocks whose links, are left alone
  std::vector<std::string> ignoreAddresses;  // address patterns of links left alone
  std::string next;                          // query of the next-page link when no rel="next" is there
  // Patterns of the end of an address that only names a page of a forum or
  // topic ("/page#", "?*"): for addresses without an id they are left out of
  // the key, so the pages and spellings of one forum share one key.
  std::vector<std::string> pageParts;
};

struct EngineProfile {
  std::string name;                 // "phpbb3": what --engine takes
  std::string title;                // "phpBB 3.x": what the lists show
  std::vector<std::string> detect;  // queries; any one matching on the index page picks the profile
  LinkRules forums;
  LinkRules topics;
  std::string post;    // query of a post block
  std::string author;  // queries inside a post block
  std::string date;
  std::string message;
  std::string drop;         // parts of a message left out (signatures, buttons)
  std::string quote;        // quote blocks that are not <blockquote>
  std::string quoteTitle;   // the line naming who is quoted, when not <cite>
  std::string code;         // code blocks that are not <pre>
  std::string quoteAuthor;  // attribute of a quote block that names who is quoted
  // Attachment links and attached pictures inside a post block; empty: the
  // links whose address mentions "attach".
  std::string attachments;
};

// The name of the table-based path the program has always read; it has no
// profile of its own.
inline constexpr std::string_view kClassicEngine = "classic";

// Parses a profile text. On a mistake returns nothing and sets `error` to
// "line N: what is wrong". A profile needs a name and at least forum and
// topic links and the post, author and message queries.
std::optional<EngineProfile> parseProfile(std::string_view text, std::string& error);

// The profiles compiled into the program, in the order detection tries them.
std::vector<EngineProfile> builtInProfiles();

// The first of `profiles` whose detect queries match the page, or null.
const EngineProfile* detectProfile(const html::Document& page, const std::vector<EngineProfile>& profiles);

// The profile named `name` (any case), or null.
const EngineProfile* findProfile(std::string_view name, const std::vector<EngineProfile>& profiles);

// --- Address patterns ---------------------------------------------------------
//
// A pattern is matched against the whole of an address after its host (the
// path and query, from the first '/'): '*' stands for any run of characters,
// '#' for a whole run of digits (the id), every other character for itself.

// True when `address` (after its host) matches `pattern`; `id` receives the
// digits of the first '#' (empty when the pattern has none).
bool matchAddressPattern(std::string_view pattern, std::string_view address, std::string* id = nullptr);

// The key that tells two links of the same forum or topic apart from others:
// "#" and the id when a pattern of `rules` with an id matches, else the
// address itself (after its host) without its fragment; with page parts in
// the rules, also without the page parts at its end and a final '/'. Empty
// when patterns are given and none matches (the link is not of this kind).
std::string linkKey(const LinkRules& rules, std::string_view address);

}  // namespace quillstash
