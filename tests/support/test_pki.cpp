// SPDX-License-Identifier: MIT
#include "support/test_pki.h"

#include <fstream>
#include <stdexcept>

#include "platform/tls.h"

namespace quillstash::test {

TestPki::TestPki() {
  // Without a TLS server side there is nothing to certify (the https tests skip).
  if (!platform::tlsServerAvailable()) return;
  if (!demo::makeAuthority("Quillstash Test CA", authority_)) throw std::runtime_error("test CA not made");
  caFile_ = dir_.file("ca.pem");
  std::ofstream(caFile_, std::ios::binary) << authority_.certificate;
}

demo::PemPair TestPki::server(const std::vector<std::string>& names, long fromSeconds, long toSeconds) const {
  demo::PemPair pair;
  if (!demo::makeServerCertificate(authority_, names, fromSeconds, toSeconds, pair)) {
    throw std::runtime_error("test server certificate not made");
  }
  return pair;
}

demo::PemPair TestPki::strangerServer() {
  demo::PemPair stranger;
  demo::PemPair pair;
  if (!demo::makeAuthority("Stranger CA", stranger) ||
      !demo::makeServerCertificate(stranger, {"127.0.0.1"}, -3600, 86400, pair)) {
    throw std::runtime_error("stranger certificate not made");
  }
  return pair;
}

}  // namespace quillstash::test
