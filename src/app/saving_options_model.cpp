// SPDX-License-Identifier: MIT
#include "app/saving_options_model.h"

#include "app/window_fields.h"

namespace quillstash {

SavingOptionsModel::SavingOptionsModel(const Settings& settings)
    : maxFileNameChars(formatUnsignedField(settings.maxFileNameChars)),
      saveAttachments(settings.saveAttachments),
      saveExternalImages(settings.saveExternalImages),
      linkAllImages(settings.linkAllImages) {}

bool SavingOptionsModel::maxFileNameCharsValid() const {
  return readNumberField(maxFileNameChars, kMinChars, kMaxChars).has_value();
}

Settings SavingOptionsModel::accept(const Settings& current) const {
  Settings result = current;
  result.maxFileNameChars = readUnsignedField(maxFileNameChars);
  result.saveAttachments = saveAttachments;
  result.saveExternalImages = saveExternalImages;
  result.linkAllImages = linkAllImages;
  return result;
}

}  // namespace quillstash
