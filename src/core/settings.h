// SPDX-License-Identifier: MIT
#pragma once

// The one record of user options, the per-fetch JobContext record and the
// forum selection table: the records every subsystem reads.
//
// Sharing between threads. The user-interface thread edits settings only
// through its dialogs; a download or login thread may be running meanwhile.
// `SettingsStore` holds the record under a mutex: the dialogs replace it as a
// whole with replace(), and every reader takes a snapshot() copy at the start
// of each operation it performs (one fetch, one forum page, one topic). A
// dialog confirmed during a download therefore reaches the running job from
// its next snapshot on, and no reader ever sees a half-written record.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/version.h"
#include "text/text_writer.h"

namespace quillstash {

// A settings string: at most 254 characters, NUL-terminated.
struct SettingText : FixedText<256> {
  static constexpr std::size_t kMaxLength = 254;
  bool assign(std::string_view text) {
    bool fits = text.size() <= kMaxLength;
    FixedText<256>::assign(text.substr(0, kMaxLength));
    return fits;
  }
};

// Highest retry counts the options and dialogs accept.
inline constexpr std::uint32_t kMaxRetries = 100;
// Bytes per second a fetch must reach over every minRateTimeS seconds.
inline constexpr std::uint64_t kMinTransferRate = 1024;

// Most connections a download opens to a forum at once.
inline constexpr std::uint32_t kMaxConnections = 8;

struct Settings {
  // Numbers (milliseconds, counts, characters).
  std::uint32_t downloadDelayMs = 0;  // pause after each forum page fetched
  std::uint32_t receiveRetries = 0;   // limit for send, wait and receive retries
  std::uint32_t connectRetries = 0;   // limit for resolution and connect retries
  std::uint32_t receiveRetryDelayMs = 0;
  std::uint32_t connectRetryDelayMs = 0;
  std::uint32_t maxFileNameChars = 0;  // characters taken from a title or link text

  // Limits of one fetch (seconds, bytes).
  std::uint32_t connectTimeoutS = 0;  // longest wait for one connect
  std::uint32_t minRateTimeS = 0;     // a fetch below kMinTransferRate this long fails
  std::uint32_t fetchDeadlineS = 0;   // one address, all attempts, retries and redirects
  std::uint64_t maxFileBytes = 0;     // largest attachment or image kept

  // Proxy.
  bool useProxy = false;
  bool proxyForumLinksOnly = false;  // attachments and images go direct
  SettingText proxyAddress;          // "host:port" or "host"

  // Requests and https.
  SettingText userAgent;              // the User-Agent line's value; empty sends the default
  SettingText caFile;                 // PEM file of certificates trusted beside the system's
  bool skipCertificateCheck = false;  // accept any certificate (logged at the start of a run)
  bool http10 = false;                // HTTP/1.0 requests, a new connection for each
  // Connections that fetch the topics of a forum page side by side (1 to
  // kMaxConnections); one while a download delay is set.
  std::uint32_t connections = 0;

  // Forum detection and network switches.
  bool useForumLinkPrefix = false;
  bool useForumLinkPattern = false;
  bool useForumLinkSuffix = false;
  bool useForumNextPagePattern = false;
  bool useLinkParameter = false;
  bool useDownloadDelay = false;
  bool useConnectRetryDelay = false;
  bool useReceiveRetryDelay = false;
  SettingText forumLinkPrefix;
  SettingText forumLinkPattern;
  SettingText forumLinkSuffix;
  SettingText forumNextPagePattern;
  SettingText linkParameter;  // "name=value" set in every link

  // Topic detection.
  bool useTopicLinkPrefix = false;
  bool useTopicLinkPattern = false;
  bool useTopicLinkSuffix = false;
  bool useTopicNextPagePattern = false;
  SettingText topicLinkPrefix;
  SettingText topicLinkPattern;
  SettingText topicLinkSuffix;
  SettingText topicNextPagePattern;

  // Posts (the four markers are meant to be set together) and saving options.
  bool useAuthorPrefix = false;
  bool useAuthorSuffix = false;
  bool useMessagePrefix = false;
  bool useMessageSuffix = false;
  bool saveAttachments = false;
  bool saveExternalImages = false;
  bool linkAllImages = false;
  SettingText authorPrefix;
  SettingText authorSuffix;
  SettingText messagePrefix;
  SettingText messageSuffix;

  // Forum engine: "auto" (recognised from the index page), "classic" (the
  // table-based path) or the name of an engine profile.
  SettingText engine;
  // A profile file whose engine joins the built-in ones (tried first); empty for none.
  SettingText profileFile;
};

// The User-Agent value sent when the setting is empty: the program and its version.
inline constexpr std::string_view kDefaultUserAgent = "Quillstash/" QUILLSTASH_VERSION;

// Clears every field and stores the built-in defaults: the program's own
// User-Agent value, every detection string
// present but switched off, retry delays of 100 ms switched on, 2 connect and
// 10 receive retries, a 10 s forum delay switched off, names of 50 characters,
// attachments and external images saved, a 30 s connect time-out, a 60 s
// minimum-rate window, a 600 s deadline per address and files up to 1 GiB.
void loadDefaultSettings(Settings& settings);

// The settings record shared by the user-interface thread and the workers.
class SettingsStore {
 public:
  SettingsStore() { loadDefaultSettings(settings_); }

  // A consistent copy; any thread.
  Settings snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_;
  }

  // Replaces the whole record (a confirmed dialog); any thread.
  void replace(const Settings& settings) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_ = settings;
  }

 private:
  mutable std::mutex mutex_;
  Settings settings_;
};

// One address to fetch. Made zero-filled per address (makeJobContext) and
// owned by whoever made it; used by one thread at a time. A fetch replaces
// forumAddress with the address a redirect led to. The work areas of a fetch
// live in the HTTP layer, those of a page's table survey in the crawler.
struct JobContext {
  FixedText<16384> forumAddress;  // the address to fetch (at most 16,383 characters)
  // Set by a fetch whose server failed the certificate checks or the TLS
  // handshake: an answer, not a passing failure, so a run stops on it.
  bool secureConnectionRefused = false;
};

inline std::unique_ptr<JobContext> makeJobContext() { return std::make_unique<JobContext>(); }

// Sets the user's "name=value" link parameter in job.forumAddress when it is
// switched on and not empty; called before every forum and topic page fetch.
// An address that would outgrow its buffer is left as it is.
void applyLinkParameter(const Settings& settings, JobContext& job);

// Which top-level forums of the index page are downloaded: entry k-1 belongs to
// forum number k; 0 means unticked. All selected (0xFF) at start-up; written by
// the Detected Forums dialog, read by the crawl; never reset during a run.
inline constexpr std::size_t kForumSelectionSize = 1024;
using ForumSelection = std::array<std::uint8_t, kForumSelectionSize>;

inline ForumSelection allForumsSelected() {
  ForumSelection selection;
  selection.fill(0xFF);
  return selection;
}

// True when the forum numbered `number` (1-based) is to be downloaded; forums
// beyond the table are always downloaded.
inline bool isForumSelected(const ForumSelection& selection, std::uint32_t number) {
  return number == 0 || number > selection.size() || selection[number - 1] != 0;
}

}  // namespace quillstash
