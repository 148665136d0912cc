// SPDX-License-Identifier: MIT
// The window log view: text kept for the widget, drawing requests, and the
// waits of worker threads that must never deadlock.
#include "app/window_log_view.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace quillstash {
namespace {

using namespace std::chrono_literals;

// A stand-in for the widget: what the user-interface thread would show.
struct Screen {
  std::string shown;
  int draws = 0;
  void apply(const WindowLogView::Update& update) {
    if (update.replaceAll) shown.clear();
    shown += update.text;
    ++draws;
  }
};

TEST(WindowLogView, linesLoggedOnTheWindowThreadAreDrawnAtOnce) {
  WindowLogView view;
  ActivityLog log(view);
  Screen screen;
  view.attach([&] { screen.apply(view.takeUpdate()); });
  log.logLine("* one\r\n");
  EXPECT_EQ(screen.shown, "* one\r\n");
  log.logLine("* two\r\n");
  EXPECT_EQ(screen.shown, "* one\r\n* two\r\n");
  view.attach({});
}

TEST(WindowLogView, trimmingRedrawsTheWholeTextAndTheViewStopsAtItsLimit) {
  WindowLogView view;
  ActivityLog log(view);
  Screen screen;
  view.attach([&] { screen.apply(view.takeUpdate()); });
  log.logLine(std::string(32760, 'a'));
  log.logLine("0123456789");
  EXPECT_EQ(view.text().size(), 32770u - 16384u);
  EXPECT_EQ(screen.shown, view.text());

  // A line longer than everything left is cut at the view's own limit.
  log.logLine(std::string(70000, 'b'));
  EXPECT_EQ(view.text().size(), WindowLogView::kTextLimit);
  EXPECT_EQ(screen.shown, view.text());
  view.attach({});
}

TEST(WindowLogView, aWorkerWaitsUntilTheWindowThreadHasDrawnItsLine) {
  WindowLogView view;
  ActivityLog log(view);
  Screen screen;
  std::atomic<int> requests{0};
  view.attach([&] { ++requests; });  // a posted request: drawn later by this thread

  std::atomic<bool> returned{false};
  std::thread worker([&] {
    log.logLine("* from the worker\r\n");
    returned = true;
  });
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(returned.load()) << "the worker returned before its line was drawn";
  EXPECT_GE(requests.load(), 1);
  screen.apply(view.takeUpdate());  // the window thread serves the request
  worker.join();
  EXPECT_EQ(screen.shown, "* from the worker\r\n");
  view.attach({});
}

TEST(WindowLogView, theWindowThreadCanLogWhileAWorkerWaitsInsideTheLog) {
  WindowLogView view;
  ActivityLog log(view);
  view.attach([] {});  // requests are never served while the window thread is busy
  std::thread worker([&] { log.logLine("* worker\r\n"); });
  std::this_thread::sleep_for(50ms);  // let the worker take the log and wait

  std::promise<void> done;
  auto finished = done.get_future();
  std::thread window([&] {
    // What a Select does: log from the window thread inside a busy scope. The
    // view takes the constructing thread as the window thread, so this thread
    // stands in for the worker-facing side; the scope must release the wait.
    WindowLogView::BusyScope busy(view);
    log.logLine("* No address entered\r\n");
    done.set_value();
  });
  EXPECT_EQ(finished.wait_for(5s), std::future_status::ready) << "deadlock between the window and a worker";
  window.join();
  worker.join();
  EXPECT_NE(view.text().find("* worker\r\n"), std::string::npos);
  EXPECT_NE(view.text().find("* No address entered\r\n"), std::string::npos);
  view.attach({});
}

TEST(WindowLogView, closingOrDetachingReleasesWaitingWorkersForGood) {
  for (bool detach : {false, true}) {
    WindowLogView view;
    ActivityLog log(view);
    view.attach([] {});
    std::thread worker([&] {
      for (int i = 0; i < 5; ++i) log.logLine("* line\r\n");
    });
    std::this_thread::sleep_for(50ms);
    if (detach) {
      view.attach({});
    } else {
      view.close();
    }
    std::promise<void> done;
    auto finished = done.get_future();
    std::thread joiner([&] {
      worker.join();
      done.set_value();
    });
    EXPECT_EQ(finished.wait_for(5s), std::future_status::ready) << (detach ? "detach" : "close");
    joiner.join();
    EXPECT_EQ(view.text().size(), 5 * std::string("* line\r\n").size());
  }
}

TEST(WindowLogView, manyWorkersInterleaveWholeLinesWhileTheWindowThreadDraws) {
  WindowLogView view;
  ActivityLog log(view);
  Screen screen;
  std::atomic<bool> requested{false};
  view.attach([&] { requested = true; });
  std::atomic<int> running{3};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < 200; ++i) log.logLine("* worker " + std::to_string(w) + "\r\n");
      --running;
    });
  }
  auto deadline = std::chrono::steady_clock::now() + 20s;
  while (running.load() > 0 && std::chrono::steady_clock::now() < deadline) {
    if (requested.exchange(false)) screen.apply(view.takeUpdate());
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(running.load(), 0) << "workers stalled";
  for (auto& worker : workers) worker.join();
  screen.apply(view.takeUpdate());
  EXPECT_EQ(screen.shown, view.text());
  EXPECT_EQ(view.text().size(), 600 * std::string("* worker 0\r\n").size());
  view.attach({});
}

}  // namespace
}  // namespace quillstash
