// SPDX-License-Identifier: MIT
#include "cli/run.h"

#include <string>
#include <vector>

#include "app/archive_report.h"
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

int checkArchiveFiles(const std::string& archiveRoot, std::FILE* out, std::FILE* err) {
  CheckResult check = checkArchive(archiveRoot);
  if (!check.manifestFound) {
    std::fprintf(err, "quillstash-cli: %s\n", check.error.c_str());
    return kExitIncomplete;
  }
  for (const std::string& path : check.missing) std::fprintf(out, "missing\t%s\n", path.c_str());
  for (const std::string& path : check.changed) std::fprintf(out, "changed\t%s\n", path.c_str());
  for (const std::string& address : check.unsaved) std::fprintf(out, "not saved\t%s\n", address.c_str());
  std::fprintf(out, "%u files recorded, %zu missing, %zu changed, %zu topics not saved whole\n", check.checked,
               check.missing.size(), check.changed.size(), check.unsaved.size());
  std::fflush(out);
  bool whole = check.missing.empty() && check.changed.empty() && check.unsaved.empty();
  return whole ? kExitSuccess : kExitFailedItems;
}

int runCli(const CliOptions& options, Session& session, std::FILE* out, std::FILE* err, StreamLogView* view) {
  if (!options.checkArchive.empty()) return checkArchiveFiles(options.checkArchive, out, err);
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

  session.setRefreshMode(options.refreshMode);
  session.setIndexPages(options.indexPages);
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
