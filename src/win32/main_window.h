// SPDX-License-Identifier: MIT
#pragma once

// The main window of the Windows program: dialog 1010 over MainWindowModel,
// with the log view, the notification-area icon and the folder browser.

#include <windows.h>
#include <shellapi.h>

#include "app/main_window_model.h"
#include "app/window_log_view.h"

namespace quillstash::win32ui {

class MainWindow {
 public:
  MainWindow(MainWindowModel& model, WindowLogView& logView);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Shows the window modally; returns when it is closed.
  void run();

 private:
  static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
  void initialise();
  void command(int id, int notification);
  void drawLog();
  void poll();
  void refresh();
  void select();
  void showForums(MainWindowModel::SelectResult result);
  void browse();
  void toTray();
  void fromTray();
  void closeProgram();

  MainWindowModel& model_;
  WindowLogView& logView_;
  HWND window_ = nullptr;
  DWORD uiThread_;
  HICON icon_ = nullptr;
  NOTIFYICONDATAW tray_{};
  bool trayShown_ = false;
  bool filling_ = false;  // fields being set by the program, not typed
  bool closing_ = false;
};

}  // namespace quillstash::win32ui
