// SPDX-License-Identifier: MIT
#include "support/temp_dir.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "platform/path.h"

namespace quillstash::test {

TempDir::TempDir() {
  // A new folder of a random name; create_directory fails on an existing one.
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "quillstash-test-%08x", static_cast<unsigned>(random()));
    std::error_code error;
    if (std::filesystem::create_directory(base / name, error)) {
      path_ = (base / name).string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const {
  std::string path = path_ + platform::kPathSeparator + name;
  for (std::size_t i = path_.size(); i < path.size(); ++i) {
    if (path[i] == '/') path[i] = platform::kPathSeparator;
  }
  return path;
}

std::string readFile(const std::string& path) {
  // Through a path made from UTF-8, so that Windows opens the file by its
  // wide-character name rather than in the local code page.
  std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
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
