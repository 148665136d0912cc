// SPDX-License-Identifier: MIT
#include "platform/listener.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32_support.h"

namespace quillstash::platform {

SocketHandle listenOnLoopback(std::uint16_t port, std::uint16_t& boundPort) {
  if (!win32::startWinsock()) return kInvalidSocket;
  const SOCKET listener = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (listener == INVALID_SOCKET) return kInvalidSocket;
  // Windows' SO_REUSEADDR would let another program take the port too; the
  // exclusive use is what a server wants there.
  BOOL yes = TRUE;
  ::setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  int size = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::closesocket(listener);
    return kInvalidSocket;
  }
  boundPort = ntohs(address.sin_port);
  return static_cast<SocketHandle>(listener);
}

SocketHandle acceptConnection(SocketHandle listener) {
  const SOCKET connection = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  return connection == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(connection);
}

void resetOnClose(SocketHandle socket) {
  linger abort{1, 0};
  ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
}

}  // namespace quillstash::platform
