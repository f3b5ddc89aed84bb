#pragma once

#include <memory>

#include "common/app_paths.h"
#include "common/result.h"
#include "settings/keychain_store.h"

namespace qm {

class AppSettings;
class DeviceIdentity;
class PipelineManager;
class Store;
class UserDefaults;

/// The main window's list modes.
enum class ListMode { dashboard, contacts, companies, opportunities, drafts };

/// The application object: owns the settings, the keychain, the device
/// identity, the pipeline stages and the store for the life of the process.
class QuillmereMacApp {
 public:
  /// The user-defaults flag of the one-time store wipe.
  static constexpr const char* kStoreResetFlag = "storeResetV1";

  /// `keychainBackend` defaults to the file keychain under application support.
  explicit QuillmereMacApp(AppPaths paths,
                           std::unique_ptr<KeychainBackend> keychainBackend = nullptr);
  ~QuillmereMacApp();

  /// Start-up, in order: settings, list mode, (pairing service), the one-time
  /// store wipe when "storeResetV1" is not set, and opening the store. A store
  /// that cannot be opened stops start-up with "ModelContainer creation failed: "
  /// and the reason; its files are left as they are.
  Status startUp();

  /// Start-up without the store wipe and the store: settings, keychain, device
  /// identity and pipeline stages. Enough for commands that do not need records
  /// (and for a reset, which must work even when the store is damaged). Fails
  /// when the folders cannot be made or written.
  Status loadServices();

  /// Deletes the pairing bond, the device identifier and the saved
  /// credentials (AI endpoint token, mail password) from the keychain,
  /// removes every setting and deletes the store files. A running companion
  /// first lets each of its modules drop what it holds (the pairing service its
  /// session and secrets). The caller relaunches (or, offline, just ends).
  /// Fails only when the folders cannot be used; each deletion that fails is
  /// logged and the rest goes on.
  Status resetAllData();

  /// Closes the store (before a relaunch or when shutting down).
  void closeStore();

  const AppPaths& paths() const { return paths_; }
  UserDefaults& defaults() { return *defaults_; }
  AppSettings& settings() { return *settings_; }
  KeychainStore& keychain() { return *keychain_; }
  DeviceIdentity& deviceIdentity() { return *deviceIdentity_; }
  PipelineManager& pipeline() { return *pipeline_; }
  /// The open store; only after a successful `startUp`.
  Store& store() { return *store_; }
  bool hasStore() const { return store_ != nullptr; }
  ListMode listMode() const { return listMode_; }
  void setListMode(ListMode mode) { listMode_ = mode; }

 private:
  void runOneTimeStoreWipe();

  AppPaths paths_;
  std::unique_ptr<UserDefaults> defaults_;
  std::unique_ptr<AppSettings> settings_;
  std::unique_ptr<KeychainBackend> keychainBackend_;
  std::unique_ptr<KeychainStore> keychain_;
  std::unique_ptr<DeviceIdentity> deviceIdentity_;
  std::unique_ptr<PipelineManager> pipeline_;
  std::unique_ptr<Store> store_;
  ListMode listMode_ = ListMode::dashboard;
};

}  // namespace qm
