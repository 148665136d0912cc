// SPDX-License-Identifier: MIT
#include "html/selector.h"

#include <cctype>

namespace quillstash::html {
namespace {

constexpr std::size_t kMaxCompounds = 8;
constexpr std::size_t kMatchBudget = 4096;  // compound tests per element and alternative

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool equalFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string_view takeName(std::string_view text, std::size_t& i) {
  std::size_t start = i;
  while (i < text.size() && isNameChar(text[i])) ++i;
  return text.substr(start, i - start);
}

bool hasWord(std::string_view list, std::string_view word) {
  std::size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && std::isspace(static_cast<unsigned char>(list[i])) != 0) ++i;
    std::size_t start = i;
    while (i < list.size() && std::isspace(static_cast<unsigned char>(list[i])) == 0) ++i;
    if (i > start && list.substr(start, i - start) == word) return true;
  }
  return false;
}

}  // namespace

Selector::Selector(std::string_view css) {
  std::size_t start = 0;
  valid_ = true;
  int bracketDepth = 0;
  char quote = 0;
  for (std::size_t i = 0; i <= css.size(); ++i) {
    char c = i < css.size() ? css[i] : ',';
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[') {
      ++bracketDepth;
    } else if (c == ']') {
      --bracketDepth;
    } else if (c == ',' && bracketDepth == 0) {
      if (!parseAlternative(css.substr(start, i - start))) valid_ = false;
      start = i + 1;
    }
  }
  if (!valid_ || alternatives_.empty()) {
    alternatives_.clear();
    valid_ = false;
  }
}

bool Selector::parseAlternative(std::string_view text) {
  Chain chain;
  std::size_t i = 0;
  bool childNext = false;
  auto skipBlanks = [&] {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
  };
  skipBlanks();
  while (i < text.size()) {
    Compound compound;
    compound.child = childNext;
    childNext = false;
    bool any = false;
    if (text[i] == '*') {
      ++i;
      any = true;
    } else if (isNameChar(text[i])) {
      std::string_view tag = takeName(text, i);
      for (char c : tag) compound.tag += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      any = true;
    }
    while (i < text.size() && (text[i] == '.' || text[i] == '#' || text[i] == '[')) {
      char kind = text[i++];
      if (kind == '[') {
        skipBlanks();
        Test test;
        test.name = std::string(takeName(text, i));
        skipBlanks();
        if (test.name.empty() || i >= text.size()) return false;
        if (text[i] != ']') {
          char op = text[i];
          if (op == '=') {
            test.kind = Test::Kind::Equals;
          } else if (i + 1 < text.size() && text[i + 1] == '=') {
            if (op == '~')
              test.kind = Test::Kind::Word;
            else if (op == '*')
              test.kind = Test::Kind::Contains;
            else if (op == '^')
              test.kind = Test::Kind::Prefix;
            else if (op == '$')
              test.kind = Test::Kind::Suffix;
            else
              return false;
            ++i;
          } else {
            return false;
          }
          ++i;
          skipBlanks();
          if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
            char q = text[i++];
            std::size_t end = text.find(q, i);
            if (end == std::string_view::npos) return false;
            test.value = std::string(text.substr(i, end - i));
            i = end + 1;
          } else {
            std::size_t start = i;
            while (i < text.size() && text[i] != ']' && std::isspace(static_cast<unsigned char>(text[i])) == 0) ++i;
            test.value = std::string(text.substr(start, i - start));
          }
          skipBlanks();
          if (i >= text.size() || text[i] != ']') return false;
        }
        ++i;
        compound.tests.push_back(std::move(test));
      } else {
        std::string name(takeName(text, i));
        if (name.empty()) return false;
        (kind == '.' ? compound.classes : compound.ids).push_back(std::move(name));
      }
      any = true;
    }
    if (!any) return false;
    chain.push_back(std::move(compound));
    if (chain.size() > kMaxCompounds) return false;
    skipBlanks();
    if (i < text.size() && text[i] == '>') {
      ++i;
      childNext = true;
      skipBlanks();
      if (i >= text.size()) return false;
    }
  }
  if (chain.empty()) return false;
  alternatives_.push_back(std::move(chain));
  return true;
}

bool Selector::matchesCompound(const Compound& compound, Node node) {
  if (!node.isElement()) return false;
  if (!compound.tag.empty() && !equalFolded(node.name(), compound.tag)) return false;
  for (const std::string& id : compound.ids) {
    if (node.attribute("id") != id) return false;
  }
  for (const std::string& name : compound.classes) {
    if (!node.hasClass(name)) return false;
  }
  for (const Test& test : compound.tests) {
    if (!node.hasAttribute(test.name)) return false;
    if (test.kind == Test::Kind::Exists) continue;
    std::string value = node.attribute(test.name);
    std::string_view v(value);
    switch (test.kind) {
      case Test::Kind::Equals:
        if (v != test.value) return false;
        break;
      case Test::Kind::Word:
        if (!hasWord(v, test.value)) return false;
        break;
      case Test::Kind::Contains:
        if (test.value.empty() || v.find(test.value) == std::string_view::npos) return false;
        break;
      case Test::Kind::Prefix:
        if (test.value.empty() || v.substr(0, test.value.size()) != test.value) return false;
        break;
      case Test::Kind::Suffix:
        if (test.value.empty() || v.size() < test.value.size() || v.substr(v.size() - test.value.size()) != test.value)
          return false;
        break;
      case Test::Kind::Exists: break;
    }
  }
  return true;
}

// Compound `index` of `chain` matches `node`, and the compounds before it
// match its parent (child combinator) or some ancestor (descendant).
// Each call spends one unit of `budget`, which bounds the backtracking on
// deeply nested pages; an exhausted budget counts as no match.
bool Selector::matchesChain(const Chain& chain, std::size_t index, Node node, std::size_t& budget) {
  if (budget == 0) return false;
  --budget;
  if (!matchesCompound(chain[index], node)) return false;
  if (index == 0) return true;
  if (chain[index].child) return matchesChain(chain, index - 1, node.parent(), budget);
  for (Node up = node.parent(); up; up = up.parent()) {
    if (matchesChain(chain, index - 1, up, budget)) return true;
  }
  return false;
}

bool Selector::matches(Node node) const {
  if (!node.isElement()) return false;
  for (const Chain& chain : alternatives_) {
    std::size_t budget = kMatchBudget;
    if (matchesChain(chain, chain.size() - 1, node, budget)) return true;
  }
  return false;
}

}  // namespace quillstash::html
