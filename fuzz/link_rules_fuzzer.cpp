// SPDX-License-Identifier: MIT
// Input: a page for the built-in forum and topic rules.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillstash;
  std::vector<char> page = fuzz::takePage(data, size);
  fuzz::World world("http://forum.example/board/index.php");
  fuzz::CountingSink sink;
  fuzz::CountingWriter writer;
  detectForums(page.data(), world.state, sink);
  detectTopics(page.data(), world.state, writer);
  if (world.state.outputPath.view() != "/out/Forum") __builtin_trap();
  return 0;
}
