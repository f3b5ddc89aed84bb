#include "settings/device_identity.h"

#include <utility>

#include "common/log.h"
#include "common/uuid.h"

namespace qm {

DeviceIdentity::DeviceIdentity(KeychainStore& keychain) : keychain_(keychain) {}

std::string DeviceIdentity::current() {
  std::lock_guard lock(mutex_);
  if (cached_) return *cached_;
  if (auto stored = keychain_.load(kItemKey); stored && Uuid::parse(*stored)) {
    cached_ = std::move(*stored);
    return *cached_;
  }
  std::string fresh = Uuid::random().str();
  if (!keychain_.save(kItemKey, fresh)) {
    // The identifier still holds for this run; the next start makes another.
    log::data().error("Could not save the device identifier to the keychain");
  }
  cached_ = fresh;
  return fresh;
}

void DeviceIdentity::forget() {
  std::lock_guard lock(mutex_);
  cached_.reset();
}

}  // namespace qm
