// Pairing as a user does it: the real companion, `quillmere pair` and the
// phone simulator over the real peer link (TLS on loopback).
#include <gmock/gmock.h>
#include <signal.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "app/control_client.h"
#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "companion_fixture.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "wire/sync_payloads.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using ::testing::HasSubstr;

class PairingEndToEndTest : public test::CompanionFixture {
 protected:
  test::CommandResult phone(std::vector<std::string> args) {
    return test::runCommand(PHONE_BINARY, args, {});
  }
  std::string log() { return readFile(paths.logFile()).ok() ? *readFile(paths.logFile()) : ""; }

  /// Runs `quillmere pair` and lets the simulator scan its code and pair.
  void pairPhone() {
    test::Subprocess pair(QUILLMERE_BINARY, {"pair", "--timeout", "30"}, env, outDir.path());
    const auto offer = test::waitForPairingOffer(pair);
    ASSERT_TRUE(offer) << pair.output() << pair.errors();
    auto paired = phone({"pair", "--port", offer->port, "--qr", offer->qrString, "--bond",
                         bondFile(), "--name", "Dana's phone"});
    ASSERT_EQ(paired.exitCode, 0) << paired.out << paired.err;
    EXPECT_THAT(paired.out, HasSubstr("paired with"));
    ASSERT_EQ(pair.wait(10s), 0) << pair.output() << pair.errors();
    EXPECT_THAT(pair.output(), HasSubstr("Pairing complete with Dana's phone"));
  }
};

TEST_F(PairingEndToEndTest, PhonePairsComesBackAsTheBondedPhoneAndIsForgotten) {
  EXPECT_EQ(pairingStatus()["state"], "unpaired");
  pairPhone();
  // The simulator hung up after pairing: the companion listens for it again.
  ASSERT_TRUE(eventually([&] {
    return pairingStatus()["state"] == "reconnecting" && pairingStatus().contains("listeningPort");
  })) << pairingStatus().dump();
  EXPECT_EQ(pairingStatus()["peerDisplayName"], "Dana's phone");
  EXPECT_EQ(pairingStatus()["bonded"], true);

  // Back as the bonded phone, without a handshake, with a message the simulator
  // signs: the companion takes it only if it passes the check against the bond.
  const auto envelope =
      SyncEnvelope::make(SyncMessageType::error, ErrorPayload{"E1", "oops", {}}).value();
  const auto file = phoneDir.path() / "message.json";
  ASSERT_TRUE(writeFileAtomically(file, encodeEnvelope(envelope).value()));
  const std::string port = std::to_string(pairingStatus()["listeningPort"].get<int>());
  auto back = phone({"connect", "--port", port, "--bond", bondFile(), "--send", file.string(),
                     "--listen", "0.5"});
  EXPECT_EQ(back.exitCode, 0) << back.out << back.err;
  ASSERT_TRUE(eventually([&] {
    return log().find("Remote error [E1]: oops") != std::string::npos;
  })) << log();

  auto forgotten = cli({"pairing", "forget"});
  EXPECT_EQ(forgotten.exitCode, 0) << forgotten.err;
  EXPECT_EQ(pairingStatus()["state"], "unpaired");
  EXPECT_EQ(pairingStatus()["bonded"], false);

  // Reconnect now has nothing to wait for.
  auto reconnect = cli({"pairing", "reconnect"});
  EXPECT_EQ(reconnect.exitCode, 1);
  EXPECT_THAT(reconnect.err, HasSubstr("No phone is paired"));
  // The refusal is the pairing service's, so its log says so too.
  EXPECT_TRUE(eventually([&] { return log().find("No bond exists") != std::string::npos; }));
}

TEST_F(PairingEndToEndTest, PairingTimesOutThenResettingAllDataForgetsThePairing) {
  auto timedOut = cli({"pair", "--timeout", "1"});
  EXPECT_EQ(timedOut.exitCode, 1);
  EXPECT_THAT(timedOut.err, HasSubstr("No phone paired in time"));
  EXPECT_EQ(pairingStatus()["state"], "unpaired");

  pairPhone();
  auto reset = cli({"reset", "--yes"});
  ASSERT_EQ(reset.exitCode, 0) << reset.err;
  // The companion starts afresh in the same process.
  ASSERT_TRUE(eventually([&] {
    const auto status = pairingStatus();
    return status.is_object() && status.value("state", "") == "unpaired";
  }));
  EXPECT_EQ(pairingStatus()["bonded"], false);
  EXPECT_THAT(log(), HasSubstr("Pairing forgotten — all bond data cleared"));
}

}  // namespace
}  // namespace qm
