// SPDX-License-Identifier: MIT
#include "archive/media.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/fake_fetcher.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

class Media : public ::testing::Test, protected test::MediaWorld {
 protected:
  Media() : MediaWorld("http://forum.test/forum/index.php") { folder_ = dir_.path() + "/"; }

  TopicMedia media(std::uint32_t item = 12) { return MediaWorld::media(item, folder_); }

  std::string image(const std::string& tag) {
    OutputBuffer out(0);
    TopicMedia m = media();
    const char* end = m.rewriteImage(tag.c_str(), out);
    EXPECT_EQ(*end, '\0') << tag;
    return std::string(out.view());
  }

  std::string link(const std::string& html, bool& linkOpen) {
    OutputBuffer out(0);
    TopicMedia m = media();
    m.rewriteLink(html.c_str(), out, linkOpen);
    return std::string(out.view());
  }

  test::TempDir dir_;
  std::string folder_;
};

TEST_F(Media, smileysOfTheForumBecomeCodes) {
  EXPECT_EQ(image("<img src=\"images/smiles/biggrin.gif\">"), ":D");
  EXPECT_EQ(image("<img src=\"http://forum.test/images/smiles/icon_smile.gif\" alt=x>"), "[/icon_smile.gif]");
  EXPECT_EQ(image("<img src='http://FORUM.test/smiles/smile.gif'>"), ":)");
  EXPECT_EQ(image("<img src=images/smiles/wink.gif>"), "[/wink.gif]");
  EXPECT_EQ(image("<img src=\"images/smilies/icon_smile.gif\">"), "");
  EXPECT_EQ(image("<img src=\"images/photo.jpg\">"), "");
  EXPECT_EQ(image("<img alt=x>"), "");
  EXPECT_TRUE(fetcher_.fileRequests.empty());
}

TEST_F(Media, externalImagesAreSavedLinkedOrDropped) {
  fetcher_.bodies["img.test/pics/pic.jpg"] = "JPEGDATA";
  EXPECT_EQ(image("<img src=\"http://img.test/pics/pic.jpg\">"), "<IMG src=\"00012 pic.jpg\">");
  EXPECT_EQ(test::readFile(dir_.file("00012 pic.jpg")), "JPEGDATA");
  // Taken once per run: the second use shows the remote copy only when asked to.
  EXPECT_EQ(image("<img src=\"http://img.test/pics/pic.jpg\">"), "");
  settings_.linkAllImages = true;
  EXPECT_EQ(image("<img src=\"http://img.test/pics/pic.jpg\">"), "<IMG src=\"http://img.test/pics/pic.jpg\">");
  EXPECT_EQ(fetcher_.fileRequests, (std::vector<std::string>{"img.test/pics/pic.jpg"}));
}

TEST_F(Media, anImageThatIsReallyAPageIsRefused) {
  fetcher_.bodies["img.test/fake.gif"] = "\r\n <html>not found</html>";
  EXPECT_EQ(image("<img src=\"http://img.test/fake.gif\">"), "");
  EXPECT_NE(view_.text().find("contains HTML code in it and was not saved"), std::string::npos);
  settings_.saveExternalImages = false;
  settings_.linkAllImages = true;
  EXPECT_EQ(image("<img src=\"http&#58;//img.test/other.gif\">"), "<IMG src=\"http://img.test/other.gif\">");
}

TEST_F(Media, linksToOtherHostsStayAndForumLinksBecomeText) {
  bool open = false;
  EXPECT_EQ(link("<a href=\"http://other.test/page?a=1\">", open), "<A HREF=\"http://other.test/page?a=1\">");
  EXPECT_TRUE(open);
  EXPECT_EQ(link("<a href=\"http://forum.test/viewtopic.php?t=1\">", open), "");
  EXPECT_FALSE(open);
  open = true;
  EXPECT_EQ(link("<a href=\"ftp://other.test/\">", open), "");
  EXPECT_TRUE(open);
  EXPECT_EQ(link("<a name=\"top\">", open), "");
  EXPECT_FALSE(open);
}

TEST_F(Media, anAttachmentLinkedFromTwoTopicsIsSavedOnce) {
  fetcher_.bodies["forum.test/forum/attachment.php?id=3"] = "ZIP";
  const char* page = "<a href=\"attachment.php?id=3&amp;sid=0123abcd\">file</a> <A HREF=attachment.php?id=3>again</a>";
  media(12).saveAttachmentsOfPage(page);
  media(13).saveAttachmentsOfPage(page);
  EXPECT_EQ(fetcher_.fileRequests, (std::vector<std::string>{"http://forum.test/forum/attachment.php?id=3"}));
  EXPECT_EQ(test::readFile(dir_.file("00012 attachment.php_id=3")), "ZIP");
  settings_.saveAttachments = false;
  files_.clear();
  media(14).saveAttachmentsOfPage(page);
  EXPECT_EQ(fetcher_.fileRequests.size(), 1u);
}

TEST_F(Media, attachmentAddressesResolveAgainstTheForumAddress) {
  TopicMedia m = media();
  m.saveAttachment("/files/a.zip", currentJob_, nullptr);
  m.saveAttachment("http://cdn.test/b.zip#x", currentJob_, nullptr);
  JobContext bare;
  bare.forumAddress.assign("http://bare.test");
  m.saveAttachment("c.zip", bare, nullptr);
  EXPECT_EQ(fetcher_.fileRequests, (std::vector<std::string>{"http://forum.test/files/a.zip", "http://cdn.test/b.zip",
                                                             "http://bare.test/c.zip"}));
}

TEST_F(Media, aThumbnailLinkSavesAndLinksTheFullImage) {
  fetcher_.bodies["host.test/show/1"] =
      "<html><head><img src=\"head.jpg\" title=\"no\"></head><body>[IMG]x<img src=\"thumb.jpg\">"
      "<img title=\"big\" src=\"/full/big.jpg\"></body>";
  fetcher_.bodies["host.test/full/big.jpg"] = "BIG";
  bool open = false;
  std::string out = link("<a href=\"http://host.test/show/1\"> &nbsp;<img src=\"http://host.test/t.jpg\">", open);
  EXPECT_EQ(out, "<A HREF=\"00012 big.jpg\">");
  EXPECT_TRUE(open);
  EXPECT_EQ(test::readFile(dir_.file("00012 big.jpg")), "BIG");
  EXPECT_NE(view_.text().find("* Image is linked using a thumbnail, downloading full image...\r\n"), std::string::npos);
  // Taken once: the same thumbnail again is an ordinary link to another host.
  EXPECT_EQ(link("<a href=\"http://host.test/show/1\"><img src=\"x\">", open), "<A HREF=\"http://host.test/show/1\">");
}

TEST_F(Media, addressesAreStoredWithoutSessionsOrEntities) {
  auto clean = [](const char* address) {
    FixedText<256> text;
    TextWriter out = text.writer();
    appendCleanAddress(address, out);
    out.terminate();
    return std::string(text.c_str());
  };
  EXPECT_EQ(clean("a.php?f=3&amp;sid=ab12&amp;start=0\" x"), "a.php?f=3&&start=0");
  EXPECT_EQ(clean("t.php?s=x0123abcd&t=5&PHPSESSID=9#top"), "t.php?&t=5");
  EXPECT_EQ(clean("t.php?s=abc&t=5"), "t.php?s=abc&t=5");
}

}  // namespace
}  // namespace quillstash
