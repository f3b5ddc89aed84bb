#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/result.h"
#include "common/signal.h"

namespace qm {

/// A preference value: a flag, a text, or a list of texts.
using DefaultsValue = std::variant<bool, std::string, std::vector<std::string>>;

/// The application's key-value preferences, kept in one JSON object file.
///
/// Every change is written to the file whole and atomically (mode 0600) before
/// the call returns; a failed write leaves both the file and the values in memory
/// as they were. Values of other JSON types found in the file are not visible
/// through `value` but are kept when the file is rewritten, so nothing is lost.
/// A file that cannot be read as a JSON object is moved aside (never overwritten)
/// and the preferences start empty. Safe to use from several threads; observers
/// are called on the thread that made the change, after the change is saved.
class UserDefaults {
 public:
  /// Loads `file`; a missing file means no preferences are set.
  explicit UserDefaults(std::filesystem::path file);
  ~UserDefaults();
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

  const std::filesystem::path& file() const;

  /// The value under `key`, if it holds a flag, a text or a list of texts.
  std::optional<DefaultsValue> value(std::string_view key) const;
  /// The value under `key` only when it is a text.
  std::optional<std::string> string(std::string_view key) const;
  /// The value under `key` only when it is a flag.
  std::optional<bool> boolean(std::string_view key) const;
  /// Every key present in the file, in sorted order.
  std::vector<std::string> keys() const;

  /// Stores `value` under `key` and saves the file. Observers of `key` are told
  /// only when the value differs from the one held before.
  Status set(std::string key, DefaultsValue value);
  /// Removes `key` (nothing to do when it is absent) and saves the file.
  Status remove(std::string_view key);
  /// Deletes the file and forgets every value; a missing file is no error.
  Status removeDomain();
  /// Re-reads the file (another process may have changed it) and tells the
  /// observers about each key whose value changed.
  void reload();

  /// Registers a function called with the key of every value that changes,
  /// for as long as the returned subscription lives.
  Subscription observe(std::function<void(const std::string& key)> observer);

 private:
  struct Impl;
  // Shared so that a subscription that outlives these defaults ends harmlessly.
  std::shared_ptr<Impl> impl_;
};

}  // namespace qm
