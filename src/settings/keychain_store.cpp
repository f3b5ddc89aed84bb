#include "settings/keychain_store.h"

#include <exception>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "common/log.h"

namespace qm {

namespace {

using Json = nlohmann::json;

/// The keychain document, or nothing when the file exists but can be neither
/// read nor moved out of the way (so it must not be replaced).
std::optional<Json> readKeychain(const std::filesystem::path& file) {
  auto text = readFile(file);
  if (!text) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && !ec) return Json::object();
    log::data().error("Keychain file {} could not be read: {}", file.string(),
                      text.error().message);
    return std::nullopt;
  }
  auto json = Json::parse(*text, nullptr, /*allow_exceptions=*/false);
  if (!json.is_discarded() && json.is_object()) return json;
  auto aside = setFileAside(file, "unreadable");
  if (!aside) {
    log::data().error("Keychain file {} could not be read as JSON and could not be moved aside: {}",
                      file.string(), aside.error().message);
    return std::nullopt;
  }
  log::data().warn("Keychain file {} could not be read as JSON; moved it to {}", file.string(),
                   aside->string());
  return Json::object();
}

bool writeKeychain(const std::filesystem::path& file, const Json& document) {
  std::string text;
  try {
    text = document.dump(2) + "\n";
  } catch (const Json::exception&) {
    log::data().error("Keychain items must be valid UTF-8 text; not saving");
    return false;
  }
  std::error_code ec;
  createPrivateFolders(file.parent_path(), ec);
  if (ec) {
    log::data().error("Could not create the keychain folder {}: {}", file.parent_path().string(),
                      ec.message());
    return false;
  }
  auto written = writeFileAtomically(file, text, 0600);
  if (!written) {
    log::data().error("Could not write keychain file {}: {}", file.string(),
                      written.error().message);
    return false;
  }
  return true;
}

/// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace

FileKeychainBackend::FileKeychainBackend(std::filesystem::path file) : file_(std::move(file)) {}

bool FileKeychainBackend::save(std::string_view service, std::string_view account,
                               std::string_view value) {
  try {
    std::lock_guard lock(mutex_);
    auto document = readKeychain(file_);
    if (!document) return false;
    Json& items = (*document)[std::string(service)];
    if (!items.is_object()) items = Json::object();
    items[std::string(account)] = std::string(value);
    return writeKeychain(file_, *document);
  } catch (const std::exception& e) {
    log::data().error("Could not save a keychain item: {}", e.what());
    return false;
  }
}

std::optional<std::string> FileKeychainBackend::load(std::string_view service,
                                                     std::string_view account) {
  try {
    std::lock_guard lock(mutex_);
    auto document = readKeychain(file_);
    if (!document) return std::nullopt;
    auto items = document->find(service);
    if (items == document->end() || !items->is_object()) return std::nullopt;
    auto item = items->find(account);
    if (item == items->end() || !item->is_string()) return std::nullopt;
    return item->get<std::string>();
  } catch (const std::exception& e) {
    log::data().error("Could not load a keychain item: {}", e.what());
    return std::nullopt;
  }
}

bool FileKeychainBackend::remove(std::string_view service, std::string_view account) {
  try {
    std::lock_guard lock(mutex_);
    auto document = readKeychain(file_);
    if (!document) return false;
    auto items = document->find(service);
    if (items == document->end() || !items->is_object()) return true;
    auto item = items->find(account);
    if (item == items->end()) return true;
    items->erase(item);
    if (items->empty()) document->erase(items);
    return writeKeychain(file_, *document);
  } catch (const std::exception& e) {
    log::data().error("Could not delete a keychain item: {}", e.what());
    return false;
  }
}

KeychainStore::KeychainStore(KeychainBackend& backend) : backend_(backend) {}

bool KeychainStore::save(std::string_view key, std::string_view value) {
  try {
    // Some backends refuse to add over an existing item, so the old one goes first.
    backend_.remove(kKeychainService, key);
    return backend_.save(kKeychainService, key, value);
  } catch (const std::exception& e) {
    log::data().error("Keychain save failed: {}", e.what());
    return false;
  }
}

std::optional<std::string> KeychainStore::load(std::string_view key) {
  try {
    auto value = backend_.load(kKeychainService, key);
    if (!value || !isValidUtf8(*value)) return std::nullopt;
    return value;
  } catch (const std::exception& e) {
    log::data().error("Keychain load failed: {}", e.what());
    return std::nullopt;
  }
}

bool KeychainStore::remove(std::string_view key) {
  try {
    return backend_.remove(kKeychainService, key);
  } catch (const std::exception& e) {
    log::data().error("Keychain delete failed: {}", e.what());
    return false;
  }
}

}  // namespace qm
