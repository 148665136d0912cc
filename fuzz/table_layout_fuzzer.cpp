// SPDX-License-Identifier: MIT
// Input: a page; runs the index route (survey, forum classes, walk) and the
// topic route (candidate and confirmed families, topic classes, topic walk).
#include "crawler/table_layout.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillstash;
  std::vector<char> page = fuzz::takePage(data, size);
  fuzz::World world("http://forum.example/index.php");
  auto record = makeTableSurvey();
  chooseIndexLayout(page.data(), *record, world.state);
  classifyColumns(page.data(), *record, [&](TableRow& row) { classifyForumRow(row, world.state); });
  settleForumColumns(*record);
  std::size_t rows = 0;
  walkRows(page.data(), *record, [&](TableRow&) { ++rows; });

  world.state.forumShape.assign("viewforum.php?f=");
  fuzz::CountingWriter writer;
  for (int pass = 0; pass < 2; ++pass) {
    chooseTopicLayout(page.data(), *record, world.state);
    classifyColumns(page.data(), *record, [&](TableRow& row) { classifyTopicRow(row, world.state); });
    settleTopicColumns(*record);
    walkRows(page.data(), *record, [&](TableRow& row) { walkTopicRow(row, world.state, writer); });
  }
  if (page.back() != '\0') __builtin_trap();
  return 0;
}
