// SPDX-License-Identifier: MIT
#include "archive/topic_writer.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/media.h"
#include "archive/post_extraction.h"
#include "archive/scan.h"
#include "archive/tree_markup.h"
#include "engines/page_reading.h"
#include "html/tree.h"
#include "platform/files.h"
#include "platform/path.h"
#include "text/address.h"
#include "text/page_block.h"
#include "text/strings.h"
#include "text/wildcard.h"

namespace quillstash {

using namespace archive_scan;

namespace {

// Bytes after "<title>" (exactly that tag, any case) up to the next '<'.
void writeTitle(const char* page, OutputBuffer& out) {
  for (const char* p = page; *p != '\0'; ++p) {
    if (isOpeningTag(p, "title") && p[6] == '>') {
      const char* start = p + 7;
      const char* end = start;
      while (*end != '\0' && *end != '<') ++end;
      out.append(std::string_view(start, static_cast<std::size_t>(end - start)));
      return;
    }
  }
}

// The next-page link by the user's pattern: the quoted link around the first
// match not followed by '0' or '1' and not already visited, which is then
// recorded in visitedTopics. nullptr when there is none.
const char* findPatternNextPage(const char* page, const char* pattern, LinkList& visitedTopics) {
  const char* search = page;
  while (*search != '\0') {
    PatternMatch match = matchPattern(search, pattern);
    if (!match.found || match.position == nullptr || *match.position == '\0') return nullptr;
    const char* result = match.position;
    if (*result == '0' || *result == '1') {
      search = result + 1;
      continue;
    }
    const char* close = result;
    while (*close != '\0' && *close != '"' && *close != '\'') ++close;
    if (*close == '\0') return nullptr;
    const char* open = close;
    do {
      if (open == page) return nullptr;
      --open;
    } while (*open != *close);
    const char* link = open + 1;
    const char* candidate = link;
    if (findLink(visitedTopics, candidate) != nullptr) {
      search = close > search ? close : search + 1;
      continue;
    }
    visitedTopics.emplace_back(link, static_cast<std::size_t>(close - link));
    return link;
  }
  return nullptr;
}

// The href of the "<a" tag the built-in finder points at, or nullptr.
const char* findBuiltInNextPage(const char* page, NextPageFinder finder) {
  if (finder == nullptr) return nullptr;
  const char* tag = finder(page);
  if (tag == nullptr || tag[0] != '<' || !foldedEqual(tag[1], 'a')) return nullptr;
  return findHrefValue(tag, false);
}

// Fetches topic.forumAddress into `page` (emptied when nothing arrives) and
// records the address, and the one a redirect led to, in `fetched`.
std::size_t fetchPage(JobContext& topic, PageBlock& page, TopicWriterContext& context, LinkList& fetched) {
  fetched.emplace_back(topic.forumAddress.c_str());
  std::size_t length = context.fetcher.fetchToMemory(topic, page, true);
  if (length == 0) {
    page.clear();
  } else {
    fetched.emplace_back(topic.forumAddress.c_str());  // the address a redirect led to
  }
  return length;
}

// Checks the stop request and the first page of a topic before anything is
// composed: a topic whose first page did not arrive is counted as failed and
// no file is written for it. Returns true when the topic may be composed.
bool firstPageArrived(bool fetched, TopicWriterContext& context) {
  ActivityLog& log = context.log;
  if (log.stopRequested()) return false;
  if (fetched) return true;
  if (context.counts != nullptr) ++context.counts->topicsFailed;
  std::string line("[ X ] Topic not saved, its first page could not be fetched: ");
  line += context.outputPath.c_str();
  line += "\r\n";
  log.logLine(line);
  return false;
}

// Fetches the topic's first page into `page` and starts the file in the
// context's output (head, title, table head); false when the first page did
// not come.
bool startTopicFile(JobContext& topic, TopicWriterContext& context, PageBlock& page, LinkList& fetched) {
  cleanPathComponent(context.outputPath.data);
  applyLinkParameter(context.settings, topic);
  if (!firstPageArrived(fetchPage(topic, page, context, fetched) != 0, context)) return false;
  OutputBuffer& out = context.output;
  out.clear();
  out.append(kTopicHead);
  writeTitle(page.text(), out);
  out.append(kTopicTableHead);
  return true;
}

// The folder of the topic file, with its separator: saved files go there.
std::string topicFolder(const TopicWriterContext& context) {
  const char* path = context.outputPath.c_str();
  const char* lastSeparator = std::strrchr(path, platform::kPathSeparator);
  return std::string(path, lastSeparator == nullptr ? 0 : static_cast<std::size_t>(lastSeparator + 1 - path));
}

// The media of the topic being written, saving into `folder`.
MediaContext topicMedia(const TopicWriterContext& context, const std::string& folder) {
  return MediaContext{context.settings,   context.log, context.fetcher, context.currentJob, context.downloadedFiles,
                      context.itemNumber, folder,      context.counts,  context.savedFiles};
}

// Writes the composed file whole (through a .part beside its final name),
// counts and logs the outcome, and tells the context how many pages and posts
// the file holds. Nothing is written once a stop was asked for.
bool saveTopicFile(TopicWriterContext& context, bool incomplete, std::uint32_t pages, std::uint32_t posts) {
  ActivityLog& log = context.log;
  if (log.stopRequested()) return false;

  std::string_view bytes = context.output.view();
  bool saved = platform::writeWholeFile(context.outputPath.c_str(), bytes.data(), bytes.size());
  if (saved) {
    context.pagesWritten = pages;
    context.postsWritten = posts;
  }
  if (context.counts != nullptr) {
    if (!saved) {
      ++context.counts->topicsFailed;
    } else {
      ++context.counts->topicsSaved;
      if (incomplete) ++context.counts->topicsIncomplete;
      context.counts->bytes += bytes.size();
    }
  }
  if (saved && incomplete) {
    std::string line("[ X ] Topic incomplete, a later page could not be fetched: ");
    line += context.outputPath.c_str();
    line += "\r\n";
    log.logLine(line);
  }
  std::string line(saved ? "* Saved: " : "[ X ] Error creating file ");
  line += context.outputPath.c_str();
  line += "\r\n";
  log.logLine(line);
  return saved;
}

// The rows of the posts the profile finds on one page's tree, fetched from
// `pageAddress`; the posts' attachments are saved beside the topic file when
// the settings save attachments. Returns how many posts were written.
std::uint32_t writeProfilePosts(const html::Document& page, const EngineProfile& profile, std::string_view pageAddress,
                                const TopicWriterContext& context, TopicMedia& media) {
  OutputBuffer& out = context.output;
  std::string_view forumHost = hostOf(context.currentJob.forumAddress.c_str());
  const std::vector<FoundPost> posts = findPosts(page, profile);
  for (const FoundPost& post : posts) {
    if (context.settings.saveAttachments) {
      for (const std::string& attachment : post.attachments) {
        std::string address = resolveHref(pageAddress, attachment);
        if (!address.empty()) media.saveAttachment(address.c_str(), context.currentJob, nullptr);
      }
    }
    out.append("<TR>");
    out.append(kCellOpener);
    appendEscaped(out, post.author);
    if (!post.date.empty()) {
      out.append("<BR>");
      appendEscaped(out, post.date);
    }
    out.append("</TD>");
    out.append(kCellOpener);
    if (post.message) {
      auto parts = [&](const std::string& query) {
        return query.empty() ? std::vector<html::Node>() : page.query(query, post.message);
      };
      MessageParts marked{parts(profile.drop), parts(profile.quote), parts(profile.quoteTitle), parts(profile.code),
                          profile.quoteAuthor};
      writeMessageTree(post.message, marked, forumHost, out, media);
    }
    out.append("</TD></TR>");
  }
  return static_cast<std::uint32_t>(posts.size());
}

// writeTopic for a run with an engine profile.
bool writeProfileTopic(JobContext& topic, TopicWriterContext& context) {
  const Settings& settings = context.settings;
  const EngineProfile& profile = *context.engine;
  std::optional<PageBlock> ownPage;
  PageBlock& page = context.pageBlock != nullptr ? *context.pageBlock : ownPage.emplace();
  LinkList fetched;
  const std::string topicKey = linkKey(profile.topics, topic.forumAddress.view());

  if (!startTopicFile(topic, context, page, fetched)) return false;
  OutputBuffer& out = context.output;
  const std::string folder = topicFolder(context);
  TopicMedia media(topicMedia(context, folder));

  bool incomplete = false;
  std::uint32_t pages = 0;
  std::uint32_t posts = 0;
  for (;;) {
    std::unique_ptr<html::Document> tree = html::Document::parse(page.text());
    posts += writeProfilePosts(*tree, profile, topic.forumAddress.view(), context, media);
    ++pages;
    std::string next = findNextPage(*tree, profile.topics, topic.forumAddress.view(), topicKey);
    tree.reset();
    if (next.empty() || !topic.forumAddress.assign(next)) break;
    applyLinkParameter(settings, topic);
    const char* candidate = topic.forumAddress.c_str();
    if (findLink(fetched, candidate) != nullptr) break;
    if (fetchPage(topic, page, context, fetched) == 0) {
      incomplete = true;
      break;
    }
  }
  out.append(kTopicFoot);
  return saveTopicFile(context, incomplete, pages, posts);
}

}  // namespace

bool resolveNextPageLink(const char* link, const JobContext& currentJob, JobContext& topic) {
  TextWriter out = topic.forumAddress.writer();
  appendResolvedPageLink(currentJob.forumAddress.c_str(), link, out);
  out.terminate();
  return !out.truncated();
}

std::string guessNextTopicPage(const char* page, std::string_view pageAddress, std::string_view firstPage,
                               const TopicPageRules& rules, LinkList& visited) {
  if (rules.engine != nullptr) {
    std::unique_ptr<html::Document> tree = html::Document::parse(page);
    return findNextPage(*tree, rules.engine->topics, pageAddress, linkKey(rules.engine->topics, firstPage));
  }
  const Settings& settings = rules.settings;
  const bool usePattern = settings.useTopicNextPagePattern && !settings.topicNextPagePattern.empty();
  const char* link = usePattern ? findPatternNextPage(page, settings.topicNextPagePattern.c_str(), visited)
                                : findBuiltInNextPage(page, rules.findNextPageLink);
  if (link == nullptr) return {};
  auto next = makeJobContext();
  if (!resolveNextPageLink(link, rules.currentJob, *next)) return {};
  return std::string(next->forumAddress.view());
}

bool writeTopic(JobContext& topic, TopicWriterContext& context) {
  if (context.log.stopRequested()) return false;
  if (context.engine != nullptr) return writeProfileTopic(topic, context);
  const Settings& settings = context.settings;
  std::optional<PageBlock> ownPage;
  PageBlock& page = context.pageBlock != nullptr ? *context.pageBlock : ownPage.emplace();
  LinkList fetched;  // every address fetched for this topic, to end loops

  if (!startTopicFile(topic, context, page, fetched)) return false;
  OutputBuffer& out = context.output;
  const std::string folder = topicFolder(context);
  TopicMedia media(topicMedia(context, folder));

  bool usePattern = settings.useTopicNextPagePattern && !settings.topicNextPagePattern.empty();
  bool incomplete = false;
  std::uint32_t pages = 0;
  std::uint32_t posts = 0;
  std::vector<std::size_t> postHashes;  // the posts of each page, to notice a page seen before
  for (;;) {
    media.saveAttachmentsOfPage(page.text());
    const std::size_t postsStart = out.length();
    const std::uint32_t pagePosts = extractPosts(page.data(), settings, out, media);
    if (out.length() > postsStart) {
      const std::size_t hash = std::hash<std::string_view>{}(out.view().substr(postsStart));
      if (std::find(postHashes.begin(), postHashes.end(), hash) != postHashes.end()) {
        out.rewind(postsStart);  // a link back to an earlier page under another spelling
        break;
      }
      postHashes.push_back(hash);
    }
    ++pages;
    posts += pagePosts;
    const char* link =
        usePattern ? findPatternNextPage(page.text(), settings.topicNextPagePattern.c_str(), context.visitedTopics)
                   : findBuiltInNextPage(page.text(), context.findNextPageLink);
    if (link == nullptr) break;
    if (!resolveNextPageLink(link, context.currentJob, topic)) break;
    applyLinkParameter(settings, topic);
    const char* candidate = topic.forumAddress.c_str();
    if (findLink(fetched, candidate) != nullptr) break;
    if (fetchPage(topic, page, context, fetched) == 0) {
      incomplete = true;
      break;
    }
  }
  out.append(kTopicFoot);
  return saveTopicFile(context, incomplete, pages, posts);
}

}  // namespace quillstash
