// SPDX-License-Identifier: MIT
#include "crawler/download_job.h"

#include <string>

#include "crawler/forum_crawl.h"
#include "crawler/forum_folder.h"
#include "crawler/run_recorder.h"
#include "platform/files.h"

namespace quillstash {

bool runDownloadJob(JobContext& currentJob, std::string_view outputDirectory, PageBlock& pageBuffer,
                    CrawlState& state, HttpClient& client, ActivityLog& log, const SettingsStore& settings,
                    TopicWriter& writer) {
  state.startRun();
  state.currentJob = &currentJob;
  state.settings = settings.snapshot();

  if (client.fetchToMemory(currentJob, pageBuffer, true) == 0) pageBuffer.clear();
  if (log.stopRequested()) return false;

  bool named = state.outputPath.assign(outputDirectory) &&
               nameForumFolder(pageBuffer.text(), state.outputPath, state.settings.maxFileNameChars);
  if (!named || platform::createDirectory(state.outputPath.c_str()) == platform::CreateDirectoryResult::kFailed) {
    std::string line = "[ X ] Error creating directory ";
    line += named ? state.outputPath.view() : outputDirectory;
    log.logLine(line);
    return false;
  }

  if (state.recorder != nullptr &&
      !state.recorder->beginRun(state.outputPath.c_str(), currentJob.forumAddress.c_str())) {
    return false;
  }
  ForumCrawler crawler(state, client, log, settings, writer);
  crawler.crawlIndex(pageBuffer.data());
  if (state.recorder != nullptr) state.recorder->endRun(!log.stopRequested());
  if (log.stopRequested()) return false;
  log.logLine("* Forum downloaded successfully");
  return true;
}

}  // namespace quillstash
