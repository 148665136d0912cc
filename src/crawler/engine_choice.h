// SPDX-License-Identifier: MIT
#pragma once

// Which engine profile a download reads the board with: the one the user
// names, or the one recognised on the index page, or none (the table-based
// path, which also stays in charge whenever the user's own link or post
// patterns are switched on).

#include <string>
#include <vector>

#include "core/activity_log.h"
#include "core/settings.h"
#include "engines/profile.h"

namespace quillstash {

struct EngineChoice {
  std::vector<EngineProfile> profiles;     // every profile the run knows
  const EngineProfile* profile = nullptr;  // points into profiles; null for the table-based path
};

// The profiles the settings make known: the one of settings.profileFile
// first (when set), then the built-in ones. False, with `error` set, when the
// file cannot be read or is not a valid profile.
bool loadProfiles(const Settings& settings, std::vector<EngineProfile>& profiles, std::string& error);

// What is wrong with settings.profileFile and settings.engine before a run:
// the profile file's error, or an engine name that no profile has; empty
// when both can be used.
std::string engineSettingsProblem(const Settings& settings);

// True when the user's forum, topic or post patterns are switched on and set.
bool userPatternsInCharge(const Settings& settings);

// Chooses the engine for the NUL-terminated index page `index` by
// settings.engine (the page is read only when the engine is recognised). Logs and
// returns false when the profile file is unusable or the engine name is
// unknown; logs the engine when a profile is chosen.
bool chooseEngine(const Settings& settings, const char* index, EngineChoice& choice, ActivityLog& log);

}  // namespace quillstash
