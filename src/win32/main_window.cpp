// SPDX-License-Identifier: MIT
#include "win32/main_window.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "win32/dialogs.h"
#include "win32/window_text.h"

namespace quillstash::win32ui {
namespace {

using Model = MainWindowModel;

constexpr UINT kDrawLogMessage = WM_APP + 1;
constexpr UINT kTrayMessage = WM_USER + 10;
constexpr UINT kTrayIconId = 100;
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 200;

}  // namespace

MainWindow::MainWindow(MainWindowModel& model, WindowLogView& logView)
    : model_(model), logView_(logView), uiThread_(::GetCurrentThreadId()) {}

MainWindow::~MainWindow() {
  logView_.attach({});
  model_.close();
}

void MainWindow::run() {
  ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMainWindowDialog), nullptr, procedure,
                    reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<MainWindow*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window_ = window;
    self->initialise();
    return TRUE;
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
  return self == nullptr ? FALSE : self->handle(message, wParam, lParam);
}

void MainWindow::initialise() {
  icon_ = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIcon));
  ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  ::SendDlgItemMessageW(window_, Model::kAddressEdit, EM_LIMITTEXT, Model::kAddressLimit, 0);
  ::SendDlgItemMessageW(window_, Model::kFolderEdit, EM_LIMITTEXT, Model::kAddressLimit, 0);
  ::SendDlgItemMessageW(window_, Model::kUserEdit, EM_LIMITTEXT, Model::kLoginLimit, 0);
  ::SendDlgItemMessageW(window_, Model::kPasswordEdit, EM_LIMITTEXT, Model::kLoginLimit, 0);
  ::SendDlgItemMessageW(window_, Model::kLog, EM_LIMITTEXT, WindowLogView::kTextLimit, 0);
  filling_ = true;
  setControlText(window_, Model::kFolderEdit, model_.outputDirectory());
  setControlText(window_, Model::kAddressEdit, model_.forumAddress());
  filling_ = false;
  // A line logged on this thread is drawn at once; one from a worker is
  // posted here, and the worker waits until it has been drawn.
  logView_.attach([this] {
    if (::GetCurrentThreadId() == uiThread_) {
      drawLog();
    } else {
      ::PostMessageW(window_, kDrawLogMessage, 0, 0);
    }
  });
  ::SetTimer(window_, kPollTimer, kPollMs, nullptr);
  refresh();
}

INT_PTR MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: command(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_TIMER:
      if (wParam == kPollTimer) poll();
      return TRUE;
    case kDrawLogMessage: drawLog(); return TRUE;
    case kTrayMessage:
      if (wParam == kTrayIconId &&
          (LOWORD(lParam) == WM_LBUTTONUP || LOWORD(lParam) == WM_RBUTTONUP || LOWORD(lParam) == WM_LBUTTONDBLCLK)) {
        fromTray();
      }
      return TRUE;
    case WM_CLOSE: closeProgram(); return TRUE;
    default: return FALSE;
  }
}

void MainWindow::command(int id, int notification) {
  if (closing_) return;
  if (notification == EN_CHANGE) {
    if (filling_) return;
    const std::string text = controlText(window_, id);
    if (id == Model::kAddressEdit) model_.editForumAddress(text);
    if (id == Model::kFolderEdit) model_.setOutputDirectory(text);
    if (id == Model::kUserEdit) model_.setUserName(text);
    if (id == Model::kPasswordEdit) model_.setPassword(text);
    return;
  }
  if (notification != BN_CLICKED) return;
  switch (id) {
    case Model::kDownload:
      if (!model_.downloadEnabled()) return;
      model_.pressDownload();
      poll();
      break;
    case Model::kClose: closeProgram(); break;
    case Model::kBrowse: browse(); break;
    case Model::kTray: toTray(); break;
    case Model::kSelect: select(); break;
    case Model::kOptions: runSavingOptions(window_, model_.session().settings()); break;
    case Model::kAdvanced: runAdvancedSettings(window_, model_.session().settings()); break;
    case Model::kLogin: model_.pressLogin(); break;
    case Model::kLogToFile: model_.setLogToFile(isTicked(window_, Model::kLogToFile)); break;
    default: break;
  }
}

void MainWindow::drawLog() {
  WindowLogView::Update update = logView_.takeUpdate();
  HWND log = ::GetDlgItem(window_, Model::kLog);
  const std::wstring text = wide(editLines(update.text));
  if (update.replaceAll) {
    ::SetWindowTextW(log, text.c_str());
  } else if (!text.empty()) {
    const LRESULT end = ::GetWindowTextLengthW(log);
    ::SendMessageW(log, EM_SETSEL, end, end);
    ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  }
  if (update.scrollToEnd || update.replaceAll || !text.empty()) {
    const LRESULT end = ::GetWindowTextLengthW(log);
    ::SendMessageW(log, EM_SETSEL, end, end);
    ::SendMessageW(log, EM_SCROLLCARET, 0, 0);
  }
}

void MainWindow::poll() {
  if (closing_) return;
  model_.pollDownloadEnd();
  if (!model_.selectPending()) {
    MainWindowModel::SelectResult result = model_.finishSelect();
    if (result.showDialog) showForums(std::move(result));
  }
  refresh();
}

void MainWindow::refresh() {
  const std::wstring title = wide(model_.windowTitle());
  wchar_t shown[512] = {};
  ::GetWindowTextW(window_, shown, 512);
  if (title != shown) ::SetWindowTextW(window_, title.c_str());
  setControlText(window_, Model::kDownload, model_.downloadButtonText());
  enable(window_, Model::kDownload, model_.downloadEnabled());
  enable(window_, Model::kBrowse, model_.browseEnabled());
  enable(window_, Model::kSelect, model_.selectEnabled());
  ::SendDlgItemMessageW(window_, Model::kFolderEdit, EM_SETREADONLY, model_.browseEnabled() ? FALSE : TRUE, 0);
  if (trayShown_) {
    const std::wstring tip = wide(model_.trayTip());
    if (tip != tray_.szTip) {
      lstrcpynW(tray_.szTip, tip.c_str(), static_cast<int>(std::size(tray_.szTip)));
      tray_.uFlags = NIF_TIP;
      ::Shell_NotifyIconW(NIM_MODIFY, &tray_);
    }
  }
}

void MainWindow::select() {
  MainWindowModel::SelectResult result = model_.pressSelect();
  refresh();
  // A fetch runs on its own thread; the poll shows its answer.
  if (result.showDialog) showForums(std::move(result));
}

void MainWindow::showForums(MainWindowModel::SelectResult result) {
  DetectedForumsModel dialog(std::move(result.forums));
  if (runDetectedForums(window_, dialog)) model_.confirmForums(dialog);
}

void MainWindow::browse() {
  if (!model_.browseEnabled()) return;
  // The folder browser may change the current directory: it is put back.
  wchar_t current[MAX_PATH * 4] = {};
  const DWORD saved = ::GetCurrentDirectoryW(static_cast<DWORD>(std::size(current)), current);
  BROWSEINFOW info{};
  info.hwndOwner = window_;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  if (PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info); chosen != nullptr) {
    wchar_t path[MAX_PATH] = {};
    // An item without a file-system path leaves the field as it was.
    if (::SHGetPathFromIDListW(chosen, path)) {
      setControlText(window_, Model::kFolderEdit, platform::win32::narrow(path));
    }
    ::CoTaskMemFree(chosen);
  }
  if (saved > 0 && saved < std::size(current)) ::SetCurrentDirectoryW(current);
}

void MainWindow::toTray() {
  tray_ = NOTIFYICONDATAW{};
  tray_.cbSize = sizeof tray_;
  tray_.hWnd = window_;
  tray_.uID = kTrayIconId;
  tray_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  tray_.uCallbackMessage = kTrayMessage;
  tray_.hIcon = icon_;
  lstrcpynW(tray_.szTip, wide(model_.trayTip()).c_str(), static_cast<int>(std::size(tray_.szTip)));
  if (!::Shell_NotifyIconW(NIM_ADD, &tray_)) {
    // No notification area: minimise instead, so the window can come back.
    ::ShowWindow(window_, SW_MINIMIZE);
    return;
  }
  trayShown_ = true;
  ::ShowWindow(window_, SW_HIDE);
}

void MainWindow::fromTray() {
  ::Shell_NotifyIconW(NIM_DELETE, &tray_);
  trayShown_ = false;
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
  HWND log = ::GetDlgItem(window_, Model::kLog);
  const LRESULT end = ::GetWindowTextLengthW(log);
  ::SendMessageW(log, EM_SETSEL, end, end);
  ::SendMessageW(log, EM_SCROLLCARET, 0, 0);
}

void MainWindow::closeProgram() {
  if (closing_) return;
  closing_ = true;
  ::KillTimer(window_, kPollTimer);
  if (trayShown_) ::Shell_NotifyIconW(NIM_DELETE, &tray_);
  trayShown_ = false;
  // No line waits to be drawn any more; the download and logins end at once.
  logView_.attach({});
  model_.close();
  ::EndDialog(window_, 0);
}

}  // namespace quillstash::win32ui
