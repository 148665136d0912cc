// SPDX-License-Identifier: MIT
// Input: up to eight stored links (one a line), an empty line, then the candidate text.
#include "fuzz_support.h"
#include "text/link_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quillstash::LinkList list;
  for (int i = 0; i < 8 && size > 0; ++i) {
    std::string line = quillstash::fuzz::takeLine(data, size, 8188);
    if (line.empty()) break;
    list.push_back(line.c_str());  // stored texts end at their first NUL
  }
  std::vector<char> candidate = quillstash::fuzz::takePage(data, size);
  const char* position = candidate.data();
  const std::string* hit = quillstash::findLink(list, position);
  if (hit == nullptr && position != candidate.data()) __builtin_trap();
  if (position < candidate.data() || position > candidate.data() + candidate.size() - 1) __builtin_trap();
  return 0;
}
