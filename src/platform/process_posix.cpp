// SPDX-License-Identifier: MIT
#include "platform/process.h"

#include <chrono>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace quillstash::platform {

std::string programPath() {
  char buffer[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return std::string();
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string homeDirectory() {
  std::string home;
  if (const char* variable = std::getenv("HOME"); variable != nullptr && variable[0] != '\0') {
    home = variable;
  } else if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    home = entry->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home;
}

std::vector<std::string> programArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void useBinaryStandardStreams() {}  // no text mode here

void sleepMilliseconds(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quillstash::platform
