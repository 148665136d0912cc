// SPDX-License-Identifier: MIT
#pragma once

// TCP over IPv4, as the HTTP client needs it: resolve, connect, send, wait for
// data with a time-out, ask how much is waiting, receive, close.
//
// Failures set the calling thread's last socket error, which lastSocketError()
// returns as a Windows Sockets code (10061 for a refused connection, 11001 for
// an unknown host, ...) on every platform, so that log lines read the same
// everywhere. All functions may be called from any thread; a socket belongs to
// the thread that created it.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quillstash::platform {

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kInvalidSocket = -1;

// An IPv4 endpoint in host byte order.
struct Ipv4Endpoint {
  std::uint32_t address = 0;  // 127.0.0.1 is 0x7F000001
  std::uint16_t port = 80;
};

// Reads a dotted IPv4 address ("127.0.0.1"); false when `name` is not one.
bool parseDottedAddress(const char* name, std::uint32_t& address);

// Resolves a dotted address or a host name to its first IPv4 address. On
// failure sets the last socket error to a resolver code (11001 host not found,
// 11002 try again, 11003 non-recoverable, 11004 no data) and returns false.
bool resolveHost(const char* name, std::uint32_t& address);

// A new TCP socket, or kInvalidSocket.
SocketHandle createTcpSocket();

bool setBlocking(SocketHandle socket, bool blocking);

// Blocking connect; waits as long as the system lets it.
bool connectSocket(SocketHandle socket, const Ipv4Endpoint& endpoint);

enum class ConnectProgress { kConnected, kPending, kFailed };

// Starts a connect on a non-blocking socket: kConnected when it completed at
// once, kPending while it goes on (finish it with waitConnected), kFailed with
// the last socket error set.
ConnectProgress startConnect(SocketHandle socket, const Ipv4Endpoint& endpoint);

// Waits at most `timeout` for a pending connect: kConnected, kPending when the
// time passed first (call again or give up), kFailed with the last socket
// error set (10061 refused, ...).
ConnectProgress waitConnected(SocketHandle socket, std::chrono::milliseconds timeout);

// One send call; returns the bytes sent or -1.
long sendBytes(SocketHandle socket, const char* data, std::size_t length);

enum class WaitResult { kReadable, kTimedOut, kFailed };

// Waits until the socket is readable (data or the peer's close) or the time-out passes.
WaitResult waitReadable(SocketHandle socket, std::chrono::milliseconds timeout);

// How many bytes can be read without blocking; false on failure.
bool bytesWaiting(SocketHandle socket, std::size_t& count);

// One receive call; returns the bytes read, 0 at the peer's close, or -1.
long receiveBytes(SocketHandle socket, char* buffer, std::size_t capacity);

void closeSocket(SocketHandle socket);

// An owned socket: closed by its destructor, by close(), or when another is
// moved into it, so that no stop or error path leaves one open. Move-only;
// belongs to the thread that uses it.
class Socket {
 public:
  Socket() = default;
  explicit Socket(SocketHandle handle) : handle_(handle) {}
  Socket(Socket&& other) noexcept : handle_(other.release()) {}
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = other.release();
    }
    return *this;
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { close(); }

  SocketHandle handle() const { return handle_; }
  bool isOpen() const { return handle_ != kInvalidSocket; }

  // Ends the connection now (a retry or the end of a response); nothing when closed.
  void close() {
    if (handle_ != kInvalidSocket) closeSocket(handle_);
    handle_ = kInvalidSocket;
  }

  // Gives the handle up without closing it.
  SocketHandle release() {
    SocketHandle handle = handle_;
    handle_ = kInvalidSocket;
    return handle;
  }

 private:
  SocketHandle handle_ = kInvalidSocket;
};

// A new TCP socket, owned; not open when creation failed.
inline Socket openTcpSocket() { return Socket(createTcpSocket()); }

// The calling thread's last socket error as a Windows Sockets code.
int lastSocketError();
void setLastSocketError(int code);

}  // namespace quillstash::platform
