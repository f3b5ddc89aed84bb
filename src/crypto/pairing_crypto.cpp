#include "crypto/pairing_crypto.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

namespace qm {

namespace {

constexpr std::size_t kKeySize = 32;
constexpr std::size_t kSHA256Size = 32;

struct PKeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct PKeyCtxDeleter {
  void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
struct KdfDeleter {
  void operator()(EVP_KDF* kdf) const { EVP_KDF_free(kdf); }
};
struct KdfCtxDeleter {
  void operator()(EVP_KDF_CTX* ctx) const { EVP_KDF_CTX_free(ctx); }
};
using PKey = std::unique_ptr<EVP_PKEY, PKeyDeleter>;
using PKeyCtx = std::unique_ptr<EVP_PKEY_CTX, PKeyCtxDeleter>;
using Kdf = std::unique_ptr<EVP_KDF, KdfDeleter>;
using KdfCtx = std::unique_ptr<EVP_KDF_CTX, KdfCtxDeleter>;

[[noreturn]] void fatal(const char* what) {
  std::fprintf(stderr, "Fatal: %s\n", what);
  std::abort();
}

bool rawPublicKey(EVP_PKEY* key, std::array<std::uint8_t, 32>& out) {
  std::size_t size = out.size();
  return EVP_PKEY_get_raw_public_key(key, out.data(), &size) == 1 && size == out.size();
}

// OpenSSL wants a valid pointer even for an empty buffer.
const unsigned char* dataOrEmpty(std::span<const std::uint8_t> bytes) {
  static const unsigned char kEmpty = 0;
  return bytes.empty() ? &kEmpty : bytes.data();
}

}  // namespace

X25519KeyPair X25519KeyPair::generate() {
  PKey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "X25519"));
  if (!key) fatal("could not generate an X25519 key pair");
  X25519KeyPair pair;
  std::size_t size = pair.privateKey.size();
  if (EVP_PKEY_get_raw_private_key(key.get(), pair.privateKey.data(), &size) != 1 ||
      size != pair.privateKey.size() || !rawPublicKey(key.get(), pair.publicKey)) {
    fatal("could not read a generated X25519 key pair");
  }
  return pair;
}

Result<X25519KeyPair> X25519KeyPair::fromPrivateKey(std::span<const std::uint8_t> raw32) {
  if (raw32.size() != kKeySize) {
    return Error("An X25519 private key has 32 bytes, not " + std::to_string(raw32.size()));
  }
  PKey key(EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, raw32.data(), raw32.size()));
  X25519KeyPair pair;
  if (!key || !rawPublicKey(key.get(), pair.publicKey)) {
    return Error("Could not load the X25519 private key");
  }
  std::copy(raw32.begin(), raw32.end(), pair.privateKey.begin());
  return pair;
}

Result<std::array<std::uint8_t, 32>> x25519(std::span<const std::uint8_t, 32> privateKey,
                                            std::span<const std::uint8_t> peerPublicKey) {
  if (peerPublicKey.size() != kKeySize) {
    return Error("The peer's X25519 public key has " + std::to_string(peerPublicKey.size()) +
                 " bytes, expected 32");
  }
  PKey own(
      EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, privateKey.data(), privateKey.size()));
  PKey peer(EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, peerPublicKey.data(),
                                        peerPublicKey.size()));
  if (!own || !peer) return Error("Could not load the X25519 keys");
  PKeyCtx ctx(EVP_PKEY_CTX_new(own.get(), nullptr));
  std::array<std::uint8_t, 32> shared{};
  std::size_t size = shared.size();
  // OpenSSL itself refuses an all-zero result; the check below makes sure of it.
  if (!ctx || EVP_PKEY_derive_init(ctx.get()) != 1 ||
      EVP_PKEY_derive_set_peer(ctx.get(), peer.get()) != 1 ||
      EVP_PKEY_derive(ctx.get(), shared.data(), &size) != 1 || size != shared.size()) {
    return Error("X25519 key agreement failed (is the peer key a low-order point?)");
  }
  static const std::array<std::uint8_t, 32> kZeros{};
  if (CRYPTO_memcmp(shared.data(), kZeros.data(), shared.size()) == 0) {
    return Error("X25519 key agreement gave an all-zero secret (low-order peer key)");
  }
  return shared;
}

Result<Bytes> hkdfSHA256(std::span<const std::uint8_t> ikm, std::span<const std::uint8_t> salt,
                         std::span<const std::uint8_t> info, std::size_t length) {
  if (length == 0 || length > 255 * kSHA256Size) {
    return Error("HKDF-SHA256 cannot produce " + std::to_string(length) + " bytes (1 to 8160)");
  }
  Kdf kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr));
  KdfCtx ctx(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr);
  if (!ctx) return Error("HKDF is not available");

  char digest[] = "SHA256";
  OSSL_PARAM params[5];
  std::size_t n = 0;
  params[n++] = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0);
  params[n++] = OSSL_PARAM_construct_octet_string(
      OSSL_KDF_PARAM_KEY, const_cast<unsigned char*>(dataOrEmpty(ikm)), ikm.size());
  // A missing salt means HashLen zero bytes, which HMAC treats like an empty key.
  if (!salt.empty()) {
    params[n++] = OSSL_PARAM_construct_octet_string(
        OSSL_KDF_PARAM_SALT, const_cast<unsigned char*>(salt.data()), salt.size());
  }
  if (!info.empty()) {
    params[n++] = OSSL_PARAM_construct_octet_string(
        OSSL_KDF_PARAM_INFO, const_cast<unsigned char*>(info.data()), info.size());
  }
  params[n] = OSSL_PARAM_construct_end();

  Bytes out(length);
  if (EVP_KDF_derive(ctx.get(), out.data(), out.size(), params) != 1) {
    return Error("HKDF-SHA256 derivation failed");
  }
  return out;
}

namespace PairingCrypto {

Result<std::array<std::uint8_t, 32>> deriveSharedSecret(
    const std::array<std::uint8_t, 32>& privateKey, std::span<const std::uint8_t> peerPublicKey) {
  auto agreed = x25519(privateKey, peerPublicKey);
  if (!agreed) return agreed.error();
  const auto salt =
      std::span(reinterpret_cast<const std::uint8_t*>(kBondSalt.data()), kBondSalt.size());
  auto derived = hkdfSHA256(*agreed, salt, {}, kKeySize);
  OPENSSL_cleanse(agreed->data(), agreed->size());
  if (!derived) return derived.error();
  std::array<std::uint8_t, 32> secret{};
  std::copy(derived->begin(), derived->end(), secret.begin());
  OPENSSL_cleanse(derived->data(), derived->size());
  return secret;
}

}  // namespace PairingCrypto

Result<std::array<std::uint8_t, 32>> decodePhonePublicKey(std::string_view base64) {
  auto decoded = base64Decode(base64);
  if (!decoded) return Error("Invalid key data — could not decode base64 public key");
  if (decoded->size() != kKeySize) {
    return Error("Invalid key data — the public key has " + std::to_string(decoded->size()) +
                 " bytes, expected 32");
  }
  std::array<std::uint8_t, 32> key{};
  std::copy(decoded->begin(), decoded->end(), key.begin());
  return key;
}

Bytes hmacSHA256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message) {
  Bytes tag(kSHA256Size);
  unsigned int size = 0;
  if (HMAC(EVP_sha256(), dataOrEmpty(key), static_cast<int>(key.size()), dataOrEmpty(message),
           message.size(), tag.data(), &size) == nullptr ||
      size != tag.size()) {
    fatal("HMAC-SHA256 failed");
  }
  return tag;
}

bool verifyHMACSHA256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message,
                      std::span<const std::uint8_t> tag) {
  if (tag.size() != kSHA256Size) return false;
  const Bytes expected = hmacSHA256(key, message);
  return CRYPTO_memcmp(expected.data(), tag.data(), expected.size()) == 0;
}

Bytes secureRandomBytes(std::size_t n) {
  Bytes bytes(n);
  std::size_t filled = 0;
  // RAND_bytes takes an int count, so very large requests go in pieces.
  while (filled < n) {
    const std::size_t chunk = std::min<std::size_t>(n - filled, 1u << 30);
    if (RAND_bytes(bytes.data() + filled, static_cast<int>(chunk)) != 1) {
      fatal("the secure random source failed");
    }
    filled += chunk;
  }
  return bytes;
}

}  // namespace qm
