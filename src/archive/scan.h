// SPDX-License-Identifier: MIT
#pragma once

// Small tag tests shared by the archive scanners. Every test reads at most up
// to the NUL that ends the page: a comparison stops at the first byte that
// differs, and the NUL differs from every letter.

#include <cstddef>

#include "text/strings.h"

namespace quillstash::archive_scan {

// '<' followed by `name` (compared with foldedEqual).
inline bool isOpeningTag(const char* pos, const char* name) { return pos[0] == '<' && startsWithFolded(pos + 1, name); }

// "</" followed by `name`.
inline bool isClosingTag(const char* pos, const char* name) {
  return pos[0] == '<' && pos[1] == '/' && startsWithFolded(pos + 2, name);
}

// A one-letter tag name ends at '>' or at any byte up to 0x20 ("<b>", "<b class=x>").
inline bool endsShortName(char c) { return c == '>' || static_cast<unsigned char>(c) <= 0x20; }

// '<' + letter + end of name: "<b>", "<i >", "<u\n".
inline bool isShortOpening(const char* pos, char letter) {
  return pos[0] == '<' && foldedEqual(pos[1], letter) && endsShortName(pos[2]);
}

inline bool isShortClosing(const char* pos, char letter) {
  return pos[0] == '<' && pos[1] == '/' && foldedEqual(pos[2], letter) && endsShortName(pos[3]);
}

// Past the next '>', or at the NUL when there is none.
inline const char* skipTag(const char* pos) {
  while (*pos != '\0' && *pos != '>') ++pos;
  return *pos == '>' ? pos + 1 : pos;
}

// The next '>' at or after `pos`, or the NUL.
inline const char* tagEnd(const char* pos) {
  while (*pos != '\0' && *pos != '>') ++pos;
  return pos;
}

inline bool isLineControl(char c) { return c == '\r' || c == '\n' || c == '\t'; }

inline bool isAttributeGap(char c) {
  return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '=' || c == '"' || c == '\'';
}

// Searches from `from` up to the tag's '>' (or the NUL) for a blank (exactly
// 0x20) followed by `word`; returns the blank's position, nullptr when absent.
inline const char* findBlankThen(const char* from, const char* word) {
  for (const char* p = from; *p != '\0' && *p != '>'; ++p) {
    if (*p == ' ' && startsWithFolded(p + 1, word)) return p;
  }
  return nullptr;
}

// '<' + `name` + a blank (exactly 0x20): "<img ", "<a ".
inline bool isOpeningWithBlank(const char* pos, const char* name) {
  if (!isOpeningTag(pos, name)) return false;
  std::size_t n = 0;
  while (name[n] != '\0') ++n;
  return pos[1 + n] == ' ';
}

// The start of an href value inside the tag at `tag`: after " hre", an 'f'
// (optional unless `requireF`) and the run of blanks, '=' and quotes.
// nullptr when the tag has no href.
inline const char* findHrefValue(const char* tag, bool requireF) {
  const char* at = tag;
  for (;;) {
    at = findBlankThen(at, "hre");
    if (at == nullptr) return nullptr;
    at += 4;
    if (foldedEqual(*at, 'f')) {
      ++at;
      break;
    }
    if (!requireF) break;
  }
  while (isAttributeGap(*at)) ++at;
  return at;
}

}  // namespace quillstash::archive_scan
