// SPDX-License-Identifier: MIT
#include "crawler/topic_detection.h"

#include <array>

#include "crawler/link_scan.h"
#include "text/strings.h"

namespace quillstash {

namespace {

// Page links, mark-read links and actions on a topic are not topics.
// "st=" page links of a topic are excluded as well, so that a later page of a
// topic is not written again as a topic of its own, and so are the links that
// jump to a topic's last or first unread post ("Last post by:").
constexpr std::array<KeywordEntry, 11> kTopicExclusions{{
    {"mark=", 1},
    {"start=", 1},
    {"page=", 1},
    {"markread", 1},
    {"&amp;act=", 1},
    {"&act=", 1},
    {"&amp;st=", 1},
    {"&st=", 1},
    {"?st=", 1},
    {"view=getlastpost", 1},
    {"view=getnewpost", 1},
}};

constexpr std::array<KeywordEntry, 4> kTopicKeywords{{
    {"viewtopic.php", 1},
    {"showthread.php", 1},
    {"?t=", 1},
    {"showtopic", 1},
}};

constexpr std::uint32_t kTableNameShortening = 6;

const char* partText(bool use, const SettingText& text) { return use ? text.c_str() : nullptr; }

// Resolves, deduplicates, names and writes one topic link. `end` moves to the
// value's end.
void takeTopic(const char*& end, LinkVariant variant, std::uint32_t nameLimit, CrawlState& state, TopicWriter& writer) {
  if (state.topicShape.empty()) recordShape(end, state.topicShape, false);
  if (state.currentJob == nullptr) return;
  std::unique_ptr<JobContext> topic = resolveLink(end, variant, *state.currentJob);
  if (topic == nullptr) return;
  const char* address = topic->forumAddress.c_str();
  if (findLink(state.visitedTopics, address) != nullptr) return;

  const std::size_t pathLength = state.outputPath.size();
  TextWriter path = state.outputPath.appender();
  // A link without text (a row icon) is not taken, nor recorded: the topic's
  // titled link usually follows it.
  if (appendLinkName(path, state.itemNumber, 5, linkTextStart(end), nameLimit)) {
    appendLink(state.visitedTopics, topic->forumAddress.c_str());
    path.append(".html");
    path.terminate();
    writer.writeTopic(state, *topic);
    ++state.itemNumber;
  }
  state.outputPath.data[pathLength] = '\0';
}

}  // namespace

bool useTopicPatterns(const Settings& s) {
  return (s.useTopicLinkPrefix && !s.topicLinkPrefix.empty()) ||
         (s.useTopicLinkPattern && !s.topicLinkPattern.empty()) || (s.useTopicLinkSuffix && !s.topicLinkSuffix.empty());
}

bool detectTopics(const char* page, CrawlState& state, TopicWriter& writer) {
  const LinkAction take = [&](const char* value) { return acceptTopicLink(value, state, writer); };
  const Settings& s = state.settings;
  if (useTopicPatterns(s)) {
    scanLinksByPatterns(page,
                        LinkPatterns{partText(s.useTopicLinkPrefix, s.topicLinkPrefix),
                                     partText(s.useTopicLinkPattern, s.topicLinkPattern),
                                     partText(s.useTopicLinkSuffix, s.topicLinkSuffix)},
                        take);
    return true;
  }
  return scanLinksByRules(page, LinkKeywords{kTopicExclusions, kTopicKeywords}, take);
}

const char* acceptTopicLink(const char* value, CrawlState& state, TopicWriter& writer) {
  const char* end = value;
  takeTopic(end, LinkVariant::kTopic, state.settings.maxFileNameChars, state, writer);
  return end;
}

void walkTopicRow(TableRow& row, CrawlState& state, TopicWriter& writer) {
  const std::uint32_t max = state.settings.maxFileNameChars;
  const std::uint32_t limit = max > kTableNameShortening ? max - kTableNameShortening : 0;
  scanRowCells(row, HeaderCellEnd::kNextColumn, [&](const char* tag, std::size_t column) {
    const std::uint16_t cls = classLow16(row.classes, column);
    if (cls == 0 || cls >= 4) return true;
    if (tagHasColspan(tag, row.budget)) return false;
    const char* aTag = cellLink(tag, row.budget);
    if (aTag == nullptr) return true;
    const char* value = cellHref(aTag, row.budget);
    if (value == nullptr || row.linkEnds.tooLong(value)) return true;
    takeTopic(value, LinkVariant::kTopicTableWalk, limit, state, writer);
    return true;
  });
}

}  // namespace quillstash
