#include "ui/phone_state.h"

namespace qm {

PhoneState phoneState(std::string_view pairingState, bool bonded) {
  if (pairingState == "paired") return PhoneState::connected;
  if (bonded) {
    // A bonded phone stays paired whatever the link does; connecting to it
    // again is its way back.
    if (pairingState == "reconnecting" || pairingState == "connecting")
      return PhoneState::reconnecting;
    return PhoneState::away;
  }
  if (pairingState == "advertising" || pairingState == "connecting")
    return PhoneState::waitingToPair;
  if (pairingState == "error") return PhoneState::pairingFailed;
  return PhoneState::notPaired;
}

std::string_view phoneStateName(PhoneState state) {
  switch (state) {
    case PhoneState::notPaired:
      return "notPaired";
    case PhoneState::waitingToPair:
      return "waitingToPair";
    case PhoneState::pairingFailed:
      return "pairingFailed";
    case PhoneState::away:
      return "away";
    case PhoneState::reconnecting:
      return "reconnecting";
    case PhoneState::connected:
      return "connected";
  }
  return "notPaired";
}

std::string_view phoneStateText(PhoneState state) {
  switch (state) {
    case PhoneState::notPaired:
      return "Not paired";
    case PhoneState::waitingToPair:
      return "Waiting for a phone to pair";
    case PhoneState::pairingFailed:
      return "Pairing failed";
    case PhoneState::away:
      return "Paired with %1, not connected";
    case PhoneState::reconnecting:
      return "Paired with %1, reconnecting";
    case PhoneState::connected:
      return "Connected to %1";
  }
  return "Not paired";
}

std::string phoneStateLine(PhoneState state, std::string_view phone) {
  std::string text(phoneStateText(state));
  if (const auto at = text.find("%1"); at != std::string::npos)
    text.replace(at, 2, phone.empty() ? kUnnamedPhoneText : phone);
  return text;
}

}  // namespace qm
