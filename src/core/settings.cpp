// SPDX-License-Identifier: MIT
#include "core/settings.h"

#include "text/link_compare.h"

namespace quillstash {

void loadDefaultSettings(Settings& settings) {
  settings = Settings{};

  settings.proxyForumLinksOnly = true;
  settings.userAgent.assign(kDefaultUserAgent);

  settings.forumLinkPrefix.assign("href");
  settings.forumLinkPattern.assign("forumdisplay.php?$f=#|");
  settings.forumLinkSuffix.assign("<strong>");
  settings.forumNextPagePattern.assign("&amp;page=#|");
  settings.linkParameter.assign("daysprune=-1");
  settings.topicLinkPrefix.assign("href");
  settings.topicLinkPattern.assign("showthread.php?$t=#|");
  settings.topicNextPagePattern.assign("&amp;page=#|");
  settings.authorPrefix.assign("<!-- user info -->");
  settings.authorSuffix.assign("<!-- / user info -->");
  settings.messagePrefix.assign("<!-- message -->");
  settings.messageSuffix.assign("<!-- / message -->");

  settings.useConnectRetryDelay = true;
  settings.useReceiveRetryDelay = true;
  settings.saveAttachments = true;
  settings.saveExternalImages = true;

  settings.downloadDelayMs = 10000;
  settings.receiveRetries = 10;
  settings.connectRetries = 2;
  settings.receiveRetryDelayMs = 100;
  settings.connectRetryDelayMs = 100;
  settings.maxFileNameChars = 50;
  settings.connectTimeoutS = 30;
  settings.minRateTimeS = 60;
  settings.fetchDeadlineS = 600;
  settings.maxFileBytes = std::uint64_t{1} << 30;
  settings.connections = 2;
  settings.engine.assign("auto");
}

void applyLinkParameter(const Settings& settings, JobContext& job) {
  if (!settings.useLinkParameter || settings.linkParameter.empty()) return;
  applyLinkParameter(job.forumAddress.data, job.forumAddress.capacity(), settings.linkParameter.c_str());
}

}  // namespace quillstash
