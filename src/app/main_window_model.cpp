// SPDX-License-Identifier: MIT
#include "app/main_window_model.h"

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

MainWindowModel::MainWindowModel(Session& session, WindowLogView& logView, std::string_view programPath,
                                 std::string_view outputDirectory)
    : session_(session), logView_(logView) {
  session_.log().setLogFilePath(logFilePathFor(programPath));
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
    case RunState::kIdle:
      return kDownloadText;
    case RunState::kRunning:
      return kPauseText;
    case RunState::kPaused:
      return kStartText;
  }
  return kDownloadText;
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
      std::string address(limitField(forumAddress_, kReadLimit));
      if (!addressUsable(address)) return;
      session_.log().setRunState(RunState::kRunning);
      title_ = downloadTitle(title_, address);
      WindowLogView::BusyScope busy(logView_);
      session_.startDownload(address, std::string(limitField(outputDirectory_, kReadLimit)));
      break;
    }
    case RunState::kRunning:
      session_.pause();
      break;
    case RunState::kPaused:
      session_.resume();
      break;
  }
}

MainWindowModel::SelectResult MainWindowModel::pressSelect() {
  SelectResult result;
  if (closed_ || !selectEnabled()) return result;
  WindowLogView::BusyScope busy(logView_);
  std::string address(limitField(forumAddress_, kReadLimit));
  if (addressUsable(address)) {
    bool havePage = session_.hasIndexPage() && !addressEdited_;
    if (!havePage) {
      ++indexFetches_;
      havePage = session_.fetchIndexPage(address) != 0;
    }
    if (havePage) {
      result.showDialog = true;
      for (DetectedForum& forum : session_.listForums()) {
        result.forums.push_back({std::move(forum.name), std::move(forum.address), forum.checked});
      }
    }
  }
  addressEdited_ = false;
  return result;
}

void MainWindowModel::confirmForums(const DetectedForumsModel& dialog) {
  session_.setForumSelection(dialog.accept(session_.forumSelection()));
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
