#include "pairing/qr_payload.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <nlohmann/json.hpp>

#include "support/desktop_services.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

auto fields(const QRPayload& p) {
  return std::tuple(p.deviceUUID, p.displayName, p.publicKey, p.nonce, p.version);
}

TEST(QRPayloadTest, RoundTripsThroughTheQRStringWithVersionAsANumber) {
  const QRPayload payload{"6F1C2A4E-0000-4000-8000-000000000001", "Booth Mac ü", "cHVi", "bm9u"};
  const std::string qr = encodeQRString(payload);
  const auto json = nlohmann::json::parse(base64Decode(qr).value_or(Bytes{}));
  EXPECT_EQ(json.size(), 5U);
  EXPECT_TRUE(json["version"].is_number_integer());
  EXPECT_EQ(json["version"], 1);

  const auto back = decodeQRString(qr);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(fields(*back), fields(payload));
  EXPECT_FALSE(decodeQRString("not base64!"));
  EXPECT_FALSE(decodeQRString(base64Encode(std::string_view(R"({"version":"1"})"))));
}

TEST(QRPayloadTest, SessionsAreFreshAndCarryTheNameTheKeyAndTheNonce) {
  test::TempDir dir;
  test::DesktopServices desktop(dir.path());
  // The name is the setting, else the host name.
  std::array<char, HOST_NAME_MAX + 1> host{};
  ASSERT_EQ(gethostname(host.data(), host.size() - 1), 0);
  ASSERT_NE(std::string(host.data()), "");
  EXPECT_EQ(pairingDisplayName(desktop.settings), std::string(host.data()));
  ASSERT_TRUE(desktop.settings.setDisplayName("Stand 12"));

  const QRSession first = makeQRSession(desktop.settings, desktop.identity);
  const QRSession second = makeQRSession(desktop.settings, desktop.identity);
  EXPECT_NE(first.keyPair.publicKey, second.keyPair.publicKey);
  EXPECT_NE(first.nonce, second.nonce);

  const auto payload = decodeQRString(first.qrString);
  ASSERT_TRUE(payload.has_value());
  EXPECT_EQ(payload->deviceUUID, desktop.identity.current());
  EXPECT_EQ(payload->displayName, "Stand 12");
  const auto key = decodePhonePublicKey(payload->publicKey);
  ASSERT_TRUE(key.ok());
  EXPECT_EQ(*key, first.keyPair.publicKey);
  EXPECT_EQ(base64Decode(payload->nonce), Bytes(first.nonce.begin(), first.nonce.end()));
}

}  // namespace
}  // namespace qm
