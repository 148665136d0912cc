// SPDX-License-Identifier: MIT
#include "platform/charset.h"

#include <windows.h>

#include <cstring>

namespace quillstash::platform {
namespace {

struct CodePageName {
  const char* name;
  UINT codePage;
};

// The charset names pages use, with the Windows code page of each. Windows
// has no lookup of its own short of COM (MLang), so the common ones are listed.
constexpr CodePageName kCodePages[] = {
    {"windows-1250", 1250}, {"cp1250", 1250},      {"windows-1251", 1251}, {"cp1251", 1251},
    {"windows-1252", 1252}, {"cp1252", 1252},      {"windows-1253", 1253}, {"cp1253", 1253},
    {"windows-1254", 1254}, {"cp1254", 1254},      {"windows-1255", 1255}, {"cp1255", 1255},
    {"windows-1256", 1256}, {"cp1256", 1256},      {"windows-1257", 1257}, {"cp1257", 1257},
    {"windows-1258", 1258}, {"cp1258", 1258},      {"iso-8859-1", 28591},  {"latin1", 28591},
    {"iso-8859-2", 28592},  {"latin2", 28592},     {"iso-8859-3", 28593},  {"iso-8859-4", 28594},
    {"iso-8859-5", 28595},  {"iso-8859-6", 28596}, {"iso-8859-7", 28597},  {"iso-8859-8", 28598},
    {"iso-8859-9", 28599},  {"latin5", 28599},     {"iso-8859-13", 28603}, {"iso-8859-15", 28605},
    {"latin9", 28605},      {"koi8-r", 20866},     {"koi8-u", 21866},      {"cp866", 866},
    {"ibm866", 866},        {"cp850", 850},        {"ibm850", 850},        {"cp437", 437},
    {"ibm437", 437},        {"shift_jis", 932},    {"sjis", 932},          {"windows-31j", 932},
    {"cp932", 932},         {"euc-jp", 20932},     {"iso-2022-jp", 50220}, {"gb2312", 936},
    {"gbk", 936},           {"cp936", 936},        {"gb18030", 54936},     {"big5", 950},
    {"cp950", 950},         {"euc-kr", 949},       {"cp949", 949},         {"windows-874", 874},
    {"tis-620", 874},       {"macintosh", 10000},  {"mac", 10000},         {"utf-16le", 1200},
    {"utf-16be", 1201},     {"utf-16", 1200},
};

UINT codePageOf(const std::string& charset) {
  std::string lower;
  for (char c : charset) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  for (const CodePageName& entry : kCodePages) {
    if (lower == entry.name) return entry.codePage;
  }
  return 0;
}

void appendUtf8(std::string& out, const wchar_t* text, int length) {
  if (length <= 0) return;
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  const std::size_t old = out.size();
  out.resize(old + static_cast<std::size_t>(size));
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data() + old, size, nullptr, nullptr);
}

}  // namespace

bool convertCharsetToUtf8(const std::string& charset, std::string_view text, std::string& out) {
  const UINT codePage = codePageOf(charset);
  if (codePage == 0 || !::IsValidCodePage(codePage == 1200 || codePage == 1201 ? 1252 : codePage)) return false;
  out.clear();
  if (text.empty()) return true;
  if (codePage == 1200 || codePage == 1201) {
    // UTF-16 is not a code page MultiByteToWideChar converts from.
    std::wstring wide;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
      const auto a = static_cast<unsigned char>(text[i]);
      const auto b = static_cast<unsigned char>(text[i + 1]);
      wide.push_back(static_cast<wchar_t>(codePage == 1200 ? (b << 8 | a) : (a << 8 | b)));
    }
    appendUtf8(out, wide.data(), static_cast<int>(wide.size()));
    if (text.size() % 2 != 0) out += "\xEF\xBF\xBD";
    return true;
  }
  // Strictly first; a text with bytes the code page does not define is then
  // converted with the system's own replacement character for them.
  const int length = static_cast<int>(text.size());
  int size = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (size > 0) {
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), size);
    appendUtf8(out, wide.data(), size);
    return true;
  }
  size = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), size);
  appendUtf8(out, wide.data(), size);
  return true;
}

}  // namespace quillstash::platform
