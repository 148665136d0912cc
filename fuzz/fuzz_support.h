// SPDX-License-Identifier: MIT
#pragma once

// Helpers shared by the fuzz targets: turning the fuzzer's bytes into
// NUL-terminated texts and a crawl state with a base address.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "crawler/forum_detection.h"
#include "crawler/link_lists.h"
#include "crawler/topic_detection.h"

namespace quillstash::fuzz {

// Takes bytes up to the next '\n' (or the end) off the front of the input.
inline std::string takeLine(const std::uint8_t*& data, std::size_t& size, std::size_t maxLength) {
  std::string line;
  while (size > 0 && *data != '\n') {
    if (line.size() < maxLength) line.push_back(static_cast<char>(*data));
    ++data;
    --size;
  }
  if (size > 0) {
    ++data;
    --size;
  }
  return line;
}

// The rest of the input as a writable NUL-terminated page.
inline std::vector<char> takePage(const std::uint8_t* data, std::size_t size) {
  std::vector<char> page(data, data + size);
  page.push_back('\0');
  return page;
}

struct World {
  std::unique_ptr<JobContext> job = makeJobContext();
  CrawlState state;
  explicit World(const std::string& base) {
    job->forumAddress.assign(base);
    loadDefaultSettings(state.settings);
    state.currentJob = job.get();
    state.startRun();
    state.outputPath.assign("/out/Forum");
  }
};

class CountingSink : public ForumSink {
 public:
  void takeForum(CrawlState& state, JobContext&) override { ++state.itemNumber; }
};

class CountingWriter : public TopicWriter {
 public:
  void writeTopic(CrawlState&, JobContext&) override {}
};

}  // namespace quillstash::fuzz
