#include "peer_link/tls_identity.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace qm {

namespace {

template <auto Free>
struct Deleter {
  template <class T>
  void operator()(T* p) const {
    Free(p);
  }
};
using PKey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Deleter<X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free>>;
using BigNum = std::unique_ptr<BIGNUM, Deleter<BN_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;

constexpr long kOneDay = 24L * 60 * 60;
constexpr long kTenYears = 10L * 365 * kOneDay;

/// The failure with the text of OpenSSL's most recent error.
Error failure(const char* what) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  std::string text = std::string("Could not make the TLS certificate: ") + what;
  if (code != 0) {
    char reason[256];
    ERR_error_string_n(code, reason, sizeof reason);
    text += " (" + std::string(reason) + ")";
  }
  return Error(std::move(text));
}

Result<std::string> drain(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  if (size <= 0 || data == nullptr) return failure("empty PEM output");
  return std::string(data, static_cast<std::size_t>(size));
}

bool addExtension(X509* cert, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
  Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  return extension && X509_add_ext(cert, extension.get(), -1) == 1;
}

}  // namespace

Result<TlsIdentity> makeSelfSignedTlsIdentity(std::string_view commonName) {
  PKey key(EVP_EC_gen("P-256"));
  if (!key) return failure("key generation failed");

  Cert cert(X509_new());
  if (!cert) return failure("out of memory");
  // A random positive 64-bit serial number, as certificates should not share one.
  BigNum serial(BN_new());
  if (!serial || BN_rand(serial.get(), 64, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
      BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get())) == nullptr) {
    return failure("no serial number");
  }
  if (X509_set_version(cert.get(), X509_VERSION_3) != 1 ||
      X509_gmtime_adj(X509_getm_notBefore(cert.get()), -kOneDay) == nullptr ||
      X509_gmtime_adj(X509_getm_notAfter(cert.get()), kTenYears) == nullptr ||
      X509_set_pubkey(cert.get(), key.get()) != 1) {
    return failure("certificate fields");
  }
  X509_NAME* name = X509_get_subject_name(cert.get());
  const std::string cn(commonName);
  if (X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1,
                                 0) != 1 ||
      X509_set_issuer_name(cert.get(), name) != 1) {
    return failure("certificate name");
  }
  if (!addExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE") ||
      !addExtension(cert.get(), NID_key_usage, "critical,digitalSignature") ||
      !addExtension(cert.get(), NID_ext_key_usage, "serverAuth,clientAuth") ||
      !addExtension(cert.get(), NID_subject_key_identifier, "hash")) {
    return failure("certificate extensions");
  }
  if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) return failure("signing failed");

  Bio certBio(BIO_new(BIO_s_mem()));
  Bio keyBio(BIO_new(BIO_s_mem()));
  if (!certBio || !keyBio || PEM_write_bio_X509(certBio.get(), cert.get()) != 1 ||
      PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
          1) {
    return failure("PEM encoding failed");
  }
  auto certificatePEM = drain(certBio.get());
  if (!certificatePEM) return certificatePEM.error();
  auto privateKeyPEM = drain(keyBio.get());
  if (!privateKeyPEM) return privateKeyPEM.error();
  return TlsIdentity{std::move(*certificatePEM), std::move(*privateKeyPEM)};
}

}  // namespace qm
