// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <map>

#include "app/advanced_settings_model.h"
#include "core/settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace quillstash::gui {

// The Advanced settings dialog over AdvancedSettingsModel: opens filled from
// the store, stores the record on Ok, changes nothing on Cancel. The settings
// scroll inside the dialog, so that its buttons stay on small screens; Ok is
// refused, with a line saying why, while a number field holds what it does
// not take.
class AdvancedSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // The caller keeps `store` alive as long as the dialog.
  explicit AdvancedSettingsDialog(SettingsStore& store, QWidget* parent = nullptr);

  void accept() override;
  // "Wildcards ...": the help message box, modal over the dialog.
  void showWildcardsHelp();

 private:
  void refreshEnabled();

  SettingsStore& store_;
  AdvancedSettingsModel model_;
  std::map<int, QCheckBox*> boxes_;
  std::map<int, QLineEdit*> edits_;
  QLabel* problem_ = nullptr;
};

}  // namespace quillstash::gui
