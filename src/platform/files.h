// SPDX-License-Identifier: MIT
#pragma once

// Files and directories as the archive writer needs them. Paths are
// NUL-terminated byte texts with the platform's separator.

#include <cstddef>
#include <cstdint>

namespace quillstash::platform {

enum class CreateDirectoryResult { kCreated, kAlreadyExists, kFailed };

// Creates one directory (its parent must exist). An existing directory gives
// kAlreadyExists; an existing file of that name, or any other failure, kFailed.
CreateDirectoryResult createDirectory(const char* path);

// True when a file or directory of that name exists.
bool pathExists(const char* path);

// The size in bytes of the file `path`, or -1 when it cannot be read.
std::int64_t fileSize(const char* path);

// Writes `size` bytes as the whole content of `path`, replacing an old file.
// The bytes go to a temporary file beside it that is renamed over `path`
// only when complete, so `path` never holds a partial file.
bool writeWholeFile(const char* path, const char* data, std::size_t size);

// Appends bytes to `path`, creating it when missing. Opened and closed per call
// so that other programs may read the file meanwhile.
bool appendToFile(const char* path, const char* data, std::size_t size);

// A file written piece by piece (a download streamed to disk). Creating
// replaces any old file of that name. Closed by the destructor.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool create(const char* path);
  bool write(const char* data, std::size_t size);
  // Empties the file and starts writing it again from the start.
  bool restart();
  void close();
  bool isOpen() const { return handle_ >= 0; }

 private:
  std::intptr_t handle_ = -1;  // the platform's file handle, -1 when closed
};

}  // namespace quillstash::platform
