// SPDX-License-Identifier: MIT
#include "app/detected_forums_model.h"

namespace quillstash {

void DetectedForumsModel::setChecked(std::size_t row, bool checked) {
  if (row >= rows_.size()) return;
  rows_[row].checked = checked;
  for (std::size_t k = row + 1; k < rows_.size(); ++k) {
    if (rows_[k].parent == static_cast<int>(row)) setChecked(k, checked);
  }
}

void DetectedForumsModel::setAllChecked(bool checked) {
  for (Row& row : rows_) row.checked = checked;
}

ForumSelection DetectedForumsModel::accept(const ForumSelection& current) const {
  // Entries number the index page's forums only; sub-forums go with theirs.
  ForumSelection result = current;
  std::size_t k = 0;
  for (const Row& row : rows_) {
    if (row.parent >= 0) continue;
    if (k >= result.size()) break;
    result[k++] = row.checked ? 1 : 0;
  }
  return result;
}

}  // namespace quillstash
