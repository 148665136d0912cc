// SPDX-License-Identifier: MIT
#include "core/run_outcome.h"

#include <cstdio>

namespace quillstash {
namespace {

// "512 B", "12.0 KB", "12.4 MB", "1.1 GB": one decimal from a kilobyte on.
std::string sizeText(std::uint64_t bytes) {
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    return text;
  }
  double value = static_cast<double>(bytes) / 1024.0;
  std::size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    value /= 1024.0;
    ++unit;
  }
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

// "0m03s", "3m12s", "2h05m00s".
std::string durationText(std::chrono::milliseconds elapsed) {
  const long long seconds = elapsed.count() / 1000;
  char text[48];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lldh%02lldm%02llds", seconds / 3600, seconds / 60 % 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%lldm%02llds", seconds / 60, seconds % 60);
  }
  return text;
}

}  // namespace

std::string summaryLine(const RunCounts& c, std::chrono::milliseconds elapsed) {
  char text[256];
  std::snprintf(text, sizeof text,
                "* Summary: %u forums (%u pages failed), %u topics saved, %u incomplete, %u failed, %u files saved, "
                "%u failed, ",
                c.forums, c.forumPagesFailed, c.topicsSaved, c.topicsIncomplete, c.topicsFailed, c.filesSaved,
                c.filesFailed);
  std::string line(text);
  line += sizeText(c.bytes);
  line += ", ";
  line += durationText(elapsed);
  line += "\r\n";
  return line;
}

}  // namespace quillstash
