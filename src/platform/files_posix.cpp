// SPDX-License-Identifier: MIT
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quillstash::platform {
namespace {

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

CreateDirectoryResult createDirectory(const char* path) {
  if (::mkdir(path, 0777) == 0) return CreateDirectoryResult::kCreated;
  if (errno == EEXIST) {
    struct stat info {};
    if (::stat(path, &info) == 0 && S_ISDIR(info.st_mode)) return CreateDirectoryResult::kAlreadyExists;
  }
  return CreateDirectoryResult::kFailed;
}

bool pathExists(const char* path) {
  struct stat info {};
  return ::stat(path, &info) == 0;
}

bool createDirectories(const char* path, std::string& reason) {
  std::string partial(path);
  // Each prefix ending before a separator, then the whole path.
  for (std::size_t i = 1; i <= partial.size(); ++i) {
    if (i < partial.size() && partial[i] != '/') continue;
    if (partial[i - 1] == '/') continue;
    std::string prefix = partial.substr(0, i);
    if (createDirectory(prefix.c_str()) == CreateDirectoryResult::kFailed) {
      reason = lastErrorText();
      if (errno == EEXIST) reason = std::strerror(ENOTDIR);
      return false;
    }
  }
  return true;
}

std::string lastErrorText() { return std::strerror(errno); }

std::uint64_t fileSize(const char* path) {
  struct stat info {};
  if (::stat(path, &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

std::int64_t regularFileSize(const char* path) {
  struct stat info {};
  if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

bool writeWholeFile(const char* path, const char* data, std::size_t size) {
  std::string temporary = std::string(path) + ".part";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = writeAll(fd, data, size);
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temporary.c_str(), path) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

bool appendToFile(const char* path, const char* data, std::size_t size) {
  int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = writeAll(fd, data, size);
  if (::close(fd) != 0) ok = false;
  return ok;
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::create(const char* path) {
  discard();
  finalPath_ = path;
  partPath_ = finalPath_ + ".part";
  int fd = ::open(partPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

bool OutputFile::write(const char* data, std::size_t size) {
  return isOpen() && writeAll(static_cast<int>(handle_), data, size);
}

bool OutputFile::restart() {
  if (!isOpen()) return false;
  int fd = static_cast<int>(handle_);
  return ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0;
}

bool OutputFile::commit() {
  if (!isOpen()) return false;
  const bool closed = ::close(static_cast<int>(handle_)) == 0;
  handle_ = -1;
  if (closed && ::rename(partPath_.c_str(), finalPath_.c_str()) == 0) return true;
  ::unlink(partPath_.c_str());
  return false;
}

void OutputFile::discard() {
  if (!isOpen()) return;
  ::close(static_cast<int>(handle_));
  handle_ = -1;
  ::unlink(partPath_.c_str());
}

}  // namespace quillstash::platform
