// SPDX-License-Identifier: MIT
#include "crawler/forum_folder.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

std::string folderFor(const std::string& page, const std::string& directory = "/out/", std::uint32_t chars = 50) {
  FixedText<8192> path;
  path.assign(directory);
  EXPECT_TRUE(nameForumFolder(page.c_str(), path, chars));
  return path.c_str();
}

std::string titled(const std::string& title) {
  return "<html><head><TITLE>" + title + "</TITLE></head><body></body></html>";
}

TEST(ForumFolder, namesTheFolderAfterTheTitleWithoutItsTrailer) {
  EXPECT_EQ(folderFor(titled("My Board - Powered by Engine")), "/out/My Board");
  EXPECT_EQ(folderFor(titled("Example Forums :: Index")), "/out/Example Forums");
  EXPECT_EQ(folderFor(titled("&raquo;Talk &amp; Chat")), "/out/Talk");
  EXPECT_EQ(folderFor(titled("Board powered by X")), "/out/Board");
  EXPECT_EQ(folderFor(titled("Powered by X")), "/out/Powered by X");
  EXPECT_EQ(folderFor(titled("A - B")), "/out/A");
  EXPECT_EQ(folderFor(titled("Forumindex")), "/out/Foru");
  EXPECT_EQ(folderFor(titled("Lantern Keepers :: Index")), "/out/Lantern Keepers");
  EXPECT_EQ(folderFor(titled("Q: what/why?")), "/out/Q_ what-why_");
  // A leading character reference is the name's first letter, not a decoration.
  EXPECT_EQ(folderFor(titled("&#66;oard")), "/out/Board");
  EXPECT_EQ(folderFor(titled("&#201;cole Navale")),
            "/out/\xC3\x89"
            "cole Navale");
  EXPECT_EQ(folderFor(titled("&#47;&#9;Board")), "/out/Board");
  // A name every system the archive may be copied to accepts.
  EXPECT_EQ(folderFor(titled("Aux")), "/out/Aux_");
  EXPECT_EQ(folderFor(titled("The Lounge...")), "/out/The Lounge");
}

TEST(ForumFolder, addsTheSeparatorAndHonoursTheNameLength) {
  EXPECT_EQ(folderFor(titled("Harbour Watch"), "/out"),
            std::string("/out") + platform::kPathSeparator + "Harbour Watch");
  EXPECT_EQ(folderFor(titled("Harbour Watch"), "/out/", 8), "/out/Harbour W");
}

TEST(ForumFolder, fallsBackToTheFirstFreeForumNumber) {
  test::TempDir dir;
  std::string base = dir.path() + "/";
  ASSERT_EQ(platform::createDirectory((base + "Forum_1").c_str()), platform::CreateDirectoryResult::kCreated);
  EXPECT_EQ(folderFor("<html><body>no title</body></html>", base), base + "Forum_2");
  EXPECT_EQ(folderFor(titled("Index"), base), base + "Forum_2");
  EXPECT_EQ(folderFor(titled(" - "), base), base + "Forum_2");
  EXPECT_EQ(folderFor(titled("&nbsp;&raquo;"), base), base + "Forum_2");
  EXPECT_EQ(folderFor("", base), base + "Forum_2");
  EXPECT_EQ(folderFor(titled("x"), base, 0), base + "Forum_2");
}

TEST(ForumFolder, neverNamesTheOutputDirectoryOrItsParent) {
  test::TempDir dir;
  std::string base = dir.path() + "/";
  EXPECT_EQ(folderFor(titled(".."), base), base + "Forum_1");
  EXPECT_EQ(folderFor(titled("."), base), base + "Forum_1");
  EXPECT_EQ(folderFor(titled("..."), base), base + "Forum_1");
  EXPECT_EQ(folderFor(titled("../../etc"), base), base + "..-..-etc");
}

TEST(ForumFolder, unterminatedTitleTagAtTheEndOfThePage) {
  test::TempDir dir;
  std::string base = dir.path() + "/";
  EXPECT_EQ(folderFor("<html><title", base), base + "Forum_1");
  EXPECT_EQ(folderFor("<title>Cut off", base), base + "Cut off");
}

}  // namespace
}  // namespace quillstash
