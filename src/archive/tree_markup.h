// SPDX-License-Identifier: MIT
#pragma once

// The cleaner for messages read as an element tree (the posts an engine
// profile finds). It writes the small markup of a topic file and nothing
// else: text, bold, italic, underline, line breaks, paragraphs, quotes (with
// the line that names who is quoted), code blocks with their line breaks,
// lists and tables, all without attributes; links and images go to the
// MessageMedia, as in the cleaners of markup.h. Scripts, styles, forms and
// every other element leave only their text, or nothing.

#include <string_view>
#include <vector>

#include "archive/markup.h"
#include "archive/output_buffer.h"
#include "html/tree.h"

namespace quillstash {

// Appends `text` with '&', '<' and '>' written as entities.
void appendEscaped(OutputBuffer& out, std::string_view text);

// The elements of one message the profile marks for the cleaner: dropped
// subtrees, blocks written as quotes (besides <blockquote>), the lines that
// name who is quoted (besides <cite>) and code blocks (besides <pre>).
struct MessageParts {
  std::vector<html::Node> dropped;
  std::vector<html::Node> quotes;
  std::vector<html::Node> quoteTitles;
  std::vector<html::Node> codes;
  std::string quoteAuthor;  // attribute of a quote naming who is quoted; empty for none
};

// Appends the cleaned message below `message`, leaving out the dropped parts. Links to `forumHost` (host and port as an
// address writes them) leave only their text, as do relative ones. Elements nested deeper than a fixed limit give
// only their text, so no page can exhaust the stack.
void writeMessageTree(html::Node message, const MessageParts& parts, std::string_view forumHost, OutputBuffer& out,
                      MessageMedia& media);

}  // namespace quillstash
