// SPDX-License-Identifier: MIT
#pragma once

// The Advanced settings dialog as plain state: the proxy, the delays and
// retry counts, the User-Agent, the https trust (an extra CA file, or no
// checking), the link parameter and the twelve detection strings, each with
// the checkbox that switches it on. Front-ends build their controls from the
// tables below, mirror every click and keystroke into the model and store
// accept()'s record on Ok. User-interface thread only.

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"
#include "core/version.h"

namespace quillstash {

class AdvancedSettingsModel {
 public:
  static constexpr const char* kTitle = "Advanced settings";
  static constexpr const char* kMessageTitle = kNameAndVersion;
  static constexpr std::size_t kTextLimit = 255;  // characters an edit field takes

  // Control ids.
  static constexpr int kOk = 1, kCancel = 2, kWildcards = 3;
  static constexpr int kProxyEdit = 112, kConnectRetriesEdit = 113, kConnectDelayEdit = 114;
  static constexpr int kReceiveRetriesEdit = 115, kReceiveDelayEdit = 116, kDownloadDelayEdit = 117;
  static constexpr int kLinkParameterEdit = 118;
  static constexpr int kConnectTimeoutEdit = 119, kMinRateTimeEdit = 120, kFetchDeadlineEdit = 121;
  static constexpr int kUserAgentEdit = 122, kCaFileEdit = 123, kMaxFileSizeEdit = 126;
  static constexpr int kConnectionsEdit = 127;
  static constexpr int kUseProxyBox = 412, kForumLinksOnlyBox = 413, kDownloadDelayBox = 414;
  static constexpr int kConnectDelayBox = 415, kReceiveDelayBox = 416, kLinkParameterBox = 417;
  static constexpr int kSkipCertificateCheckBox = 418, kHttp10Box = 419;
  static constexpr const char* kUserAgentLabel = "User-Agent:";
  static constexpr const char* kCaFileLabel = "Also trust the CA certificates in (PEM file):";
  static constexpr int kConnectionGroup = 53, kReceiveGroup = 54, kDetectionGroup = 11;
  static constexpr int kForumsGroup = 50, kTopicsGroup = 51, kPostsGroup = 52;
  static constexpr int kEngineCombo = 124, kProfileFileEdit = 125;
  static constexpr const char* kEngineLabel = "Forum engine:";
  static constexpr const char* kProfileFileLabel = "Engine profile file:";

  // One entry of the engine list: the value of Settings::engine and its text.
  struct EngineEntry {
    std::string name;
    std::string label;
  };

  // A checkbox, its label, the bit it sets and the edit it governs (0: none).
  struct CheckBox {
    int id;
    const char* label;
    bool Settings::*bit;
    int edit;
  };
  // A text edit and the string it holds.
  struct TextField {
    int id;
    SettingText Settings::*text;
  };
  struct Group {
    int id;
    const char* title;
  };

  static std::span<const CheckBox> checkBoxes();
  static std::span<const TextField> textFields();  // 100 to 112, 118, 122 and 123
  static std::span<const Group> groups();
  // The number edits: 113 to 117, the time limits 119 to 121, the largest
  // file 126 and the connections 127.
  static std::span<const int> numberFields();
  // What a number edit takes: whole numbers from min to max, or for the
  // forum delay seconds with up to three decimals (min and max in seconds).
  struct NumberLimits {
    std::uint32_t min;
    std::uint32_t max;
    bool seconds;
  };
  static NumberLimits numberLimits(int editId);
  // Ok is refused while a number edit holds what it does not take: the
  // first such edit's id, or 0 when every one is right.
  int invalidNumberField() const;
  // Ok is also refused while the proxy is switched on and its address names a
  // port outside 1-65535: the problem in words, or empty.
  std::string_view proxyProblem() const;
  // A time limit's edit, its label and the seconds it holds.
  struct LimitField {
    int id;
    const char* label;
    std::uint32_t Settings::*seconds;
  };
  static std::span<const LimitField> limitFields();
  static constexpr std::uint32_t kMaxLimitSeconds = 86400;
  // The largest attachment or image saved, in whole MiB (1 MiB to 1 TiB).
  static constexpr const char* kMaxFileSizeLabel = "Largest attachment or image (MB):";
  static constexpr std::uint32_t kMaxFileMegabytes = 1048576;
  // Connections fetching topics side by side (1 to kMaxConnections).
  static constexpr const char* kConnectionsLabel = "Connections to the forum (1 to 8):";
  static constexpr const char* kMaximumRetriesLabel = "Maximum retries:";
  static constexpr const char* kOkText = "&Ok";
  static constexpr const char* kCancelText = "C&ancel";
  static constexpr const char* kWildcardsText = "&Wildcards ...";
  // The help shown by "Wildcards ...", lines ending in CR LF.
  static const char* wildcardsHelp();

  // Opening: every control filled from `settings`.
  explicit AdvancedSettingsModel(const Settings& settings);

  bool isChecked(int checkBoxId) const;
  // A click: the box and the controls it governs follow at once; the bits
  // themselves change only in accept().
  void setChecked(int checkBoxId, bool checked);
  // Edits, and checkbox 413, are greyed while the box that governs them is clear.
  bool isEnabled(int controlId) const;

  const std::string& text(int editId) const;
  // Typing: the field keeps at most kTextLimit characters.
  void setText(int editId, std::string_view text);

  // The engine list: recognise automatically, the table-based path, then the
  // built-in profiles (and the engine the settings name, when it is none of these).
  const std::vector<EngineEntry>& engines() const { return engines_; }
  std::size_t engineIndex() const { return engineIndex_; }
  // A choice in the list; an index past its end is ignored.
  void setEngineIndex(std::size_t index);

  // Ok: `current` with the flag bits rebuilt from the boxes, every string read
  // back (also from greyed fields) and the numbers parsed. Retry counts above
  // kMaxRetries become kMaxRetries; time limits are kept within 1 to
  // kMaxLimitSeconds. The largest file is kept as `current` has it unless its
  // field was edited. The saving bits and maxFileNameChars are left as they
  // are in `current`.
  Settings accept(const Settings& current) const;

 private:
  std::map<int, bool> checked_;
  std::map<int, std::string> texts_;
  std::vector<EngineEntry> engines_;
  std::size_t engineIndex_ = 0;
};

}  // namespace quillstash
