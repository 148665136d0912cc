// SPDX-License-Identifier: MIT
#pragma once

// Finds the posts of one topic page and appends one table row per post:
// "<TR>", the author cell, the message cell, "</TR>". Posts are found by the
// user's four post patterns (pattern mode, when the author prefix is switched
// on and not empty) or as table rows whose narrow first cell is followed by
// exactly one more cell (table mode).

#include <cstddef>
#include <cstdint>

#include "core/settings.h"
#include "archive/markup.h"
#include "archive/output_buffer.h"

namespace quillstash {

inline constexpr const char* kCellOpener = "<TD valign=\"top\" align=\"left\">";

// Appends the rows of all posts of `page` (NUL-terminated). In pattern mode a
// byte of the page is replaced by a NUL while one cell is cleaned and put
// back afterwards, so the page must be writable; it is unchanged on return.
// Returns the number of rows (posts) appended.
std::uint32_t extractPosts(char* page, const Settings& settings, OutputBuffer& out, MessageMedia& media);

// The row walkers of table mode. Each scan step costs one unit of `budget`;
// when it runs out the walkers act as if the text ended there, which bounds
// the work on pages built to make row scans quadratic.
struct RowScan {
  std::size_t budget = 0;
  bool spend() {
    if (budget == 0) return false;
    --budget;
    return true;
  }
  // Takes `count` characters at once; false (and nothing taken) when fewer are left.
  bool spend(std::size_t count) {
    if (budget < count) return false;
    budget -= count;
    return true;
  }
};

// `row` at the '<' of a row tag: true when the row is a post (first cell at
// most 20% or 200 wide, exactly two cells of its own, no inline frame).
bool classifyPostRow(const char* row, RowScan& scan);
// Past a post row (and a closing table tag that ends it), or at the next row tag.
const char* skipPostRow(const char* row, RowScan& scan);
// Past the closing tag of this row or at the next row tag; nested tables are
// not skipped, so rows inside a layout row are examined next.
const char* skipOtherRow(const char* row, RowScan& scan);
// `pos` inside a table: past its closing tag, nested tables included.
const char* skipTable(const char* pos, RowScan& scan);

// Find the next "<td" from `from`, skip that tag and clean the cell.
const char* writeAuthorCell(const char* from, OutputBuffer& out);
const char* writeMessageCell(const char* from, OutputBuffer& out, MessageMedia& media);

}  // namespace quillstash
