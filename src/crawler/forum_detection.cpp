// SPDX-License-Identifier: MIT
#include "crawler/forum_detection.h"

#include <array>

#include "crawler/link_scan.h"
#include "platform/path.h"
#include "text/strings.h"

namespace quillstash {

namespace {

// Page links and mark-read links of a forum are not forums.
// Page links of a forum's own list ("st=" on boards that number pages so) are
// excluded as well: taken for sub-forums, they would write the forum's topics
// a second time in folders of their own.
constexpr std::array<KeywordEntry, 8> kForumExclusions{{
    {"mark=", 1},
    {"start=", 1},
    {"page=", 1},
    {"markread", 1},
    {"&amp;p=", 1},
    {"&amp;st=", 1},
    {"&st=", 1},
    {"?st=", 1},
}};

constexpr std::array<KeywordEntry, 6> kForumKeywords{{
    {"forumdisplay.php", 1},
    {"viewforum.php", 1},
    {"showforum", 1},
    {"forum_desc.php", 1},
    {"forum.php?f=", 1},
    {"?f=", 1},
}};

const char* partText(bool use, const SettingText& text) { return use ? text.c_str() : nullptr; }

}  // namespace

void ForumListSink::takeForum(CrawlState& state, JobContext& forum) {
  std::string_view name = state.outputPath.view();
  if (!name.empty() && name.front() == platform::kPathSeparator) name.remove_prefix(1);
  const std::uint32_t number = state.itemNumber;
  DetectedForum row{std::string(name), std::string(forum.forumAddress.view()), true};
  if (number >= 1 && number <= state.forumSelection.size()) row.checked = (state.forumSelection[number - 1] & 1) != 0;
  const std::size_t index = number >= 1 && number - 1 < rows_.size() ? number - 1 : rows_.size();
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
  ++state.itemNumber;
}

bool ForumTreeRecorder::enter(const CrawlState& state, std::string_view address) {
  // The folder's name as makeForumDirectory cleans it.
  FixedText<CrawlState::kPathSize> path;
  std::string_view full = state.outputPath.view();
  std::size_t start = full.size();
  while (start > 0 && !platform::isPathSeparator(full[start - 1])) --start;
  const bool copied = path.assign(full.substr(start));
  if (copied) cleanPathComponent(path.data);
  DetectedForum row{copied ? std::string(path.view()) : std::string(full.substr(start)), std::string(address), true,
                    open_.empty() ? -1 : open_.back(), state.itemNumber};
  const bool deeper = open_.size() < maxDepth_;
  open_.push_back(static_cast<int>(rows_.size()));
  rows_.push_back(std::move(row));
  return deeper;
}

void ForumTreeRecorder::leave() {
  if (!open_.empty()) open_.pop_back();
}

void markSelectedForums(std::vector<DetectedForum>& rows, const ForumSelection& selection, const LinkList& leftOut) {
  for (std::size_t k = 0; k < rows.size(); ++k) {
    DetectedForum& row = rows[k];
    if (row.parent < 0 || static_cast<std::size_t>(row.parent) >= k) {
      row.checked = isForumSelected(selection, row.number);
    } else {
      const char* address = row.address.c_str();
      row.checked = rows[static_cast<std::size_t>(row.parent)].checked && findLink(leftOut, address) == nullptr;
    }
  }
}

bool useForumPatterns(const Settings& s) {
  return (s.useForumLinkPrefix && !s.forumLinkPrefix.empty()) ||
         (s.useForumLinkPattern && !s.forumLinkPattern.empty()) || (s.useForumLinkSuffix && !s.forumLinkSuffix.empty());
}

bool detectForums(const char* page, CrawlState& state, ForumSink& sink) {
  state.itemNumber = 1;
  std::vector<const char*> values;
  if (!collectForumLinks(page, state, values)) return false;
  for (const char* value : values) acceptForumLink(value, state, sink);
  return true;
}

bool collectForumLinks(const char* page, const CrawlState& state, std::vector<const char*>& values) {
  // Where acceptForumLink would have the scan go on, without its changes:
  // the run's first forum link sets the shape the others must have.
  FixedText<CrawlState::kShapeSize> shape = state.forumShape;
  const LinkAction take = [&](const char* value) {
    values.push_back(value);
    if (shape.empty()) {
      recordShape(value, shape, true);
    } else if (!matchesShape(value, shape.c_str())) {
      return value;
    }
    if (state.currentJob == nullptr) return value;
    const char* end = value;
    resolveLink(end, LinkVariant::kForum, *state.currentJob);
    return end;
  };
  const Settings& s = state.settings;
  if (!useForumPatterns(s)) return scanLinksByRules(page, LinkKeywords{kForumExclusions, kForumKeywords}, take);
  // A switched-on part takes part even with an empty text, which then matches anywhere.
  LinkPatterns patterns{partText(s.useForumLinkPrefix, s.forumLinkPrefix),
                        partText(s.useForumLinkPattern, s.forumLinkPattern),
                        partText(s.useForumLinkSuffix, s.forumLinkSuffix)};
  scanLinksByPatterns(page, patterns, take);
  return true;
}

const char* acceptForumLink(const char* value, CrawlState& state, ForumSink& sink) {
  if (state.forumShape.empty()) {
    recordShape(value, state.forumShape, true);
  } else if (!matchesShape(value, state.forumShape.c_str())) {
    return value;
  }
  if (state.currentJob == nullptr) return value;

  const char* end = value;
  std::unique_ptr<JobContext> forum = resolveLink(end, LinkVariant::kForum, *state.currentJob);
  if (forum == nullptr) return end;
  const char* address = forum->forumAddress.c_str();
  if (findLink(state.visitedForums, address) != nullptr) return end;

  const std::size_t pathLength = state.outputPath.size();
  TextWriter path = state.outputPath.appender();
  // A link without text (an icon) is not taken, nor recorded: the forum's
  // titled link usually follows it.
  if (appendLinkName(path, state.itemNumber, 2, linkTextStart(end), state.settings.maxFileNameChars)) {
    appendLink(state.visitedForums, forum->forumAddress.c_str());
    // Blanks and control characters at the end are not part of a folder name.
    while (path.length() > pathLength && static_cast<unsigned char>(path.begin()[path.length() - 1]) <= 32) {
      path.rewind(path.length() - 1);
    }
    path.terminate();
    sink.takeForum(state, *forum);
  }
  state.outputPath.data[pathLength] = '\0';
  return end;
}

}  // namespace quillstash
