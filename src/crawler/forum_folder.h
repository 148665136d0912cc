// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "core/activity_log.h"
#include "crawler/link_lists.h"
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

// Makes the folder of the forum at `address`, named by the end of
// state.outputPath (cleaned, or the name an earlier run of the archive gave
// that forum), and removes the .part files a killed run left in it. False
// when it cannot be made: the line says why and the forum counts as failed.
bool makeForumDirectory(const char* address, CrawlState& state, ActivityLog& log);

}  // namespace quillstash
