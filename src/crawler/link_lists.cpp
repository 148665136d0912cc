// SPDX-License-Identifier: MIT
#include "crawler/link_lists.h"

#include "text/address.h"
#include "text/strings.h"

namespace quillstash {

void CrawlState::startRun() {
  visitedForums.clear();
  visitedTopics.clear();
  downloadedFiles.clear();
  forumShape.clear();
  topicShape.clear();
  topicLayoutCandidate = LayoutKey{};
  topicLayoutConfirmed = LayoutKey{};
  itemNumber = 1;
  engine = nullptr;
}

const char* LinkEnds::endOf(const char* value) {
  if (end_ == nullptr || value < from_ || value > end_) {
    from_ = value;
    end_ = value;
    while (!isLinkEnd(*end_)) ++end_;
  }
  return end_;
}

const char* skipHrefLead(const char* hre) {
  const char* p = hre + 4;  // " hre"
  if (*p == 'f' || *p == 'F') ++p;
  while (*p == '=' || *p == ' ' || *p == '\r' || *p == '\n' || *p == '\t' || *p == '\'' || *p == '"') ++p;
  return p;
}

const char* findHrefInTag(const char* tag) {
  for (const char* p = tag; *p != '\0' && *p != '>'; ++p) {
    if (startsWithFolded(p, " hre")) return skipHrefLead(p);
  }
  return nullptr;
}

const char* linkTextStart(const char* value) {
  const char* p = value;
  while (*p != '\0' && *p != '>') ++p;
  return *p == '>' ? p + 1 : p;
}

void appendLink(LinkList& list, const char* text) {
  list.emplace_back(text);
}

void appendLink(LinkList& list, const char* text, const char* end) {
  list.emplace_back(text, static_cast<std::size_t>(end - text));
}

namespace {

// Start of the last segment of the value [value, end): its last '/' that is
// followed by an ASCII letter, or the value's start.
const char* lastSegment(const char* value, const char* end) {
  const char* segment = value;
  for (const char* p = value; p + 1 < end; ++p) {
    if (*p == '/' && isAsciiLetter(p[1])) segment = p;
  }
  return segment;
}

const char* valueEnd(const char* value, bool hashEnds) {
  const char* p = value;
  while (!(hashEnds ? isLinkEndOrFragment(*p) : isLinkEnd(*p))) ++p;
  return p;
}

}  // namespace

void recordShape(const char* href, FixedText<CrawlState::kShapeSize>& shape, bool hashEnds) {
  const char* end = valueEnd(href, hashEnds);
  TextWriter out = shape.writer();
  for (const char* p = lastSegment(href, end); p < end; ++p) {
    if (!isDecimalDigit(*p)) out.put(*p);
  }
  out.terminate();
}

bool matchesShape(const char* href, const char* shape) {
  const char* end = valueEnd(href, false);
  const char* s = shape;
  for (const char* p = lastSegment(href, end); p < end && *s != '\0'; ++p) {
    if (isDecimalDigit(*p)) continue;
    if (*p != *s) break;
    ++s;
  }
  return *s == '\0';
}

std::unique_ptr<JobContext> resolveLink(const char*& href, LinkVariant variant, const JobContext& currentJob) {
  auto record = makeJobContext();
  // The base is the address the user typed, whatever page the link was on.
  const std::string_view base = currentJob.forumAddress.view();
  TextWriter out = record->forumAddress.writer();
  switch (variant) {
    case LinkVariant::kForum: href = appendResolvedForumLink(base, href, out); break;
    case LinkVariant::kTopic: href = appendResolvedTopicLink(base, href, out); break;
    case LinkVariant::kTopicTableWalk: href = appendResolvedTopicTableLink(base, href, out); break;
  }
  out.terminate();
  if (out.truncated()) return nullptr;
  return record;
}

}  // namespace quillstash
