// SPDX-License-Identifier: MIT
#include "platform/files.h"

#include <windows.h>

#include <string>

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

OutputFile::~OutputFile() { close(); }

bool OutputFile::create(const char* path) {
  close();
  HANDLE file = openForWriting(win32::longPath(path), GENERIC_WRITE, CREATE_ALWAYS);
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

void OutputFile::close() {
  if (isOpen()) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
  }
}

}  // namespace quillstash::platform
