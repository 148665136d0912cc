// SPDX-License-Identifier: MIT
#include "app/detected_forums_model.h"

namespace quillstash {

ForumSelection DetectedForumsModel::accept(const ForumSelection& current) const {
  ForumSelection result = current;
  for (std::size_t k = 0; k < rows_.size() && k < result.size(); ++k) result[k] = rows_[k].checked ? 1 : 0;
  return result;
}

}  // namespace quillstash
