// SPDX-License-Identifier: MIT
#include "platform/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillstash::platform {

SocketHandle listenOnLoopback(std::uint16_t port, std::uint16_t& boundPort) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) return kInvalidSocket;
  int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t size = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(listener);
    return kInvalidSocket;
  }
  boundPort = ntohs(address.sin_port);
  return listener;
}

SocketHandle acceptConnection(SocketHandle listener) {
  const int connection = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return connection < 0 ? kInvalidSocket : connection;
}

void resetOnClose(SocketHandle socket) {
  linger abort{1, 0};
  ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

}  // namespace quillstash::platform
