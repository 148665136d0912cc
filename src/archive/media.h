// SPDX-License-Identifier: MIT
#pragma once

// What becomes of the images, links and attachments of a topic page:
// attachments are saved beside the topic file; images of other hosts are
// saved (or shown from their remote address, or dropped); smileys of the
// forum become their text codes; links to other hosts are kept, links on the
// forum's host are reduced to their text; a thumbnail linking to an image
// page of another host gets its full image saved and linked.
//
// Used on the download thread only, for one topic at a time.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/activity_log.h"
#include "core/run_outcome.h"
#include "core/settings.h"
#include "archive/markup.h"
#include "archive/output_buffer.h"
#include "archive/page_fetcher.h"
#include "archive/saved_files.h"
#include "text/link_compare.h"
#include "text/text_writer.h"

namespace quillstash {

// What the media handling of one topic works with; the caller keeps every
// referenced object alive while the TopicMedia is used.
struct MediaContext {
  const Settings& settings;
  ActivityLog& log;
  PageFetcher& fetcher;
  // The address the user typed: the base of relative addresses and the
  // forum's host.
  const JobContext& currentJob;
  // Every attachment, image and thumbnail page taken in this run.
  LinkList& downloadedFiles;
  // Names the files saved for this topic.
  std::uint32_t itemNumber;
  // The folder of the topic file, ending with a path separator (or empty).
  std::string_view folder;
  // Saved and failed files are counted here (not when null).
  RunCounts* counts = nullptr;
  // The files earlier runs saved for this topic: those still present are
  // linked without a fetch (none when null).
  SavedFiles* savedFiles = nullptr;
};

// Copies the address at `address` into `out` as addresses are stored
// (appendLinkWithoutSessionIds): it ends at NUL, a quote, '>' or '#'; "&amp;"
// becomes "&"; "sid=", "phpsessi..." and "s=" with a long hexadecimal value are
// dropped up to the next '&'; a final '&' is removed.
void appendCleanAddress(const char* address, TextWriter& out);

// True when `list` holds `address`, compared whole with letter case ignored.
bool containsFileAddress(const LinkList& list, const char* address);

class TopicMedia final : public MessageMedia {
 public:
  explicit TopicMedia(const MediaContext& context) : context_(context) {}

  // Saves every attachment linked from `page` (when attachments are saved).
  void saveAttachmentsOfPage(const char* page);

  // Resolves `address` against `base`, records it in downloadedFiles and
  // saves it; on success appends the local file name to `linkOutput` (when
  // given) and returns true. Nothing is fetched for an address taken before.
  bool saveAttachment(const char* address, const JobContext& base, OutputBuffer* linkOutput);
  // `address` is an absolute address without its scheme; refuses HTML.
  bool saveImage(const char* address, bool secure, OutputBuffer& linkOutput);

  const char* rewriteImage(const char* tag, OutputBuffer& out) override;
  const char* rewriteLink(const char* tag, OutputBuffer& out, bool& linkOpen) override;

  // `value` is an href value: true when the link wraps an image and leads to
  // an image page of another host whose full image was saved; the opening
  // link to that image is then written.
  bool isThumbnailLink(const char* value, OutputBuffer& out);
  bool followThumbnailLink(const char* value, OutputBuffer& out);

 private:
  bool takeAddress(const JobContext& job);
  bool fetchFile(JobContext& job, bool imageMode, OutputBuffer* linkOutput);
  bool isOnForumHost(const char* host) const;
  // The name an earlier run saved `address` under, when that file is still
  // there; empty otherwise.
  std::string keptName(const char* address) const;

  MediaContext context_;
};

}  // namespace quillstash
