// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace quillstash {

// A bounded write position in a caller's character buffer.
//
// Every text of the program is built by appending pieces at a moving write
// position. `capacity` counts the whole buffer including the terminating NUL,
// so at most capacity - 1 characters are ever stored and there is always room
// for terminate(). Characters that do not fit are dropped (never written past
// the end) and truncated() reports that something was lost; callers that must
// not act on a cut text (an address, a request) test it.
//
// The writer does not own the buffer; the caller keeps it alive. Appending does
// not store a terminator: the caller calls terminate() when the text is done.
class TextWriter {
 public:
  TextWriter(char* buffer, std::size_t capacity, std::size_t start = 0)
      : begin_(buffer),
        capacity_(capacity),
        length_(start < capacity ? start
                : capacity       ? capacity - 1
                                 : 0) {}

  // A writer positioned at the end of the NUL-terminated text already in `buffer`.
  static TextWriter atEnd(char* buffer, std::size_t capacity) {
    return TextWriter(buffer, capacity, ::strnlen(buffer, capacity ? capacity - 1 : 0));
  }

  void put(char c) {
    if (length_ + 1 < capacity_) {
      begin_[length_++] = c;
    } else {
      truncated_ = true;
    }
  }

  void append(std::string_view text) {
    std::size_t room = remaining();
    std::size_t n = text.size() <= room ? text.size() : room;
    if (n != 0) std::memcpy(begin_ + length_, text.data(), n);
    length_ += n;
    if (n < text.size()) truncated_ = true;
  }

  // Stores the NUL after the text; the position does not move.
  void terminate() {
    if (capacity_ != 0) begin_[length_] = '\0';
  }

  // Moves the position back to `length` characters (no-op when already shorter).
  void rewind(std::size_t length) {
    if (length < length_) length_ = length;
  }

  char* begin() const { return begin_; }
  char* position() const { return begin_ + length_; }
  std::size_t length() const { return length_; }
  std::size_t capacity() const { return capacity_; }
  std::size_t remaining() const { return capacity_ ? capacity_ - 1 - length_ : 0; }
  bool truncated() const { return truncated_; }
  std::string_view view() const { return std::string_view(begin_, length_); }

 private:
  char* begin_;
  std::size_t capacity_;
  std::size_t length_;
  bool truncated_ = false;
};

// A fixed-size zero-initialised text, as the program's 256- and 8192-byte texts.
template <std::size_t N>
struct FixedText {
  static_assert(N > 0);
  char data[N] = {};

  static constexpr std::size_t capacity() { return N; }
  const char* c_str() const { return data; }
  std::size_t size() const { return ::strnlen(data, N - 1); }
  bool empty() const { return data[0] == '\0'; }
  void clear() { data[0] = '\0'; }
  // A writer that replaces the text from its start.
  TextWriter writer() { return TextWriter(data, N); }
  // A writer that extends the text at its end.
  TextWriter appender() { return TextWriter::atEnd(data, N); }
  // Replaces the text; returns false when it had to be cut to fit.
  bool assign(std::string_view text) {
    TextWriter w = writer();
    w.append(text);
    w.terminate();
    return !w.truncated();
  }
  std::string_view view() const { return std::string_view(data, size()); }
};

}  // namespace quillstash
