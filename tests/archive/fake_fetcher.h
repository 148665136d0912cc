// SPDX-License-Identifier: MIT
#pragma once

// A PageFetcher that serves pages and files from a table kept by the test and
// records every address asked for. Files are written for real, named as the
// HTTP client names them.

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/activity_log.h"
#include "archive/media.h"
#include "archive/page_fetcher.h"
#include "platform/files.h"
#include "text/strings.h"

namespace quillstash::test {

class FakeFetcher final : public PageFetcher {
 public:
  explicit FakeFetcher(ActivityLog& log) : log_(log) {}

  // Bodies by address; the scheme is ignored when looking one up.
  std::map<std::string, std::string> bodies;
  std::vector<std::string> pageRequests;
  std::vector<std::string> fileRequests;
  // Called with each page address before it is served (a stop, say).
  std::function<void(const std::string&)> beforeFetch;

  std::size_t fetchToMemory(JobContext& job, PageBlock& destination, bool) override {
    pageRequests.emplace_back(job.forumAddress.c_str());
    if (beforeFetch) beforeFetch(pageRequests.back());
    const std::string* body = find(job.forumAddress.c_str());
    if (body == nullptr) {
      destination.clear();
      return 0;
    }
    std::size_t n = std::min(body->size(), destination.capacity());
    std::memcpy(destination.data(), body->data(), n);
    destination.setLength(n);
    return n;
  }

  FileOutcome fetchToFile(JobContext& job, PageBlock&, TextWriter& linkOutput, bool imageMode, std::string_view folder,
                          std::uint32_t itemNumber) override {
    std::string address = job.forumAddress.c_str();
    fileRequests.push_back(address);
    const std::string* body = find(address.c_str());
    if (body == nullptr || body->empty()) return FileOutcome::kFailed;
    if (imageMode) {
      std::size_t first = body->find_first_not_of(" \t\r\n");
      if (first != std::string::npos && (*body)[first] == '<') {
        log_.logLine("[ X ] The image: " + address + " contains HTML code in it and was not saved\r\n");
        return FileOutcome::kFailed;
      }
    }
    std::size_t slash = address.find_last_of('/', address.size() >= 2 ? address.size() - 2 : 0);
    std::string name = slash == std::string::npos ? address : address.substr(slash + 1);
    char number[64];
    TextWriter digits(number, sizeof(number));
    writeFiveDigits(digits, itemNumber);
    digits.put(' ');
    const char* read = name.c_str();
    copyNamePart(read, digits);  // the client's own name rule
    std::string fileName(digits.view());
    std::string path = std::string(folder) + fileName;
    if (!platform::writeWholeFile(path.c_str(), body->data(), body->size())) return FileOutcome::kFailed;
    linkOutput.append(fileName);
    return FileOutcome::kSaved;
  }

 private:
  const std::string* find(const char* address) const {
    std::string key = address;
    if (key.rfind("http://", 0) == 0) key.erase(0, 7);
    auto it = bodies.find(key);
    return it == bodies.end() ? nullptr : &it->second;
  }

  ActivityLog& log_;
};

// What the archive tests write with: default settings, a log into a string,
// the fake fetcher, the typed address and the run's saved-file list.
struct MediaWorld {
  explicit MediaWorld(const char* forumAddress) : log_(view_), fetcher_(log_) {
    loadDefaultSettings(settings_);
    currentJob_.forumAddress.assign(forumAddress);
  }

  TopicMedia media(std::uint32_t item = 1, const std::string& folder = "") {
    return TopicMedia(MediaContext{settings_, log_, fetcher_, currentJob_, files_, item, folder});
  }

  StringLogView view_;
  ActivityLog log_;
  FakeFetcher fetcher_;
  Settings settings_;
  JobContext currentJob_;
  LinkList files_;
};

}  // namespace quillstash::test
