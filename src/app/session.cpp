// SPDX-License-Identifier: MIT
#include "app/session.h"

#include <cstring>

#include "app/manifest_recorder.h"
#include "archive/output_buffer.h"
#include "archive/page_fetcher.h"
#include "archive/topic_prefetch.h"
#include "archive/topic_writer.h"
#include "crawler/download_job.h"
#include "crawler/engine_choice.h"
#include "crawler/forum_crawl.h"
#include "crawler/page_links.h"
#include "crawler/profile_crawl.h"
#include "crawler/topic_lookahead.h"
#include "http/login.h"

namespace quillstash {
namespace {

// Hands each topic the crawler accepts to the archive writer, with the
// settings in force at that moment.
class ArchiveTopicWriter : public TopicWriter {
 public:
  ArchiveTopicWriter(const SettingsStore& settings, ActivityLog& log, PageFetcher& fetcher, SavedFiles* savedFiles)
      : settings_(settings), log_(log), fetcher_(fetcher), savedFiles_(savedFiles) {}

  void writeTopic(CrawlState& state, JobContext& topic) override {
    Settings snapshot = settings_.snapshot();
    log_.progress().topicFound();
    TopicWriterContext context{snapshot,
                               log_,
                               fetcher_,
                               *state.currentJob,
                               state.visitedTopics,
                               state.downloadedFiles,
                               state.itemNumber,
                               state.outputPath,
                               output_,
                               &findNextPageLink,
                               &state.counts,
                               state.engine,
                               savedFiles_};
    context.pageBlock = &page_;
    const std::uint32_t incompleteBefore = state.counts.topicsIncomplete;
    const std::uint32_t filesFailedBefore = state.counts.filesFailed;
    const bool saved = quillstash::writeTopic(topic, context);
    if (saved) log_.progress().topicDone();
    if (state.recorder != nullptr) {
      // A topic cut by a stop or saved without some page is never recorded
      // complete, so that the next run fetches it again.
      TopicOutcome outcome = TopicOutcome::kComplete;
      if (!saved) {
        outcome = log_.stopRequested() ? TopicOutcome::kStopped : TopicOutcome::kFailed;
      } else if (state.counts.topicsIncomplete != incompleteBefore || state.counts.filesFailed != filesFailedBefore) {
        // A file that could not be saved is fetched again with its topic.
        outcome = TopicOutcome::kIncomplete;
      }
      state.recorder->topicWritten(state.outputPath.c_str(), outcome, context.pagesWritten, context.postsWritten);
    }
  }

 private:
  const SettingsStore& settings_;
  ActivityLog& log_;
  PageFetcher& fetcher_;
  SavedFiles* savedFiles_;
  OutputBuffer output_;
  PageBlock page_;  // every topic's pages are read into this one block
};

// Hands the topics and the forum page the crawl announces to the prefetcher,
// with the engine profile the run reads them by.
class PrefetchLookahead final : public TopicLookahead {
 public:
  PrefetchLookahead(TopicPrefetcher& prefetcher, const CrawlState& state) : prefetcher_(prefetcher), state_(state) {}
  bool fetchesAhead() override { return prefetcher_.fetchesAhead(); }
  void upcoming(std::vector<std::string> addresses, std::string nextForumPage) override {
    prefetcher_.plan(addresses, state_.engine, nextForumPage);
  }
  std::size_t fetchForumPage(JobContext& job, PageBlock& page) override {
    return prefetcher_.fetchToMemory(job, page, true);
  }

 private:
  TopicPrefetcher& prefetcher_;
  const CrawlState& state_;
};

// Every run with certificate checks switched off says so first.
void warnWhenCertificatesUnchecked(const SettingsStore& settings, ActivityLog& log) {
  if (settings.snapshot().skipCertificateCheck) {
    log.logLine("[ ! ] Certificates are not checked: https servers are not verified to be who they claim\r\n");
  }
}

}  // namespace

Session::Session(LogView& view, std::chrono::milliseconds receiveTimeout)
    : log_(view), receiveTimeout_(receiveTimeout) {
  currentJob_ = makeJobContext();
  client_ = std::make_unique<HttpClient>(settings_, log_, cookies_, receiveTimeout_);
}

Session::~Session() { stop(); }

ForumSelection Session::forumSelection() const {
  std::lock_guard<std::mutex> lock(selectionMutex_);
  return forumSelection_;
}

void Session::setForumSelection(const ForumSelection& selection) {
  std::lock_guard<std::mutex> lock(selectionMutex_);
  forumSelection_ = selection;
}

std::vector<std::string> Session::leftOutForums() const {
  std::lock_guard<std::mutex> lock(selectionMutex_);
  return leftOutForums_;
}

void Session::setLeftOutForums(std::vector<std::string> addresses) {
  std::lock_guard<std::mutex> lock(selectionMutex_);
  leftOutForums_ = std::move(addresses);
}

std::size_t Session::fetchIndexPage(const std::string& forumAddress) {
  if (downloadRunning() || log_.stopRequested()) return 0;
  forumTreeHeld_ = false;
  forumTree_.clear();
  if (!pageBuffer_) pageBuffer_ = std::make_unique<PageBlock>();
  if (!currentJob_->forumAddress.assign(forumAddress)) {
    log_.logLine("[ X ] The forum address is too long\r\n");
    pageLength_ = 0;
    pageBuffer_->clear();
    return 0;
  }
  pageLength_ = client_->fetchToMemory(*currentJob_, *pageBuffer_, false);
  return pageLength_;
}

bool Session::startIndexFetch(const std::string& forumAddress) {
  std::lock_guard<std::mutex> lock(stopMutex_);
  if (indexFetchRunning_.load() || downloadRunning() || log_.stopRequested()) return false;
  if (indexThread_.joinable()) indexThread_.join();  // ended: joins at once
  indexFetchRunning_.store(true);
  indexThread_ = std::thread([this, forumAddress] {
    if (fetchIndexPage(forumAddress) != 0) previewForumTree();
    indexFetchRunning_.store(false);
  });
  return true;
}

void Session::waitForIndexFetch() {
  std::thread fetch;
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    fetch = std::move(indexThread_);
  }
  if (fetch.joinable()) fetch.join();
}

bool Session::hasIndexPage() const { return pageBuffer_ && pageLength_ != 0 && pageBuffer_->text()[0] != '\0'; }

void Session::previewForumTree() {
  if (!hasIndexPage()) return;
  PageBlock copy(pageLength_);  // the preview blanks scripts; the page held stays as fetched
  std::memcpy(copy.data(), pageBuffer_->text(), pageLength_);
  copy.setLength(pageLength_);
  crawlState_.settings = settings_.snapshot();
  crawlState_.forumSelection = forumSelection();
  EngineChoice engine;
  if (!chooseEngine(crawlState_.settings, copy.text(), engine, log_)) return;
  std::vector<DetectedForum> rows =
      engine.profile != nullptr
          ? previewProfileForumTree(copy.text(), currentJob_->forumAddress.view(), *engine.profile, crawlState_,
                                    *client_, log_, settings_)
          : quillstash::previewForumTree(copy.data(), *currentJob_, crawlState_, *client_, log_, settings_);
  if (log_.stopRequested()) return;  // cut short: not the whole tree
  forumTree_ = std::move(rows);
  forumTreeHeld_ = true;
}

LinkList Session::leftOutList() const {
  LinkList list;
  for (const std::string& address : leftOutForums()) appendLink(list, address.c_str());
  return list;
}

std::vector<DetectedForum> Session::listForums() {
  if (downloadRunning() || indexFetchRunning_.load() || !hasIndexPage()) return {};
  if (forumTreeHeld_) {
    std::vector<DetectedForum> rows = forumTree_;
    markSelectedForums(rows, forumSelection(), leftOutList());
    return rows;
  }
  // The listing blanks scripts in the page it reads; keep the fetched page
  // as it was so that a later preview reads the same text.
  PageBlock copy(pageLength_);
  std::memcpy(copy.data(), pageBuffer_->text(), pageLength_);
  copy.setLength(pageLength_);
  crawlState_.settings = settings_.snapshot();
  crawlState_.forumSelection = forumSelection();
  EngineChoice engine;
  if (!chooseEngine(crawlState_.settings, copy.text(), engine, log_)) return {};
  if (engine.profile != nullptr) {
    return listProfileForums(copy.text(), currentJob_->forumAddress.view(), *engine.profile, crawlState_);
  }
  return listIndexForums(copy.data(), *currentJob_, crawlState_);
}

bool Session::startDownload(const std::string& forumAddress, const std::string& outputDirectory) {
  std::lock_guard<std::mutex> lock(stopMutex_);
  if (downloadRunning() || indexFetchRunning_.load() || log_.stopRequested()) return false;
  // The last run has ended: its thread joins at once.
  if (downloadThread_.joinable()) downloadThread_.join();
  if (indexThread_.joinable()) indexThread_.join();
  downloadStarted_.store(true);
  downloadFinished_.store(false);
  {
    std::lock_guard<std::mutex> outcomeLock(outcomeMutex_);
    outcome_ = RunOutcome{};
  }
  log_.progress().start();
  log_.setRunState(RunState::kRunning);
  if (!pageBuffer_) pageBuffer_ = std::make_unique<PageBlock>();
  crawlState_.forumSelection = forumSelection();
  crawlState_.leftOutForums = leftOutList();
  bool addressFits = currentJob_->forumAddress.assign(forumAddress);
  const RefreshMode mode = refreshMode_;
  const bool indexPages = indexPages_;
  downloadThread_ = std::thread([this, outputDirectory, addressFits, mode, indexPages] {
    warnWhenCertificatesUnchecked(settings_, log_);
    if (!addressFits) {
      log_.logLine("[ X ] The forum address is too long\r\n");
      std::lock_guard<std::mutex> outcomeLock(outcomeMutex_);
      outcome_.end = RunEnd::kIndexFailed;
    } else {
      HttpPageFetcher direct(*client_);
      TopicPrefetcher fetcher(direct, *client_, settings_, log_, *currentJob_, &findNextPageLink);
      PrefetchLookahead lookahead(fetcher, crawlState_);
      ManifestRecorder recorder(log_, mode, indexPages);
      ArchiveTopicWriter writer(settings_, log_, fetcher, &recorder);
      crawlState_.recorder = &recorder;
      crawlState_.lookahead = &lookahead;
      RunOutcome outcome =
          runDownloadJob(*currentJob_, outputDirectory, *pageBuffer_, crawlState_, *client_, log_, settings_, writer);
      crawlState_.lookahead = nullptr;
      crawlState_.recorder = nullptr;
      std::lock_guard<std::mutex> outcomeLock(outcomeMutex_);
      outcome_ = outcome;
      reportPage_ = recorder.reportPage();
    }
    client_->closeIdleConnections();  // a run leaves no connection open behind it
    log_.progress().finish();
    downloadFinished_.store(true);
  });
  return true;
}

RunOutcome Session::downloadOutcome() const {
  std::lock_guard<std::mutex> lock(outcomeMutex_);
  return outcome_;
}

std::string Session::reportPage() const {
  std::lock_guard<std::mutex> lock(outcomeMutex_);
  return reportPage_;
}

void Session::waitForDownload() {
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    if (!downloadThread_.joinable()) return;
    finished = std::move(downloadThread_);
  }
  finished.join();
}

void Session::startLogin(const std::string& userName, const std::string& password, const std::string& forumAddress) {
  std::lock_guard<std::mutex> lock(loginMutex_);
  if (log_.stopRequested()) return;
  loginThreads_.emplace_back([this, userName, password, forumAddress] {
    warnWhenCertificatesUnchecked(settings_, log_);
    LoginJob job(settings_, log_, cookies_, receiveTimeout_);
    job.run(userName, password, forumAddress);
    loginsEnded_.fetch_add(1);
  });
}

void Session::waitForLogins() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(loginMutex_);
    threads.swap(loginThreads_);
  }
  for (std::thread& thread : threads) thread.join();
}

void Session::stop() {
  log_.requestStop();
  client_->closeIdleConnections();
  waitForIndexFetch();
  waitForDownload();
  waitForLogins();
}

}  // namespace quillstash
