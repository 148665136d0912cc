// SPDX-License-Identifier: MIT
// Input: a pattern line, then the text.
#include "fuzz_support.h"
#include "text/wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string pattern = quillstash::fuzz::takeLine(data, size, 254);
  std::vector<char> text = quillstash::fuzz::takePage(data, size);
  quillstash::PatternMatch m = quillstash::matchPattern(text.data(), pattern.c_str());
  if (m.position != nullptr && (m.position < text.data() || m.position > text.data() + text.size() - 1))
    __builtin_trap();
  return 0;
}
