// SPDX-License-Identifier: MIT
#include "platform/win32_support.h"

#include <windows.h>

#include <cstdint>

namespace quillstash::platform::win32 {
namespace {

// The length of the valid UTF-8 sequence at `p` (1 to 4), or 0 when the byte
// there does not start one.
int utf8SequenceLength(const unsigned char* p) {
  auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
  const unsigned char c = p[0];
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return continuation(p[1]) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!continuation(p[1]) || !continuation(p[2])) return 0;
    if (c == 0xE0 && p[1] < 0xA0) return 0;   // overlong
    if (c == 0xED && p[1] >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!continuation(p[1]) || !continuation(p[2]) || !continuation(p[3])) return 0;
    if (c == 0xF0 && p[1] < 0x90) return 0;   // overlong
    if (c == 0xF4 && p[1] >= 0x90) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

void appendCodePoint(std::wstring& out, std::uint32_t code) {
  if (code < 0x10000) {
    out.push_back(static_cast<wchar_t>(code));
  } else {
    code -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
  }
}

}  // namespace

std::wstring widen(const char* text) {
  std::wstring out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    const int length = utf8SequenceLength(p);
    std::uint32_t code;
    switch (length) {
      case 1: code = p[0]; break;
      case 2: code = (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu); break;
      case 3: code = (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu); break;
      case 4: code = (p[0] & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu); break;
      default: code = p[0]; break;  // a stray byte: its Latin-1 character
    }
    appendCodePoint(out, code);
    p += length == 0 ? 1 : length;
  }
  return out;
}

std::string narrow(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

std::wstring longPath(const char* path) {
  std::wstring wide = widen(path);
  if (wide.empty() || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  // GetFullPathNameW makes the path absolute, turns '/' into '\' and folds
  // "." and ".." away, none of which happens behind the prefix.
  DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  size = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (size == 0 || size >= full.size()) return wide;
  full.resize(size);
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace quillstash::platform::win32
