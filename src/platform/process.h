// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// The program's arguments after its name, as UTF-8 (Windows hands main() the
// arguments in the system's code page, which cannot hold every name).
std::vector<std::string> programArguments(int argc, char** argv);

// Makes standard output and standard error carry bytes unchanged: the log's
// lines already end in CR LF, which Windows' text mode would turn into CR CR LF.
void useBinaryStandardStreams();

// Blocks the calling thread.
void sleepMilliseconds(std::uint32_t milliseconds);

}  // namespace quillstash::platform
