// SPDX-License-Identifier: MIT
#include "html/tree.h"

#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>

#include <cstring>

#include "html/selector.h"

namespace quillstash::html {
namespace {

xmlNode* xml(const Node& node) { return reinterpret_cast<xmlNode*>(node.raw()); }
Node wrap(xmlNode* node) { return Node(reinterpret_cast<NodeData*>(node)); }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// True when `bytes` is well-formed UTF-8 (plain ASCII included).
bool isUtf8(std::string_view bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    auto c = static_cast<unsigned char>(bytes[i]);
    std::size_t extra = 0;
    if (c >= 0x80) {
      if ((c >> 5) == 0x6) {
        extra = 1;
      } else if ((c >> 4) == 0xE) {
        extra = 2;
      } else if ((c >> 3) == 0x1E) {
        extra = 3;
      } else {
        return false;
      }
    }
    if (extra > n - i - 1) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace

bool Node::isElement() const { return node_ != nullptr && xml(*this)->type == XML_ELEMENT_NODE; }
bool Node::isText() const {
  return node_ != nullptr && (xml(*this)->type == XML_TEXT_NODE || xml(*this)->type == XML_CDATA_SECTION_NODE);
}

std::string_view Node::name() const {
  if (!isElement() || xml(*this)->name == nullptr) return {};
  return reinterpret_cast<const char*>(xml(*this)->name);
}

std::string Node::attribute(std::string_view attributeName) const {
  if (!isElement()) return {};
  for (xmlAttr* a = xml(*this)->properties; a != nullptr; a = a->next) {
    const char* n = reinterpret_cast<const char*>(a->name);
    if (std::strlen(n) != attributeName.size() || strncasecmp(n, attributeName.data(), attributeName.size()) != 0)
      continue;
    std::string value;
    for (xmlNode* t = a->children; t != nullptr; t = t->next) {
      if (t->content != nullptr) value += reinterpret_cast<const char*>(t->content);
    }
    return value;
  }
  return {};
}

bool Node::hasAttribute(std::string_view attributeName) const {
  if (!isElement()) return false;
  for (xmlAttr* a = xml(*this)->properties; a != nullptr; a = a->next) {
    const char* n = reinterpret_cast<const char*>(a->name);
    if (std::strlen(n) == attributeName.size() && strncasecmp(n, attributeName.data(), attributeName.size()) == 0)
      return true;
  }
  return false;
}

bool Node::hasClass(std::string_view className) const {
  std::string classes = attribute("class");
  std::size_t i = 0;
  while (i < classes.size()) {
    while (i < classes.size() && isSpace(classes[i])) ++i;
    std::size_t start = i;
    while (i < classes.size() && !isSpace(classes[i])) ++i;
    if (i > start && std::string_view(classes).substr(start, i - start) == className) return true;
  }
  return false;
}

std::string_view Node::ownText() const {
  if (!isText() || xml(*this)->content == nullptr) return {};
  return reinterpret_cast<const char*>(xml(*this)->content);
}

std::string Node::text() const {
  std::string out;
  bool blank = false;
  walkTree(*this, [&](Node node) {
    std::string_view name = node.name();
    if (name == "script" || name == "style") return false;
    for (char c : node.ownText()) {
      if (isSpace(c)) {
        blank = true;
        continue;
      }
      if (blank && !out.empty()) out += ' ';
      blank = false;
      out += c;
    }
    return true;
  });
  return out;
}

Node Node::parent() const {
  if (node_ == nullptr) return {};
  xmlNode* p = xml(*this)->parent;
  if (p == nullptr || p->type != XML_ELEMENT_NODE) return {};
  return wrap(p);
}

Node Node::firstChild() const {
  if (node_ == nullptr || xml(*this)->type != XML_ELEMENT_NODE) return {};
  return wrap(xml(*this)->children);
}

Node Node::nextSibling() const { return node_ == nullptr ? Node() : wrap(xml(*this)->next); }

bool Node::contains(const Node& other) const {
  for (Node n = other; n; n = n.parent()) {
    if (n == *this) return true;
  }
  return false;
}

struct Document::Impl {
  htmlDocPtr doc = nullptr;
  ~Impl() {
    if (doc != nullptr) xmlFreeDoc(doc);
  }
};

Document::Document(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Document::~Document() = default;

std::unique_ptr<Document> Document::parse(std::string_view html) {
  auto impl = std::make_unique<Impl>();
  if (html.size() > kMaxPageBytes) html = html.substr(0, kMaxPageBytes);
  if (!html.empty()) {
    // No network, no error output, and a tree whatever the markup.
    int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
    const char* encoding = isUtf8(html) ? "UTF-8" : nullptr;
    impl->doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, encoding, options);
  }
  return std::unique_ptr<Document>(new Document(std::move(impl)));
}

Node Document::root() const {
  if (impl_->doc == nullptr) return {};
  return wrap(xmlDocGetRootElement(impl_->doc));
}

std::vector<Node> Document::select(const Selector& selector, Node scope) const {
  std::vector<Node> found;
  if (!selector.valid()) return found;
  if (!scope) {
    if (impl_->doc == nullptr) return found;
    for (xmlNode* top = impl_->doc->children; top != nullptr; top = top->next) {
      walkTree(wrap(top), [&](Node node) {
        if (node.isElement() && selector.matches(node)) found.push_back(node);
        return true;
      });
    }
    return found;
  }
  walkTree(scope, [&](Node node) {
    if (!(node == scope) && node.isElement() && selector.matches(node)) found.push_back(node);
    return true;
  });
  return found;
}

std::vector<Node> Document::select(std::string_view css, Node scope) const { return select(Selector(css), scope); }

std::vector<Node> Document::xpath(std::string_view expression, Node scope) const {
  std::vector<Node> found;
  if (impl_->doc == nullptr) return found;
  std::string text(expression);
  xmlXPathContextPtr context = xmlXPathNewContext(impl_->doc);
  if (context == nullptr) return found;
  context->node = scope ? xml(scope) : reinterpret_cast<xmlNode*>(impl_->doc);
  xmlXPathObjectPtr result = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(text.c_str()), context);
  if (result != nullptr && result->type == XPATH_NODESET && result->nodesetval != nullptr) {
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
      xmlNode* node = result->nodesetval->nodeTab[i];
      if (node != nullptr && node->type == XML_ELEMENT_NODE) found.push_back(wrap(node));
    }
  }
  if (result != nullptr) xmlXPathFreeObject(result);
  xmlXPathFreeContext(context);
  return found;
}

std::vector<Node> Document::query(std::string_view text, Node scope) const {
  constexpr std::string_view kXPath = "xpath:";
  if (text.substr(0, kXPath.size()) == kXPath) return xpath(text.substr(kXPath.size()), scope);
  return select(text, scope);
}

}  // namespace quillstash::html
