// SPDX-License-Identifier: MIT
#include "app/main_window_model.h"

#include <cstdio>
#include <iterator>

#include "app/window_fields.h"
#include "platform/path.h"
#include "text/address.h"

namespace quillstash {

namespace {
// What the address and folder fields hand over: one less than they take.
constexpr std::size_t kReadLimit = MainWindowModel::kAddressLimit - 1;
constexpr std::size_t kLoginReadLimit = MainWindowModel::kLoginLimit - 1;
}  // namespace

std::string downloadTitle(std::string_view title, std::string_view forumAddress) {
  std::size_t cut = std::string_view::npos;
  int spaces = 0;
  for (std::size_t i = 0; i < title.size(); ++i) {
    if (title[i] == ' ' && ++spaces == 3) {
      cut = i;
      break;
    }
  }
  std::string result(title.substr(0, cut));
  result += " - ";
  result += forumAddress;
  return result;
}

std::string formatElapsed(std::chrono::milliseconds elapsed) {
  const long long total = elapsed.count() / 1000;
  const long long hours = total / 3600, minutes = total / 60 % 60, seconds = total % 60;
  char text[48];
  if (hours > 0) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, seconds);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", minutes, seconds);
  }
  return text;
}

std::string formatBytes(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024.0;
  std::size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < std::size(units)) {
    value /= 1024.0;
    ++unit;
  }
  char text[48];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

MainWindowModel::MainWindowModel(Session& session, WindowLogView& logView, std::string_view logFilePath,
                                 std::string_view outputDirectory)
    : session_(session), logView_(logView) {
  session_.log().setLogFilePath(std::string(logFilePath));
  session_.log().setLogToFile(false);
  session_.log().setRunState(RunState::kIdle);
  outputDirectory_ = std::string(outputDirectory);
  if (outputDirectory_.empty() || !platform::isPathSeparator(outputDirectory_.back())) {
    outputDirectory_ += platform::kPathSeparator;
  }
}

void MainWindowModel::editForumAddress(std::string_view text) {
  forumAddress_ = std::string(limitField(text, kAddressLimit));
  addressEdited_ = true;
}

void MainWindowModel::setOutputDirectory(std::string_view text) {
  outputDirectory_ = std::string(limitField(text, kAddressLimit));
}

void MainWindowModel::setUserName(std::string_view text) { userName_ = std::string(limitField(text, kLoginLimit)); }

void MainWindowModel::setPassword(std::string_view text) { password_ = std::string(limitField(text, kLoginLimit)); }

const char* MainWindowModel::downloadButtonText() const {
  switch (runState()) {
    case RunState::kIdle: return kDownloadText;
    case RunState::kRunning: return kPauseText;
    case RunState::kPaused: return kStartText;
  }
  return kDownloadText;
}

std::string MainWindowModel::windowTitle() const {
  const char* state = nullptr;
  if (runState() == RunState::kRunning) {
    state = "Running";
  } else if (runState() == RunState::kPaused) {
    state = "Paused";
  } else if (ended_) {
    state = session_.downloadSucceeded() ? "Done" : "Not finished";
  }
  return state == nullptr ? title_ : std::string(state) + " - " + title_;
}

void MainWindowModel::setLogToFile(bool on) {
  if (on && session_.log().logFilePath().empty()) {
    WindowLogView::BusyScope busy(logView_);
    session_.log().logLine("[ X ] No folder for the log file: the user's state folder cannot be made\r\n");
  }
  session_.log().setLogToFile(on);
}

bool MainWindowModel::addressUsable(const std::string& address) {
  if (address.empty()) {
    session_.log().logLine(kNoAddressLine);
    return false;
  }
  const std::string_view problem = checkForumAddress(address);
  if (problem.empty()) return true;
  std::string line = "[ X ] ";
  line += problem;
  line += "\r\n";
  session_.log().logLine(line);
  return false;
}

void MainWindowModel::pressDownload() {
  if (closed_) return;
  switch (runState()) {
    case RunState::kIdle: {
      if (selectPending()) return;
      std::string address(limitField(forumAddress_, kReadLimit));
      if (!addressUsable(address)) return;
      session_.log().setRunState(RunState::kRunning);
      title_ = downloadTitle(kTitle, address);
      ended_ = false;
      WindowLogView::BusyScope busy(logView_);
      if (!session_.startDownload(address, std::string(limitField(outputDirectory_, kReadLimit)))) {
        session_.log().setRunState(RunState::kIdle);
      }
      break;
    }
    case RunState::kRunning: session_.pause(); break;
    case RunState::kPaused: session_.resume(); break;
  }
}

bool MainWindowModel::pollDownloadEnd() {
  if (runState() == RunState::kIdle || !session_.downloadFinished()) return false;
  session_.log().setRunState(RunState::kIdle);
  ended_ = true;
  return true;
}

MainWindowModel::SelectResult MainWindowModel::listForums() {
  SelectResult result;
  result.showDialog = true;
  for (DetectedForum& forum : session_.listForums()) {
    result.forums.push_back(
        {std::move(forum.name), std::move(forum.address), forum.checked, forum.parent, forum.number});
  }
  return result;
}

MainWindowModel::SelectResult MainWindowModel::pressSelect() {
  SelectResult result;
  if (closed_ || !selectEnabled()) return result;
  WindowLogView::BusyScope busy(logView_);
  std::string address(limitField(forumAddress_, kReadLimit));
  if (!addressUsable(address)) {
    addressEdited_ = false;
    return result;
  }
  const bool fresh = !addressEdited_ && pageLogins_ == session_.loginsEnded();
  addressEdited_ = false;
  if (session_.hasIndexPage() && fresh) return listForums();
  pageLogins_ = session_.loginsEnded();
  if (!session_.startIndexFetch(address)) return result;
  ++indexFetches_;
  selectPending_ = true;
  result.pending = true;
  return result;
}

MainWindowModel::SelectResult MainWindowModel::finishSelect() {
  if (!selectPending_ || session_.indexFetchRunning()) return {};
  selectPending_ = false;
  if (closed_) return {};
  WindowLogView::BusyScope busy(logView_);
  session_.waitForIndexFetch();  // ended: joins at once
  if (!session_.hasIndexPage()) return {};
  return listForums();
}

void MainWindowModel::confirmForums(const DetectedForumsModel& dialog) {
  session_.setForumSelection(dialog.accept(session_.forumSelection()));
  session_.setLeftOutForums(dialog.acceptLeftOut(session_.leftOutForums()));
}

MainWindowModel::ProgressView MainWindowModel::progress() const {
  ProgressView view;
  if (!session_.downloadStarted()) return view;
  const RunProgress::Counts c = session_.log().progress().counts();
  view.counts = "Forums: " + std::to_string(c.forumsDone) + " of " + std::to_string(c.forumsFound) +
                " done    Topics: " + std::to_string(c.topicsDone) + " of " + std::to_string(c.topicsFound) + " saved";
  const double seconds = static_cast<double>(c.elapsed.count()) / 1000.0;
  char speed[32];
  std::snprintf(speed, sizeof speed, "%.1f", seconds > 0 ? static_cast<double>(c.pages) / seconds : 0.0);
  view.rate = "Elapsed " + formatElapsed(c.elapsed) + "    " + speed + " pages/s    " + formatBytes(c.bytes);
  view.percent = c.forumsFound == 0 ? 0 : static_cast<int>(100ull * c.forumsDone / c.forumsFound);
  if (ended_) {
    view.percent = 100;
    view.reportPage = session_.reportPage();
    view.summary =
        std::string(session_.downloadSucceeded() ? "Done: " : "Not finished: ") + std::to_string(c.forumsDone) +
        " forums, " + std::to_string(c.topicsDone) + " topics saved" +
        (c.topicsFound > c.topicsDone ? ", " + std::to_string(c.topicsFound - c.topicsDone) + " failed" : "") + ", " +
        std::to_string(c.pages) + " pages and files, " + formatBytes(c.bytes) + " in " + formatElapsed(c.elapsed);
  }
  return view;
}

void MainWindowModel::pressLogin() {
  if (closed_) return;
  WindowLogView::BusyScope busy(logView_);
  session_.startLogin(std::string(limitField(userName_, kLoginReadLimit)),
                      std::string(limitField(password_, kLoginReadLimit)),
                      std::string(limitField(forumAddress_, kReadLimit)));
}

std::string MainWindowModel::trayTip() const { return std::string(limitField(title_, kTrayTipLimit)); }

void MainWindowModel::close() {
  closed_ = true;
  logView_.close();
  WindowLogView::BusyScope busy(logView_);
  session_.stop();
}

}  // namespace quillstash
