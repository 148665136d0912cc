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
      lineEnded_ = text.back() == '\n';
    }
    from_ = to_ = length_;
  }
  void scrollToCaret() override {}

  // Ends the last line with a line break when it has none (the log's final
  // line comes without one). Call when no more lines are logged.
  void finishLine() {
    if (!lineEnded_) {
      std::fputs("\r\n", stream_);
      std::fflush(stream_);
      lineEnded_ = true;
    }
  }

 private:
  std::FILE* stream_;
  std::size_t length_ = 0;
  std::size_t from_ = 0;
  std::size_t to_ = 0;
  bool lineEnded_ = true;
};

}  // namespace quillstash::cli
