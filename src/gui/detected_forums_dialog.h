// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <vector>

#include "app/detected_forums_model.h"

class QTreeWidget;

namespace quillstash::gui {

// The Detected Forums checklist over DetectedForumsModel, a tree with
// sub-forums under their forum, and Select all / Select none. The caller
// reads model() after OK; Cancel leaves the selection to the caller unchanged.
class DetectedForumsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit DetectedForumsDialog(std::vector<DetectedForumsModel::Row> forums, QWidget* parent = nullptr);
  const DetectedForumsModel& model() const { return model_; }
  QTreeWidget* list() const { return list_; }

 private:
  void showChecks();

  DetectedForumsModel model_;
  QTreeWidget* list_;
  bool syncing_ = false;
};

}  // namespace quillstash::gui
