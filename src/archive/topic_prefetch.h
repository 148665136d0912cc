// SPDX-License-Identifier: MIT
#pragma once

// Fetching the pages of a forum page's topics side by side. Helper threads,
// each with a connection of its own, fetch the topics the crawl says come
// next (every page of each, following next-page links as the topic writer
// would), and the writer, which still takes one topic after another, gets
// each page as if it had fetched it at that moment: with the log lines its
// fetch wrote, its redirect and its outcome. Every decision (which topics,
// their names and numbers, what is saved, in which order) stays the
// writer's, so the archive is the same byte for byte as with one connection.
// Pages the helpers have not started are fetched by the writer itself;
// attachments and images too.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/page_fetcher.h"
#include "archive/topic_writer.h"
#include "core/activity_log.h"
#include "core/settings.h"
#include "http/fetch.h"

namespace quillstash {

class TopicPrefetcher final : public PageFetcher {
 public:
  // Pages fetched ahead and not yet taken are held up to this many bytes
  // (the page of the topic being written is always fetched).
  static constexpr std::size_t kHeldBytes = std::size_t{8} << 20;

  // `direct` fetches what is not fetched ahead; `client` gives the helpers
  // their settings, cookie jar, TLS configurations and kept connections.
  // `currentJob` is the address the user typed. The caller keeps every
  // argument alive as long as the prefetcher. Helpers start with the first
  // plan that may use them.
  TopicPrefetcher(PageFetcher& direct, HttpClient& client, const SettingsStore& settings, ActivityLog& log,
                  const JobContext& currentJob, NextPageFinder findNextPageLink);
  // Ends the helpers' fetches at once and joins them.
  ~TopicPrefetcher() override;
  TopicPrefetcher(const TopicPrefetcher&) = delete;
  TopicPrefetcher& operator=(const TopicPrefetcher&) = delete;

  // The topics the writer takes next (first-page addresses before the link
  // parameter), in their order, read by `engine` (null: the table-based
  // path), and the forum page the writer fetches after them (before the link
  // parameter; empty when not known), fetched once every topic has a helper.
  // Replaces the earlier plan: what was fetched for it and not taken is
  // dropped, and the log lines of its fetches are logged then. Fetches nothing ahead while a download delay is set,
  // with one connection, or once the server has asked to wait (429 or 503). Returns once no helper reads pages by the
  // earlier plan's rules, so an empty plan at the end of a crawl lets its engine profile go; an empty plan with no
  // forum page also waits for the fetches on their way. Download thread.
  void plan(const std::vector<std::string>& topics, const EngineProfile* engine, const std::string& nextForumPage = {});

  // Whether a plan would be fetched ahead now (more than one connection, no
  // download delay, the server has not asked to wait). Download thread.
  bool fetchesAhead();

  // The writer's fetches (download thread).
  std::size_t fetchToMemory(JobContext& job, PageBlock& destination, bool forumPage) override;
  FileOutcome fetchToFile(JobContext& job, PageBlock& receiveBuffer, TextWriter& linkOutput, bool imageMode,
                          std::string_view folder, std::uint32_t itemNumber) override;

  // Pages fetched ahead and then taken by the writer; for tests and figures.
  std::uint64_t pagesTaken() const;

 private:
  // What a helper knows of a topic whose pages it follows.
  struct TopicChain;
  // A page of the plan not yet started: a topic's first page, a further
  // page of a topic (with its chain), or the forum page.
  struct Planned {
    std::string address;    // as requested (link parameter applied)
    std::size_t topic = 0;  // its place in the plan (the forum page comes last)
    bool forumPage = false;
    std::shared_ptr<TopicChain> chain;  // set for a topic's further pages
  };
  // One page fetched ahead, or being fetched.
  struct Page {
    std::string address;     // as requested (link parameter applied)
    std::size_t topic = 0;   // its topic's place in the plan
    std::uint64_t plan = 0;  // the plan it belongs to
    bool done = false;
    bool refused = false;      // the server failed the certificate checks
    std::string finalAddress;  // after redirects
    std::string body;          // the page as fetchToMemory left it (empty: nothing came)
    std::string lines;         // the log lines its fetch wrote
  };
  struct Helper;

  // Effective connections now, by the settings and the server's answers.
  std::uint32_t connectionsNow(const Settings& settings) const;
  void run(Helper& helper);
  // Takes the next planned topic or forum page for a helper (lock held);
  // false when there is none to take now.
  bool nextTopic(Planned& planned, std::uint64_t& plan);
  // Waits for a connection of the run, for the writer or a helper; false
  // when closing.
  bool acquireConnection(bool writer);
  void releaseConnection();
  // The writer is on `topic`: drops what is planned and held for the topics
  // before it (lock held). Returns the log lines of the pages dropped.
  std::string dropEarlierTopics(std::size_t topic);
  // Drops the pages fetched for topics before `beforeTopic` (lock held) and
  // returns their log lines, for logDropped once the lock is let go.
  static constexpr std::size_t kEveryTopic = static_cast<std::size_t>(-1);
  std::string dropPages(std::size_t beforeTopic);
  void logDropped(const std::string& lines);
  // Whether a page of `plan` for `topic` is still of use to the writer.
  bool stillWanted(std::uint64_t plan, std::size_t topic);
  std::size_t heldBytes() const;  // lock held
  static std::unique_ptr<Page> newPage(std::string address, std::size_t topic, std::uint64_t plan);
  void noteServerBusy();
  // A helper is about to read a page by the rules of `plan`: false when that
  // plan is over. endReading() when done.
  bool startReading(std::uint64_t plan);
  void endReading();

  PageFetcher& direct_;
  HttpClient& client_;
  const SettingsStore& settings_;
  ActivityLog& log_;
  const JobContext& currentJob_;
  NextPageFinder findNextPageLink_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool closing_ = false;
  std::uint64_t plan_ = 0;                    // the current plan's number
  const EngineProfile* engine_ = nullptr;     // the current plan's reading rules
  std::deque<Planned> queue_;                 // planned pages not yet started
  std::vector<std::string> firstPages_;       // the current plan's topics as the crawl gave them
  std::vector<std::unique_ptr<Page>> pages_;  // fetched or in flight, not taken
  std::size_t currentTopic_ = 0;              // the place of the topic the writer is on
  std::uint32_t connectionsInUse_ = 0;
  std::uint32_t writerWaiting_ = 0;
  std::uint32_t reading_ = 0;  // helpers reading a page by the current plan's rules
  std::uint32_t connectionLimit_ = 1;
  std::uint64_t pagesTaken_ = 0;
  bool busyLogged_ = false;
  std::vector<std::unique_ptr<Helper>> helpers_;
};

}  // namespace quillstash
