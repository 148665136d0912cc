// SPDX-License-Identifier: MIT
#pragma once

// Finding the topic links of a forum page and handing each new topic, with
// its file name, to the topic writer: by the user's topic patterns, by the
// built-in rules, or (when the rules find nothing) as the row handler of the
// table walk.

#include <optional>
#include <string>
#include <vector>

#include "core/settings.h"
#include "crawler/link_lists.h"
#include "crawler/table_layout.h"

namespace quillstash {

// Writes one topic. Called on the crawl's thread with the topic's record (its
// forumAddress is the topic's first page) while state.outputPath holds the
// full path of the topic's file: the forum's folder, a separator, the number
// in five digits, a blank, the link text and ".html". The caller puts
// outputPath back afterwards and then releases the record.
class TopicWriter {
 public:
  virtual ~TopicWriter() = default;
  virtual void writeTopic(CrawlState& state, JobContext& topic) = 0;
};

// Takes no topic: for walks that find forums or topics without writing any
// (the forum preview, the look-ahead's dry pass).
class NoTopicWriter final : public TopicWriter {
 public:
  void writeTopic(CrawlState&, JobContext&) override {}
};

// True when the user's topic patterns are in charge.
bool useTopicPatterns(const Settings& settings);

// Finds the topic links of the NUL-terminated forum page by the user's
// patterns or the built-in rules and hands each to acceptTopicLink. Does not
// reset itemNumber (topics are numbered across the pages of a forum). Returns
// true when the patterns ran or the rules met a topic link; false asks the
// caller for the table layout route.
bool detectTopics(const char* page, CrawlState& state, TopicWriter& writer);

// The first-page addresses of the topics detectTopics would hand to the
// writer from the forum page `page`, in their order, without taking them:
// `state` is left as it is. Topics the forum already had and topics the run's
// recorder would not fetch are left out. Nothing when the page's topics are
// found by the table route (which reads the forum's table survey and blanks
// the page's scripts); a list, empty or not, when detectTopics takes them
// and leaves the page as it is.
std::optional<std::vector<std::string>> upcomingTopics(const char* page, const CrawlState& state);

// Records the run's topic shape from the first topic link, resolves the link,
// drops it when the forum already has it, names it and calls the writer.
// Returns where it stopped reading (the value's end).
const char* acceptTopicLink(const char* value, CrawlState& state, TopicWriter& writer);

// Row handler of the table route: takes the link that begins a cell of each
// topic column (class 1 to 3) as a topic; a colspan cell in such a column ends
// the row. Link texts are cut six characters shorter than by the rules.
void walkTopicRow(TableRow& row, CrawlState& state, TopicWriter& writer);

}  // namespace quillstash
