// SPDX-License-Identifier: MIT
#pragma once

// The element tree of one HTML page, read with a forgiving parser: broken,
// truncated or hostile markup still gives a tree (never an error), and text
// comes out as UTF-8. Nodes are selected with a small CSS subset
// (selector.h) or with XPath.
//
// A Document owns its tree; the Nodes it hands out point into it and are
// valid while it lives. One thread at a time.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillstash::html {

struct NodeData;  // libxml2's node, kept out of this header

// A handle to an element or text node of a Document; null when empty.
class Node {
 public:
  Node() = default;
  explicit Node(NodeData* node) : node_(node) {}

  explicit operator bool() const { return node_ != nullptr; }
  bool operator==(const Node& other) const { return node_ == other.node_; }

  bool isElement() const;
  bool isText() const;
  // The element's name in lower case ("div"); empty for other nodes.
  std::string_view name() const;
  // The attribute's value with its entities decoded; empty when absent.
  std::string attribute(std::string_view attributeName) const;
  bool hasAttribute(std::string_view attributeName) const;
  // True when the class attribute lists `className` as one of its words.
  bool hasClass(std::string_view className) const;
  // A text node's own text (UTF-8); empty for elements.
  std::string_view ownText() const;
  // All the text below the node with runs of white space made one blank and
  // trimmed at both ends.
  std::string text() const;

  Node parent() const;  // null above the root element
  Node firstChild() const;
  Node nextSibling() const;
  // True when `other` is this node or lies below it.
  bool contains(const Node& other) const;

  NodeData* raw() const { return node_; }

 private:
  NodeData* node_ = nullptr;
};

class Selector;

class Document {
 public:
  // Pages larger than this are read up to this size only.
  static constexpr std::size_t kMaxPageBytes = 16u << 20;

  // Parses `html`; always gives a document (an empty one for empty input).
  // Bytes that are valid UTF-8 are read as UTF-8, other pages by their
  // declared character set.
  static std::unique_ptr<Document> parse(std::string_view html);
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // The root element (<html>), or null for an empty page.
  Node root() const;
  // The elements matching `selector` below `scope` (the whole page when
  // null), in document order.
  std::vector<Node> select(const Selector& selector, Node scope = Node()) const;
  // The same for a CSS selector text; an invalid text selects nothing.
  std::vector<Node> select(std::string_view css, Node scope = Node()) const;
  // The element nodes an XPath expression gives, evaluated at `scope` (the
  // document when null); an invalid expression selects nothing.
  std::vector<Node> xpath(std::string_view expression, Node scope = Node()) const;
  // A query text: XPath when it begins with "xpath:", else CSS.
  std::vector<Node> query(std::string_view text, Node scope = Node()) const;

 private:
  struct Impl;
  explicit Document(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Calls visit(node) for `scope` and every node below it in document order,
// without recursion; a visit returning false skips the node's children.
template <class Visit>
void walkTree(Node scope, Visit&& visit) {
  if (!scope) return;
  Node node = scope;
  for (;;) {
    Node child = visit(node) ? node.firstChild() : Node();
    if (child) {
      node = child;
      continue;
    }
    for (;;) {
      if (node == scope) return;
      Node next = node.nextSibling();
      if (next) {
        node = next;
        break;
      }
      node = node.parent();
      if (!node) return;
    }
  }
}

}  // namespace quillstash::html
