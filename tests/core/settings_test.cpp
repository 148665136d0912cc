// SPDX-License-Identifier: MIT
#include "core/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace quillstash {
namespace {

TEST(Settings, defaultsSwitchEveryDetectionStringOff) {
  Settings s;
  s.useForumLinkPattern = true;
  s.forumLinkPattern.assign("left over");
  s.maxFileNameChars = 7;
  loadDefaultSettings(s);

  EXPECT_STREQ(s.forumLinkPrefix.c_str(), "href");
  EXPECT_STREQ(s.forumLinkPattern.c_str(), "forumdisplay.php?$f=#|");
  EXPECT_STREQ(s.forumLinkSuffix.c_str(), "<strong>");
  EXPECT_STREQ(s.forumNextPagePattern.c_str(), "&amp;page=#|");
  EXPECT_STREQ(s.linkParameter.c_str(), "daysprune=-1");
  EXPECT_STREQ(s.topicLinkPrefix.c_str(), "href");
  EXPECT_STREQ(s.topicLinkPattern.c_str(), "showthread.php?$t=#|");
  EXPECT_STREQ(s.topicLinkSuffix.c_str(), "");
  EXPECT_STREQ(s.topicNextPagePattern.c_str(), "&amp;page=#|");
  EXPECT_STREQ(s.authorPrefix.c_str(), "<!-- user info -->");
  EXPECT_STREQ(s.authorSuffix.c_str(), "<!-- / user info -->");
  EXPECT_STREQ(s.messagePrefix.c_str(), "<!-- message -->");
  EXPECT_STREQ(s.messageSuffix.c_str(), "<!-- / message -->");
  EXPECT_STREQ(s.proxyAddress.c_str(), "");

  EXPECT_FALSE(s.useForumLinkPrefix || s.useForumLinkPattern || s.useForumLinkSuffix || s.useForumNextPagePattern ||
               s.useLinkParameter || s.useDownloadDelay);
  EXPECT_FALSE(s.useTopicLinkPrefix || s.useTopicLinkPattern || s.useTopicLinkSuffix || s.useTopicNextPagePattern);
  EXPECT_FALSE(s.useAuthorPrefix || s.useAuthorSuffix || s.useMessagePrefix || s.useMessageSuffix || s.linkAllImages);
  EXPECT_TRUE(s.useConnectRetryDelay && s.useReceiveRetryDelay);
  EXPECT_TRUE(s.saveAttachments && s.saveExternalImages);
  EXPECT_FALSE(s.useProxy);
  EXPECT_TRUE(s.proxyForumLinksOnly);

  EXPECT_EQ(s.downloadDelayMs, 10000u);
  EXPECT_EQ(s.receiveRetries, 10u);
  EXPECT_EQ(s.connectRetries, 2u);
  EXPECT_EQ(s.receiveRetryDelayMs, 100u);
  EXPECT_EQ(s.connectRetryDelayMs, 100u);
  EXPECT_EQ(s.maxFileNameChars, 50u);
}

TEST(Settings, settingTextKeepsAtMost254Characters) {
  SettingText text;
  EXPECT_TRUE(text.assign(std::string(254, 'a')));
  EXPECT_EQ(text.size(), 254u);
  EXPECT_FALSE(text.assign(std::string(300, 'b')));
  EXPECT_EQ(text.view(), std::string(254, 'b'));
}

TEST(Settings, storeHandsOutWholeRecordsWhileADialogReplacesIt) {
  SettingsStore store;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done.load()) {
      Settings s = store.snapshot();
      // A record is either all old or all new: the two fields change together
      // (the defaults are 2 and 10; every record written after has ten times
      // the first in the second, from 3 and 30 on, so none is taken for them).
      ASSERT_EQ(s.connectRetries * 10, s.receiveRetries == 10 ? 20u : s.receiveRetries);
    }
  });
  for (std::uint32_t i = 3; i < 2000; ++i) {
    Settings s = store.snapshot();
    s.connectRetries = i;
    s.receiveRetries = i * 10;
    store.replace(s);
  }
  done.store(true);
  reader.join();
  EXPECT_EQ(store.snapshot().connectRetries, 1999u);
}

TEST(ForumSelectionTable, startsAllSelectedAndIgnoresNumbersBeyondIt) {
  ForumSelection selection = allForumsSelected();
  EXPECT_TRUE(isForumSelected(selection, 1));
  selection[1] = 0;
  EXPECT_FALSE(isForumSelected(selection, 2));
  EXPECT_TRUE(isForumSelected(selection, 3));
  EXPECT_TRUE(isForumSelected(selection, 1025));
}

TEST(JobContextRecord, startsZeroFilled) {
  auto job = makeJobContext();
  EXPECT_TRUE(job->forumAddress.empty());
}

}  // namespace
}  // namespace quillstash
