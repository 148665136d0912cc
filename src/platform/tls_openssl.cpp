// SPDX-License-Identifier: MIT
#include "platform/tls.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <climits>
#include <mutex>

namespace quillstash::platform {
namespace {

// The Windows Sockets code of "would block", as lastSocketError() reports it.
constexpr int kWouldBlock = 10035;

// A BIO that moves bytes through the platform's socket calls, so that writes
// never raise SIGPIPE and errors read the same as on plain connections.
// What the BIO holds: the socket, and whether a read met the peer's close
// (BIO_eof asks; with it OpenSSL takes a close without an alert as the end).
struct BioState {
  SocketHandle socket = kInvalidSocket;
  bool ended = false;
};

BioState& stateOf(BIO* bio) { return *static_cast<BioState*>(BIO_get_data(bio)); }

int bioWrite(BIO* bio, const char* data, int length) {
  BIO_clear_retry_flags(bio);
  const long sent = sendBytes(stateOf(bio).socket, data, static_cast<std::size_t>(length));
  if (sent < 0 && lastSocketError() == kWouldBlock) BIO_set_retry_write(bio);
  return static_cast<int>(sent);
}

int bioRead(BIO* bio, char* buffer, int capacity) {
  BIO_clear_retry_flags(bio);
  BioState& state = stateOf(bio);
  const long got = receiveBytes(state.socket, buffer, static_cast<std::size_t>(capacity));
  if (got < 0 && lastSocketError() == kWouldBlock) BIO_set_retry_read(bio);
  if (got == 0 && capacity > 0) state.ended = true;
  return static_cast<int>(got);
}

long bioControl(BIO* bio, int command, long, void*) {
  if (command == BIO_CTRL_FLUSH) return 1;
  if (command == BIO_CTRL_EOF) return stateOf(bio).ended ? 1 : 0;
  return 0;
}

int bioCreate(BIO* bio) {
  BIO_set_data(bio, new BioState);
  BIO_set_init(bio, 1);
  return 1;
}

int bioDestroy(BIO* bio) {
  delete static_cast<BioState*>(BIO_get_data(bio));
  BIO_set_data(bio, nullptr);
  return 1;
}

// The method table is made once and never freed (it holds no resources).
BIO_METHOD* socketBioMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quillstash socket");
    BIO_meth_set_write(m, bioWrite);
    BIO_meth_set_read(m, bioRead);
    BIO_meth_set_ctrl(m, bioControl);
    BIO_meth_set_create(m, bioCreate);
    BIO_meth_set_destroy(m, bioDestroy);
    return m;
  }();
  return method;
}

TlsFailure failureOfVerifyResult(long result) {
  switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID: return TlsFailure::kExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return TlsFailure::kWrongHost;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN: return TlsFailure::kUnknownIssuer;
    default: return TlsFailure::kUntrusted;
  }
}

struct ContextFree {
  void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// Servers of HTTP/1.0 end a response by closing the connection, often
// without a close alert: that is the end of the body, not an attack.
void applyCommonOptions(SSL_CTX* context) {
  SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
}

}  // namespace

bool tlsServerAvailable() { return true; }

struct TlsClientContext::Handle {
  std::unique_ptr<SSL_CTX, ContextFree> context;
};

TlsClientContext::TlsClientContext() = default;
TlsClientContext::~TlsClientContext() = default;

bool TlsClientContext::open(const TlsClientOptions& options, std::string& error) {
  handle_.reset();
  options_ = options;
  std::unique_ptr<SSL_CTX, ContextFree> context(SSL_CTX_new(TLS_client_method()));
  if (!context) {
    error = "cannot set up TLS";
    return false;
  }
  applyCommonOptions(context.get());
  if (options.verifyPeer) {
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(context.get());
    if (!options.caFile.empty() && SSL_CTX_load_verify_locations(context.get(), options.caFile.c_str(), nullptr) != 1) {
      ERR_clear_error();
      error = "cannot read the CA file " + options.caFile;
      return false;
    }
  } else {
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_NONE, nullptr);
  }
  ERR_clear_error();
  handle_ = std::make_unique<Handle>();
  handle_->context = std::move(context);
  return true;
}

bool TlsClientContext::isOpen() const { return handle_ != nullptr; }

struct TlsServerContext::Handle {
  std::unique_ptr<SSL_CTX, ContextFree> context;
};

TlsServerContext::TlsServerContext() = default;
TlsServerContext::~TlsServerContext() = default;

bool TlsServerContext::open(const std::string& certificatePem, const std::string& keyPem) {
  handle_.reset();
  std::unique_ptr<SSL_CTX, ContextFree> context(SSL_CTX_new(TLS_server_method()));
  if (!context) return false;
  applyCommonOptions(context.get());
  bool ok = false;
  if (BIO* certificates = BIO_new_mem_buf(certificatePem.data(), static_cast<int>(certificatePem.size()))) {
    if (X509* leaf = PEM_read_bio_X509(certificates, nullptr, nullptr, nullptr)) {
      ok = SSL_CTX_use_certificate(context.get(), leaf) == 1;
      X509_free(leaf);
      // Any further certificates in the text complete the chain.
      while (ok) {
        X509* extra = PEM_read_bio_X509(certificates, nullptr, nullptr, nullptr);
        if (extra == nullptr) break;
        if (SSL_CTX_add_extra_chain_cert(context.get(), extra) != 1) {
          X509_free(extra);
          ok = false;
        }
      }
    }
    BIO_free(certificates);
  }
  if (ok) {
    ok = false;
    if (BIO* keyText = BIO_new_mem_buf(keyPem.data(), static_cast<int>(keyPem.size()))) {
      if (EVP_PKEY* key = PEM_read_bio_PrivateKey(keyText, nullptr, nullptr, nullptr)) {
        ok = SSL_CTX_use_PrivateKey(context.get(), key) == 1 && SSL_CTX_check_private_key(context.get()) == 1;
        EVP_PKEY_free(key);
      }
      BIO_free(keyText);
    }
  }
  ERR_clear_error();
  if (!ok) return false;
  handle_ = std::make_unique<Handle>();
  handle_->context = std::move(context);
  return true;
}

bool TlsServerContext::isOpen() const { return handle_ != nullptr; }

struct TlsSession::Handle {
  std::unique_ptr<SSL, SslFree> ssl;
  bool verifying = false;
};

TlsSession::TlsSession() = default;
TlsSession::~TlsSession() = default;
TlsSession::TlsSession(TlsSession&& other) noexcept = default;
TlsSession& TlsSession::operator=(TlsSession&& other) noexcept = default;

namespace {

std::unique_ptr<SSL, SslFree> newSession(SSL_CTX* context, SocketHandle socket) {
  std::unique_ptr<SSL, SslFree> ssl(SSL_new(context));
  if (!ssl) return ssl;
  BIO* bio = BIO_new(socketBioMethod());
  if (bio == nullptr) return nullptr;
  stateOf(bio).socket = socket;
  SSL_set_bio(ssl.get(), bio, bio);  // the session owns the BIO from here on
  return ssl;
}

}  // namespace

bool TlsSession::startClient(const TlsClientContext& context, SocketHandle socket, const char* hostName) {
  close();
  if (!context.isOpen()) return false;
  auto ssl = newSession(context.handle_->context.get(), socket);
  if (!ssl) return false;
  std::uint32_t address = 0;
  const bool isAddress = parseDottedAddress(hostName, address);
  // Server names go out as SNI; addresses are not names and are never sent.
  if (!isAddress) SSL_set_tlsext_host_name(ssl.get(), hostName);
  if (context.options().verifyPeer) {
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl.get());
    const int set =
        isAddress ? X509_VERIFY_PARAM_set1_ip_asc(param, hostName) : X509_VERIFY_PARAM_set1_host(param, hostName, 0);
    if (set != 1) return false;
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  }
  SSL_set_connect_state(ssl.get());
  handle_ = std::make_unique<Handle>();
  handle_->ssl = std::move(ssl);
  handle_->verifying = context.options().verifyPeer;
  failure_ = TlsFailure::kNone;
  return true;
}

bool TlsSession::startServer(const TlsServerContext& context, SocketHandle socket) {
  close();
  if (!context.isOpen()) return false;
  auto ssl = newSession(context.handle_->context.get(), socket);
  if (!ssl) return false;
  SSL_set_accept_state(ssl.get());
  handle_ = std::make_unique<Handle>();
  handle_->ssl = std::move(ssl);
  failure_ = TlsFailure::kNone;
  return true;
}

bool TlsSession::isOpen() const { return handle_ != nullptr; }

TlsStep TlsSession::handshake() {
  if (!handle_) return TlsStep::kFailed;
  SSL* ssl = handle_->ssl.get();
  ERR_clear_error();
  const int result = SSL_do_handshake(ssl);
  if (result == 1) return TlsStep::kDone;
  const int error = SSL_get_error(ssl, result);
  if (error == SSL_ERROR_WANT_READ) return TlsStep::kWantRead;
  if (error == SSL_ERROR_WANT_WRITE) return TlsStep::kWantWrite;
  const long verified = SSL_get_verify_result(ssl);
  failure_ = handle_->verifying && verified != X509_V_OK ? failureOfVerifyResult(verified) : TlsFailure::kHandshake;
  ERR_clear_error();
  return TlsStep::kFailed;
}

std::size_t TlsSession::pending() const {
  if (!handle_) return 0;
  const int waiting = SSL_pending(handle_->ssl.get());
  return waiting > 0 ? static_cast<std::size_t>(waiting) : 0;
}

TlsStep TlsSession::read(char* buffer, std::size_t capacity, std::size_t& got) {
  got = 0;
  if (!handle_) return TlsStep::kFailed;
  SSL* ssl = handle_->ssl.get();
  ERR_clear_error();
  std::size_t read = 0;
  if (SSL_read_ex(ssl, buffer, capacity, &read) == 1) {
    got = read;
    return TlsStep::kDone;
  }
  const int error = SSL_get_error(ssl, 0);
  ERR_clear_error();
  switch (error) {
    case SSL_ERROR_WANT_READ: return TlsStep::kWantRead;
    case SSL_ERROR_WANT_WRITE: return TlsStep::kWantWrite;
    case SSL_ERROR_ZERO_RETURN: return TlsStep::kClosed;
    default: return TlsStep::kFailed;
  }
}

TlsStep TlsSession::write(const char* data, std::size_t length, std::size_t& sent) {
  sent = 0;
  if (!handle_) return TlsStep::kFailed;
  SSL* ssl = handle_->ssl.get();
  ERR_clear_error();
  std::size_t written = 0;
  if (SSL_write_ex(ssl, data, length, &written) == 1) {
    sent = written;
    return TlsStep::kDone;
  }
  const int error = SSL_get_error(ssl, 0);
  ERR_clear_error();
  if (error == SSL_ERROR_WANT_READ) return TlsStep::kWantRead;
  if (error == SSL_ERROR_WANT_WRITE) return TlsStep::kWantWrite;
  return TlsStep::kFailed;
}

void TlsSession::close() { handle_.reset(); }

}  // namespace quillstash::platform
