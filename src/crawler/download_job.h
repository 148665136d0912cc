// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

#include "core/activity_log.h"
#include "core/run_outcome.h"
#include "core/settings.h"
#include "crawler/link_lists.h"
#include "crawler/topic_detection.h"
#include "http/fetch.h"
#include "text/page_block.h"

namespace quillstash {

// Downloads one whole forum: fetches the index page at currentJob's address
// into `pageBuffer`, makes `outputDirectory` (with its parents) and in it the
// forum's folder (named after the page's title), and walks every forum found
// on the page, handing each topic to `writer`, which adds to state.counts.
// An index page that cannot be fetched ends the job before any folder is
// made. A finished or stopped walk logs the summary line; the last line is
// "* Forum downloaded successfully" when nothing failed, "[ X ] N items
// failed" when something did, or "* Download stopped". Final lines carry no
// line break. Starts a new run on `state` (its forum selection and index
// layout are kept). Runs on the calling thread: the download thread.
RunOutcome runDownloadJob(JobContext& currentJob, std::string_view outputDirectory, PageBlock& pageBuffer,
                          CrawlState& state, HttpClient& client, ActivityLog& log, const SettingsStore& settings,
                          TopicWriter& writer);

}  // namespace quillstash
