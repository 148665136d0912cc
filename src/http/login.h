// SPDX-License-Identifier: MIT
#pragma once

// Logging in through the forum's own form: load the front page, find the
// first form that holds a password input, submit it with the user's name and
// password (with the cookies the form page set), and keep the cookies the
// server sets in the session's cookie jar.

#include <chrono>
#include <cstddef>
#include <string_view>

#include "core/activity_log.h"
#include "core/settings.h"
#include "http/cookie_jar.h"
#include "http/fetch.h"
#include "text/text_writer.h"

namespace quillstash {

// The '<' of the first <form> that holds an input of type "pass..." before its
// </form>, or nullptr. `page` is a NUL-terminated text.
const char* findLoginForm(const char* page);

// Appends the name=value pairs of every input, and of the selected option of
// every select, from `pos` to the end of the page (later forms included), each
// after a '&' unless the text already ends with '&' or '?' or is empty. Text
// inputs get `userName`, password inputs `password`, both form-encoded; the
// other names and values are written as the page has them.
void appendFormFields(const char* pos, TextWriter& out, std::string_view userName, std::string_view password);

class LoginJob {
 public:
  // The caller keeps every argument alive while run() is running.
  LoginJob(const SettingsStore& settings, ActivityLog& log, CookieJar& cookies,
           std::chrono::milliseconds receiveTimeout = HttpClient::kDefaultReceiveTimeout);

  // Runs the whole login on the calling thread (the front-end gives it a
  // thread of its own; it may run beside a download). Empties the cookie jar
  // at the start; the form page's cookies and the answer's go into it.
  // Reports through the log.
  void run(std::string_view userName, std::string_view password, std::string_view forumAddress);

  // Size of the buffers holding the login request and its form body.
  static constexpr std::size_t kRequestCapacity = 65536;

 private:
  const SettingsStore& settings_;
  ActivityLog& log_;
  CookieJar& cookies_;
  std::chrono::milliseconds receiveTimeout_;
};

}  // namespace quillstash
