// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace quillstash::test {

// A fresh folder under the system's temporary directory, removed with all its
// content when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's path, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + separator + name, with every '/' of `name` made the platform's separator.
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

// The whole content of a file, or an empty string when it cannot be read.
std::string readFile(const std::string& path);

// A page of the saved forum corpus, e.g. "phpbb2/index-1.html"; empty when missing.
std::string corpusPage(const std::string& name);

}  // namespace quillstash::test
