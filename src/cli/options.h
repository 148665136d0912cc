// SPDX-License-Identifier: MIT
#pragma once

// The command line of quillstash-cli:
//   quillstash-cli [options] FORUM_ADDRESS [OUTPUT_DIRECTORY]
// Options change the settings record, which starts from its defaults; a text
// or delay option also switches its setting on.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/manifest_recorder.h"
#include "core/settings.h"

namespace quillstash::cli {

struct CliOptions {
  std::string forumAddress;
  std::string outputDirectory = ".";
  std::string userName;
  std::string password;
  bool login = false;  // -u or -p given
  bool listForums = false;
  bool showHelp = false;
  bool showVersion = false;
  bool listEngines = false;
  std::string logFile;
  std::vector<std::uint32_t> skippedForums;  // 1-based numbers of the index page
  std::chrono::milliseconds receiveTimeout{120000};
  RefreshMode refreshMode = RefreshMode::kRefresh;  // --full, --retry-failed
  bool indexPages = true;                           // --no-index-pages
  std::string checkArchive;                         // --check ARCHIVE: the archive's root folder
  Settings settings;
};

struct ParseResult {
  bool ok = false;
  std::string error;  // one line naming the problem when !ok
  CliOptions options;
};

// Reads the arguments (without the program name). Never exits.
ParseResult parseArguments(const std::vector<std::string>& arguments);

// The --help text.
std::string usageText();

}  // namespace quillstash::cli
