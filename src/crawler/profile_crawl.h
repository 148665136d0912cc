// SPDX-License-Identifier: MIT
#pragma once

// The forum walk of a download by an engine profile: the index page's forum
// links, then in each forum (depth first) its sub-forums and the topics of
// every page, found with the profile's queries on each page's tree. Folders
// and files are named and numbered as by the table-based walk.

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/activity_log.h"
#include "core/settings.h"
#include "crawler/forum_detection.h"
#include "crawler/link_lists.h"
#include "crawler/topic_detection.h"
#include "engines/page_reading.h"
#include "http/fetch.h"

namespace quillstash {

// Runs on the download thread only; the caller keeps every argument alive
// while the crawler is used, state.engine included.
class ProfileCrawler {
 public:
  // With `preview`, walks the forums as a download would but makes no folder
  // and reads no topic: each forum, ticked or not, goes to the recorder, and
  // only its first page is fetched, for its sub-forums.
  ProfileCrawler(CrawlState& state, HttpClient& client, ActivityLog& log, const SettingsStore& settings,
                 TopicWriter& writer, ForumTreeRecorder* preview = nullptr)
      : profile_(*state.engine),
        state_(state),
        client_(client),
        log_(log),
        settings_(settings),
        writer_(writer),
        preview_(preview) {}

  // Downloads every forum linked from the index page `page`, fetched from
  // `address`, into the folder named by state.outputPath, honouring the
  // forum selection. Forums are numbered in the order of the page, as
  // listProfileForums lists them; one already entered as a sub-forum keeps
  // its number but is not entered again.
  void crawlIndex(std::string_view page, std::string_view address);

 private:
  // The forums of one list, the index page's or a forum's sub-forums, and
  // where the walk of it is.
  struct ForumList {
    const std::vector<FoundLink>& links;
    std::string path;              // the output path the folder names are appended to
    bool indexPage = false;        // the index page's list, ticked by number
    std::size_t next = 0;          // the first forum not yet handed on
    std::uint32_t nextNumber = 1;  // the folder number the one after the current gets
  };

  // Makes the forum's numbered folder under state.outputPath and crawls it.
  // `from` is the list it is taken from.
  void enterForum(const FoundLink& forum, const ForumList* from);
  // The forum the walk of `list` enters after the one it is in, by the rules
  // of that walk and the run's keys as they are now; empty when none.
  std::string nextListedForum(const ForumList& list) const;
  // Sub-forums, then the topics of every page of the forum.
  void crawlForum(const FoundLink& forum, const ForumList* from);
  void takeTopic(const FoundLink& topic);
  // The addresses of `topics` that takeTopic would fetch, for the run's
  // look-ahead: new to this forum and not kept as they are by the recorder.
  std::vector<std::string> upcomingTopics(const std::vector<FoundLink>& topics);
  // Fetches a forum page, through the run's look-ahead when it has one.
  std::size_t fetchForumPage(JobContext& forum, PageBlock& page);
  bool stopping() const { return log_.stopRequested(); }

  const EngineProfile& profile_;
  CrawlState& state_;
  HttpClient& client_;
  ActivityLog& log_;
  const SettingsStore& settings_;
  TopicWriter& writer_;
  ForumTreeRecorder* preview_;
  std::set<std::string> forumKeys_;  // forums entered in this run
  std::set<std::string> topicKeys_;  // topics taken in the forum being crawled
};

// The forums a download of the index page `page` (fetched from `address`)
// by `profile` would enter, with their numbers and the selection's ticks.
// Fetches nothing; uses the forum selection and the name limit of `state`.
std::vector<DetectedForum> listProfileForums(std::string_view page, std::string_view address,
                                             const EngineProfile& profile, const CrawlState& state);

// The forum tree a download by `profile` of the index page `page` (fetched
// from `address`) would walk, as previewForumTree for the table-based walk:
// each forum's first page fetched once, sub-forums to kPreviewDepth levels.
// Starts a new run on `state`; the rows' ticks are left for markSelectedForums.
std::vector<DetectedForum> previewProfileForumTree(std::string_view page, std::string_view address,
                                                   const EngineProfile& profile, CrawlState& state, HttpClient& client,
                                                   ActivityLog& log, const SettingsStore& settings);

}  // namespace quillstash
