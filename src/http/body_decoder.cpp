// SPDX-License-Identifier: MIT
#include "http/body_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

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

constexpr std::size_t kInflateOut = 65536;

}  // namespace

struct BodyDecoder::Inflater {
  z_stream stream{};
  bool open = false;
  bool ended = false;          // the compressed data reached its end
  bool decided = false;        // deflate: whether a zlib wrapper is there is known
  std::array<char, 2> head{};  // deflate: the first bytes, until that is known
  std::size_t headLength = 0;
  std::array<unsigned char, kInflateOut> out{};

  ~Inflater() { close(); }
  void close() {
    if (open) inflateEnd(&stream);
    open = false;
  }
  bool begin(int windowBits) {
    close();
    stream = z_stream{};
    open = inflateInit2(&stream, windowBits) == Z_OK;
    return open;
  }
};

BodyDecoder::BodyDecoder() = default;
BodyDecoder::~BodyDecoder() = default;

BodyDecoder::Coding BodyDecoder::codingOf(std::string_view value) {
  auto is = [&](std::string_view name) {
    if (value.size() != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
      if ((value[i] | 0x20) != name[i]) return false;
    }
    return true;
  };
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  if (is("gzip") || is("x-gzip")) return Coding::kGzip;
  if (is("deflate")) return Coding::kDeflate;
  return Coding::kIdentity;
}

bool BodyDecoder::codingUnfinished() const { return coding_ != Coding::kIdentity && inflater_ && !inflater_->ended; }

BodyDecoder::Result BodyDecoder::decode(const char* data, std::size_t size, const Sink& sink) {
  if (coding_ == Coding::kIdentity) return sink(data, size) ? Result::kMore : Result::kStopped;
  Inflater& z = *inflater_;
  if (z.ended) return Result::kMore;  // bytes after the compressed data are not body
  if (!z.decided) {
    // Servers send "deflate" with the zlib wrapper or as bare deflate data:
    // the first two bytes tell which.
    while (z.headLength < 2 && size > 0) {
      z.head[z.headLength++] = *data++;
      --size;
    }
    if (z.headLength < 2) return Result::kMore;
    const auto first = static_cast<unsigned char>(z.head[0]);
    const auto second = static_cast<unsigned char>(z.head[1]);
    const bool wrapped = (first & 0x0F) == 8 && (first * 256 + second) % 31 == 0;
    if (!z.begin(wrapped ? 15 : -15)) return Result::kBadData;
    z.decided = true;
    const std::array<char, 2> head = z.head;
    const Result result = decode(head.data(), head.size(), sink);
    if (result != Result::kMore || size == 0) return result;
  }
  if (!z.open) return Result::kBadData;
  z.stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.stream.avail_in = static_cast<uInt>(size);
  while (z.stream.avail_in > 0 && !z.ended) {
    z.stream.next_out = z.out.data();
    z.stream.avail_out = static_cast<uInt>(z.out.size());
    const int status = inflate(&z.stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return Result::kBadData;
    const std::size_t produced = z.out.size() - z.stream.avail_out;
    if (produced != 0 && !sink(reinterpret_cast<const char*>(z.out.data()), produced)) return Result::kStopped;
    if (status == Z_STREAM_END) {
      // gzip bodies may hold several members one after another.
      if (coding_ == Coding::kGzip && z.stream.avail_in > 0 && *z.stream.next_in == 0x1F) {
        if (inflateReset(&z.stream) != Z_OK) return Result::kBadData;
      } else {
        z.ended = true;
      }
    } else if (status == Z_BUF_ERROR && produced == 0) {
      return Result::kBadData;  // no progress with input left
    }
  }
  return Result::kMore;
}

void BodyDecoder::start(Framing framing, std::uint64_t length, Coding coding) {
  coding_ = coding;
  if (coding != Coding::kIdentity) {
    if (!inflater_) inflater_ = std::make_unique<Inflater>();
    inflater_->close();
    inflater_->ended = false;
    inflater_->decided = false;
    inflater_->headLength = 0;
    if (coding == Coding::kGzip) {
      inflater_->begin(15 + 16);
      inflater_->decided = true;
    }
  }
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
    const Result decoded = decode(data + at, count, sink);
    at += count;
    if (decoded != Result::kMore) result = decoded;
    return decoded == Result::kMore;
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
        emit(count);
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
        emit(count);
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
