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

#include <chrono>
#include <cstddef>
#include <cstdint>
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
  static constexpr const char* kBrowseText = "";  // the button shows a folder icon
  static constexpr const char* kOptionsText = "Optio&ns ...";
  static constexpr const char* kLogToFileText = "Save debug &messages to Log";
  static constexpr const char* kDownloadText = "&Download";
  static constexpr const char* kPauseText = "&Pause";
  static constexpr const char* kStartText = "&Start";
  static constexpr const char* kAdvancedText = "Ad&vanced ...";
  static constexpr const char* kCloseText = "&Close";
  static constexpr const char* kTrayText = "&Tray";
  static constexpr const char* kNoAddressLine = "* No address entered\r\n";

  // Start-up: the log file is `logFilePath` (in the user's state folder; empty
  // when there is none) and stays off; the output directory starts as
  // `outputDirectory` (the user's home folder), given a trailing separator.
  // The caller keeps `session` and `logView` (the session's view) alive as
  // long as the model.
  MainWindowModel(Session& session, WindowLogView& logView, std::string_view logFilePath,
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
  // The window's title: the state of the run ("Running", "Paused", "Done",
  // "Not finished") before title(); title() alone before the first run.
  std::string windowTitle() const;
  const char* downloadButtonText() const;
  // The browse and Select buttons work while no download runs; Download
  // (to start one) also waits for a Select fetch to end.
  bool browseEnabled() const { return runState() == RunState::kIdle; }
  bool selectEnabled() const { return runState() == RunState::kIdle && !selectPending(); }
  bool downloadEnabled() const { return runState() != RunState::kIdle || !selectPending(); }
  RunState runState() const { return session_.log().runState(); }

  // The log-file checkbox.
  void setLogToFile(bool on);
  bool logToFile() const { return session_.log().logToFile(); }

  // Download / Pause / Start. A press while no download runs starts one (the
  // address is not checked) and retitles the window; while it runs, presses
  // pause and resume.
  void pressDownload();
  // Called now and then by the front-end: when the download thread has ended,
  // the run state returns to idle (Download starts a new run, Select and the
  // folder work again). True on the call that saw the end.
  bool pollDownloadEnd();
  // The last run's outcome, once it has ended.
  bool downloadEnded() const { return ended_; }
  bool downloadSucceeded() const { return session_.downloadSucceeded(); }

  // Select: logs "* No address entered" for an empty address; otherwise
  // starts fetching the index page on a thread of its own (pending) unless
  // the page fetched by the last Select is held, the address has not been
  // edited and no login has ended since. Returns the forums to show in the
  // Detected Forums dialog, or nothing (no address, nothing fetched) when the
  // dialog is not to open; while pending, finishSelect() gives the answer
  // once selectPending() turns false.
  struct SelectResult {
    bool showDialog = false;
    bool pending = false;
    std::vector<DetectedForumsModel::Row> forums;
  };
  SelectResult pressSelect();
  bool selectPending() const { return selectPending_ && session_.indexFetchRunning(); }
  SelectResult finishSelect();
  // OK in the Detected Forums dialog.
  void confirmForums(const DetectedForumsModel& dialog);

  // How far the run is, from the session's progress counters: a line of
  // forums and topics done out of those found so far, a line of elapsed time,
  // speed and bytes, the share of forums done (0 to 100), and after the end a
  // summary line.
  struct ProgressView {
    std::string counts;
    std::string rate;
    int percent = 0;
    std::string summary;
    std::string reportPage;  // after the end: the run's report.html, when one was written
  };
  ProgressView progress() const;

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
  // False, with the reason logged, when `address` cannot be fetched: empty,
  // or refused by the address check (nothing is looked up or written then).
  bool addressUsable(const std::string& address);

  Session& session_;
  WindowLogView& logView_;
  std::string forumAddress_;
  std::string outputDirectory_;
  std::string userName_;
  std::string password_;
  std::string title_ = kTitle;
  SelectResult listForums();

  bool addressEdited_ = false;
  bool selectPending_ = false;
  int pageLogins_ = 0;  // logins ended when the held index page was fetched
  bool ended_ = false;
  bool closed_ = false;
  int indexFetches_ = 0;  // index pages fetched by Select
};

// The title shown while a download runs: `title` cut at its third space (kept
// whole with fewer), then " - " and the address.
std::string downloadTitle(std::string_view title, std::string_view forumAddress);

// "0:07", "12:34", "1:02:03".
std::string formatElapsed(std::chrono::milliseconds elapsed);
// "512 bytes", "1.5 KB", "2.0 MB", "3.1 GB" (units of 1024).
std::string formatBytes(std::uint64_t bytes);

}  // namespace quillstash
