// SPDX-License-Identifier: MIT
#pragma once

// Reading the table layout of a page when no forum or topic link was found by
// rules: survey the tables that carry a width attribute, choose the family of
// tables (cells per row, nesting depth) that holds most rows, classify the
// columns of that family by the links their cells begin with, settle on one
// link column, and walk the rows with a row routine that takes the link of
// that column. Pages are modified in place: scripts are blanked, and the topic
// classifier hides rows it wants later walks to pass over.
//
// At most kMaxTables tables are recorded (further ones are neither counted nor
// walked) and at most kMaxColumns columns classified (further cells are
// passed over). Nested tables are followed with an explicit stack, so no depth
// of nesting exhausts the thread's stack.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/settings.h"
#include "crawler/link_lists.h"

namespace quillstash {

// One table found by the layout survey of a page.
struct TableStat {
  std::uint32_t rowCount = 0;  // row starts met in the table's own body
  std::uint32_t maxCells = 0;  // most cell starts between a row start and its end
  std::uint32_t depth = 0;     // 1 at the top level, one more per enclosing table
  std::uint32_t reserved = 0;
};

// Class of a table column. Classifiers write the low byte; kColumnDisabled is
// written whole and reads as 255 (low byte) or 65535 (low 16 bits).
using ColumnClass = std::int32_t;
inline constexpr ColumnClass kColumnNoLink = 0;
inline constexpr ColumnClass kColumnUnknownLink = 1;
inline constexpr ColumnClass kColumnForumLink = 2;
inline constexpr ColumnClass kColumnTopicLink = 3;
inline constexpr ColumnClass kColumnOtherLink = 4;
inline constexpr ColumnClass kColumnForumShapedLink = 5;
inline constexpr ColumnClass kColumnDisabled = -1;

inline constexpr std::size_t kMaxTables = 1024;
inline constexpr std::size_t kMaxColumns = 100;

using ColumnClasses = std::array<ColumnClass, kMaxColumns>;

// The work areas of one page's table analysis: the table survey and the
// column classes. Made zero-filled (makeTableSurvey) by whoever analyses a
// page and kept across the pages of one forum; one thread.
struct TableSurvey {
  std::array<TableStat, kMaxTables> tableStats{};
  ColumnClasses columnClasses{};
};

inline std::unique_ptr<TableSurvey> makeTableSurvey() { return std::make_unique<TableSurvey>(); }

// How many characters the row routines of one walk may read in all: rows that
// overlap without end (row starts with no row end, tables nested without
// end) would otherwise make a walk read the page once per row. A real page is
// read about once; the walk stops calling routines when the budget is spent.
class ReadBudget {
 public:
  explicit ReadBudget(std::size_t characters) : left_(characters) {}
  // Takes one character; false once the budget is spent.
  bool spend() {
    if (left_ == 0) return false;
    --left_;
    return true;
  }
  bool spent() const { return left_ == 0; }

 private:
  std::size_t left_;
};

// One row handed to a row routine.
struct TableRow {
  char* page;              // start of the page (rows are hidden by writing before `start`)
  char* start;             // just after the '<' of the row's "<tr"
  ColumnClasses& classes;  // the analysed page's column classes
  ReadBudget& budget;      // shared by every row of the walk
  LinkEnds& linkEnds;      // shared by every row of the walk; skip values that are tooLong()
};

// Called for each row of each kept table. It may write into the page only at
// or before its own row start.
using RowRoutine = std::function<void(TableRow& row)>;

// Overwrites every script (from "<scri" to the '>' after "</scri") with blanks.
void blankScripts(char* page);

// Clears record.tableStats, blanks scripts and records every table with a
// width attribute: its row count, its most cells in a row and its depth.
void surveyTables(char* page, TableSurvey& record);

// Sum of the row counts of the tables of the family `key`, up to the first
// table without rows.
std::uint32_t layoutScore(const TableSurvey& record, LayoutKey key);

// The family with most rows among 3 to 19 cells per row and depths 0 to 4;
// ties go to fewer cells, then to less depth. (0, 0) when none qualifies.
LayoutKey chooseLayout(const TableSurvey& record);

// Marks every table outside the family `key` (up to the first table without
// rows) as not walked.
void keepLayout(TableSurvey& record, LayoutKey key);

// surveyTables, chooseLayout into state.indexLayout, keepLayout.
void chooseIndexLayout(char* page, TableSurvey& record, CrawlState& state);

// surveyTables; while no topic family is confirmed, the family chosen here
// becomes the candidate, or the confirmed family when the previous page chose
// it too; keeps the confirmed family, else the candidate.
void chooseTopicLayout(char* page, TableSurvey& record, CrawlState& state);

// Sets every column class to 0 and runs `classify` over every row of every
// kept table.
void classifyColumns(char* page, TableSurvey& record, const RowRoutine& classify);

// Runs `handle` over every row of every kept table; the classes are kept.
void walkRows(char* page, TableSurvey& record, const RowRoutine& handle);

// Row classifiers for classifyColumns. The topic classifier hides a row that
// has a colspan cell in an unclassified column (its "<t" becomes "__") and
// disables column 0.
void classifyForumRow(TableRow& row, const CrawlState& state);
void classifyTopicRow(TableRow& row, const CrawlState& state);

// Reduce the classes to the link column: the forum columns (else the columns
// of unknown links); the first topic column (else unknown, forum and disabled
// columns).
void settleForumColumns(TableSurvey& record);
void settleTopicColumns(TableSurvey& record);

// --- Helpers for row routines ---

// What a closing header cell "</th" does in a row scan.
enum class HeaderCellEnd : std::uint8_t { kNextColumn, kEndsRow, kNothing };

// Scans a row from its start: "</tr" ends it, "</td" (and "</th" as `th`
// says) moves to the next column, and at each "<td" start `onCell(tag,
// column)` runs with the position of its '<'; it returns false to end the
// row. Every character read is taken from the row's budget.
template <class OnCell>
void scanRowCells(TableRow& row, HeaderCellEnd th, OnCell&& onCell);

// The cell content test: from the "<td" tag at `tdTag`, skips the tag, blanks,
// entities and other tags; returns the '<' of an a tag when that comes before
// any text, "</td" or "</tr", else nullptr.
const char* cellLink(const char* tdTag, ReadBudget& budget);

// The href value of the a tag at `aTag` (the blank, "hre", an optional 'f'
// and the run of '=', blanks and quotes skipped), or nullptr.
const char* cellHref(const char* aTag, ReadBudget& budget);

// True when the tag at `tag` has a blank followed by the letters colspan
// before its '>'.
bool tagHasColspan(const char* tag, ReadBudget& budget);

// Low byte (classifiers) and low 16 bits (row handlers) of a column's class;
// columns beyond the array read as 0.
std::uint8_t classLowByte(const ColumnClasses& classes, std::size_t column);
std::uint16_t classLow16(const ColumnClasses& classes, std::size_t column);

// ---

bool closesTag(const char* p, const char* name);

template <class OnCell>
void scanRowCells(TableRow& row, HeaderCellEnd th, OnCell&& onCell) {
  std::size_t column = 0;
  for (const char* p = row.start; *p != '\0' && row.budget.spend(); ++p) {
    if (*p != '<') continue;
    if (p[1] == '/') {
      if (closesTag(p, "tr")) return;
      if (closesTag(p, "td")) {
        ++column;
      } else if (closesTag(p, "th")) {
        if (th == HeaderCellEnd::kEndsRow) return;
        if (th == HeaderCellEnd::kNextColumn) ++column;
      }
    } else if ((p[1] | 0x20) == 't' && (p[2] | 0x20) == 'd') {
      if (!onCell(p, column)) return;
    }
  }
}

}  // namespace quillstash
