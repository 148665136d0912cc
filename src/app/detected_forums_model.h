// SPDX-License-Identifier: MIT
#pragma once

// The Detected Forums checklist as plain state: one row per forum that a
// download would find, sub-forums under their forum, each with its check
// box. User-interface thread only.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/settings.h"

namespace quillstash {

class DetectedForumsModel {
 public:
  // One forum: its folder name as the download makes it ("01 General Chat"),
  // its resolved address, whether its box is ticked, and the row of the
  // forum it is a sub-forum of (-1: a forum of the index page), and its
  // number on its page (0: count the index page's rows in order). Rows come
  // in download order, each sub-forum after its forum.
  struct Row {
    std::string name;
    std::string address;
    bool checked = true;
    int parent = -1;
    std::uint32_t number = 0;
  };
  // How a row's box shows: a ticked forum with an unticked forum anywhere
  // below it shows partly ticked.
  enum class Shown : std::uint8_t { kUnchecked, kPartial, kChecked };

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
  // A forum's box carries the boxes of every forum below it; ticking a
  // sub-forum also ticks the forums above it, since it is reached through them.
  void setChecked(std::size_t row, bool checked);
  void setAllChecked(bool checked);
  Shown shown(std::size_t row) const;
  // How many forums lie above the row (0 for a forum of the index page).
  std::size_t depth(std::size_t row) const;

  // OK: entry k of the selection becomes 1 for a ticked k-th forum of the
  // index page (sub-forum rows are not counted) and 0 for an unticked one,
  // for the first kForumSelectionSize forums; later entries keep their values.
  ForumSelection accept(const ForumSelection& current) const;
  // OK: the sub-forums to leave out, by address: those of `current` that the
  // list does not show, then each unticked sub-forum whose forum is ticked
  // (what lies below it goes with it).
  std::vector<std::string> acceptLeftOut(const std::vector<std::string>& current) const;

 private:
  // The rows `row` is under, its parent first.
  std::vector<std::size_t> rowsAbove(std::size_t row) const;
  bool isBelow(std::size_t row, std::size_t ancestor) const;

  std::vector<Row> rows_;
};

}  // namespace quillstash
