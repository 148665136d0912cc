// SPDX-License-Identifier: MIT
#include "crawler/topic_detection.h"

#include <algorithm>
#include <array>
#include <string>

#include "crawler/link_scan.h"
#include "crawler/run_recorder.h"
#include "platform/path.h"
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

// What the forum page shows of a topic around its link, up to the end of its
// table row (at most kMarkerReach characters): the href values, session ids
// left out, and the text that is not a bare number (view counters change on
// every visit). The last-post link, the page links and the last post's date
// change when posts are added.
constexpr std::size_t kMarkerReach = 4000;

bool startsTag(const char* p, const char* name) {
  if (*p != '<') return false;
  ++p;
  for (; *name != '\0'; ++p, ++name) {
    if ((*p | 0x20) != *name) return false;
  }
  return *p == '>' || *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n';
}

std::string rowMarker(const char* value) {
  std::string marker;
  const char* p = value;
  while (*p != '\0' && *p != '"' && *p != '\'' && *p != '>') ++p;  // the topic link itself
  const char* limit = p;
  for (std::size_t n = 0; *limit != '\0' && n < kMarkerReach; ++n) ++limit;
  std::string text;
  auto flushText = [&] {
    bool number = true;
    bool blank = true;
    for (char c : text) {
      if (c > ' ') blank = false;
      if (c > ' ' && (c < '0' || c > '9') && c != ',' && c != '.') number = false;
    }
    if (!blank && !number) marker += text + "|";
    text.clear();
  };
  while (p < limit) {
    if (*p != '<') {
      text += *p++;
      continue;
    }
    flushText();
    if (startsTag(p, "tr") || startsTag(p, "/tr")) break;
    const char* close = p;
    while (close < limit && *close != '>') ++close;
    for (const char* q = p; q + 5 < close; ++q) {
      if ((q[0] | 0x20) == 'h' && (q[1] | 0x20) == 'r' && (q[2] | 0x20) == 'e' && (q[3] | 0x20) == 'f' && q[4] == '=') {
        const char* start = q + 5;
        if (*start == '"' || *start == '\'') ++start;
        const char* stop = std::find_if(start, close, [](char c) { return c == '"' || c == '\'' || c == ' '; });
        std::string link(start, static_cast<std::size_t>(stop - start));
        FixedText<kMaxLinkLength + 1> clean;
        TextWriter out = clean.writer();
        appendLinkWithoutSessionIds(link.c_str(), out);
        out.terminate();
        marker += clean.c_str();
        marker += '|';
        break;
      }
    }
    p = close < limit ? close + 1 : limit;
  }
  return marker;
}

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
  TextWriter probe = state.outputPath.appender();
  // A link without text (a row icon) is not taken, nor recorded: the topic's
  // titled link usually follows it.
  if (!appendLinkName(probe, state.itemNumber, 5, linkTextStart(end), nameLimit)) {
    state.outputPath.data[pathLength] = '\0';
    return;
  }
  appendLink(state.visitedTopics, topic->forumAddress.c_str());
  state.outputPath.data[pathLength] = '\0';

  TopicPlan plan;
  plan.number = state.itemNumber;
  if (state.recorder != nullptr) {
    plan = state.recorder->planTopic(state.outputPath.c_str(), topic->forumAddress.c_str(), rowMarker(end),
                                     state.itemNumber);
  }
  if (!plan.take) return;
  // The name again, under the number (or the whole name) the archive keeps.
  TextWriter path = state.outputPath.appender();
  bool named = false;
  if (!plan.fileName.empty()) {
    path.append(std::string_view(&platform::kPathSeparator, 1));
    path.append(plan.fileName);
    named = !path.truncated();
  } else if (appendLinkName(path, plan.number, 5, linkTextStart(end), nameLimit)) {
    path.append(".html");
    named = true;
  }
  path.terminate();
  if (named) {
    const std::uint32_t listed = state.itemNumber;
    if (state.recorder != nullptr) state.recorder->topicTaken(state.outputPath.c_str(), plan);
    if (plan.fetch) {
      state.itemNumber = plan.number;  // names the topic's saved files
      writer.writeTopic(state, *topic);
    }
    state.itemNumber = listed + 1;
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

namespace {

// The recorder of a dry pass over a forum page: notes each topic the run's
// recorder would fetch and plans none of them, so the pass writes nothing.
class UpcomingTopics final : public RunRecorder {
 public:
  explicit UpcomingTopics(RunRecorder* run) : run_(run) {}
  bool beginRun(const char*, const char*, const std::string&, const std::string&) override { return true; }
  void forumEntered(const char*, FixedText<8192>&) override {}
  bool wouldFetch(const char*, const char*, const std::string&) override { return false; }
  TopicPlan planTopic(const char* forumFolder, const char* address, const std::string& rowMarker,
                      std::uint32_t listedNumber) override {
    if (run_ == nullptr || run_->wouldFetch(forumFolder, address, rowMarker)) addresses.emplace_back(address);
    TopicPlan plan;
    plan.number = listedNumber;
    plan.fetch = false;
    return plan;
  }
  void topicTaken(const char*, const TopicPlan&) override {}
  void topicWritten(const char*, TopicOutcome, std::uint32_t, std::uint32_t) override {}
  void endRun(const RunOutcome&) override {}

  std::vector<std::string> addresses;

 private:
  RunRecorder* run_;
};

}  // namespace

std::optional<std::vector<std::string>> upcomingTopics(const char* page, const CrawlState& state) {
  // A scratch state with what detection reads; its topic list starts empty,
  // so the forum's earlier topics are left out afterwards.
  auto scratch = std::make_unique<CrawlState>();
  scratch->itemNumber = state.itemNumber;
  scratch->topicShape = state.topicShape;
  scratch->outputPath = state.outputPath;
  scratch->currentJob = state.currentJob;
  scratch->settings = state.settings;
  UpcomingTopics found(state.recorder);
  scratch->recorder = &found;
  NoTopicWriter none;
  if (!detectTopics(page, *scratch, none)) return std::nullopt;
  std::vector<std::string> addresses;
  for (std::string& address : found.addresses) {
    const char* candidate = address.c_str();
    if (findLink(state.visitedTopics, candidate) == nullptr) addresses.push_back(std::move(address));
  }
  return addresses;
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
