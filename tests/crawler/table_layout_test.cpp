// SPDX-License-Identifier: MIT
#include "crawler/table_layout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "crawler_fixtures.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

// A table with a width attribute of `rows` rows of `cells` cells; `cell` fills each cell.
std::string table(int rows, int cells, const std::string& cell = "x", bool width = true) {
  std::string t = width ? "<table width=\"100%\">" : "<table border=0>";
  for (int r = 0; r < rows; ++r) {
    t += "<tr>";
    for (int c = 0; c < cells; ++c) t += "<td>" + cell + "</td>";
    t += "</tr>\n";
  }
  return t + "</table>";
}

// A table whose one row holds `inner` in its one cell.
std::string wrap(const std::string& inner) { return "<table width=1><tr><td>" + inner + "</td></tr></table>"; }

TEST(TableSurvey, startsZeroFilled) {
  auto record = makeTableSurvey();
  EXPECT_EQ(record->tableStats[kMaxTables - 1].rowCount, 0u);
  EXPECT_EQ(record->columnClasses[0], kColumnNoLink);
}

TEST(TableSurvey, recordsRowsCellsAndDepthOfTablesWithAWidth) {
  std::string page = table(2, 3) + wrap(table(4, 5)) + table(3, 7, "x", false);
  auto record = makeTableSurvey();
  surveyTables(page.data(), *record);
  const auto& s = record->tableStats;
  EXPECT_EQ(s[0].rowCount, 2u);
  EXPECT_EQ(s[0].maxCells, 3u);
  EXPECT_EQ(s[0].depth, 1u);
  EXPECT_EQ(s[1].maxCells, 1u);
  EXPECT_EQ(s[2].rowCount, 4u);
  EXPECT_EQ(s[2].maxCells, 5u);
  EXPECT_EQ(s[2].depth, 2u);
  EXPECT_EQ(s[3].rowCount, 0u);  // the table without a width is not recorded
}

TEST(TableSurvey, tableWithoutWidthIsInvisibleButItsNestedTablesAreNot) {
  std::string page = "<table><tr><td>" + table(6, 4) + "</td></tr></table>";
  auto record = makeTableSurvey();
  surveyTables(page.data(), *record);
  EXPECT_EQ(record->tableStats[0].rowCount, 6u);
  EXPECT_EQ(record->tableStats[0].depth, 1u);
  EXPECT_EQ(chooseLayout(*record), (LayoutKey{4, 1}));
}

TEST(TableSurvey, scriptsHoldingTableMarkupAreBlanked) {
  std::string page = "<script>document.write('<table width=1><tr><td>a<td>b<td>c</tr>');</script>" + table(2, 4);
  auto record = makeTableSurvey();
  surveyTables(page.data(), *record);
  EXPECT_EQ(record->tableStats[0].maxCells, 4u);
  EXPECT_EQ(page.find("document"), std::string::npos);
  EXPECT_EQ(page.find("<table"), page.rfind("<table"));
}

TEST(TableLayout, choosesTheFamilyWithMostRowsAndBreaksTiesTowardsSmallerTables) {
  // 40 rows of two cells never qualify; 20 forum rows of five cells at depth 2 win.
  std::string page = table(40, 2) + wrap(table(20, 5));
  auto record = makeTableSurvey();
  surveyTables(page.data(), *record);
  EXPECT_EQ(chooseLayout(*record), (LayoutKey{5, 2}));

  std::string tie = table(10, 6) + table(10, 4) + wrap(table(10, 4));
  surveyTables(tie.data(), *record);
  EXPECT_EQ(chooseLayout(*record), (LayoutKey{4, 1}));

  std::string none = table(5, 2) + table(5, 20);
  surveyTables(none.data(), *record);
  EXPECT_FALSE(chooseLayout(*record).isSet());
}

TEST(TableLayout, aTableWithoutRowsEndsScoringAndPruning) {
  std::string page = table(3, 4) + "<table width=1></table>" + table(9, 5);
  auto record = makeTableSurvey();
  surveyTables(page.data(), *record);
  EXPECT_EQ(chooseLayout(*record), (LayoutKey{4, 1}));
  keepLayout(*record, LayoutKey{4, 1});
  EXPECT_EQ(record->tableStats[2].maxCells, 5u);  // not pruned

  int rows = 0;
  walkRows(page.data(), *record, [&](TableRow&) { ++rows; });
  EXPECT_EQ(rows, 3 + 9);
}

TEST(TableLayout, topicFamilyIsConfirmedByTwoPagesInARow) {
  test::CrawlWorld world;
  auto record = makeTableSurvey();
  std::string four = table(5, 4);
  std::string five = table(5, 5);
  chooseTopicLayout(four.data(), *record, world.state);
  EXPECT_EQ(world.state.topicLayoutCandidate, (LayoutKey{4, 1}));
  EXPECT_FALSE(world.state.topicLayoutConfirmed.isSet());
  chooseTopicLayout(five.data(), *record, world.state);
  chooseTopicLayout(five.data(), *record, world.state);
  EXPECT_EQ(world.state.topicLayoutConfirmed, (LayoutKey{5, 1}));
  // Once confirmed, a page of another family keeps the confirmed one.
  chooseTopicLayout(four.data(), *record, world.state);
  EXPECT_EQ(record->tableStats[0].maxCells, 0u);
}

std::string forumCell(int f) { return "<a href=\"viewforum.php?f=" + std::to_string(f) + "\">Forum</a>"; }

TEST(ColumnClasses, memberColumnStaysOtherAndUnknownLinksCanBecomeForums) {
  std::string page =
      "<table width=1>"
      "<tr><td><a href='memberlist.php'>m</a></td><td><a href='x.php?id=1'>?</a></td><td>t</td></tr>"
      "<tr><td>" +
      forumCell(1) + "</td><td>" + forumCell(2) +
      "</td><td>t</td></tr>"
      "<tr><th>head</th><td>a</td><td>&nbsp; <b><A HREF='profile.php?u=1'>u</A></b></td></tr></table>";
  test::CrawlWorld world;
  auto record = makeTableSurvey();
  chooseIndexLayout(page.data(), *record, world.state);
  EXPECT_EQ(world.state.indexLayout, (LayoutKey{3, 1}));
  classifyColumns(page.data(), *record, [&](TableRow& row) { classifyForumRow(row, world.state); });
  EXPECT_EQ(record->columnClasses[0], kColumnOtherLink);
  EXPECT_EQ(record->columnClasses[1], kColumnForumLink);
  EXPECT_EQ(record->columnClasses[2], kColumnOtherLink);  // "</th" moves on a column for forums
  settleForumColumns(*record);
  EXPECT_EQ(record->columnClasses[0], kColumnNoLink);
  EXPECT_EQ(record->columnClasses[1], kColumnForumLink);
  EXPECT_EQ(record->columnClasses[2], kColumnNoLink);
}

TEST(ColumnClasses, forumShapeMarksForumLinksWithoutKeywords) {
  std::string page = table(3, 3, "<a href='index.php?c=7'>cat</a>");
  test::CrawlWorld world;
  auto record = makeTableSurvey();
  chooseIndexLayout(page.data(), *record, world.state);
  const RowRoutine classify = [&](TableRow& row) { classifyForumRow(row, world.state); };
  classifyColumns(page.data(), *record, classify);
  EXPECT_EQ(record->columnClasses[0], kColumnUnknownLink);
  world.state.forumShape.assign("index.php?c=");
  classifyColumns(page.data(), *record, classify);
  EXPECT_EQ(record->columnClasses[0], kColumnForumLink);
}

TEST(ColumnClasses, topicRowWithColspanIsHiddenAndDisablesTheFirstColumn) {
  std::string page =
      "<table width=1><tr><td colspan=3>Announcements</td></tr>"
      "<tr><td><img></td><td><a href='showthread.php?t=1'>T</a></td><td>x</td></tr></table>";
  test::CrawlWorld world;
  auto record = makeTableSurvey();
  chooseTopicLayout(page.data(), *record, world.state);
  classifyColumns(page.data(), *record, [&](TableRow& row) { classifyTopicRow(row, world.state); });
  EXPECT_EQ(record->columnClasses[0], kColumnDisabled);
  EXPECT_EQ(record->columnClasses[1], kColumnTopicLink);
  EXPECT_NE(page.find("<table width=1>__r><td colspan"), std::string::npos);
  int rows = 0;
  walkRows(page.data(), *record, [&](TableRow&) { ++rows; });
  EXPECT_EQ(rows, 1);
}

TEST(ColumnClasses, settlingTopicsKeepsTheFirstTopicColumnOrElseUnknownForumAndDisabled) {
  auto record = makeTableSurvey();
  ColumnClasses& c = record->columnClasses;
  c = ColumnClasses{};
  c[0] = kColumnDisabled;
  c[1] = kColumnUnknownLink;
  c[2] = kColumnTopicLink;
  c[3] = kColumnTopicLink;
  c[4] = kColumnOtherLink;
  settleTopicColumns(*record);
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(c[1], 0);
  EXPECT_EQ(c[2], kColumnTopicLink);
  EXPECT_EQ(c[3], 0);

  c = ColumnClasses{};
  c[0] = kColumnDisabled;
  c[1] = kColumnForumLink;
  c[2] = kColumnForumShapedLink;
  c[3] = kColumnUnknownLink;
  settleTopicColumns(*record);
  EXPECT_EQ(c[0], kColumnDisabled);
  EXPECT_EQ(c[1], kColumnForumLink);
  EXPECT_EQ(c[2], 0);
  EXPECT_EQ(c[3], kColumnUnknownLink);

  c = ColumnClasses{};
  c[0] = kColumnUnknownLink;
  c[1] = kColumnTopicLink;
  settleForumColumns(*record);
  EXPECT_EQ(c[0], kColumnUnknownLink);  // without a forum column, unknown links stay
  EXPECT_EQ(c[1], 0);
}

TEST(TableBounds, tablesPastTheTableLimitAreNeitherCountedNorWalked) {
  std::string page;
  for (int i = 0; i < 1100; ++i) page += table(1, 3);
  auto record = makeTableSurvey();
  surveyTables(page.data(), *record);
  EXPECT_EQ(layoutScore(*record, LayoutKey{3, 1}), 1024u);
  keepLayout(*record, LayoutKey{3, 1});
  int rows = 0;
  walkRows(page.data(), *record, [&](TableRow&) { ++rows; });
  EXPECT_EQ(rows, 1024);
}

TEST(TableBounds, cellsPastTheColumnLimitArePassedOver) {
  std::string page = table(2, 150, "<a href='viewforum.php?f=1'>f</a>");
  test::CrawlWorld world;
  auto record = makeTableSurvey();
  surveyTables(page.data(), *record);  // no family is kept: every recorded table is walked
  EXPECT_EQ(record->tableStats[0].maxCells, 150u);
  classifyColumns(page.data(), *record, [&](TableRow& row) { classifyForumRow(row, world.state); });
  EXPECT_EQ(record->columnClasses[99], kColumnForumLink);
}

TEST(TableBounds, deepNestingAndEndlessRowsFinishQuickly) {
  const auto started = std::chrono::steady_clock::now();
  // 200,000 nested tables: followed without recursion.
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<table width=1><tr><td>";
  for (int i = 0; i < 200000; ++i) deep += "</td></tr></table>";
  auto record = makeTableSurvey();
  surveyTables(deep.data(), *record);
  EXPECT_EQ(record->tableStats[1023].depth, 1024u);

  // A rowless table first leaves every nested table walked; each row would read to the page's end.
  std::string overlap = "<table width=1></table>" + deep;
  surveyTables(overlap.data(), *record);
  test::CrawlWorld world;
  classifyColumns(overlap.data(), *record, [&](TableRow& row) { classifyForumRow(row, world.state); });

  // Row starts without row ends in a kept table.
  std::string endless = "<table width=1><tr><td>a<td>b<td>c</tr>";
  for (int i = 0; i < 300000; ++i) endless += "<tr><td><b ";
  surveyTables(endless.data(), *record);
  keepLayout(*record, LayoutKey{3, 1});
  classifyColumns(endless.data(), *record, [&](TableRow& row) { classifyForumRow(row, world.state); });
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(90));
}

}  // namespace
}  // namespace quillstash

namespace quillstash {
namespace {

// The number of forum-link columns after the index layout settles.
int settledForumColumns(std::string& page) {
  test::CrawlWorld world;
  auto record = makeTableSurvey();
  chooseIndexLayout(page.data(), *record, world.state);
  if (!world.state.indexLayout.isSet()) return -1;
  classifyColumns(page.data(), *record, [&](TableRow& row) { classifyForumRow(row, world.state); });
  settleForumColumns(*record);
  int forumColumns = 0;
  for (ColumnClass c : record->columnClasses) forumColumns += c == kColumnForumLink;
  return forumColumns;
}

TEST(ColumnClasses, indexPagesOfEachEngineSettleOnOneForumColumn) {
  for (const char* name : {"classic/phpbb2_index.html", "classic/vbulletin3_index.html", "classic/ipb1_index.html"}) {
    std::string page = test::fixturePage(name);
    ASSERT_FALSE(page.empty()) << name;
    EXPECT_EQ(settledForumColumns(page), 1) << name;
  }
}

TEST(ColumnClassesOnSavedPages, realIndexPagesSettleOnOneForumColumn) {
  QUILLSTASH_REQUIRE_CORPUS();
  for (const char* name : {"phpbb2/index-1.html", "vbulletin3/index-1.html"}) {
    std::string page = test::corpusPage(name);
    ASSERT_FALSE(page.empty()) << name;
    EXPECT_EQ(settledForumColumns(page), 1) << name;
  }
}

}  // namespace
}  // namespace quillstash
