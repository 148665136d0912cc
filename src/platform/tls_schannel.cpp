// SPDX-License-Identifier: MIT
// The client side of TLS through the system's own TLS (SChannel, reached by
// SSPI) and the system's trust store. SChannel is told not to judge the
// server's certificate itself; the session checks it after the handshake with
// the certificate chain API, so that the extra CA file counts as trust and
// every failure gets the same plain words as on other systems. The server
// side is not offered here.
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "platform/tls.h"
#include "platform/win32_support.h"

namespace quillstash::platform {
namespace {

constexpr std::size_t kReceiveChunk = 16 * 1024 + 512;  // one full TLS record and its overhead

struct StoreClose {
  void operator()(HCERTSTORE store) const { ::CertCloseStore(store, 0); }
};
using Store = std::unique_ptr<void, StoreClose>;

struct CertificateFree {
  void operator()(const CERT_CONTEXT* certificate) const { ::CertFreeCertificateContext(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

struct ChainFree {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { ::CertFreeCertificateChain(chain); }
};

// The whole content of the file at the UTF-8 `path`, false when unreadable.
bool readFile(const std::string& path, std::string& out) {
  HANDLE file = ::CreateFileW(win32::longPath(path.c_str()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  out.clear();
  char buffer[8192];
  DWORD got = 0;
  bool ok = true;
  while (true) {
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    out.append(buffer, got);
  }
  ::CloseHandle(file);
  return ok;
}

// Adds every certificate of a PEM text to `store`; the number added.
int addPemCertificates(const std::string& pem, HCERTSTORE store) {
  static const std::string kBegin = "-----BEGIN CERTIFICATE-----";
  static const std::string kEnd = "-----END CERTIFICATE-----";
  int added = 0;
  std::size_t at = 0;
  while ((at = pem.find(kBegin, at)) != std::string::npos) {
    const std::size_t end = pem.find(kEnd, at);
    if (end == std::string::npos) break;
    const std::string block = pem.substr(at, end + kEnd.size() - at);
    at = end + kEnd.size();
    DWORD size = 0;
    if (!::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                &size, nullptr, nullptr)) {
      continue;
    }
    std::vector<BYTE> der(size);
    if (!::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                                &size, nullptr, nullptr)) {
      continue;
    }
    if (::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_USE_EXISTING,
                                           nullptr)) {
      ++added;
    }
  }
  return added;
}

std::wstring lowerCase(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// A DNS name of a certificate against the host: equal ignoring case, or a
// wildcard that stands for exactly the whole leftmost label ("*.example.org").
bool dnsNameMatches(std::wstring pattern, const std::wstring& host) {
  pattern = lowerCase(pattern);
  if (pattern == host) return true;
  if (pattern.size() < 3 || pattern.compare(0, 2, L"*.") != 0) return false;
  const std::size_t dot = host.find(L'.');
  if (dot == std::wstring::npos || dot == 0) return false;
  const std::wstring suffix = pattern.substr(1);  // ".example.org"
  // A wildcard never covers a top-level label alone ("*.org").
  if (suffix.find(L'.', 1) == std::wstring::npos) return false;
  return host.compare(dot, std::wstring::npos, suffix) == 0;
}

// Whether `certificate` names `host`: its subject alternative names (an IPv4
// address is matched against the address entries only), or, when it has no
// DNS names there, its subject's common name.
bool certificateNamesHost(const CERT_CONTEXT* certificate, const std::string& host) {
  std::uint32_t address = 0;
  const bool isAddress = parseDottedAddress(host.c_str(), address);
  const std::wstring wideHost = lowerCase(win32::widen(host.c_str()));
  bool sawDnsName = false;
  const CERT_EXTENSION* extension = ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, certificate->pCertInfo->cExtension,
                                                        certificate->pCertInfo->rgExtension);
  if (extension != nullptr) {
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData, extension->Value.cbData,
                              CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size)) {
      bool matched = false;
      for (DWORD i = 0; i < names->cAltEntry && !matched; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME) {
          sawDnsName = true;
          if (!isAddress && entry.pwszDNSName != nullptr) matched = dnsNameMatches(entry.pwszDNSName, wideHost);
        } else if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && isAddress && entry.IPAddress.cbData == 4) {
          const BYTE* b = entry.IPAddress.pbData;
          const std::uint32_t value = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                                      (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
          matched = value == address;
        }
      }
      ::LocalFree(names);
      if (matched) return true;
    }
  }
  if (isAddress || sawDnsName) return false;
  wchar_t commonName[256] = {};
  ::CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(szOID_COMMON_NAME), commonName,
                       static_cast<DWORD>(std::size(commonName)));
  return commonName[0] != L'\0' && dnsNameMatches(commonName, wideHost);
}

// Judges the server's certificate: a chain to a root the system trusts or one
// from the CA file, every certificate in it within its dates, and the name.
TlsFailure checkCertificate(const CERT_CONTEXT* certificate, HCERTSTORE extraTrust, const std::string& host) {
  // The chain is built from the system's stores, the certificates the
  // server sent, and the CA file's ones.
  Store pool(::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
  if (!pool) return TlsFailure::kUntrusted;
  if (certificate->hCertStore != nullptr) ::CertAddStoreToCollection(pool.get(), certificate->hCertStore, 0, 0);
  if (extraTrust != nullptr) ::CertAddStoreToCollection(pool.get(), extraTrust, 0, 0);

  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  const CERT_CHAIN_CONTEXT* built = nullptr;
  if (!::CertGetCertificateChain(nullptr, certificate, nullptr, pool.get(), &parameters, 0, nullptr, &built)) {
    return TlsFailure::kUntrusted;
  }
  std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> chain(built);
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return TlsFailure::kUnknownIssuer;
  DWORD errors = chain->TrustStatus.dwErrorStatus;

  // A root the system does not know is trusted when the CA file holds it.
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  const CERT_CONTEXT* root = simple->rgpElement[simple->cElement - 1]->pCertContext;
  if ((errors & CERT_TRUST_IS_UNTRUSTED_ROOT) != 0 && extraTrust != nullptr &&
      (errors & CERT_TRUST_IS_PARTIAL_CHAIN) == 0) {
    Certificate known(
        ::CertFindCertificateInStore(extraTrust, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, root, nullptr));
    if (known) errors &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
  }
  // Revocation is not asked for; its "unknown" flags are no failure.
  errors &= ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);

  if ((errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) != 0) return TlsFailure::kUnknownIssuer;
  if ((errors & CERT_TRUST_IS_NOT_TIME_VALID) != 0) return TlsFailure::kExpired;
  if (errors != 0) return TlsFailure::kUntrusted;
  if (!certificateNamesHost(certificate, host)) return TlsFailure::kWrongHost;
  return TlsFailure::kNone;
}

bool wouldBlock() { return lastSocketError() == WSAEWOULDBLOCK; }

}  // namespace

bool tlsServerAvailable() { return false; }

struct TlsClientContext::Handle {
  CredHandle credentials{};
  Store extraTrust;  // the CA file's certificates; null without one

  ~Handle() { ::FreeCredentialsHandle(&credentials); }
};

TlsClientContext::TlsClientContext() = default;
TlsClientContext::~TlsClientContext() = default;

bool TlsClientContext::open(const TlsClientOptions& options, std::string& error) {
  handle_.reset();
  options_ = options;
  auto handle = std::make_unique<Handle>();
  if (options.verifyPeer && !options.caFile.empty()) {
    std::string pem;
    handle->extraTrust.reset(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!handle->extraTrust || !readFile(options.caFile, pem) ||
        addPemCertificates(pem, handle->extraTrust.get()) == 0) {
      error = "cannot read the CA file " + options.caFile;
      return false;
    }
  }
  SCHANNEL_CRED settings{};
  settings.dwVersion = SCHANNEL_CRED_VERSION;
  settings.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  // The certificate is checked by the session itself (see checkCertificate).
  settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TimeStamp expiry{};
  const SECURITY_STATUS status =
      ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &settings,
                                  nullptr, nullptr, &handle->credentials, &expiry);
  if (status != SEC_E_OK) {
    handle->credentials = CredHandle{};
    error = "cannot set up TLS";
    return false;
  }
  handle_ = std::move(handle);
  return true;
}

bool TlsClientContext::isOpen() const { return handle_ != nullptr; }

struct TlsServerContext::Handle {};

TlsServerContext::TlsServerContext() = default;
TlsServerContext::~TlsServerContext() = default;

bool TlsServerContext::open(const std::string&, const std::string&) {
  handle_.reset();
  return false;
}

bool TlsServerContext::isOpen() const { return false; }

struct TlsSession::Handle {
  CredHandle* credentials = nullptr;  // the context's; it outlives the session
  HCERTSTORE extraTrust = nullptr;    // the context's too
  CtxtHandle context{};
  bool haveContext = false;
  bool established = false;
  bool verifying = false;
  bool peerClosed = false;
  std::string host;
  SocketHandle socket = kInvalidSocket;
  SecPkgContext_StreamSizes sizes{};
  std::string received;           // encrypted bytes not yet used
  std::string outgoing;           // encrypted bytes not yet on the wire
  std::size_t outgoingPlain = 0;  // the caller's bytes they stand for (write)
  std::string plain;              // decrypted bytes not yet read
  std::size_t plainAt = 0;

  ~Handle() {
    if (haveContext) ::DeleteSecurityContext(&context);
  }

  // Sends what is waiting: kDone when all is out, kWantWrite, or kFailed.
  TlsStep flush() {
    while (!outgoing.empty()) {
      const long sent = sendBytes(socket, outgoing.data(), outgoing.size());
      if (sent < 0) return wouldBlock() ? TlsStep::kWantWrite : TlsStep::kFailed;
      outgoing.erase(0, static_cast<std::size_t>(sent));
    }
    return TlsStep::kDone;
  }

  // Reads what the socket has into `received`: kDone, kWantRead, kClosed
  // (the peer closed the connection), or kFailed.
  TlsStep receive() {
    char buffer[kReceiveChunk];
    const long got = receiveBytes(socket, buffer, sizeof buffer);
    if (got < 0) return wouldBlock() ? TlsStep::kWantRead : TlsStep::kFailed;
    if (got == 0) return TlsStep::kClosed;
    received.append(buffer, static_cast<std::size_t>(got));
    return TlsStep::kDone;
  }

  // Keeps the unused tail that SChannel reports in `buffer` (SECBUFFER_EXTRA).
  void keepExtra(const SecBuffer& buffer) {
    if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0 && buffer.cbBuffer <= received.size()) {
      received.erase(0, received.size() - buffer.cbBuffer);
    } else {
      received.clear();
    }
  }

  std::size_t waiting() const { return plain.size() - plainAt; }

  // Decrypts every whole record in `received`: kDone (perhaps with nothing
  // new), kClosed at the peer's close alert, or kFailed.
  TlsStep decryptAvailable() {
    while (!received.empty() && !peerClosed) {
      SecBuffer buffers[4] = {};
      buffers[0].BufferType = SECBUFFER_DATA;
      buffers[0].pvBuffer = received.data();
      buffers[0].cbBuffer = static_cast<unsigned long>(received.size());
      for (int i = 1; i < 4; ++i) buffers[i].BufferType = SECBUFFER_EMPTY;
      SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = ::DecryptMessage(&context, &description, 0, nullptr);
      if (status == SEC_E_INCOMPLETE_MESSAGE) return TlsStep::kDone;
      if (status == SEC_I_CONTEXT_EXPIRED) {
        peerClosed = true;
        received.clear();
        return TlsStep::kClosed;
      }
      if (status != SEC_E_OK) return TlsStep::kFailed;
      if (plainAt == plain.size()) {
        plain.clear();
        plainAt = 0;
      }
      const SecBuffer* extra = nullptr;
      for (const SecBuffer& buffer : buffers) {
        if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
          plain.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
        }
        if (buffer.BufferType == SECBUFFER_EXTRA) extra = &buffer;
      }
      if (extra != nullptr) {
        keepExtra(*extra);
      } else {
        received.clear();
      }
    }
    return peerClosed ? TlsStep::kClosed : TlsStep::kDone;
  }

  // One call of InitializeSecurityContext with what has been received.
  SECURITY_STATUS step() {
    constexpr unsigned long kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                       ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
    SecBuffer output[1] = {};
    output[0].BufferType = SECBUFFER_TOKEN;
    SecBufferDesc outputDescription{SECBUFFER_VERSION, 1, output};
    unsigned long attributes = 0;
    TimeStamp expiry{};
    // Addresses are no server names: they go out without SNI.
    std::uint32_t address = 0;
    std::wstring target = parseDottedAddress(host.c_str(), address) ? std::wstring() : win32::widen(host.c_str());
    wchar_t* targetName = target.empty() ? nullptr : target.data();
    SECURITY_STATUS status;
    SecBuffer input[2] = {};
    if (!haveContext) {
      status = ::InitializeSecurityContextW(credentials, nullptr, targetName, kRequest, 0, 0, nullptr, 0, &context,
                                            &outputDescription, &attributes, &expiry);
      if (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK) haveContext = true;
    } else {
      input[0].BufferType = SECBUFFER_TOKEN;
      input[0].pvBuffer = received.data();
      input[0].cbBuffer = static_cast<unsigned long>(received.size());
      input[1].BufferType = SECBUFFER_EMPTY;
      SecBufferDesc inputDescription{SECBUFFER_VERSION, 2, input};
      status = ::InitializeSecurityContextW(credentials, &context, targetName, kRequest, 0, 0, &inputDescription, 0,
                                            nullptr, &outputDescription, &attributes, &expiry);
    }
    if (output[0].pvBuffer != nullptr) {
      if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) {
        outgoing.append(static_cast<const char*>(output[0].pvBuffer), output[0].cbBuffer);
      }
      ::FreeContextBuffer(output[0].pvBuffer);
    }
    if (haveContext && status != SEC_E_INCOMPLETE_MESSAGE && input[0].BufferType == SECBUFFER_TOKEN) {
      keepExtra(input[1]);
    }
    return status;
  }
};

TlsSession::TlsSession() = default;
TlsSession::~TlsSession() = default;
TlsSession::TlsSession(TlsSession&& other) noexcept = default;
TlsSession& TlsSession::operator=(TlsSession&& other) noexcept = default;

bool TlsSession::startClient(const TlsClientContext& context, SocketHandle socket, const char* hostName) {
  close();
  if (!context.isOpen()) return false;
  auto handle = std::make_unique<Handle>();
  handle->credentials = &context.handle_->credentials;
  handle->extraTrust = context.handle_->extraTrust.get();
  handle->verifying = context.options().verifyPeer;
  handle->host = hostName;
  handle->socket = socket;
  handle_ = std::move(handle);
  failure_ = TlsFailure::kNone;
  return true;
}

bool TlsSession::startServer(const TlsServerContext&, SocketHandle) {
  close();
  return false;
}

bool TlsSession::isOpen() const { return handle_ != nullptr; }

TlsStep TlsSession::handshake() {
  if (!handle_) return TlsStep::kFailed;
  Handle& h = *handle_;
  auto fail = [&](TlsFailure why) {
    failure_ = why;
    return TlsStep::kFailed;
  };
  bool needInput = h.haveContext && h.received.empty();
  while (true) {
    const TlsStep flushed = h.flush();
    if (flushed == TlsStep::kWantWrite) return flushed;
    if (flushed == TlsStep::kFailed) return fail(TlsFailure::kHandshake);
    if (h.established) return TlsStep::kDone;
    if (needInput) {
      const TlsStep got = h.receive();
      if (got == TlsStep::kWantRead) return got;
      if (got != TlsStep::kDone) return fail(TlsFailure::kHandshake);
    }
    const SECURITY_STATUS status = h.step();
    needInput = false;
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      needInput = true;
    } else if (status == SEC_I_CONTINUE_NEEDED) {
      needInput = h.received.empty();
    } else if (status == SEC_E_OK) {
      if (::QueryContextAttributesW(&h.context, SECPKG_ATTR_STREAM_SIZES, &h.sizes) != SEC_E_OK) {
        return fail(TlsFailure::kHandshake);
      }
      if (h.verifying) {
        const CERT_CONTEXT* remote = nullptr;
        if (::QueryContextAttributesW(&h.context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote) != SEC_E_OK ||
            remote == nullptr) {
          return fail(TlsFailure::kHandshake);
        }
        Certificate peer(remote);
        const TlsFailure judged = checkCertificate(peer.get(), h.extraTrust, h.host);
        if (judged != TlsFailure::kNone) return fail(judged);
      }
      h.established = true;
      // Application data that came with the last handshake message.
      if (h.decryptAvailable() == TlsStep::kFailed) return fail(TlsFailure::kHandshake);
    } else {
      return fail(TlsFailure::kHandshake);
    }
  }
}

std::size_t TlsSession::pending() const { return handle_ ? handle_->waiting() : 0; }

TlsStep TlsSession::read(char* buffer, std::size_t capacity, std::size_t& got) {
  got = 0;
  if (!handle_ || !handle_->established) return TlsStep::kFailed;
  Handle& h = *handle_;
  while (h.waiting() == 0) {
    if (h.peerClosed) return TlsStep::kClosed;
    const TlsStep received = h.receive();
    if (received == TlsStep::kClosed) {
      // A close without an alert ends the stream as well (servers of
      // HTTP/1.0 often end a response that way).
      h.peerClosed = true;
      return TlsStep::kClosed;
    }
    if (received != TlsStep::kDone) return received;
    const TlsStep decrypted = h.decryptAvailable();
    if (decrypted == TlsStep::kFailed) return decrypted;
  }
  got = std::min(capacity, h.waiting());
  std::memcpy(buffer, h.plain.data() + h.plainAt, got);
  h.plainAt += got;
  return TlsStep::kDone;
}

TlsStep TlsSession::write(const char* data, std::size_t length, std::size_t& sent) {
  sent = 0;
  if (!handle_ || !handle_->established) return TlsStep::kFailed;
  Handle& h = *handle_;
  // A record still going out from an earlier call stands for the first
  // bytes of this one (the caller repeats a write that had to wait).
  if (h.outgoing.empty() && length > 0) {
    const std::size_t chunk = std::min<std::size_t>(length, h.sizes.cbMaximumMessage);
    std::string record(h.sizes.cbHeader + chunk + h.sizes.cbTrailer, '\0');
    std::memcpy(record.data() + h.sizes.cbHeader, data, chunk);
    SecBuffer buffers[4] = {};
    buffers[0] = {h.sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()};
    buffers[1] = {static_cast<unsigned long>(chunk), SECBUFFER_DATA, record.data() + h.sizes.cbHeader};
    buffers[2] = {h.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + h.sizes.cbHeader + chunk};
    buffers[3] = {0, SECBUFFER_EMPTY, nullptr};
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    if (::EncryptMessage(&h.context, 0, &description, 0) != SEC_E_OK) return TlsStep::kFailed;
    record.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    h.outgoing = std::move(record);
    h.outgoingPlain = chunk;
  }
  const TlsStep flushed = h.flush();
  if (flushed != TlsStep::kDone) return flushed;
  sent = h.outgoingPlain;
  h.outgoingPlain = 0;
  return TlsStep::kDone;
}

void TlsSession::close() { handle_.reset(); }

}  // namespace quillstash::platform
