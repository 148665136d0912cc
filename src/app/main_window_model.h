// SPDX-License-Identifier: MIT
#pragma once

// The main window as plain state and commands: the fields, the Download /
// Pause / Start button with the run state, the window title, which buttons
// are enabled, Select with its page reuse, Login, the log-file switch, the
// tray tip and Close. Front-ends show what it holds and forward each command.
//
// Threads: user-interface thread only. Every call into the session that may
// log or wait is made inside a busy scope of the window's log view, so that a
// worker logging at that moment does not wait for this thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/detected_forums_model.h"
#include "app/session.h"
#include "app/window_log_view.h"
#include "core/version.h"

namespace quillstash {

class MainWindowModel {
 public:
  static constexpr const char* kTitle = kNameAndVersion;
  static constexpr std::size_t kAddressLimit = 8192;  // characters the address and folder fields take
  static constexpr std::size_t kLoginLimit = 255;     // characters the user name and password fields take
  static constexpr std::size_t kTrayTipLimit = 62;

  // Control ids and texts, in tab order.
  static constexpr int kAddressLabel = 10, kAddressEdit = 100, kSelect = 5;
  static constexpr int kUserLabel = 12, kUserEdit = 102, kPasswordLabel = 13, kPasswordEdit = 103, kLogin = 9;
  static constexpr int kFolderLabel = 11, kFolderEdit = 101, kBrowse = 3, kOptions = 6;
  static constexpr int kLog = 200, kLogToFile = 400;
  static constexpr int kDownload = 1, kAdvanced = 8, kClose = 2, kTray = 4;
  static constexpr const char* kAddressText = "&Forum address:";
  static constexpr const char* kSelectText = "Se&lect ...";
  static constexpr const char* kUserText = "Username:";
  static constexpr const char* kPasswordText = "Password:";
  static constexpr const char* kLoginText = "Lo&gin";
  static constexpr const char* kFolderText = "&Output directory:";
  static constexpr const char* kBrowseText = "\\";
  static constexpr const char* kOptionsText = "O&ptions ...";
  static constexpr const char* kLogToFileText = "Save debug messages to &Log";
  static constexpr const char* kDownloadText = "&Download";
  static constexpr const char* kPauseText = "&Pause";
  static constexpr const char* kStartText = "&Start";
  static constexpr const char* kAdvancedText = "Ad&vanced ...";
  static constexpr const char* kCloseText = "&Close";
  static constexpr const char* kTrayText = "&Tray";
  static constexpr const char* kNoAddressLine = "* No address entered\r\n";

  // Start-up: the log file is `programPath` with its extension replaced by
  // ".log" and stays off; the output directory starts as `outputDirectory`
  // (the user's home folder), given a trailing separator. The caller keeps
  // `session` and `logView` (the session's view) alive as long as the model.
  MainWindowModel(Session& session, WindowLogView& logView, std::string_view programPath,
                  std::string_view outputDirectory);

  // The fields. Typing into the address marks it edited, so that the next
  // Select fetches the page again.
  const std::string& forumAddress() const { return forumAddress_; }
  void editForumAddress(std::string_view text);
  const std::string& outputDirectory() const { return outputDirectory_; }
  void setOutputDirectory(std::string_view text);
  const std::string& userName() const { return userName_; }
  void setUserName(std::string_view text);
  const std::string& password() const { return password_; }
  void setPassword(std::string_view text);

  const std::string& title() const { return title_; }
  const char* downloadButtonText() const;
  // The browse and Select buttons work only before the download starts.
  bool browseEnabled() const { return runState() == RunState::kIdle; }
  bool selectEnabled() const { return runState() == RunState::kIdle; }
  RunState runState() const { return session_.log().runState(); }

  // The log-file checkbox.
  void setLogToFile(bool on) { session_.log().setLogToFile(on); }
  bool logToFile() const { return session_.log().logToFile(); }

  // Download / Pause / Start. The first press starts the download (the
  // address is not checked) and retitles the window; later presses pause and
  // resume, also after the download has ended.
  void pressDownload();

  // Select: logs "* No address entered" for an empty address; otherwise
  // fetches the index page on this thread unless the page fetched by the last
  // Select is held and the address has not been edited since. Returns the
  // forums to show in the Detected Forums dialog, or nothing (no address,
  // nothing fetched) when the dialog is not to open.
  struct SelectResult {
    bool showDialog = false;
    std::vector<DetectedForumsModel::Row> forums;
  };
  SelectResult pressSelect();
  // OK in the Detected Forums dialog.
  void confirmForums(const DetectedForumsModel& dialog);

  // Login: starts a new login on its own thread with the fields as they are.
  void pressLogin();

  // The notification-area tip: the window title, at most kTrayTipLimit bytes.
  std::string trayTip() const;

  // Close: no line waits to be drawn any more, and the session ends the
  // download and logins at once. Safe to call more than once.
  void close();

  Session& session() { return session_; }
  int indexFetches() const { return indexFetches_; }

 private:
  Session& session_;
  WindowLogView& logView_;
  std::string forumAddress_;
  std::string outputDirectory_;
  std::string userName_;
  std::string password_;
  std::string title_ = kTitle;
  bool addressEdited_ = false;
  bool closed_ = false;
  int indexFetches_ = 0;  // index pages fetched by Select
};

// The title shown while a download runs: `title` cut at its third space (kept
// whole with fewer), then " - " and the address.
std::string downloadTitle(std::string_view title, std::string_view forumAddress);

}  // namespace quillstash
