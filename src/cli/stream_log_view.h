// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdio>

#include "core/activity_log.h"

namespace quillstash::cli {

// A log view that writes every appended text to a stream, byte for byte and
// flushed at once, and keeps only the length the log's trimming rule needs.
class StreamLogView : public LogView {
 public:
  explicit StreamLogView(std::FILE* stream) : stream_(stream) {}

  std::size_t textLength() const override { return length_; }
  void select(std::size_t from, std::size_t to) override {
    from_ = from < length_ ? from : length_;
    to_ = to < from_ ? from_ : (to < length_ ? to : length_);
  }
  void replaceSelection(std::string_view text) override {
    length_ -= to_ - from_;  // trimming: the text already written stays on the stream
    if (!text.empty()) {
      std::fwrite(text.data(), 1, text.size(), stream_);
      std::fflush(stream_);
      length_ += text.size();
    }
    from_ = to_ = length_;
  }
  void scrollToCaret() override {}

 private:
  std::FILE* stream_;
  std::size_t length_ = 0;
  std::size_t from_ = 0;
  std::size_t to_ = 0;
};

}  // namespace quillstash::cli
