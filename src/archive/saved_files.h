// SPDX-License-Identifier: MIT
#pragma once

// What the archive already holds of the files a topic links to (attachments,
// images), and where each file saved now goes on record, so that a later
// run into the same archive does not fetch them again. Used on the download
// thread only, for the topic being written.

#include <string>
#include <string_view>

namespace quillstash {

class SavedFiles {
 public:
  virtual ~SavedFiles() = default;
  // The name in `folder` (ending with a path separator) under which an
  // earlier run saved `address` for the topic being written, when that file
  // is still there with the size it was saved with; empty otherwise.
  virtual std::string savedName(const char* address, std::string_view folder) = 0;
  // `address` has been saved as `name` in `folder` for the topic being
  // written.
  virtual void fileSaved(const char* address, std::string_view folder, std::string_view name) = 0;
};

}  // namespace quillstash
