// SPDX-License-Identifier: MIT
#include "text/charset.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/charset.h"
#include "text/strings.h"

namespace quillstash {
namespace {

constexpr std::size_t kMetaSearch = 65536;

// The value of the first "charset=" in `text`, up to a quote, blank, ';',
// '/' or '>'; empty when there is none.
std::string charsetParameter(std::string_view text) {
  for (std::size_t i = 0; i + 8 <= text.size(); ++i) {
    if (!startsWithFolded(text.data() + i, "charset=")) continue;
    std::size_t start = i + 8;
    while (start < text.size() && (text[start] == '"' || text[start] == '\'' || text[start] == ' ')) ++start;
    std::size_t end = start;
    while (end < text.size() && text[end] != '"' && text[end] != '\'' && text[end] != ' ' && text[end] != ';' &&
           text[end] != '>' && text[end] != '/' && static_cast<unsigned char>(text[end]) > 32) {
      ++end;
    }
    return std::string(text.substr(start, end - start));
  }
  return std::string();
}

bool namesUtf8OrAscii(std::string_view charset) {
  std::string lower;
  for (char c : charset) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower == "utf-8" || lower == "utf8" || lower == "us-ascii" || lower == "ascii";
}

bool namesLatin1(std::string_view charset) {
  std::string lower;
  for (char c : charset) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower == "iso-8859-1" || lower == "iso8859-1" || lower == "latin1" || lower == "latin-1" || lower == "l1" ||
         lower == "windows-1252" || lower == "cp1252";
}

// windows-1252 into UTF-8, here rather than through the system so that every
// platform reads undeclared and Latin-1 pages alike. 0x80 to 0x9F; 0 where
// the charset defines no character.
constexpr std::uint16_t kWindows1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void convertWindows1252(std::string_view page, std::string& out) {
  out.clear();
  out.reserve(page.size() + page.size() / 2);
  for (std::size_t i = 0; i < page.size(); ++i) {
    // Runs of ASCII are the same bytes in UTF-8: copied whole.
    std::size_t run = i;
    while (run < page.size() && static_cast<unsigned char>(page[run]) < 0x80) ++run;
    if (run != i) {
      out.append(page.data() + i, run - i);
      i = run;
      if (i == page.size()) break;
    }
    const auto c = static_cast<unsigned char>(page[i]);
    std::uint32_t code = c;
    if (c >= 0x80 && c <= 0x9F) code = kWindows1252High[c - 0x80] != 0 ? kWindows1252High[c - 0x80] : 0xFFFD;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
}

}  // namespace

std::string_view contentTypeOf(std::string_view header) {
  for (std::size_t i = 0; i + 13 <= header.size(); ++i) {
    if ((i != 0 && header[i - 1] != '\n') || !startsWithFolded(header.data() + i, "content-type:")) continue;
    std::size_t start = i + 13;
    std::size_t end = start;
    while (end < header.size() && header[end] != '\r' && header[end] != '\n') ++end;
    return header.substr(start, end - start);
  }
  return std::string_view();
}

std::string declaredCharset(std::string_view contentType, std::string_view page) {
  std::string charset = charsetParameter(contentType);
  if (!charset.empty()) return charset;
  const std::string_view head = page.substr(0, kMetaSearch);
  for (std::size_t i = 0; i + 5 < head.size(); ++i) {
    if (head[i] != '<' || !startsWithFolded(head.data() + i + 1, "meta")) continue;
    std::size_t close = head.find('>', i);
    if (close == std::string_view::npos) break;
    charset = charsetParameter(head.substr(i, close - i));
    if (!charset.empty()) return charset;
    i = close;
  }
  return std::string();
}

bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t more = 0;
    std::uint32_t code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + more >= text.size()) return false;  // cut at the end
    for (std::size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (more == 3 && (code < 0x10000 || code > 0x10FFFF))) {
      return false;
    }
    i += more + 1;
  }
  return true;
}

bool convertToUtf8(std::string_view page, std::string_view charset, std::string& out) {
  if (!charset.empty() && namesUtf8OrAscii(charset)) return false;
  // A Latin-1 page of ASCII alone is already UTF-8.
  if (!charset.empty() && namesLatin1(charset) &&
      std::all_of(page.begin(), page.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return false;
  }
  if (charset.empty() && isValidUtf8(page)) return false;
  if (!charset.empty() && !namesLatin1(charset) && platform::convertCharsetToUtf8(std::string(charset), page, out)) {
    return true;
  }
  convertWindows1252(page, out);
  return true;
}

std::size_t convertPageToUtf8(PageBlock& page, std::size_t length, std::string_view contentType) {
  const std::string_view text(page.text(), length);
  std::string converted;
  if (!convertToUtf8(text, declaredCharset(contentType, text), converted)) return length;
  std::size_t size = converted.size();
  if (size > page.capacity()) {
    size = page.capacity();
    while (size > 0 && (static_cast<unsigned char>(converted[size]) & 0xC0) == 0x80) --size;
  }
  std::memcpy(page.data(), converted.data(), size);
  page.setLength(size);
  return size;
}

}  // namespace quillstash
