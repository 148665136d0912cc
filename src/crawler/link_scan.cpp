// SPDX-License-Identifier: MIT
#include "crawler/link_scan.h"

#include <cstring>

#include "crawler/link_lists.h"
#include "platform/path.h"
#include "text/wildcard.h"

namespace quillstash {

namespace {

bool holdsAny(const char* value, std::span<const KeywordEntry> entries) {
  for (const KeywordEntry& entry : entries) {
    if (linkContains(value, entry) != 0) return true;
  }
  return false;
}

bool isQuote(char c) { return c == '"' || c == '\''; }

bool isAsciiLetterRun(const char* p, const char*& end) {
  end = p;
  while (isAsciiLetter(*end)) ++end;
  return end != p;
}

// The session-id parameter a '$' takes at `q`; returns where it ends (q when
// there is none).
const char* sessionParameter(const char* q) {
  const char* r = q;
  const bool leadingAmp = *q == '&';
  if (leadingAmp) r = startsWithFolded(q + 1, "amp;") ? q + 5 : q + 1;
  const char* end = nullptr;
  if (!isAsciiLetterRun(r, end) || *end != '=') return q;
  const char* hex = end + 1;
  const char* hexEnd = hex;
  while (isHexDigit(*hexEnd)) ++hexEnd;
  if (hexEnd - hex < 16) return q;
  if (!leadingAmp && *hexEnd == '&') hexEnd += startsWithFolded(hexEnd + 1, "amp;") ? 5 : 1;
  return hexEnd;
}

// Whether a pattern without '*' matches at exactly `s`; on success the
// position the search would report.
const char* matchHere(const char* s, const char* pattern) {
  const char* t = s;
  const char* quote = nullptr;
  for (const char* p = pattern; *p != '\0'; ++p) {
    switch (*p) {
      case '?':
        if (*t == '\0') return nullptr;
        ++t;
        break;
      case '#':
        if (!isDecimalDigit(*t)) return nullptr;
        while (isDecimalDigit(*t)) ++t;
        break;
      case '@':
        if (!isHexDigit(*t)) return nullptr;
        while (isHexDigit(*t)) ++t;
        break;
      case '|':
        if (*t != '"' && *t != '\'') return nullptr;
        quote = t++;
        break;
      case '$': t = sessionParameter(t); break;
      default:
        if (*t == '\0' || !foldedEqual(*t, *p)) return nullptr;
        ++t;
    }
  }
  return quote != nullptr ? quote : t;
}

// Leftmost pattern searches that only move forward. For a pattern without
// '*' the match found last is remembered with its start, so that a search
// from any position up to that start answers at once instead of reading the
// same stretch again: the window scan searches from every tag end before a
// distant match.
class PatternSearch {
 public:
  explicit PatternSearch(const char* pattern)
      : pattern_(pattern), cacheable_(pattern != nullptr && std::strchr(pattern, '*') == nullptr) {}

  // Position reported by a search from `from`, or nullptr without a match.
  const char* find(const char* from) {
    if (cacheable_ && searched_ && from >= from_) {
      if (result_ == nullptr) return nullptr;  // nothing from an earlier position: nothing from here
      if (matchStart_ == nullptr) locateStart();
      if (matchStart_ != nullptr && from <= matchStart_) return result_;
    }
    PatternMatch m = matchPattern(from, pattern_);
    searched_ = true;
    from_ = from;
    result_ = m.found ? m.position : nullptr;
    matchStart_ = nullptr;
    return result_;
  }

 private:
  // Finds where the remembered match starts; gives up caching if the
  // anchored test and the search ever disagree.
  void locateStart() {
    for (const char* s = from_; *s != '\0' && s <= result_; ++s) {
      if (const char* reported = matchHere(s, pattern_)) {
        if (reported == result_) {
          matchStart_ = s;
        } else {
          cacheable_ = false;
        }
        return;
      }
    }
    cacheable_ = false;
  }

  const char* pattern_;
  bool cacheable_;
  bool searched_ = false;
  const char* from_ = nullptr;
  const char* result_ = nullptr;
  const char* matchStart_ = nullptr;
};

// Moves `start` to the last match of the prefix that lies before `limit`.
void moveToLastPrefixBefore(const char*& start, const char* limit, PatternSearch& prefix) {
  while (*start != '\0') {
    const char* next = prefix.find(start + 1);
    if (next == nullptr || next >= limit) return;
    start = next;
  }
}

}  // namespace

namespace {

// True when the link whose href value is at `value` shows text: a character
// above the blank outside tags before its "</a". A link whose text does not
// show within kTextSearch characters counts as showing text.
bool linkShowsText(const char* value) {
  constexpr std::size_t kTextSearch = 4096;
  const char* p = linkTextStart(value);
  const char* const limit = p + kTextSearch;
  while (*p != '\0' && p < limit) {
    if (*p == '<') {
      if (startsWithFolded(p, "</a")) return false;
      while (*p != '\0' && *p != '>' && p < limit) ++p;
      if (*p == '>') ++p;
      continue;
    }
    if (static_cast<unsigned char>(*p) > 32) return true;
    ++p;
  }
  return true;
}

}  // namespace

bool scanLinksByRules(const char* page, const LinkKeywords& words, const LinkAction& take) {
  LinkEnds ends;
  bool found = false;
  bool rowSeen = false;
  bool rowTaken = false;
  const char* p = page;
  while (*p != '\0') {
    if (*p != '<' || p[1] == '\0') {
      ++p;
      continue;
    }
    const char first = static_cast<char>(p[1] | 0x20);
    if (first == 'a' && p[2] == ' ' && !rowTaken) {
      // Examine the tag up to its '>' for href values.
      const char* q = p + 2;
      while (*q != '\0' && *q != '>') {
        if (!startsWithFolded(q, " hre")) {
          ++q;
          continue;
        }
        const char* value = skipHrefLead(q);
        if (ends.tooLong(value)) {
          q = value;
          continue;
        }
        if (holdsAny(value, words.exclusions)) {
          q = value;
          break;
        }
        if (holdsAny(value, words.keywords)) {
          // A row icon linking to the same place comes before the titled
          // link: only a link that shows text takes the row.
          const bool showsText = !rowSeen || linkShowsText(value);
          q = take(value);
          if (rowSeen && showsText) rowTaken = true;
          found = true;
          break;
        }
        q = value;
      }
      p = q;
      continue;
    }
    if (first == 't' && p[2] == 'r' && found) {
      rowSeen = true;
      rowTaken = false;
    }
    ++p;
  }
  return found;
}

void scanLinksByPatterns(const char* page, const LinkPatterns& patterns, const LinkAction& take) {
  const char* const p1 = patterns.prefix;
  const char* const p2 = patterns.pattern;
  const char* const p3 = patterns.suffix;
  // With neither a prefix nor a pattern every window is empty: nothing can be found.
  if (p1 == nullptr && p2 == nullptr) return;

  LinkEnds ends;
  PatternSearch prefixSearch(p1);
  PatternSearch patternSearch(p2);
  PatternSearch suffixSearch(p3);
  PatternSearch valueSearch(p2);
  const char* pos = page;
  while (*pos != '\0') {
    if (p1 != nullptr) {
      pos = prefixSearch.find(pos);
      if (pos == nullptr) return;
    }
    const char* start = pos;
    const char* windowEnd = nullptr;
    if (p2 != nullptr) {
      pos = patternSearch.find(pos);
      if (pos == nullptr) return;
      if (p1 != nullptr) moveToLastPrefixBefore(start, pos, prefixSearch);
    }
    if (p3 != nullptr) {
      const char* suffixAt = suffixSearch.find(pos);
      if (suffixAt == nullptr) return;
      if (p1 != nullptr) moveToLastPrefixBefore(start, suffixAt, prefixSearch);
      windowEnd = pos;
    }
    const auto inWindow = [&](const char* at) { return at != windowEnd && *at != '\0' && *at != '>'; };

    // Direct search: the first absolute address or href value of the window.
    const char* stop = nullptr;
    const char* at = start;
    for (; inWindow(at); ++at) {
      const char* value = startsWithFolded(at, "http") ? at : startsWithFolded(at, " hre") ? skipHrefLead(at) : nullptr;
      if (value != nullptr && !ends.tooLong(value)) {
        stop = take(value);
        break;
      }
    }
    // Quote search: the first quoted value of the window that holds the pattern.
    if (stop == nullptr) {
      at = start;
      while (inWindow(at)) {
        if (!isQuote(*at)) {
          ++at;
          continue;
        }
        const char quote = *at;
        const char* value = at + 1;
        bool holdsPattern = true;
        if (p2 != nullptr) {
          // Passed when no quote comes before the pattern's position (the end
          // of the text without a match) or the first one stands on it.
          const char* end = valueSearch.find(value);
          const char* q = value;
          while (*q != '\0' && *q != quote && (end == nullptr || q < end)) ++q;
          holdsPattern = end == nullptr ? *q == '\0' : q >= end;
        }
        if (holdsPattern && !ends.tooLong(value)) {
          stop = take(value);
          break;
        }
        at = value;
      }
      if (stop == nullptr) stop = at;
    }
    pos = *stop != '\0' ? stop + 1 : stop;
  }
}

bool appendLinkName(TextWriter& path, std::uint32_t number, int digits, const char* text, std::uint32_t limit) {
  const std::size_t length = path.length();
  if (length == 0 || path.begin()[length - 1] != platform::kPathSeparator) path.put(platform::kPathSeparator);
  if (digits == 2) {
    writeTwoDigits(path, number);
  } else {
    writeFiveDigits(path, number);
  }
  path.put(' ');
  const std::size_t textStart = path.length();
  const char* read = text;
  copyLinkText(read, path, limit);
  for (std::size_t i = textStart; i < path.length(); ++i) {
    if (static_cast<unsigned char>(path.begin()[i]) > 32) return true;
  }
  return false;
}

}  // namespace quillstash
