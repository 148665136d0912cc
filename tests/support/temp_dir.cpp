// SPDX-License-Identifier: MIT
#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace quillstash::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillstash-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string fixturePage(const std::string& name) { return readFile(std::string(QUILLSTASH_FIXTURE_DIR) + "/" + name); }

std::string corpusPage(const std::string& name) { return readFile(std::string(QUILLSTASH_CORPUS_DIR) + "/" + name); }

bool corpusPresent() {
  std::error_code ignored;
  return std::filesystem::is_directory(QUILLSTASH_CORPUS_DIR, ignored);
}

}  // namespace quillstash::test
