// SPDX-License-Identifier: MIT
#pragma once

// The wildcard language in which users describe the links and markers of a
// forum engine the built-in rules do not know:
//   '?' any one character        '*' a gap (the rest is searched further on)
//   '#' a decimal number         '@' a hexadecimal number
//   '|' a closing quote (" or ') that becomes the match position
//   '$' an optional session-id parameter (letters, '=', 16+ hex digits)
// Any other character matches itself without regard to case. No escapes.

namespace quillstash {

struct PatternMatch {
  bool found = false;
  // On success: the quote consumed by the last '|' when the pattern has one,
  // else the position just after the matched text. On failure: the end of the text.
  const char* position = nullptr;
};

// Leftmost match of `pattern` in the NUL-terminated `text`. An empty text never
// matches; an empty pattern matches at the start of any other text. Runs in one
// pass per start position without allocation; greedy runs never backtrack.
PatternMatch matchPattern(const char* text, const char* pattern);

}  // namespace quillstash
