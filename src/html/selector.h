// SPDX-License-Identifier: MIT
#pragma once

// A small CSS selector subset, enough for profile authors to point at the
// parts of a forum page: type (div), class (.post), id (#p12), attribute
// tests ([rel], [rel=next], [rel~=next], [href*=showtopic], [href^=x],
// [href$=y]), the universal '*', descendant (blank) and child ('>')
// combinators, and comma-separated alternatives. Names compare without
// regard to case; attribute values exactly.

#include <string>
#include <string_view>
#include <vector>

#include "html/tree.h"

namespace quillstash::html {

class Selector {
 public:
  // Parses `css`; an invalid text gives a selector that matches nothing.
  explicit Selector(std::string_view css);

  bool valid() const { return valid_; }
  // True when the element `node` matches one of the alternatives.
  bool matches(Node node) const;

 private:
  struct Test {
    enum class Kind { Exists, Equals, Word, Contains, Prefix, Suffix };
    std::string name;
    std::string value;
    Kind kind = Kind::Exists;
  };
  struct Compound {
    std::string tag;  // empty for any
    std::vector<std::string> ids;
    std::vector<std::string> classes;
    std::vector<Test> tests;
    bool child = false;  // joined to the compound before it by '>'
  };
  using Chain = std::vector<Compound>;

  static bool matchesCompound(const Compound& compound, Node node);
  static bool matchesChain(const Chain& chain, std::size_t index, Node node, std::size_t& budget);
  bool parseAlternative(std::string_view text);

  std::vector<Chain> alternatives_;
  bool valid_ = false;
};

}  // namespace quillstash::html
