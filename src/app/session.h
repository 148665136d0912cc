// SPDX-License-Identifier: MIT
#pragma once

// One run of the program: the settings record, the activity log, the login
// cookie, the forum selection, the page buffer of the index page and the
// current job context, with the commands the front-ends give (download,
// pause, login, select, stop). The CLI and the desktop program each make one
// Session and drive it; tests make a fresh one per case.
//
// Threads: the commands are called from one front-end thread (the
// user-interface thread). The download runs on a thread of its own, each
// login on another; the Session joins them when it stops or is destroyed.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/manifest_recorder.h"
#include "core/activity_log.h"
#include "core/run_outcome.h"
#include "core/settings.h"
#include "crawler/forum_detection.h"
#include "crawler/link_lists.h"
#include "http/fetch.h"
#include "text/page_block.h"

namespace quillstash {

class Session {
 public:
  // The caller keeps `view` alive as long as the session. `receiveTimeout`
  // is the wait before each read of every fetch.
  explicit Session(LogView& view, std::chrono::milliseconds receiveTimeout = HttpClient::kDefaultReceiveTimeout);
  ~Session();  // stops and joins every thread the session started
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  SettingsStore& settings() { return settings_; }
  ActivityLog& log() { return log_; }
  // The cookies of the run: set by any response, sent with every request to
  // the hosts they belong to. Shared by the download and the logins.
  CookieJar& cookies() { return cookies_; }

  // The forums of the index page to download (front-end thread; the download
  // takes a copy when it starts).
  ForumSelection forumSelection() const;
  void setForumSelection(const ForumSelection& selection);
  // The sub-forums (at any depth) that the download leaves out, with all
  // below them, by their addresses as the preview lists them.
  std::vector<std::string> leftOutForums() const;
  void setLeftOutForums(std::vector<std::string> addresses);

  // Select, step 1: fetches `forumAddress` into the index page buffer on the
  // calling thread, not as a forum page. Returns the body length (0 when
  // nothing arrived; the log says why). Refused (returns 0) while a download
  // runs, since the download then owns the page buffer.
  std::size_t fetchIndexPage(const std::string& forumAddress);
  // Select, step 1 off the calling thread: fetchIndexPage on a thread of its
  // own, so that a silent server cannot hold the front-end, followed by the
  // preview of the forum tree (each forum's first page fetched once, for its
  // sub-forums), which listForums then gives. False (nothing started) while a
  // fetch or a download runs, or after stop().
  bool startIndexFetch(const std::string& forumAddress);
  bool indexFetchRunning() const { return indexFetchRunning_.load(); }
  // Blocks until the fetch started last has ended.
  void waitForIndexFetch();
  // True when the index page buffer holds a fetched page.
  bool hasIndexPage() const;
  // Select, step 2: the forums that a download would find on the fetched
  // index page, in download order, with check boxes from the selection: the
  // whole tree when the page was fetched by startIndexFetch, else the index
  // page's forums only. Fetches nothing. Empty when no page is held or a
  // download runs.
  std::vector<DetectedForum> listForums();

  // Download: starts the download job on its own thread, into
  // `outputDirectory`. One download at a time: refused (false) while one runs
  // or an index fetch is under way; once the last one has ended, a new one
  // starts afresh.
  bool startDownload(const std::string& forumAddress, const std::string& outputDirectory);
  // How a download into a folder that already holds an archive of the same
  // board treats the topics saved there. Takes effect at the next start.
  void setRefreshMode(RefreshMode mode) { refreshMode_ = mode; }
  // Whether a download writes the archive's index.html pages (default yes).
  void setIndexPages(bool write) { indexPages_ = write; }
  bool downloadStarted() const { return downloadStarted_.load(); }
  // True from a download's start until its job thread has ended.
  bool downloadRunning() const { return downloadStarted_.load() && !downloadFinished_.load(); }
  // True once the job thread has ended.
  bool downloadFinished() const { return downloadFinished_.load(); }
  // True when the job ended with "* Forum downloaded successfully".
  bool downloadSucceeded() const { return downloadOutcome().end == RunEnd::kComplete; }
  // How the download ended and what it counted; end is kNotRun until the
  // job thread has ended. Any thread.
  RunOutcome downloadOutcome() const;
  // The completeness report (report.html) the last download wrote; empty
  // when it wrote none. Any thread.
  std::string reportPage() const;
  // Blocks until the job thread has ended (returns at once when none started).
  void waitForDownload();

  // Pause and resume: the job waits at its next logged line.
  void pause() { log_.setRunState(RunState::kPaused); }
  void resume() { log_.setRunState(RunState::kRunning); }

  // Login: starts a login on a new thread; it empties the cookie jar first.
  void startLogin(const std::string& userName, const std::string& password, const std::string& forumAddress);
  // Blocks until every login started so far has ended.
  void waitForLogins();
  // How many logins have ended so far: a page fetched before the last login
  // ended may lack what the login shows.
  int loginsEnded() const { return loginsEnded_.load(); }

  // Ends everything at once: lifts a pause, makes running fetches give up at
  // their next step, and joins the threads. A topic file is either written
  // whole or not at all. Safe to call more than once.
  void stop();

 private:
  // The forum tree of the page held, fetching each forum's first page: on
  // the index fetch's thread.
  void previewForumTree();
  LinkList leftOutList() const;

  SettingsStore settings_;
  ActivityLog log_;
  CookieJar cookies_;
  std::chrono::milliseconds receiveTimeout_;

  mutable std::mutex selectionMutex_;
  ForumSelection forumSelection_ = allForumsSelected();
  std::vector<std::string> leftOutForums_;

  std::unique_ptr<JobContext> currentJob_;  // made by the first download or select
  std::unique_ptr<PageBlock> pageBuffer_;   // the index page
  std::size_t pageLength_ = 0;
  std::vector<DetectedForum> forumTree_;  // the preview of the page held, when made
  bool forumTreeHeld_ = false;
  std::unique_ptr<HttpClient> client_;
  CrawlState crawlState_;  // the download's, or the preview's before a download started

  std::atomic<bool> downloadStarted_{false};
  std::atomic<bool> downloadFinished_{false};
  mutable std::mutex outcomeMutex_;
  RunOutcome outcome_;      // written once by the job thread at its end
  std::string reportPage_;  // likewise
  RefreshMode refreshMode_ = RefreshMode::kRefresh;
  bool indexPages_ = true;
  std::thread downloadThread_;

  std::atomic<bool> indexFetchRunning_{false};
  std::thread indexThread_;

  std::mutex stopMutex_;  // stop() from another thread while the front-end thread waits
  std::mutex loginMutex_;
  std::vector<std::thread> loginThreads_;
  std::atomic<int> loginsEnded_{0};
};

}  // namespace quillstash
