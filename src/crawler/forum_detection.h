// SPDX-License-Identifier: MIT
#pragma once

// Finding the links to forums on a page (the index page for the top-level
// forums, a forum page for its sub-forums) and handing each new one, resolved,
// numbered and named, to a sink: the Detected Forums list or the download.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"
#include "crawler/link_lists.h"

namespace quillstash {

// Receives each forum link that detection accepts. Called on the crawl's
// thread with the per-link record (its forumAddress is the resolved address)
// while state.outputPath ends with the forum's name: a path separator, the
// number in two digits, a blank and the link text. The sink must advance
// state.itemNumber; detection puts outputPath back after the call and then
// releases the record.
class ForumSink {
 public:
  virtual ~ForumSink() = default;
  virtual void takeForum(CrawlState& state, JobContext& forum) = 0;
};

// One row of the Detected Forums list.
struct DetectedForum {
  std::string name;          // number, blank, link text
  std::string address;       // the resolved address
  bool checked = true;       // from the forum selection
  int parent = -1;           // row of the forum it is a sub-forum of; -1 for a forum of the index page
  std::uint32_t number = 0;  // its number among the forums of its page (0: not known)
};

// How deep a preview reads sub-forums: forums below this many levels of
// sub-forums are listed but their pages are not fetched.
inline constexpr std::uint32_t kPreviewDepth = 8;

// Collects the forum tree a download would walk while a crawler previews it:
// the crawler calls enter() where the download would make a forum's folder
// (state.outputPath ending with its name) and leave() when it is done with
// it. Rows come in download order, each sub-forum after its forum.
class ForumTreeRecorder {
 public:
  explicit ForumTreeRecorder(std::uint32_t maxDepth) : maxDepth_(maxDepth) {}

  // Records the forum with the folder name the download would give it; true
  // when its page is to be read for sub-forums (the depth allows it).
  bool enter(const CrawlState& state, std::string_view address);
  void leave();
  std::vector<DetectedForum>& rows() { return rows_; }

 private:
  std::uint32_t maxDepth_;
  std::vector<DetectedForum> rows_;
  std::vector<int> open_;  // rows of the forums entered and not yet left
};

// Ticks the rows as a download would take them: a forum of the index page by
// its number in `selection`, a sub-forum when its forum is ticked and its
// address is not in `leftOut`.
void markSelectedForums(std::vector<DetectedForum>& rows, const ForumSelection& selection, const LinkList& leftOut);

// The sink of the Detected Forums list: inserts a row at index itemNumber - 1,
// checked when bit 0 of the forum's selection entry is set, and advances
// itemNumber. Expects outputPath to have been emptied before detection.
class ForumListSink : public ForumSink {
 public:
  void takeForum(CrawlState& state, JobContext& forum) override;
  const std::vector<DetectedForum>& rows() const { return rows_; }

 private:
  std::vector<DetectedForum> rows_;
};

// True when the user's forum patterns are in charge: at least one of the
// prefix, pattern and suffix is switched on with a non-empty text.
bool useForumPatterns(const Settings& settings);

// Sets state.itemNumber to 1 and finds the forum links of the NUL-terminated
// `page` with the user's patterns or else the built-in rules, handing each to
// acceptForumLink with `sink`. The caller passes the sink that fits the page
// (the index page's, which honours the forum selection, or the sub-forums').
// Returns true when the patterns ran or the rules met at least one forum link
// (taken or not); false asks the caller for the table layout route.
bool detectForums(const char* page, CrawlState& state, ForumSink& sink);

// The href values detectForums hands to acceptForumLink, in their order,
// found without taking any (`state` is read only): by the user's prefix /
// pattern / suffix scan when one is set, else by the built-in rules (forum
// keywords such as forumdisplay.php or viewforum.php in href values, page
// and mark-read links excluded). Returns what detectForums returns.
bool collectForumLinks(const char* page, const CrawlState& state, std::vector<const char*>& values);

// Checks the forum link whose href value starts at `value` against the run's
// forum shape and visited forums, resolves, numbers and names it, and calls
// the sink. Returns the position where it stopped reading (the value's end,
// or `value` itself when the link's shape does not fit).
const char* acceptForumLink(const char* value, CrawlState& state, ForumSink& sink);

}  // namespace quillstash
