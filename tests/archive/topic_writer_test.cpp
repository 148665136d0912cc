// SPDX-License-Identifier: MIT
#include "archive/topic_writer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "archive/fake_fetcher.h"
#include "archive/post_extraction.h"
#include "engines/profile.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

std::string row(const std::string& author, const std::string& message) {
  return std::string("<TR>") + kCellOpener + author + "</TD>" + kCellOpener + message + "</TD></TR>";
}

std::string topicFile(const std::string& title, const std::string& rows) {
  return std::string(kTopicHead) + title + kTopicTableHead + rows + kTopicFoot;
}

std::string post(const std::string& author, const std::string& message) {
  return "<tr><td width=150>" + author + "</td><td>" + message + "</td></tr>";
}

// Finds "NEXT:" followed by a link, standing in for the crawler's finder.
const char* findMarkedLink(const char* page) {
  const char* at = std::strstr(page, "NEXT:");
  return at == nullptr ? page + std::strlen(page) : at + 5;
}

class TopicWriter : public ::testing::Test {
 protected:
  TopicWriter() : log_(view_), fetcher_(log_), output_(64) {
    loadDefaultSettings(settings_);
    currentJob_.forumAddress.assign("http://forum.test/board/index.php");
    path_.assign(dir_.file("00001 A topic.html"));
  }

  bool write(const char* address, const EngineProfile* engine = nullptr) {
    topic_.forumAddress.assign(address);
    TopicWriterContext context{settings_, log_,  fetcher_, currentJob_,     visited_, files_,
                               1,         path_, output_,  &findMarkedLink, &counts_, engine};
    return writeTopic(topic_, context);
  }

  std::string written() { return test::readFile(path_.c_str()); }

  test::TempDir dir_;
  StringLogView view_;
  ActivityLog log_;
  test::FakeFetcher fetcher_;
  OutputBuffer output_;
  Settings settings_;
  JobContext currentJob_;
  JobContext topic_;
  LinkList visited_;
  LinkList files_;
  FixedText<8192> path_;
  RunCounts counts_;
};

TEST_F(TopicWriter, writesOnePageTopicByteForByte) {
  fetcher_.bodies["forum.test/board/t1"] =
      "<html><head><TITLE>My &amp; topic</title></head><body><table>" + post("Bob", "Hi<br>there") + "</table>";
  EXPECT_TRUE(write("http://forum.test/board/t1"));
  EXPECT_EQ(written(), topicFile("My &amp; topic", row("Bob", "Hi<BR>there")));
  EXPECT_EQ(view_.text(), "* Saved: " + std::string(path_.c_str()) + "\r\n");
}

TEST_F(TopicWriter, onlyAPlainTitleTagCounts) {
  fetcher_.bodies["forum.test/a"] = "<title id=x>no</title><title >no</title>";
  EXPECT_TRUE(write("http://forum.test/a"));
  EXPECT_EQ(written(), topicFile("", ""));
  fetcher_.bodies["forum.test/b"] = "<tItLe>  spaced\ttitle ";
  EXPECT_TRUE(write("http://forum.test/b"));
  EXPECT_EQ(written(), topicFile("  spaced\ttitle ", ""));
}

TEST_F(TopicWriter, aTopicWhoseFirstPageFailsIsNotWrittenAndCountsAsFailed) {
  EXPECT_FALSE(write("http://forum.test/missing"));
  EXPECT_FALSE(platform::pathExists(path_.c_str()));
  EXPECT_EQ(view_.text(),
            "[ X ] Topic not saved, its first page could not be fetched: " + std::string(path_.c_str()) + "\r\n");
  EXPECT_EQ(counts_.topicsFailed, 1u);
  EXPECT_EQ(counts_.topicsSaved, 0u);
}

TEST_F(TopicWriter, aStopRequestedDuringTheTopicWritesNothing) {
  fetcher_.bodies["forum.test/board/t"] = "<title>T</title>" + post("A", "one") + "NEXT:<a href=\"t?page=2\">2</a>";
  fetcher_.beforeFetch = [this](const std::string& address) {
    if (address.ends_with("page=2")) log_.requestStop();
  };
  EXPECT_FALSE(write("http://forum.test/board/t"));
  EXPECT_FALSE(platform::pathExists(path_.c_str()));
  EXPECT_FALSE(platform::pathExists((std::string(path_.c_str()) + ".part").c_str()));
  EXPECT_EQ(view_.text().find("Saved"), std::string::npos);
  EXPECT_EQ(counts_.topicsSaved + counts_.topicsFailed, 0u);
  EXPECT_FALSE(write("http://forum.test/board/t"));  // nothing at all once stopped
  EXPECT_EQ(fetcher_.pageRequests.size(), 2u);
}

TEST_F(TopicWriter, patternModeTopicByteForByte) {
  settings_.useAuthorPrefix = settings_.useAuthorSuffix = true;
  settings_.useMessagePrefix = settings_.useMessageSuffix = true;
  fetcher_.bodies["forum.test/p"] =
      "<title>P</title><!-- user info -->Ann<!-- / user info --><!-- message -->One<!-- / message -->"
      "<!-- user info -->Bo<!-- / user info --><!-- message -->Two<!-- / message --> end";
  EXPECT_TRUE(write("http://forum.test/p"));
  EXPECT_EQ(written(), topicFile("P", row("Ann", "One") + row("Bo", "Two")));
}

TEST_F(TopicWriter, followsThreePagesByTheUserPatternInOrder) {
  settings_.useTopicNextPagePattern = true;
  settings_.topicNextPagePattern.assign("start=");
  fetcher_.bodies["forum.test/board/t?id=7"] =
      "<title>Long</title>" + post("A", "one") +
      "<a href='t?id=7&amp;start=0'>1</a><a href='t?start=15'><a href=\"t?id=7&amp;start=20\">2</a>";
  fetcher_.bodies["forum.test/board/t?id=7&start=20"] =
      "<title>ignored</title>" + post("B", "two") + "<a href=\"t?id=7&amp;start=20\">2</a><a href=\"t?id=7&start=40\">";
  fetcher_.bodies["forum.test/board/t?id=7&start=40"] = post("C", "three") + "<a href=\"t?id=7&amp;start=40\">3</a>";
  EXPECT_TRUE(write("http://forum.test/board/t?id=7"));
  EXPECT_EQ(written(), topicFile("Long", row("A", "one") + row("B", "two") + row("C", "three")));
  EXPECT_EQ(fetcher_.pageRequests.size(), 3u);
}

TEST_F(TopicWriter, aFailedFollowingPageEndsTheTopicWithoutRepeats) {
  fetcher_.bodies["forum.test/board/t"] = "<title>T</title>" + post("A", "one") + "NEXT:<a href=\"t?page=2\">2</a>";
  EXPECT_TRUE(write("http://forum.test/board/t"));
  EXPECT_EQ(written(), topicFile("T", row("A", "one")));
  EXPECT_EQ(fetcher_.pageRequests,
            (std::vector<std::string>{"http://forum.test/board/t", "http://forum.test/board/t?page=2"}));
  EXPECT_NE(view_.text().find("[ X ] Topic incomplete, a later page could not be fetched: " +
                              std::string(path_.c_str()) + "\r\n* Saved: "),
            std::string::npos);
  EXPECT_EQ(counts_.topicsSaved, 1u);
  EXPECT_EQ(counts_.topicsIncomplete, 1u);
}

// Topics read by an engine profile keep the same outcomes as table-based
// ones, and save their posts' attachments beside the file.
TEST_F(TopicWriter, aProfileTopicFailsIncompletesAndSavesAttachmentsAsTheTablePathDoes) {
  std::string error;
  std::optional<EngineProfile> profile = parseProfile(
      "[engine]\nname = blocks\n[forums]\nlinks = a.f\n[topics]\nlinks = a.t\n"
      "[posts]\npost = div.p\nauthor = .who\nmessage = .text\nattachments = .files a\n",
      error);
  ASSERT_TRUE(profile) << error;

  EXPECT_FALSE(write("http://forum.test/board/missing", &*profile));
  EXPECT_FALSE(platform::pathExists(path_.c_str()));
  EXPECT_EQ(counts_.topicsFailed, 1u);

  fetcher_.bodies["forum.test/board/t"] =
      "<title>T</title><div class=p><b class=who>Ann</b><div class=text>one</div>"
      "<div class=files><a href='get?id=4'>notes.txt</a></div></div><a rel=next href='t?page=2'>2</a>";
  fetcher_.bodies["forum.test/board/get?id=4"] = "notes";
  EXPECT_TRUE(write("http://forum.test/board/t", &*profile));
  EXPECT_EQ(written(), topicFile("T", row("Ann", "one")));
  EXPECT_EQ(fetcher_.fileRequests, (std::vector<std::string>{"http://forum.test/board/get?id=4"}));
  EXPECT_EQ(counts_.filesSaved, 1u);
  EXPECT_EQ(counts_.topicsSaved, 1u);
  EXPECT_EQ(counts_.topicsIncomplete, 1u);  // page 2 could not be fetched
  EXPECT_NE(view_.text().find("[ X ] Topic incomplete"), std::string::npos);
}

TEST_F(TopicWriter, navigationLeadingBackEndsTheTopic) {
  fetcher_.bodies["forum.test/board/t"] = post("A", "one") + "NEXT:<a href=\"t?page=2\">2</a>";
  fetcher_.bodies["forum.test/board/t?page=2"] = post("B", "two") + "NEXT:<A HREF='/board/t'>1</a>";
  EXPECT_TRUE(write("http://forum.test/board/t"));
  EXPECT_EQ(written(), topicFile("", row("A", "one") + row("B", "two")));
  EXPECT_EQ(fetcher_.pageRequests.size(), 2u);

  // The first page again under another spelling: its posts are kept once.
  fetcher_.bodies["forum.test/board/u"] = post("A", "one") + "NEXT:<a href=\"u?start=0\">1</a>";
  fetcher_.bodies["forum.test/board/u?start=0"] = post("A", "one") + "NEXT:<a href=\"u?start=0&amp;x=1\">1</a>";
  EXPECT_TRUE(write("http://forum.test/board/u"));
  EXPECT_EQ(written(), topicFile("", row("A", "one")));
  EXPECT_EQ(counts_.topicsIncomplete, 0u);
}

TEST_F(TopicWriter, nextPagesComeFromTheForumHostWithoutSessions) {
  JobContext topic;
  resolveNextPageLink("http://mirror.test/x/t.php?t=1&amp;sid=abc&amp;s=0123456789&amp;p=2#r\"", currentJob_, topic);
  EXPECT_STREQ(topic.forumAddress.c_str(), "http://forum.test/x/t.php?t=1&&&p=2");
  resolveNextPageLink("t.php?p=3'", currentJob_, topic);
  EXPECT_STREQ(topic.forumAddress.c_str(), "http://forum.test/board/t.php?p=3");
  currentJob_.forumAddress.assign("http://forum.test");
  resolveNextPageLink("t.php?p=4", currentJob_, topic);
  EXPECT_STREQ(topic.forumAddress.c_str(), "http://forum.test/t.php?p=4");
}

TEST_F(TopicWriter, replacesAnOldFileAndGrowsPastItsFirstBuffer) {
  ASSERT_TRUE(platform::writeWholeFile(path_.c_str(), "old content that is longer", 26));
  std::string page = "<title>Big</title>";
  std::string rows;
  // GCC 12 at -O3 warns that "literal" + std::string&& may overlap in its
  // inlined memcpy, a known false positive of that compiler's string insert.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
  for (int i = 0; i < 200; ++i) {
    page += post("u" + std::to_string(i), std::string(100, 'x'));
    rows += row("u" + std::to_string(i), std::string(100, 'x'));
  }
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  fetcher_.bodies["forum.test/big"] = page;
  EXPECT_TRUE(write("http://forum.test/big"));
  EXPECT_EQ(written(), topicFile("Big", rows));
}

TEST_F(TopicWriter, aFileThatCannotBeWrittenIsReportedNotSaved) {
  fetcher_.bodies["forum.test/t"] = "<title>T</title>";
  path_.assign(dir_.file("no such folder/00001 T.html"));
  EXPECT_FALSE(write("http://forum.test/t"));
  EXPECT_EQ(view_.text(), "[ X ] Error creating file " + std::string(path_.c_str()) + "\r\n");
}

TEST_F(TopicWriter, savesImagesBesideTheTopicFile) {
  fetcher_.bodies["forum.test/t"] = post("A", "<img src=\"http://pics.test/a.png\">");
  fetcher_.bodies["pics.test/a.png"] = "PNG";
  EXPECT_TRUE(write("http://forum.test/t"));
  EXPECT_EQ(written(), topicFile("", row("A", "<IMG src=\"00001 a.png\">")));
  EXPECT_EQ(test::readFile(dir_.file("00001 a.png")), "PNG");
}

}  // namespace
}  // namespace quillstash
