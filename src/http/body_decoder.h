// SPDX-License-Identifier: MIT
#pragma once

// Turns the raw bytes of a response body, as they arrive, into the body
// itself. The framing says where the body ends: after a Content-Length, at
// the last chunk of a chunked body, or at the server's close. The coding is
// the Content-Encoding the bytes travel in: gzip and deflate (with or without
// its zlib wrapper) are decompressed. Output goes to a sink in pieces; the
// sink may refuse more (a limit was reached), so a body that decompresses
// without end stops there. One fetch, one thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace quillstash {

class BodyDecoder {
 public:
  enum class Framing { kUntilClose, kLength, kChunked };
  enum class Coding { kIdentity, kGzip, kDeflate };
  // The coding a Content-Encoding value names; codings not asked for are kept as they are.
  static Coding codingOf(std::string_view contentEncoding);

  BodyDecoder();
  ~BodyDecoder();
  BodyDecoder(const BodyDecoder&) = delete;
  BodyDecoder& operator=(const BodyDecoder&) = delete;
  // Takes a piece of the body; false stops the decoding.
  using Sink = std::function<bool(const char* data, std::size_t size)>;
  enum class Result {
    kMore,     // all of the input taken, the body goes on
    kDone,     // the body ended; input after its end is not taken
    kStopped,  // the sink refused a piece
    kCorrupt,  // the chunk framing is broken
    kBadData,  // the compressed data is broken
  };

  // Starts a body; `length` counts for kLength only.
  void start(Framing framing, std::uint64_t length, Coding coding = Coding::kIdentity);

  // Takes raw bytes [data, data + size) of the body and hands what they hold
  // to `sink`. `used` is how many input bytes were taken.
  Result feed(const char* data, std::size_t size, const Sink& sink, std::size_t& used);

  // The body has ended by its framing (a close-delimited body never does).
  bool done() const { return state_ == State::kDone; }
  // The framing announced an end that has not come.
  bool framed() const { return framing_ != Framing::kUntilClose; }
  // A compressed body whose compressed data has not reached its end.
  bool codingUnfinished() const;
  Coding coding() const { return coding_; }
  // Raw body bytes taken so far, chunk framing included.
  std::uint64_t rawBytes() const { return raw_; }

 private:
  enum class State { kBody, kSize, kExtension, kData, kDataEnd, kTrailerStart, kTrailerLine, kTrailerEnd, kDone };
  Framing framing_ = Framing::kUntilClose;
  State state_ = State::kBody;
  std::uint64_t left_ = 0;  // bytes of the body (kLength) or of the chunk left
  bool sizeDigits_ = false;
  std::uint64_t raw_ = 0;
  Coding coding_ = Coding::kIdentity;
  struct Inflater;
  std::unique_ptr<Inflater> inflater_;  // kept from one body to the next
  // Hands a piece of unframed body to the sink, decompressing it first; a
  // result other than kMore stops the feed.
  Result decode(const char* data, std::size_t size, const Sink& sink);
};

}  // namespace quillstash
