// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

#include "app/saving_options_model.h"
#include "core/settings.h"

class QLabel;
class QLineEdit;

namespace quillstash::gui {

// The Saving Options dialog over SavingOptionsModel: stores on OK, nothing on
// Cancel. OK is refused, with a line saying why, while the name length is not
// a number it takes.
class SavingOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // The caller keeps `store` alive as long as the dialog.
  explicit SavingOptionsDialog(SettingsStore& store, QWidget* parent = nullptr);
  void accept() override;

 private:
  SettingsStore& store_;
  SavingOptionsModel model_;
  QLineEdit* length_ = nullptr;
  QLabel* problem_ = nullptr;
};

}  // namespace quillstash::gui
