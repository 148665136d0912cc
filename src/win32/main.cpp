// SPDX-License-Identifier: MIT
// The Windows program: one main window, closed to end the program. It reads
// no command-line arguments.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "app/main_window_model.h"
#include "app/session.h"
#include "app/window_log_view.h"
#include "platform/process.h"
#include "win32/main_window.h"

namespace {

// The debug log lives in the user's state folder: the program's own folder
// is often read-only once installed.
std::string debugLogPath() {
  std::string folder = quillstash::platform::userStateDirectory();
  return folder.empty() ? folder : folder + "\\quillstash.log";
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  // The folder browser needs COM on this thread.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    quillstash::WindowLogView logView;
    quillstash::Session session(logView);
    quillstash::MainWindowModel model(session, logView, debugLogPath(), quillstash::platform::homeDirectory());
    quillstash::win32ui::MainWindow window(model, logView);
    window.run();
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return 0;
}
