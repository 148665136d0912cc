// SPDX-License-Identifier: MIT
#include "platform/process.h"

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
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

std::string userStateDirectory() {
  std::string base;
  // Relative values are to be ignored, as if the variable were unset.
  if (const char* variable = std::getenv("XDG_STATE_HOME"); variable != nullptr && variable[0] == '/') {
    base = variable;
  } else {
    std::string home = homeDirectory();
    if (home.empty()) return std::string();
    base = home + "/.local/state";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string folder = base + "/quillstash";
  // Each missing level is made in turn; the state folder is the user's own.
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    std::string level = folder.substr(0, slash);
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::string();
  return folder;
}

void sleepMilliseconds(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quillstash::platform
