// SPDX-License-Identifier: MIT
// Where the build has no TLS server side, no certificates are made for one.
#include "certificates.h"

namespace quillstash::demo {

bool makeAuthority(const std::string&, PemPair&) { return false; }

bool makeServerCertificate(const PemPair&, const std::vector<std::string>&, long, long, PemPair&) { return false; }

}  // namespace quillstash::demo
