// SPDX-License-Identifier: MIT
#pragma once

// The two fetches the topic writer needs, shaped as HttpClient's members so
// that the real one is a thin adapter and tests can serve pages and files of
// their own.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/settings.h"
#include "http/fetch.h"
#include "text/page_block.h"
#include "text/text_writer.h"

namespace quillstash {

class PageFetcher {
 public:
  virtual ~PageFetcher() = default;
  // As HttpClient::fetchToMemory: the body length, 0 when nothing arrived.
  virtual std::size_t fetchToMemory(JobContext& job, PageBlock& destination, bool forumPage) = 0;
  // As HttpClient::fetchToFile: the file is `folder` + five-digit
  // `itemNumber` + ' ' + its name; on success the name is appended at
  // `linkOutput`; a failed or stopped fetch leaves no file.
  virtual FileOutcome fetchToFile(JobContext& job, PageBlock& receiveBuffer, TextWriter& linkOutput, bool imageMode,
                                  std::string_view folder, std::uint32_t itemNumber) = 0;
};

// The PageFetcher of a real download. The caller keeps `client` alive.
class HttpPageFetcher final : public PageFetcher {
 public:
  explicit HttpPageFetcher(HttpClient& client) : client_(client) {}
  std::size_t fetchToMemory(JobContext& job, PageBlock& destination, bool forumPage) override {
    return client_.fetchToMemory(job, destination, forumPage);
  }
  FileOutcome fetchToFile(JobContext& job, PageBlock& receiveBuffer, TextWriter& linkOutput, bool imageMode,
                          std::string_view folder, std::uint32_t itemNumber) override {
    return client_.fetchToFile(job, receiveBuffer, linkOutput, imageMode, folder, itemNumber);
  }

 private:
  HttpClient& client_;
};

}  // namespace quillstash
