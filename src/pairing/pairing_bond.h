#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/date.h"
#include "common/result.h"
#include "settings/keychain_store.h"

namespace qm {

/// The lasting result of pairing with the phone: who the peer is and the
/// secret every sync message is signed with.
struct PairingBond {
  /// The keychain item the bond is kept under.
  static constexpr std::string_view kKeychainKey = "com.quillmere.mac.bond";

  std::string peerDeviceUUID;
  std::string peerDisplayName;
  std::string sharedSecretBase64;
  Date pairedAt{};

  friend bool operator==(const PairingBond&, const PairingBond&) = default;
};

/// Stores `bond` in the keychain as a JSON object, replacing any earlier bond;
/// `pairedAt` is kept as seconds since 2001-01-01T00:00:00Z.
Status saveBond(KeychainStore& keychain, const PairingBond& bond);

/// The stored bond; nothing when there is none or it cannot be read.
std::optional<PairingBond> loadBond(KeychainStore& keychain);

/// Forgets the bond; succeeds when none is stored afterwards.
Status deleteBond(KeychainStore& keychain);

}  // namespace qm
