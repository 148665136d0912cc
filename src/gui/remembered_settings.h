// SPDX-License-Identifier: MIT
#pragma once

// What the desktop program remembers between runs, in an INI file in the
// user's configuration folder: every option of the Saving Options and
// Advanced settings dialogs here; the window's fields and geometry are the
// window's own (MainWindow::rememberState). Never the password.

#include <QSettings>
#include <QString>

#include "core/settings.h"

namespace quillstash::gui {

// <configuration folder>/quillstash/quillstash.conf
QString rememberedSettingsPath();

// Replaces the options of `store` with those remembered; a missing or
// unreadable entry keeps the value the store holds.
void restoreOptions(const QSettings& remembered, SettingsStore& store);
void rememberOptions(QSettings& remembered, const Settings& settings);

}  // namespace quillstash::gui
