// SPDX-License-Identifier: MIT
#pragma once

// The listening side of TCP on loopback, for the demo board server and the
// test servers: listen on 127.0.0.1, accept, and end a connection with a
// reset. Connections are served with the functions of socket.h.

#include <cstdint>

#include "platform/socket.h"

namespace quillstash::platform {

// A socket listening on 127.0.0.1:`port` (0 picks a free port), whose port is
// stored in `boundPort`; kInvalidSocket when the port cannot be had.
SocketHandle listenOnLoopback(std::uint16_t port, std::uint16_t& boundPort);

// Takes one waiting connection (after waitReadable reported the listener
// readable); kInvalidSocket when none could be taken.
SocketHandle acceptConnection(SocketHandle listener);

// Makes the next closeSocket of `socket` a reset instead of an orderly close.
void resetOnClose(SocketHandle socket);

}  // namespace quillstash::platform
