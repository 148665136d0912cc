// SPDX-License-Identifier: MIT
#pragma once

// The run recorder that keeps the archive's manifest: it opens the manifest
// when the run's folder is made, gives known forums and topics their names
// back, skips topics whose row on the forum page has not changed since they
// were saved whole, and records every topic as it is taken and written.

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/archive_report.h"
#include "archive/manifest.h"
#include "archive/saved_files.h"
#include "core/activity_log.h"
#include "crawler/run_recorder.h"

namespace quillstash {

enum class RefreshMode : std::uint8_t {
  kRefresh,      // fetch new topics and those whose row changed or that are not complete
  kRetryFailed,  // fetch only topics that failed or were left incomplete
  kFull,         // fetch every topic again, into the names it has
};

// Used by the download thread only; lives for one run. At the end of the run
// it writes the completeness report into the archive's root.
class ManifestRecorder : public RunRecorder, public SavedFiles {
 public:
  // `indexPages`: write index.html pages at the end of the run.
  ManifestRecorder(ActivityLog& log, RefreshMode mode, bool indexPages)
      : log_(log), mode_(mode), indexPages_(indexPages) {}

  bool beginRun(const char* archiveRoot, const char* startAddress, const std::string& engine,
                const std::string& namingOptions) override;
  void forumEntered(const char* address, FixedText<8192>& folderPath) override;
  bool wouldFetch(const char* forumFolder, const char* address, const std::string& rowMarker) override;
  TopicPlan planTopic(const char* forumFolder, const char* address, const std::string& rowMarker,
                      std::uint32_t listedNumber) override;
  void topicTaken(const char* filePath, const TopicPlan& plan) override;
  void topicWritten(const char* filePath, TopicOutcome outcome, std::uint32_t pages, std::uint32_t posts) override;
  void endRun(const RunOutcome& outcome) override;
  // The report.html the run ended with; empty when none was written.
  const std::string& reportPage() const { return reportPage_; }

  // Files saved for the topic being written by an earlier run (not under
  // --full), and those saved now.
  std::string savedName(const char* address, std::string_view folder) override;
  void fileSaved(const char* address, std::string_view folder, std::string_view name) override;

 private:
  // `path` relative to the archive's root ("" for the root itself).
  std::string relative(const char* path) const;
  // Whether a topic an earlier run recorded in the same folder is fetched
  // again in this run's mode, given what its forum page shows now.
  bool fetchesKnownTopic(const TopicRecord& known, const std::string& rowMarker) const;

  ActivityLog& log_;
  RefreshMode mode_;
  bool indexPages_;
  std::string root_;
  std::string reportPage_;
  std::unique_ptr<Manifest> manifest_;
  ForumReport& forumReport(const std::string& folder);

  std::optional<TopicRecord> current_;  // the topic planned or taken last
  RunReport report_;
  std::map<std::string, std::size_t> forumIndex_;  // folder -> position in report_.forums
  std::chrono::steady_clock::time_point started_;
};

}  // namespace quillstash
