// SPDX-License-Identifier: MIT
#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32_support.h"

namespace quillstash::platform {
namespace {

thread_local int tLastError = 0;

// Windows Sockets reports its own codes, the ones the log names.
void failWithWsaError() { tLastError = ::WSAGetLastError(); }

SOCKET sock(SocketHandle socket) { return static_cast<SOCKET>(socket); }

}  // namespace

namespace win32 {

bool startWinsock() {
  static const int result = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (result != 0) tLastError = result;
  return result == 0;
}

}  // namespace win32

int lastSocketError() { return tLastError; }
void setLastSocketError(int code) { tLastError = code; }

bool parseDottedAddress(const char* name, std::uint32_t& address) {
  in_addr parsed{};
  if (::inet_pton(AF_INET, name, &parsed) != 1) return false;
  address = ntohl(parsed.s_addr);
  return true;
}

bool resolveHost(const char* name, std::uint32_t& address) {
  if (parseDottedAddress(name, address)) return true;
  if (name[0] == '\0') {
    tLastError = WSAHOST_NOT_FOUND;
    return false;
  }
  if (!win32::startWinsock()) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  // getaddrinfo returns the resolver's Windows Sockets code (11001 and up).
  const int error = ::getaddrinfo(name, nullptr, &hints, &result);
  if (error != 0) {
    tLastError = error;
    return false;
  }
  bool found = false;
  for (addrinfo* entry = result; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
      address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
      found = true;
      break;
    }
  }
  ::freeaddrinfo(result);
  if (!found) tLastError = WSANO_DATA;
  return found;
}

SocketHandle createTcpSocket() {
  if (!win32::startWinsock()) return kInvalidSocket;
  // Not inherited by child processes, like SOCK_CLOEXEC.
  const SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) {
    failWithWsaError();
    return kInvalidSocket;
  }
  return static_cast<SocketHandle>(s);
}

bool setBlocking(SocketHandle socket, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  if (::ioctlsocket(sock(socket), FIONBIO, &nonBlocking) != 0) {
    failWithWsaError();
    return false;
  }
  return true;
}

bool connectSocket(SocketHandle socket, const Ipv4Endpoint& endpoint) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(endpoint.port);
  target.sin_addr.s_addr = htonl(endpoint.address);
  if (::connect(sock(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
    failWithWsaError();
    return false;
  }
  return true;
}

ConnectProgress startConnect(SocketHandle socket, const Ipv4Endpoint& endpoint) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(endpoint.port);
  target.sin_addr.s_addr = htonl(endpoint.address);
  if (::connect(sock(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
    return ConnectProgress::kConnected;
  }
  // A non-blocking connect that goes on reports "would block".
  if (::WSAGetLastError() == WSAEWOULDBLOCK) return ConnectProgress::kPending;
  failWithWsaError();
  return ConnectProgress::kFailed;
}

ConnectProgress waitConnected(SocketHandle socket, std::chrono::milliseconds timeout) {
  // A connect that succeeds makes the socket writable; one that fails is
  // reported in the exception set, not as writable as on POSIX.
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(sock(socket), &writable);
  FD_SET(sock(socket), &failed);
  const long long ms = timeout.count() < 0 ? 0 : timeout.count();
  timeval wait{};
  wait.tv_sec = static_cast<long>(ms / 1000);
  wait.tv_usec = static_cast<long>(ms % 1000 * 1000);
  const int ready = ::select(0, nullptr, &writable, &failed, &wait);
  if (ready == 0) return ConnectProgress::kPending;
  if (ready == SOCKET_ERROR) {
    failWithWsaError();
    return ConnectProgress::kFailed;
  }
  int error = 0;
  int size = sizeof error;
  if (::getsockopt(sock(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
    failWithWsaError();
    return ConnectProgress::kFailed;
  }
  if (error != 0 || FD_ISSET(sock(socket), &failed)) {
    tLastError = error != 0 ? error : WSAECONNREFUSED;
    return ConnectProgress::kFailed;
  }
  return ConnectProgress::kConnected;
}

long sendBytes(SocketHandle socket, const char* data, std::size_t length) {
  const int chunk = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
  const int sent = ::send(sock(socket), data, chunk, 0);
  if (sent == SOCKET_ERROR) {
    failWithWsaError();
    return -1;
  }
  return sent;
}

WaitResult waitReadable(SocketHandle socket, std::chrono::milliseconds timeout) {
  // select, not WSAPoll: WSAPoll misses some failures on older systems.
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(sock(socket), &readable);
  const long long ms = timeout.count() < 0 ? 0 : timeout.count();
  timeval wait{};
  wait.tv_sec = static_cast<long>(ms / 1000);
  wait.tv_usec = static_cast<long>(ms % 1000 * 1000);
  const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
  if (ready == SOCKET_ERROR) {
    failWithWsaError();
    return WaitResult::kFailed;
  }
  // Data, the peer's close or an error: the read tells.
  return ready > 0 ? WaitResult::kReadable : WaitResult::kTimedOut;
}

bool bytesWaiting(SocketHandle socket, std::size_t& count) {
  u_long waiting = 0;
  if (::ioctlsocket(sock(socket), FIONREAD, &waiting) != 0) {
    failWithWsaError();
    return false;
  }
  if (waiting == 0) {
    // 0 stands both for the peer's close and for a pending reset; a peek on
    // the readable socket tells them apart without blocking.
    char byte;
    const int peeked = ::recv(sock(socket), &byte, 1, MSG_PEEK);
    if (peeked > 0) {
      waiting = 1;  // data came in meanwhile
    } else if (peeked == SOCKET_ERROR && ::WSAGetLastError() != WSAEWOULDBLOCK) {
      failWithWsaError();
      return false;
    }
  }
  count = waiting;
  return true;
}

long receiveBytes(SocketHandle socket, char* buffer, std::size_t capacity) {
  const int chunk = capacity > 0x40000000 ? 0x40000000 : static_cast<int>(capacity);
  const int got = ::recv(sock(socket), buffer, chunk, 0);
  if (got == SOCKET_ERROR) {
    failWithWsaError();
    return -1;
  }
  return got;
}

void closeSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) ::closesocket(sock(socket));
}

}  // namespace quillstash::platform
