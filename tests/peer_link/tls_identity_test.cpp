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

struct Parsed {
  std::unique_ptr<X509, decltype(&X509_free)> cert{nullptr, X509_free};
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key{nullptr, EVP_PKEY_free};
};

Parsed parse(const TlsIdentity& identity) {
  Parsed parsed;
  std::unique_ptr<BIO, decltype(&BIO_free)> certBio(
      BIO_new_mem_buf(identity.certificatePEM.data(),
                      static_cast<int>(identity.certificatePEM.size())),
      BIO_free);
  std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(
      BIO_new_mem_buf(identity.privateKeyPEM.data(),
                      static_cast<int>(identity.privateKeyPEM.size())),
      BIO_free);
  parsed.cert.reset(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
  parsed.key.reset(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
  return parsed;
}

TEST(TlsIdentity, CertificateIsSelfSignedForItsKey) {
  auto identity = makeSelfSignedTlsIdentity("Quillmere companion");
  ASSERT_TRUE(identity) << identity.error().message;
  const Parsed parsed = parse(*identity);
  ASSERT_TRUE(parsed.cert);
  ASSERT_TRUE(parsed.key);
  EXPECT_EQ(X509_check_private_key(parsed.cert.get(), parsed.key.get()), 1);
  EXPECT_EQ(X509_verify(parsed.cert.get(), parsed.key.get()), 1);
  EXPECT_EQ(X509_NAME_cmp(X509_get_subject_name(parsed.cert.get()),
                          X509_get_issuer_name(parsed.cert.get())),
            0);
  char cn[64] = {};
  X509_NAME_get_text_by_NID(X509_get_subject_name(parsed.cert.get()), NID_commonName, cn,
                            sizeof cn);
  EXPECT_STREQ(cn, "Quillmere companion");
  EXPECT_TRUE(EVP_PKEY_is_a(parsed.key.get(), "EC"));
  // Valid now.
  EXPECT_LT(X509_cmp_current_time(X509_get0_notBefore(parsed.cert.get())), 0);
  EXPECT_GT(X509_cmp_current_time(X509_get0_notAfter(parsed.cert.get())), 0);
}

TEST(TlsIdentity, EveryIdentityHasItsOwnKey) {
  auto first = makeSelfSignedTlsIdentity("a");
  auto second = makeSelfSignedTlsIdentity("a");
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_NE(X509_check_private_key(parse(*first).cert.get(), parse(*second).key.get()), 1);
}

}  // namespace
}  // namespace qm
