// SPDX-License-Identifier: MIT
#include "text/strings.h"

#include "platform/path.h"
#include "text/address.h"

namespace quillstash {

namespace {

bool isControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// Writes one space unless the previous character of this copy was one.
void putSpaceOnce(TextWriter& out, char& last) {
  if (last != ' ') {
    out.put(' ');
    last = ' ';
  }
}

void putTracked(TextWriter& out, char& last, char c) {
  out.put(c);
  last = c;
}

// The shared body of copyLinkText and copyNamePart. `stopAtQuotes` also ends
// the copy before a double quote or an apostrophe.
void copyVisibleText(const char*& pos, TextWriter& out, std::uint32_t limit, bool stopAtQuotes) {
  const char* p = pos;
  char last = '\0';  // no character written yet
  while (limit != 0 && *p != '\0') {
    if (p[0] == '<' && p[1] == '/') break;
    if (stopAtQuotes && (*p == '"' || *p == '\'')) break;
    char c = *p;
    if (c == '&') {
      if (startsWithFolded(p, "&quot;")) {
        putTracked(out, last, '\'');
        p += 6;
      } else if (startsWithFolded(p, "&amp;")) {
        putTracked(out, last, '&');
        p += 5;
      } else if (startsWithFolded(p, "&lt;") || startsWithFolded(p, "&gt;")) {
        putSpaceOnce(out, last);
        p += 4;
      } else {
        putTracked(out, last, '&');
        ++p;
      }
      --limit;  // every '&' form counts, even a space that was not written
    } else if (c == '<') {
      // A tag: skip through its '>' (or to the end of an unterminated tag).
      while (*p != '\0' && *p != '>') ++p;
      if (*p == '>') ++p;
    } else if (c == '>') {
      ++p;
      if (*p != '\0') ++p;  // a stray '>' takes the character after it along
    } else if (isControlOrBlank(c)) {
      putSpaceOnce(out, last);
      ++p;
    } else {
      switch (c) {
        case '*':
        case '?':
        case ':': c = '_'; break;
        case '/':
        case '\\':
        case '|': c = '-'; break;
        case '"':
          c = '\'';  // no file system of the targets accepts it in a name
          break;
        default: break;
      }
      putTracked(out, last, c);
      ++p;
      --limit;
    }
  }
  // A name is never cut inside a UTF-8 character.
  if (static_cast<unsigned char>(last) >= 0x80) {
    while ((static_cast<unsigned char>(*p) & 0xC0) == 0x80) {
      putTracked(out, last, *p);
      ++p;
    }
  }
  pos = p;
}

// True for a decoded character that may not stand in a file or folder name.
bool isUnsafeNameChar(unsigned char c) {
  if (c <= 32) return true;
  switch (c) {
    case '<':
    case '>':
    case '*':
    case '?':
    case '/':
    case '\\':
    case '|':
    case ':':
    case '"': return true;
    default: return false;
  }
}

}  // namespace

const char* findFolded(const char* text, const char* needle) {
  if (*needle == '\0') return text;
  for (; *text != '\0'; ++text) {
    if (startsWithFolded(text, needle)) return text;
  }
  return nullptr;
}

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) { return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

void appendText(TextWriter& out, const char* text) {
  while (*text != '\0') out.put(*text++);
}

void appendDecimal(TextWriter& out, std::uint32_t value) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) out.put(digits[--count]);
}

void writeTwoDigits(TextWriter& out, std::uint32_t value) {
  if (value < 10) out.put('0');
  appendDecimal(out, value);
}

void writeFiveDigits(TextWriter& out, std::uint32_t value) {
  for (std::uint32_t bound = 10000; bound > value && bound > 1; bound /= 10) out.put('0');
  appendDecimal(out, value);
}

char* putUtf8(char* out, std::uint32_t code) {
  if (code < 0x80) {
    *out++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code >> 6));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (code >> 12));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (code >> 18));
    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

std::uint32_t parseDecimal(const char*& pos) {
  std::uint32_t value = 0;
  while (isDecimalDigit(*pos)) {
    value = value * 10 + static_cast<std::uint32_t>(*pos - '0');
    ++pos;
  }
  return value;
}

void copyLinkText(const char*& pos, TextWriter& out, std::uint32_t limit) { copyVisibleText(pos, out, limit, false); }

void copyNamePart(const char*& pos, TextWriter& out) {
  const std::size_t start = out.length();
  copyVisibleText(pos, out, 40, true);
  std::size_t end = out.length();
  while (end > start && (out.begin()[end - 1] == '.' || out.begin()[end - 1] == ' ')) --end;
  out.rewind(end);
}

bool isDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  auto is = [&stem](const char* device) {
    return stem.size() == std::strlen(device) && startsWithFolded(stem.data(), device);
  };
  if (is("CON") || is("PRN") || is("AUX") || is("NUL")) return true;
  if (stem.size() != 4 || stem[3] < '1' || stem[3] > '9') return false;
  return startsWithFolded(stem.data(), "COM") || startsWithFolded(stem.data(), "LPT");
}

void makePortableName(std::string& name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  if (isDeviceName(name)) {
    std::size_t stemEnd = name.find('.');
    if (stemEnd == std::string::npos) stemEnd = name.size();
    while (stemEnd > 0 && name[stemEnd - 1] == ' ') --stemEnd;
    name.insert(stemEnd, 1, '_');
  }
}

void cleanPathComponent(char* path) {
  char* component = path;
  for (char* p = path; *p != '\0'; ++p) {
    if (platform::isPathSeparator(*p)) component = p + 1;
  }

  // Decode in place; the write position never passes the read position.
  const char* read = component;
  char* write = component;
  while (*read != '\0') {
    if (startsWithFolded(read, "&amp;")) {
      *write++ = '&';
      read += 5;
    } else if (read[0] == '&' && read[1] == '#') {
      read += 2;
      // No digits read as code 0, which becomes '_' like every unsafe code.
      // Codes past ASCII are written in UTF-8, which is never longer than
      // the reference it replaces.
      const std::uint32_t code = parseDecimal(read);
      if (*read == ';') ++read;
      if (code < 0x80 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        const auto byte = static_cast<unsigned char>(code < 0x80 ? code : 0);
        *write++ = isUnsafeNameChar(byte) ? '_' : static_cast<char>(byte);
      } else {
        write = putUtf8(write, code);
      }
    } else {
      *write++ = *read++;
    }
  }
  *write = '\0';

  // Names may not end in a dot or a blank; a separator ends the removal.
  while (write > path && (write[-1] == '.' || write[-1] == ' ')) *--write = '\0';
}

std::uint8_t linkContains(const char* link, const KeywordEntry& entry) {
  const char* end = link;
  const char* segment = link;
  for (; !isLinkEndOrFragment(*end); ++end) {
    if (*end == '/' && isAsciiLetter(end[1])) segment = end;
  }
  const char* keyword = entry.keyword;
  for (const char* s = segment;; ++s) {
    const char* t = s;
    const char* k = keyword;
    while (*k != '\0' && t < end && foldedEqual(*t, *k)) {
      ++t;
      ++k;
    }
    if (*k == '\0') return entry.linkClass;
    if (s == end) return 0;
  }
}

}  // namespace quillstash
