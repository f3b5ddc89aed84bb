#pragma once

#include "settings/keychain_store.h"

namespace qm::test {

/// Keeps items in `real`, but refuses to save or to delete while told to, as a
/// locked or full keychain does.
class FailingKeychainBackend : public KeychainBackend {
 public:
  explicit FailingKeychainBackend(KeychainBackend& real) : real_(real) {}

  bool save(std::string_view service, std::string_view account, std::string_view value) override {
    return !failSaves && real_.save(service, account, value);
  }
  std::optional<std::string> load(std::string_view service, std::string_view account) override {
    return real_.load(service, account);
  }
  bool remove(std::string_view service, std::string_view account) override {
    return !failRemoves && real_.remove(service, account);
  }

  bool failSaves = false;
  bool failRemoves = false;

 private:
  KeychainBackend& real_;
};

}  // namespace qm::test
