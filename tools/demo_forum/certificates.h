// SPDX-License-Identifier: MIT
#pragma once

// Throwaway certificates for serving https on loopback: a certificate
// authority made on the spot and server certificates it signs. Keys live in
// memory only (written out by whoever needs a file); nothing is ever reused
// across runs.

#include <string>
#include <vector>

namespace quillstash::demo {

// A certificate and its private key, both PEM.
struct PemPair {
  std::string certificate;
  std::string key;
};

// A self-signed CA named `commonName`, valid from an hour ago for ten years.
// False when the key or the certificate could not be made.
bool makeAuthority(const std::string& commonName, PemPair& authority);

// A server certificate signed by `authority` for `names` (DNS names, or
// dotted IPv4 addresses), valid from now + `validFromSeconds` to now +
// `validToSeconds` (negative values lie in the past).
bool makeServerCertificate(const PemPair& authority, const std::vector<std::string>& names, long validFromSeconds,
                           long validToSeconds, PemPair& server);

}  // namespace quillstash::demo
