// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

#include "core/activity_log.h"
#include "core/settings.h"
#include "crawler/link_lists.h"
#include "crawler/topic_detection.h"
#include "http/fetch.h"
#include "text/page_block.h"

namespace quillstash {

// Downloads one whole forum: fetches the index page at currentJob's address
// into `pageBuffer`, makes the forum's folder in `outputDirectory` (named
// after the page's title), and walks every forum found on the page, handing
// each topic to `writer`. Logs "* Forum downloaded successfully" at the end
// and returns true; returns false when the folder cannot be made or the run
// was stopped. Starts a new run on `state` (its forum selection and index
// layout are kept). Runs on the calling thread: the download thread.
bool runDownloadJob(JobContext& currentJob, std::string_view outputDirectory, PageBlock& pageBuffer,
                    CrawlState& state, HttpClient& client, ActivityLog& log, const SettingsStore& settings,
                    TopicWriter& writer);

}  // namespace quillstash
