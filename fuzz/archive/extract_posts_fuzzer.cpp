// SPDX-License-Identifier: MIT
// Post extraction over arbitrary pages. The first byte picks the mode and
// switches; in pattern mode the next four NUL-free lines are the patterns.

#include <cstdint>
#include <string>

#include "core/activity_log.h"
#include "archive/media.h"
#include "archive/post_extraction.h"
#include "null_fetcher.h"

using namespace quillstash;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::uint8_t flags = data[0];
  std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

  Settings settings;
  loadDefaultSettings(settings);
  settings.saveExternalImages = false;
  settings.linkAllImages = (flags & 0x10) != 0;
  if ((flags & 0x01) != 0) {
    settings.useAuthorPrefix = true;
    settings.useAuthorSuffix = (flags & 0x02) != 0;
    settings.useMessagePrefix = (flags & 0x04) != 0;
    settings.useMessageSuffix = (flags & 0x08) != 0;
    SettingText* patterns[] = {&settings.authorPrefix, &settings.authorSuffix, &settings.messagePrefix,
                               &settings.messageSuffix};
    for (SettingText* pattern : patterns) {
      std::size_t end = input.find('\n');
      if (end == std::string::npos) break;
      pattern->assign(input.substr(0, end));
      input.erase(0, end + 1);
    }
  }

  StringLogView view;
  ActivityLog log(view);
  fuzz::NullFetcher fetcher;
  JobContext currentJob;
  currentJob.forumAddress.assign("http://forum.test/index.php");
  LinkList files;
  TopicMedia media(MediaContext{settings, log, fetcher, currentJob, files, 1, ""});
  OutputBuffer out(0);
  std::string before = input;
  extractPosts(input.data(), settings, out, media);
  if (input != before) __builtin_trap();  // the page must be restored
  return 0;
}
