// SPDX-License-Identifier: MIT
#include "app/settings_keys.h"

namespace quillstash {

namespace {

constexpr SettingKey::Number kNumbers[] = {
    {"downloadDelayMs", &Settings::downloadDelayMs},         {"receiveRetries", &Settings::receiveRetries},
    {"connectRetries", &Settings::connectRetries},           {"receiveRetryDelayMs", &Settings::receiveRetryDelayMs},
    {"connectRetryDelayMs", &Settings::connectRetryDelayMs}, {"maxFileNameChars", &Settings::maxFileNameChars},
    {"connectTimeoutS", &Settings::connectTimeoutS},         {"minRateTimeS", &Settings::minRateTimeS},
    {"fetchDeadlineS", &Settings::fetchDeadlineS},           {"connections", &Settings::connections},
};

constexpr SettingKey::Size kSizes[] = {
    {"maxFileBytes", &Settings::maxFileBytes},
};

constexpr SettingKey::Switch kSwitches[] = {
    {"useProxy", &Settings::useProxy},
    {"proxyForumLinksOnly", &Settings::proxyForumLinksOnly},
    {"useForumLinkPrefix", &Settings::useForumLinkPrefix},
    {"useForumLinkPattern", &Settings::useForumLinkPattern},
    {"useForumLinkSuffix", &Settings::useForumLinkSuffix},
    {"useForumNextPagePattern", &Settings::useForumNextPagePattern},
    {"useLinkParameter", &Settings::useLinkParameter},
    {"useDownloadDelay", &Settings::useDownloadDelay},
    {"useConnectRetryDelay", &Settings::useConnectRetryDelay},
    {"useReceiveRetryDelay", &Settings::useReceiveRetryDelay},
    {"useTopicLinkPrefix", &Settings::useTopicLinkPrefix},
    {"useTopicLinkPattern", &Settings::useTopicLinkPattern},
    {"useTopicLinkSuffix", &Settings::useTopicLinkSuffix},
    {"useTopicNextPagePattern", &Settings::useTopicNextPagePattern},
    {"useAuthorPrefix", &Settings::useAuthorPrefix},
    {"useAuthorSuffix", &Settings::useAuthorSuffix},
    {"useMessagePrefix", &Settings::useMessagePrefix},
    {"useMessageSuffix", &Settings::useMessageSuffix},
    {"saveAttachments", &Settings::saveAttachments},
    {"saveExternalImages", &Settings::saveExternalImages},
    {"linkAllImages", &Settings::linkAllImages},
    {"skipCertificateCheck", &Settings::skipCertificateCheck},
    {"http10", &Settings::http10},
};

constexpr SettingKey::Text kTexts[] = {
    {"proxyAddress", &Settings::proxyAddress},
    {"forumLinkPrefix", &Settings::forumLinkPrefix},
    {"forumLinkPattern", &Settings::forumLinkPattern},
    {"forumLinkSuffix", &Settings::forumLinkSuffix},
    {"forumNextPagePattern", &Settings::forumNextPagePattern},
    {"linkParameter", &Settings::linkParameter},
    {"topicLinkPrefix", &Settings::topicLinkPrefix},
    {"topicLinkPattern", &Settings::topicLinkPattern},
    {"topicLinkSuffix", &Settings::topicLinkSuffix},
    {"topicNextPagePattern", &Settings::topicNextPagePattern},
    {"authorPrefix", &Settings::authorPrefix},
    {"authorSuffix", &Settings::authorSuffix},
    {"messagePrefix", &Settings::messagePrefix},
    {"messageSuffix", &Settings::messageSuffix},
    {"userAgent", &Settings::userAgent},
    {"caFile", &Settings::caFile},
    {"engine", &Settings::engine},
    {"profileFile", &Settings::profileFile},
};

}  // namespace

std::span<const SettingKey::Number> SettingKey::numbers() { return kNumbers; }
std::span<const SettingKey::Size> SettingKey::sizes() { return kSizes; }
std::span<const SettingKey::Switch> SettingKey::switches() { return kSwitches; }
std::span<const SettingKey::Text> SettingKey::texts() { return kTexts; }

}  // namespace quillstash
