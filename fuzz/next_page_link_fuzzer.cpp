// SPDX-License-Identifier: MIT
// Input: a page.
#include "crawler/page_links.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> page = quillstash::fuzz::takePage(data, size);
  const char* at = quillstash::findNextPageLink(page.data());
  if (at < page.data() || at > page.data() + page.size() - 1) __builtin_trap();
  if (*at != '\0' && !(at[0] == '<' && (at[1] | 0x20) == 'a')) __builtin_trap();
  return 0;
}
