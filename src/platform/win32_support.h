// SPDX-License-Identifier: MIT
#pragma once

// Windows only, shared by the *_win32.cpp files: the conversions between the
// core's UTF-8 byte texts and the wide-character texts of the Windows API,
// and the start of Windows Sockets.

#include <string>

namespace quillstash::platform::win32 {

// UTF-8 to UTF-16. A byte that is not part of a valid UTF-8 sequence stands
// for the Latin-1 character of that value, so that names taken from pages in
// a single-byte encoding still map to one distinct file name each.
std::wstring widen(const char* text);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string narrow(const wchar_t* text);

// `path` widened for the file API: made absolute and given the "\\?\" prefix
// so that paths longer than MAX_PATH work and names are taken literally.
std::wstring longPath(const char* path);

// Starts Windows Sockets once for the process (its state is per process) on
// the first call; every socket function calls it first. False when the
// system refuses, with the last socket error set.
bool startWinsock();

}  // namespace quillstash::platform::win32
