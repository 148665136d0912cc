// SPDX-License-Identifier: MIT
#pragma once

// The forum walk of a download: each forum is entered depth first (its
// sub-forums, then every topic of every page of it), into a folder named by a
// two-digit number, a blank and the forum's link text. Also the index-page
// routes shared by the download and the forum preview.

#include <string>
#include <vector>

#include "core/activity_log.h"
#include "core/settings.h"
#include "crawler/forum_detection.h"
#include "crawler/link_lists.h"
#include "crawler/table_layout.h"
#include "crawler/topic_detection.h"
#include "http/fetch.h"
#include "text/page_block.h"

namespace quillstash {

// Walks forums for one download. Runs on the download thread only; the
// caller keeps every argument alive while the crawler is used.
class ForumCrawler {
 public:
  // With `preview`, the crawler walks the forums as a download would but
  // makes no folder and reads no topic: each forum, ticked or not, goes to the
  // recorder, and only its first page is fetched, for its sub-forums.
  ForumCrawler(CrawlState& state, HttpClient& client, ActivityLog& log, const SettingsStore& settings,
               TopicWriter& writer, ForumTreeRecorder* preview = nullptr)
      : state_(state), client_(client), log_(log), settings_(settings), writer_(writer), preview_(preview) {}

  // The forums of the index page held in `page` (the current job's page):
  // forum detection with the download sink, or else the table layout route.
  // Each forum found is downloaded completely inside this call.
  void crawlIndex(char* page);

  // Downloads one forum whose folder exists and is named by state.outputPath:
  // its sub-forums, then the topics of its first page and of every following
  // page. Leaves itemNumber as it found it; empties visitedTopics at its end.
  // A following page that cannot be fetched, or whose address was already
  // fetched for this forum, ends the forum.
  void crawlForum(JobContext& forum);

 private:
  class ForumFolderSink;
  struct ForumList;

  // Creates the folder named by state.outputPath and crawls the forum in it;
  // logs when the folder cannot be made.
  void enterForum(JobContext& forum);
  // Forum detection on `page` with `sink`, as detectForums; false asks for
  // the table route.
  bool detectListedForums(const char* page, ForumSink& sink, bool indexPage);
  // The table route for forum links: collects the forum links of the page's
  // rows, then names each in turn and hands it to the sink.
  void walkForumRows(char* page, TableSurvey& survey, ForumSink& sink, bool indexPage);
  // Hands the links of `list` on one after another, by the list's route.
  void takeListedForums(ForumList& list, ForumSink& sink);
  void takeForumLink(const char* value, ForumSink& sink);
  // The forum the walk of `list` enters after the one it is in, by the
  // rules of that walk and the run's lists as they are now; empty when none.
  std::string nextListedForum(const ForumList& list);
  // The forum page fetched after the topics of `page`, the forum's page
  // being read, or empty when that is not certain. `from` is the walk the
  // forum was entered from, if any.
  std::string pageAfterTopics(const char* page, const LinkList& fetchedPages, const ForumList* from);
  // The sub-forums of a forum's first page, held in `page`, handed to the
  // sub-forum sink: forum detection, or else the table route.
  void findSubForums(PageBlock& page, TableSurvey& survey);
  // The address of the next page of a forum page, or nullptr; `end` receives
  // where the address ends. With `remember`, a page found by the forum's
  // next-page pattern is added to the run's forum list.
  const char* nextForumPage(const char* page, const char** end, bool remember);
  // Fetches a forum page, through the run's look-ahead when it has one.
  std::size_t fetchForumPage(JobContext& forum, PageBlock& page);
  bool stopping() const { return log_.stopRequested(); }

  CrawlState& state_;
  HttpClient& client_;
  ActivityLog& log_;
  const SettingsStore& settings_;
  TopicWriter& writer_;
  ForumTreeRecorder* preview_;
  const ForumList* entering_ = nullptr;  // the walk whose forum enterForum is given, if any
};

// The forums a download of the index page held in `page` would enter, in
// their order and with their numbers: detection with the listing sink, or
// else the table layout route. Starts a new run on `state` (the link lists
// and shapes are emptied; the selection and the index layout are kept) and
// fetches nothing. `page` may be changed (scripts are blanked).
std::vector<DetectedForum> listIndexForums(char* page, JobContext& currentJob, CrawlState& state);

// The forum tree a download of the index page held in `page` would walk:
// the index page's forums and, fetching each forum's first page once, their
// sub-forums to kPreviewDepth levels, in download order with the folder names
// the download gives them. Starts a new run on `state`; the rows' ticks are
// left for markSelectedForums. Ends early when a stop is requested.
std::vector<DetectedForum> previewForumTree(char* page, JobContext& currentJob, CrawlState& state, HttpClient& client,
                                            ActivityLog& log, const SettingsStore& settings);

}  // namespace quillstash
