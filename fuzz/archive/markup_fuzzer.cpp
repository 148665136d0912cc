// SPDX-License-Identifier: MIT
// Every cleaner over arbitrary cell text, and copyTagPlain at every tag.

#include <cstdint>
#include <string>

#include "core/activity_log.h"
#include "archive/markup.h"
#include "archive/media.h"
#include "null_fetcher.h"

using namespace quillstash;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* page = text.c_str();

  Settings settings;
  loadDefaultSettings(settings);
  settings.saveExternalImages = false;
  settings.linkAllImages = true;
  StringLogView view;
  ActivityLog log(view);
  fuzz::NullFetcher fetcher;
  JobContext currentJob;
  currentJob.forumAddress.assign("http://forum.test/index.php");
  LinkList files;
  TopicMedia media(MediaContext{settings, log, fetcher, currentJob, files, 1, ""});

  OutputBuffer out(0);
  cleanMessageText(page, out, media);
  cleanAuthorText(page, out);
  flattenTable(page, out);
  bool linkOpen = false;
  copyTable(page, out, media, linkOpen);
  const char* end = page + std::char_traits<char>::length(page);
  for (const char* p = page; p < end; ++p) {
    if (*p != '<') continue;
    OutputBuffer tag(0);
    const char* after = copyTagPlain(p, tag);
    if (after <= p || after > end) __builtin_trap();
    // A copied tag ends at its only '>'.
    std::string_view copied = tag.view();
    if (copied.find('>') != copied.size() - 1) __builtin_trap();
  }
  return 0;
}
