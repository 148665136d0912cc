// SPDX-License-Identifier: MIT
#pragma once

// Comparison of links that ignores what differs between two spellings of the
// same forum or topic address: scheme and host when one side is relative,
// parameter separators ("&", "&amp;"), session parameters (sid=, phpsessi...,
// s= with a long hexadecimal value) and letter case.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/text_writer.h"

namespace quillstash {

// An open-addressing table from 64-bit hashes to entry numbers of a LinkList.
// Several entries may share a hash; a lookup visits all of them and the caller
// checks each against the real comparison, so a collision costs a comparison,
// never a wrong answer. Entries are only added; the table is emptied whole.
class LinkHashTable {
 public:
  void insert(std::uint64_t hash, std::uint32_t entry);
  // Calls visit(entry) for every entry stored under `hash`.
  template <typename Visit>
  void forEach(std::uint64_t hash, Visit visit) const {
    if (slots_.empty()) return;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask; slots_[i].entry != kEmpty; i = (i + 1) & mask) {
      if (slots_[i].hash == hash) visit(slots_[i].entry);
    }
  }
  void clear();

 private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t entry = kEmpty;
  };
  std::vector<Slot> slots_;  // a power of two in size, at most half full
  std::size_t used_ = 0;
};

// Links taken so far, in the order they were taken. Entries are appended and
// the whole list is emptied at once; the order carries no other meaning
// beyond which equal entry a lookup returns (the first).
//
// Each kind of lookup keeps an index over the compared form of the entries, so
// that a lookup costs constant time on average however long the list grows.
// An index is brought up to date by the lookup that uses it (entries appended
// since the last lookup are added then), so appending costs nothing extra and
// a list never looked up in one way never builds that index. Lookups on a const
// list update those indexes: a list is used by one thread at a time.
class LinkList {
 public:
  LinkList() = default;
  LinkList(std::initializer_list<std::string_view> links);

  void push_back(std::string link) { entries_.push_back(std::move(link)); }
  void emplace_back(const char* text) { entries_.emplace_back(text); }
  void emplace_back(const char* text, std::size_t length) { entries_.emplace_back(text, length); }
  void clear();

  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }
  const std::string& operator[](std::size_t i) const { return entries_[i]; }
  std::vector<std::string>::const_iterator begin() const { return entries_.begin(); }
  std::vector<std::string>::const_iterator end() const { return entries_.end(); }

  // True when an entry equals `text` byte for byte under foldedEqual, with the
  // same length (no other rule: file addresses are compared as they are).
  bool containsFolded(std::string_view text) const;

 private:
  friend const std::string* findLink(const LinkList& list, const char*& candidate);

  void indexCompared() const;
  void indexFolded() const;

  struct Index {
    LinkHashTable table;
    std::size_t indexed = 0;  // entries [0, indexed) are in the table
    void clear() {
      table.clear();
      indexed = 0;
    }
  };

  std::vector<std::string> entries_;
  mutable Index compared_;  // for findLink: the forms linkEquals compares
  mutable Index folded_;    // for containsFolded
};

// True when the stored link `stored` (NUL-terminated) equals the candidate at
// `candidate` under the rules above. The candidate ends at NUL or a quote.
// On a match `*candidateEnd` (when given) receives the candidate's end.
bool linkEquals(const char* stored, const char* candidate, const char** candidateEnd = nullptr);

// The first entry of `list` equal to the candidate, or nullptr. On a hit the
// candidate position moves to the candidate's end (its closing quote or NUL);
// on a miss it is unchanged.
const std::string* findLink(const LinkList& list, const char*& candidate);

// Sets `parameter` ("name=value"; a leading '&' is ignored) in the address held
// in `address` (NUL-terminated, `capacity` bytes including the NUL): the first
// query parameter whose text begins with the name is removed, then the
// parameter is appended after '?' or '&'. Returns false and leaves the address
// unchanged when the result would not fit.
bool applyLinkParameter(char* address, std::size_t capacity, const char* parameter);

}  // namespace quillstash
