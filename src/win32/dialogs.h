// SPDX-License-Identifier: MIT
#pragma once

// The main window's modal dialogs, each over its model in src/app, built from
// the dialog resources of quillstash.rc.

#include <windows.h>

#include <vector>

#include "app/detected_forums_model.h"
#include "core/settings.h"

namespace quillstash::win32ui {

// Dialog resource ids.
inline constexpr int kMainWindowDialog = 1010, kDetectedForumsDialog = 1011;
inline constexpr int kAdvancedSettingsDialog = 1012, kSavingOptionsDialog = 1013;
inline constexpr int kProgramIcon = 500;

// Each returns true when the user confirmed (OK), having stored the result.
bool runAdvancedSettings(HWND owner, SettingsStore& settings);
bool runSavingOptions(HWND owner, SettingsStore& settings);
// OK leaves the confirmed rows in `model`.
bool runDetectedForums(HWND owner, DetectedForumsModel& model);

}  // namespace quillstash::win32ui
