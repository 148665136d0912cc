// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace quillstash::platform {

// Full path of the running program file; empty when it cannot be found.
std::string programPath();

// The user's home directory, without a trailing separator; empty when unknown.
std::string homeDirectory();

// The folder for the program's own state files (its debug log): under
// $XDG_STATE_HOME, else ~/.local/state, a "quillstash" folder, made with its
// parents when missing. No trailing separator; empty when there is no home
// folder or the folder cannot be made.
std::string userStateDirectory();

// Blocks the calling thread.
void sleepMilliseconds(std::uint32_t milliseconds);

}  // namespace quillstash::platform
