// SPDX-License-Identifier: MIT
#pragma once

// How far one download has come, as counters the download thread raises and
// a front-end reads while it runs. Every counter is an atomic of its own: a
// reader may see one counter a step ahead of another, never a torn value.

#include <atomic>
#include <chrono>
#include <cstdint>

namespace quillstash {

class RunProgress {
 public:
  struct Counts {
    std::uint32_t forumsFound = 0;         // forums and sub-forums entered so far
    std::uint32_t forumsDone = 0;          // of those, walked to their last page
    std::uint32_t topicsFound = 0;         // topics handed to the writer so far
    std::uint32_t topicsDone = 0;          // of those, written
    std::uint64_t pages = 0;               // pages and files fetched whole
    std::uint64_t bytes = 0;               // their body bytes
    std::uint64_t requests = 0;            // requests sent, retries and redirects included
    std::uint32_t busyAnswers = 0;         // 429 and 503 answers that asked to wait (Retry-After)
    std::chrono::milliseconds elapsed{0};  // since start(); frozen by finish()
    bool running = false;
  };

  // Download thread: a new run starts at zero, or ends.
  void start();
  void finish();

  void forumFound() { forumsFound_.fetch_add(1, std::memory_order_relaxed); }
  void forumDone() { forumsDone_.fetch_add(1, std::memory_order_relaxed); }
  void topicFound() { topicsFound_.fetch_add(1, std::memory_order_relaxed); }
  void topicDone() { topicsDone_.fetch_add(1, std::memory_order_relaxed); }
  void fetched(std::uint64_t bytes) {
    pages_.fetch_add(1, std::memory_order_relaxed);
    bytes_.fetch_add(bytes, std::memory_order_relaxed);
  }

  // A request has gone out on a connection (any thread that fetches).
  void requestSent() { requests_.fetch_add(1, std::memory_order_relaxed); }
  // A server answered 429 or 503 and asked to wait (any thread).
  void serverBusy() { busyAnswers_.fetch_add(1, std::memory_order_relaxed); }
  bool serverWasBusy() const { return busyAnswers_.load(std::memory_order_relaxed) != 0; }

  // Any thread.
  Counts counts() const;

 private:
  using Clock = std::chrono::steady_clock;
  std::atomic<std::uint32_t> forumsFound_{0};
  std::atomic<std::uint32_t> forumsDone_{0};
  std::atomic<std::uint32_t> topicsFound_{0};
  std::atomic<std::uint32_t> topicsDone_{0};
  std::atomic<std::uint64_t> pages_{0};
  std::atomic<std::uint64_t> bytes_{0};
  std::atomic<std::uint64_t> requests_{0};
  std::atomic<std::uint32_t> busyAnswers_{0};
  std::atomic<Clock::rep> startedAt_{0};  // Clock ticks
  std::atomic<Clock::rep> endedAt_{0};
  std::atomic<bool> running_{false};
};

}  // namespace quillstash
