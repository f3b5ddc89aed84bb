#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "settings/keychain_store.h"

namespace qm {

/// This installation's identifier, as shown to paired phones.
///
/// The identifier is kept in the keychain so it survives restarts. Within one
/// run every caller gets the same value, even when the keychain cannot store it
/// (a new one is then made at the next start). Safe to use from several threads.
class DeviceIdentity {
 public:
  static constexpr std::string_view kItemKey = "com.quillmere.mac.device_uuid";

  explicit DeviceIdentity(KeychainStore& keychain);

  /// The identifier: the stored one if it is a UUID, else a new upper-case one
  /// that is saved for the next runs.
  std::string current();
  /// Forgets the identifier held for this run, so the next call reads the keychain again.
  void forget();

 private:
  KeychainStore& keychain_;
  std::mutex mutex_;
  std::optional<std::string> cached_;
};

}  // namespace qm
