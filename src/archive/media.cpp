// SPDX-License-Identifier: MIT
#include "archive/media.h"

#include <cstring>

#include <string>

#include "archive/scan.h"
#include "platform/files.h"
#include "text/address.h"
#include "text/page_block.h"
#include "text/strings.h"

namespace quillstash {

using namespace archive_scan;

namespace {

// The end of an attribute value: '>', a quote or the NUL.
const char* valueEnd(const char* value) {
  const char* p = value;
  while (!isLinkEnd(*p)) ++p;
  return p;
}

// True when [from, to) holds "attach" in any case. Read in place: most
// links of a page are not attachments and need no copy.
bool mentionsAttachment(const char* from, const char* to) {
  static constexpr char kWord[] = "attach";
  constexpr std::size_t kLength = sizeof(kWord) - 1;
  for (const char* p = from; static_cast<std::size_t>(to - p) >= kLength; ++p) {
    std::size_t matched = 0;
    while (matched < kLength && foldedEqual(p[matched], kWord[matched])) ++matched;
    if (matched == kLength) return true;
  }
  return false;
}

// Copies [from, to) into the output, leaving out every '<' so that nothing
// taken from the page can open a tag of its own.
void appendWithoutTags(OutputBuffer& out, const char* from, const char* to) {
  for (const char* p = from; p < to; ++p) {
    if (*p != '<') out.put(*p);
  }
}

bool startsWithHost(const char* text, std::string_view host) {
  for (std::size_t i = 0; i < host.size(); ++i) {
    if (text[i] == '\0' || !foldedEqual(text[i], host[i])) return false;
  }
  return true;
}

// Smiley images of the forum and the codes that stand for them.
constexpr KeywordEntry kSmileys[] = {
    {"/tongue", 1}, {"/biggrin", 2}, {"/smile.", 3}, {"/sad", 4}, {"/smiley.", 5},
};
constexpr const char* kSmileyCodes[] = {"", ":P", ":D", ":)", ":(", ":)"};

}  // namespace

void appendCleanAddress(const char* address, TextWriter& out) { appendLinkWithoutSessionIds(address, out); }

bool containsFileAddress(const LinkList& list, const char* address) { return list.containsFolded(address); }

bool TopicMedia::isOnForumHost(const char* host) const {
  return startsWithHost(host, hostOf(context_.currentJob.forumAddress.c_str()));
}

bool TopicMedia::takeAddress(const JobContext& job) {
  const char* address = job.forumAddress.c_str();
  if (containsFileAddress(context_.downloadedFiles, address)) return false;
  context_.downloadedFiles.emplace_back(address);
  return true;
}

std::string TopicMedia::keptName(const char* address) const {
  if (context_.savedFiles == nullptr) return {};
  return context_.savedFiles->savedName(address, context_.folder);
}

namespace {

// A file name goes inside a quoted attribute: quotes and angle brackets would
// end it early.
void appendNameToLink(OutputBuffer& out, std::string_view name) {
  for (char c : name) {
    if (c != '"' && c != '<' && c != '>' && static_cast<unsigned char>(c) >= 0x20) out.put(c);
  }
}

}  // namespace

bool TopicMedia::fetchFile(JobContext& job, bool imageMode, OutputBuffer* linkOutput) {
  const std::string address(job.forumAddress.c_str());
  if (std::string kept = keptName(address.c_str()); !kept.empty()) {
    if (linkOutput != nullptr) appendNameToLink(*linkOutput, kept);
    return true;
  }
  PageBlock receiveBuffer;
  FixedText<8192> name;
  TextWriter nameWriter = name.writer();
  const FileOutcome outcome =
      context_.fetcher.fetchToFile(job, receiveBuffer, nameWriter, imageMode, context_.folder, context_.itemNumber);
  if (outcome != FileOutcome::kSaved || nameWriter.length() == 0) {
    if (context_.counts != nullptr && outcome == FileOutcome::kFailed) ++context_.counts->filesFailed;
    return false;
  }
  if (context_.counts != nullptr) {
    ++context_.counts->filesSaved;
    std::string path(context_.folder);
    path += nameWriter.view();
    context_.counts->bytes += platform::fileSize(path.c_str());
  }
  if (context_.savedFiles != nullptr)
    context_.savedFiles->fileSaved(address.c_str(), context_.folder, nameWriter.view());
  if (linkOutput != nullptr) appendNameToLink(*linkOutput, nameWriter.view());
  return true;
}

bool TopicMedia::saveAttachment(const char* address, const JobContext& base, OutputBuffer* linkOutput) {
  auto job = makeJobContext();
  TextWriter out = job->forumAddress.writer();
  appendResolvedAttachment(base.forumAddress.c_str(), address, out);
  out.terminate();
  if (out.truncated()) return false;  // a cut address would fetch something else
  if (!takeAddress(*job)) return false;
  return fetchFile(*job, false, linkOutput);
}

bool TopicMedia::saveImage(const char* address, bool secure, OutputBuffer& linkOutput) {
  auto job = makeJobContext();
  TextWriter out = job->forumAddress.writer();
  if (secure) out.append("https://");
  appendLinkWithoutSessionIds(address, out);
  out.terminate();
  if (out.truncated() || out.length() == 0) return false;
  if (!takeAddress(*job)) return false;
  return fetchFile(*job, true, &linkOutput);
}

void TopicMedia::saveAttachmentsOfPage(const char* page) {
  if (!context_.settings.saveAttachments) return;
  const char* p = page;
  while (*p != '\0') {
    if (p[0] != '<') {
      p = nextTagStart(p);  // text between tags in one step
      continue;
    }
    if (!foldedEqual(p[1], 'a') || p[2] != ' ') {
      ++p;
      continue;
    }
    if (const char* value = findHrefValue(p, true)) {
      const char* end = value;
      while (static_cast<unsigned char>(*end) > 0x20 && *end != '"' && *end != '\'' && *end != '>') ++end;
      if (mentionsAttachment(value, end)) {
        std::string address(value, end);
        saveAttachment(address.c_str(), context_.currentJob, nullptr);
      }
    }
    p = skipTag(p);
  }
}

const char* TopicMedia::rewriteImage(const char* tag, OutputBuffer& out) {
  const char* at = findBlankThen(tag, "src");
  if (at == nullptr) return skipTag(tag);
  const char* value = at + 4;
  while (isAttributeGap(*value)) ++value;
  const char* end = valueEnd(value);

  bool absolute = startsWithFolded(value, "http");
  // An https image is fetched and linked over https; any other over http.
  const bool secure = absolute && foldedEqual(value[4], 's') && (value[5] == ':' || value[5] == '&');
  const char* host = value;
  if (absolute) {
    host = value + (secure ? 5 : 4);
    for (;;) {
      if (*host == ':' || *host == '/') {
        ++host;
      } else if (startsWithFolded(host, "&#58")) {
        host += 4;
        if (*host == ';') ++host;
      } else {
        break;
      }
    }
  }
  if (absolute && !isOnForumHost(host)) {
    std::size_t mark = out.length();
    out.append("<IMG src=\"");
    if (context_.settings.saveExternalImages && saveImage(host, secure, out)) {
      out.append("\">");
    } else if (context_.settings.linkAllImages) {
      out.append(secure ? "https://" : "http://");
      appendWithoutTags(out, host, valueEnd(host));
      out.append("\">");
    } else {
      out.rewind(mark);
    }
    return skipTag(tag);
  }

  // On the forum's host or relative: only smileys leave something.
  const char* smile = nullptr;
  for (const char* p = host; p < end; ++p) {
    if (startsWithFolded(p, "smile")) {
      smile = p;
      break;
    }
  }
  if (smile != nullptr) {
    std::uint8_t code = 0;
    for (const KeywordEntry& entry : kSmileys) {
      code = linkContains(smile, entry);
      if (code != 0) break;
    }
    if (code != 0) {
      out.append(kSmileyCodes[code]);
    } else {
      const char* slash = smile;
      while (slash < end && *slash != '/') ++slash;
      if (slash < end) {
        out.put('[');
        appendWithoutTags(out, slash, end);
        out.put(']');
      }
    }
  }
  return skipTag(tag);
}

const char* TopicMedia::rewriteLink(const char* tag, OutputBuffer& out, bool& linkOpen) {
  const char* value = findHrefValue(tag, true);
  if (value == nullptr) {
    linkOpen = false;
    return skipTag(tag);
  }
  if (const std::size_t scheme = schemeLength(value); scheme != 0) {
    if (isThumbnailLink(value, out)) {
      linkOpen = true;
    } else if (isOnForumHost(value + scheme)) {
      linkOpen = false;
    } else {
      out.append(scheme == 8 ? "<A HREF=\"https://" : "<A HREF=\"http://");
      const char* end = value + scheme;
      while (!isLinkEnd(*end)) ++end;
      out.append(std::string_view(value + scheme, static_cast<std::size_t>(end - (value + scheme))));
      out.append("\">");
      linkOpen = true;
    }
  }
  return skipTag(tag);
}

bool TopicMedia::isThumbnailLink(const char* value, OutputBuffer& out) {
  const char* p = tagEnd(value);
  if (*p != '>') return false;
  ++p;
  for (;;) {
    if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') {
      ++p;
    } else if (startsWithFolded(p, "&nbsp;")) {
      p += 6;
    } else if (*p == '&') {
      ++p;
    } else {
      break;
    }
  }
  if (!isOpeningWithBlank(p, "img")) return false;
  return followThumbnailLink(value, out);
}

bool TopicMedia::followThumbnailLink(const char* value, OutputBuffer& out) {
  auto job = makeJobContext();
  TextWriter address = job->forumAddress.writer();
  appendLinkWithoutSessionIds(value, address);
  address.terminate();
  if (address.truncated()) return false;
  if (!takeAddress(*job)) return false;
  if (isOnForumHost(hostOf(job->forumAddress.c_str()).data())) return false;
  // The full image an earlier run saved from this image page is linked as it
  // is, without fetching the page again.
  const std::string pageAddress(job->forumAddress.c_str());
  if (std::string kept = keptName(pageAddress.c_str()); !kept.empty()) {
    out.append("<A HREF=\"");
    appendNameToLink(out, kept);
    out.append("\">");
    return true;
  }

  PageBlock page;
  if (context_.fetcher.fetchToMemory(*job, page, false) == 0) return false;
  const char* text = page.text();
  if (findFolded(text, "[img") == nullptr) return false;

  bool afterBody = false;
  for (const char* p = text; *p != '\0';) {
    if (isOpeningTag(p, "body")) afterBody = true;
    if (!afterBody || !isOpeningWithBlank(p, "img") || findBlankThen(p, "title") == nullptr) {
      ++p;
      continue;
    }
    const char* source = nullptr;
    for (const char* q = p; *q != '\0' && *q != '>'; ++q) {
      if (startsWithFolded(q, "src=")) {
        source = q + 4;
        break;
      }
    }
    if (source == nullptr) {
      p = skipTag(p);
      continue;
    }
    context_.log.logLine("* Image is linked using a thumbnail, downloading full image...\r\n");
    while (isAttributeGap(*source)) ++source;
    std::size_t mark = out.length();
    out.append("<A HREF=\"");
    const std::size_t nameStart = out.length();
    // The image page is the base of a relative source address.
    if (saveAttachment(source, *job, &out)) {
      if (context_.savedFiles != nullptr) {
        const std::string name(out.view().substr(nameStart));
        context_.savedFiles->fileSaved(pageAddress.c_str(), context_.folder, name);
      }
      out.append("\">");
      return true;
    }
    out.rewind(mark);
    return false;
  }
  return false;
}

}  // namespace quillstash
