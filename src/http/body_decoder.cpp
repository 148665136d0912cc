// SPDX-License-Identifier: MIT
#include "http/body_decoder.h"

#include <algorithm>

namespace quillstash {
namespace {

// A chunk size beyond this is taken as broken framing, not as a size.
constexpr std::uint64_t kMaxChunkSize = std::uint64_t{1} << 56;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void BodyDecoder::start(Framing framing, std::uint64_t length) {
  framing_ = framing;
  raw_ = 0;
  left_ = length;
  sizeDigits_ = false;
  switch (framing) {
    case Framing::kUntilClose: state_ = State::kBody; break;
    case Framing::kLength: state_ = length == 0 ? State::kDone : State::kBody; break;
    case Framing::kChunked:
      state_ = State::kSize;
      left_ = 0;
      break;
  }
}

BodyDecoder::Result BodyDecoder::feed(const char* data, std::size_t size, const Sink& sink, std::size_t& used) {
  std::size_t at = 0;
  Result result = Result::kMore;
  auto emit = [&](std::size_t count) {
    const bool going = sink(data + at, count);
    at += count;
    return going;
  };
  while (at < size && result == Result::kMore) {
    switch (state_) {
      case State::kDone: result = Result::kDone; continue;
      case State::kBody: {
        std::size_t count = size - at;
        if (framing_ == Framing::kLength) {
          count = static_cast<std::size_t>(std::min<std::uint64_t>(count, left_));
          left_ -= count;
          if (left_ == 0) state_ = State::kDone;
        }
        if (!emit(count)) result = Result::kStopped;
        break;
      }
      case State::kSize: {
        const char c = data[at++];
        const int digit = hexValue(c);
        if (digit >= 0) {
          if (left_ >= kMaxChunkSize) result = Result::kCorrupt;
          left_ = left_ * 16 + static_cast<std::uint64_t>(digit);
          sizeDigits_ = true;
        } else if (!sizeDigits_) {
          result = Result::kCorrupt;
        } else if (c == '\n') {
          state_ = left_ == 0 ? State::kTrailerStart : State::kData;
        } else {
          state_ = State::kExtension;  // ";name=value" or spaces, up to the line's end
        }
        break;
      }
      case State::kExtension:
        if (data[at++] == '\n') state_ = left_ == 0 ? State::kTrailerStart : State::kData;
        break;
      case State::kData: {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(size - at, left_));
        left_ -= count;
        if (left_ == 0) state_ = State::kDataEnd;
        if (!emit(count)) result = Result::kStopped;
        break;
      }
      case State::kDataEnd: {
        const char c = data[at++];
        if (c == '\n') {
          state_ = State::kSize;
          sizeDigits_ = false;
        } else if (c != '\r') {
          result = Result::kCorrupt;
        }
        break;
      }
      case State::kTrailerStart: {
        const char c = data[at++];
        if (c == '\n') {
          state_ = State::kDone;
        } else {
          state_ = c == '\r' ? State::kTrailerEnd : State::kTrailerLine;
        }
        break;
      }
      case State::kTrailerEnd:
        // "\r" then "\n" ends the trailer; anything else was a trailer field.
        state_ = data[at++] == '\n' ? State::kDone : State::kTrailerLine;
        break;
      case State::kTrailerLine:
        if (data[at++] == '\n') state_ = State::kTrailerStart;
        break;
    }
    if (state_ == State::kDone && result == Result::kMore) result = Result::kDone;
  }
  used = at;
  raw_ += at;
  return result;
}

}  // namespace quillstash
