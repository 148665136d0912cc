// SPDX-License-Identifier: MIT
// The cleaner of messages read as a tree: what a reader needs survives, and
// nothing a page could use against the reader of the archive gets through.
#include <gtest/gtest.h>

#include <string>

#include "archive/scan.h"
#include "archive/tree_markup.h"
#include "html/tree.h"

namespace quillstash {
namespace {

// Records what the cleaner hands to the media and writes a mark for it.
class RecordingMedia : public MessageMedia {
 public:
  const char* rewriteImage(const char* tag, OutputBuffer& out) override {
    images += tag;
    out.append("[img]");
    return archive_scan::skipTag(tag);
  }
  const char* rewriteLink(const char* tag, OutputBuffer& out, bool& linkOpen) override {
    links += tag;
    out.append("<A HREF=\"x\">");
    linkOpen = true;
    return archive_scan::skipTag(tag);
  }
  std::string images;
  std::string links;
};

std::string clean(const std::string& html, RecordingMedia& media, const std::string& dropQuery = "") {
  auto page = html::Document::parse("<div id=m>" + html + "</div>");
  html::Node message = page->select("#m").front();
  MessageParts parts;
  if (!dropQuery.empty()) parts.dropped = page->select(dropQuery, message);
  OutputBuffer out(64);
  writeMessageTree(message, parts, "forum.example:8080", out, media);
  return std::string(out.view());
}

std::string clean(const std::string& html) {
  RecordingMedia media;
  return clean(html, media);
}

TEST(TreeMarkup, keepsWhatAReaderNeeds) {
  EXPECT_EQ(clean("<p>One <strong>bold</strong>, <em>it</em> and\n  <u>under</u><br>next</p><p>Two</p>"),
            "<P>One <B>bold</B>, <I>it</I> and <U>under</U><BR>next</P><P>Two</P>");
  EXPECT_EQ(clean("<blockquote><cite>Ann wrote:</cite>Hi</blockquote>After"),
            "<BLOCKQUOTE><B>Ann wrote:</B><BR>Hi</BLOCKQUOTE>After");
  EXPECT_EQ(clean("<pre><code>if (a &lt; b)\n  go();</code></pre>"), "<PRE>if (a &lt; b)<BR>  go();</PRE>");
  EXPECT_EQ(clean("<ol><li>a</li><li><b>b</b></li></ol>"), "<OL><LI>a</LI><LI><B>b</B></LI></OL>");
  EXPECT_EQ(clean("Smile <img src='/images/smile.gif' alt=':)'> <img src='data:image/gif;base64,AA' alt=':D'>"),
            "Smile :) :D");
  // A secure link elsewhere is kept as written; one into the forum goes to the
  // media like a plain one (which drops links into the forum).
  RecordingMedia media;
  EXPECT_EQ(
      clean("<a href='https://other.example/p?a=1&amp;b=2'>there</a> <a href='https://forum.example:8080/x'>here</a>",
            media),
      "<A HREF=\"https://other.example/p?a=1&amp;b=2\">there</A> <A HREF=\"x\">here</A>");
  EXPECT_EQ(media.links, "<a href=\"https://forum.example:8080/x\">");
}

TEST(TreeMarkup, letsNothingActiveOrForeignThrough) {
  RecordingMedia media;
  std::string out = clean(
      "<p onclick='steal()' style='x' class='y'>text</p><script>alert(1)</script><style>p{}</style>"
      "<iframe src='http://evil/'></iframe><form><input value=secret></form>"
      "<a href='javascript:alert(1)'>js</a><a href=' JaVaScRiPt:alert(2)'>js2</a>"
      "<img src='javascript:alert(3)' alt=''><img src='https://evil/\"onerror=x'>"
      "&lt;script&gt;alert(4)&lt;/script&gt;<object data=x>obj</object><svg><script>alert(5)</script></svg>",
      media);
  EXPECT_EQ(out, "<P>text</P>jsjs2&lt;script&gt;alert(4)&lt;/script&gt;");
  EXPECT_EQ(media.links, "");
  EXPECT_EQ(media.images, "");
  // Dropped parts leave nothing; plain remote links and pictures go to the media.
  out = clean("<div class=sig>signature</div><a href='http://other/x'>l</a><img src='http://other/p.png'>", media,
              ".sig");
  EXPECT_EQ(out, "<A HREF=\"x\">l</A>[img]");
  EXPECT_EQ(media.links, "<a href=\"http://other/x\">");
  EXPECT_EQ(media.images, "<img src=\"http://other/p.png\">");
}

TEST(TreeMarkup, writesDeeplyNestedMessagesAsTextWithoutExhaustingTheStack) {
  std::string html;
  for (int i = 0; i < 120; ++i) html += "<blockquote><b>";
  EXPECT_NE(clean(html + "deep").find("deep"), std::string::npos);
  for (int i = 0; i < 20000; ++i) html += "<blockquote><b>";
  EXPECT_LT(clean(html + "deeper").size(), 20000u);
}

}  // namespace
}  // namespace quillstash
