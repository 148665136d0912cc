// SPDX-License-Identifier: MIT
#include "gui/program.h"

#include "gui/remembered_settings.h"
#include "platform/process.h"

namespace quillstash::gui {

namespace {
// The debug log lives in the user's state folder: the program's own folder
// is often read-only once installed.
std::string debugLogPath() {
  std::string folder = platform::userStateDirectory();
  return folder.empty() ? folder : folder + "/quillstash.log";
}
}  // namespace

DesktopProgram::DesktopProgram(std::chrono::milliseconds receiveTimeout)
    : remembered(rememberedSettingsPath(), QSettings::IniFormat),
      session(logView, receiveTimeout),
      model(session, logView, debugLogPath(), platform::homeDirectory()),
      window(model, logView) {
  window.rememberIn(remembered);
}

}  // namespace quillstash::gui
