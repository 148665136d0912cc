// SPDX-License-Identifier: MIT
#pragma once

// Readable texts of the Windows Sockets error codes the client can meet.

#include "text/text_writer.h"

namespace quillstash {

// The text "NAME - description" of a Windows Sockets error code, or nullptr
// for a code the table does not hold.
const char* socketErrorText(int code);

// Appends " (" + the text + ")" for the calling thread's last socket error, or
// nothing when the code is not in the table. Writes no NUL. Returns the code.
int appendSocketError(TextWriter& out);

}  // namespace quillstash
