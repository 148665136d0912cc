// SPDX-License-Identifier: MIT
#include "crawler/profile_crawl.h"

#include <memory>
#include <vector>

#include "crawler/forum_folder.h"
#include "crawler/link_scan.h"
#include "crawler/run_recorder.h"
#include "crawler/topic_lookahead.h"
#include "html/tree.h"
#include "platform/files.h"
#include "platform/path.h"
#include "text/page_block.h"
#include "text/strings.h"

namespace quillstash {
namespace {

// Puts the end of the output path back to where it was when made.
class PathMark {
 public:
  explicit PathMark(FixedText<CrawlState::kPathSize>& path) : path_(path), length_(path.size()) {}
  ~PathMark() { path_.data[length_] = '\0'; }
  PathMark(const PathMark&) = delete;
  PathMark& operator=(const PathMark&) = delete;

 private:
  FixedText<CrawlState::kPathSize>& path_;
  std::size_t length_;
};

// Appends the separator, the number and the link's text to the path; false
// when the name would be empty or does not fit.
bool appendItemName(FixedText<CrawlState::kPathSize>& path, std::uint32_t number, int digits, const std::string& text,
                    std::uint32_t limit, const char* suffix) {
  TextWriter writer = path.appender();
  bool named = appendLinkName(writer, number, digits, text.c_str(), limit);
  writer.append(suffix);
  writer.terminate();
  return named && !writer.truncated();
}

}  // namespace

void ProfileCrawler::crawlIndex(std::string_view page, std::string_view address) {
  std::vector<FoundLink> forums;
  {
    std::unique_ptr<html::Document> tree = html::Document::parse(page);
    forums = findLinks(*tree, profile_.forums, address);
  }
  state_.itemNumber = 1;
  ForumList list{forums, std::string(state_.outputPath.view()), true};
  for (const FoundLink& forum : forums) {
    if (stopping()) return;
    ++list.next;
    list.nextNumber = state_.itemNumber + 1;
    const bool take = isForumSelected(state_.forumSelection, state_.itemNumber) || preview_ != nullptr;
    if (take && forumKeys_.insert(forum.key).second) enterForum(forum, &list);
    ++state_.itemNumber;
  }
}

std::string ProfileCrawler::nextListedForum(const ForumList& list) const {
  // As the walk would go on, without its changes.
  std::set<std::string> passed;
  std::uint32_t number = list.nextNumber;
  const std::uint32_t max = state_.settings.maxFileNameChars;
  for (std::size_t i = list.next; i < list.links.size(); ++i) {
    const FoundLink& forum = list.links[i];
    const bool fresh = forumKeys_.count(forum.key) == 0 && passed.count(forum.key) == 0;
    bool take = false;
    if (list.indexPage) {
      take = isForumSelected(state_.forumSelection, number) && fresh;
      if (take) passed.insert(forum.key);
    } else {
      if (!fresh) continue;  // a sub-forum met before uses up no number
      passed.insert(forum.key);
      const char* address = forum.address.c_str();
      take = findLink(state_.leftOutForums, address) == nullptr;
    }
    if (take) {
      FixedText<CrawlState::kPathSize> path;
      path.assign(list.path);
      if (appendItemName(path, number, 2, forum.text, max > 3 ? max - 3 : 0, "")) return forum.address;
    }
    ++number;
  }
  return {};
}

std::vector<DetectedForum> listProfileForums(std::string_view page, std::string_view address,
                                             const EngineProfile& profile, const CrawlState& state) {
  std::vector<FoundLink> forums;
  {
    std::unique_ptr<html::Document> tree = html::Document::parse(page);
    forums = findLinks(*tree, profile.forums, address);
  }
  std::vector<DetectedForum> rows;
  std::uint32_t number = 1;
  for (const FoundLink& forum : forums) {
    FixedText<CrawlState::kPathSize> name;
    if (appendItemName(name, number, 2, forum.text, state.settings.maxFileNameChars, "")) {
      bool checked = number > state.forumSelection.size() || (state.forumSelection[number - 1] & 1) != 0;
      rows.push_back({std::string(name.view().substr(1)), forum.address, checked});
    }
    ++number;
  }
  return rows;
}

void ProfileCrawler::enterForum(const FoundLink& forum, const ForumList* from) {
  if (stopping()) return;
  PathMark mark(state_.outputPath);
  std::uint32_t max = state_.settings.maxFileNameChars;
  if (!appendItemName(state_.outputPath, state_.itemNumber, 2, forum.text, max > 3 ? max - 3 : 0, "")) return;
  if (preview_ != nullptr) {
    if (preview_->enter(state_, forum.address)) crawlForum(forum, nullptr);
    preview_->leave();
    return;
  }
  if (!makeForumDirectory(forum.address.c_str(), state_, log_)) return;
  log_.progress().forumFound();
  crawlForum(forum, from);
  log_.progress().forumDone();
}

void ProfileCrawler::takeTopic(const FoundLink& topic) {
  if (!topicKeys_.insert(topic.key).second) return;
  std::unique_ptr<JobContext> job = makeJobContext();
  if (!job->forumAddress.assign(topic.address)) return;
  PathMark mark(state_.outputPath);
  TopicPlan plan;
  plan.number = state_.itemNumber;
  if (state_.recorder != nullptr) {
    plan = state_.recorder->planTopic(state_.outputPath.c_str(), topic.address.c_str(), topic.row, state_.itemNumber);
  }
  if (!plan.take) return;
  // Named under the number (or the whole name) the archive keeps.
  bool named = false;
  if (!plan.fileName.empty()) {
    TextWriter path = state_.outputPath.appender();
    path.append(std::string_view(&platform::kPathSeparator, 1));
    path.append(plan.fileName);
    path.terminate();
    named = !path.truncated();
  } else {
    named = appendItemName(state_.outputPath, plan.number, 5, topic.text, state_.settings.maxFileNameChars, ".html");
  }
  if (!named) return;
  const std::uint32_t listed = state_.itemNumber;
  if (state_.recorder != nullptr) state_.recorder->topicTaken(state_.outputPath.c_str(), plan);
  if (plan.fetch) {
    state_.itemNumber = plan.number;  // names the topic's saved files
    writer_.writeTopic(state_, *job);
  }
  state_.itemNumber = listed + 1;
}

std::vector<std::string> ProfileCrawler::upcomingTopics(const std::vector<FoundLink>& topics) {
  std::vector<std::string> addresses;
  std::set<std::string> keys;
  for (const FoundLink& topic : topics) {
    if (topicKeys_.count(topic.key) != 0 || !keys.insert(topic.key).second) continue;
    if (state_.recorder == nullptr ||
        state_.recorder->wouldFetch(state_.outputPath.c_str(), topic.address.c_str(), topic.row)) {
      addresses.push_back(topic.address);
    }
  }
  return addresses;
}

std::size_t ProfileCrawler::fetchForumPage(JobContext& forum, PageBlock& page) {
  if (state_.lookahead != nullptr) return state_.lookahead->fetchForumPage(forum, page);
  return client_.fetchToMemory(forum, page, true);
}

void ProfileCrawler::crawlForum(const FoundLink& forum, const ForumList* from) {
  const std::uint32_t savedItemNumber = state_.itemNumber;
  std::set<std::string> savedTopicKeys;
  savedTopicKeys.swap(topicKeys_);
  state_.settings = settings_.snapshot();

  std::unique_ptr<JobContext> job = makeJobContext();
  LinkList fetchedPages;  // every page address of this forum, so that none is fetched twice
  PageBlock page;
  bool fetched = job->forumAddress.assign(forum.address);
  if (fetched) {
    applyLinkParameter(state_.settings, *job);
    appendLink(fetchedPages, job->forumAddress.c_str());
    fetched = fetchForumPage(*job, page) != 0;
  }
  if (stopping())
    fetched = false;
  else if (fetched)
    ++state_.counts.forums;
  else
    ++state_.counts.forumPagesFailed;
  bool firstPage = true;
  while (fetched) {
    std::vector<FoundLink> subForums;
    std::vector<FoundLink> topics;
    std::string next;
    {
      std::unique_ptr<html::Document> tree = html::Document::parse(page.text());
      std::string_view address = job->forumAddress.view();
      if (firstPage) subForums = findLinks(*tree, profile_.forums, address);
      topics = findLinks(*tree, profile_.topics, address);
      next = findNextPage(*tree, profile_.forums, address, forum.key);
    }
    if (firstPage) {
      state_.itemNumber = 1;
      ForumList list{subForums, std::string(state_.outputPath.view()), false};
      for (const FoundLink& sub : subForums) {
        if (stopping()) break;
        ++list.next;
        if (!forumKeys_.insert(sub.key).second) continue;
        list.nextNumber = state_.itemNumber + 1;
        // A forum left out still uses up its number, so that the others keep theirs.
        const char* subAddress = sub.address.c_str();
        if (findLink(state_.leftOutForums, subAddress) == nullptr || preview_ != nullptr) enterForum(sub, &list);
        ++state_.itemNumber;
      }
      state_.itemNumber = 1;
      firstPage = false;
    }
    if (preview_ != nullptr) break;  // a preview reads the first page's sub-forums only
    if (state_.lookahead != nullptr && state_.lookahead->fetchesAhead()) {
      // The forum page fetched after these topics: the forum's next page, or
      // else the next forum of the list this one was entered from.
      std::string after;
      auto nextJob = makeJobContext();
      if (!next.empty() && nextJob->forumAddress.assign(next)) {
        applyLinkParameter(state_.settings, *nextJob);
        const char* nextAddress = nextJob->forumAddress.c_str();
        if (findLink(fetchedPages, nextAddress) == nullptr) after = next;
      }
      if (after.empty() && from != nullptr) after = nextListedForum(*from);
      state_.lookahead->upcoming(upcomingTopics(topics), std::move(after));
    }
    for (const FoundLink& topic : topics) {
      if (stopping()) break;
      state_.settings = settings_.snapshot();
      takeTopic(topic);
    }
    if (stopping() || next.empty() || !job->forumAddress.assign(next)) break;
    applyLinkParameter(state_.settings, *job);
    const char* address = job->forumAddress.c_str();
    if (findLink(fetchedPages, address) != nullptr) break;  // navigation leading back: the forum is done
    appendLink(fetchedPages, job->forumAddress.c_str());
    fetched = fetchForumPage(*job, page) != 0;
    if (!fetched && !stopping()) ++state_.counts.forumPagesFailed;
    if (stopping()) break;
  }

  topicKeys_.swap(savedTopicKeys);
  state_.itemNumber = savedItemNumber;
}

std::vector<DetectedForum> previewProfileForumTree(std::string_view page, std::string_view address,
                                                   const EngineProfile& profile, CrawlState& state, HttpClient& client,
                                                   ActivityLog& log, const SettingsStore& settings) {
  state.startRun();
  state.settings = settings.snapshot();
  state.outputPath.clear();
  state.engine = &profile;
  ForumTreeRecorder tree(kPreviewDepth);
  NoTopicWriter noTopics;
  {
    ProfileCrawler crawler(state, client, log, settings, noTopics, &tree);
    crawler.crawlIndex(page, address);
  }
  state.engine = nullptr;
  return std::move(tree.rows());
}

}  // namespace quillstash
