// SPDX-License-Identifier: MIT
#include "crawler/page_links.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>

#include "support/temp_dir.h"

namespace quillstash {
namespace {

// The href of the link findNextPageLink returns, or "" for the NUL.
std::string nextPage(const std::string& page) {
  const char* at = findNextPageLink(page.c_str());
  if (*at == '\0') return "";
  EXPECT_TRUE(at[0] == '<' && (at[1] == 'a' || at[1] == 'A'));
  std::string rest(at);
  std::size_t href = rest.find("href=");
  if (href == std::string::npos) href = rest.find("HREF=");
  std::size_t start = href + 6;
  return rest.substr(start, rest.find(rest[start - 1], start) - start);
}

TEST(NextPageLink, followsTheBareCurrentPageNumber) {
  EXPECT_EQ(nextPage("<b>Pages (3):</b> [1] <a href=\"f.php?page=2\">2</a> <a href=\"f.php?page=3\">3</a>"),
            "f.php?page=2");
  EXPECT_EQ(nextPage("Goto page 1, <a href=\"v.php?start=20\">2</a>, <a href=\"v.php?start=40\">3</a>"),
            "v.php?start=20");
  EXPECT_EQ(nextPage("PAGES: <a href=\"p1\">1</a> <B>2</B> <a href=\"p3\">3</a>"), "p3");
  EXPECT_EQ(nextPage("Page: <font size=1>&nbsp;4&nbsp;</font> <!-- nav --> <A HREF=\"p5\">5</A>"), "p5");
  EXPECT_EQ(nextPage("<span class=\"pagelink\">nav: 2 <a href=\"q3\">3</a></span>"), "q3");
  EXPECT_EQ(nextPage("Pages: <a href=\"prev\">Prev Page</a> 2 <a href=\"n\">Next</a>"), "n");
  // A label inside a link followed by the page count, then the pages.
  EXPECT_EQ(nextPage("<a href=\"javascript:jump()\">Pages:</a> (4)&nbsp;<a href='p1'>1</a>&nbsp;<b>[2]</b>&nbsp;"
                     "<a href='p3'>3</a>"),
            "p3");
  // "Page 2 of 3", then one cell per page.
  EXPECT_EQ(nextPage("<td class=\"c\">Page 2 of 3</td><td><a href=\"p1\">&lt;</a></td><td><a href=\"p1\">1</a></td>"
                     "<td class=\"alt2\"><span title=\"Showing 21 to 40\"><strong>2</strong></span></td>"
                     "<td><a href=\"p3\">3</a></td>"),
            "p3");
}

TEST(NextPageLink, findsNothingWithoutABareNumberBeforeALink) {
  EXPECT_EQ(nextPage("Page 1 of 5 <a href=\"x\">2</a>"), "");
  EXPECT_EQ(nextPage("Pages: <a href=\"a\">1</a> <a href=\"b\">2</a> text"), "");
  EXPECT_EQ(nextPage("Pages: 1 2 3 end"), "");
  EXPECT_EQ(nextPage(""), "");
  EXPECT_EQ(nextPage("pages"), "");
  EXPECT_EQ(nextPage("goto pag"), "");
}

TEST(NextPageLink, aLastPageBlockIsPassedForALaterOne) {
  EXPECT_EQ(nextPage("Pages: <a href=\"a\">1</a> 2 end. Pages: 2 <a href=\"b\">3</a>"), "b");
}

TEST(NextPageLink, enginePagesGiveTheirNextPageAndOnlyThat) {
  const std::pair<const char*, std::string> cases[] = {
      {"classic/phpbb2_topic.html",
       "viewtopic.php?t=530&amp;postdays=0&amp;postorder=asc&amp;start=15&amp;sid=5d0e7a31c9f24b86a1e3d07f92c5b418"},
      // "Goto page" of a topic row lists links only; "Page 1 of 1" has none.
      {"classic/phpbb2_forum.html", ""},
      {"classic/phpbb2_index.html", ""},
      {"classic/vbulletin3_index.html", ""},
      {"classic/vbulletin3_thread.html", ""},
      {"classic/ipb1_index.html", ""},
      {"classic/ipb1_topic.html", ""},  // its topic rows' "(Pages 1 2)" are on the forum page
      {"classic/vbulletin3_forum.html",
       "forumdisplay.php?s=61e3b09d4f7a2c58e1d06b3a9f4c72e5&amp;f=5&amp;page=2&amp;order=desc"},
      {"classic/ipb1_forum.html",
       "index.php?s=c83a5f1e0d7b294a6e1f3c8b5d20a97e&amp;showforum=2&amp;prune_day=100&amp;sort_by=Z-A&amp;"
       "sort_key=last_post&amp;st=15"},
  };
  for (const auto& [name, next] : cases) {
    std::string page = test::fixturePage(name);
    ASSERT_FALSE(page.empty()) << name;
    EXPECT_EQ(nextPage(page), next) << name;
  }
}

TEST(NextPageLinkOnSavedPages, realForumPagesWithoutAPageLinkGiveNothing) {
  QUILLSTASH_REQUIRE_CORPUS();
  for (const char* name : {"phpbb2/forum-1.html", "phpbb2/forum-2.html", "phpbb2/topic-1.html"}) {
    std::string page = test::corpusPage(name);
    ASSERT_FALSE(page.empty()) << name;
    EXPECT_EQ(nextPage(page), "") << name;  // "Goto page" of a topic row lists links only
  }
}

TEST(NextPageLink, manyPagelinkMarkersWithoutQuotesFinishQuickly) {
  std::string page;
  for (int i = 0; i < 500000; ++i) page += "pagelink";
  page += "\"";
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(nextPage(page), "");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

}  // namespace
}  // namespace quillstash
