// SPDX-License-Identifier: MIT
#pragma once

// Files and directories as the archive writer needs them. Paths are
// NUL-terminated byte texts with the platform's separator.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillstash::platform {

enum class CreateDirectoryResult { kCreated, kAlreadyExists, kFailed };

// Creates one directory (its parent must exist). An existing directory gives
// kAlreadyExists; an existing file of that name, or any other failure, kFailed.
CreateDirectoryResult createDirectory(const char* path);

// True when a file or directory of that name exists.
bool pathExists(const char* path);

// Creates a directory and every missing parent. True when it exists
// afterwards; otherwise `reason` receives the system's description of why not.
bool createDirectories(const char* path, std::string& reason);

// The system's description of the last failed file operation on this thread.
std::string lastErrorText();

// The size of the file at `path`, 0 when it cannot be read.
std::uint64_t fileSize(const char* path);

// The size in bytes of the regular file `path`, or -1 when there is none
// (missing, unreadable, or not a regular file).
std::int64_t regularFileSize(const char* path);

// Writes `size` bytes as the whole content of `path`, replacing an old file.
// The bytes go to a temporary file beside it that is renamed over `path`
// only when complete, so `path` never holds a partial file.
bool writeWholeFile(const char* path, const char* data, std::size_t size);

// Appends bytes to `path`, creating it when missing. Opened and closed per call
// so that other programs may read the file meanwhile.
bool appendToFile(const char* path, const char* data, std::size_t size);

// A file written piece by piece (a download streamed to disk), beside its
// final name as NAME.part: commit() renames it to NAME, replacing any old
// file, only when it is complete. Until then the final name is untouched, and
// discard(), a new create() or the destructor removes the .part, so that an
// error, a stop or a cut transfer never leaves half a file. One thread.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens `path` + ".part" for writing, emptied.
  bool create(const char* path);
  bool write(const char* data, std::size_t size);
  // Empties the file and starts writing it again from the start.
  bool restart();
  // Closes the file and renames it to its final name; false (and the .part
  // removed) when either fails.
  bool commit();
  // Closes and removes the .part; nothing when none is open.
  void discard();
  bool isOpen() const { return handle_ >= 0; }

 private:
  std::intptr_t handle_ = -1;  // the platform's file handle, -1 when closed
  std::string finalPath_;
  std::string partPath_;
};

}  // namespace quillstash::platform
