// SPDX-License-Identifier: MIT
#include "platform/tls.h"

namespace quillstash::platform {

const char* describeTlsFailure(TlsFailure failure) {
  switch (failure) {
    case TlsFailure::kNone: return "no error";
    case TlsFailure::kExpired: return "certificate has expired";
    case TlsFailure::kWrongHost: return "certificate is for another host";
    case TlsFailure::kUnknownIssuer: return "unknown issuer";
    case TlsFailure::kUntrusted: return "certificate not trusted";
    case TlsFailure::kHandshake: return "handshake failed";
  }
  return "handshake failed";
}

}  // namespace quillstash::platform
