#pragma once

#include <string>
#include <string_view>

namespace qm {

/// Where the phone stands for the person at the computer, one answer for the
/// window's toolbar, its pairing views, the tray and `quillmere status`.
enum class PhoneState {
  notPaired,      ///< no phone has ever been paired (or it was forgotten)
  waitingToPair,  ///< a pairing code is on offer, no phone paired yet
  pairingFailed,  ///< the last pairing attempt failed, no phone paired
  away,           ///< a phone is paired but not connected
  reconnecting,   ///< a phone is paired and the link is coming back
  connected,      ///< the paired phone is connected
};

/// The state from the pairing service's raw state ("unpaired", "advertising",
/// "connecting", "paired", "reconnecting", "error") and whether a phone is bonded.
PhoneState phoneState(std::string_view pairingState, bool bonded);

/// The raw name the companion reports the state by ("connected", "away", …).
std::string_view phoneStateName(PhoneState state);

/// The English wording; "%1" stands for the phone's name where the state has one.
/// The window translates it through its catalogue before filling the name in.
std::string_view phoneStateText(PhoneState state);

/// `phoneStateText` with the phone's name filled in ("your phone" without one).
std::string phoneStateLine(PhoneState state, std::string_view phone);

/// "Last sync: %1" with the time of the last full sync or import, or the
/// wording for no sync yet.
inline constexpr std::string_view kLastSyncText = "Last sync: %1";
inline constexpr std::string_view kNeverSyncedText = "Never synced";
inline constexpr std::string_view kUnnamedPhoneText = "your phone";

}  // namespace qm
