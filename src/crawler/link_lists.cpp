// SPDX-License-Identifier: MIT
#include "crawler/link_lists.h"

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
}

bool isLinkEnd(char c, bool hashEnds) {
  return c == '\0' || c == '"' || c == '\'' || c == '>' || (hashEnds && c == '#');
}

const char* LinkEnds::endOf(const char* value) {
  if (end_ == nullptr || value < from_ || value > end_) {
    from_ = value;
    end_ = value;
    while (!isLinkEnd(*end_, false)) ++end_;
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
  while (!isLinkEnd(*p, hashEnds)) ++p;
  return p;
}

// Length of the run of hexadecimal digits at `p`.
std::size_t hexRun(const char* p) {
  std::size_t n = 0;
  while (isHexDigit(p[n])) ++n;
  return n;
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
  const bool hashEnds = variant == LinkVariant::kForum;
  auto record = makeJobContext();
  record->host.assign(currentJob.host.view());

  // The base is the address the user typed, whatever page the link was on.
  const std::string_view base = currentJob.forumAddress.view();
  std::size_t hostStart = 0;
  if (base.size() >= 7 && startsWithFolded(base.data(), "http") && base.substr(4, 3) == "://") hostStart = 7;

  const char* p = href;
  if (startsWithFolded(p, "http") && p[4] == ':' && p[5] == '/' && p[6] == '/') {
    // The link's own host is dropped: every link is fetched from the forum's host.
    p += 7;
    while (*p != '/' && !isLinkEnd(*p, false)) ++p;
  }

  std::size_t keep;  // characters of the base kept before the link text
  bool addSlash = false;
  if (*p == '/') {
    std::size_t slash = base.find('/', hostStart);
    keep = slash == std::string_view::npos ? base.size() : slash;
  } else {
    std::size_t slash = base.rfind('/');
    if (slash == std::string_view::npos || slash < hostStart) {
      keep = base.size();
      if (std::size_t cut = base.find_first_of("?#", hostStart); cut != std::string_view::npos) keep = cut;
      addSlash = true;
    } else {
      keep = slash + 1;
    }
  }

  TextWriter out = record->forumAddress.writer();
  out.append(base.substr(0, keep));
  if (addSlash) out.put('/');

  const auto dropParameter = [&](const char* q) {
    while (*q != '&' && !isLinkEnd(*q, hashEnds)) ++q;
    return q;
  };
  while (!isLinkEnd(*p, hashEnds)) {
    if (*p == '&') {
      out.put('&');
      p += startsWithFolded(p + 1, "amp;") ? 5 : 1;
    } else if (startsWithFolded(p, "sid=") || startsWithFolded(p, "phpsessi")) {
      p = dropParameter(p);
    } else if (variant == LinkVariant::kTopicTableWalk && p[0] == 's' && p[1] == '=' && !isLinkEnd(p[2], hashEnds) &&
               hexRun(p + 3) >= 7) {
      p = dropParameter(p);
    } else {
      out.put(*p++);
    }
  }
  href = p;
  if (out.length() > 0 && out.begin()[out.length() - 1] == '&') out.rewind(out.length() - 1);
  out.terminate();
  if (out.truncated()) return nullptr;
  return record;
}

}  // namespace quillstash
