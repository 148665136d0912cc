// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace quillstash::platform {

// Full path of the running program file; empty when it cannot be found.
std::string programPath();

// The user's home directory, without a trailing separator; empty when unknown.
std::string homeDirectory();

// Blocks the calling thread.
void sleepMilliseconds(std::uint32_t milliseconds);

}  // namespace quillstash::platform
