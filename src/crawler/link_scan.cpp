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

// Position reported by a pattern search from `from`, or nullptr without a match.
const char* search(const char* from, const char* pattern) {
  PatternMatch m = matchPattern(from, pattern);
  return m.found ? m.position : nullptr;
}

// Moves `start` to the last match of `prefix` that lies before `limit`.
void moveToLastPrefixBefore(const char*& start, const char* limit, const char* prefix) {
  while (*start != '\0') {
    const char* next = search(start + 1, prefix);
    if (next == nullptr || next >= limit) return;
    start = next;
  }
}

}  // namespace

bool scanLinksByRules(const char* page, const LinkKeywords& words, const LinkAction& take) {
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
        if (holdsAny(value, words.exclusions)) {
          q = value;
          break;
        }
        if (holdsAny(value, words.keywords)) {
          q = take(value);
          if (rowSeen) rowTaken = true;
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

  const char* pos = page;
  while (*pos != '\0') {
    if (p1 != nullptr) {
      pos = search(pos, p1);
      if (pos == nullptr) return;
    }
    const char* start = pos;
    const char* windowEnd = nullptr;
    if (p2 != nullptr) {
      pos = search(pos, p2);
      if (pos == nullptr) return;
      if (p1 != nullptr) moveToLastPrefixBefore(start, pos, p1);
    }
    if (p3 != nullptr) {
      const char* suffixAt = search(pos, p3);
      if (suffixAt == nullptr) return;
      if (p1 != nullptr) moveToLastPrefixBefore(start, suffixAt, p1);
      windowEnd = pos;
    }
    const auto inWindow = [&](const char* at) { return at != windowEnd && *at != '\0' && *at != '>'; };

    // Direct search: the first absolute address or href value of the window.
    const char* stop = nullptr;
    const char* at = start;
    for (; inWindow(at); ++at) {
      if (startsWithFolded(at, "http")) {
        stop = take(at);
        break;
      }
      if (startsWithFolded(at, " hre")) {
        stop = take(skipHrefLead(at));
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
          PatternMatch m = matchPattern(value, p2);
          // Without a match the reported position is the end of the text.
          const char* end = m.position != nullptr ? m.position : value + std::strlen(value);
          const char* q = value;
          while (q < end && *q != quote) ++q;
          holdsPattern = q >= end;  // no quote before the match position, or the first one stands on it
        }
        if (holdsPattern) {
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
