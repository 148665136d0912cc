// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <functional>

#include "app/main_window_model.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSystemTrayIcon;

namespace quillstash::gui {

class LogWidget;

// The main window over MainWindowModel: the fields, the log, and a button per
// command. Closing it (Close, the close box or Escape) ends the session at
// once. User-interface thread only.
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

  // The commands, as the buttons give them.
  void download();
  void select();
  void login();
  void browse();
  void options();
  void advanced();
  void toTray();
  void restoreFromTray();
  void closeProgram();

  void reject() override;  // Escape: the same as Close

 signals:
  // Close was given: the session has ended; the program should quit.
  void programClosed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void refresh();

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
  QSystemTrayIcon* tray_ = nullptr;
  bool trayShown_ = false;
  bool closing_ = false;
};

}  // namespace quillstash::gui
