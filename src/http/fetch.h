// SPDX-License-Identifier: MIT
#pragma once

// The HTTP client: one GET per call, into memory or into a file, over http or
// https (certificates checked as the settings say), with proxy, cookies,
// time-outs, retries and redirects, reported through the activity log.
// Requests are HTTP/1.1 and the connection to a server is kept open for its
// next request while the server allows it; settings.http10 sends HTTP/1.0
// requests, one connection each.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/activity_log.h"
#include "core/settings.h"
#include "http/connection.h"
#include "http/cookie_jar.h"
#include "text/page_block.h"
#include "text/text_writer.h"

namespace quillstash {

// How one fetchToFile call ended: the file saved whole, nothing saved after a
// failure or a refusal (logged with an "[ X ] " line), or nothing saved
// because a stop was requested.
enum class FileOutcome { kSaved, kFailed, kStopped };

class HttpClient {
 public:
  static constexpr std::chrono::milliseconds kDefaultReceiveTimeout{120000};

  // Every request carries the cookies of `cookies` that belong to its host
  // and path, and every response's cookies go into it. The caller keeps every
  // argument alive as long as the client. A client may be used by several
  // threads at once; each call's state is its own. `receiveTimeout` is the
  // longest wait for data before a read. Every call reads the settings once,
  // at its start, and gives up quietly soon after log.stopRequested() turns
  // true (between reads, attempts and in every wait, within 0.5 s). Each call
  // ends by settings.fetchDeadlineS, all attempts, retries and redirects
  // together; an attempt fails when it stays under kMinTransferRate for
  // settings.minRateTimeS, and a connect waits at most settings.connectTimeoutS.
  HttpClient(const SettingsStore& settings, ActivityLog& log, CookieJar& cookies,
             std::chrono::milliseconds receiveTimeout = kDefaultReceiveTimeout);
  // A client that logs into `log` and shares `other`'s settings, cookie jar,
  // TLS configurations and kept connections: the client of a helper thread
  // that fetches beside the download. The caller keeps `other` alive as long.
  HttpClient(HttpClient& other, ActivityLog& log);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // GETs job.forumAddress into `destination` and returns the body length
  // (0 = nothing delivered; the destination then holds an empty text). On
  // success the body, without its header, is a NUL-terminated text at the
  // destination's start. `forumPage` applies the download delay after a successful fetch. Redirects replace
  // job.forumAddress. A page longer than the destination is cut at its
  // capacity (and logged).
  std::size_t fetchToMemory(JobContext& job, PageBlock& destination, bool forumPage);

  // GETs job.forumAddress and streams its body into the file
  // `folder` + five-digit `itemNumber` + ' ' + the file's name, where `folder`
  // ends with a path separator. The body is written beside that name (".part"
  // added) and renamed to it only when complete: when the server closes
  // before the Content-Length it sent, the body outgrows
  // settings.maxFileBytes, the header outgrows 64 KiB, a limit of time passes
  // or a stop is requested, nothing is left. On kSaved appends the file name
  // (without the folder) at `linkOutput`. `imageMode` refuses a body that is
  // HTML. Uses `receiveBuffer` for every read. No download delay. Called on
  // the download thread.
  FileOutcome fetchToFile(JobContext& job, PageBlock& receiveBuffer, TextWriter& linkOutput, bool imageMode,
                          std::string_view folder, std::uint32_t itemNumber);

  // Closes the connections kept open between requests (at a stop and at the
  // end of a run). Any thread.
  void closeIdleConnections();
  // How many connections are kept open between requests now.
  std::size_t idleConnections() const;

  // The TLS configurations this client's fetches use (a login shares them).
  TlsContexts& tlsContexts() { return *tlsContexts_; }

  // Redirects followed within one call before it gives up.
  static constexpr int kMaxRedirects = 10;

 private:
  const SettingsStore& settings_;
  ActivityLog& log_;
  CookieJar& cookies_;
  std::shared_ptr<TlsContexts> tlsContexts_;  // shared by every call, any thread
  std::shared_ptr<ConnectionPool> pool_;      // idle kept-alive connections, any thread
  std::chrono::milliseconds receiveTimeout_;
};

}  // namespace quillstash
