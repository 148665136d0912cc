// SPDX-License-Identifier: MIT
// The Advanced settings, Saving Options and Detected Forums dialogs' state.
#include <gtest/gtest.h>

#include <string>

#include "app/advanced_settings_model.h"
#include "app/detected_forums_model.h"
#include "app/saving_options_model.h"
#include "app/window_fields.h"

namespace quillstash {
namespace {

using Advanced = AdvancedSettingsModel;

Settings defaults() {
  Settings settings;
  loadDefaultSettings(settings);
  return settings;
}

TEST(WindowFields, readsUnsignedDecimalsAndTakesAnythingElseAsZero) {
  EXPECT_EQ(readUnsignedField("42"), 42u);
  EXPECT_EQ(readUnsignedField(" 7 "), 7u);
  EXPECT_EQ(readUnsignedField("4294967295"), 4294967295u);
  EXPECT_EQ(readUnsignedField(""), 0u);
  EXPECT_EQ(readUnsignedField("ten"), 0u);
  EXPECT_EQ(readUnsignedField("12abc"), 0u);
  EXPECT_EQ(readUnsignedField("-3"), 0u);
  EXPECT_EQ(readUnsignedField("4294967296"), 0u);  // past 32 bits: not a number we can hold
}

TEST(WindowFields, checkedNumbersRefuseWhatTheyCannotHold) {
  EXPECT_EQ(readNumberField(" 100 ", 0, 100), 100u);
  EXPECT_EQ(readNumberField("101", 0, 100), std::nullopt);
  EXPECT_EQ(readNumberField("7", 8, 200), std::nullopt);
  for (const char* bad : {"", "lots", "1.5", "-1", "99999999999"})
    EXPECT_EQ(readNumberField(bad, 0, 1000), std::nullopt) << bad;

  EXPECT_EQ(readSecondsField("1.5", 3600000), 1500u);
  EXPECT_EQ(readSecondsField("0.25", 3600000), 250u);
  EXPECT_EQ(readSecondsField(".5", 3600000), 500u);
  EXPECT_EQ(readSecondsField("3.", 3600000), 3000u);
  EXPECT_EQ(readSecondsField("3601", 3600000), std::nullopt);
  for (const char* bad : {"", ".", "1.2345", "1,5", "a"})
    EXPECT_EQ(readSecondsField(bad, 3600000), std::nullopt) << bad;
  EXPECT_EQ(formatSecondsField(1500), "1.5");
  EXPECT_EQ(formatSecondsField(10000), "10");
  EXPECT_EQ(formatSecondsField(1005), "1.005");
}

TEST(WindowFields, limitingNeverCutsAUtf8CharacterInTwo) {
  EXPECT_EQ(limitField("abcdef", 4), "abcd");
  EXPECT_EQ(limitField("ab\xC3\xA9", 3), "ab");  // 'é' would be cut: dropped whole
  EXPECT_EQ(limitField("short", 10), "short");
}

TEST(AdvancedSettingsModel, opensWithTheDefaultsShownAndTheSwitchedOffFieldsGreyed) {
  Advanced dialog(defaults());
  EXPECT_EQ(dialog.text(Advanced::kDownloadDelayEdit), "10");
  EXPECT_FALSE(dialog.isChecked(Advanced::kDownloadDelayBox));
  EXPECT_FALSE(dialog.isEnabled(Advanced::kDownloadDelayEdit));
  EXPECT_EQ(dialog.text(Advanced::kConnectDelayEdit), "100");
  EXPECT_EQ(dialog.text(Advanced::kReceiveDelayEdit), "100");
  EXPECT_TRUE(dialog.isChecked(Advanced::kConnectDelayBox));
  EXPECT_TRUE(dialog.isChecked(Advanced::kReceiveDelayBox));
  EXPECT_TRUE(dialog.isEnabled(Advanced::kConnectDelayEdit));
  EXPECT_EQ(dialog.text(Advanced::kConnectRetriesEdit), "2");
  EXPECT_EQ(dialog.text(Advanced::kReceiveRetriesEdit), "10");

  // The proxy box is clear: its field and "Only for forum links" are greyed,
  // and that box still shows its own bit.
  EXPECT_FALSE(dialog.isChecked(Advanced::kUseProxyBox));
  EXPECT_FALSE(dialog.isEnabled(Advanced::kProxyEdit));
  EXPECT_FALSE(dialog.isEnabled(Advanced::kForumLinksOnlyBox));
  EXPECT_TRUE(dialog.isChecked(Advanced::kForumLinksOnlyBox));

  // Every detection string is there but switched off.
  EXPECT_EQ(dialog.text(101), "forumdisplay.php?$f=#|");
  EXPECT_EQ(dialog.text(105), "showthread.php?$t=#|");
  EXPECT_EQ(dialog.text(111), "<!-- / message -->");
  EXPECT_EQ(dialog.text(Advanced::kLinkParameterEdit), "daysprune=-1");
  for (int box = 400; box <= 411; ++box) {
    EXPECT_FALSE(dialog.isChecked(box)) << box;
    EXPECT_FALSE(dialog.isEnabled(box - 300)) << box;
  }
  EXPECT_FALSE(dialog.isEnabled(Advanced::kLinkParameterEdit));
  EXPECT_TRUE(dialog.isEnabled(Advanced::kConnectRetriesEdit));  // no box governs the retry counts
}

TEST(AdvancedSettingsModel, aBoxGovernsItsFieldAndTheProxyBoxAlsoGovernsForumLinksOnly) {
  Advanced dialog(defaults());
  dialog.setChecked(Advanced::kUseProxyBox, true);
  EXPECT_TRUE(dialog.isEnabled(Advanced::kProxyEdit));
  EXPECT_TRUE(dialog.isEnabled(Advanced::kForumLinksOnlyBox));
  dialog.setChecked(Advanced::kUseProxyBox, false);
  EXPECT_FALSE(dialog.isEnabled(Advanced::kProxyEdit));
  EXPECT_FALSE(dialog.isEnabled(Advanced::kForumLinksOnlyBox));

  dialog.setChecked(403, true);
  EXPECT_TRUE(dialog.isEnabled(103));
  EXPECT_FALSE(dialog.isEnabled(102));
}

TEST(AdvancedSettingsModel, okStoresEveryControlAlsoTextsOfClearedBoxes) {
  Settings before = defaults();
  Advanced dialog(before);
  dialog.setText(Advanced::kDownloadDelayEdit, "3");
  dialog.setChecked(Advanced::kDownloadDelayBox, true);
  dialog.setText(Advanced::kConnectDelayEdit, "0");  // no wait between connection attempts
  dialog.setText(Advanced::kConnectRetriesEdit, "five");
  dialog.setText(Advanced::kReceiveRetriesEdit, "");
  dialog.setText(Advanced::kReceiveDelayEdit, "250");
  dialog.setChecked(Advanced::kUseProxyBox, true);
  dialog.setText(Advanced::kProxyEdit, "127.0.0.1:3128");
  dialog.setChecked(Advanced::kForumLinksOnlyBox, false);
  dialog.setText(100, "class=\"forumlink\"");
  dialog.setChecked(400, true);
  dialog.setChecked(400, false);  // the text still counts, with the bit clear
  dialog.setChecked(405, true);
  dialog.setChecked(Advanced::kLinkParameterBox, true);
  EXPECT_EQ(dialog.text(Advanced::kUserAgentEdit), "Quillstash/" QUILLSTASH_VERSION);
  dialog.setText(Advanced::kUserAgentEdit, "Archiver/2");
  dialog.setText(Advanced::kCaFileEdit, "/etc/board-ca.pem");
  dialog.setChecked(Advanced::kSkipCertificateCheckBox, true);
  dialog.setChecked(Advanced::kHttp10Box, true);

  Settings after = dialog.accept(before);
  EXPECT_TRUE(after.http10);
  EXPECT_EQ(after.userAgent.view(), "Archiver/2");
  EXPECT_EQ(after.caFile.view(), "/etc/board-ca.pem");
  EXPECT_TRUE(after.skipCertificateCheck);
  EXPECT_EQ(after.downloadDelayMs, 3000u);
  EXPECT_TRUE(after.useDownloadDelay);
  EXPECT_EQ(after.connectRetryDelayMs, 0u);
  EXPECT_TRUE(after.useConnectRetryDelay);
  EXPECT_EQ(after.connectRetries, 0u);
  EXPECT_EQ(after.receiveRetries, 0u);
  EXPECT_EQ(after.receiveRetryDelayMs, 250u);
  EXPECT_TRUE(after.useProxy);
  EXPECT_FALSE(after.proxyForumLinksOnly);
  EXPECT_EQ(after.proxyAddress.view(), "127.0.0.1:3128");
  EXPECT_EQ(after.forumLinkPrefix.view(), "class=\"forumlink\"");
  EXPECT_FALSE(after.useForumLinkPrefix);
  EXPECT_TRUE(after.useTopicLinkPattern);
  EXPECT_TRUE(after.useLinkParameter);

  // Reopening shows the changed text, greyed.
  Advanced reopened(after);
  EXPECT_EQ(reopened.text(100), "class=\"forumlink\"");
  EXPECT_FALSE(reopened.isEnabled(100));
  EXPECT_EQ(reopened.text(Advanced::kDownloadDelayEdit), "3");
}

TEST(AdvancedSettingsModel, roundTripsEveryFieldUnchangedWhenNothingIsEdited) {
  Settings start = defaults();
  start.useProxy = true;
  start.proxyAddress.assign("proxy.example:8080");
  start.useTopicNextPagePattern = true;
  start.useMessageSuffix = true;
  start.downloadDelayMs = 4000;
  Settings after = Advanced(start).accept(start);
  Advanced again(after);
  for (const auto& field : Advanced::textFields()) {
    EXPECT_EQ((after.*field.text).view(), (start.*field.text).view()) << field.id;
  }
  for (const auto& box : Advanced::checkBoxes()) EXPECT_EQ(after.*box.bit, start.*box.bit) << box.id;
  EXPECT_EQ(after.downloadDelayMs, 4000u);
  EXPECT_EQ(after.connectRetries, start.connectRetries);
  EXPECT_EQ(after.receiveRetryDelayMs, start.receiveRetryDelayMs);
}

TEST(AdvancedSettingsModel, okNeverTouchesTheSavingOptions) {
  Settings start = defaults();
  start.saveAttachments = false;
  start.saveExternalImages = true;
  start.linkAllImages = true;
  start.maxFileNameChars = 17;
  Advanced dialog(start);
  for (int box = 408; box <= 411; ++box) dialog.setChecked(box, true);
  Settings after = dialog.accept(start);
  EXPECT_TRUE(after.useAuthorPrefix && after.useAuthorSuffix && after.useMessagePrefix && after.useMessageSuffix);
  EXPECT_FALSE(after.saveAttachments);
  EXPECT_TRUE(after.saveExternalImages);
  EXPECT_TRUE(after.linkAllImages);
  EXPECT_EQ(after.maxFileNameChars, 17u);
}

TEST(AdvancedSettingsModel, fieldsKeepTheirLimitsAndHugeDelaysDoNotWrap) {
  Advanced dialog(defaults());
  dialog.setText(104, std::string(300, 'x'));
  EXPECT_EQ(dialog.text(104).size(), Advanced::kTextLimit);
  dialog.setText(Advanced::kDownloadDelayEdit, "4294968");  // seconds past what 32-bit milliseconds hold
  Settings after = dialog.accept(defaults());
  EXPECT_EQ(after.topicLinkPrefix.view().size(), SettingText::kMaxLength);
  EXPECT_EQ(after.downloadDelayMs, 4294967000u);

  // Retry counts are capped; time limits stay between 1 s and a day.
  EXPECT_EQ(dialog.text(Advanced::kFetchDeadlineEdit), "600");
  dialog.setText(Advanced::kReceiveRetriesEdit, "4294967295");
  dialog.setText(Advanced::kConnectTimeoutEdit, "0");
  dialog.setText(Advanced::kMinRateTimeEdit, "15");
  dialog.setText(Advanced::kFetchDeadlineEdit, "999999");
  after = dialog.accept(defaults());
  EXPECT_EQ(after.receiveRetries, kMaxRetries);
  EXPECT_EQ(after.connectTimeoutS, 1u);
  EXPECT_EQ(after.minRateTimeS, 15u);
  EXPECT_EQ(after.fetchDeadlineS, Advanced::kMaxLimitSeconds);
}

TEST(AdvancedSettingsModel, theLargestFileAndTheConnectionsAreCheckedAndABadProxyPortIsRefused) {
  Advanced dialog(defaults());
  EXPECT_EQ(dialog.text(Advanced::kMaxFileSizeEdit), "1024");
  Settings odd = defaults();
  odd.maxFileBytes = 1500;  // as the command line may set it: kept while the field is not edited
  EXPECT_EQ(Advanced(odd).accept(odd).maxFileBytes, 1500u);
  dialog.setText(Advanced::kMaxFileSizeEdit, "0");
  EXPECT_EQ(dialog.invalidNumberField(), Advanced::kMaxFileSizeEdit);
  dialog.setText(Advanced::kMaxFileSizeEdit, "5");
  EXPECT_EQ(dialog.invalidNumberField(), 0);
  EXPECT_EQ(dialog.accept(defaults()).maxFileBytes, std::uint64_t{5} << 20);

  // Connections side by side: 1 to 8.
  EXPECT_EQ(dialog.text(Advanced::kConnectionsEdit), "2");
  for (const char* refused : {"0", "9", "two"}) {
    dialog.setText(Advanced::kConnectionsEdit, refused);
    EXPECT_EQ(dialog.invalidNumberField(), Advanced::kConnectionsEdit) << refused;
  }
  dialog.setText(Advanced::kConnectionsEdit, "4");
  EXPECT_EQ(dialog.invalidNumberField(), 0);
  EXPECT_EQ(dialog.accept(defaults()).connections, 4u);

  // The proxy's port counts only while the proxy is switched on.
  dialog.setText(Advanced::kProxyEdit, "proxy.test:65536");
  EXPECT_EQ(dialog.proxyProblem(), "");
  dialog.setChecked(Advanced::kUseProxyBox, true);
  EXPECT_EQ(dialog.proxyProblem(), "the port of the proxy must be a number from 1 to 65535");
  dialog.setText(Advanced::kProxyEdit, "proxy.test:3128");
  EXPECT_EQ(dialog.proxyProblem(), "");
}

TEST(AdvancedSettingsModel, theEngineChoiceAndProfileFileRoundTripBesideTheTimeLimits) {
  Advanced dialog(defaults());
  ASSERT_GE(dialog.engines().size(), 3u);
  EXPECT_EQ(dialog.engines()[dialog.engineIndex()].name, "auto");
  dialog.setEngineIndex(2);  // the first built-in profile
  dialog.setText(Advanced::kProfileFileEdit, "/tmp/board.profile");
  dialog.setText(Advanced::kConnectTimeoutEdit, "45");
  Settings after = dialog.accept(defaults());
  EXPECT_EQ(after.engine.view(), dialog.engines()[2].name);
  EXPECT_EQ(after.profileFile.view(), "/tmp/board.profile");
  EXPECT_EQ(after.connectTimeoutS, 45u);
  EXPECT_EQ(after.minRateTimeS, 60u);

  // An engine the list does not know (a profile file's own) is kept as named.
  Settings named = defaults();
  named.engine.assign("madeup");
  Advanced reopened(named);
  EXPECT_EQ(reopened.accept(named).engine.view(), "madeup");
}

TEST(AdvancedSettingsModel, wildcardsHelpNamesEveryWildcard) {
  std::string help = Advanced::wildcardsHelp();
  EXPECT_EQ(help.rfind("To change detection settings you need to view the HTML source of the forum\r\n", 0), 0u);
  for (const char* line : {"\t? = one character\r\n", "\t* = group of characters\r\n", "\t# = a number (decimal)\r\n",
                           "\t@ = a hexadecimal number (like in SID)\r\n",
                           "\t$ = optional SID parameter (&s=@& / &sid=@& / etc.), not always present"}) {
    EXPECT_NE(help.find(line), std::string::npos) << line;
  }
}

TEST(SavingOptionsModel, okSetsOnlyTheNameLengthAndTheThreeSavingBits) {
  Settings start = defaults();
  for (bool* bit : {&start.useAuthorPrefix, &start.useAuthorSuffix, &start.useMessagePrefix, &start.useMessageSuffix}) {
    *bit = true;
  }
  SavingOptionsModel dialog(start);
  EXPECT_EQ(dialog.maxFileNameChars, "50");
  EXPECT_TRUE(dialog.saveAttachments);
  EXPECT_TRUE(dialog.saveExternalImages);
  EXPECT_FALSE(dialog.linkAllImages);

  dialog.maxFileNameChars = "80";
  dialog.saveAttachments = false;
  dialog.linkAllImages = true;
  Settings after = dialog.accept(start);
  EXPECT_EQ(after.maxFileNameChars, 80u);
  EXPECT_FALSE(after.saveAttachments);
  EXPECT_TRUE(after.saveExternalImages);
  EXPECT_TRUE(after.linkAllImages);
  EXPECT_TRUE(after.useAuthorPrefix && after.useAuthorSuffix && after.useMessagePrefix && after.useMessageSuffix);
  EXPECT_EQ(after.downloadDelayMs, start.downloadDelayMs);
  EXPECT_EQ(after.forumLinkPattern.view(), start.forumLinkPattern.view());

  dialog.maxFileNameChars = "many";
  EXPECT_EQ(dialog.accept(start).maxFileNameChars, 0u);
  dialog.maxFileNameChars = "";
  EXPECT_EQ(dialog.accept(start).maxFileNameChars, 0u);
}

std::vector<DetectedForumsModel::Row> threeForums() {
  return {{"01 News", "http://127.0.0.1/viewforum.php?f=1", true},
          {"02 Chat", "http://127.0.0.1/viewforum.php?f=2", true},
          {"03 Help", "http://127.0.0.1/viewforum.php?f=3", true}};
}

TEST(DetectedForumsModel, okWritesOneOrZeroForTheRowsAndKeepsLaterEntries) {
  DetectedForumsModel dialog(threeForums());
  dialog.setChecked(1, false);
  dialog.setChecked(7, false);  // no such row: ignored
  ForumSelection after = dialog.accept(allForumsSelected());
  EXPECT_EQ(after[0], 1);
  EXPECT_EQ(after[1], 0);
  EXPECT_EQ(after[2], 1);
  EXPECT_EQ(after[3], 0xFF);
  EXPECT_FALSE(isForumSelected(after, 2));
  EXPECT_TRUE(isForumSelected(after, 3));

  // An empty list changes nothing.
  ForumSelection kept = allForumsSelected();
  kept[5] = 0;
  EXPECT_EQ(DetectedForumsModel({}).accept(kept), kept);
}

TEST(DetectedForumsModel, rowsPastTheSelectionTableAreShownButNotStored) {
  std::vector<DetectedForumsModel::Row> many(kForumSelectionSize + 3, DetectedForumsModel::Row{"x", "y", true});
  DetectedForumsModel dialog(many);
  dialog.setChecked(kForumSelectionSize + 1, false);
  ForumSelection after = dialog.accept(allForumsSelected());
  EXPECT_EQ(after[kForumSelectionSize - 1], 1);
  EXPECT_EQ(dialog.rows().size(), kForumSelectionSize + 3);
}

}  // namespace
}  // namespace quillstash
