// SPDX-License-Identifier: MIT
#pragma once

// The Detected Forums checklist as plain state: one row per top-level forum
// that a download would find, each with its check box. User-interface thread
// only.

#include <cstddef>
#include <string>
#include <vector>

#include "core/settings.h"

namespace quillstash {

class DetectedForumsModel {
 public:
  // One forum: its folder name as the download makes it ("01 General Chat"),
  // its resolved address, and whether its box is ticked.
  struct Row {
    std::string name;
    std::string address;
    bool checked = true;
  };

  static constexpr const char* kTitle = "Detected Forums:";
  static constexpr int kOk = 1, kCancel = 2, kList = 400;
  static constexpr const char* kOkText = "&OK";
  static constexpr const char* kCancelText = "C&ancel";
  struct Column {
    const char* title;
    int width;
  };
  static constexpr Column kColumns[] = {{"Name", 183}, {"Address", 162}};

  explicit DetectedForumsModel(std::vector<Row> rows) : rows_(std::move(rows)) {}

  const std::vector<Row>& rows() const { return rows_; }
  // GCC 12 at -O3, inlining a call with a constant row past the end, warns
  // about the subscript even though the size check rules that branch out.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  void setChecked(std::size_t row, bool checked) {
    if (row < rows_.size()) rows_[row].checked = checked;
  }
#pragma GCC diagnostic pop

  // OK: entry k of the selection becomes 1 for a ticked row k and 0 for an
  // unticked one, for the first kForumSelectionSize rows; later entries keep
  // their values.
  ForumSelection accept(const ForumSelection& current) const;

 private:
  std::vector<Row> rows_;
};

}  // namespace quillstash
