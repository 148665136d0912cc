// SPDX-License-Identifier: MIT
#include "platform/process.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

#include "platform/win32_support.h"

namespace quillstash::platform {

std::string programPath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) {
      buffer.resize(length);
      return win32::narrow(buffer.c_str());
    }
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string homeDirectory() {
  std::string home;
  PWSTR folder = nullptr;
  if (::SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &folder) == S_OK && folder != nullptr) {
    home = win32::narrow(folder);
  }
  ::CoTaskMemFree(folder);
  if (home.empty()) {
    if (const wchar_t* variable = ::_wgetenv(L"USERPROFILE"); variable != nullptr) home = win32::narrow(variable);
  }
  while (home.size() > 3 && (home.back() == '\\' || home.back() == '/')) home.pop_back();
  return home;
}

std::string userStateDirectory() {
  // The user's local application data folder, as the system names it.
  std::wstring base;
  PWSTR folder = nullptr;
  if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder) == S_OK && folder != nullptr) base = folder;
  ::CoTaskMemFree(folder);
  if (base.empty()) return std::string();
  const std::wstring state = base + L"\\quillstash";
  if (!::CreateDirectoryW(state.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return std::string();
  const DWORD attributes = ::GetFileAttributesW(state.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::string();
  return win32::narrow(state.c_str());
}

std::vector<std::string> programArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(win32::narrow(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

void useBinaryStandardStreams() {
  std::fflush(stdout);
  std::fflush(stderr);
  ::_setmode(_fileno(stdout), _O_BINARY);
  ::_setmode(_fileno(stderr), _O_BINARY);
}

void sleepMilliseconds(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace quillstash::platform
