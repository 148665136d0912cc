// SPDX-License-Identifier: MIT
#include "text/link_compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace quillstash {
namespace {

// Compares against an exact heap copy of the candidate, so that the sanitizers
// see any read past its NUL.
bool same(const char* stored, const std::string& candidate) {
  auto copy = std::make_unique<char[]>(candidate.size() + 1);
  std::memcpy(copy.get(), candidate.c_str(), candidate.size() + 1);
  return linkEquals(stored, copy.get());
}

std::string withParameter(const std::string& address, const char* parameter, std::size_t capacity = 256,
                          bool* applied = nullptr) {
  auto buffer = std::make_unique<char[]>(capacity);
  std::memcpy(buffer.get(), address.c_str(), address.size() + 1);
  bool ok = applyLinkParameter(buffer.get(), capacity, parameter);
  if (applied != nullptr) *applied = ok;
  return buffer.get();
}

TEST(LinkCompare, absoluteRootRelativeAndRelativeSpellingsAreEqual) {
  const char* stored = "http://host/forum/viewtopic.php?t=7";
  EXPECT_TRUE(same(stored, "viewtopic.php?t=7"));
  EXPECT_TRUE(same(stored, "/forum/viewtopic.php?t=7"));
  EXPECT_TRUE(same(stored, "HTTP://HOST/FORUM/VIEWTOPIC.PHP?T=7"));
  EXPECT_TRUE(same("viewtopic.php?t=7", "http://other/x/viewtopic.php?t=7"));
  EXPECT_TRUE(same("/forum/viewtopic.php?t=7", "http://host/forum/viewtopic.php?t=7"));
  EXPECT_TRUE(same("/forum/viewtopic.php?t=7", "viewtopic.php?t=7"));
  EXPECT_TRUE(same("viewtopic.php?t=7", "/forum/viewtopic.php?t=7"));
  EXPECT_TRUE(same("https://host/forum/v.php?t=7", "/forum/v.php?t=7"));
  // Both absolute: the host counts.
  EXPECT_FALSE(same(stored, "http://other/forum/viewtopic.php?t=7"));
  // Both root-relative: the folders count.
  EXPECT_FALSE(same("/a/v.php?t=7", "/b/v.php?t=7"));
  // An absolute address without a path has an empty one.
  EXPECT_TRUE(same("/", "http://host/"));
  EXPECT_FALSE(same("/x", "http://host"));
}

TEST(LinkCompare, separatorsAndSessionParametersAreIgnored) {
  EXPECT_TRUE(same("http://host/showthread.php?t=7&sid=0a1b2c3d4e5f60718293a4b5c6d7e8f9",
                   "http://host/showthread.php?sid=99&amp;t=7"));
  EXPECT_TRUE(same("v.php?t=5&amp;page=2", "v.php?t=5&page=2"));
  EXPECT_TRUE(same("v.php?t=5&&&AMP;page=2", "v.php?t=5page=2"));
  EXPECT_TRUE(same("v.php?t=5", "v.php?PHPSESSID=abc&t=5"));
  EXPECT_TRUE(same("v.php?t=5&s=0123456789", "v.php?t=5"));
  EXPECT_TRUE(same("v.php?s=0123456789&t=5", "v.php?t=5&S=abcdefabc"));
  // The tail "s=" of a longer name counts too, once the names agree.
  EXPECT_TRUE(same("v.php?t=5&posts=123456789", "v.php?t=5&posts=abcdef012"));
}

TEST(LinkCompare, shortSValuesAreOrdinaryParameters) {
  // Eight hexadecimal digits are not enough to count as a session id.
  EXPECT_FALSE(same("v.php?t=5&s=12345678", "v.php?t=5"));
  EXPECT_FALSE(same("v.php?t=5&posts=1", "v.php?t=5&posts=2"));
  EXPECT_FALSE(same("v.php?s=1", "v.php?s=2"));
}

TEST(LinkCompare, aLongerCandidateOrStoredLinkDiffers) {
  EXPECT_FALSE(same("http://host/index.php?showtopic=9", "http://host/index.php?showtopic=90"));
  EXPECT_FALSE(same("http://host/index.php?showtopic=90", "http://host/index.php?showtopic=9"));
  // NUL | 0x20 is a blank: the candidate's end must not equal a stored ' '.
  EXPECT_FALSE(same("a b", "a"));
  EXPECT_TRUE(same("", ""));
  EXPECT_FALSE(same("a", ""));
}

TEST(LinkCompare, candidateInsideAPageEndsAtItsQuote) {
  LinkList list{"other.php", "viewtopic.php?t=7"};
  const char* page = "viewtopic.php?t=7' class=x>";
  const char* candidate = page;
  const std::string* hit = findLink(list, candidate);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(*hit, "viewtopic.php?t=7");
  EXPECT_EQ(candidate, page + 17);

  const char* session = "v.php?t=7&sid=ab\">x";
  candidate = session;
  LinkList stored{"v.php?t=7"};
  ASSERT_NE(findLink(stored, candidate), nullptr);
  EXPECT_EQ(*candidate, '"');
}

TEST(LinkCompare, missLeavesTheCandidateAndEmptyListMisses) {
  const char* page = "viewtopic.php?t=8'";
  const char* candidate = page;
  EXPECT_EQ(findLink(LinkList{}, candidate), nullptr);
  EXPECT_EQ(findLink(LinkList{"viewtopic.php?t=7"}, candidate), nullptr);
  EXPECT_EQ(candidate, page);
}

TEST(LinkCompare, textCutOffInsideAShapeNeverReadsPastItsEnd) {
  EXPECT_FALSE(same("v.php?t=1", "v.php?t=1&am"));
  EXPECT_TRUE(same("v.php?t=1", "v.php?t=1&amp;"));
  EXPECT_TRUE(same("v.php?t=1", "v.php?t=1&sid="));
  EXPECT_FALSE(same("v.php?t=1", "v.php?t=1&si"));
  EXPECT_TRUE(same("v.php?t=1", "v.php?t=1&phpsessi"));
  EXPECT_FALSE(same("v.php?t=1", "v.php?t=1&s="));
  EXPECT_TRUE(same("http", "http"));
  EXPECT_FALSE(same("/", "https:"));
  EXPECT_FALSE(same("/", "http:/"));
  EXPECT_TRUE(same("x", "http://h/x"));
  EXPECT_FALSE(same("http://h/x", "/"));
}

// Links spelled in the ways forum pages spell them: absolute, root-relative
// and relative, any letter case, "&" or "&amp;", session ids of every kind in
// any place, short "s=" values, fragments, slashes inside session values.
std::string generatedLink(std::mt19937& random) {
  auto pick = [&](std::initializer_list<const char*> options) {
    std::uniform_int_distribution<std::size_t> d(0, options.size() - 1);
    return std::string(options.begin()[d(random)]);
  };
  std::string link = pick({"http://host/forum/", "HTTP://HOST/Forum/", "https://host/forum/", "http://other/forum/",
                           "http://host/", "http:/host/", "http", "/forum/", "/Forum/", "/", "", "forum/", "x/"});
  link += pick({"viewtopic.php", "VIEWTOPIC.PHP", "v.php", "", "index.php/t"});
  const int parameters = static_cast<int>(random() % 4);
  for (int i = 0; i < parameters; ++i) {
    link += pick({"?", "&", "&amp;", "&AMP;", "&&", "", "/"});
    link += pick({"t=1", "t=2", "T=1", "f=1", "sid=abc", "SID=0a/b", "phpsessid=xyz", "PHPSESSID=1",
                  "s=0123456789abcdef", "S=abcdefabc", "s=12345678", "s=1", "posts=123456789", "posts=abcdef012",
                  "start=20", "amp;t=1", "#p1", "#P1"});
  }
  return link;
}

TEST(LinkCompare, indexedLookupFindsWhatComparingEveryEntryFinds) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 20; ++round) {
    LinkList list;
    std::vector<std::string> plain;
    for (int step = 0; step < 400; ++step) {
      std::string link = generatedLink(random);
      if (random() % 3 == 0) {
        list.push_back(link);
        plain.push_back(link);
        continue;
      }
      // The candidate as it sits in a page: a closing quote and more text.
      const std::string page = link + (random() % 2 == 0 ? "'>next" : "\"");
      const char* expectedEnd = page.c_str();
      std::size_t expected = plain.size();
      for (std::size_t i = 0; i < plain.size() && expected == plain.size(); ++i) {
        if (linkEquals(plain[i].c_str(), page.c_str(), &expectedEnd)) expected = i;
      }
      const char* candidate = page.c_str();
      const std::string* hit = findLink(list, candidate);
      if (expected == plain.size()) {
        EXPECT_EQ(hit, nullptr) << page;
        EXPECT_EQ(candidate, page.c_str());
      } else {
        ASSERT_NE(hit, nullptr) << page << " equals " << plain[expected];
        EXPECT_EQ(hit, &list[expected]) << page;
        EXPECT_EQ(candidate, expectedEnd) << page;
      }

      const bool folded = std::any_of(plain.begin(), plain.end(), [&](const std::string& stored) {
        return stored.size() == link.size() && std::equal(stored.begin(), stored.end(), link.begin(),
                                                          [](char a, char b) { return (a | 0x20) == (b | 0x20); });
      });
      EXPECT_EQ(list.containsFolded(link), folded) << link;
    }
    list.clear();
    const char* candidate = "/forum/v.php";
    EXPECT_EQ(findLink(list, candidate), nullptr);
    EXPECT_FALSE(list.containsFolded(""));
  }
}

TEST(LinkParameter, replacesAParameterOfTheSameName) {
  EXPECT_EQ(withParameter("http://h/list.php?f=5", "daysprune=-1"), "http://h/list.php?f=5&daysprune=-1");
  EXPECT_EQ(withParameter("http://h/list.php?daysprune=30&f=5", "daysprune=-1"), "http://h/list.php?f=5&daysprune=-1");
  EXPECT_EQ(withParameter("http://h/list.php?f=5&DaysPrune=30", "daysprune=-1"), "http://h/list.php?f=5&daysprune=-1");
  EXPECT_EQ(withParameter("http://h/list.php", "daysprune=-1"), "http://h/list.php?daysprune=-1");
  EXPECT_EQ(withParameter("http://h/list.php?", "daysprune=-1"), "http://h/list.php?daysprune=-1");
  EXPECT_EQ(withParameter("http://h/list.php?daysprune=30", "daysprune=-1"), "http://h/list.php?daysprune=-1");
  EXPECT_EQ(withParameter("l.php?f=5&", "daysprune=-1"), "l.php?f=5&daysprune=-1");
}

TEST(LinkParameter, leadingAmpersandAndNamePrefixes) {
  EXPECT_EQ(withParameter("l.php?f=5", "&daysprune=-1"), withParameter("l.php?f=5", "daysprune=-1"));
  EXPECT_EQ(withParameter("l.php?daysprune=30&f=5", "days=1"), "l.php?f=5&days=1");
  // Only the first parameter with the name goes.
  EXPECT_EQ(withParameter("l.php?a=1&b=2&a=3", "a=9"), "l.php?b=2&a=3&a=9");
  // A name after the query mark only: the path is not a parameter.
  EXPECT_EQ(withParameter("a=1/l.php?f=5", "a=2"), "a=1/l.php?f=5&a=2");
  EXPECT_EQ(withParameter("l.php?flag=1&f=5", "flag"), "l.php?f=5&flag");
}

TEST(LinkParameter, emptyParameterOrNameChangesNothingElse) {
  EXPECT_EQ(withParameter("l.php?f=5", ""), "l.php?f=5");
  EXPECT_EQ(withParameter("l.php?f=5", "&"), "l.php?f=5");
  // An empty name would begin every parameter; none is removed.
  EXPECT_EQ(withParameter("l.php?f=5", "=1"), "l.php?f=5&=1");
}

TEST(LinkParameter, resultThatDoesNotFitLeavesTheAddress) {
  bool applied = true;
  // "l.php?f=5&x=1" is 13 characters: 14 bytes fit, 13 do not.
  EXPECT_EQ(withParameter("l.php?f=5", "x=1", 14, &applied), "l.php?f=5&x=1");
  EXPECT_TRUE(applied);
  EXPECT_EQ(withParameter("l.php?f=5", "x=1", 13, &applied), "l.php?f=5");
  EXPECT_FALSE(applied);
  // Removing a parameter makes room.
  EXPECT_EQ(withParameter("l.php?x=12345", "x=1", 14, &applied), "l.php?x=1");
  EXPECT_TRUE(applied);
}

}  // namespace
}  // namespace quillstash
