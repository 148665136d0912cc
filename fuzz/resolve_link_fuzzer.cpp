// SPDX-License-Identifier: MIT
// Input: the typed address line, then the href value (in a page).
#include "crawler/link_lists.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillstash;
  std::string base = fuzz::takeLine(data, size, 16383);
  std::vector<char> page = fuzz::takePage(data, size);
  auto job = makeJobContext();
  job->forumAddress.assign(base);
  for (LinkVariant variant : {LinkVariant::kForum, LinkVariant::kTopic, LinkVariant::kTopicTableWalk}) {
    const char* href = page.data();
    auto record = resolveLink(href, variant, *job);
    if (href < page.data() || href > page.data() + page.size() - 1) __builtin_trap();
    FixedText<CrawlState::kShapeSize> shape;
    recordShape(page.data(), shape, variant == LinkVariant::kForum);
    if (!matchesShape(page.data(), shape.c_str()) && variant != LinkVariant::kForum) __builtin_trap();
  }
  return 0;
}
