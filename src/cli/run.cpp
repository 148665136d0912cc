// SPDX-License-Identifier: MIT
#include "cli/run.h"

namespace quillstash::cli {

int runCli(const CliOptions& options, Session& session, std::FILE* out, std::FILE* err) {
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
  if (!session.startDownload(options.forumAddress, options.outputDirectory)) return kExitIncomplete;
  session.waitForDownload();
  if (session.downloadSucceeded()) return kExitSuccess;
  std::fprintf(err, "\nquillstash-cli: the download did not finish\n");
  return kExitIncomplete;
}

}  // namespace quillstash::cli
