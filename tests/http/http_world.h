// SPDX-License-Identifier: MIT
#pragma once

#include "core/activity_log.h"
#include "core/settings.h"
#include "http/cookie_jar.h"
#include "support/http_test_server.h"

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

}  // namespace quillstash::test
