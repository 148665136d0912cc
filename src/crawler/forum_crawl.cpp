// SPDX-License-Identifier: MIT
#include "crawler/forum_crawl.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "crawler/forum_folder.h"
#include "crawler/link_scan.h"
#include "crawler/page_links.h"
#include "crawler/run_recorder.h"
#include "crawler/topic_lookahead.h"
#include "platform/files.h"
#include "platform/path.h"
#include "text/page_block.h"
#include "text/strings.h"
#include "text/wildcard.h"

namespace quillstash {
namespace {

// Puts the end of a path back to where it was when the guard was made.
class PathMark {
 public:
  explicit PathMark(FixedText<8192>& path) : path_(path), length_(path.size()) {}
  ~PathMark() { path_.data[length_] = '\0'; }
  PathMark(const PathMark&) = delete;
  PathMark& operator=(const PathMark&) = delete;

 private:
  FixedText<8192>& path_;
  std::size_t length_;
};

// Removes the characters of code 32 or below from the end of the path.
void trimPathEnd(FixedText<8192>& path) {
  std::size_t length = path.size();
  while (length > 0 && static_cast<unsigned char>(path.data[length - 1]) <= 32) --length;
  path.data[length] = '\0';
}

// Checks a forum link of a table row against the run's lists and makes its
// record, or nullptr when it is not to be taken.
std::unique_ptr<JobContext> takeRowForumLink(const char* value, CrawlState& state) {
  if (state.forumShape.empty()) recordShape(value, state.forumShape, true);
  const char* href = value;
  std::unique_ptr<JobContext> forum = resolveLink(href, LinkVariant::kForum, *state.currentJob);
  if (!forum) return nullptr;
  const char* address = forum->forumAddress.c_str();
  if (findLink(state.visitedForums, address) != nullptr) return nullptr;
  appendLink(state.visitedForums, forum->forumAddress.c_str());
  return forum;
}

// The href value of the link that begins the cell at `tdTag`, or nullptr.
const char* rowCellLink(TableRow& row, const char* tdTag) {
  const char* link = cellLink(tdTag, row.budget);
  return link == nullptr ? nullptr : findHrefInTag(link);
}

// Scans a forum row: every cell of a forum-link column that begins with a
// link hands that link's href value to `take`. A colspan cell in such a
// column ends the row.
template <class Take>
void scanForumRow(TableRow& row, Take&& take) {
  scanRowCells(row, HeaderCellEnd::kNothing, [&](const char* tag, std::size_t column) {
    if (classLow16(row.classes, column) == 0) return true;
    if (tagHasColspan(tag, row.budget)) return false;
    if (const char* value = rowCellLink(row, tag)) take(value);
    return true;
  });
}

}  // namespace

// The forum links of one page's forum list, found by forum detection or by
// the table route, in the walk's order. Those after the one the walk is in
// tell which forum comes next.
struct ForumCrawler::ForumList {
  std::vector<const char*> links;  // href values in the page
  std::size_t next = 0;            // the first link not yet handed on
  std::uint32_t nextNumber = 1;    // the folder number the next forum taken would get
  std::string path;                // the output path the folder names are appended to
  bool indexPage = false;          // the index page's list, ticked by number
  bool detected = false;           // found by forum detection, else by the table route
};

// The download's forum sinks: the index page's honours the forum selection,
// the forum pages' takes every sub-forum.
class ForumCrawler::ForumFolderSink : public ForumSink {
 public:
  ForumFolderSink(ForumCrawler& crawler, bool indexPage) : crawler_(crawler), indexPage_(indexPage) {}

  void takeForum(CrawlState& state, JobContext& forum) override {
    // A forum left out still uses up its number, so that the others keep theirs.
    bool take = false;
    if (indexPage_) {
      take = isForumSelected(state.forumSelection, state.itemNumber);
    } else {
      const char* address = forum.forumAddress.c_str();
      take = findLink(state.leftOutForums, address) == nullptr;
    }
    if (take || crawler_.preview_ != nullptr) crawler_.enterForum(forum);
    ++state.itemNumber;
  }

 private:
  ForumCrawler& crawler_;
  bool indexPage_;
};

void ForumCrawler::enterForum(JobContext& forum) {
  if (stopping()) return;
  if (preview_ != nullptr) {
    if (preview_->enter(state_, forum.forumAddress.view())) crawlForum(forum);
    preview_->leave();
    return;
  }
  if (!makeForumDirectory(forum.forumAddress.c_str(), state_, log_)) return;
  log_.progress().forumFound();
  crawlForum(forum);
  log_.progress().forumDone();
}

void ForumCrawler::crawlIndex(char* page) {
  ForumFolderSink sink(*this, true);
  if (detectListedForums(page, sink, true)) return;
  auto survey = makeTableSurvey();
  chooseIndexLayout(page, *survey, state_);
  classifyColumns(page, *survey, [this](TableRow& row) { classifyForumRow(row, state_); });
  settleForumColumns(*survey);
  PathMark mark(state_.outputPath);
  walkForumRows(page, *survey, sink, true);
}

void ForumCrawler::walkForumRows(char* page, TableSurvey& survey, ForumSink& sink, bool indexPage) {
  // The links are all found before the first forum is entered (the walk
  // reads nothing a forum's crawl changes), so that the ones after it are
  // known while it is crawled.
  ForumList list;
  list.indexPage = indexPage;
  list.path = state_.outputPath.view();
  walkRows(page, survey,
           [&list](TableRow& row) { scanForumRow(row, [&list](const char* value) { list.links.push_back(value); }); });
  takeListedForums(list, sink);
}

bool ForumCrawler::detectListedForums(const char* page, ForumSink& sink, bool indexPage) {
  // As detectForums, with the links found before the first is taken.
  state_.itemNumber = 1;
  ForumList list;
  list.indexPage = indexPage;
  list.detected = true;
  list.path = state_.outputPath.view();
  if (!collectForumLinks(page, state_, list.links)) return false;
  takeListedForums(list, sink);
  return true;
}

void ForumCrawler::takeListedForums(ForumList& list, ForumSink& sink) {
  for (const char* value : list.links) {
    if (!list.detected && stopping()) break;
    ++list.next;
    list.nextNumber = state_.itemNumber + 1;
    entering_ = &list;
    if (list.detected) {
      acceptForumLink(value, state_, sink);
    } else {
      takeForumLink(value, sink);
    }
  }
  entering_ = nullptr;
}

void ForumCrawler::takeForumLink(const char* value, ForumSink& sink) {
  std::unique_ptr<JobContext> forum = takeRowForumLink(value, state_);
  if (!forum) return;
  PathMark mark(state_.outputPath);
  std::uint32_t limit = state_.settings.maxFileNameChars > 3 ? state_.settings.maxFileNameChars - 3 : 0;
  TextWriter path = state_.outputPath.appender();
  bool named = appendLinkName(path, state_.itemNumber, 2, linkTextStart(value), limit);
  path.terminate();
  if (!named) return;
  trimPathEnd(state_.outputPath);
  sink.takeForum(state_, *forum);
}

std::string ForumCrawler::nextListedForum(const ForumList& list) {
  // As the list's walk and the sinks would go on, without their changes.
  // The table route marks a link visited before naming it, detection only
  // once it is named.
  LinkList passed;
  std::uint32_t number = list.nextNumber;
  const std::uint32_t max = state_.settings.maxFileNameChars;
  const std::uint32_t limit = list.detected ? max : (max > 3 ? max - 3 : 0);
  for (std::size_t i = list.next; i < list.links.size(); ++i) {
    const char* value = list.links[i];
    if (list.detected && !matchesShape(value, state_.forumShape.c_str())) continue;
    const char* end = value;
    std::unique_ptr<JobContext> forum = resolveLink(end, LinkVariant::kForum, *state_.currentJob);
    if (!forum) continue;
    const char* address = forum->forumAddress.c_str();
    if (findLink(state_.visitedForums, address) != nullptr || findLink(passed, address) != nullptr) continue;
    if (!list.detected) appendLink(passed, address);
    FixedText<CrawlState::kPathSize> path;
    TextWriter name = path.writer();
    name.append(list.path);
    if (!appendLinkName(name, number, 2, linkTextStart(list.detected ? end : value), limit)) continue;
    if (list.detected) appendLink(passed, address);
    const bool take = list.indexPage ? isForumSelected(state_.forumSelection, number)
                                     : findLink(state_.leftOutForums, address) == nullptr;
    if (take) return std::string(forum->forumAddress.view());
    ++number;
  }
  return {};
}

std::string ForumCrawler::pageAfterTopics(const char* page, const LinkList& fetchedPages, const ForumList* from) {
  const char* end = nullptr;
  if (const char* next = nextForumPage(page, &end, false)) {
    std::unique_ptr<JobContext> resolved = resolveLink(next, LinkVariant::kForum, *state_.currentJob);
    if (!resolved) return from != nullptr ? nextListedForum(*from) : std::string();
    std::string address(resolved->forumAddress.view());
    applyLinkParameter(state_.settings, *resolved);
    const char* fetchAddress = resolved->forumAddress.c_str();
    if (findLink(fetchedPages, fetchAddress) == nullptr) return address;
  }
  // The forum ends here: the walk it was entered from goes on.
  return from != nullptr ? nextListedForum(*from) : std::string();
}

void ForumCrawler::findSubForums(PageBlock& page, TableSurvey& survey) {
  surveyTables(page.data(), survey);
  keepLayout(survey, state_.indexLayout);
  trimPathEnd(state_.outputPath);

  ForumFolderSink subForums(*this, false);
  if (!detectListedForums(page.text(), subForums, false) && !stopping()) {
    classifyColumns(page.data(), survey, [this](TableRow& row) { classifyForumRow(row, state_); });
    settleForumColumns(survey);
    PathMark mark(state_.outputPath);
    walkForumRows(page.data(), survey, subForums, false);
  }
}

const char* ForumCrawler::nextForumPage(const char* page, const char** end, bool remember) {
  const Settings& settings = state_.settings;
  if (settings.useForumNextPagePattern && !settings.forumNextPagePattern.empty()) {
    const char* pos = page;
    for (;;) {
      PatternMatch match = matchPattern(pos, settings.forumNextPagePattern.c_str());
      if (!match.found) return nullptr;
      pos = match.position;
      if (*pos == '0' || *pos == '1') {
        ++pos;
        continue;
      }
      const char* close = pos;
      while (*close != '\0' && *close != '"' && *close != '\'') ++close;
      if (*close == '\0') return nullptr;
      const char* open = close;
      while (open > page && open[-1] != *close) --open;
      if (open == page) return nullptr;
      const char* candidate = open;
      if (findLink(state_.visitedForums, candidate) != nullptr) {
        pos = close;
        continue;
      }
      if (remember) appendLink(state_.visitedForums, open, close);
      *end = close;
      return open;
    }
  }
  const char* link = findNextPageLink(page);
  if (link[0] != '<' || (link[1] | 0x20) != 'a') return nullptr;
  const char* value = findHrefInTag(link);
  if (value == nullptr) return nullptr;
  *end = value;
  while (!isLinkEndOrFragment(**end)) ++*end;
  return value;
}

std::size_t ForumCrawler::fetchForumPage(JobContext& forum, PageBlock& page) {
  if (state_.lookahead != nullptr) return state_.lookahead->fetchForumPage(forum, page);
  return client_.fetchToMemory(forum, page, true);
}

void ForumCrawler::crawlForum(JobContext& forum) {
  const ForumList* from = std::exchange(entering_, nullptr);
  const std::uint32_t savedItemNumber = state_.itemNumber;
  state_.itemNumber = 1;
  state_.settings = settings_.snapshot();
  PageBlock page;
  LinkList fetchedPages;            // every page address of this forum, so that none is fetched twice
  auto survey = makeTableSurvey();  // the table analysis of this forum's pages

  applyLinkParameter(state_.settings, forum);
  appendLink(fetchedPages, forum.forumAddress.c_str());
  const bool fetched = fetchForumPage(forum, page) != 0;
  if (!fetched && !stopping()) ++state_.counts.forumPagesFailed;
  if (fetched && !stopping()) {
    ++state_.counts.forums;
    findSubForums(page, *survey);

    state_.itemNumber = 1;
    for (;;) {
      if (stopping() || preview_ != nullptr) break;  // a preview reads the first page's sub-forums only
      state_.settings = settings_.snapshot();
      if (state_.lookahead != nullptr && state_.lookahead->fetchesAhead()) {
        // The next forum page is certain only when the page stays as it is
        // (the table route blanks its scripts first).
        std::optional<std::vector<std::string>> topics = upcomingTopics(page.text(), state_);
        std::string after = topics ? pageAfterTopics(page.text(), fetchedPages, from) : std::string();
        state_.lookahead->upcoming(topics ? std::move(*topics) : std::vector<std::string>(), std::move(after));
      }
      if (!detectTopics(page.text(), state_, writer_) && !stopping()) {
        chooseTopicLayout(page.data(), *survey, state_);
        classifyColumns(page.data(), *survey, [this](TableRow& row) { classifyTopicRow(row, state_); });
        settleTopicColumns(*survey);
        walkRows(page.data(), *survey, [this](TableRow& row) { walkTopicRow(row, state_, writer_); });
      }
      if (stopping()) break;

      const char* end = nullptr;
      const char* next = nextForumPage(page.text(), &end, true);
      if (next == nullptr) break;
      std::unique_ptr<JobContext> resolved = resolveLink(next, LinkVariant::kForum, *state_.currentJob);
      if (!resolved) break;
      forum.forumAddress = resolved->forumAddress;
      applyLinkParameter(state_.settings, forum);
      const char* address = forum.forumAddress.c_str();
      if (findLink(fetchedPages, address) != nullptr) break;  // navigation leading back: the forum is done
      appendLink(fetchedPages, forum.forumAddress.c_str());
      if (fetchForumPage(forum, page) == 0) {
        if (!stopping()) ++state_.counts.forumPagesFailed;
        break;
      }
    }
  }

  state_.visitedTopics.clear();
  state_.itemNumber = savedItemNumber;
}

std::vector<DetectedForum> listIndexForums(char* page, JobContext& currentJob, CrawlState& state) {
  state.startRun();
  state.currentJob = &currentJob;
  state.outputPath.clear();
  ForumListSink sink;
  if (detectForums(page, state, sink)) return sink.rows();

  std::vector<DetectedForum> rows;
  auto survey = makeTableSurvey();
  chooseIndexLayout(page, *survey, state);
  classifyColumns(page, *survey, [&state](TableRow& row) { classifyForumRow(row, state); });
  settleForumColumns(*survey);
  walkRows(page, *survey, [&](TableRow& row) {
    scanForumRow(row, [&](const char* value) {
      std::unique_ptr<JobContext> forum = takeRowForumLink(value, state);
      if (!forum) return;
      FixedText<8192> name;
      TextWriter out = name.writer();
      bool named = appendLinkName(out, state.itemNumber, 2, linkTextStart(value), state.settings.maxFileNameChars);
      out.terminate();
      if (!named) return;
      const std::uint32_t number = state.itemNumber;
      bool checked = number > state.forumSelection.size() || (state.forumSelection[number - 1] & 1) != 0;
      rows.push_back({std::string(name.view().substr(1)), std::string(forum->forumAddress.view()), checked});
      ++state.itemNumber;
    });
  });
  return rows;
}

std::vector<DetectedForum> previewForumTree(char* page, JobContext& currentJob, CrawlState& state, HttpClient& client,
                                            ActivityLog& log, const SettingsStore& settings) {
  state.startRun();
  state.currentJob = &currentJob;
  state.settings = settings.snapshot();
  state.outputPath.clear();
  ForumTreeRecorder tree(kPreviewDepth);
  NoTopicWriter noTopics;
  ForumCrawler crawler(state, client, log, settings, noTopics, &tree);
  crawler.crawlIndex(page);
  return std::move(tree.rows());
}

}  // namespace quillstash
