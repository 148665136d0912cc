// SPDX-License-Identifier: MIT
// Input: a switch byte (bit 0 prefix, bit 1 pattern, bit 2 suffix), the three
// pattern lines, then the page; runs the forum and the topic pattern scans.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillstash;
  if (size == 0) return 0;
  const std::uint8_t switches = *data++;
  --size;
  std::string prefix = fuzz::takeLine(data, size, 254);
  std::string pattern = fuzz::takeLine(data, size, 254);
  std::string suffix = fuzz::takeLine(data, size, 254);
  std::vector<char> page = fuzz::takePage(data, size);
  fuzz::World world("http://forum.example/index.php");
  Settings& s = world.state.settings;
  s.useForumLinkPrefix = s.useTopicLinkPrefix = (switches & 1) != 0;
  s.useForumLinkPattern = s.useTopicLinkPattern = (switches & 2) != 0;
  s.useForumLinkSuffix = s.useTopicLinkSuffix = (switches & 4) != 0;
  s.forumLinkPrefix.assign(prefix);
  s.topicLinkPrefix.assign(prefix);
  s.forumLinkPattern.assign(pattern);
  s.topicLinkPattern.assign(pattern);
  s.forumLinkSuffix.assign(suffix);
  s.topicLinkSuffix.assign(suffix);
  fuzz::CountingSink sink;
  fuzz::CountingWriter writer;
  detectForums(page.data(), world.state, sink);
  detectTopics(page.data(), world.state, writer);
  return 0;
}
