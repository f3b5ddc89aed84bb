#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

/// The service name every item of the companion is filed under.
inline constexpr std::string_view kKeychainService = "com.quillmere.mac";

/// Somewhere secrets are kept, addressed by service and account.
///
/// Implementations never throw: a failure is reported through the return value.
class KeychainBackend {
 public:
  virtual ~KeychainBackend() = default;

  /// Stores `value`, replacing any earlier one; true when it was stored.
  virtual bool save(std::string_view service, std::string_view account, std::string_view value) = 0;
  /// The stored value; nothing when absent or unreadable.
  virtual std::optional<std::string> load(std::string_view service, std::string_view account) = 0;
  /// True when the item is gone afterwards (deleted, or never there); false on failure.
  virtual bool remove(std::string_view service, std::string_view account) = 0;
};

/// A backend kept in one JSON file, {"<service>": {"<account>": "<value>"}},
/// rewritten whole and atomically with mode 0600 at every change.
///
/// The file is read at every call, so changes made by another process are seen.
/// A file that cannot be read as JSON is moved aside, never overwritten (it may
/// hold the only copy of a pairing bond), and the keychain starts empty. If it
/// can be neither read nor moved, saving fails rather than replace it.
class FileKeychainBackend final : public KeychainBackend {
 public:
  explicit FileKeychainBackend(std::filesystem::path file);

  bool save(std::string_view service, std::string_view account, std::string_view value) override;
  std::optional<std::string> load(std::string_view service, std::string_view account) override;
  bool remove(std::string_view service, std::string_view account) override;

 private:
  std::filesystem::path file_;
  std::mutex mutex_;
};

/// The companion's secrets: text items under `kKeychainService`, one per key.
/// Never throws; every failure shows as `false` or as nothing.
class KeychainStore {
 public:
  explicit KeychainStore(KeychainBackend& backend);

  /// Replaces any item under `key` with `value`; true only if the new item was stored.
  bool save(std::string_view key, std::string_view value);
  /// The text under `key`; nothing when absent, unreadable, or not valid UTF-8.
  std::optional<std::string> load(std::string_view key);
  /// True when the item was deleted or did not exist; false when deleting failed.
  bool remove(std::string_view key);

 private:
  KeychainBackend& backend_;
};

}  // namespace qm
