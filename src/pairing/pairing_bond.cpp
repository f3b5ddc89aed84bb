#include "pairing/pairing_bond.h"

#include <chrono>
#include <cmath>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "common/log.h"

namespace qm {

namespace {

using Json = nlohmann::json;

// The bond's dates count from 2001-01-01T00:00:00Z, the phone's reference date.
constexpr std::int64_t kReferenceDateUnixSeconds = 978307200;
constexpr std::int64_t kMicrosPerSecond = 1'000'000;
// Far beyond any real pairing date, yet well inside what `Date` can hold.
constexpr double kLargestSeconds = 1e11;

double secondsSinceReferenceDate(Date date) {
  const std::int64_t micros = unixMicros(date) - kReferenceDateUnixSeconds * kMicrosPerSecond;
  return static_cast<double>(micros) / static_cast<double>(kMicrosPerSecond);
}

std::optional<Date> dateFromReferenceSeconds(double seconds) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > kLargestSeconds) return std::nullopt;
  const auto micros = static_cast<std::int64_t>(std::llround(seconds * kMicrosPerSecond));
  return Date(std::chrono::seconds(kReferenceDateUnixSeconds) + std::chrono::microseconds(micros));
}

const std::string* stringField(const Json& json, const char* key) {
  auto found = json.find(key);
  if (found == json.end() || !found->is_string()) return nullptr;
  return found->get_ptr<const std::string*>();
}

}  // namespace

Status saveBond(KeychainStore& keychain, const PairingBond& bond) {
  const Json json = {
      {"peerDeviceUUID", bond.peerDeviceUUID},
      {"peerDisplayName", bond.peerDisplayName},
      {"sharedSecretBase64", bond.sharedSecretBase64},
      {"pairedAt", secondsSinceReferenceDate(bond.pairedAt)},
  };
  if (!keychain.save(PairingBond::kKeychainKey, json.dump())) {
    log::pairing().error("Failed to save PairingBond to Keychain");
    return Error(ErrorCode::permissionDenied, "The keychain did not take the pairing bond");
  }
  log::pairing().info("PairingBond saved — peer: {}", bond.peerDisplayName);
  return {};
}

std::optional<PairingBond> loadBond(KeychainStore& keychain) {
  auto text = keychain.load(PairingBond::kKeychainKey);
  if (!text) return std::nullopt;
  const Json json = Json::parse(*text, nullptr, /*allow_exceptions=*/false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;

  const std::string* uuid = stringField(json, "peerDeviceUUID");
  const std::string* name = stringField(json, "peerDisplayName");
  const std::string* secret = stringField(json, "sharedSecretBase64");
  auto pairedAt = json.find("pairedAt");
  if (!uuid || !name || !secret || pairedAt == json.end() || !pairedAt->is_number()) {
    return std::nullopt;
  }
  auto date = dateFromReferenceSeconds(pairedAt->get<double>());
  if (!date) return std::nullopt;
  return PairingBond{*uuid, *name, *secret, *date};
}

Status deleteBond(KeychainStore& keychain) {
  if (!keychain.remove(PairingBond::kKeychainKey)) {
    log::pairing().error("Failed to delete PairingBond from Keychain");
    return Error(ErrorCode::permissionDenied,
                 "The pairing bond could not be deleted from the keychain");
  }
  log::pairing().info("PairingBond deleted — pairing forgotten");
  return {};
}

}  // namespace qm
