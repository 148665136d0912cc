// SPDX-License-Identifier: MIT
#include "text/wildcard.h"

#include "text/strings.h"

namespace quillstash {

namespace {

// A session id is a run of at least this many hexadecimal digits; shorter
// values (topic numbers, page numbers) are ordinary parameters.
constexpr int kMinSessionIdDigits = 16;

// At `p`: one or more letters, '=', then at least kMinSessionIdDigits
// hexadecimal digits. Returns the end of the hexadecimal run, or nullptr.
const char* sessionParameterEnd(const char* p) {
  if (!isAsciiLetter(*p)) return nullptr;
  while (isAsciiLetter(*p)) ++p;
  if (*p != '=') return nullptr;
  ++p;
  const char* digits = p;
  while (isHexDigit(*p)) ++p;
  return p - digits >= kMinSessionIdDigits ? p : nullptr;
}

// What '$' consumes at `q`: a session parameter with its leading '&' (or
// "&amp;"), or one without and then with its trailing separator; else nothing.
const char* skipOptionalSession(const char* q) {
  if (*q == '&') {
    const char* r = startsWithFolded(q + 1, "amp;") ? q + 5 : q + 1;
    const char* end = sessionParameterEnd(r);
    return end != nullptr ? end : q;
  }
  const char* end = sessionParameterEnd(q);
  if (end == nullptr) return q;
  if (*end == '&') {
    ++end;
    if (startsWithFolded(end, "amp;")) end += 4;
  }
  return end;
}

}  // namespace

PatternMatch matchPattern(const char* text, const char* pattern) {
  const char* current = pattern;  // moves past each '*' once the part before it matched
  const char* start = text;
  for (; *start != '\0'; ++start) {
    const char* t = start;
    const char* p = current;
    const char* quote = nullptr;
    bool failed = false;
    for (; *p != '\0' && !failed; ++p) {
      switch (*p) {
        case '?':
          failed = *t == '\0';
          if (!failed) ++t;
          break;
        case '#':
          if (!isDecimalDigit(*t)) failed = true;
          while (isDecimalDigit(*t)) ++t;
          break;
        case '@':
          if (!isHexDigit(*t)) failed = true;
          while (isHexDigit(*t)) ++t;
          break;
        case '|':
          failed = *t != '"' && *t != '\'';
          if (!failed) quote = t++;
          break;
        case '$': t = skipOptionalSession(t); break;
        case '*':
          // The part before the gap is settled for good: later start
          // positions are tried with the rest of the pattern only.
          current = p + 1;
          break;
        default:
          failed = *t == '\0' || !foldedEqual(*t, *p);
          if (!failed) ++t;
          break;
      }
    }
    if (!failed) return {true, quote != nullptr ? quote : t};
  }
  return {false, start};
}

}  // namespace quillstash
