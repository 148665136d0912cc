// SPDX-License-Identifier: MIT
#include "core/activity_log.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/process.h"

namespace quillstash {

void StringLogView::select(std::size_t from, std::size_t to) {
  selectionStart_ = std::min(from, text_.size());
  selectionEnd_ = std::min(std::max(to, selectionStart_), text_.size());
}

void StringLogView::replaceSelection(std::string_view text) {
  text_.replace(selectionStart_, selectionEnd_ - selectionStart_, text);
  selectionStart_ += text.size();
  selectionEnd_ = selectionStart_;
}

void ActivityLog::show(std::string_view text) {
  std::size_t length = view_.textLength();
  if (length + text.size() > kTrimThreshold) {
    view_.select(0, kTrimAmount);
    view_.replaceSelection(std::string_view());
    length = view_.textLength();
  }
  view_.select(length, length);
  view_.replaceSelection(text);
  view_.scrollToCaret();
}

void ActivityLog::logLine(std::string_view text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    show(text);
    if (logToFile_.load() && !logFilePath_.empty()) {
      platform::appendToFile(logFilePath_.c_str(), text.data(), text.size());
    }
  }
  if (runState() != RunState::kPaused || stopRequested()) return;
  if (parent_ == nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    show("*** Paused\r\n");
  }
  while (runState() == RunState::kPaused && !stopRequested()) {
    platform::sleepMilliseconds(kPauseStepMs);
  }
}

void ActivityLog::setLogFilePath(std::string path) {
  std::lock_guard<std::mutex> lock(mutex_);
  logFilePath_ = std::move(path);
}

std::string ActivityLog::logFilePath() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logFilePath_;
}

std::string logFilePathFor(std::string_view programPath) {
  std::size_t last = programPath.find_last_of("\\/.");
  std::string path(programPath);
  if (last != std::string_view::npos && programPath[last] == '.') path.resize(last);
  path += ".log";
  return path;
}

}  // namespace quillstash
