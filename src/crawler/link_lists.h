// SPDX-License-Identifier: MIT
#pragma once

// The crawl state of one run and the operations on links that every detection
// and walking step shares: taking the href value out of an a tag, resolving it
// against the address the user typed, remembering it in a link list, and the
// link shapes that tell forum links from other links of the same page.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/run_outcome.h"
#include "core/settings.h"
#include "engines/profile.h"
#include "text/address.h"
#include "text/link_compare.h"
#include "text/text_writer.h"

namespace quillstash {

class RunRecorder;
class TopicLookahead;

// A family of tables: cells per row and nesting depth. (0, 0) means none.
struct LayoutKey {
  std::uint32_t cells = 0;
  std::uint32_t depth = 0;

  bool isSet() const { return cells != 0 || depth != 0; }
  friend bool operator==(const LayoutKey&, const LayoutKey&) = default;
};

// Everything one crawl run shares. Used by one thread at a time: the download
// job's thread, or the thread that fills the Detected Forums list; nothing in
// it is locked. The front-end keeps one object for the life of the program,
// because the forum selection and the index layout outlive a run, and calls
// startRun() before each run.
struct CrawlState {
  static constexpr std::size_t kShapeSize = 8192;
  static constexpr std::size_t kPathSize = 8192;

  LinkList visitedForums;            // forums, sub-forums and followed forum pages of the run
  LinkList visitedTopics;            // topics of the forum being crawled
  LinkList downloadedFiles;          // attachments and images already fetched
  std::uint32_t itemNumber = 1;      // number of the next forum folder or topic file at this level
  FixedText<kShapeSize> forumShape;  // last segment of the run's first forum link, digits left out
  FixedText<kShapeSize> topicShape;  // the same for the first topic link
  ForumSelection forumSelection = allForumsSelected();
  LinkList leftOutForums;                  // sub-forums at any depth not to download (their addresses)
  LayoutKey indexLayout;                   // table family of the index page's forum list
  LayoutKey topicLayoutCandidate;          // family proposed by the last forum page analysed
  LayoutKey topicLayoutConfirmed;          // family chosen by two pages in a row; then fixed for the run
  FixedText<kPathSize> outputPath;         // the path being built: folder, sub-folders, file name
  const JobContext* currentJob = nullptr;  // the address the user typed: the base of every link
  Settings settings;                       // the settings snapshot in force
  RunCounts counts;                        // what the run has saved and failed so far
  // The engine profile the run reads pages with, or null for the table-based
  // path. Points into the download job's engine choice, which outlives the crawl.
  const EngineProfile* engine = nullptr;
  RunRecorder* recorder = nullptr;      // the archive's record of the run, when it keeps one
  TopicLookahead* lookahead = nullptr;  // told the topics each forum page will hand over, when fetching ahead

  // Empties the link lists, shapes and counts, clears the topic layout keys
  // and sets itemNumber to 1. The forum selection, the forums left out and
  // the index layout are kept.
  void startRun();
};

// Which kind of link resolveLink handles.
enum class LinkVariant : std::uint8_t {
  kForum,           // forum, sub-forum and forum page links: the address ends at '#'
  kTopic,           // topic links found by rules or patterns: '#' belongs to the address
  kTopicTableWalk,  // topic links taken from a table column: also drops "s=" session values
};

// Longest href value taken as a link. Browsers refuse longer addresses, and
// a value that runs on without a closing quote or '>' would otherwise be read
// again for every link inside it.
inline constexpr std::size_t kMaxLinkLength = 4096;

// Finds where href values end (their first NUL, quote or '>'), remembering
// the last answer so that the values of one unclosed stretch of a page cost
// one pass in all. Valid for one page while its text does not change; used by
// one scan at a time.
class LinkEnds {
 public:
  const char* endOf(const char* value);
  // True when the value at `value` is longer than kMaxLinkLength.
  bool tooLong(const char* value) { return static_cast<std::size_t>(endOf(value) - value) > kMaxLinkLength; }

 private:
  const char* from_ = nullptr;
  const char* end_ = nullptr;
};

// At a position holding " hre" (blank, then hre in any case): skips it, an
// optional 'f' and the run of '=', blanks, CR, LF, TAB and quotes that
// follows, and returns where the href value begins.
const char* skipHrefLead(const char* hre);

// Looks inside the tag that starts at `tag` (its '<'), up to its '>' or the
// end of the text, for a blank followed by "hre" and returns the start of the
// href value, or nullptr when the tag has none.
const char* findHrefInTag(const char* tag);

// The position just after the '>' that closes the tag the href value at
// `value` belongs to: the start of the link's visible text (the NUL when the
// tag is never closed).
const char* linkTextStart(const char* value);

// Appends `text` (up to its NUL) at the tail of `list`.
void appendLink(LinkList& list, const char* text);

// As appendLink, taking `text` up to `end`.
void appendLink(LinkList& list, const char* text, const char* end);

// Makes the per-link record of the href value at `href`: a fresh JobContext
// whose forumAddress is the absolute address of the link, resolved against the
// forumAddress of `currentJob`. A link on
// another host is fetched from the forum's own host; "&amp;" becomes '&';
// sid=... and phpsessi... parameters are dropped (and, for kTopicTableWalk,
// "s=" with a hexadecimal value); a trailing '&' is removed. `href` moves to
// the value's end (its terminator). Returns nullptr when the address would not
// fit in forumAddress: a cut address would fetch another page.
std::unique_ptr<JobContext> resolveLink(const char*& href, LinkVariant variant, const JobContext& currentJob);

// Writes the shape of the href value at `href` into `shape`: its last segment
// (from the last '/' followed by a letter) without digits. `hashEnds` makes '#'
// end the value. A shape longer than the buffer is cut, which only makes it
// match more links.
void recordShape(const char* href, FixedText<CrawlState::kShapeSize>& shape, bool hashEnds);

// True when the last segment of the href value at `href`, digits skipped,
// begins with exactly (case counts) the characters of `shape`.
bool matchesShape(const char* href, const char* shape);

}  // namespace quillstash
