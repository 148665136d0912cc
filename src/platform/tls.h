// SPDX-License-Identifier: MIT
#pragma once

// TLS over a connected TCP socket, as the HTTP client and the test and demo
// servers need it: a client configuration (the system's trust store, an extra
// CA file, or no checking at all), a server configuration (one certificate
// and its key), and one session per connection that runs the handshake and
// moves bytes. The socket stays owned by the caller (platform::Socket) and
// must be non-blocking while a session uses it; every call returns at once
// and says whether it waits for the socket to become readable or writable, so
// that the caller keeps its own time-outs and stop checks.
//
// Contexts are made once and may then be shared by any number of threads; a
// session belongs to one thread. The handles own what they hold and free it
// in their destructors.

#include <cstddef>
#include <memory>
#include <string>

#include "platform/socket.h"

namespace quillstash::platform {

// Why a handshake ended without a session; the first four are certificate
// checks the client made.
enum class TlsFailure {
  kNone,
  kExpired,        // the certificate (or one above it) is past its end date or not yet valid
  kWrongHost,      // the certificate names other hosts
  kUnknownIssuer,  // no trusted certificate vouches for it
  kUntrusted,      // rejected for another reason (revoked, bad signature, wrong purpose)
  kHandshake,      // the peers found no common ground, or the peer broke off
};

// The plain words of a failure, as log lines show it ("certificate has expired").
const char* describeTlsFailure(TlsFailure failure);

// Whether this build can serve TLS (TlsServerContext). The Windows build has
// the client side only; its server contexts never open.
bool tlsServerAvailable();

struct TlsClientOptions {
  bool verifyPeer = true;  // false: any certificate is accepted
  std::string caFile;      // PEM certificates trusted beside the system's ones; empty = none
};

// The configuration every client session is made from.
class TlsClientContext {
 public:
  TlsClientContext();
  ~TlsClientContext();
  TlsClientContext(const TlsClientContext&) = delete;
  TlsClientContext& operator=(const TlsClientContext&) = delete;

  // Loads the trust: the system's store, then `options.caFile`. False (with
  // `error` set) when the CA file cannot be read; the context is then unusable.
  bool open(const TlsClientOptions& options, std::string& error);
  bool isOpen() const;
  const TlsClientOptions& options() const { return options_; }

 private:
  friend class TlsSession;
  struct Handle;
  std::unique_ptr<Handle> handle_;
  TlsClientOptions options_;
};

// The configuration of a server: one certificate chain and its private key.
class TlsServerContext {
 public:
  TlsServerContext();
  ~TlsServerContext();
  TlsServerContext(const TlsServerContext&) = delete;
  TlsServerContext& operator=(const TlsServerContext&) = delete;

  // Reads both from PEM texts; false when either is not valid or they do not match.
  bool open(const std::string& certificatePem, const std::string& keyPem);
  bool isOpen() const;

 private:
  friend class TlsSession;
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

// What a session call asks for before it can go on.
enum class TlsStep { kDone, kWantRead, kWantWrite, kClosed, kFailed };

// One TLS connection over a socket the caller owns and keeps open while the
// session lives. Move-only; frees its state on destruction (no close alert is
// sent: the HTTP exchange ends with the socket's close).
class TlsSession {
 public:
  TlsSession();
  ~TlsSession();
  TlsSession(TlsSession&& other) noexcept;
  TlsSession& operator=(TlsSession&& other) noexcept;
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  // Sets the session up as a client of `hostName` (sent as SNI and, with
  // checking on, matched against the certificate; an IPv4 address is matched
  // as an address). False when the context is not open.
  bool startClient(const TlsClientContext& context, SocketHandle socket, const char* hostName);
  // Sets the session up as a server.
  bool startServer(const TlsServerContext& context, SocketHandle socket);
  bool isOpen() const;

  // Drives the handshake: kDone when finished, kWantRead / kWantWrite to be
  // called again once the socket is ready, kFailed with failure() set.
  TlsStep handshake();
  TlsFailure failure() const { return failure_; }

  // Bytes decrypted and waiting, readable without touching the socket.
  std::size_t pending() const;

  // Reads at most `capacity` bytes: kDone with `got` set, kClosed at the
  // peer's end of the stream, kWantRead / kWantWrite, or kFailed.
  TlsStep read(char* buffer, std::size_t capacity, std::size_t& got);

  // Writes some of [data, data + length): kDone with `sent` set (> 0),
  // kWantRead / kWantWrite, or kFailed.
  TlsStep write(const char* data, std::size_t length, std::size_t& sent);

  // Forgets the session (the socket is not touched).
  void close();

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  TlsFailure failure_ = TlsFailure::kNone;
};

}  // namespace quillstash::platform
