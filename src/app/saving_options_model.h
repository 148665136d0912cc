// SPDX-License-Identifier: MIT
#pragma once

// The Saving Options dialog as plain state: the name length and the three
// saving switches. User-interface thread only.

#include <cstdint>
#include <string>

#include "core/settings.h"

namespace quillstash {

class SavingOptionsModel {
 public:
  static constexpr const char* kTitle = "Saving Options";
  static constexpr int kOk = 1, kCancel = 2;
  static constexpr int kMaxCharsLabel = 10, kMaxCharsEdit = 100;
  static constexpr int kSaveAttachmentsBox = 400, kSaveExternalImagesBox = 401, kLinkAllImagesBox = 402;
  static constexpr const char* kMaxCharsText = "&Maximum characters in filename:";
  static constexpr const char* kSaveAttachmentsText = "Save a&ttachments";
  static constexpr const char* kSaveExternalImagesText = "Save external &images";
  static constexpr const char* kLinkAllImagesText = "&Link all images";
  static constexpr const char* kOkText = "&OK";
  static constexpr const char* kCancelText = "C&ancel";

  // Opening: the controls filled from `settings`.
  explicit SavingOptionsModel(const Settings& settings);

  // OK: `current` with maxFileNameChars read from the field (empty or
  // non-numeric text gives 0) and the three saving bits from the boxes; every
  // other field, the Posts detection bits included, stays as it is.
  Settings accept(const Settings& current) const;
  // What the name length takes; OK is refused while the field holds anything else.
  static constexpr std::uint32_t kMinChars = 8, kMaxChars = 200;
  bool maxFileNameCharsValid() const;

  // The controls' state, written by the view as the user edits.
  std::string maxFileNameChars;
  bool saveAttachments = false;
  bool saveExternalImages = false;
  bool linkAllImages = false;
};

}  // namespace quillstash
