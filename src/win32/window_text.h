// SPDX-License-Identifier: MIT
#pragma once

// The models speak UTF-8 with CR LF line ends; the Windows API speaks UTF-16.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32_support.h"

namespace quillstash::win32ui {

inline std::wstring wide(std::string_view text) { return platform::win32::widen(std::string(text).c_str()); }

// The text of a control as UTF-8.
inline std::string controlText(HWND window, int id) {
  HWND control = ::GetDlgItem(window, id);
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  return platform::win32::narrow(text.c_str());
}

inline void setControlText(HWND window, int id, std::string_view text) {
  ::SetDlgItemTextW(window, id, wide(text).c_str());
}

inline bool isTicked(HWND window, int id) { return ::IsDlgButtonChecked(window, id) == BST_CHECKED; }
inline void setTicked(HWND window, int id, bool on) { ::CheckDlgButton(window, id, on ? BST_CHECKED : BST_UNCHECKED); }
inline void enable(HWND window, int id, bool on) { ::EnableWindow(::GetDlgItem(window, id), on ? TRUE : FALSE); }

// An edit control shows a line break only as CR LF: a lone LF becomes one.
inline std::string editLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

}  // namespace quillstash::win32ui
