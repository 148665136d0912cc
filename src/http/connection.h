// SPDX-License-Identifier: MIT
#pragma once

// The connection one fetch or login reads and writes through: a TCP socket,
// and over it, for https, a TLS session. The exchange code opens the socket,
// asks for TLS when the address wants it, and then sends and receives the
// same way over either. Waits are sliced so that a stop request ends them.

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/activity_log.h"
#include "core/settings.h"
#include "platform/socket.h"
#include "platform/tls.h"

namespace quillstash {

// Owns the socket and the TLS session on it; closing (or destroying) the
// connection ends both, session first. One thread.
class Connection {
 public:
  Connection() = default;
  Connection(Connection&& other) noexcept = default;
  // Ends the connection held before taking the other one.
  Connection& operator=(Connection&& other) noexcept {
    if (this != &other) {
      close();
      socket_ = std::move(other.socket_);
      tls_ = std::move(other.tls_);
    }
    return *this;
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { close(); }

  // The TCP socket; the exchange opens and connects it.
  platform::Socket& socket() { return socket_; }
  bool isOpen() const { return socket_.isOpen(); }
  bool isSecure() const { return tls_.isOpen(); }
  void close() {
    tls_.close();
    socket_.close();
  }

  enum class Outcome { kDone, kFailed, kTimedOut, kStopped };

  // Runs the TLS handshake as a client of `host` over the connected socket,
  // all of it within `timeout`. kFailed sets `failure`.
  Outcome startTls(const platform::TlsClientContext& context, const char* host, std::chrono::milliseconds timeout,
                   const ActivityLog& log, platform::TlsFailure& failure);

  // Sends all of `data`; false on a failure (the last socket error tells why).
  bool sendAll(const char* data, std::size_t length, std::chrono::milliseconds timeout, const ActivityLog& log);

  enum class Received { kData, kEnded, kFull, kFailed, kTimedOut, kStopped };

  // Waits at most `timeout` for data, then reads at most min(room, maxRead)
  // bytes at `at`: kData with `got` set, kEnded at the peer's close, kFull
  // when bytes wait but `room` is 0, kFailed with the last socket error set.
  Received receive(char* at, std::size_t room, std::size_t maxRead, std::chrono::milliseconds timeout,
                   const ActivityLog& log, std::size_t& got);

 private:
  platform::Socket socket_;
  platform::TlsSession tls_;  // declared after the socket: ends first
};

// Connections kept open between requests (HTTP/1.1 keep-alive), at most
// kMaxIdlePerKey idle connections per key (the scheme, host and port of the
// address and the endpoint the socket goes to): a run fetching side by side
// keeps one for each of its connections. A connection idle longer than kIdleLimit, or
// one the server has closed or written to meanwhile, is closed instead of
// handed out. Any thread; each connection belongs to one fetch at a time.
class ConnectionPool {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kIdleLimit{15};
  static constexpr std::size_t kMaxIdle = 16;
  static constexpr std::size_t kMaxIdlePerKey = kMaxConnections;

  // Moves the idle connection kept for `key` into `into`; false when there is none.
  bool take(const std::string& key, Connection& into);
  // Keeps `connection` for `key` (closing the oldest one kept for it when
  // kMaxIdlePerKey are kept).
  void put(const std::string& key, Connection&& connection);
  // Closes every idle connection now.
  void closeAll();
  std::size_t idleCount() const;

 private:
  struct Idle {
    std::string key;
    Connection connection;
    Clock::time_point since;
  };
  void closeExpired(Clock::time_point now);  // with the lock held
  mutable std::mutex mutex_;
  std::vector<Idle> idle_;
};

// The client TLS configuration made from the settings' certificate options,
// kept while they stay the same so that every fetch does not read the trust
// store again. Any thread.
class TlsContexts {
 public:
  // The context for `settings`, or nullptr with `error` set when the CA file
  // cannot be read.
  std::shared_ptr<const platform::TlsClientContext> get(const Settings& settings, std::string& error);

 private:
  std::mutex mutex_;
  std::shared_ptr<platform::TlsClientContext> context_;
};

}  // namespace quillstash
