// SPDX-License-Identifier: MIT
#pragma once

// The log view of a desktop window, without the toolkit: the text lives here,
// and a text widget owned by the user-interface thread shows it.
//
// Threads. Any thread may log. A line logged on the user-interface thread is
// drawn before logLine returns. A line logged on another thread asks the
// user-interface thread to draw it and waits until it has, so that logLine
// still returns only once its line is on screen. The wait is given up while
// the user-interface thread is itself busy inside a call that may log or
// block (a BusyScope is open), once close() has been called, and while no
// widget is attached: a worker can never hold the log's lock waiting for a
// thread that is waiting for that lock, or for the worker.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/activity_log.h"

namespace quillstash {

class WindowLogView : public LogView {
 public:
  // The most characters the view holds; a longer text is cut at its end.
  static constexpr std::size_t kTextLimit = 65530;

  // The constructing thread is taken as the user-interface thread.
  WindowLogView();

  // LogView, any thread (the log calls them one at a time).
  std::size_t textLength() const override;
  void select(std::size_t from, std::size_t to) override;
  void replaceSelection(std::string_view text) override;
  void scrollToCaret() override;

  // What the widget must do to catch up with the text.
  struct Update {
    bool replaceAll = false;  // show `text` instead of everything shown so far
    std::string text;         // otherwise: append `text` to what is shown
    bool scrollToEnd = false;
  };

  // Attaches the widget: `requestDraw` is called after every change, on the
  // thread that made it; from the user-interface thread it may draw at once
  // (by calling takeUpdate), from any other it must only post a request to the
  // user-interface thread and return. Pass an empty function to detach (the
  // widget's destructor does, before it goes away).
  void attach(std::function<void()> requestDraw);

  // User-interface thread: what changed since the last call. Marks it drawn
  // and releases the workers waiting for it.
  Update takeUpdate();

  // The whole text as the log has it.
  std::string text() const;

  // Opened on the user-interface thread around each call that may log or wait
  // for a worker; nests.
  class BusyScope {
   public:
    explicit BusyScope(WindowLogView& view);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    WindowLogView& view_;
  };

  // The program is closing: from now on no line waits to be drawn.
  void close();

 private:
  void requestDraw();
  bool onUserInterfaceThread() const { return std::this_thread::get_id() == uiThread_; }

  const std::thread::id uiThread_;
  mutable std::mutex mutex_;
  std::condition_variable drawn_;
  std::string text_;
  std::size_t selectionStart_ = 0;
  std::size_t selectionEnd_ = 0;
  std::size_t shownLength_ = 0;  // leading characters of text_ the widget shows
  bool replaceAll_ = false;      // text_ changed before shownLength_
  bool scrollPending_ = false;
  bool drawPending_ = false;   // a draw request is posted and not yet served
  std::uint64_t version_ = 0;  // one more per change
  std::uint64_t drawnVersion_ = 0;
  int busyDepth_ = 0;
  bool closed_ = false;
  bool attached_ = false;

  std::mutex drawMutex_;  // held while requestDraw_ is called or replaced
  std::function<void()> requestDraw_;
};

}  // namespace quillstash
