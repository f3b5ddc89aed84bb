#include "app/application.h"

#include "app/store_files.h"
#include "common/log.h"
#include "drafting/mac_proxy_service.h"
#include "export/calendar_history.h"
#include "mail/mail_account.h"
#include "pairing/pairing_bond.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/keychain_store.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"
#include "store/store.h"
#include "sync/delta_journal.h"

namespace qm {

QuillmereMacApp::QuillmereMacApp(AppPaths paths, std::unique_ptr<KeychainBackend> keychainBackend)
    : paths_(std::move(paths)), keychainBackend_(std::move(keychainBackend)) {}

QuillmereMacApp::~QuillmereMacApp() = default;

Status QuillmereMacApp::loadServices() {
  if (defaults_) return {};
  QM_TRY(paths_.createFolders());
  // 1. Settings (an unreadable settings file is set aside by UserDefaults).
  defaults_ = std::make_unique<UserDefaults>(paths_.defaultsFile());
  settings_ = std::make_unique<AppSettings>(*defaults_);
  // 2. The main window opens on the dashboard.
  listMode_ = ListMode::dashboard;
  // 3. The keychain and device identity the pairing service relies on.
  if (!keychainBackend_)
    keychainBackend_ = std::make_unique<FileKeychainBackend>(paths_.keychainFile());
  keychain_ = std::make_unique<KeychainStore>(*keychainBackend_);
  deviceIdentity_ = std::make_unique<DeviceIdentity>(*keychain_);
  pipeline_ = std::make_unique<PipelineManager>(*defaults_);
  return {};
}

Status QuillmereMacApp::startUp() {
  QM_TRY(loadServices());
  // 6. The one-time store wipe.
  if (!defaults_->boolean(kStoreResetFlag).value_or(false)) runOneTimeStoreWipe();
  // 7. The store.
  auto opened = Store::open(paths_.storeFile());
  if (!opened) {
    log::data().error("ModelContainer failed: {}. Attempting recovery...", opened.error().message);
    return Error("ModelContainer creation failed: " + opened.error().message);
  }
  store_ = std::move(opened).value();
  return {};
}

void QuillmereMacApp::runOneTimeStoreWipe() {
  // The wipe drops stores of an older layout. A store of the current one is
  // kept: the flag is also missing when only the settings file was lost, or
  // when a command made the store before the companion's first start.
  const auto version = Store::recordedSchemaVersion(paths_.storeFile());
  if (version.ok() && *version == Store::kSchemaVersion) {
    log::data().info("One-time store reset: the store in {} is current and kept",
                     paths_.applicationSupport.string());
  } else {
    // An older store starts empty, but is moved aside rather than deleted.
    const auto moved = setStoreFilesAside(paths_.applicationSupport);
    if (!moved.empty())
      log::data().info("One-time store reset: moved {} earlier store file(s) aside in {}",
                       moved.size(), paths_.applicationSupport.string());
  }
  if (auto set = defaults_->set(kStoreResetFlag, true); !set)
    log::data().error("Could not record the store reset: {}", set.error().message);
}

void QuillmereMacApp::closeStore() {
  store_.reset();
}

Status QuillmereMacApp::resetAllData() {
  QM_TRY(loadServices());
  log::data().info("Resetting all local data");
  // 1. Forget the pairing (a running pairing service has dropped its own copy).
  if (auto deleted = deleteBond(*keychain_); !deleted)
    log::data().error("Could not delete the pairing bond: {}", deleted.error().message);
  // 2. The device identifier; a missing item is no error.
  if (!keychain_->remove(DeviceIdentity::kItemKey))
    log::data().error("Could not delete the device identifier from the keychain");
  deviceIdentity_->forget();
  // The AI endpoint's token and the mail password: credentials outlive no
  // reset, as a person handing the computer on expects.
  for (const std::string_view key : {kAIEndpointTokenKey, kMailPasswordKey})
    if (!keychain_->remove(key))
      log::data().error("Could not delete the {} from the keychain", key);
  // 3. Every setting, the pipeline stages and the one-time wipe flag.
  if (auto removed = defaults_->removeDomain(); !removed)
    log::data().error("Could not remove the settings: {}", removed.error().message);
  // 4. The store files, after closing the store.
  closeStore();
  deleteStoreFiles(paths_.applicationSupport);
  // 5. What waited to be sent to the phone that was forgotten.
  std::error_code ec;
  if (std::filesystem::remove(DeltaJournal::fileIn(paths_.applicationSupport), ec); ec)
    log::data().error("Could not delete the delta journal: {}", ec.message());
  // 6. Which follow-ups the calendar exports held (they name contacts by id).
  if (std::filesystem::remove(CalendarHistory::fileIn(paths_.applicationSupport), ec); ec)
    log::data().error("Could not delete the calendar history: {}", ec.message());
  return {};
}

}  // namespace qm
