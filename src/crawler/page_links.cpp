// SPDX-License-Identifier: MIT
#include "crawler/page_links.h"

#include <cstring>

#include "text/strings.h"

namespace quillstash {

namespace {

const char* pastNext(const char* p, char c) {
  while (*p != '\0' && *p != c) ++p;
  return *p == c ? p + 1 : p;
}

// True at the opening or closing tag `name` (any case) at `q`.
bool atTag(const char* q, const char* name) {
  if (*q != '<') return false;
  const char* n = q[1] == '/' ? q + 2 : q + 1;
  std::size_t length = 0;
  while (name[length] != '\0') ++length;
  return startsWithFolded(n, name) && (n[length] == '>' || n[length] == ' ' || n[length] == '\t');
}

// The number scan of a navigation block from `q`: returns the '<' of the
// first link after a bare page number, or nullptr with `q` left where the
// block's markup ended. `cells` lets the block run through table cells and
// spans (a page bar laid out as a table row).
const char* scanPageNumbers(const char*& q, bool cells) {
  unsigned digits = 0;
  for (;;) {
    const char c = *q;
    if (c == ':' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '[' || c == ']' || c == '.' || c == ',') {
      ++q;
    } else if (c == '(' && isDecimalDigit(q[1])) {
      // "(4)": the number of pages, not the current one.
      const char* r = q + 1;
      while (isDecimalDigit(*r)) ++r;
      if (*r != ')') return nullptr;
      q = r + 1;
    } else if (digits == 0 && c == '<' && q[1] == '/' && (q[2] | 0x20) == 'a' && q[3] == '>') {
      q += 4;  // the end of the link the block's label is written in
    } else if (cells && (atTag(q, "td") || atTag(q, "span") || atTag(q, "strong") || atTag(q, "tr"))) {
      q = pastNext(q, '>');
    } else if (startsWithFolded(q, "<!--")) {
      q += 2;
      while (*q != '\0' && !(q[0] == '-' && q[1] == '>')) ++q;
      if (*q != '\0') q += 2;
    } else if (c == '<' && ((q[1] | 0x20) == 'b' || (q[1] | 0x20) == 'f')) {
      q = pastNext(q, '>');
    } else if (c == '<' && q[1] == '/' && ((q[2] | 0x20) == 'b' || (q[2] | 0x20) == 'f')) {
      q = pastNext(q, '>');
    } else if (c == '<' && (q[1] | 0x20) == 'a') {
      if (digits > 0) return q;
      // A link before the current page number: an earlier page.
      while (*q != '\0' && !startsWithFolded(q, "</a")) ++q;
      q = pastNext(q, '>');
    } else if (isDecimalDigit(c)) {
      ++digits;
      ++q;
    } else if (startsWithFolded(q, "next") || startsWithFolded(q, "prev")) {
      while (*q == ' ' || static_cast<unsigned char>(*q) >= 65) ++q;
    } else if (c == '&') {
      q += startsWithFolded(q, "&nbsp;") ? 6 : 1;
    } else {
      return nullptr;
    }
  }
}

// Remembers the answer of a forward search for the first character matching
// a predicate, so that searches from nearby later positions cost nothing.
class NextMatch {
 public:
  template <class Predicate>
  const char* from(const char* p, Predicate stop) {
    if (found_ == nullptr || p < start_ || p > found_) {
      start_ = p;
      found_ = p;
      while (!stop(*found_)) ++found_;
    }
    return found_;
  }

 private:
  const char* start_ = nullptr;
  const char* found_ = nullptr;
};

}  // namespace

const char* findNextPageLink(const char* page) {
  NextMatch quoteSearch;
  NextMatch colonSearch;
  const char* p = page;
  while (*p != '\0') {
    // Every marker begins with 'g' or 'p' (either case): pass over the
    // other bytes in one step.
    p += std::strcspn(p, "gGpP");
    if (*p == '\0') break;
    const char* scanFrom = nullptr;
    bool cells = false;
    if (startsWithFolded(p, "goto")) {
      if (p[4] == ' ' && startsWithFolded(p + 5, "page")) scanFrom = p + 9;
    } else if (startsWithFolded(p, "page")) {
      const char after = p[4];
      if ((after | 0x20) == 's' && after != '\0') {
        if (p[5] == ':') {
          scanFrom = p + 5;
        } else {
          const char* r = p + 5;
          while (*r == '(' || *r == ')' || *r == ' ' || isDecimalDigit(*r)) ++r;
          if (*r == ':') scanFrom = r;
        }
      } else if (after == ':') {
        scanFrom = p + 5;
      } else if (after == ' ' && isDecimalDigit(p[5])) {
        // "Page 1 of 3", then the page numbers in cells of their own.
        const char* r = p + 5;
        while (isDecimalDigit(*r)) ++r;
        if (startsWithFolded(r, " of ") && isDecimalDigit(r[4])) {
          r += 4;
          while (isDecimalDigit(*r)) ++r;
          scanFrom = r;
          cells = true;
        }
      } else if (startsWithFolded(p + 4, "link")) {
        const char* quote = quoteSearch.from(p, [](char c) { return c == '"' || c == '<' || c == '\0'; });
        if (*quote == '"') {
          const char* colon = colonSearch.from(quote, [](char c) { return c == ':' || c == '<' || c == '\0'; });
          if (*colon == ':') scanFrom = colon + 1;
        }
      }
    }
    if (scanFrom == nullptr) {
      ++p;
      continue;
    }
    const char* q = scanFrom;
    if (const char* link = scanPageNumbers(q, cells)) return link;
    p = q > p ? q : p + 1;
  }
  return p;
}

}  // namespace quillstash
