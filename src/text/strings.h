// SPDX-License-Identifier: MIT
#pragma once

// String primitives shared by every subsystem: appending text and numbers at a
// bounded write position, reading numbers, turning HTML text into safe file and
// folder names, and the keyword test on links.
//
// Texts are NUL-terminated single-byte strings. Reading operations take a read
// position by reference and leave it where they stopped. Writing operations
// append at a TextWriter and store no terminator. None of them allocates.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "text/text_writer.h"

namespace quillstash {

// Letters compare without regard to case by OR-ing both bytes with 0x20. This
// also makes a few non-letter pairs equal ('[' and '{', CR and '-'); every
// case-insensitive comparison of the program uses exactly this rule.
inline bool foldedEqual(char a, char b) {
  return (static_cast<unsigned char>(a) | 0x20) == (static_cast<unsigned char>(b) | 0x20);
}

// True when `text` begins with `prefix` under foldedEqual. A NUL in `text`
// ends the comparison (never read past it). Inline: every scanner calls it
// at almost every position of a page.
inline bool startsWithFolded(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (*text == '\0' || !foldedEqual(*text, *prefix)) return false;
  }
  return true;
}

// The next '<' at or after `pos`, or the text's terminating NUL: the scanners
// pass over the text between tags with it in one step.
inline const char* nextTagStart(const char* pos) {
  const char* tag = std::strchr(pos, '<');
  return tag != nullptr ? tag : pos + std::strlen(pos);
}

// Position of the first occurrence of `needle` in `text` under foldedEqual,
// or nullptr. An empty needle is found at `text`.
const char* findFolded(const char* text, const char* needle);

bool isDecimalDigit(char c);
bool isHexDigit(char c);
bool isAsciiLetter(char c);

void appendText(TextWriter& out, const char* text);

// Decimal, no leading zeros, no separators ("0" for zero).
void appendDecimal(TextWriter& out, std::uint32_t value);

// At least two digits with a leading zero below 10. A value above 99 is written
// whole ("100"): a wrapped number would give a later forum an earlier one's name.
void writeTwoDigits(TextWriter& out, std::uint32_t value);

// At least five digits with leading zeros; a value above 99,999 is written whole
// ("123456") for the same reason.
void writeFiveDigits(TextWriter& out, std::uint32_t value);

// Reads the decimal digits at `pos` (wrapping on overflow) and leaves `pos` on
// the first non-digit. No digits give 0 and do not move `pos`. No sign is read.
std::uint32_t parseDecimal(const char*& pos);

// Writes the code point `code` (at most 0x10FFFF, not a surrogate) in UTF-8
// at `out`, one to four bytes, and returns the position after them.
char* putUtf8(char* out, std::uint32_t code);

// Copies the visible text at `pos` as a file-name-safe name: stops at "</", at
// the end of the text, or when `limit` characters other than spaces have been
// written. Tags are skipped, runs of white space and control characters become
// one space, "&amp;" becomes '&', "&lt;" / "&gt;" a space, "&quot;" and a
// literal double quote an apostrophe, '*' '?' ':' become '_', '/' '\' '|'
// become '-', and a '>' is dropped with the character after it.
void copyLinkText(const char*& pos, TextWriter& out, std::uint32_t limit);

// As copyLinkText with the limit fixed at 40, also stopping before a double
// quote or an apostrophe (a value taken from an attribute or a header), and
// without the dots and blanks it would leave at the end of the name.
void copyNamePart(const char*& pos, TextWriter& out);

// True when `name` (one file or folder name) is one Windows keeps for a
// device: CON, PRN, AUX, NUL, COM1 to COM9 or LPT1 to LPT9 in any case, alone
// or before a dot ("nul.txt"), blanks before the dot included ("con .txt").
bool isDeviceName(std::string_view name);

// Makes `name` (one file or folder name, as the name makers leave it: without
// the characters <>:"/\|?* or controls) one that every system the archive may
// be copied to accepts: trailing dots and blanks are removed, and a device
// name gets an '_' after its first part ("Con" -> "Con_", "aux.txt" ->
// "aux_.txt"). Other names are left as they are.
void makePortableName(std::string& name);

// Cleans the last component of the NUL-terminated path (the text after its last
// path separator) in place: "&amp;" becomes '&', "&#N;" the character N in
// UTF-8 (or '_' for a control character, a blank, a character no file name may
// hold or a code that is no character), then
// trailing '.' and ' ' are removed from the end of the path. The path only ever
// gets shorter.
void cleanPathComponent(char* path);

// One entry of a keyword table: the keyword and the class it gives a link.
struct KeywordEntry {
  const char* keyword;
  std::uint8_t linkClass;
};

// The entry's class when its keyword occurs (case-insensitively) in the last
// segment of `link`, else 0. The last segment starts at the last '/' followed by
// a letter; the link ends at NUL, a quote, '>' or '#'.
std::uint8_t linkContains(const char* link, const KeywordEntry& entry);

}  // namespace quillstash
