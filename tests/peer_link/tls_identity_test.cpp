// The certificate the companion presents: well-formed, self-signed, matching
// its key, and new every time.
#include "peer_link/tls_identity.h"

#include <gmock/gmock.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

namespace qm {
namespace {

using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;
Bio bio(const std::string& pem) {
  return {BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free};
}

TEST(TlsIdentity, CertificateIsSelfSignedForItsOwnNewKey) {
  auto identity = makeSelfSignedTlsIdentity("Quillmere companion");
  auto other = makeSelfSignedTlsIdentity("Quillmere companion");
  ASSERT_TRUE(identity) << identity.error().message;
  ASSERT_TRUE(other) << other.error().message;
  std::unique_ptr<X509, decltype(&X509_free)> cert(
      PEM_read_bio_X509(bio(identity->certificatePEM).get(), nullptr, nullptr, nullptr), X509_free);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
      PEM_read_bio_PrivateKey(bio(identity->privateKeyPEM).get(), nullptr, nullptr, nullptr),
      EVP_PKEY_free);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> otherKey(
      PEM_read_bio_PrivateKey(bio(other->privateKeyPEM).get(), nullptr, nullptr, nullptr),
      EVP_PKEY_free);
  ASSERT_TRUE(cert && key && otherKey);

  EXPECT_EQ(X509_check_private_key(cert.get(), key.get()), 1);
  EXPECT_NE(X509_check_private_key(cert.get(), otherKey.get()), 1);
  EXPECT_EQ(X509_verify(cert.get(), key.get()), 1);
  EXPECT_EQ(X509_NAME_cmp(X509_get_subject_name(cert.get()), X509_get_issuer_name(cert.get())), 0);
  char cn[64] = {};
  X509_NAME_get_text_by_NID(X509_get_subject_name(cert.get()), NID_commonName, cn, sizeof cn);
  EXPECT_STREQ(cn, "Quillmere companion");
  EXPECT_TRUE(EVP_PKEY_is_a(key.get(), "EC"));
  // Valid now.
  EXPECT_LT(X509_cmp_current_time(X509_get0_notBefore(cert.get())), 0);
  EXPECT_GT(X509_cmp_current_time(X509_get0_notAfter(cert.get())), 0);
}

}  // namespace
}  // namespace qm
