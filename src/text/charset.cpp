// SPDX-License-Identifier: MIT
#include "text/charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

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

// Converts with iconv from `charset`; false when the system does not know it.
bool convertWith(const std::string& charset, std::string_view page, std::string& out) {
  iconv_t converter = ::iconv_open("UTF-8", charset.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  out.reserve(page.size() + page.size() / 2);
  char buffer[16384];
  char* in = const_cast<char*>(page.data());
  std::size_t inLeft = page.size();
  while (inLeft > 0) {
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    const std::size_t result = ::iconv(converter, &in, &inLeft, &to, &toLeft);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(to - buffer));
    if (result != static_cast<std::size_t>(-1)) continue;
    if (error == E2BIG) continue;
    // A byte the charset does not define, or a sequence cut at the end.
    out += "\xEF\xBF\xBD";
    ++in;
    --inLeft;
  }
  ::iconv_close(converter);
  return true;
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
  if (charset.empty() && isValidUtf8(page)) return false;
  if (!charset.empty() && !namesLatin1(charset) && convertWith(std::string(charset), page, out)) return true;
  return convertWith("WINDOWS-1252", page, out);
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
