// SPDX-License-Identifier: MIT
#include "certificates.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <ctime>
#include <memory>

namespace quillstash::demo {
namespace {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Certificate = std::unique_ptr<X509, CertificateFree>;
using Bio = std::unique_ptr<BIO, BioFree>;

// EC keys: quick to make, so every test run can have its own.
Key newKey() { return Key(EVP_EC_gen("P-256")); }

std::string bioText(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(length));
}

bool toPem(X509* certificate, EVP_PKEY* key, PemPair& out) {
  Bio certificateText(BIO_new(BIO_s_mem()));
  Bio keyText(BIO_new(BIO_s_mem()));
  if (!certificateText || !keyText || PEM_write_bio_X509(certificateText.get(), certificate) != 1 ||
      PEM_write_bio_PrivateKey(keyText.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    return false;
  }
  out.certificate = bioText(certificateText.get());
  out.key = bioText(keyText.get());
  return true;
}

bool addExtension(X509* certificate, X509* issuer, int id, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, id, value.c_str());
  if (extension == nullptr) return false;
  const bool added = X509_add_ext(certificate, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

Certificate newCertificate(EVP_PKEY* key, const std::string& commonName, long fromSeconds, long toSeconds) {
  Certificate certificate(X509_new());
  if (!certificate) return certificate;
  static std::atomic<long> serial{1};
  X509_set_version(certificate.get(), 2);
  // Serial numbers differ per run and per certificate.
  ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()),
                   static_cast<long>(std::time(nullptr) & 0xFFFFFF) * 64 + serial++);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), fromSeconds);
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), toSeconds);
  X509_set_pubkey(certificate.get(), key);
  X509_NAME* name = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                             -1, 0);
  return certificate;
}

}  // namespace

bool makeAuthority(const std::string& commonName, PemPair& authority) {
  Key key = newKey();
  if (!key) return false;
  Certificate certificate = newCertificate(key.get(), commonName, -3600, 10L * 365 * 86400);
  if (!certificate) return false;
  X509_set_issuer_name(certificate.get(), X509_get_subject_name(certificate.get()));
  if (!addExtension(certificate.get(), certificate.get(), NID_basic_constraints, "critical,CA:TRUE") ||
      !addExtension(certificate.get(), certificate.get(), NID_key_usage, "critical,keyCertSign,cRLSign") ||
      !addExtension(certificate.get(), certificate.get(), NID_subject_key_identifier, "hash") ||
      X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0) {
    return false;
  }
  return toPem(certificate.get(), key.get(), authority);
}

bool makeServerCertificate(const PemPair& authority, const std::vector<std::string>& names, long validFromSeconds,
                           long validToSeconds, PemPair& server) {
  Bio caText(BIO_new_mem_buf(authority.certificate.data(), static_cast<int>(authority.certificate.size())));
  Bio caKeyText(BIO_new_mem_buf(authority.key.data(), static_cast<int>(authority.key.size())));
  if (!caText || !caKeyText) return false;
  Certificate ca(PEM_read_bio_X509(caText.get(), nullptr, nullptr, nullptr));
  Key caKey(PEM_read_bio_PrivateKey(caKeyText.get(), nullptr, nullptr, nullptr));
  Key key = newKey();
  if (!ca || !caKey || !key || names.empty()) return false;
  Certificate certificate = newCertificate(key.get(), names.front(), validFromSeconds, validToSeconds);
  if (!certificate) return false;
  X509_set_issuer_name(certificate.get(), X509_get_subject_name(ca.get()));
  std::string alternatives;
  for (const std::string& name : names) {
    if (!alternatives.empty()) alternatives += ',';
    const bool address = !name.empty() && name.find_first_not_of("0123456789.") == std::string::npos;
    alternatives += (address ? "IP:" : "DNS:") + name;
  }
  if (!addExtension(certificate.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE") ||
      !addExtension(certificate.get(), ca.get(), NID_ext_key_usage, "serverAuth") ||
      !addExtension(certificate.get(), ca.get(), NID_subject_alt_name, alternatives) ||
      !addExtension(certificate.get(), ca.get(), NID_authority_key_identifier, "keyid:always") ||
      X509_sign(certificate.get(), caKey.get(), EVP_sha256()) == 0) {
    return false;
  }
  return toPem(certificate.get(), key.get(), server);
}

}  // namespace quillstash::demo
