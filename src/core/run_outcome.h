// SPDX-License-Identifier: MIT
#pragma once

// What one download achieved: the counts its summary line reports and how it
// ended. Filled on the download thread; the session hands a copy to the
// front-ends once the thread has ended.

#include <chrono>
#include <cstdint>
#include <string>

namespace quillstash {

struct RunCounts {
  std::uint32_t forums = 0;            // forums whose first page was fetched
  std::uint32_t forumPagesFailed = 0;  // forum pages (or forum folders) that could not be had
  std::uint32_t topicsSaved = 0;       // topic files written, the incomplete ones included
  std::uint32_t topicsIncomplete = 0;  // written without a later page that could not be fetched
  std::uint32_t topicsFailed = 0;      // not written: first page not fetched, or the file not made
  std::uint32_t filesSaved = 0;        // attachments and images
  std::uint32_t filesFailed = 0;
  std::uint64_t bytes = 0;     // bytes of the topic files and the saved files
  std::uint64_t requests = 0;  // requests the run sent (pages and files, retries and redirects included)

  std::uint32_t failedItems() const { return forumPagesFailed + topicsIncomplete + topicsFailed + filesFailed; }
};

enum class RunEnd : std::uint8_t {
  kNotRun,          // no download has ended yet
  kComplete,        // everything found was saved
  kFailedItems,     // finished, but some items failed (RunCounts::failedItems)
  kStopped,         // a stop request ended it
  kIndexFailed,     // the index page could not be fetched; nothing was made
  kFolderFailed,    // the output or forum folder could not be made
  kEngineFailed,    // the profile file is unusable or the engine name unknown; nothing was made
  kArchiveRefused,  // the folder's manifest belongs to another board or could not be opened
};

struct RunOutcome {
  RunEnd end = RunEnd::kNotRun;
  RunCounts counts;
  std::chrono::milliseconds elapsed{0};
};

// The summary line of a run, with CR LF: "* Summary: 3 forums (0 pages
// failed), 31 topics saved, 0 incomplete, 0 failed, 7 files saved, 0 failed,
// 1.2 MB, 0m03s".
std::string summaryLine(const RunCounts& counts, std::chrono::milliseconds elapsed);

}  // namespace quillstash
