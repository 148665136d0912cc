// SPDX-License-Identifier: MIT
#include "archive/topic_prefetch.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/process.h"
#include "text/page_block.h"

namespace quillstash {
namespace {

// A log view that keeps every line written to it, in order, until taken. It
// reports itself empty, so the log never trims it.
class KeptLines final : public LogView {
 public:
  std::size_t textLength() const override { return 0; }
  void select(std::size_t, std::size_t) override {}
  void replaceSelection(std::string_view text) override { text_.append(text); }
  void scrollToCaret() override {}
  std::string take() { return std::exchange(text_, std::string()); }

 private:
  std::string text_;
};

}  // namespace

struct TopicPrefetcher::TopicChain {
  LinkList visited;  // the pattern's list of the topic's pages
  LinkList fetched;  // every address fetched for the topic, to end loops
};

// A helper thread with its own log (kept until its page is taken) and its
// own client over the run's jar and kept connections.
struct TopicPrefetcher::Helper {
  Helper(ActivityLog& parentLog, HttpClient& parentClient) : log(lines, parentLog), client(parentClient, log) {}
  KeptLines lines;
  ActivityLog log;
  HttpClient client;
  std::thread thread;
};

TopicPrefetcher::TopicPrefetcher(PageFetcher& direct, HttpClient& client, const SettingsStore& settings,
                                 ActivityLog& log, const JobContext& currentJob, NextPageFinder findNextPageLink)
    : direct_(direct),
      client_(client),
      settings_(settings),
      log_(log),
      currentJob_(currentJob),
      findNextPageLink_(findNextPageLink) {}

TopicPrefetcher::~TopicPrefetcher() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  for (auto& helper : helpers_) helper->log.requestStop();  // ends their fetches within half a second
  changed_.notify_all();
  for (auto& helper : helpers_) helper->thread.join();
  logDropped(dropPages(kEveryTopic));
}

std::string TopicPrefetcher::dropPages(std::size_t beforeTopic) {
  std::string lines;
  std::erase_if(pages_, [&](const std::unique_ptr<Page>& page) {
    if (!page->done || page->topic >= beforeTopic) return false;
    lines += page->lines;
    return true;
  });
  return lines;
}

void TopicPrefetcher::logDropped(const std::string& lines) {
  // Every request the run made shows in the log, the pages fetched ahead
  // for nothing too (a stop, a plan given up): their lines come when they
  // are dropped.
  if (!lines.empty()) log_.logLine(lines);
}

std::uint32_t TopicPrefetcher::connectionsNow(const Settings& settings) const {
  if (settings.useDownloadDelay && settings.downloadDelayMs != 0) return 1;  // one request at a time
  if (log_.progress().serverWasBusy()) return 1;
  return std::clamp<std::uint32_t>(settings.connections, 1, kMaxConnections);
}

void TopicPrefetcher::noteServerBusy() {
  if (busyLogged_ || !log_.progress().serverWasBusy()) return;
  busyLogged_ = true;
  log_.logLine("[ ! ] The server asked to wait: one connection from now on\r\n");
}

bool TopicPrefetcher::fetchesAhead() {
  noteServerBusy();
  if (connectionsNow(settings_.snapshot()) > 1) return true;
  // Nothing more is fetched ahead: what was planned is dropped.
  plan({}, nullptr);
  return false;
}

bool TopicPrefetcher::startReading(std::uint64_t plan) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (plan != plan_ || closing_) return false;
  ++reading_;
  return true;
}

void TopicPrefetcher::endReading() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --reading_;
  }
  changed_.notify_all();
}

void TopicPrefetcher::plan(const std::vector<std::string>& topics, const EngineProfile* engine,
                           const std::string& nextForumPage) {
  const Settings settings = settings_.snapshot();
  const std::uint32_t connections = connectionsNow(settings);
  noteServerBusy();
  std::string dropped;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    ++plan_;
    // No helper reads a page by the last plan's rules once this returns, so
    // that the caller may let them go (a profile ends with its run). An
    // empty plan also waits for the fetches on their way, so that their
    // lines are logged before the run's end.
    const bool ending = topics.empty() && nextForumPage.empty();
    changed_.wait(lock, [&] {
      return reading_ == 0 &&
             (!ending || closing_ || std::all_of(pages_.begin(), pages_.end(), [](const auto& p) { return p->done; }));
    });
    engine_ = engine;
    currentTopic_ = 0;
    queue_.clear();
    firstPages_ = topics;
    connectionLimit_ = connections;
    // What was fetched for the last plan and not taken is of no more use;
    // pages still in flight are dropped by their helper when they arrive.
    dropped = dropPages(kEveryTopic);
    if (connections > 1) {
      auto job = makeJobContext();
      const auto enqueue = [&](const std::string& address, std::size_t place, bool forumPage) {
        if (!job->forumAddress.assign(address)) return;
        applyLinkParameter(settings, *job);
        queue_.push_back({std::string(job->forumAddress.view()), place, forumPage, nullptr});
      };
      for (std::size_t place = 0; place < topics.size(); ++place) enqueue(topics[place], place, false);
      if (!nextForumPage.empty()) enqueue(nextForumPage, topics.size(), true);
    }
    while (connections > 1 && helpers_.size() < connections) {
      helpers_.push_back(std::make_unique<Helper>(log_, client_));
      Helper& helper = *helpers_.back();
      helper.thread = std::thread([this, &helper] { run(helper); });
    }
  }
  changed_.notify_all();
  logDropped(dropped);
}

std::unique_ptr<TopicPrefetcher::Page> TopicPrefetcher::newPage(std::string address, std::size_t topic,
                                                                std::uint64_t plan) {
  auto page = std::make_unique<Page>();
  page->address = std::move(address);
  page->topic = topic;
  page->plan = plan;
  return page;
}

std::size_t TopicPrefetcher::heldBytes() const {
  std::size_t bytes = 0;
  for (const auto& page : pages_) bytes += page->body.size();
  return bytes;
}

bool TopicPrefetcher::nextTopic(Planned& planned, std::uint64_t& plan) {
  if (queue_.empty() || log_.progress().serverWasBusy()) return false;
  // The writer's topic goes first, even over the limit of pages held. Then
  // the topics not started, so that each topic's pages (which come one after
  // another) begin early, then the further pages of the others in order.
  auto pick = std::find_if(queue_.begin(), queue_.end(), [this](const Planned& q) { return q.topic == currentTopic_; });
  if (pick == queue_.end()) {
    if (heldBytes() >= kHeldBytes) return false;
    pick = std::find_if(queue_.begin(), queue_.end(), [](const Planned& q) { return !q.chain; });
  }
  if (pick == queue_.end()) {
    pick = std::min_element(queue_.begin(), queue_.end(),
                            [](const Planned& a, const Planned& b) { return a.topic < b.topic; });
  }
  planned = std::move(*pick);
  queue_.erase(pick);
  plan = plan_;
  return true;
}

bool TopicPrefetcher::acquireConnection(bool writer) {
  std::unique_lock<std::mutex> lock(mutex_);
  // The writer's own fetches go first: a helper waits while the writer does.
  if (writer) ++writerWaiting_;
  changed_.wait(lock,
                [&] { return closing_ || (connectionsInUse_ < connectionLimit_ && (writer || writerWaiting_ == 0)); });
  if (writer) --writerWaiting_;
  if (closing_) return false;
  ++connectionsInUse_;
  return true;
}

void TopicPrefetcher::releaseConnection() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --connectionsInUse_;
  }
  changed_.notify_all();
}

std::string TopicPrefetcher::dropEarlierTopics(std::size_t topic) {
  currentTopic_ = topic;
  std::erase_if(queue_, [topic](const Planned& planned) { return planned.topic < topic; });
  return dropPages(topic);
}

bool TopicPrefetcher::stillWanted(std::uint64_t plan, std::size_t topic) {
  std::lock_guard<std::mutex> lock(mutex_);
  return plan == plan_ && topic >= currentTopic_ && !closing_;
}

void TopicPrefetcher::run(Helper& helper) {
  PageBlock block;
  for (;;) {
    Planned planned;
    std::uint64_t plan = 0;
    Page* page = nullptr;
    const EngineProfile* engine = nullptr;
    std::string firstPage;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return closing_ || nextTopic(planned, plan); });
      if (closing_) return;
      engine = engine_;
      firstPage = firstPages_.size() > planned.topic ? firstPages_[planned.topic] : planned.address;
      pages_.push_back(newPage(planned.address, planned.topic, plan));
      page = pages_.back().get();
    }
    if (!planned.chain) planned.chain = std::make_shared<TopicChain>();
    TopicChain& chain = *planned.chain;
    const Settings settings = settings_.snapshot();
    const TopicPageRules rules{settings, currentJob_, findNextPageLink_, engine};
    auto job = makeJobContext();
    job->forumAddress.assign(planned.address);
    // A pause holds the helpers before their next request as it holds the writer.
    while (log_.runState() == RunState::kPaused && !helper.log.stopRequested()) {
      platform::sleepMilliseconds(ActivityLog::kPauseStepMs);
    }
    // A page the writer has passed by while this helper waited for a
    // connection is not asked for at all.
    std::size_t length = 0;
    if (acquireConnection(false)) {
      if (stillWanted(plan, planned.topic)) length = helper.client.fetchToMemory(*job, block, false);
      releaseConnection();
    }
    chain.fetched.emplace_back(page->address.c_str());
    std::string next;
    // A forum page is fetched alone: what follows it is the crawl's to find.
    if (length != 0 && !planned.forumPage && !helper.log.stopRequested() && startReading(plan)) {
      chain.fetched.emplace_back(job->forumAddress.c_str());
      next = guessNextTopicPage(block.text(), job->forumAddress.view(), firstPage, rules, chain.visited);
      endReading();
    }
    auto nextJob = makeJobContext();
    bool follow = !next.empty() && nextJob->forumAddress.assign(next);
    if (follow) {
      applyLinkParameter(settings, *nextJob);
      const char* candidate = nextJob->forumAddress.c_str();
      follow = findLink(chain.fetched, candidate) == nullptr;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      page->done = true;
      page->refused = job->secureConnectionRefused;
      page->finalAddress = job->forumAddress.c_str();
      if (length != 0) page->body.assign(block.text(), length);
      page->lines = helper.lines.take();
      const bool wanted = page->plan == plan_ && page->topic >= currentTopic_ && !closing_;
      if (!wanted) {
        // Logged before the lock is let go: a plan that waits for the pages
        // on their way then finds their lines in the log.
        logDropped(page->lines);
        std::erase_if(pages_, [page](const std::unique_ptr<Page>& held) { return held.get() == page; });
      }
      // The topic's next page waits its turn with the other pages planned.
      if (follow && wanted && !log_.progress().serverWasBusy()) {
        queue_.push_back({std::string(nextJob->forumAddress.view()), planned.topic, false, std::move(planned.chain)});
      }
    }
    changed_.notify_all();
  }
}

std::size_t TopicPrefetcher::fetchToMemory(JobContext& job, PageBlock& destination, bool forumPage) {
  noteServerBusy();
  std::unique_ptr<Page> page;
  std::string dropped;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::string_view address = job.forumAddress.view();
    auto held = std::find_if(pages_.begin(), pages_.end(), [&](const std::unique_ptr<Page>& candidate) {
      return candidate->plan == plan_ && candidate->address == address;
    });
    if (held == pages_.end()) {
      // Not fetched ahead: a topic still waiting for a helper is fetched here
      // instead, and the topics planned before it are passed over.
      auto planned = std::find_if(queue_.begin(), queue_.end(), [&](const Planned& q) { return q.address == address; });
      if (planned != queue_.end()) {
        const std::size_t topic = planned->topic;
        queue_.erase(planned);
        dropped = dropEarlierTopics(topic);
      }
    } else {
      Page* waited = held->get();
      changed_.wait(lock, [waited] { return waited->done; });
      // pages_ may have moved meanwhile: find the page again.
      held = std::find_if(pages_.begin(), pages_.end(),
                          [waited](const std::unique_ptr<Page>& candidate) { return candidate.get() == waited; });
      page = std::move(*held);
      pages_.erase(held);
      if (page->topic > currentTopic_) dropped = dropEarlierTopics(page->topic);
      ++pagesTaken_;
    }
  }
  logDropped(dropped);
  if (!page) {
    changed_.notify_all();
    if (!acquireConnection(true)) return 0;
    const std::size_t length = direct_.fetchToMemory(job, destination, forumPage);
    releaseConnection();
    return length;
  }
  changed_.notify_all();  // room for more pages ahead
  if (!page->lines.empty()) log_.logLine(page->lines);
  job.forumAddress.assign(page->finalAddress);
  job.secureConnectionRefused = page->refused;
  const std::size_t length = std::min(page->body.size(), destination.capacity());
  std::memcpy(destination.data(), page->body.data(), length);
  destination.setLength(length);
  return length;
}

FileOutcome TopicPrefetcher::fetchToFile(JobContext& job, PageBlock& receiveBuffer, TextWriter& linkOutput,
                                         bool imageMode, std::string_view folder, std::uint32_t itemNumber) {
  if (!acquireConnection(true)) return FileOutcome::kStopped;
  const FileOutcome outcome = direct_.fetchToFile(job, receiveBuffer, linkOutput, imageMode, folder, itemNumber);
  releaseConnection();
  return outcome;
}

std::uint64_t TopicPrefetcher::pagesTaken() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pagesTaken_;
}

}  // namespace quillstash
