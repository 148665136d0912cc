// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "core/activity_log.h"
#include "core/settings.h"
#include "http/cookie_jar.h"
#include "http/fetch.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace quillstash::test {

// What an HTTP client test runs against: the default settings with 1 ms retry
// delays, a log into a string, a cookie jar and a loopback server.
struct HttpWorld {
  HttpWorld() : log(view) {
    configure([](Settings& s) {
      s.receiveRetryDelayMs = 1;
      s.connectRetryDelayMs = 1;
    });
  }

  template <typename Change>
  void configure(Change change) {
    Settings s = settings.snapshot();
    change(s);
    settings.replace(s);
  }

  HttpTestServer server;
  SettingsStore settings;
  StringLogView view;
  ActivityLog log;
  CookieJar cookies;
};

// An HttpWorld with a client (1 s receive time-out) and helpers that fetch an
// address into memory or save it as file number `fileNumber` in a temporary
// folder.
struct HttpClientWorld : HttpWorld {
  std::string fetch(const std::string& address) {
    job->forumAddress.assign(address);
    const std::size_t length = client.fetchToMemory(*job, page, false);
    return std::string(page.text(), length);
  }

  bool save(const std::string& address) {
    job->forumAddress.assign(address);
    link.clear();
    TextWriter out = link.writer();
    const FileOutcome outcome = client.fetchToFile(*job, buffer, out, false, dir.path() + "/", fileNumber);
    out.terminate();
    return outcome == FileOutcome::kSaved;
  }

  std::uint32_t fileNumber = 7;
  TempDir dir;
  std::unique_ptr<JobContext> job = makeJobContext();
  PageBlock page;
  PageBlock buffer;
  FixedText<8192> link;
  HttpClient client{settings, log, cookies, std::chrono::seconds(1)};
};

}  // namespace quillstash::test
