// SPDX-License-Identifier: MIT
#include "archive/post_extraction.h"

#include <cstring>

#include "archive/scan.h"
#include "text/wildcard.h"

namespace quillstash {

using namespace archive_scan;

namespace {

const char* endOfText(const char* pos) { return pos + std::strlen(pos); }

// The position after the next match of `pattern`, or the end of the text.
// A match that ends exactly at the end of the text counts as no match, as the
// callers cannot tell the two apart.
const char* matchAt(const char* text, const char* pattern) {
  if (*text == '\0') return text;
  PatternMatch match = matchPattern(text, pattern);
  if (!match.found || match.position == nullptr) return endOfText(text);
  return match.position;
}

// The start of the last match of `prefix` that lies after `start` and ends
// before `end`; `start` itself when there is none.
char* narrowToLastPrefix(char* start, const char* end, const char* prefix) {
  for (;;) {
    if (*start == '\0') return start;
    const char* next = matchAt(start + 1, prefix);
    if (*next == '\0' || next >= end || next <= start) return start;
    start = const_cast<char*>(next);
  }
}

// Cleans the region [start, end) with `end` made the end of the text for
// the duration of the call.
template <typename Clean>
void cleanRegion(char* start, char* end, Clean clean) {
  char saved = *end;
  *end = '\0';
  clean(start);
  *end = saved;
}

void writeRowStart(OutputBuffer& out) {
  out.append("<TR>");
  out.append(kCellOpener);
}

void writeCellBreak(OutputBuffer& out) {
  out.append("</TD>");
  out.append(kCellOpener);
}

const char* findNextCellStart(const char* from) {
  for (const char* p = nextTagStart(from); *p != '\0'; p = nextTagStart(p + 1)) {
    if (isOpeningTag(p, "td")) return skipTag(p);
  }
  return endOfText(from);
}

std::uint32_t extractByPatterns(char* page, const Settings& settings, OutputBuffer& out, MessageMedia& media) {
  std::uint32_t rows = 0;
  const char* authorPrefix = settings.authorPrefix.c_str();
  // An empty author suffix is treated as switched off, as an empty message
  // suffix is: the empty pattern would otherwise empty every author cell.
  bool useAuthorSuffix = settings.useAuthorSuffix && !settings.authorSuffix.empty();
  bool useMessageSuffix = settings.useMessageSuffix && !settings.messageSuffix.empty();
  char* p = page;
  while (*p != '\0') {
    char* const rowStart = p;
    char* author = const_cast<char*>(matchAt(p, authorPrefix));
    if (*author == '\0') return rows;
    writeRowStart(out);
    ++rows;
    if (!useAuthorSuffix) {
      p = const_cast<char*>(cleanAuthorText(author, out));
    } else {
      char* end = const_cast<char*>(matchAt(author, settings.authorSuffix.c_str()));
      author = narrowToLastPrefix(author, end, authorPrefix);
      if (*end != '\0') cleanRegion(author, end, [&](const char* s) { cleanAuthorText(s, out); });
      p = end;
    }
    writeCellBreak(out);
    if (!settings.useMessagePrefix) {
      p = const_cast<char*>(writeMessageCell(p, out, media));
    } else {
      char* message = const_cast<char*>(matchAt(p, settings.messagePrefix.c_str()));
      if (*message == '\0') {
        p = message;
      } else if (useMessageSuffix) {
        char* end = const_cast<char*>(matchAt(message, settings.messageSuffix.c_str()));
        message = narrowToLastPrefix(message, end, settings.messagePrefix.c_str());
        if (*end != '\0') cleanRegion(message, end, [&](const char* s) { cleanMessageText(s, out, media); });
        p = end;
      } else {
        p = const_cast<char*>(cleanMessageText(message, out, media));
      }
    }
    out.append("</TD></TR>");
    // Patterns that match empty text must not hold the walk in one place.
    if (p <= rowStart) p = rowStart + 1;
  }
  return rows;
}

std::uint32_t extractByTable(char* page, OutputBuffer& out, MessageMedia& media) {
  std::uint32_t rows = 0;
  std::size_t length = std::strlen(page);
  RowScan scan{64 * length + 65536};
  const char* p = page;
  while (*p != '\0') {
    while (*p != '\0' && !isOpeningTag(p, "tr")) p = nextTagStart(*p == '<' ? p + 1 : p);
    if (*p == '\0') return rows;
    if (classifyPostRow(p, scan)) {
      writeRowStart(out);
      ++rows;
      const char* message = writeAuthorCell(p, out);
      writeCellBreak(out);
      writeMessageCell(message, out, media);
      out.append("</TD></TR>");
      p = skipPostRow(p, scan);
    } else {
      p = skipOtherRow(p, scan);
    }
  }
  return rows;
}

// Reads the width of a cell tag: " wid", optional "th", the gap, a number.
// True when it marks a narrow first column.
bool isNarrowCell(const char* tag) {
  const char* at = findBlankThen(tag, "wid");
  if (at == nullptr) return false;
  at += 4;
  if (startsWithFolded(at, "th")) at += 2;
  while (isAttributeGap(*at)) ++at;
  std::uint32_t width = parseDecimal(at);
  return *at == '%' ? width <= 20 : width <= 200;
}

}  // namespace

bool classifyPostRow(const char* row, RowScan& scan) {
  const char* p = skipTag(row);
  bool post = false;
  unsigned cells = 0;
  while (*p != '\0') {
    if (!scan.spend()) return false;
    if (*p != '<') {
      // The rest of the text up to the next tag in one step, still one unit
      // of the budget per byte.
      const char* next = nextTagStart(p + 1);
      if (!scan.spend(static_cast<std::size_t>(next - p - 1))) {
        scan.budget = 0;
        return false;
      }
      p = next;
      continue;
    }
    if (p[1] == '/') {
      if (isClosingTag(p, "tr")) break;
      p = skipTag(p);
      continue;
    }
    if (isOpeningTag(p, "tr")) break;
    if (isOpeningTag(p, "tabl")) {
      p = skipTable(skipTag(p), scan);
      continue;
    }
    if (isOpeningTag(p, "td")) {
      if (++cells == 1) post = isNarrowCell(p);
    } else if (isOpeningTag(p, "ifra")) {
      post = false;
    }
    p = skipTag(p);
  }
  return post && cells == 2;
}

const char* skipPostRow(const char* row, RowScan& scan) {
  const char* p = skipTag(row);
  while (*p != '\0') {
    if (*p == '<') {
      if (isClosingTag(p, "tr") || isClosingTag(p, "tabl")) return skipTag(p);
      if (isOpeningTag(p, "tr")) return p;
      if (isOpeningTag(p, "tabl")) {
        p = skipTable(skipTag(p), scan);
        continue;
      }
    }
    p = nextTagStart(p + 1);
  }
  return p;
}

const char* skipOtherRow(const char* row, RowScan& scan) {
  (void)scan;  // linear: it never looks back
  const char* p = skipTag(row);
  while (*p != '\0') {
    if (*p == '<') {
      if (isClosingTag(p, "tr")) return skipTag(p);
      if (isOpeningTag(p, "tr")) return p;
    }
    p = nextTagStart(p + 1);
  }
  return p;
}

const char* skipTable(const char* pos, RowScan& scan) {
  const char* p = pos;
  std::size_t depth = 1;
  while (*p != '\0') {
    if (*p != '<') {
      // Text between tags is passed over in one step.
      const char* next = nextTagStart(p);
      if (!scan.spend(static_cast<std::size_t>(next - p))) return endOfText(p);
      p = next;
      continue;
    }
    if (!scan.spend()) return endOfText(p);
    if (isOpeningTag(p, "tabl")) {
      ++depth;
      p = skipTag(p);
    } else if (isClosingTag(p, "tabl")) {
      p = skipTag(p);
      if (--depth == 0) return p;
    } else {
      ++p;
    }
  }
  return p;
}

const char* writeAuthorCell(const char* from, OutputBuffer& out) {
  return cleanAuthorText(findNextCellStart(from), out);
}

const char* writeMessageCell(const char* from, OutputBuffer& out, MessageMedia& media) {
  return cleanMessageText(findNextCellStart(from), out, media);
}

std::uint32_t extractPosts(char* page, const Settings& settings, OutputBuffer& out, MessageMedia& media) {
  if (settings.useAuthorPrefix && !settings.authorPrefix.empty()) return extractByPatterns(page, settings, out, media);
  return extractByTable(page, out, media);
}

}  // namespace quillstash
