// SPDX-License-Identifier: MIT
// The HTML tree and its selectors, address patterns, the profile format and
// reading pages by a profile.
#include <gtest/gtest.h>

#include <string>

#include "engines/page_reading.h"
#include "engines/profile.h"
#include "html/selector.h"
#include "html/tree.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

std::vector<std::string> texts(const std::vector<html::Node>& nodes) {
  std::vector<std::string> out;
  for (const html::Node& node : nodes) out.push_back(node.text());
  return out;
}

TEST(HtmlTree, selectsByTheCssSubsetAndXPath) {
  auto page = html::Document::parse(
      "<div id=main class='list big'><ul><li><a class=t href='/t/1' rel='nofollow next'>One</a></li>"
      "<li><span><a class=t href='/t/2?x=1'>Two</a></span></li></ul>"
      "<a class=other href='/forum/5'>Five &amp; six</a></div><p><a class=t>Outside</a>");
  using V = std::vector<std::string>;
  EXPECT_EQ(texts(page->select("#main a.t")), (V{"One", "Two"}));
  EXPECT_EQ(texts(page->select("li > a")), (V{"One"}));
  EXPECT_EQ(texts(page->select("div.list.big > a, p a")), (V{"Five & six", "Outside"}));
  EXPECT_EQ(texts(page->select("a[rel~=next]")), (V{"One"}));
  EXPECT_EQ(texts(page->select("a[href*='x=1'], a[href^=\"/forum\"], a[href$='/1']")), (V{"One", "Two", "Five & six"}));
  EXPECT_EQ(texts(page->select("A[HREF]")).size(), 3u);
  EXPECT_EQ(texts(page->xpath("//li//a[contains(@href,'/t/')]")), (V{"One", "Two"}));
  EXPECT_EQ(texts(page->query("xpath://p/a")), (V{"Outside"}));
  for (const char* broken : {"", "a[", "a >", ".", "a[href=", "div > > a", "//a"}) {
    EXPECT_TRUE(page->select(broken).empty()) << broken;
  }
  EXPECT_TRUE(page->xpath("//a[").empty());
}

TEST(HtmlTree, survivesHostilePages) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<div class=d>";
  deep += "<a class=x href=/t/1>deep</a>";
  auto page = html::Document::parse(deep);
  // A chain that could backtrack through every ancestor finishes and answers.
  page->select("div div div div div a.y");
  EXPECT_LE(page->select("div a.x").size(), 1u);

  std::string broken =
      std::string("<p>a\0b<a href='x", 16) + std::string(1 << 20, 'y') + "<b><i></b></i><table><td>cell";
  page = html::Document::parse(broken);
  EXPECT_TRUE(page->root());
  EXPECT_TRUE(html::Document::parse("")->select("a").empty());
  // Bytes that are not UTF-8 are read by the page's own character set.
  page = html::Document::parse("<meta charset=iso-8859-1><p>caf\xe9</p>");
  EXPECT_EQ(page->select("p").front().text(), "caf\xc3\xa9");
}

TEST(AddressPattern, capturesTheWholeNumberAndMatchesTheWholeAddress) {
  std::string id;
  EXPECT_TRUE(matchAddressPattern("*/threads/*.#/*", "http://h/threads/title-2024.15/page-2", &id));
  EXPECT_EQ(id, "15");
  EXPECT_TRUE(matchAddressPattern("*viewtopic.php?*&t=#*", "http://h/viewtopic.php?f=2&t=7&start=4", &id));
  EXPECT_EQ(id, "7");
  EXPECT_FALSE(matchAddressPattern("*viewtopic.php?*&t=#*", "http://h/viewtopic.php?f=2&start=4"));
  EXPECT_FALSE(matchAddressPattern("*/forum/#-*", "http://h/forum/12"));  // anchored at the end
  EXPECT_TRUE(matchAddressPattern("/t/#", "http://h/t/12#post3x"));       // the fragment is not part of it

  LinkRules rules;
  rules.addresses = {"*/t/*/#", "*/t/*/#?*"};
  EXPECT_EQ(linkKey(rules, "http://h/t/first-slug/0042"), "#42");
  EXPECT_EQ(linkKey(rules, "http://h/t/other-slug/42?page=3"), "#42");
  EXPECT_EQ(linkKey(rules, "http://h/u/someone"), "");

  // Many stars against a long address finish at once.
  std::string address = "http://h/" + std::string(4000, 'a');
  EXPECT_FALSE(matchAddressPattern("*a*a*a*a*a*a*a*a*b", address));
}

TEST(ProfileFormat, parsesSectionsAndReportsTheLineOfAMistake) {
  std::string error;
  auto profile = parseProfile(
      "# comment\n[engine]\nname = x\ndetect = body.x\ndetect = meta[name=generator]\n"
      "[forums]\nlinks = a.f\nlinks = a.sub\naddress = */f/# */f/#/*\n"
      "[topics]\nlinks = a.t\n[posts]\npost = .p\nauthor = .a\nmessage = .m\n",
      error);
  ASSERT_TRUE(profile) << error;
  EXPECT_EQ(profile->forums.links, "a.f, a.sub");
  EXPECT_EQ(profile->forums.addresses.size(), 2u);
  EXPECT_EQ(profile->detect.size(), 2u);
  EXPECT_EQ(profile->title, "x");

  EXPECT_FALSE(parseProfile("[engine]\nname = x\n[forums]\nlinkz = a\n", error));
  EXPECT_EQ(error, "line 4: unknown key linkz in [forums]");
  EXPECT_FALSE(parseProfile("name = x\n", error));
  EXPECT_EQ(error, "line 1: a key before the first section");
  EXPECT_FALSE(parseProfile(
      "[engine]\nname = classic\n[forums]\nlinks=a\n[topics]\nlinks=a\n[posts]\npost=a\nauthor=a\nmessage=a", error));
  EXPECT_FALSE(parseProfile("[engine]\nname = x\n", error));
  // A page part that could swallow the whole address is refused, not ignored.
  EXPECT_FALSE(parseProfile("[engine]\nname = x\n[forums]\npage-part = /page# *page#\n", error));
  EXPECT_EQ(error, "line 4: a page part starts with the character it names, not '*' or '#'");
}

TEST(ProfileFormat, everyBuiltInProfileParsesAndNoneClaimsAClassicBoard) {
  // A built-in file with a mistake would silently drop its engine.
  std::vector<EngineProfile> profiles = builtInProfiles();
  std::vector<std::string> names;
  for (const EngineProfile& profile : profiles) names.push_back(profile.name);
  EXPECT_EQ(names, (std::vector<std::string>{"discourse", "fluxbb", "ips4", "mybb18", "phpbb3", "smf21", "vbulletin4",
                                             "vbulletin5", "xenforo2"}));
  for (const char* page : {"classic/phpbb2_index.html", "classic/phpbb2_forum.html", "classic/vbulletin3_index.html",
                           "classic/vbulletin3_forum.html", "classic/ipb1_index.html", "classic/ipb1_forum.html"}) {
    std::string text = test::fixturePage(page);
    ASSERT_FALSE(text.empty()) << page;
    const EngineProfile* found = detectProfile(*html::Document::parse(text), profiles);
    EXPECT_EQ(found, nullptr) << page << " taken for " << found->name;
  }
}

TEST(PageReading, takesNamedLinksOncePerIdAndFollowsOnlyTheSameForumOrTopic) {
  LinkRules rules;
  rules.links = "a.t";
  rules.addresses = {"*/t/#-*"};
  rules.ignore = ".jump";
  rules.ignoreAddresses = {"*sort=*"};
  rules.next = ".pager a.next";
  auto page = html::Document::parse(
      "<a class=t href='t/5-x'><img src=i.png></a><a class=t href='./t/5-first?sid=0123456789abcdef0123456789abcdef'>First</a>"
      "<a class=t href='/t/5-again'>Again</a><div class=jump><a class=t href='/t/6-j'>Jump</a></div>"
      "<a class=t href='/t/7-s?sort=1'>Sorted</a><a class=t href='javascript:go()'>Script</a><a class=t href='../t/8-b'>Back</a>"
      "<div class=pager><a class=next href='/t/9-other?page=2'>no</a><a class=next href='/t/5-first?page=2'>yes</a></div>");
  std::vector<FoundLink> links = findLinks(*page, rules, "http://h/board/index.php");
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].address, "http://h/board/t/5-first");  // the icon link named nothing
  EXPECT_EQ(links[0].text, "First");
  EXPECT_EQ(links[1].address, "http://h/t/8-b");
  EXPECT_EQ(findNextPage(*page, rules, "http://h/t/5-first", "#5"), "http://h/t/5-first?page=2");
  // rel="next" comes first, but not when it leads to another topic.
  page = html::Document::parse("<link rel=next href='/t/6-x'><a rel='next' href='/t/5-y?page=3'>3</a>");
  EXPECT_EQ(findNextPage(*page, rules, "http://h/t/5-y", "#5"), "http://h/t/5-y?page=3");
}

// vBulletin 5 addresses its channels by path alone: the pages and spellings
// of one channel must share one key, and a next link must stay in the channel.
TEST(PageReading, pathAddressedForumsAreOneForumOverTheirPagesAndSpellings) {
  std::vector<EngineProfile> profiles = builtInProfiles();
  const EngineProfile* vb5 = findProfile("vbulletin5", profiles);
  ASSERT_NE(vb5, nullptr);
  const LinkRules& forums = vb5->forums;
  const std::string key = linkKey(forums, "http://h/forum/the-lamp-room/general-chat");
  EXPECT_EQ(key, "/forum/the-lamp-room/general-chat");
  for (const char* same :
       {"http://h/forum/the-lamp-room/general-chat/", "http://h/forum/the-lamp-room/general-chat/page2",
        "http://h/forum/the-lamp-room/general-chat/page12?ref=nav",
        "http://h/forum/the-lamp-room/general-chat?view=stream#top"}) {
    EXPECT_EQ(linkKey(forums, same), key) << same;
  }
  EXPECT_NE(linkKey(forums, "http://h/forum/the-lamp-room/general-chat/introductions"), key);
  EXPECT_NE(linkKey(forums, "http://h/forum/the-lamp-room/general-chat-archive"), key);

  auto page = html::Document::parse(
      "<link rel=next href='/forum/the-lamp-room/storm-stories/page2'>"
      "<a class='js-pagenav-next-button' href='/forum/the-lamp-room/general-chat/page3'>next</a>");
  EXPECT_EQ(findNextPage(*page, forums, "http://h/forum/the-lamp-room/general-chat/page2", key),
            "http://h/forum/the-lamp-room/general-chat/page3");
}

}  // namespace
}  // namespace quillstash
