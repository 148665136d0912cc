// SPDX-License-Identifier: MIT
#pragma once

#include "archive/page_fetcher.h"

namespace quillstash::fuzz {

// Delivers nothing: the fuzzers exercise the scanners, not the network.
class NullFetcher final : public PageFetcher {
 public:
  std::size_t fetchToMemory(JobContext&, PageBlock& destination, bool) override {
    destination.clear();
    return 0;
  }
  bool fetchToFile(JobContext&, PageBlock&, TextWriter&, bool, std::string_view, std::uint32_t) override {
    return false;
  }
};

}  // namespace quillstash::fuzz
