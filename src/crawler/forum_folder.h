// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "text/text_writer.h"

namespace quillstash {

// Appends the name of the forum's folder to `outputPath` (the output
// directory, which gets a trailing separator first when it has none): the
// index page's title made file-name-safe, at most `maxFileNameChars`
// characters, without a trailing "index" word, leading entities or a trailer
// such as " - Powered by ..."; or "Forum_N" with the smallest N that names
// nothing yet when the title gives no usable name. A name that would be "."
// or ".." also takes the "Forum_N" form, so the folder always lies inside the
// output directory. Returns false when the path does not fit the buffer.
bool nameForumFolder(const char* page, FixedText<8192>& outputPath, std::uint32_t maxFileNameChars);

}  // namespace quillstash
