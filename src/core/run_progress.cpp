// SPDX-License-Identifier: MIT
#include "core/run_progress.h"

namespace quillstash {

void RunProgress::start() {
  forumsFound_.store(0);
  forumsDone_.store(0);
  topicsFound_.store(0);
  topicsDone_.store(0);
  pages_.store(0);
  bytes_.store(0);
  requests_.store(0);
  busyAnswers_.store(0);
  const Clock::rep now = Clock::now().time_since_epoch().count();
  startedAt_.store(now);
  endedAt_.store(now);
  running_.store(true);
}

void RunProgress::finish() {
  endedAt_.store(Clock::now().time_since_epoch().count());
  running_.store(false);
}

RunProgress::Counts RunProgress::counts() const {
  Counts counts;
  counts.running = running_.load();
  counts.forumsFound = forumsFound_.load(std::memory_order_relaxed);
  counts.forumsDone = forumsDone_.load(std::memory_order_relaxed);
  counts.topicsFound = topicsFound_.load(std::memory_order_relaxed);
  counts.topicsDone = topicsDone_.load(std::memory_order_relaxed);
  counts.pages = pages_.load(std::memory_order_relaxed);
  counts.bytes = bytes_.load(std::memory_order_relaxed);
  counts.requests = requests_.load(std::memory_order_relaxed);
  counts.busyAnswers = busyAnswers_.load(std::memory_order_relaxed);
  const Clock::rep end = counts.running ? Clock::now().time_since_epoch().count() : endedAt_.load();
  counts.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::duration(end - startedAt_.load()));
  return counts;
}

}  // namespace quillstash
