// SPDX-License-Identifier: MIT
#include "text/link_compare.h"

#include <cstdint>
#include <cstring>

#include "text/address.h"
#include "text/strings.h"

namespace quillstash {

namespace {

// A skipped session parameter runs up to the next '&' and never past the end
// of the link or of an attribute.
bool endsSessionParameter(char c) { return isStoredLinkEnd(c) || c == '&' || c == '>'; }

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

// Compared forms, as linkEquals pairs them up. The hash of a form is taken
// over exactly the characters linkEquals compares (after skipIgnorable at each
// position, folded as foldedEqual folds), so two links that linkEquals finds
// equal have the same hash of the forms it compares. Each form has its own kind
// so that, say, a relative entry is never found by an absolute entry's key.
enum class FormKey : std::uint64_t {
  kAbsoluteWhole = 1,  // an absolute entry as it is: found by absolute candidates
  kRootWhole,          // a root-relative entry as it is: by root-relative candidates and absolute ones' paths
  kRelativeWhole,      // a relative entry as it is: by relative candidates and others' last segments
  kAbsolutePath,       // an absolute entry's path: found by root-relative candidates
  kLastSegment,        // an absolute or root-relative entry's last segment: found by relative candidates
};

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ull;

std::uint64_t foldedByte(char c) { return static_cast<unsigned char>(c) | 0x20u; }

// Hash of the characters linkEquals compares from `p` on.
std::uint64_t comparedHash(const char* p) {
  std::uint64_t h = kFnvOffset;
  for (;;) {
    p = skipIgnorable(p);
    if (isStoredLinkEnd(*p)) return h;
    h = (h ^ foldedByte(*p)) * kFnvPrime;
    ++p;
  }
}

// The table key of a compared form: its hash mixed with its kind.
std::uint64_t formKey(std::uint64_t hash, FormKey kind) {
  std::uint64_t x = hash ^ (static_cast<std::uint64_t>(kind) * 0x9e3779b97f4a7c15ull);
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}

std::uint64_t foldedHash(std::string_view text) {
  std::uint64_t h = kFnvOffset;
  for (char c : text) h = (h ^ foldedByte(c)) * kFnvPrime;
  return formKey(h, FormKey{0});
}

}  // namespace

void LinkHashTable::insert(std::uint64_t hash, std::uint32_t entry) {
  if ((used_ + 1) * 2 > slots_.size()) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    used_ = 0;
    for (const Slot& slot : old) {
      if (slot.entry != kEmpty) insert(slot.hash, slot.entry);
    }
  }
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (slots_[i].entry != kEmpty) i = (i + 1) & mask;
  slots_[i] = Slot{hash, entry};
  ++used_;
}

void LinkHashTable::clear() {
  slots_ = {};
  used_ = 0;
}

LinkList::LinkList(std::initializer_list<std::string_view> links) {
  for (std::string_view link : links) entries_.emplace_back(link);
}

void LinkList::clear() {
  entries_.clear();
  compared_.clear();
  folded_.clear();
}

void LinkList::indexCompared() const {
  for (; compared_.indexed < entries_.size(); ++compared_.indexed) {
    const char* t = entries_[compared_.indexed].c_str();
    const auto entry = static_cast<std::uint32_t>(compared_.indexed);
    LinkHashTable& table = compared_.table;
    switch (formOf(t)) {
      case LinkForm::kAbsolute:
        table.insert(formKey(comparedHash(t), FormKey::kAbsoluteWhole), entry);
        table.insert(formKey(comparedHash(pathOf(t)), FormKey::kAbsolutePath), entry);
        table.insert(formKey(comparedHash(lastSegmentOf(t)), FormKey::kLastSegment), entry);
        break;
      case LinkForm::kRootRelative:
        table.insert(formKey(comparedHash(t), FormKey::kRootWhole), entry);
        table.insert(formKey(comparedHash(lastSegmentOf(t)), FormKey::kLastSegment), entry);
        break;
      case LinkForm::kRelative: table.insert(formKey(comparedHash(t), FormKey::kRelativeWhole), entry); break;
    }
  }
}

void LinkList::indexFolded() const {
  for (; folded_.indexed < entries_.size(); ++folded_.indexed) {
    folded_.table.insert(foldedHash(entries_[folded_.indexed]), static_cast<std::uint32_t>(folded_.indexed));
  }
}

bool LinkList::containsFolded(std::string_view text) const {
  indexFolded();
  bool found = false;
  folded_.table.forEach(foldedHash(text), [&](std::uint32_t entry) {
    const std::string& stored = entries_[entry];
    if (found || stored.size() != text.size()) return;
    bool same = true;
    for (std::size_t i = 0; same && i < stored.size(); ++i) same = foldedEqual(stored[i], text[i]);
    found = same;
  });
  return found;
}

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
  if (list.entries_.empty()) return nullptr;
  list.indexCompared();
  const char* c = candidate;
  constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  std::uint32_t first = kNone;
  const char* firstEnd = nullptr;
  // The first entry under `key` that linkEquals accepts; equal hashes are checked in full.
  auto consider = [&](std::uint64_t key) {
    list.compared_.table.forEach(key, [&](std::uint32_t entry) {
      const char* end = nullptr;
      if (entry < first && linkEquals(list.entries_[entry].c_str(), c, &end)) {
        first = entry;
        firstEnd = end;
      }
    });
  };
  const std::uint64_t whole = comparedHash(c);
  switch (formOf(c)) {
    case LinkForm::kAbsolute:
      consider(formKey(whole, FormKey::kAbsoluteWhole));
      consider(formKey(comparedHash(pathOf(c)), FormKey::kRootWhole));
      consider(formKey(comparedHash(lastSegmentOf(c)), FormKey::kRelativeWhole));
      break;
    case LinkForm::kRootRelative:
      consider(formKey(whole, FormKey::kRootWhole));
      consider(formKey(whole, FormKey::kAbsolutePath));
      consider(formKey(comparedHash(lastSegmentOf(c)), FormKey::kRelativeWhole));
      break;
    case LinkForm::kRelative:
      consider(formKey(whole, FormKey::kRelativeWhole));
      consider(formKey(whole, FormKey::kLastSegment));
      break;
  }
  if (first == kNone) return nullptr;
  candidate = firstEnd;
  return &list.entries_[first];
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
  auto keptCharAt = [&](std::size_t i) { return i < removeFrom ? address[i] : address[i + (removeTo - removeFrom)]; };
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
