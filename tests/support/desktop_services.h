#pragma once

#include <filesystem>

#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"

namespace qm::test {

/// A desktop's settings, keychain and device identity, kept in files under
/// `folder` (defaults.json, keychain.json) as the companion keeps them.
struct DesktopServices {
  explicit DesktopServices(const std::filesystem::path& folder)
      : defaults(folder / "defaults.json"),
        settings(defaults),
        keychainBackend(folder / "keychain.json"),
        keychain(keychainBackend),
        identity(keychain) {}

  UserDefaults defaults;
  AppSettings settings;
  FileKeychainBackend keychainBackend;
  KeychainStore keychain;
  DeviceIdentity identity;
};

}  // namespace qm::test
