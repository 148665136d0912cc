// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

#include "app/session.h"
#include "cli/options.h"

namespace quillstash::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitIncomplete = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitArchiveIncomplete = 3;  // --check found missing or changed files

// --check: compares the archive at `archiveRoot` with its manifest and prints
// what is missing or changed to `out` (problems reading the manifest to
// `err`). Fetches nothing.
int checkArchiveFiles(const std::string& archiveRoot, std::FILE* out, std::FILE* err);

// Runs what the options ask for on `session`, whose log view the caller has
// pointed at standard output (or standard error for --list-forums): an
// optional login, then the forum listing or the download. `out` receives the
// listing; `err` the summary. Returns the exit status.
int runCli(const CliOptions& options, Session& session, std::FILE* out, std::FILE* err);

}  // namespace quillstash::cli
