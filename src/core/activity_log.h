// SPDX-License-Identifier: MIT
#pragma once

// The activity log: every progress and failure line of the program goes
// through ActivityLog::logLine, which shows it in a view, appends it to the log
// file while that is switched on, and holds the calling worker while the user
// has paused the download (the pause gate).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "core/run_progress.h"

namespace quillstash {

// A text view the log writes into: the main window's log control, the CLI's
// standard output, or a string in tests. Called with the log's lock held, one
// call at a time; implementations need no locking of their own.
class LogView {
 public:
  virtual ~LogView() = default;
  virtual std::size_t textLength() const = 0;
  // Selects characters [from, to).
  virtual void select(std::size_t from, std::size_t to) = 0;
  virtual void replaceSelection(std::string_view text) = 0;
  virtual void scrollToCaret() = 0;
};

// A LogView holding its text in memory.
class StringLogView : public LogView {
 public:
  std::size_t textLength() const override { return text_.size(); }
  void select(std::size_t from, std::size_t to) override;
  void replaceSelection(std::string_view text) override;
  void scrollToCaret() override {}
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::size_t selectionStart_ = 0;
  std::size_t selectionEnd_ = 0;
};

enum class RunState : std::uint8_t { kIdle = 0, kRunning = 1, kPaused = 2 };

class ActivityLog {
 public:
  // The view keeps its text at or below kTrimThreshold characters by deleting
  // the oldest kTrimAmount characters at once when a line would pass it.
  static constexpr std::size_t kTrimThreshold = 32768;
  static constexpr std::size_t kTrimAmount = 16384;
  static constexpr std::uint32_t kPauseStepMs = 100;

  // The caller keeps `view` alive as long as the log.
  explicit ActivityLog(LogView& view) : view_(view) {}
  // A log whose lines go to `view` alone (kept there to be shown later, in
  // their place, through `parent`), and which follows `parent`'s stop
  // request, pause and progress counters: the log of a helper thread that
  // works ahead of the download. The caller keeps both alive.
  ActivityLog(LogView& view, ActivityLog& parent) : view_(view), parent_(&parent) {}

  // Shows `text` (a whole line, normally ending in CR LF, which is not added
  // here), appends it to the log file while logToFile is on, then waits while
  // the run state is paused. Any thread except the one that lifts the pause.
  void logLine(std::string_view text);

  // The log file: the path is set once at start-up; writing is switched by the
  // main window's "Save debug messages to Log" checkbox. A file that cannot be
  // opened is ignored; the line still reaches the view.
  void setLogFilePath(std::string path);
  std::string logFilePath() const;
  void setLogToFile(bool on) { logToFile_.store(on); }
  bool logToFile() const { return logToFile_.load(); }

  // Written by the main window; read by the pause gate.
  void setRunState(RunState state) { runState_.store(state); }
  RunState runState() const { return parent_ != nullptr ? parent_->runState() : runState_.load(); }

  // Lifts any pause for good and keeps the gate open: used when the program
  // ends while a job runs, so that no worker stays asleep in the gate.
  void requestStop() { stopRequested_.store(true); }
  bool stopRequested() const { return stopRequested_.load() || (parent_ != nullptr && parent_->stopRequested()); }

  // The counters of the download in progress (or the last one): raised by
  // whoever logs the step they count, read by the front-ends.
  RunProgress& progress() { return parent_ != nullptr ? parent_->progress() : progress_; }
  const RunProgress& progress() const { return parent_ != nullptr ? parent_->progress() : progress_; }

 private:
  void show(std::string_view text);

  mutable std::mutex mutex_;  // one line at a time through the view and the file
  LogView& view_;
  ActivityLog* parent_ = nullptr;
  std::string logFilePath_;
  std::atomic<bool> logToFile_{false};
  std::atomic<RunState> runState_{RunState::kIdle};
  std::atomic<bool> stopRequested_{false};
  RunProgress progress_;
};

// The log file that belongs to a program file: its extension (from the last
// '.' after the last separator) replaced by ".log", or ".log" appended.
std::string logFilePathFor(std::string_view programPath);

}  // namespace quillstash
