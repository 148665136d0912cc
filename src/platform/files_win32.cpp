// SPDX-License-Identifier: MIT
#include "platform/files.h"

#include <windows.h>

#include <string>

#include "platform/path.h"
#include "platform/win32_support.h"

namespace quillstash::platform {
namespace {

bool writeAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// Others may read, rename and delete the file while it is open, as on POSIX.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE openForWriting(const std::wstring& path, DWORD access, DWORD disposition) {
  return ::CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

CreateDirectoryResult createDirectory(const char* path) {
  const std::wstring wide = win32::longPath(path);
  if (::CreateDirectoryW(wide.c_str(), nullptr)) return CreateDirectoryResult::kCreated;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return CreateDirectoryResult::kAlreadyExists;
    }
  }
  return CreateDirectoryResult::kFailed;
}

bool pathExists(const char* path) {
  return ::GetFileAttributesW(win32::longPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// The length of the part of `path` that names a drive or share rather than a
// folder to create: "C:\", "\\server\share\", "\\?\C:\", "\\?\UNC\server\share\".
std::size_t rootLength(const std::string& path) {
  auto separatorAt = [&](std::size_t i) { return i < path.size() && isPathSeparator(path[i]); };
  std::size_t start = 0;
  if (path.rfind("\\\\?\\", 0) == 0 || path.rfind("\\\\.\\", 0) == 0) {
    start = 4;
    if (path.compare(start, 4, "UNC\\") != 0) {
      if (path.size() >= start + 2 && path[start + 1] == ':') return separatorAt(start + 2) ? start + 3 : start + 2;
      return start;
    }
    start += 4;
  } else if (separatorAt(0) && separatorAt(1)) {
    start = 2;
  } else {
    if (path.size() >= 2 && path[1] == ':') return separatorAt(2) ? 3 : 2;
    return separatorAt(0) ? 1 : 0;
  }
  // A share: skip the server and the share name.
  std::size_t i = start;
  for (int part = 0; part < 2; ++part) {
    while (i < path.size() && !isPathSeparator(path[i])) ++i;
    if (i < path.size()) ++i;
  }
  return i;
}

}  // namespace

bool createDirectories(const char* path, std::string& reason) {
  const std::string whole(path);
  // Each prefix ending before a separator, then the whole path.
  for (std::size_t i = rootLength(whole) + 1; i <= whole.size(); ++i) {
    if (i < whole.size() && !isPathSeparator(whole[i])) continue;
    if (isPathSeparator(whole[i - 1])) continue;
    const std::string prefix = whole.substr(0, i);
    if (createDirectory(prefix.c_str()) == CreateDirectoryResult::kFailed) {
      // A file in the way: the system's "already exists" would mislead.
      if (::GetLastError() == ERROR_ALREADY_EXISTS) ::SetLastError(ERROR_DIRECTORY);
      reason = lastErrorText();
      return false;
    }
  }
  return true;
}

std::string lastErrorText() {
  const DWORD error = ::GetLastError();
  wchar_t* text = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (length > 0 && text != nullptr) out = win32::narrow(text);
  if (text != nullptr) ::LocalFree(text);
  // The system's texts end with a full stop and a line break.
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.')) {
    out.pop_back();
  }
  if (out.empty()) out = "system error " + std::to_string(error);
  return out;
}

std::uint64_t fileSize(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(win32::longPath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::int64_t regularFileSize(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(win32::longPath(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

void removePartFiles(const char* folder) {
  std::string prefix(folder);
  if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(win32::longPath((prefix + "*.part").c_str()).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // Only plain files whose name ends in ".part" (the pattern also matches
    // short 8.3 names); never folders or links.
    const std::string name = win32::narrow(found.cFileName);
    const bool plain = (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    if (!plain || name.size() <= 5 || name.compare(name.size() - 5, 5, ".part") != 0) continue;
    ::DeleteFileW(win32::longPath((prefix + name).c_str()).c_str());
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

bool writeWholeFile(const char* path, const char* data, std::size_t size) {
  const std::wstring target = win32::longPath(path);
  const std::wstring temporary = win32::longPath((std::string(path) + ".part").c_str());
  HANDLE file = openForWriting(temporary, GENERIC_WRITE, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = writeAll(file, data, size);
  if (!::CloseHandle(file)) ok = false;
  if (ok && ::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  ::DeleteFileW(temporary.c_str());
  return false;
}

bool appendToFile(const char* path, const char* data, std::size_t size) {
  HANDLE file = openForWriting(win32::longPath(path), FILE_APPEND_DATA, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = writeAll(file, data, size);
  if (!::CloseHandle(file)) ok = false;
  return ok;
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::create(const char* path) {
  discard();
  finalPath_ = path;
  partPath_ = finalPath_ + ".part";
  HANDLE file = openForWriting(win32::longPath(partPath_.c_str()), GENERIC_WRITE, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool OutputFile::write(const char* data, std::size_t size) {
  return isOpen() && writeAll(reinterpret_cast<HANDLE>(handle_), data, size);
}

bool OutputFile::restart() {
  if (!isOpen()) return false;
  HANDLE file = reinterpret_cast<HANDLE>(handle_);
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

bool OutputFile::commit() {
  if (!isOpen()) return false;
  const bool closed = ::CloseHandle(reinterpret_cast<HANDLE>(handle_)) != 0;
  handle_ = -1;
  const std::wstring part = win32::longPath(partPath_.c_str());
  const std::wstring target = win32::longPath(finalPath_.c_str());
  if (closed && ::MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  const DWORD error = ::GetLastError();
  ::DeleteFileW(part.c_str());
  ::SetLastError(error);  // the reason the caller reports is the rename's
  return false;
}

void OutputFile::discard() {
  if (!isOpen()) return;
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
  ::DeleteFileW(win32::longPath(partPath_.c_str()).c_str());
}

}  // namespace quillstash::platform
