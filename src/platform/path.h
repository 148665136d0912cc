// SPDX-License-Identifier: MIT
#pragma once

namespace quillstash::platform {

// The separator between the folders of a path on this platform.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// True for either separator a user may type ('/' or '\\' on Windows, '/' here).
inline bool isPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

}  // namespace quillstash::platform
