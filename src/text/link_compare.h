// SPDX-License-Identifier: MIT
#pragma once

// Comparison of links that ignores what differs between two spellings of the
// same forum or topic address: scheme and host when one side is relative,
// parameter separators ("&", "&amp;"), session parameters (sid=, phpsessi...,
// s= with a long hexadecimal value) and letter case.

#include <string>
#include <vector>

#include "text/text_writer.h"

namespace quillstash {

// Links taken so far, in the order they were taken. Entries are appended and
// the whole list is emptied at once; the order carries no other meaning.
using LinkList = std::vector<std::string>;

// True when the stored link `stored` (NUL-terminated) equals the candidate at
// `candidate` under the rules above. The candidate ends at NUL or a quote.
// On a match `*candidateEnd` (when given) receives the candidate's end.
bool linkEquals(const char* stored, const char* candidate, const char** candidateEnd = nullptr);

// The first entry of `list` equal to the candidate, or nullptr. On a hit the
// candidate position moves to the candidate's end (its closing quote or NUL);
// on a miss it is unchanged.
const std::string* findLink(const LinkList& list, const char*& candidate);

// Sets `parameter` ("name=value"; a leading '&' is ignored) in the address held
// in `address` (NUL-terminated, `capacity` bytes including the NUL): the first
// query parameter whose text begins with the name is removed, then the
// parameter is appended after '?' or '&'. Returns false and leaves the address
// unchanged when the result would not fit.
bool applyLinkParameter(char* address, std::size_t capacity, const char* parameter);

}  // namespace quillstash
