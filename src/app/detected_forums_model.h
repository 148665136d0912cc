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
  // its resolved address, whether its box is ticked, and the row of the
  // forum it is a sub-forum of (-1: a forum of the index page). Rows come in
  // download order, each sub-forum after its forum.
  struct Row {
    std::string name;
    std::string address;
    bool checked = true;
    int parent = -1;
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
  // A forum's box carries its sub-forums' boxes with it: they are
  // downloaded with their forum.
  void setChecked(std::size_t row, bool checked);
  void setAllChecked(bool checked);

  // OK: entry k of the selection becomes 1 for a ticked k-th forum of the
  // index page (sub-forum rows are not counted) and 0 for an unticked one,
  // for the first kForumSelectionSize forums; later entries keep their values.
  ForumSelection accept(const ForumSelection& current) const;

 private:
  std::vector<Row> rows_;
};

}  // namespace quillstash
