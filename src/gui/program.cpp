// SPDX-License-Identifier: MIT
#include "gui/program.h"

#include "platform/process.h"

namespace quillstash::gui {

DesktopProgram::DesktopProgram(std::chrono::milliseconds receiveTimeout)
    : session(logView, receiveTimeout),
      model(session, logView, platform::programPath(), platform::homeDirectory()),
      window(model, logView) {}

}  // namespace quillstash::gui
