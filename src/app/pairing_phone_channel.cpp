#include "app/pairing_phone_channel.h"

#include "pairing/pairing_service.h"

namespace qm {

bool PairingPhoneChannel::isPaired() const {
  return pairing_.state() == PairingState::paired;
}

Status PairingPhoneChannel::send(const SyncEnvelope& envelope) {
  if (!isPaired()) return Error(ErrorCode::unavailable, std::string(PairingService::kNotConnected));
  return pairing_.send(envelope);
}

std::optional<std::string> PairingPhoneChannel::pairedPhoneName() const {
  if (const auto& bond = pairing_.bond()) return bond->peerDisplayName;
  return std::nullopt;
}

}  // namespace qm
