// SPDX-License-Identifier: MIT
#include "engines/profile.h"

#include <cctype>
#include <vector>

namespace quillstash {
namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) text.remove_suffix(1);
  return text;
}

bool equalFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Adds a query to a field: a repeated key widens the query with ", ".
void addQuery(std::string& field, std::string_view value) {
  if (!field.empty()) field += ", ";
  field += value;
}

void addPatterns(std::vector<std::string>& field, std::string_view value) {
  std::size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && std::isspace(static_cast<unsigned char>(value[i])) != 0) ++i;
    std::size_t start = i;
    while (i < value.size() && std::isspace(static_cast<unsigned char>(value[i])) == 0) ++i;
    if (i > start) field.emplace_back(value.substr(start, i - start));
  }
}

bool setLinkRule(LinkRules& rules, std::string_view key, std::string_view value) {
  if (key == "links") {
    addQuery(rules.links, value);
  } else if (key == "address") {
    addPatterns(rules.addresses, value);
  } else if (key == "ignore") {
    addQuery(rules.ignore, value);
  } else if (key == "ignore-address") {
    addPatterns(rules.ignoreAddresses, value);
  } else if (key == "next") {
    addQuery(rules.next, value);
  } else if (key == "page-part") {
    addPatterns(rules.pageParts, value);
  } else {
    return false;
  }
  return true;
}

// Longest address part a pattern is matched against; longer ones never match.
constexpr std::size_t kMaxPatternSubject = 4096;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Matches a pattern against a subject with a table of which suffixes of the
// pattern match which suffixes of the subject: (pattern length x subject
// length) steps whatever the pattern. '#' takes a whole run of digits.
class PatternMatcher {
 public:
  PatternMatcher(std::string_view pattern, std::string_view subject)
      : pattern_(pattern), subject_(subject), reach_((pattern.size() + 1) * (subject.size() + 1), false) {
    const std::size_t n = subject.size();
    const std::size_t m = pattern.size();
    reach_[index(n, m)] = true;
    for (std::size_t j = m; j-- > 0;) {
      for (std::size_t i = n + 1; i-- > 0;) {
        char p = pattern[j];
        bool ok = false;
        if (p == '*') {
          ok = reach_[index(i, j + 1)] || (i < n && reach_[index(i + 1, j)]);
        } else if (p == '#') {
          std::size_t end = digitsEnd(i);
          ok = end > i && (i == 0 || !isDigit(subject[i - 1])) && reach_[index(end, j + 1)];
        } else {
          ok = i < n && subject[i] == p && reach_[index(i + 1, j + 1)];
        }
        reach_[index(i, j)] = ok;
      }
    }
  }

  bool matches() const { return reach_[index(0, 0)]; }

  // The digits the first '#' takes on the match that gives each '*' as few
  // characters as it can.
  std::string firstId() const {
    std::size_t i = 0;
    std::size_t j = 0;
    while (j < pattern_.size()) {
      char p = pattern_[j];
      if (p == '*') {
        if (reach_[index(i, j + 1)]) {
          ++j;
        } else {
          ++i;
        }
      } else if (p == '#') {
        return std::string(subject_.substr(i, digitsEnd(i) - i));
      } else {
        ++i;
        ++j;
      }
    }
    return {};
  }

 private:
  std::size_t index(std::size_t i, std::size_t j) const { return j * (subject_.size() + 1) + i; }
  std::size_t digitsEnd(std::size_t i) const {
    while (i < subject_.size() && isDigit(subject_[i])) ++i;
    return i;
  }

  std::string_view pattern_;
  std::string_view subject_;
  std::vector<bool> reach_;
};

// The part of an address after its host: from the first '/' after "//",
// without the fragment.
std::string_view addressPath(std::string_view address) {
  std::size_t scheme = address.find("//");
  std::size_t from = scheme == std::string_view::npos ? 0 : address.find('/', scheme + 2);
  if (from == std::string_view::npos) return "/";
  std::string_view path = address.substr(from);
  std::size_t hash = path.find('#');
  return hash == std::string_view::npos ? path : path.substr(0, hash);
}

}  // namespace

bool matchAddressPattern(std::string_view pattern, std::string_view address, std::string* id) {
  std::string_view path = addressPath(address);
  if (path.size() > kMaxPatternSubject) return false;
  if (id != nullptr) id->clear();
  PatternMatcher matcher(pattern, path);
  if (!matcher.matches()) return false;
  if (id != nullptr) *id = matcher.firstId();
  return true;
}

namespace {

// The address part without the page parts of `rules` at its end (each tried
// from its leftmost possible start, until none is left) and without a final '/'.
std::string withoutPageParts(const LinkRules& rules, std::string_view path) {
  std::string key(path);
  if (rules.pageParts.empty() || key.size() > kMaxPatternSubject) return key;
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (const std::string& pattern : rules.pageParts) {
      // A page part starts with the character it names (a pattern starting
      // with '*' or '#' could swallow the whole address and is not tried).
      if (pattern.empty() || pattern.front() == '*' || pattern.front() == '#') continue;
      for (std::size_t at = key.find(pattern.front(), 1); at != std::string::npos;
           at = key.find(pattern.front(), at + 1)) {
        if (PatternMatcher(pattern, std::string_view(key).substr(at)).matches()) {
          key.erase(at);
          stripped = true;
          break;
        }
      }
    }
  }
  while (key.size() > 1 && key.back() == '/') key.pop_back();
  return key;
}

}  // namespace

std::string linkKey(const LinkRules& rules, std::string_view address) {
  std::string_view path = addressPath(address);
  if (rules.addresses.empty()) return withoutPageParts(rules, path);
  for (const std::string& pattern : rules.addresses) {
    std::string id;
    if (!matchAddressPattern(pattern, address, &id)) continue;
    if (id.empty()) return withoutPageParts(rules, path);
    while (id.size() > 1 && id.front() == '0') id.erase(0, 1);
    return "#" + id;
  }
  return {};
}

std::optional<EngineProfile> parseProfile(std::string_view text, std::string& error) {
  EngineProfile profile;
  std::string section;
  std::size_t lineNumber = 0;
  auto fault = [&](const std::string& what) {
    error = "line " + std::to_string(lineNumber) + ": " + what;
    return std::nullopt;
  };
  while (!text.empty()) {
    ++lineNumber;
    std::size_t end = text.find('\n');
    std::string_view line = trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return fault("a section name ends with ']'");
      section = std::string(trim(line.substr(1, line.size() - 2)));
      if (section != "engine" && section != "forums" && section != "topics" && section != "posts") {
        return fault("unknown section [" + section + "]");
      }
      continue;
    }
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return fault("expected key = value");
    std::string_view key = trim(line.substr(0, equals));
    std::string_view value = trim(line.substr(equals + 1));
    if (value.empty()) return fault("no value for " + std::string(key));
    bool known = false;
    if (section == "engine") {
      known = true;
      if (key == "name") {
        profile.name = std::string(value);
      } else if (key == "title") {
        profile.title = std::string(value);
      } else if (key == "detect") {
        profile.detect.emplace_back(value);
      } else {
        known = false;
      }
    } else if (section == "forums" || section == "topics") {
      if (key == "page-part") {
        std::vector<std::string> parts;
        addPatterns(parts, value);
        for (const std::string& part : parts) {
          if (part.front() == '*' || part.front() == '#') {
            return fault("a page part starts with the character it names, not '*' or '#'");
          }
        }
      }
      known = setLinkRule(section == "forums" ? profile.forums : profile.topics, key, value);
    } else if (section == "posts") {
      known = true;
      if (key == "post") {
        addQuery(profile.post, value);
      } else if (key == "author") {
        addQuery(profile.author, value);
      } else if (key == "date") {
        addQuery(profile.date, value);
      } else if (key == "message") {
        addQuery(profile.message, value);
      } else if (key == "drop") {
        addQuery(profile.drop, value);
      } else if (key == "quote") {
        addQuery(profile.quote, value);
      } else if (key == "quote-title") {
        addQuery(profile.quoteTitle, value);
      } else if (key == "quote-author") {
        profile.quoteAuthor = std::string(value);
      } else if (key == "code") {
        addQuery(profile.code, value);
      } else if (key == "attachments") {
        addQuery(profile.attachments, value);
      } else {
        known = false;
      }
    } else {
      return fault("a key before the first section");
    }
    if (!known) return fault("unknown key " + std::string(key) + " in [" + section + "]");
  }
  ++lineNumber;
  if (profile.name.empty()) return fault("the profile has no name");
  if (equalFolded(profile.name, kClassicEngine) || equalFolded(profile.name, "auto")) {
    return fault("the name " + profile.name + " is taken");
  }
  if (profile.forums.links.empty() || profile.topics.links.empty()) return fault("forum or topic links are missing");
  if (profile.post.empty() || profile.author.empty() || profile.message.empty()) {
    return fault("the post, author or message query is missing");
  }
  if (profile.title.empty()) profile.title = profile.name;
  error.clear();
  return profile;
}

const EngineProfile* detectProfile(const html::Document& page, const std::vector<EngineProfile>& profiles) {
  for (const EngineProfile& profile : profiles) {
    for (const std::string& query : profile.detect) {
      if (!page.query(query).empty()) return &profile;
    }
  }
  return nullptr;
}

const EngineProfile* findProfile(std::string_view name, const std::vector<EngineProfile>& profiles) {
  for (const EngineProfile& profile : profiles) {
    if (equalFolded(profile.name, name)) return &profile;
  }
  return nullptr;
}

}  // namespace quillstash
