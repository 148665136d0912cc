// SPDX-License-Identifier: MIT
#include "app/detected_forums_model.h"

#include <algorithm>

namespace quillstash {

std::vector<std::size_t> DetectedForumsModel::rowsAbove(std::size_t row) const {
  std::vector<std::size_t> above;
  if (row >= rows_.size()) return above;
  // Parents come before their rows, so the walk up always ends.
  for (int up = rows_[row].parent; up >= 0 && static_cast<std::size_t>(up) < row;
       row = static_cast<std::size_t>(up), up = rows_[row].parent) {
    above.push_back(static_cast<std::size_t>(up));
  }
  return above;
}

bool DetectedForumsModel::isBelow(std::size_t row, std::size_t ancestor) const {
  const std::vector<std::size_t> above = rowsAbove(row);
  return std::find(above.begin(), above.end(), ancestor) != above.end();
}

std::size_t DetectedForumsModel::depth(std::size_t row) const { return rowsAbove(row).size(); }

void DetectedForumsModel::setChecked(std::size_t row, bool checked) {
  if (row >= rows_.size()) return;
  rows_[row].checked = checked;
  for (std::size_t k = row + 1; k < rows_.size(); ++k) {
    if (isBelow(k, row)) rows_[k].checked = checked;
  }
  if (!checked) return;
  for (std::size_t up : rowsAbove(row)) rows_[up].checked = true;
}

void DetectedForumsModel::setAllChecked(bool checked) {
  for (Row& row : rows_) row.checked = checked;
}

DetectedForumsModel::Shown DetectedForumsModel::shown(std::size_t row) const {
  if (row >= rows_.size() || !rows_[row].checked) return Shown::kUnchecked;
  for (std::size_t k = row + 1; k < rows_.size(); ++k) {
    if (!rows_[k].checked && isBelow(k, row)) return Shown::kPartial;
  }
  return Shown::kChecked;
}

ForumSelection DetectedForumsModel::accept(const ForumSelection& current) const {
  // Entries number the index page's forums only; sub-forums go by address.
  ForumSelection result = current;
  std::size_t k = 0;
  for (const Row& row : rows_) {
    if (row.parent >= 0) continue;
    const std::size_t entry = row.number != 0 ? row.number - 1 : k;
    ++k;
    if (entry >= result.size()) continue;
    result[entry] = row.checked ? 1 : 0;
  }
  return result;
}

std::vector<std::string> DetectedForumsModel::acceptLeftOut(const std::vector<std::string>& current) const {
  std::vector<std::string> result;
  for (const std::string& address : current) {
    const bool listed =
        std::any_of(rows_.begin(), rows_.end(), [&address](const Row& row) { return row.address == address; });
    if (!listed) result.push_back(address);
  }
  for (std::size_t k = 0; k < rows_.size(); ++k) {
    const int up = rows_[k].parent;
    if (up < 0 || static_cast<std::size_t>(up) >= k || rows_[k].checked) continue;
    if (rows_[static_cast<std::size_t>(up)].checked) result.push_back(rows_[k].address);
  }
  return result;
}

}  // namespace quillstash
