// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

#include "app/session.h"
#include "cli/options.h"
#include "cli/stream_log_view.h"

namespace quillstash::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitIncomplete = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFailedItems = 3;  // also: --check found missing or changed files

// --check: compares the archive at `archiveRoot` with its manifest and prints
// what is missing or changed to `out` (problems reading the manifest to
// `err`). Fetches nothing. kExitFailedItems when something is missing,
// changed or not saved whole.
int checkArchiveFiles(const std::string& archiveRoot, std::FILE* out, std::FILE* err);

// Runs what the options ask for on `session`, whose log view the caller has
// pointed at standard output (or standard error for --list-forums): an
// optional login, then the forum listing or the download. `out` receives the
// listing; `err` the summary. Returns the exit status: kExitSuccess when
// everything was saved, kExitFailedItems when the run finished with failed
// items, kExitIncomplete when it did not finish (stopped, index page not
// fetched, folder not made).
// `view`, when given, is the session's log view: its last line is ended
// before the summary goes to `err`, so the two never share a line.
int runCli(const CliOptions& options, Session& session, std::FILE* out, std::FILE* err, StreamLogView* view = nullptr);

// Prints the engines --engine takes, one a line ("name<TAB>title"): auto,
// classic, then the profile file's engine and the built-in ones. Returns the
// exit status (kExitIncomplete when the profile file is unusable).
int listEngines(const Settings& settings, std::FILE* out, std::FILE* err);

}  // namespace quillstash::cli
