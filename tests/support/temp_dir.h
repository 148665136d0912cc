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

// One of the project's own forum pages under tests/fixtures, e.g.
// "classic/phpbb2_index.html"; empty when missing.
std::string fixturePage(const std::string& name);

// A page of the saved forum corpus beside the source tree, e.g.
// "phpbb2/index-1.html"; empty when missing. The corpus is not part of the
// repository, so tests over it begin with QUILLSTASH_REQUIRE_CORPUS().
std::string corpusPage(const std::string& name);
bool corpusPresent();

}  // namespace quillstash::test

// Reports the running test as skipped when the saved corpus is not there.
#define QUILLSTASH_REQUIRE_CORPUS() \
  if (!::quillstash::test::corpusPresent()) GTEST_SKIP() << "the saved forum corpus is not at " QUILLSTASH_CORPUS_DIR
