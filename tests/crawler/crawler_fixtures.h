// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "crawler/forum_detection.h"
#include "crawler/link_lists.h"
#include "crawler/topic_detection.h"
#include "platform/path.h"

namespace quillstash::test {

// A crawl state for one run whose base address is `address`, with default settings.
struct CrawlWorld {
  std::unique_ptr<JobContext> job = makeJobContext();
  CrawlState state;

  explicit CrawlWorld(const char* address = "http://forum.example/board/index.php") {
    job->forumAddress.assign(address);
    loadDefaultSettings(state.settings);
    state.currentJob = job.get();
    state.startRun();
  }
};

// `path` with the platform's separators written as '/', so that expected
// paths read the same on every platform.
inline std::string genericPath(std::string path) {
  for (char& c : path) {
    if (platform::isPathSeparator(c)) c = '/';
  }
  return path;
}

// Remembers what each accepted forum or topic looked like.
struct Taken {
  std::string path;     // outputPath at the call, in its generic form
  std::string address;  // the resolved address
  std::uint32_t number;
};

// What a recording sink or writer was handed, in order.
struct TakenList {
  std::vector<std::string> paths() const {
    std::vector<std::string> out;
    for (const Taken& t : taken) out.push_back(t.path);
    return out;
  }
  std::vector<std::string> addresses() const {
    std::vector<std::string> out;
    for (const Taken& t : taken) out.push_back(t.address);
    return out;
  }
  std::vector<Taken> taken;
};

class RecordingForumSink : public ForumSink, public TakenList {
 public:
  void takeForum(CrawlState& state, JobContext& forum) override {
    taken.push_back(
        {genericPath(std::string(state.outputPath.view())), std::string(forum.forumAddress.view()), state.itemNumber});
    ++state.itemNumber;
  }
};

class RecordingTopicWriter : public TopicWriter, public TakenList {
 public:
  void writeTopic(CrawlState& state, JobContext& topic) override {
    taken.push_back(
        {genericPath(std::string(state.outputPath.view())), std::string(topic.forumAddress.view()), state.itemNumber});
  }
};

}  // namespace quillstash::test
