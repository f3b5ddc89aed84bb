#pragma once

#include "sync/phone_channel.h"

namespace qm {

class PairingService;

/// The sync service's way to the phone, over the pairing service: paired means
/// the pairing state is `paired`, and nothing is sent otherwise (a phone that
/// is connected but has not proven itself gets nothing from sync).
class PairingPhoneChannel final : public PhoneChannel {
 public:
  explicit PairingPhoneChannel(PairingService& pairing) : pairing_(pairing) {}

  bool isPaired() const override;
  Status send(const SyncEnvelope& envelope) override;
  std::optional<std::string> pairedPhoneName() const override;

 private:
  PairingService& pairing_;
};

}  // namespace qm
