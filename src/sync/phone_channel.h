#pragma once

#include <optional>
#include <string>

#include "common/result.h"
#include "wire/sync_envelope.h"

namespace qm {

/// The sync service's way to the paired phone. The companion implements it
/// over the pairing service; tests give a fake.
class PhoneChannel {
 public:
  virtual ~PhoneChannel() = default;

  /// Whether a phone is paired now (the pairing state is `paired`).
  virtual bool isPaired() const = 0;
  /// Signs and sends `envelope` to the paired phone; fails when there is none
  /// or the network refuses.
  virtual Status send(const SyncEnvelope& envelope) = 0;
  /// The bonded phone's name (the bond's `peerDisplayName`), when there is a bond.
  virtual std::optional<std::string> pairedPhoneName() const = 0;
};

}  // namespace qm
