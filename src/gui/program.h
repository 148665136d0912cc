// SPDX-License-Identifier: MIT
#pragma once

// One run of the desktop program: the log view, the session, the main
// window's model and the window, made and torn down in that order (the
// window first: it ends the session before the log view goes away).

#include <QSettings>
#include <chrono>

#include "app/main_window_model.h"
#include "app/session.h"
#include "app/window_log_view.h"
#include "gui/main_window.h"
#include "http/fetch.h"

namespace quillstash::gui {

struct DesktopProgram {
  // Made on the user-interface thread. The output directory starts as the
  // user's home folder, or the one remembered; the debug log goes to the
  // user's state folder.
  explicit DesktopProgram(std::chrono::milliseconds receiveTimeout = HttpClient::kDefaultReceiveTimeout);

  QSettings remembered;
  WindowLogView logView;
  Session session;
  MainWindowModel model;
  MainWindow window;
};

}  // namespace quillstash::gui
