// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillstash {

// The topic page being composed. It starts with room for a 10 MiB page and
// grows when a topic needs more, so a long topic is written whole instead of
// being cut. Owned by the download job and reused for every topic; used by
// one thread at a time.
class OutputBuffer {
 public:
  static constexpr std::size_t kInitialCapacity = 10485760;

  explicit OutputBuffer(std::size_t initialCapacity = kInitialCapacity) { text_.reserve(initialCapacity); }

  void clear() { text_.clear(); }
  void put(char c) { text_.push_back(c); }
  void append(std::string_view text) { text_.append(text); }
  // Moves the write position back to `length` bytes (no-op when already shorter).
  void rewind(std::size_t length) {
    if (length < text_.size()) text_.resize(length);
  }
  bool endsWith(std::string_view tail) const {
    return text_.size() >= tail.size() && std::string_view(text_).substr(text_.size() - tail.size()) == tail;
  }
  std::size_t length() const { return text_.size(); }
  std::string_view view() const { return text_; }

 private:
  std::string text_;
};

}  // namespace quillstash
