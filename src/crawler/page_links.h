// SPDX-License-Identifier: MIT
#pragma once

// Finding the link to the next page in a page-navigation block ("Pages (3):",
// "Goto page", "Page:", a "pagelink" element), where the current page is
// shown as a bare number and the other pages as links.

namespace quillstash {

// The '<' of the link that follows the current page number of the first
// navigation block that has one (the caller tests it for "<a" / "<A" and
// takes the href), or the page's terminating NUL. Reads only; keeps no state.
// Every position is read a bounded number of times.
const char* findNextPageLink(const char* page);

}  // namespace quillstash
