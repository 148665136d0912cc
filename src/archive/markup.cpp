// SPDX-License-Identifier: MIT
#include "archive/markup.h"

#include <cstring>

#include <cstddef>
#include <vector>

#include "archive/scan.h"
#include "text/strings.h"

namespace quillstash {

using namespace archive_scan;

namespace {

// Writes the bytes of cell text: everything but CR, LF and TAB.
// Copies the text bytes from `p` up to the next tag or the end, leaving out
// CR, LF and TAB, in as few appends as possible; returns where it stopped.
const char* copyText(const char* p, OutputBuffer& out) {
  for (;;) {
    const char* run = p;
    p += std::strcspn(p, "<\r\n\t");
    out.append(std::string_view(run, static_cast<std::size_t>(p - run)));
    if (!isLineControl(*p)) return p;
    ++p;
  }
}

// Writes "<B>", "<I>" or "<U>" (or the closing form) for the short tags at
// `pos`; returns false when `pos` is none of them.
bool writeStyleTag(const char* pos, OutputBuffer& out, bool closing) {
  static constexpr char kLetters[] = {'b', 'i', 'u'};
  static constexpr const char* kOpen[] = {"<B>", "<I>", "<U>"};
  static constexpr const char* kClose[] = {"</B>", "</I>", "</U>"};
  for (std::size_t i = 0; i < 3; ++i) {
    if (closing ? isShortClosing(pos, kLetters[i]) : isShortOpening(pos, kLetters[i])) {
      out.append(closing ? kClose[i] : kOpen[i]);
      return true;
    }
  }
  return false;
}

bool startsExactly(const char* pos, const char* text) {
  for (; *text != '\0'; ++pos, ++text) {
    if (*pos != *text) return false;
  }
  return true;
}

void breakUnlessAfter(OutputBuffer& out, const char* tail1, const char* tail2 = nullptr) {
  if (out.endsWith(tail1)) return;
  if (tail2 != nullptr && out.endsWith(tail2)) return;
  out.append("<BR>");
}

// The closing "</a...>" of a message: closes the open link, or stands for a
// line break when the link was dropped.
void closeLink(const char* pos, OutputBuffer& out, bool& linkOpen) {
  if (linkOpen) {
    out.append("</A>");
    linkOpen = false;
  } else if (startsExactly(pos, "</a>")) {
    addLineBreak(out);
  }
}

// --- attribute filtering for copyTagPlain ---

bool isHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Bytes that end a tag-name or attribute-name run (an unprintable byte counts
// as a separator so that nothing hides an attribute behind it).
bool endsName(char c) { return c == '\0' || static_cast<unsigned char>(c) <= 0x20 || c == '>' || c == '/' || c == '='; }

bool isPlainNameChar(char c) {
  return isAsciiLetter(c) || isDecimalDigit(c) || c == '-' || c == '_' || c == ':' || c == '.';
}

bool isDroppedName(const char* name) {
  return foldedEqual(name[0], 'o') || startsWithFolded(name, "cla") || startsWithFolded(name, "sty");
}

// True when the attribute value [begin, end) (quotes included) names a
// script, vbscript, livescript or data URL, also when written with entities,
// blanks or control characters in between, as browsers read it.
bool isScriptUrl(const char* begin, const char* end) {
  char folded[16];
  std::size_t n = 0;
  const char* p = begin;
  while (p < end && n < sizeof(folded)) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\'' || c <= 0x20) {
      ++p;
      continue;
    }
    if (c == '&' && p + 1 < end && p[1] == '#') {
      // Numeric character reference, decimal or hexadecimal, ';' optional.
      const char* q = p + 2;
      bool hex = q < end && foldedEqual(*q, 'x');
      if (hex) ++q;
      std::uint32_t value = 0;
      const char* digits = q;
      while (q < end && (hex ? isHexDigit(*q) : isDecimalDigit(*q))) {
        std::uint32_t d = isDecimalDigit(*q) ? static_cast<std::uint32_t>(*q - '0')
                                             : static_cast<std::uint32_t>((*q | 0x20) - 'a' + 10);
        if (value < 0x110000) value = value * (hex ? 16 : 10) + d;
        ++q;
      }
      if (q != digits) {
        if (q < end && *q == ';') ++q;
        p = q;
        if (value <= 0x20) continue;
        folded[n++] = value < 0x80 ? static_cast<char>(value | (value >= 'A' && value <= 'Z' ? 0x20 : 0)) : '?';
        continue;
      }
    }
    if (c == '&') {
      // The named references a script URL may hide behind.
      static constexpr struct {
        const char* name;
        char value;
      } kNamed[] = {{"&colon;", ':'}, {"&tab;", 0}, {"&newline;", 0}};
      bool matched = false;
      for (const auto& entry : kNamed) {
        if (startsWithFolded(p, entry.name)) {
          std::size_t length = 0;
          while (entry.name[length] != '\0') ++length;
          if (static_cast<std::size_t>(end - p) >= length) {
            p += length;
            if (entry.value != 0) folded[n++] = entry.value;
            matched = true;
            break;
          }
        }
      }
      if (matched) continue;
    }
    folded[n++] = static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
    ++p;
  }
  std::string_view seen(folded, n);
  for (std::string_view scheme : {"javascript:", "vbscript:", "livescript:", "data:"}) {
    if (seen.substr(0, scheme.size()) == scheme) return true;
  }
  return false;
}

}  // namespace

void addLineBreak(OutputBuffer& out) {
  std::string_view text = out.view();
  std::size_t length = text.size();
  while (length > 0) {
    char c = text[length - 1];
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') break;
    --length;
  }
  out.rewind(length);
  breakUnlessAfter(out, "<BR>", "<TD>");
}

const char* skipScript(const char* from) {
  for (const char* p = from; *p != '\0'; ++p) {
    if (isClosingTag(p, "scri")) return skipTag(p);
  }
  const char* end = from;
  while (*end != '\0') ++end;
  return end;
}

const char* copyTagPlain(const char* from, OutputBuffer& out) {
  const char* p = from;
  out.put('<');
  if (*p == '<') ++p;
  while (isAsciiLetter(*p) || isDecimalDigit(*p)) out.put(*p++);
  // Any other byte glued to the name (as in "<td/onclick=...") is read as
  // the start of the attributes, as browsers read it.
  while (*p != '\0' && *p != '>') {
    const char* gap = p;
    while (*p != '\0' && *p != '>' && (static_cast<unsigned char>(*p) <= 0x20 || *p == '/')) ++p;
    if (*p == '\0' || *p == '>') break;
    const char* name = p;
    if (*p == '=') ++p;  // a stray '=' opens a name of its own
    while (!endsName(*p)) ++p;
    const char* nameEnd = p;
    bool keep = nameEnd != name && !isDroppedName(name);
    for (const char* c = name; c < nameEnd; ++c) {
      if (!isPlainNameChar(*c)) keep = false;
    }
    const char* q = p;
    while (isHtmlSpace(*q)) ++q;
    if (*q == '=') {
      ++q;
      while (isHtmlSpace(*q)) ++q;
      const char* value = q;
      if (*q == '"' || *q == '\'') {
        char quote = *q++;
        while (*q != '\0' && *q != quote && *q != '>') ++q;
        if (*q == quote) {
          ++q;
        } else {
          keep = false;  // unterminated: it would swallow what follows in the archive
        }
      } else {
        while (static_cast<unsigned char>(*q) > 0x20 && *q != '>') {
          if (*q == '"' || *q == '\'' || *q == '<' || *q == '=' || *q == '`') keep = false;
          ++q;
        }
        if (q == value) keep = false;
      }
      if (keep && isScriptUrl(value, q)) keep = false;
      p = q;
    } else if (*q == '\0' || *q == '>') {
      p = q;
    }
    if (!keep) continue;
    bool plainGap = gap != name;
    for (const char* c = gap; c < name; ++c) {
      if (!isHtmlSpace(*c)) plainGap = false;
    }
    if (plainGap) {
      out.append(std::string_view(gap, static_cast<std::size_t>(name - gap)));
    } else {
      out.put(' ');
    }
    out.append(std::string_view(name, static_cast<std::size_t>(p - name)));
  }
  if (*p == '>') ++p;
  out.put('>');
  return p;
}

const char* flattenTable(const char* from, OutputBuffer& out) {
  const char* p = from;
  std::size_t depth = 1;
  while (*p != '\0') {
    if (*p != '<') {
      p = copyText(p, out);
      continue;
    }
    if (p[1] == '/') {
      if (writeStyleTag(p, out, true)) {
      } else if (startsExactly(p, "</a>")) {
        breakUnlessAfter(out, "<BR>");
      } else if (isClosingTag(p, "tabl")) {
        breakUnlessAfter(out, "<BR><BR>");
        p = skipTag(p);
        if (--depth == 0) return p;
        continue;
      }
      p = skipTag(p);
      continue;
    }
    if (isOpeningTag(p, "tabl")) {
      p = skipTag(p);
      ++depth;
      continue;
    }
    if (isOpeningTag(p, "sc")) {
      p = skipScript(p);
      continue;
    }
    if (isOpeningTag(p, "br")) {
      breakUnlessAfter(out, "<BR>");
    } else if (writeStyleTag(p, out, false)) {
    } else if (isOpeningTag(p, "tr")) {
      breakUnlessAfter(out, "<BR>", "<TD>");
    }
    p = skipTag(p);
  }
  return p;
}

const char* copyTable(const char* from, OutputBuffer& out, MessageMedia& media, bool& linkOpen) {
  // The link-open state of each enclosing table, restored when an inner one ends.
  std::vector<bool> outerStates;
  const char* p = copyTagPlain(from, out);
  while (*p != '\0') {
    if (*p != '<') {
      p = copyText(p, out);
      continue;
    }
    if (p[1] == '/') {
      if (writeStyleTag(p, out, true)) {
      } else if (isClosingTag(p, "td")) {
        out.append("</TD>");
      } else if (isClosingTag(p, "th")) {
        out.append("</TH>");
      } else if (isClosingTag(p, "tr")) {
        out.append("</TR>");
      } else if (isShortClosing(p, 'a')) {
        closeLink(p, out, linkOpen);
      } else if (isClosingTag(p, "tabl")) {
        out.append("</TABLE>");
        p = skipTag(p);
        if (outerStates.empty()) return p;
        linkOpen = outerStates.back();
        outerStates.pop_back();
        continue;
      }
      p = skipTag(p);
      continue;
    }
    if (isOpeningTag(p, "tabl")) {
      outerStates.push_back(linkOpen);
      p = copyTagPlain(p, out);
    } else if (isOpeningTag(p, "sc")) {
      p = skipScript(p);
    } else if (isOpeningTag(p, "br")) {
      addLineBreak(out);
      p = skipTag(p);
    } else if (isShortOpening(p, 'b')) {
      out.append("<B>");
      p = skipTag(p);
    } else if (isOpeningWithBlank(p, "a")) {
      p = media.rewriteLink(p, out, linkOpen);
    } else if (isOpeningWithBlank(p, "img")) {
      p = media.rewriteImage(p, out);
    } else if (writeStyleTag(p, out, false)) {
      p = skipTag(p);
    } else if (isOpeningTag(p, "tr") || isOpeningTag(p, "td") || isOpeningTag(p, "th")) {
      p = copyTagPlain(p, out);
    } else {
      p = skipTag(p);
    }
  }
  return p;
}

const char* cleanAuthorText(const char* from, OutputBuffer& out) {
  const char* p = from;
  while (*p != '\0') {
    if (*p != '<') {
      p = copyText(p, out);
      continue;
    }
    if (p[1] == '/') {
      if (writeStyleTag(p, out, true)) {
      } else if (startsExactly(p, "</a>")) {
        addLineBreak(out);
      } else if (isClosingTag(p, "td") || isClosingTag(p, "tr")) {
        return skipTag(p);
      }
      p = skipTag(p);
      continue;
    }
    if (isOpeningTag(p, "tabl")) {
      p = flattenTable(skipTag(p), out);
    } else if (isOpeningTag(p, "sc")) {
      p = skipScript(p);
    } else {
      if (isOpeningTag(p, "br")) {
        addLineBreak(out);
      } else {
        writeStyleTag(p, out, false);
      }
      p = skipTag(p);
    }
  }
  return p;
}

const char* cleanMessageText(const char* from, OutputBuffer& out, MessageMedia& media) {
  bool linkOpen = false;
  const char* p = from;
  while (*p != '\0') {
    if (*p != '<') {
      p = copyText(p, out);
      continue;
    }
    if (p[1] == '/') {
      if (writeStyleTag(p, out, true)) {
      } else if (isShortClosing(p, 'a')) {
        closeLink(p, out, linkOpen);
      } else if (isClosingTag(p, "td") || isClosingTag(p, "tr")) {
        return skipTag(p);
      }
      p = skipTag(p);
      continue;
    }
    if (isOpeningTag(p, "tabl")) {
      p = copyTable(p, out, media, linkOpen);
    } else if (isOpeningTag(p, "sc")) {
      p = skipScript(p);
    } else if (isOpeningTag(p, "br")) {
      addLineBreak(out);
      p = skipTag(p);
    } else if (writeStyleTag(p, out, false)) {
      p = skipTag(p);
    } else if (isOpeningWithBlank(p, "img")) {
      p = media.rewriteImage(p, out);
    } else if (isOpeningWithBlank(p, "a")) {
      p = media.rewriteLink(p, out, linkOpen);
    } else {
      p = skipTag(p);
    }
  }
  return p;
}

}  // namespace quillstash
