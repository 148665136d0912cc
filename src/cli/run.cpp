// SPDX-License-Identifier: MIT
#include "cli/run.h"

#include <string>
#include <vector>

#include "crawler/engine_choice.h"

namespace quillstash::cli {

int listEngines(const Settings& settings, std::FILE* out, std::FILE* err) {
  std::vector<EngineProfile> profiles;
  std::string error;
  if (!loadProfiles(settings, profiles, error)) {
    std::fprintf(err, "quillstash-cli: %s\n", error.c_str());
    return kExitIncomplete;
  }
  std::fprintf(out, "auto\trecognise the engine from the index page\n");
  std::fprintf(out, "classic\tthe table-based boards\n");
  for (const EngineProfile& profile : profiles)
    std::fprintf(out, "%s\t%s\n", profile.name.c_str(), profile.title.c_str());
  std::fflush(out);
  return kExitSuccess;
}

int runCli(const CliOptions& options, Session& session, std::FILE* out, std::FILE* err, StreamLogView* view) {
  session.settings().replace(options.settings);
  if (!options.logFile.empty()) {
    session.log().setLogFilePath(options.logFile);
    session.log().setLogToFile(true);
  }
  ForumSelection selection = session.forumSelection();
  for (std::uint32_t number : options.skippedForums) selection[number - 1] = 0;
  session.setForumSelection(selection);

  if (options.login) {
    session.startLogin(options.userName, options.password, options.forumAddress);
    session.waitForLogins();
    if (session.log().stopRequested()) return kExitIncomplete;
  }

  if (options.listForums) {
    if (session.fetchIndexPage(options.forumAddress) == 0) {
      std::fprintf(err, "quillstash-cli: the forum's index page could not be fetched\n");
      return kExitIncomplete;
    }
    for (const DetectedForum& forum : session.listForums()) {
      std::fprintf(out, "%s\t%s\n", forum.name.c_str(), forum.address.c_str());
    }
    std::fflush(out);
    return kExitSuccess;
  }

  if (!session.startDownload(options.forumAddress, options.outputDirectory)) return kExitIncomplete;
  session.waitForDownload();
  if (view != nullptr) view->finishLine();
  const RunOutcome outcome = session.downloadOutcome();
  if (outcome.end == RunEnd::kComplete) return kExitSuccess;
  if (outcome.end == RunEnd::kFailedItems) {
    std::fprintf(err, "quillstash-cli: the download finished with %u failed items\n", outcome.counts.failedItems());
    return kExitFailedItems;
  }
  std::fprintf(err, "quillstash-cli: the download did not finish\n");
  return kExitIncomplete;
}

}  // namespace quillstash::cli
