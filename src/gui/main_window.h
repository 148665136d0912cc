// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <functional>

#include "app/main_window_model.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSettings;
class QPushButton;
class QSystemTrayIcon;
class QTimer;

namespace quillstash::gui {

class LogWidget;
class PasswordKeyring;

// The main window over MainWindowModel: the fields, the log, the progress of
// the run and a button per command. Closing it (Close, the close box or
// Escape) ends the session; while a download runs it asks first. A timer
// polls the session for the progress, the end of a Select fetch and the end
// of a download. User-interface thread only.
class MainWindow : public QDialog {
  Q_OBJECT

 public:
  // The caller keeps `model` and `logView` alive longer than the window.
  MainWindow(MainWindowModel& model, WindowLogView& logView, QWidget* parent = nullptr);
  ~MainWindow() override;

  // How the window runs its modal dialogs; tests replace it to answer them.
  using DialogRunner = std::function<int(QDialog&)>;
  void setDialogRunner(DialogRunner runner) { runDialog_ = std::move(runner); }

  LogWidget* logWidget() const { return log_; }
  bool trayShown() const { return trayShown_; }
  // How the end of the last run was told to a user who was not looking at
  // the window (hidden in the notification area or minimised): its title and
  // summary, and whether it went out as the icon's message or the window was
  // brought back instead (no notification area, or one without messages).
  struct RunEndNotice {
    QString title;
    QString text;
    bool byTray = false;
  };
  const RunEndNotice& lastRunEndNotice() const { return runEndNotice_; }
  // Remembering between runs: the fields (address, folder, user name), the
  // window's size and place, and the dialogs' options, in `remembered`, which
  // the caller keeps alive as long as the window. Restores them at once and
  // writes them back when they change and at Close.
  void rememberIn(QSettings& remembered);
  void rememberState();

  // The notification-area icon, made on first use.
  QSystemTrayIcon* trayIcon();
  // Reads the session now, as the timer does.
  void poll();

  // The commands, as the buttons give them.
  void download();
  void select();
  void login();
  void browse();
  void options();
  void advanced();
  void toTray();
  void restoreFromTray();
  // Close: true when the program ends (asks first while a download runs).
  bool closeProgram();
  void openArchiveFolder();

  void reject() override;  // Escape: the same as Close

 signals:
  // Close was given: the session has ended; the program should quit.
  void programClosed();
  // Opens a folder in the desktop's file manager; tests listen instead.
  void archiveFolderRequested(const QString& folder);
  // Opens the run's report page in the desktop's browser; tests listen instead.
  void reportRequested(const QString& page);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void refresh();
  void showSelectResult(MainWindowModel::SelectResult result);
  void runEnded();
  void storePassword();

  MainWindowModel& model_;
  DialogRunner runDialog_;
  QLineEdit* address_;
  QLineEdit* folder_;
  QLineEdit* user_;
  QLineEdit* password_;
  QPushButton* selectButton_;
  QPushButton* browseButton_;
  QPushButton* downloadButton_;
  QCheckBox* logToFile_;
  LogWidget* log_;
  QLabel* counts_;
  QLabel* rate_;
  QProgressBar* bar_;
  QLabel* summary_;
  QPushButton* openFolder_;
  QPushButton* openReport_;
  QString reportPage_;  // the report.html of the run that ended last
  QTimer* poll_;
  QSettings* remembered_ = nullptr;
  QCheckBox* rememberPassword_;
  PasswordKeyring* keyring_;
  QSystemTrayIcon* tray_ = nullptr;
  bool trayShown_ = false;
  RunEndNotice runEndNotice_;
  bool closing_ = false;
};

}  // namespace quillstash::gui
