// SPDX-License-Identifier: MIT
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/process.h"
#include "support/temp_dir.h"

namespace quillstash::platform {
namespace {

using test::readFile;
using test::TempDir;

TEST(Directories, reportCreatedExistingAndFailed) {
  TempDir dir;
  std::string forum = dir.file("Forum");
  EXPECT_EQ(createDirectory(forum.c_str()), CreateDirectoryResult::kCreated);
  EXPECT_EQ(createDirectory(forum.c_str()), CreateDirectoryResult::kAlreadyExists);
  EXPECT_TRUE(pathExists(forum.c_str()));

  std::string missingParent = dir.file("no/such/parent");
  EXPECT_EQ(createDirectory(missingParent.c_str()), CreateDirectoryResult::kFailed);

  std::string file = dir.file("plain");
  ASSERT_TRUE(writeWholeFile(file.c_str(), "x", 1));
  EXPECT_EQ(createDirectory(file.c_str()), CreateDirectoryResult::kFailed);
}

TEST(Files, wholeFileReplacesAndLeavesNoTemporary) {
  TempDir dir;
  std::string file = dir.file("00001 Topic.html");
  ASSERT_TRUE(writeWholeFile(file.c_str(), "first version", 13));
  ASSERT_TRUE(writeWholeFile(file.c_str(), "second", 6));
  EXPECT_EQ(readFile(file), "second");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  std::string inMissingFolder = dir.file("missing/file.html");
  EXPECT_FALSE(writeWholeFile(inMissingFolder.c_str(), "x", 1));
  EXPECT_FALSE(pathExists(inMissingFolder.c_str()));
}

TEST(Files, appendKeepsWhatWasThere) {
  TempDir dir;
  std::string file = dir.file("run.log");
  ASSERT_TRUE(appendToFile(file.c_str(), "one\r\n", 5));
  ASSERT_TRUE(appendToFile(file.c_str(), "two\r\n", 5));
  EXPECT_EQ(readFile(file), "one\r\ntwo\r\n");
}

TEST(Files, outputFileIsWrittenBesideItsNameAndAppearsOnlyWhenCommitted) {
  TempDir dir;
  std::string file = dir.file("00002 pic.jpg");
  ASSERT_TRUE(writeWholeFile(file.c_str(), "old", 3));
  {
    OutputFile out;
    ASSERT_TRUE(out.create(file.c_str()));
    EXPECT_TRUE(out.write("abc", 3));
    EXPECT_TRUE(out.write("def", 3));
    EXPECT_TRUE(out.restart());
    EXPECT_TRUE(out.write("xyz", 3));
    EXPECT_EQ(readFile(file + ".part"), "xyz");
    EXPECT_EQ(readFile(file), "old");
    EXPECT_TRUE(out.commit());
  }
  EXPECT_EQ(readFile(file), "xyz");
  EXPECT_FALSE(pathExists((file + ".part").c_str()));

  // Dropped without a commit (an error or a stop): the .part goes, the old file stays.
  {
    OutputFile out;
    ASSERT_TRUE(out.create(file.c_str()));
    EXPECT_TRUE(out.write("cut", 3));
  }
  EXPECT_FALSE(pathExists((file + ".part").c_str()));
  EXPECT_EQ(readFile(file), "xyz");

  OutputFile closed;
  EXPECT_FALSE(closed.write("a", 1));
  EXPECT_FALSE(closed.commit());
  EXPECT_FALSE(closed.create(dir.file("missing/x").c_str()));
}

TEST(Process, programPathNamesThisTestBinary) {
  std::string path = programPath();
  EXPECT_NE(path.find("platform_tests"), std::string::npos) << path;
  EXPECT_FALSE(homeDirectory().empty());
}

}  // namespace
}  // namespace quillstash::platform
