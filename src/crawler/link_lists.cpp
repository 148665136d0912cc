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
  counts = RunCounts{};
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

void appendLink(LinkList& list, const char* text) { list.emplace_back(text); }

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

// At a parameter start (after '?', '&' or "&amp;"): when a session id begins
// at `p`, where it ends together with the separator after it; else `p`.
// Session ids differ from link to link, so a shape never holds one.
const char* skipSessionId(const char* p, const char* end) {
  const char before = p[-1];
  if (before != '?' && before != '&' && before != ';') return p;
  if (!startsNamedSessionId(p) && !startsLongHexSessionId(p)) return p;
  while (p < end && *p != '&') ++p;
  if (p < end) p += std::string_view(p, static_cast<std::size_t>(end - p)).starts_with("&amp;") ? 5 : 1;
  return p;
}

}  // namespace

void recordShape(const char* href, FixedText<CrawlState::kShapeSize>& shape, bool hashEnds) {
  const char* end = valueEnd(href, hashEnds);
  TextWriter out = shape.writer();
  const char* segment = lastSegment(href, end);
  for (const char* p = segment; p < end; ++p) {
    if (p > segment) p = skipSessionId(p, end);
    if (p == end) break;
    if (!isDecimalDigit(*p)) out.put(*p);
  }
  // A separator left at the end by a session id that closed the link.
  std::string_view kept = out.view();
  if (kept.ends_with("&amp;")) {
    out.rewind(out.length() - 5);
  } else if (kept.ends_with('&')) {
    out.rewind(out.length() - 1);
  }
  out.terminate();
}

bool matchesShape(const char* href, const char* shape) {
  const char* end = valueEnd(href, false);
  const char* s = shape;
  const char* segment = lastSegment(href, end);
  for (const char* p = segment; p < end && *s != '\0'; ++p) {
    if (p > segment) p = skipSessionId(p, end);
    if (p == end) break;
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
