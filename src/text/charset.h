// SPDX-License-Identifier: MIT
#pragma once

// Page text into UTF-8: the charset a page declares (its Content-Type header,
// then a <meta> tag), and the conversion of a fetched page on arrival, so that
// names, topic files and the log hold UTF-8 whatever the board sent.

#include <cstddef>
#include <string>
#include <string_view>

#include "text/page_block.h"

namespace quillstash {

// The value of the Content-Type field of a response header (the text before
// its blank line), or empty.
std::string_view contentTypeOf(std::string_view header);

// The charset a page declares: the charset parameter of `contentType`, else
// that of the first <meta charset=...> or <meta http-equiv=... content=...>
// in the page's first 64 KiB. Empty when neither names one.
std::string declaredCharset(std::string_view contentType, std::string_view page);

// True when `text` is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// The page as UTF-8 into `out`, converted from `charset` (ISO-8859-1 read as
// windows-1252, as browsers do). A page declared UTF-8 or ASCII, or declaring
// nothing and valid as UTF-8, is left alone (false, `out` untouched);
// undeclared bytes that are not UTF-8, or a charset the system does not know,
// are read as windows-1252. A byte the charset does not define becomes U+FFFD.
bool convertToUtf8(std::string_view page, std::string_view charset, std::string& out);

// Converts the first `length` bytes of `page` in place by the rules above
// and returns the new length. A converted page longer than the block is cut
// at the last whole character that fits.
std::size_t convertPageToUtf8(PageBlock& page, std::size_t length, std::string_view contentType);

}  // namespace quillstash
