// SPDX-License-Identifier: MIT
#pragma once

// Certificates for https tests, made when a test starts: a CA of the test's
// own, the file that holds it (for the CA-file setting), and server
// certificates it signs. No key is ever committed or reused.

#include <string>
#include <vector>

#include "certificates.h"
#include "support/temp_dir.h"

namespace quillstash::test {

class TestPki {
 public:
  TestPki();

  // The PEM file of the test CA.
  const std::string& caFile() const { return caFile_; }

  // A server certificate for `names`, valid from now + `fromSeconds` to now + `toSeconds`.
  demo::PemPair server(const std::vector<std::string>& names = {"127.0.0.1"}, long fromSeconds = -3600,
                       long toSeconds = 86400) const;
  // A server certificate for 127.0.0.1 signed by a CA nobody trusts.
  static demo::PemPair strangerServer();

 private:
  TempDir dir_;
  demo::PemPair authority_;
  std::string caFile_;
};

}  // namespace quillstash::test
