// SPDX-License-Identifier: MIT
#pragma once

// The cleaners that turn the HTML of one author or message cell into the
// small markup of a topic file: text, bold, italic, underline, line breaks and
// cleaned nested tables. Scripts and every other tag are dropped; images and
// links of a message go to a MessageMedia.
//
// Every function takes a position in a NUL-terminated page text, appends to
// `out` and returns the position where it stopped (never past the NUL).
// Nested tables are followed to any depth without recursion, so no page can
// exhaust the stack.

#include "archive/output_buffer.h"

namespace quillstash {

// What becomes of the images and links of a message (saved, shown from their
// remote address, turned into smiley codes, or dropped).
class MessageMedia {
 public:
  virtual ~MessageMedia() = default;
  // `tag` is at the '<' of "<img "; appends the replacement and returns the
  // position after the tag.
  virtual const char* rewriteImage(const char* tag, OutputBuffer& out) = 0;
  // `tag` is at the '<' of "<a "; appends the replacement, sets `linkOpen`
  // when it wrote an opening link tag (and may clear it), returns the position
  // after the tag.
  virtual const char* rewriteLink(const char* tag, OutputBuffer& out, bool& linkOpen) = 0;
};

// Removes trailing blanks, TABs, CRs and LFs from `out`, then writes "<BR>"
// unless it now ends with "<BR>" or "<TD>".
void addLineBreak(OutputBuffer& out);

// `from` at any position: returns the position after the next closing script
// tag, or the end of the text. Appends nothing.
const char* skipScript(const char* from);

// `from` at the '<' of a tag: copies the tag name and its harmless attributes,
// dropping class, style, every attribute whose name begins with 'o' (event
// handlers), attributes with a script or data URL, and anything that is not a
// well-formed attribute; always ends the copy with '>'. Returns the position
// after the tag.
const char* copyTagPlain(const char* from, OutputBuffer& out);

// `from` just after the opening tag of a table inside an author cell: appends
// its text as lines. Returns the position after its closing tag or the end.
const char* flattenTable(const char* from, OutputBuffer& out);

// `from` at the '<' of a table inside a message: appends a cleaned copy.
// `linkOpen` is the message's link-open state; an inner table leaves it as it
// found it. Returns the position after the closing tag or the end.
const char* copyTable(const char* from, OutputBuffer& out, MessageMedia& media, bool& linkOpen);

// Append the cleaned author or message text and stop after the first closing
// "td" or "tr" tag outside nested tables, or at the end of the text.
const char* cleanAuthorText(const char* from, OutputBuffer& out);
const char* cleanMessageText(const char* from, OutputBuffer& out, MessageMedia& media);

}  // namespace quillstash
