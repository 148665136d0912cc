// SPDX-License-Identifier: MIT
#include "platform/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace quillstash::platform {
namespace {

thread_local int tLastError = 0;

// Windows Sockets codes for the errno values a socket call can leave.
int winsockCodeForErrno(int error) {
  switch (error) {
    case EINTR: return 10004;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EWOULDBLOCK: return 10035;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN: return 10035;
#endif
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case EBADF:
    case ENOTSOCK: return 10038;
    case EMSGSIZE: return 10040;
    case EOPNOTSUPP: return 10045;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET:
    case EPIPE: return 10054;
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTUNREACH: return 10065;
    default: return error;  // unknown to the table: shown without a text
  }
}

void failWithErrno() { tLastError = winsockCodeForErrno(errno); }

int winsockCodeForResolver(int error) {
  switch (error) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
      return 11001;
    case EAI_AGAIN: return 11002;
    case EAI_FAIL: return 11003;
    case EAI_FAMILY:
    case EAI_ADDRFAMILY: return 11004;
    case EAI_SYSTEM: return winsockCodeForErrno(errno);
    default: return 11003;
  }
}

int fd(SocketHandle socket) { return static_cast<int>(socket); }

}  // namespace

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
    tLastError = 11001;
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  int error = ::getaddrinfo(name, nullptr, &hints, &result);
  if (error != 0) {
    tLastError = winsockCodeForResolver(error);
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
  if (!found) tLastError = 11004;
  return found;
}

SocketHandle createTcpSocket() {
  int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s < 0) {
    failWithErrno();
    return kInvalidSocket;
  }
  return s;
}

bool setBlocking(SocketHandle socket, bool blocking) {
  int flags = ::fcntl(fd(socket), F_GETFL, 0);
  if (flags < 0) {
    failWithErrno();
    return false;
  }
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  if (::fcntl(fd(socket), F_SETFL, flags) < 0) {
    failWithErrno();
    return false;
  }
  return true;
}

bool connectSocket(SocketHandle socket, const Ipv4Endpoint& endpoint) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(endpoint.port);
  target.sin_addr.s_addr = htonl(endpoint.address);
  int result;
  do {
    result = ::connect(fd(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target);
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    failWithErrno();
    return false;
  }
  return true;
}

ConnectProgress startConnect(SocketHandle socket, const Ipv4Endpoint& endpoint) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(endpoint.port);
  target.sin_addr.s_addr = htonl(endpoint.address);
  if (::connect(fd(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
    return ConnectProgress::kConnected;
  }
  // An interrupted connect goes on in the background, like a pending one.
  if (errno == EINPROGRESS || errno == EINTR) return ConnectProgress::kPending;
  failWithErrno();
  return ConnectProgress::kFailed;
}

ConnectProgress waitConnected(SocketHandle socket, std::chrono::milliseconds timeout) {
  pollfd entry{};
  entry.fd = fd(socket);
  entry.events = POLLOUT;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) left = std::chrono::milliseconds(0);
    const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
    if (ready == 0) return ConnectProgress::kPending;
    if (ready < 0) {
      if (errno == EINTR) continue;
      failWithErrno();
      return ConnectProgress::kFailed;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd(socket), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
      failWithErrno();
      return ConnectProgress::kFailed;
    }
    if (error != 0) {
      tLastError = winsockCodeForErrno(error);
      return ConnectProgress::kFailed;
    }
    return ConnectProgress::kConnected;
  }
}

long sendBytes(SocketHandle socket, const char* data, std::size_t length) {
  ssize_t sent;
  do {
    sent = ::send(fd(socket), data, length, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) failWithErrno();
  return static_cast<long>(sent);
}

WaitResult waitReadable(SocketHandle socket, std::chrono::milliseconds timeout) {
  pollfd entry{};
  entry.fd = fd(socket);
  entry.events = POLLIN;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) left = std::chrono::milliseconds(0);
    int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
    if (ready > 0) {
      if (entry.revents & POLLNVAL) {
        tLastError = 10038;
        return WaitResult::kFailed;
      }
      return WaitResult::kReadable;  // data, the peer's close or an error: the read tells
    }
    if (ready == 0) return WaitResult::kTimedOut;
    if (errno != EINTR) {
      failWithErrno();
      return WaitResult::kFailed;
    }
  }
}

bool bytesWaiting(SocketHandle socket, std::size_t& count) {
  int waiting = 0;
  if (::ioctl(fd(socket), FIONREAD, &waiting) < 0) {
    failWithErrno();
    return false;
  }
  if (waiting == 0) {
    // Linux reports 0 both at the peer's close and when a reset is pending;
    // a pending error is a failed receive, not the end of the response.
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd(socket), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error != 0) {
      tLastError = winsockCodeForErrno(error);
      return false;
    }
  }
  count = static_cast<std::size_t>(waiting);
  return true;
}

long receiveBytes(SocketHandle socket, char* buffer, std::size_t capacity) {
  ssize_t got;
  do {
    got = ::recv(fd(socket), buffer, capacity, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) failWithErrno();
  return static_cast<long>(got);
}

void closeSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) ::close(fd(socket));
}

}  // namespace quillstash::platform
