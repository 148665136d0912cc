// SPDX-License-Identifier: MIT
#pragma once

// The two link scans that forum and topic detection share: the built-in rules
// (keywords in the href values of a tags, one link per table row once the
// first link has been met) and the user's patterns (a prefix, a pattern and a
// suffix that frame each link). Both read a NUL-terminated page, only ever
// move forward and stop at its NUL.

#include <cstdint>
#include <functional>
#include <span>

#include "text/strings.h"
#include "text/text_writer.h"

namespace quillstash {

// Takes the href value at `value` (a link the scan found) and returns the
// position where it stopped reading; the scan goes on from there.
using LinkAction = std::function<const char*(const char* value)>;

struct LinkKeywords {
  std::span<const KeywordEntry> exclusions;  // a value holding one of these is ignored
  std::span<const KeywordEntry> keywords;    // a value holding one of these is taken
};

// Walks the page for "<a " (a in any case, then one blank) and "<tr" / "<Tr"
// tags. In an a tag, the first href value holding a keyword and no exclusion
// goes to `take`. Until the first such link every link is taken; after it,
// each row start opens a row in which only the first link is taken. Returns
// true when at least one link held a keyword. After examining a tag the walk
// goes on from where the examination stopped, so every character is read a
// bounded number of times.
bool scanLinksByRules(const char* page, const LinkKeywords& words, const LinkAction& take);

// The user's detection strings; nullptr for a string that takes no part.
struct LinkPatterns {
  const char* prefix = nullptr;   // text standing before each link
  const char* pattern = nullptr;  // wildcard pattern every link matches
  const char* suffix = nullptr;   // text always found after a link
};

// Finds links framed by the patterns: each prefix match opens a window that
// the pattern and suffix matches narrow; the window's first "http" or href
// value, or else its first quoted value that holds the pattern, goes to
// `take`. With only a suffix the window is always empty and nothing is found.
void scanLinksByPatterns(const char* page, const LinkPatterns& patterns, const LinkAction& take);

// Appends a link's name to the path held by `path`: a path separator unless
// the path ends with one, `number` in at least `digits` digits (2 or 5), a
// blank, and at most `limit` characters of the visible text at `text`
// (copyLinkText). Returns false when the visible text was empty or blank (an
// image-only link): such a link takes no name and no number.
bool appendLinkName(TextWriter& path, std::uint32_t number, int digits, const char* text, std::uint32_t limit);

}  // namespace quillstash
