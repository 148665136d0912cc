// SPDX-License-Identifier: MIT
#pragma once

// The system's character set converters: a page's bytes in a named charset
// into UTF-8.

#include <string>
#include <string_view>

namespace quillstash::platform {

// Converts `text` from the charset named `charset` (as a page names it, e.g.
// "koi8-r", "Shift_JIS") into UTF-8 in `out`; a byte or sequence the charset
// does not define becomes U+FFFD. False, `out` unspecified, when the system
// does not know the charset.
bool convertCharsetToUtf8(const std::string& charset, std::string_view text, std::string& out);

}  // namespace quillstash::platform
