// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include <gtest/gtest.h>

namespace quillstash::cli {
namespace {

ParseResult parse(std::vector<std::string> arguments) { return parseArguments(arguments); }

TEST(CliOptions, addressAndDirectoryWithDefaultSettings) {
  ParseResult r = parse({"http://127.0.0.1:8080/index.php"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.forumAddress, "http://127.0.0.1:8080/index.php");
  EXPECT_EQ(r.options.outputDirectory, ".");
  EXPECT_EQ(r.options.settings.connectRetries, 2u);
  EXPECT_FALSE(r.options.login);

  r = parse({"host/forum", "/tmp/archive"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.outputDirectory, "/tmp/archive");
}

TEST(CliOptions, httpsTrustAndTheUserAgent) {
  ParseResult r = parse({"https://forum.test/"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_FALSE(r.options.settings.skipCertificateCheck);
  EXPECT_STREQ(r.options.settings.caFile.c_str(), "");
  EXPECT_STREQ(r.options.settings.userAgent.c_str(), "Quillstash/" QUILLSTASH_VERSION);
  EXPECT_FALSE(r.options.settings.http10);
  EXPECT_EQ(r.options.settings.connections, 2u);
  EXPECT_EQ(parse({"--connections", "8", "host"}).options.settings.connections, 8u);

  r = parse(
      {"--ca-file", "/tmp/ca.pem", "--insecure", "--user-agent=Archiver/2 (test)", "--http1.0", "https://forum.test/"});
  EXPECT_TRUE(r.options.settings.http10);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_STREQ(r.options.settings.caFile.c_str(), "/tmp/ca.pem");
  EXPECT_TRUE(r.options.settings.skipCertificateCheck);
  EXPECT_STREQ(r.options.settings.userAgent.c_str(), "Archiver/2 (test)");
  EXPECT_FALSE(parse({"--user-agent=", "host"}).ok);
  EXPECT_FALSE(parse({"--insecure=yes", "host"}).ok);
}

TEST(CliOptions, textAndDelayOptionsSwitchTheirSettingOn) {
  ParseResult r = parse({"--topic-link-pattern", "showtopic=#|", "--forum-next-page=&amp;st=#|", "--delay", "3",
                         "--proxy", "proxy:3128", "--link-parameter", "daysprune=-1", "--connect-retry-delay", "0",
                         "--receive-retry-delay", "250", "--no-attachments", "--link-all-images", "host"});
  ASSERT_TRUE(r.ok) << r.error;
  const Settings& s = r.options.settings;
  EXPECT_TRUE(s.useTopicLinkPattern);
  EXPECT_STREQ(s.topicLinkPattern.c_str(), "showtopic=#|");
  EXPECT_TRUE(s.useForumNextPagePattern);
  EXPECT_STREQ(s.forumNextPagePattern.c_str(), "&amp;st=#|");
  EXPECT_FALSE(s.useForumLinkPattern);
  EXPECT_TRUE(s.useDownloadDelay);
  EXPECT_EQ(s.downloadDelayMs, 3000u);
  EXPECT_TRUE(s.useProxy);
  EXPECT_TRUE(s.proxyForumLinksOnly);
  EXPECT_STREQ(s.proxyAddress.c_str(), "proxy:3128");
  EXPECT_TRUE(s.useLinkParameter);
  EXPECT_FALSE(s.useConnectRetryDelay);
  EXPECT_TRUE(s.useReceiveRetryDelay);
  EXPECT_EQ(s.receiveRetryDelayMs, 250u);
  EXPECT_FALSE(s.saveAttachments);
  EXPECT_TRUE(s.saveExternalImages);
  EXPECT_TRUE(s.linkAllImages);
}

TEST(CliOptions, loginSkipListAndTimeout) {
  ParseResult r = parse({"-u", "keeper", "--password", "a&b=c", "--skip", "2,5,1024", "--receive-timeout", "7",
                         "--list-forums", "--log-file", "run.log", "host"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.options.login);
  EXPECT_EQ(r.options.userName, "keeper");
  EXPECT_EQ(r.options.password, "a&b=c");
  EXPECT_EQ(r.options.skippedForums, (std::vector<std::uint32_t>{2, 5, 1024}));
  EXPECT_EQ(r.options.receiveTimeout, std::chrono::seconds(7));
  EXPECT_TRUE(r.options.listForums);
  EXPECT_EQ(r.options.logFile, "run.log");
}

TEST(CliOptions, usageErrorsNameTheProblem) {
  struct Case {
    std::vector<std::string> arguments;
    const char* message;
  };
  const Case cases[] = {
      {{}, "missing forum address"},
      {{"--frobnicate", "host"}, "unknown option --frobnicate"},
      {{"--delay", "soon", "host"}, "option --delay takes a number of seconds"},
      {{"--connect-retries", "-1", "host"}, "option --connect-retries takes a number from 0 to 100"},
      {{"--receive-retries", "4294967295", "host"}, "option --receive-retries takes a number from 0 to 100"},
      {{"--fetch-deadline", "0", "host"}, "option --fetch-deadline takes a number of seconds from 1 to 86400"},
      {{"--connections", "0", "host"}, "option --connections takes a number from 1 to 8"},
      {{"--connections", "9", "host"}, "option --connections takes a number from 1 to 8"},
      {{"--connections", "two", "host"}, "option --connections takes a number from 1 to 8"},
      {{"--max-file-size", "2048G", "host"},
       "option --max-file-size takes a size from 1 byte to 1024G (suffixes K, M, G)"},
      {{"--max-file-size", "10X", "host"},
       "option --max-file-size takes a size from 1 byte to 1024G (suffixes K, M, G)"},
      {{"ftp://host/"}, "the forum address must start with http:// or https://"},
      {{"http://host:99999/"}, "the port of the forum address must be a number from 1 to 65535"},
      {{"--proxy", "proxy.test:70000", "host"}, "the port of the proxy must be a number from 1 to 65535"},
      {{"--proxy=proxy.test:0", "host"}, "the port of the proxy must be a number from 1 to 65535"},
      {{"--max-name-chars", "99999999999", "host"}, "option --max-name-chars takes a number from 8 to 200"},
      {{"--max-name-chars", "0", "host"}, "option --max-name-chars takes a number from 8 to 200"},
      {{"--skip", "0", "host"}, "option --skip takes forum numbers from 1 to 1024, separated by commas"},
      {{"--skip", "1025", "host"}, "option --skip takes forum numbers from 1 to 1024, separated by commas"},
      {{"--skip", "3,", "host"}, "option --skip takes forum numbers from 1 to 1024, separated by commas"},
      {{"host", "out", "extra"}, "too many arguments: extra"},
      {{"host", "--user"}, "option --user needs a value"},
      {{"--no-attachments=yes", "host"}, "unknown option --no-attachments"},
      {{"--author-prefix", std::string(255, 'x'), "host"}, "option --author-prefix takes at most 254 characters"},
  };
  for (const Case& c : cases) {
    ParseResult r = parse(c.arguments);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.message);
  }
}

TEST(CliOptions, timeAndSizeLimits) {
  ParseResult r = parse({"host"});
  EXPECT_EQ(r.options.settings.connectTimeoutS, 30u);
  EXPECT_EQ(r.options.settings.maxFileBytes, std::uint64_t{1} << 30);
  r = parse({"--connect-timeout", "5", "--min-rate-time=7", "--fetch-deadline", "90", "--max-file-size", "3M",
             "--receive-retries", "100", "host"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.settings.connectTimeoutS, 5u);
  EXPECT_EQ(r.options.settings.minRateTimeS, 7u);
  EXPECT_EQ(r.options.settings.fetchDeadlineS, 90u);
  EXPECT_EQ(r.options.settings.maxFileBytes, 3u * 1024 * 1024);
  EXPECT_EQ(r.options.settings.receiveRetries, 100u);
  EXPECT_EQ(parse({"--max-file-size", "1500", "host"}).options.settings.maxFileBytes, 1500u);
}

TEST(CliOptions, helpAndVersionNeedNoAddress) {
  EXPECT_TRUE(parse({"--help"}).options.showHelp);
  EXPECT_TRUE(parse({"-h"}).ok);
  EXPECT_TRUE(parse({"--version"}).options.showVersion);
  ParseResult dashed = parse({"--", "-odd-address"});
  ASSERT_TRUE(dashed.ok);
  EXPECT_EQ(dashed.options.forumAddress, "-odd-address");
}

}  // namespace
}  // namespace quillstash::cli
