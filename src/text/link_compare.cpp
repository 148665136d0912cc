// SPDX-License-Identifier: MIT
#include "text/link_compare.h"

#include <cstring>

#include "text/address.h"
#include "text/strings.h"

namespace quillstash {

namespace {

// A skipped session parameter runs up to the next '&' and never past the end
// of the link or of an attribute.
bool endsSessionParameter(char c) {
  return isStoredLinkEnd(c) || c == '&' || c == '>';
}

bool startsSessionParameter(const char* p) { return startsNamedSessionId(p) || startsLongHexSessionId(p); }

// Moves past session parameters and parameter separators ("&", "&amp;") at `p`.
const char* skipIgnorable(const char* p) {
  for (;;) {
    if (startsSessionParameter(p)) {
      while (!endsSessionParameter(*p)) ++p;
    } else if (*p == '&') {
      while (*p == '&') {
        ++p;
        if (startsWithFolded(p, "amp;")) p += 4;
      }
    } else {
      return p;
    }
  }
}

enum class LinkForm { kAbsolute, kRootRelative, kRelative };

LinkForm formOf(const char* link) {
  if (startsWithFolded(link, "http")) return LinkForm::kAbsolute;
  if (*link == '/') return LinkForm::kRootRelative;
  return LinkForm::kRelative;
}

// The path of an absolute link: after "http", an optional 's' and ':', up to
// two '/' and the host, from the next '/' on (the link's end when there is none).
const char* pathOf(const char* link) {
  const char* p = link + 4;
  if (*p == 's' || *p == 'S') ++p;
  if (*p == ':') ++p;
  for (int i = 0; i < 2 && *p == '/'; ++i) ++p;
  while (!isStoredLinkEnd(*p) && *p != '/') ++p;
  return p;
}

// What follows the last '/' of the link (all of it when there is none).
const char* lastSegmentOf(const char* link) {
  const char* segment = link;
  for (const char* p = link; !isStoredLinkEnd(*p); ++p) {
    if (*p == '/') segment = p + 1;
  }
  return segment;
}

}  // namespace

bool linkEquals(const char* stored, const char* candidate, const char** candidateEnd) {
  const char* c = candidate;
  const char* t = stored;
  LinkForm cForm = formOf(c);
  LinkForm tForm = formOf(t);
  if (cForm == LinkForm::kAbsolute && tForm == LinkForm::kRootRelative) {
    c = pathOf(c);
  } else if (tForm == LinkForm::kRelative && cForm != LinkForm::kRelative) {
    c = lastSegmentOf(c);
  } else if (cForm == LinkForm::kRootRelative && tForm == LinkForm::kAbsolute) {
    t = pathOf(t);
  } else if (cForm == LinkForm::kRelative && tForm != LinkForm::kRelative) {
    t = lastSegmentOf(t);
  }

  for (;;) {
    c = skipIgnorable(c);
    t = skipIgnorable(t);
    if (isStoredLinkEnd(*t)) break;
    if (isStoredLinkEnd(*c) || !foldedEqual(*c, *t)) return false;
    ++c;
    ++t;
  }
  if (!isStoredLinkEnd(*c)) return false;
  if (candidateEnd != nullptr) *candidateEnd = c;
  return true;
}

const std::string* findLink(const LinkList& list, const char*& candidate) {
  for (const std::string& stored : list) {
    const char* end = nullptr;
    if (linkEquals(stored.c_str(), candidate, &end)) {
      candidate = end;
      return &stored;
    }
  }
  return nullptr;
}

bool applyLinkParameter(char* address, std::size_t capacity, const char* parameter) {
  while (*parameter == '&') ++parameter;
  if (*parameter == '\0') return true;  // nothing to set
  const std::size_t length = ::strnlen(address, capacity);
  if (length >= capacity) return false;  // not a terminated text of this buffer

  const char* nameEnd = parameter;
  while (*nameEnd != '\0' && *nameEnd != '=') ++nameEnd;
  const auto nameLength = static_cast<std::size_t>(nameEnd - parameter);
  const std::size_t parameterLength = nameLength + std::strlen(nameEnd);

  char* query = static_cast<char*>(std::memchr(address, '?', length));
  std::size_t removeFrom = length;
  std::size_t removeTo = length;
  if (query != nullptr && nameLength != 0) {
    // The first parameter that begins with the name, with the '&' after it.
    char* end = address + length;
    for (char* p = query + 1; p < end;) {
      char* next = p;
      while (next < end && *next != '&') ++next;
      if (static_cast<std::size_t>(next - p) >= nameLength) {
        bool same = true;
        for (std::size_t i = 0; i < nameLength && same; ++i) same = foldedEqual(p[i], parameter[i]);
        if (same) {
          removeFrom = static_cast<std::size_t>(p - address);
          removeTo = static_cast<std::size_t>(next - address) + (next < end ? 1 : 0);
          break;
        }
      }
      p = next + 1;
    }
  }

  // The address without the removed parameter, then its separator and the parameter.
  std::size_t kept = length - (removeTo - removeFrom);
  auto keptCharAt = [&](std::size_t i) {
    return i < removeFrom ? address[i] : address[i + (removeTo - removeFrom)];
  };
  bool dropAmpersand = query != nullptr && kept > 0 && keptCharAt(kept - 1) == '&';
  std::size_t base = dropAmpersand ? kept - 1 : kept;
  bool addQuestion = query == nullptr;
  bool addAmpersand = !addQuestion && !(base > 0 && keptCharAt(base - 1) == '?');
  std::size_t total = base + (addQuestion || addAmpersand ? 1 : 0) + parameterLength;
  if (total + 1 > capacity) return false;

  if (removeTo != removeFrom) std::memmove(address + removeFrom, address + removeTo, length - removeTo);
  char* out = address + base;
  if (addQuestion) *out++ = '?';
  if (addAmpersand) *out++ = '&';
  std::memcpy(out, parameter, parameterLength);
  out[parameterLength] = '\0';
  return true;
}

}  // namespace quillstash
