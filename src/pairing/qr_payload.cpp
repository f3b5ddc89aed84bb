#include "pairing/qr_payload.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <nlohmann/json.hpp>

#include "settings/app_settings.h"
#include "settings/device_identity.h"

namespace qm {

namespace {

using Json = nlohmann::json;

std::optional<std::string> stringMember(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::string hostName() {
  std::array<char, HOST_NAME_MAX + 1> buffer{};
  if (gethostname(buffer.data(), buffer.size() - 1) != 0) return {};
  return std::string(buffer.data());  // stops at the terminating zero we kept
}

}  // namespace

std::string encodeQRString(const QRPayload& payload) {
  const Json object{{"deviceUUID", payload.deviceUUID},
                    {"displayName", payload.displayName},
                    {"publicKey", payload.publicKey},
                    {"nonce", payload.nonce},
                    {"version", payload.version}};
  // Names typed by people may hold invalid UTF-8; replace it rather than throw.
  return base64Encode(object.dump(-1, ' ', false, Json::error_handler_t::replace));
}

std::optional<QRPayload> decodeQRString(std::string_view qrString) {
  const auto bytes = base64Decode(qrString);
  if (!bytes) return std::nullopt;
  const Json object = Json::parse(bytes->begin(), bytes->end(), nullptr, false);
  if (!object.is_object()) return std::nullopt;
  auto version = object.find("version");
  if (version == object.end() || !version->is_number_integer()) return std::nullopt;
  const auto number = version->get<std::int64_t>();
  if (number < INT_MIN || number > INT_MAX) return std::nullopt;

  QRPayload payload;
  auto deviceUUID = stringMember(object, "deviceUUID");
  auto displayName = stringMember(object, "displayName");
  auto publicKey = stringMember(object, "publicKey");
  auto nonce = stringMember(object, "nonce");
  if (!deviceUUID || !displayName || !publicKey || !nonce) return std::nullopt;
  payload.deviceUUID = std::move(*deviceUUID);
  payload.displayName = std::move(*displayName);
  payload.publicKey = std::move(*publicKey);
  payload.nonce = std::move(*nonce);
  payload.version = static_cast<int>(number);
  return payload;
}

std::string pairingDisplayName(const AppSettings& settings) {
  if (auto name = settings.displayName(); !name.empty()) return name;
  if (auto host = hostName(); !host.empty()) return host;
  return "Mac";
}

QRSession makeQRSession(const AppSettings& settings, DeviceIdentity& identity) {
  QRSession session;
  session.keyPair = X25519KeyPair::generate();
  const Bytes random = secureRandomBytes(session.nonce.size());
  std::copy(random.begin(), random.end(), session.nonce.begin());

  QRPayload payload;
  payload.deviceUUID = identity.current();
  payload.displayName = pairingDisplayName(settings);
  payload.publicKey = base64Encode(session.keyPair.publicKey);
  payload.nonce = base64Encode(session.nonce);
  session.qrString = encodeQRString(payload);
  return session;
}

}  // namespace qm
