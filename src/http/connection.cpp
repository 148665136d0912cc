// SPDX-License-Identifier: MIT
#include "http/connection.h"

#include <algorithm>

#include "http/exchange.h"

namespace quillstash {
namespace {

// Windows Sockets codes set when a TLS step fails or the peer resets.
constexpr int kConnectionReset = 10054;
constexpr int kTimedOutCode = 10060;

// Waits for the socket as a TLS step asks: readable, or (rarely, for a full
// send buffer) a short pause before trying again.
Connection::Outcome waitFor(platform::TlsStep step, platform::SocketHandle socket,
                            std::chrono::steady_clock::time_point deadline, const ActivityLog& log) {
  const auto now = std::chrono::steady_clock::now();
  if (now >= deadline) return Connection::Outcome::kTimedOut;
  if (step == platform::TlsStep::kWantWrite) {
    return sleepUnlessStopped(1, log) ? Connection::Outcome::kDone : Connection::Outcome::kStopped;
  }
  switch (waitForData(socket, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now), log)) {
    case WaitOutcome::kReadable: return Connection::Outcome::kDone;
    case WaitOutcome::kTimedOut: return Connection::Outcome::kTimedOut;
    case WaitOutcome::kStopped: return Connection::Outcome::kStopped;
    case WaitOutcome::kFailed: return Connection::Outcome::kFailed;
  }
  return Connection::Outcome::kFailed;
}

}  // namespace

Connection::Outcome Connection::startTls(const platform::TlsClientContext& context, const char* host,
                                         std::chrono::milliseconds timeout, const ActivityLog& log,
                                         platform::TlsFailure& failure) {
  failure = platform::TlsFailure::kNone;
  // TLS reads a record in pieces: the socket must not block once it is in use.
  platform::setBlocking(socket_.handle(), false);
  if (!tls_.startClient(context, socket_.handle(), host)) {
    failure = platform::TlsFailure::kHandshake;
    return Outcome::kFailed;
  }
  // The whole handshake, every round trip of it, ends within `timeout`.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const platform::TlsStep step = tls_.handshake();
    if (step == platform::TlsStep::kDone) return Outcome::kDone;
    if (step != platform::TlsStep::kWantRead && step != platform::TlsStep::kWantWrite) {
      failure = tls_.failure() == platform::TlsFailure::kNone ? platform::TlsFailure::kHandshake : tls_.failure();
      tls_.close();
      return Outcome::kFailed;
    }
    const Outcome waited = waitFor(step, socket_.handle(), deadline, log);
    if (waited == Outcome::kFailed) {
      failure = platform::TlsFailure::kHandshake;
      tls_.close();
    }
    if (waited != Outcome::kDone) return waited;
  }
}

bool Connection::sendAll(const char* data, std::size_t length, std::chrono::milliseconds timeout,
                         const ActivityLog& log) {
  if (!tls_.isOpen()) return quillstash::sendAll(socket_.handle(), data, length);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (length > 0) {
    std::size_t sent = 0;
    const platform::TlsStep step = tls_.write(data, length, sent);
    if (step == platform::TlsStep::kDone) {
      data += sent;
      length -= sent;
      continue;
    }
    if (step != platform::TlsStep::kWantRead && step != platform::TlsStep::kWantWrite) {
      platform::setLastSocketError(kConnectionReset);
      return false;
    }
    const Outcome waited = waitFor(step, socket_.handle(), deadline, log);
    if (waited == Outcome::kTimedOut) platform::setLastSocketError(kTimedOutCode);
    if (waited != Outcome::kDone) return false;
  }
  return true;
}

Connection::Received Connection::receive(char* at, std::size_t room, std::size_t maxRead,
                                         std::chrono::milliseconds timeout, const ActivityLog& log, std::size_t& got) {
  got = 0;
  if (!tls_.isOpen()) {
    switch (waitForData(socket_.handle(), timeout, log)) {
      case WaitOutcome::kReadable: break;
      case WaitOutcome::kStopped: return Received::kStopped;
      case WaitOutcome::kFailed: return Received::kFailed;
      case WaitOutcome::kTimedOut: return Received::kTimedOut;
    }
    std::size_t waiting = 0;
    if (!platform::bytesWaiting(socket_.handle(), waiting)) return Received::kFailed;
    if (waiting == 0) return Received::kEnded;
    if (room == 0) return Received::kFull;
    const long n = platform::receiveBytes(socket_.handle(), at, std::min({waiting, maxRead, room}));
    if (n < 0) return Received::kFailed;
    if (n == 0) return Received::kEnded;
    got = static_cast<std::size_t>(n);
    return Received::kData;
  }

  // Over TLS a readable socket may hold only part of a record, or none of the
  // page (a session ticket): read until the session yields bytes.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char spare = 0;  // with no room left, one byte tells whether more was coming
  for (;;) {
    const platform::TlsStep step = room == 0 ? tls_.read(&spare, 1, got) : tls_.read(at, std::min(room, maxRead), got);
    if (step == platform::TlsStep::kDone) {
      if (room == 0) {
        got = 0;
        return Received::kFull;
      }
      return Received::kData;
    }
    if (step == platform::TlsStep::kClosed) return Received::kEnded;
    if (step == platform::TlsStep::kFailed) {
      platform::setLastSocketError(kConnectionReset);
      return Received::kFailed;
    }
    switch (waitFor(step, socket_.handle(), deadline, log)) {
      case Outcome::kDone: break;
      case Outcome::kTimedOut: return Received::kTimedOut;
      case Outcome::kStopped: return Received::kStopped;
      case Outcome::kFailed: return Received::kFailed;
    }
  }
}

std::shared_ptr<const platform::TlsClientContext> TlsContexts::get(const Settings& settings, std::string& error) {
  platform::TlsClientOptions options;
  options.verifyPeer = !settings.skipCertificateCheck;
  options.caFile = settings.caFile.c_str();
  std::lock_guard<std::mutex> lock(mutex_);
  if (context_ && context_->options().verifyPeer == options.verifyPeer &&
      context_->options().caFile == options.caFile) {
    return context_;
  }
  auto context = std::make_shared<platform::TlsClientContext>();
  if (!context->open(options, error)) return nullptr;
  context_ = context;
  return context_;
}

bool ConnectionPool::take(const std::string& key, Connection& into) {
  bool found = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closeExpired(Clock::now());
    for (auto it = idle_.begin(); it != idle_.end(); ++it) {
      if (it->key != key) continue;
      Connection connection = std::move(it->connection);
      idle_.erase(it);
      // An idle connection has nothing to read: readable means the server
      // closed it or sent something unasked, and it is of no more use.
      const bool stale = connection.isSecure()
                             ? false
                             : platform::waitReadable(connection.socket().handle(), std::chrono::milliseconds(0)) !=
                                   platform::WaitResult::kTimedOut;
      if (!stale) {
        into = std::move(connection);
        found = true;
      }
      break;
    }
  }
  return found;
}

void ConnectionPool::put(const std::string& key, Connection&& connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Clock::time_point now = Clock::now();
  closeExpired(now);
  const auto sameKey = [&key](const Idle& idle) { return idle.key == key; };
  if (static_cast<std::size_t>(std::count_if(idle_.begin(), idle_.end(), sameKey)) >= kMaxIdlePerKey) {
    idle_.erase(std::find_if(idle_.begin(), idle_.end(), sameKey));  // the oldest for this key
  }
  if (idle_.size() >= kMaxIdle) idle_.erase(idle_.begin());  // the oldest
  idle_.push_back(Idle{key, std::move(connection), now});
}

void ConnectionPool::closeAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  idle_.clear();
}

std::size_t ConnectionPool::idleCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return idle_.size();
}

void ConnectionPool::closeExpired(Clock::time_point now) {
  std::erase_if(idle_, [now](const Idle& idle) { return now - idle.since >= kIdleLimit; });
}

}  // namespace quillstash
