// SPDX-License-Identifier: MIT
#include "app/advanced_settings_model.h"

#include <algorithm>
#include <limits>

#include "app/window_fields.h"
#include "engines/profile.h"
#include "text/address.h"

namespace quillstash {

namespace {

using Model = AdvancedSettingsModel;

constexpr Model::CheckBox kCheckBoxes[] = {
    {Model::kUseProxyBox, "Use proxy:", &Settings::useProxy, Model::kProxyEdit},
    {Model::kForumLinksOnlyBox, "Only for forum links", &Settings::proxyForumLinksOnly, 0},
    {Model::kDownloadDelayBox, "Delay between 2 consecutive downloads from forum (sec.):", &Settings::useDownloadDelay,
     Model::kDownloadDelayEdit},
    {Model::kConnectDelayBox, "Delay (ms.):", &Settings::useConnectRetryDelay, Model::kConnectDelayEdit},
    {Model::kReceiveDelayBox, "Delay (ms.):", &Settings::useReceiveRetryDelay, Model::kReceiveDelayEdit},
    {400, "Links are preceeded by:", &Settings::useForumLinkPrefix, 100},
    {401, "All links contain this string:", &Settings::useForumLinkPattern, 101},
    {402, "String always found after a link:", &Settings::useForumLinkSuffix, 102},
    {403, "Links to next pages contain:", &Settings::useForumNextPagePattern, 103},
    {404, "Links are preceeded by:", &Settings::useTopicLinkPrefix, 104},
    {405, "All links contain this string:", &Settings::useTopicLinkPattern, 105},
    {406, "String always found after a link:", &Settings::useTopicLinkSuffix, 106},
    {407, "Links to next pages contain:", &Settings::useTopicNextPagePattern, 107},
    {408, "Authors names are preceeded by:", &Settings::useAuthorPrefix, 108},
    {409, "String found after author name:", &Settings::useAuthorSuffix, 109},
    {410, "Posted message is prefixed by:", &Settings::useMessagePrefix, 110},
    {411, "String after posted message:", &Settings::useMessageSuffix, 111},
    {Model::kLinkParameterBox, "Set this value in all links:", &Settings::useLinkParameter, Model::kLinkParameterEdit},
    {Model::kSkipCertificateCheckBox, "Do not check https certificates (unsafe)", &Settings::skipCertificateCheck, 0},
    {Model::kHttp10Box, "HTTP/1.0: a new connection for each request", &Settings::http10, 0},
};

constexpr Model::TextField kTextFields[] = {
    {100, &Settings::forumLinkPrefix},
    {101, &Settings::forumLinkPattern},
    {102, &Settings::forumLinkSuffix},
    {103, &Settings::forumNextPagePattern},
    {104, &Settings::topicLinkPrefix},
    {105, &Settings::topicLinkPattern},
    {106, &Settings::topicLinkSuffix},
    {107, &Settings::topicNextPagePattern},
    {108, &Settings::authorPrefix},
    {109, &Settings::authorSuffix},
    {110, &Settings::messagePrefix},
    {111, &Settings::messageSuffix},
    {Model::kProxyEdit, &Settings::proxyAddress},
    {Model::kLinkParameterEdit, &Settings::linkParameter},
    {Model::kUserAgentEdit, &Settings::userAgent},
    {Model::kCaFileEdit, &Settings::caFile},
};

constexpr Model::Group kGroups[] = {
    {Model::kConnectionGroup, "Connection timeout"},
    {Model::kReceiveGroup, "Receive errors"},
    {Model::kDetectionGroup, "Detection"},
    {Model::kForumsGroup, "Forums and sub-forums"},
    {Model::kTopicsGroup, "Topics"},
    {Model::kPostsGroup, "Posts - if you set one option, you must set all"},
};

constexpr int kNumberFields[] = {Model::kConnectRetriesEdit, Model::kConnectDelayEdit,  Model::kReceiveRetriesEdit,
                                 Model::kReceiveDelayEdit,   Model::kDownloadDelayEdit, Model::kConnectTimeoutEdit,
                                 Model::kMinRateTimeEdit,    Model::kFetchDeadlineEdit, Model::kMaxFileSizeEdit,
                                 Model::kConnectionsEdit};

constexpr Model::LimitField kLimitFields[] = {
    {Model::kConnectTimeoutEdit, "Connect timeout (sec.):", &Settings::connectTimeoutS},
    {Model::kMinRateTimeEdit, "Fail below 1 KB/s after (sec.):", &Settings::minRateTimeS},
    {Model::kFetchDeadlineEdit, "Give up an address after (sec.):", &Settings::fetchDeadlineS},
};

constexpr std::uint32_t kMsPerSecond = 1000;
constexpr unsigned kMegabyteShift = 20;

// The largest file in whole MiB, rounded up; no limit shows as the largest.
std::string formatMegabytes(std::uint64_t bytes) {
  const std::uint64_t megabytes = (bytes + (std::uint64_t{1} << kMegabyteShift) - 1) >> kMegabyteShift;
  if (megabytes == 0 || megabytes > Model::kMaxFileMegabytes) return formatUnsignedField(Model::kMaxFileMegabytes);
  return formatUnsignedField(static_cast<std::uint32_t>(megabytes));
}

const Model::CheckBox* findCheckBox(int id) {
  for (const auto& box : kCheckBoxes) {
    if (box.id == id) return &box;
  }
  return nullptr;
}

}  // namespace

std::span<const Model::CheckBox> AdvancedSettingsModel::checkBoxes() { return kCheckBoxes; }
std::span<const Model::TextField> AdvancedSettingsModel::textFields() { return kTextFields; }
std::span<const Model::Group> AdvancedSettingsModel::groups() { return kGroups; }
std::span<const int> AdvancedSettingsModel::numberFields() { return kNumberFields; }
std::span<const Model::LimitField> AdvancedSettingsModel::limitFields() { return kLimitFields; }

AdvancedSettingsModel::NumberLimits AdvancedSettingsModel::numberLimits(int editId) {
  switch (editId) {
    case kConnectRetriesEdit:
    case kReceiveRetriesEdit: return {0, 100, false};
    case kConnectDelayEdit:
    case kReceiveDelayEdit: return {0, 600000, false};  // ten minutes
    case kDownloadDelayEdit: return {0, 3600, true};    // an hour
    case kConnectTimeoutEdit:
    case kMinRateTimeEdit:
    case kFetchDeadlineEdit: return {1, kMaxLimitSeconds, false};
    case kMaxFileSizeEdit: return {1, kMaxFileMegabytes, false};
    case kConnectionsEdit: return {1, kMaxConnections, false};
    default: return {0, std::numeric_limits<std::uint32_t>::max(), false};
  }
}

int AdvancedSettingsModel::invalidNumberField() const {
  for (int id : kNumberFields) {
    const NumberLimits limits = numberLimits(id);
    const bool valid = limits.seconds ? readSecondsField(text(id), limits.max * kMsPerSecond).has_value()
                                      : readNumberField(text(id), limits.min, limits.max).has_value();
    if (!valid) return id;
  }
  return 0;
}

std::string_view AdvancedSettingsModel::proxyProblem() const {
  return isChecked(kUseProxyBox) ? checkProxyAddress(text(kProxyEdit)) : std::string_view();
}

const char* AdvancedSettingsModel::wildcardsHelp() {
  return "To change detection settings you need to view the HTML source of the forum\r\n"
         " you want to download. You can use the following wildcards:\r\n"
         "\t? = one character\r\n"
         "\t* = group of characters\r\n"
         "\t# = a number (decimal)\r\n"
         "\t@ = a hexadecimal number (like in SID)\r\n"
         "\t| = link terminator, after this a quote or apostrophe must be present\r\n"
         "\t$ = optional SID parameter (&s=@& / &sid=@& / etc.), not always present";
}

AdvancedSettingsModel::AdvancedSettingsModel(const Settings& settings) {
  texts_[kDownloadDelayEdit] = formatSecondsField(settings.downloadDelayMs);
  texts_[kReceiveRetriesEdit] = formatUnsignedField(settings.receiveRetries);
  texts_[kConnectRetriesEdit] = formatUnsignedField(settings.connectRetries);
  texts_[kConnectDelayEdit] = formatUnsignedField(settings.connectRetryDelayMs);
  texts_[kReceiveDelayEdit] = formatUnsignedField(settings.receiveRetryDelayMs);
  for (const auto& field : kLimitFields) texts_[field.id] = formatUnsignedField(settings.*field.seconds);
  texts_[kMaxFileSizeEdit] = formatMegabytes(settings.maxFileBytes);
  texts_[kConnectionsEdit] = formatUnsignedField(std::clamp(settings.connections, std::uint32_t{1}, kMaxConnections));
  for (const auto& box : kCheckBoxes) checked_[box.id] = settings.*box.bit;
  for (const auto& field : kTextFields) texts_[field.id] = std::string((settings.*field.text).view());
  texts_[kProfileFileEdit] = std::string(settings.profileFile.view());

  engines_.push_back({"auto", "Recognise automatically"});
  engines_.push_back({std::string(kClassicEngine), "Classic (table-based boards)"});
  for (const EngineProfile& profile : builtInProfiles()) engines_.push_back({profile.name, profile.title});
  std::string_view chosen = settings.engine.empty() ? std::string_view("auto") : settings.engine.view();
  engineIndex_ = engines_.size();
  for (std::size_t i = 0; i < engines_.size(); ++i) {
    if (engines_[i].name == chosen) engineIndex_ = i;
  }
  if (engineIndex_ == engines_.size()) engines_.push_back({std::string(chosen), std::string(chosen)});
}

void AdvancedSettingsModel::setEngineIndex(std::size_t index) {
  if (index < engines_.size()) engineIndex_ = index;
}

bool AdvancedSettingsModel::isChecked(int checkBoxId) const {
  auto it = checked_.find(checkBoxId);
  return it != checked_.end() && it->second;
}

void AdvancedSettingsModel::setChecked(int checkBoxId, bool checked) {
  if (findCheckBox(checkBoxId) != nullptr) checked_[checkBoxId] = checked;
}

bool AdvancedSettingsModel::isEnabled(int controlId) const {
  if (controlId == kForumLinksOnlyBox) return isChecked(kUseProxyBox);
  for (const auto& box : kCheckBoxes) {
    if (box.edit == controlId) return isChecked(box.id);
  }
  return true;
}

const std::string& AdvancedSettingsModel::text(int editId) const {
  static const std::string kEmpty;
  auto it = texts_.find(editId);
  return it == texts_.end() ? kEmpty : it->second;
}

void AdvancedSettingsModel::setText(int editId, std::string_view text) {
  texts_[editId] = std::string(limitField(text, kTextLimit));
}

Settings AdvancedSettingsModel::accept(const Settings& current) const {
  Settings result = current;
  for (const auto& box : kCheckBoxes) result.*box.bit = isChecked(box.id);
  for (const auto& field : kTextFields) (result.*field.text).assign(text(field.id));
  result.engine.assign(engines_[engineIndex_].name);
  result.profileFile.assign(text(kProfileFileEdit));

  // Seconds beyond what 32 bits of milliseconds hold keep the largest whole
  // number of seconds that fits, rather than wrapping to a short delay.
  constexpr std::uint32_t kMaxSeconds = std::numeric_limits<std::uint32_t>::max() / kMsPerSecond;
  if (std::optional<std::uint32_t> ms = readSecondsField(text(kDownloadDelayEdit), kMaxSeconds * kMsPerSecond)) {
    result.downloadDelayMs = *ms;
  } else {
    std::uint32_t seconds = readUnsignedField(text(kDownloadDelayEdit));
    result.downloadDelayMs = (seconds > kMaxSeconds ? kMaxSeconds : seconds) * kMsPerSecond;
  }
  result.receiveRetries = std::min(readUnsignedField(text(kReceiveRetriesEdit)), kMaxRetries);
  result.connectRetries = std::min(readUnsignedField(text(kConnectRetriesEdit)), kMaxRetries);
  for (const auto& field : kLimitFields) {
    result.*field.seconds = std::clamp(readUnsignedField(text(field.id)), std::uint32_t{1}, kMaxLimitSeconds);
  }
  if (text(kMaxFileSizeEdit) != formatMegabytes(current.maxFileBytes)) {
    const std::uint32_t megabytes =
        std::clamp(readUnsignedField(text(kMaxFileSizeEdit)), std::uint32_t{1}, kMaxFileMegabytes);
    result.maxFileBytes = std::uint64_t{megabytes} << kMegabyteShift;
  }
  result.connectRetryDelayMs = readUnsignedField(text(kConnectDelayEdit));
  result.receiveRetryDelayMs = readUnsignedField(text(kReceiveDelayEdit));
  result.connections = std::clamp(readUnsignedField(text(kConnectionsEdit)), std::uint32_t{1}, kMaxConnections);
  return result;
}

}  // namespace quillstash
