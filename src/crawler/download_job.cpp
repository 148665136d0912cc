// SPDX-License-Identifier: MIT
#include "crawler/download_job.h"

#include <chrono>
#include <string>

#include "crawler/engine_choice.h"
#include "crawler/forum_crawl.h"
#include "crawler/forum_folder.h"
#include "crawler/profile_crawl.h"
#include "crawler/run_recorder.h"
#include "crawler/topic_lookahead.h"
#include "platform/files.h"

namespace quillstash {
namespace {

// Makes the output directory and its parents, then the forum's folder in it.
// Logs the folder that could not be made with the system's reason.
bool makeForumFolder(std::string_view outputDirectory, const char* page, CrawlState& state, ActivityLog& log) {
  std::string reason;
  const std::string directory(outputDirectory);
  std::string failed;
  if (!platform::createDirectories(directory.c_str(), reason)) {
    failed = directory;
  } else if (!state.outputPath.assign(outputDirectory) ||
             !nameForumFolder(page, state.outputPath, state.settings.maxFileNameChars)) {
    failed = directory;
    reason = "the path is too long";
  } else if (platform::createDirectory(state.outputPath.c_str()) == platform::CreateDirectoryResult::kFailed) {
    reason = platform::lastErrorText();
    failed = state.outputPath.c_str();
  } else {
    platform::removePartFiles(state.outputPath.c_str());  // left by an earlier run that was killed
    return true;
  }
  log.logLine("[ X ] Error creating directory " + failed + ": " + reason);
  return false;
}

}  // namespace

RunOutcome runDownloadJob(JobContext& currentJob, std::string_view outputDirectory, PageBlock& pageBuffer,
                          CrawlState& state, HttpClient& client, ActivityLog& log, const SettingsStore& settings,
                          TopicWriter& writer) {
  const auto started = std::chrono::steady_clock::now();
  state.startRun();
  state.currentJob = &currentJob;
  state.settings = settings.snapshot();
  RunOutcome outcome;
  // The progress counters are the session's; this run's share is the rise.
  const std::uint64_t requestsBefore = log.progress().counts().requests;
  auto finish = [&](RunEnd end) {
    outcome.end = end;
    outcome.counts = state.counts;
    outcome.counts.requests = log.progress().counts().requests - requestsBefore;
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    return outcome;
  };
  auto stopped = [&] {
    log.logLine("* Download stopped");
    return finish(RunEnd::kStopped);
  };

  // A server that fails the certificate checks is not the forum either: its
  // fetch fails like any other and nothing is saved.
  const bool fetched = client.fetchToMemory(currentJob, pageBuffer, true) != 0;
  if (log.stopRequested()) return stopped();
  if (!fetched) {
    pageBuffer.clear();
    log.logLine("[ X ] The forum's index page could not be fetched");
    return finish(RunEnd::kIndexFailed);
  }
  EngineChoice engine;
  if (!chooseEngine(state.settings, pageBuffer.text(), engine, log)) return finish(RunEnd::kEngineFailed);
  if (!makeForumFolder(outputDirectory, pageBuffer.text(), state, log)) return finish(RunEnd::kFolderFailed);

  if (state.recorder != nullptr &&
      !state.recorder->beginRun(state.outputPath.c_str(), currentJob.forumAddress.c_str(),
                                engine.profile != nullptr ? engine.profile->name : std::string("classic"),
                                "max-name-chars=" + std::to_string(state.settings.maxFileNameChars))) {
    return finish(RunEnd::kArchiveRefused);
  }
  if (engine.profile != nullptr) {
    state.engine = engine.profile;
    ProfileCrawler crawler(state, client, log, settings, writer);
    crawler.crawlIndex(pageBuffer.text(), currentJob.forumAddress.view());
  } else {
    ForumCrawler crawler(state, client, log, settings, writer);
    crawler.crawlIndex(pageBuffer.data());
  }
  // The look-ahead ends before the summary: nothing reads by the profile any
  // more, and the lines of pages fetched ahead for nothing are logged.
  if (state.lookahead != nullptr) state.lookahead->upcoming({}, {});
  state.engine = nullptr;
  outcome = finish(RunEnd::kComplete);
  log.logLine(summaryLine(outcome.counts, outcome.elapsed));
  const std::uint32_t failed = outcome.counts.failedItems();
  if (log.stopRequested()) {
    outcome.end = RunEnd::kStopped;
  } else if (failed != 0) {
    outcome.end = RunEnd::kFailedItems;
  }
  // The manifest and the report are closed before the last line, so that a
  // front-end that reads the report at "the end" finds it written.
  if (state.recorder != nullptr) state.recorder->endRun(outcome);
  // A stop that came while the records were closed still ends the run as
  // stopped: the front-end counts the run as interrupted.
  if (outcome.end == RunEnd::kStopped || log.stopRequested()) return stopped();
  if (failed == 0) {
    log.logLine("* Forum downloaded successfully");
    return outcome;
  }
  log.logLine("[ X ] " + std::to_string(failed) + (failed == 1 ? " item failed" : " items failed"));
  return outcome;
}

}  // namespace quillstash
