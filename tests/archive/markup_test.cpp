// SPDX-License-Identifier: MIT
#include "archive/markup.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "archive/fake_fetcher.h"
#include "archive/media.h"
#include "archive/post_extraction.h"

namespace quillstash {
namespace {

// A message cleaned with the real image and link handling of a forum on
// forum.test, no files saved.
class Cleaner : public ::testing::Test, protected test::MediaWorld {
 protected:
  Cleaner() : MediaWorld("http://forum.test/board/index.php") {
    settings_.saveAttachments = false;
    settings_.saveExternalImages = false;
  }

  std::string message(const std::string& html, bool afterOpener = false) {
    OutputBuffer out(0);
    if (afterOpener) out.append(kCellOpener);
    TopicMedia m = media();
    cleanMessageText(html.c_str(), out, m);
    return std::string(out.view().substr(afterOpener ? std::string(kCellOpener).size() : 0));
  }

  std::string author(const std::string& html) {
    OutputBuffer out(0);
    out.append(kCellOpener);
    cleanAuthorText(html.c_str(), out);
    return std::string(out.view().substr(std::string(kCellOpener).size()));
  }
};

TEST_F(Cleaner, collapsesLineBreaksAcrossTrailingWhitespace) {
  EXPECT_EQ(message("Hello<br>\r\n  <BR>World"), "Hello<BR>World");
  EXPECT_EQ(message("<br>first", true), "<BR>first");
  EXPECT_EQ(message("a\tb\r\nc &nbsp;&lt;"), "abc &nbsp;&lt;");
}

TEST_F(Cleaner, keepsBoldItalicUnderlineOnly) {
  EXPECT_EQ(message("<b>bold</b> <strong>x</strong>"), "<B>bold</B> x");
  EXPECT_EQ(message("<I class=q>i</i><u >u</U><big>g</big>"), "<I>i</I><U>u</U>g");
}

TEST_F(Cleaner, dropsScriptsAndScriptLikeTags) {
  EXPECT_EQ(message("<script>alert(1)</script>ok"), "ok");
  EXPECT_EQ(message("<scroll>hidden</SCRIPT>shown"), "shown");
  EXPECT_EQ(message("<script>never closed"), "");
}

TEST_F(Cleaner, endsTheCellAtItsClosingTagAndReturnsWhatFollows) {
  OutputBuffer out(0);
  TopicMedia m = media();
  const char* text = "one</td><td>two</td>";
  const char* stop = cleanMessageText(text, out, m);
  EXPECT_EQ(out.view(), "one");
  EXPECT_STREQ(stop, "<td>two</td>");
  out.clear();
  const char* nested = "<table><tr><td>in</td></tr></table>out</tr>rest";
  EXPECT_STREQ(cleanMessageText(nested, out, m), "rest");
}

TEST_F(Cleaner, authorLinksBecomeLinesAndImagesVanish) {
  EXPECT_EQ(author("<a href='profile'>Bob</a>Member"), "Bob<BR>Member");
  EXPECT_EQ(author("<img src=\"avatar.gif\">Bob<img src=x>"), "Bob");
}

TEST_F(Cleaner, authorTablesAreFlattenedIntoLines) {
  EXPECT_EQ(author("<table><tr><td>Joined</td></tr><tr><td>Posts</td></tr></table>"), "<BR>Joined<BR>Posts<BR>");
  EXPECT_EQ(author("Bob<table><tr><td>a<table><tr><td>b</td></tr></table></td></tr></table>c</td>x"),
            "Bob<BR>a<BR>b<BR><BR>c");
}

TEST_F(Cleaner, messageTablesAreCopiedWithoutPresentation) {
  EXPECT_EQ(message("<table class='quote' width='90%'><tr><td style='x'>Quoted</td></tr></table>"),
            "<table width='90%'><tr><td>Quoted</TD></TR></TABLE>");
}

TEST_F(Cleaner, droppedLinksKeepTheirTextAndBreakTheLine) {
  EXPECT_EQ(message("see <a href=\"viewtopic.php?t=2\">this</a> now"), "see this<BR> now");
  EXPECT_EQ(message("<a href=\"http://forum.test/x\">here</a>"), "here<BR>");
  EXPECT_EQ(message("<a href=\"http://other.test/a?b=1&amp;c\">there</a>!"),
            "<A HREF=\"http://other.test/a?b=1&amp;c\">there</A>!");
}

TEST_F(Cleaner, linkOpenedInsideAnInnerTableDoesNotLeakOut) {
  std::string out = message("<table><tr><td><a href=\"http://o.test/\">x</td></tr></table></a>");
  EXPECT_EQ(out, "<table><tr><td><A HREF=\"http://o.test/\">x</TD></TR></TABLE></A>");
  out = message("<table><tr><td><table><tr><td><a href=\"http://o.test/\">x</table></td></tr></table></a>");
  EXPECT_EQ(out, "<table><tr><td><table><tr><td><A HREF=\"http://o.test/\">x</TABLE></TD></TR></TABLE><BR>");
}

TEST_F(Cleaner, copyTagPlainDropsClassStyleAndHandlers) {
  auto plain = [](const char* tag) {
    OutputBuffer out(0);
    const char* end = copyTagPlain(tag, out);
    return std::string(out.view()) + "|" + end;
  };
  EXPECT_EQ(plain("<td colspan=2 CLASS=\"row1\" Style='a' onClick=\"x()\" align=left>z"),
            "<td colspan=2 align=left>|z");
  EXPECT_EQ(plain("<td/onclick=alert(1) width=5>"), "<td width=5>|");
  EXPECT_EQ(plain("<td\tonmouseover=x\nwidth='5'>"), "<td\nwidth='5'>|");
  EXPECT_EQ(plain("<td title=\"open width=5>rest"), "<td>|rest");
  EXPECT_EQ(plain("<td background=\"java&#115;cript:x\" bgcolor=red"), "<td bgcolor=red>|");
  EXPECT_EQ(plain("<th background=' JaVaScRiPt&colon;x'>"), "<th>|");
}

// Every tag of `html` must be free of handlers, presentation attributes and
// script URLs, and every quote opened in a tag must close in it.
void expectHarmless(const std::string& html) {
  std::string lower;
  for (char c : html) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  EXPECT_EQ(lower.find("javascript:"), std::string::npos) << html;
  EXPECT_EQ(lower.find("vbscript:"), std::string::npos) << html;
  EXPECT_EQ(lower.find("data:"), std::string::npos) << html;
  std::size_t open = 0;
  while ((open = lower.find('<', open)) != std::string::npos) {
    std::size_t close = lower.find('>', open);
    ASSERT_NE(close, std::string::npos) << "unclosed tag in " << html;
    std::string tag = lower.substr(open, close - open + 1);
    EXPECT_EQ(std::count(tag.begin(), tag.end(), '"') % 2, 0) << tag;
    EXPECT_EQ(std::count(tag.begin(), tag.end(), '\'') % 2, 0) << tag;
    // Attribute names: after a separator outside quotes.
    char quote = 0;
    for (std::size_t i = 1; i + 1 < tag.size(); ++i) {
      char c = tag[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == '"' || c == '\'') {
        quote = c;
        continue;
      }
      bool separator = std::isspace(static_cast<unsigned char>(c)) || c == '/' || c == '"' || c == '\'';
      if (!separator) continue;
      std::string rest = tag.substr(i + 1);
      EXPECT_NE(rest.rfind("on", 0), 0u) << tag;
      EXPECT_NE(rest.rfind("style", 0), 0u) << tag;
      EXPECT_NE(rest.rfind("class", 0), 0u) << tag;
    }
    open = close + 1;
  }
}

TEST(HarmlessCheck, catchesWhatItLooksFor) {
  EXPECT_NONFATAL_FAILURE(expectHarmless("<td\nOnClick=x>"), "");
  EXPECT_NONFATAL_FAILURE(expectHarmless("<td title='a' style=x>"), "");
  EXPECT_NONFATAL_FAILURE(expectHarmless("<td title=\"a>"), "");
  EXPECT_NONFATAL_FAILURE(expectHarmless("<a href=\"JavaScript:x\">"), "");
}

TEST_F(Cleaner, hostileMarkupLeavesNothingActive) {
  settings_.linkAllImages = true;
  const std::string hostile[] = {
      "<table onload=x()><tr ONMOUSEOVER=\"x\"><td OnClick=alert(1) style=\"x:expression(1)\">a</td></tr></table>",
      "<table><tr><td/onclick=alert(1)>a<th\tonfocus=x>b</table>",
      "<table background=\"&#106;avascript:alert(1)\"><tr><td background=&#x6A;&#x61;vascript:x>q</table>",
      "<table><tr><td title='a\" onclick=\"alert(1)'>t</td></tr></table>",
      "<table><tr><td title=\"unclosed>then\" onmouseover=\"alert(1)\"</table>",
      "<a href=\"javascript:alert(1)\">j</a><a href=\" javascript:x\">k</a><a href='vbscript:x'>v</a>",
      "<a href=\"data:text/html,<script>x</script>\">d</a><img src=\"data:image/png;base64,AAA\">",
      "<img src=\"http://evil.test/x.gif\" onerror=\"alert(1)\"><img src=javascript:alert(1)>",
      "<img src=\"/images/smiles/<img src=x onerror=alert(1)//\">",
      "<IMG SRC=\"http://evil.test/a.gif\"onerror=alert(1)><a href=\"http://evil.test/\"onclick=\"x\">l</a>",
      "<div onclick=x>plain</div><span style=color:red class=c>s</span><script>x</script><b onclick=x>b</b>",
      "<table class=x><tr><td>unclosed <b onmouseover=x <i style=y",
      std::string("\x01\x7f\xff<\xfe\x80<table\x0b\x0conclick=x><tr\x01onclick=y><td>\x90</td>", 45),
  };
  for (const std::string& html : hostile) {
    OutputBuffer out(0);
    TopicMedia m = media();
    bool linkOpen = false;
    cleanMessageText(html.c_str(), out, m);
    cleanAuthorText(html.c_str(), out);
    flattenTable(html.c_str(), out);
    for (std::size_t i = 0; i < html.size(); ++i) {
      if (html[i] != '<') continue;
      copyTagPlain(html.c_str() + i, out);
      if (html.compare(i, 6, "<table") == 0) copyTable(html.c_str() + i, out, m, linkOpen);
    }
    expectHarmless(std::string(out.view()));
  }
}

}  // namespace
}  // namespace quillstash
