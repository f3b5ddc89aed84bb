#pragma once

#include <string>
#include <string_view>

#include "common/result.h"

namespace qm {

/// A certificate and its private key, both PEM, for the TLS of the peer link.
///
/// The peer link makes a fresh one each time it starts and neither side checks
/// the other's certificate (the HMAC of every envelope is what authenticates a
/// peer), so the certificate only has to be well-formed for TLS to run.
struct TlsIdentity {
  std::string certificatePEM;
  std::string privateKeyPEM;  ///< PKCS#8
};

/// A new P-256 key and a self-signed X.509 v3 certificate for it, with
/// `commonName` as subject and issuer, valid from a day ago for ten years.
Result<TlsIdentity> makeSelfSignedTlsIdentity(std::string_view commonName);

}  // namespace qm
