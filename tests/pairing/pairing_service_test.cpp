// The pairing service's states, driven through an in-memory peer network, with
// the phone's side played by the phone library.
#include "pairing/pairing_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "failing_keychain.h"
#include "pairing/pairing_bond.h"
#include "phone/phone_pairing.h"
#include "support/desktop_services.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"
#include "wire/message_verification.h"
#include "wire/sync_payloads.h"

namespace qm {

void PrintTo(PairingState state, std::ostream* os) {
  *os << rawValue(state);
}

namespace {

/// A session whose peers the test connects and drops by hand.
class FakeSession : public PeerSession {
 public:
  FakeSession(PeerSessionEvents events, int& disconnects)
      : events_(std::move(events)), disconnects_(disconnects) {}

  std::vector<PeerID> connectedPeers() const override { return connected_; }
  Status send(std::string_view bytes, const PeerID& peer) override {
    if (std::ranges::find(connected_, peer) == connected_.end()) return Error("not connected");
    if (failSends) return Error("link broken");
    sent.emplace_back(bytes);
    return {};
  }
  void disconnect() override {
    ++disconnects_;
    for (const auto& peer : std::exchange(connected_, {}))
      events_.peerStateChanged(peer, PeerConnectionState::notConnected);
  }
  void connect(const PeerID& peer) {
    events_.peerStateChanged(peer, PeerConnectionState::connecting);
    connected_.push_back(peer);
    events_.peerStateChanged(peer, PeerConnectionState::connected);
  }
  void drop(const PeerID& peer) {
    std::erase(connected_, peer);
    events_.peerStateChanged(peer, PeerConnectionState::notConnected);
  }

  std::vector<std::string> sent;
  bool failSends = false;

 private:
  PeerSessionEvents events_;
  int& disconnects_;
  std::vector<PeerID> connected_;
};

/// Takes invitations until stopped or destroyed.
struct FakeAdvertiser : PeerAdvertiser {
  void stop() override { events.reset(); }
  std::shared_ptr<AdvertiserEvents> events;
};

/// Hands out fake sessions and advertisers and keeps the latest of each.
class FakeNetwork : public PeerNetwork {
 public:
  std::unique_ptr<PeerSession> makeSession(PeerSessionEvents events) override {
    auto made = std::make_unique<FakeSession>(std::move(events), disconnects);
    session_ = made.get();
    return made;
  }
  std::unique_ptr<PeerAdvertiser> startAdvertising(const std::string& localName,
                                                   const std::map<std::string, std::string>& txt,
                                                   std::string_view serviceType,
                                                   AdvertiserEvents events) override {
    advertised = {localName, std::string(serviceType), txt};
    auto made = std::make_unique<FakeAdvertiser>();
    made->events = std::make_shared<AdvertiserEvents>(std::move(events));
    advertiser_ = made->events;
    return made;
  }

  /// `phone` invites this desktop and, when let in, connects; returns the
  /// session it joined, or nothing when declined or when nothing is advertised.
  FakeSession* join(const phone::Identity& phone) {
    const auto events = advertiser_.lock();  // kept alive while it answers
    if (!events) return nullptr;
    const PeerID peer{phone.deviceUUID, ++connections_};
    std::optional<PeerSession*> answer;
    events->invitationReceived(peer, [&](PeerSession* s) { answer = s; });
    EXPECT_TRUE(answer) << "the invitation was not answered";
    auto* joined = static_cast<FakeSession*>(answer.value_or(nullptr));
    if (joined) joined->connect(peer);
    return joined;
  }
  FakeSession& session() { return *session_; }
  AdvertiserEvents& advertiser() { return *advertiser_.lock(); }
  bool advertising() const { return !advertiser_.expired(); }

  int disconnects = 0;
  std::tuple<std::string, std::string, std::map<std::string, std::string>> advertised;

 private:
  FakeSession* session_ = nullptr;
  std::weak_ptr<AdvertiserEvents> advertiser_;
  std::uint64_t connections_ = 0;
};

class PairingServiceTest : public ::testing::Test {
 protected:
  PairingServiceTest() { EXPECT_TRUE(services_.settings.set("displayName", "Dana's Laptop")); }

  /// The service, made (again, as after a restart) when there is none.
  PairingService& service() {
    if (!service_)
      service_ = std::make_unique<PairingService>(network_, keychain_, services_.identity,
                                                  services_.settings);
    return *service_;
  }

  /// The phone scans the code on show (advertising first if need be), joins
  /// and sends its handshake; returns what it scanned.
  phone::ScannedQR pairPhone(const phone::Identity& phone) {
    if (!service().isAdvertising()) service().startAdvertising();
    auto scanned = phone::scanQRString(phone, *service().qrPayloadString());
    EXPECT_TRUE(scanned) << scanned.error().message;
    EXPECT_NE(network_.join(phone), nullptr);
    service().handleHandshake(phone::handshakePayload(phone, *scanned));
    return *scanned;
  }
  /// The connected phone's link breaks.
  void dropPhone() { network_.session().drop(*service().connectedPeerID()); }

  static SyncEnvelope someEnvelope() {
    return SyncEnvelope::make(SyncMessageType::deltaContact, Bytes{'{', '}'});
  }

  test::TempDir dir_;
  test::DesktopServices services_{dir_.path()};
  // The service's keychain: the desktop's, made to fail when a test says so.
  test::FailingKeychainBackend keychainBackend_{services_.keychainBackend};
  KeychainStore keychain_{keychainBackend_};
  FakeNetwork network_;
  std::unique_ptr<PairingService> service_;
  phone::Identity phone_ = phone::Identity::generate("Dana's phone");
};

TEST_F(PairingServiceTest, FirstPairingEndsPairedWithABondAndASignedAcknowledgement) {
  const std::string qr = service().makeQRPayload();
  service().startAdvertising();
  EXPECT_EQ(service().state(), PairingState::advertising);
  EXPECT_EQ(service().qrPayloadString(), qr);
  EXPECT_EQ(network_.advertised, std::tuple(services_.identity.current(), "quillmere-pair",
                                            std::map<std::string, std::string>{{"version", "1"}}));

  const phone::ScannedQR scanned = pairPhone(phone_);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_EQ(service().peerDisplayName(), "Dana's phone");
  EXPECT_TRUE(service().lastConnectedAt());
  EXPECT_FALSE(network_.advertising());

  // The bond it keeps is checked where it is read back after a restart.
  ASSERT_EQ(network_.session().sent.size(), 1U);
  auto ack = phone::readPairAck(network_.session().sent[0], scanned.desktop);
  ASSERT_TRUE(ack) << ack.error().message;
  EXPECT_EQ(ack->macDisplayName, "Dana's Laptop");
  EXPECT_TRUE(ack->accepted);
}

TEST_F(PairingServiceTest, HandshakeWhoseBondCannotBeSavedEndsInErrorWithoutABond) {
  std::vector<PairingState> shown;
  auto subscription = service().changed().subscribe([&] { shown.push_back(service().state()); });
  keychainBackend_.failSaves = true;
  const phone::ScannedQR scanned = pairPhone(phone_);

  EXPECT_EQ(service().state(), PairingState::error);
  EXPECT_EQ(service().errorMessage(),
            "Could not save the pairing with Dana's phone: The keychain did not take the pairing "
            "bond. Pair again.");
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), PairingState::error);
  EXPECT_FALSE(service().bond());
  EXPECT_FALSE(service().bondSecret());
  EXPECT_FALSE(service().hasSharedSecret());
  EXPECT_FALSE(network_.advertising());
  EXPECT_EQ(service().qrPayloadString(), std::nullopt);

  // No acknowledgement, the session dropped, and nothing signed with the
  // secret that was not kept.
  FakeSession& session = network_.session();
  EXPECT_TRUE(session.sent.empty());
  EXPECT_EQ(network_.disconnects, 1);
  EXPECT_FALSE(service().connectedPeerID());
  (void)service().send(someEnvelope());
  for (const auto& sent : session.sent)
    EXPECT_FALSE(phone::openEnvelope(sent, scanned.desktop.sharedSecret));
}

TEST_F(PairingServiceTest, BondIsReadOnceAndChangesOnlyWithAHandshake) {
  const phone::ScannedQR first = pairPhone(phone_);
  service_.reset();  // a restart reads the bond, but starts unpaired
  EXPECT_EQ(service().state(), PairingState::unpaired);
  ASSERT_TRUE(service().bond());
  EXPECT_EQ(service().peerDisplayName(), "Dana's phone");

  const phone::Identity other = phone::Identity::generate("Eli's phone");
  const std::array<std::uint8_t, 32> otherSecret{7, 7, 7};
  const auto passes = [&](std::span<const std::uint8_t, 32> secret) {
    auto note = phone::sealMessage(SyncMessageType::error, ErrorPayload{"E1", "oops", {}}, secret);
    return checkIncomingMessage(note.value(), service().bondSecret()).has_value();
  };

  // Behind the service's back the item is replaced by another bond, then
  // deleted: the bond in memory still decides who the phone is.
  ASSERT_TRUE(
      saveBond(services_.keychain,
               PairingBond{other.deviceUUID, "Eli's phone",
                           base64Encode(std::span<const std::uint8_t>(otherSecret)), now()}));
  EXPECT_EQ(service().bond()->peerDeviceUUID, phone_.deviceUUID);
  EXPECT_TRUE(passes(first.desktop.sharedSecret));
  EXPECT_FALSE(passes(otherSecret));
  ASSERT_TRUE(deleteBond(services_.keychain));
  EXPECT_EQ(service().bond()->peerDeviceUUID, phone_.deviceUUID);
  EXPECT_TRUE(passes(first.desktop.sharedSecret));
  EXPECT_FALSE(passes(otherSecret)) << "checked as if there were no bond";

  // Pairing another phone replaces it, in memory and in the keychain, and
  // what goes out is signed with the new secret.
  const phone::ScannedQR second = pairPhone(other);
  ASSERT_EQ(service().state(), PairingState::paired);
  EXPECT_EQ(service().bond()->peerDeviceUUID, other.deviceUUID);
  EXPECT_EQ(loadBond(services_.keychain)->peerDeviceUUID, other.deviceUUID);
  EXPECT_TRUE(passes(second.desktop.sharedSecret));
  EXPECT_FALSE(passes(first.desktop.sharedSecret));
  FakeSession& session = network_.session();
  session.sent.clear();
  ASSERT_TRUE(service().send(someEnvelope()));
  ASSERT_EQ(session.sent.size(), 1U);
  EXPECT_TRUE(phone::openEnvelope(session.sent[0], second.desktop.sharedSecret));
  EXPECT_FALSE(phone::openEnvelope(session.sent[0], first.desktop.sharedSecret));
}

TEST_F(PairingServiceTest, EverySubscriberHearsChangesUntilItsHandleIsGone) {
  int first = 0;
  int second = 0;
  auto kept = service().changed().subscribe([&] { ++first; });
  {
    auto dropped = service().changed().subscribe([&] { ++second; });
    service().makeQRPayload();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
  }
  service().startAdvertising();
  service().stopAdvertising();
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 1);
}

TEST_F(PairingServiceTest, HandshakesNeedTheCodeOnShowAndStatesRefuseWhatTheyDoNotAllow) {
  service().startAdvertising();
  const std::string first = *service().qrPayloadString();
  auto abandoned = phone::scanQRString(phone_, first);
  ASSERT_TRUE(abandoned);
  service().stopAdvertising();
  EXPECT_EQ(service().state(), PairingState::unpaired);
  EXPECT_FALSE(network_.advertising());
  EXPECT_EQ(service().qrPayloadString(), std::nullopt);

  // A handshake for the abandoned code fails.
  service().handleHandshake(phone::handshakePayload(phone_, *abandoned));
  EXPECT_EQ(service().state(), PairingState::error);
  EXPECT_EQ(service().errorMessage(), "No active pairing session");

  // From the error state, advertising may start again with a new key pair and
  // code, clearing the message.
  service().startAdvertising();
  EXPECT_EQ(service().state(), PairingState::advertising);
  EXPECT_EQ(service().errorMessage(), std::nullopt);
  ASSERT_TRUE(service().qrPayloadString());
  EXPECT_NE(*service().qrPayloadString(), first);

  // A second phone inviting while the first is connecting is declined, and
  // without a bond there is nothing to reconnect to.
  ASSERT_NE(network_.join(phone_), nullptr);
  ASSERT_EQ(service().state(), PairingState::connecting);
  EXPECT_EQ(network_.join(phone::Identity::generate("Other")), nullptr);
  service().reconnect();
  EXPECT_EQ(service().state(), PairingState::connecting);

  // Once paired, advertising does not start and the used code is spent.
  auto scanned = phone::scanQRString(phone_, *service().qrPayloadString());
  service().handleHandshake(phone::handshakePayload(phone_, *scanned));
  ASSERT_EQ(service().state(), PairingState::paired);
  EXPECT_NE(scanned->desktop.sharedSecret, abandoned->desktop.sharedSecret);
  service().startAdvertising();
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_FALSE(network_.advertising());
  // A handshake while paired (anyone may send one, under any name) is ignored.
  const auto bond = service().bond();
  service().handleHandshake(phone::handshakePayload(phone_, *scanned));
  service().handleHandshake({phone_.deviceUUID, "Dana's phone", "@@@@", "nonce"});
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_EQ(service().bond(), bond);
  EXPECT_EQ(service().errorMessage(), std::nullopt);
}

TEST_F(PairingServiceTest, BadHandshakeKeysAndAdvertisingFailuresEndInError) {
  service().startAdvertising();
  service().handleHandshake({phone_.deviceUUID, "Dana's phone", "@@@@", "nonce"});
  EXPECT_EQ(service().state(), PairingState::error);
  EXPECT_EQ(service().errorMessage(),
            "Handshake failed: Invalid key data — could not decode base64 public key");
  EXPECT_FALSE(loadBond(services_.keychain));

  service().startAdvertising();
  network_.advertiser().advertisingFailed("Address already in use");
  EXPECT_EQ(service().state(), PairingState::error);
  EXPECT_EQ(service().errorMessage(), "Failed to start advertising: Address already in use");
}

TEST_F(PairingServiceTest, OnlyTheBondedPhoneComesBackWithoutAHandshakeAfterADropOrARestart) {
  const phone::ScannedQR scanned = pairPhone(phone_);
  const phone::Identity stranger = phone::Identity::generate("Someone else");

  // A lost session is looked for again; no other device may take its place.
  dropPhone();
  EXPECT_EQ(service().state(), PairingState::reconnecting);
  EXPECT_TRUE(network_.advertising());
  EXPECT_EQ(network_.join(stranger), nullptr);
  EXPECT_EQ(service().state(), PairingState::reconnecting);
  ASSERT_NE(network_.join(phone_), nullptr);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_FALSE(network_.advertising());
  // What goes out reaches the phone on its new connection, signed as before.
  ASSERT_TRUE(service().send(someEnvelope()));
  EXPECT_TRUE(phone::openEnvelope(network_.session().sent.back(), scanned.desktop.sharedSecret));

  // After a restart, with the code on show, another phone may start pairing;
  // the bonded one is paired at once.
  service_.reset();
  service().startAdvertising();
  ASSERT_NE(network_.join(stranger), nullptr);
  EXPECT_EQ(service().state(), PairingState::connecting);
  dropPhone();
  EXPECT_EQ(service().state(), PairingState::advertising);
  ASSERT_NE(network_.join(phone_), nullptr);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_FALSE(network_.advertising());
  EXPECT_EQ(service().qrPayloadString(), std::nullopt);
}

TEST_F(PairingServiceTest, SendNeedsTheConnectedPhoneAndReportsTheLinksError) {
  EXPECT_THAT(service().send(someEnvelope()), test::IsError("Not connected to peer"));
  pairPhone(phone_);
  network_.session().failSends = true;
  EXPECT_THAT(service().send(someEnvelope()), test::IsError("link broken"));
  network_.session().failSends = false;
  // The session still exists, but the phone is no longer among its peers.
  dropPhone();
  EXPECT_THAT(service().send(someEnvelope()), test::IsError("Not connected to peer"));
}

TEST_F(PairingServiceTest, ForgetPairingEndsUnpairedFromEveryState) {
  const std::string deviceID = services_.identity.current();
  auto check = [&](const char* where) {
    SCOPED_TRACE(where);
    EXPECT_OK(service().forgetPairing());
    EXPECT_EQ(service().state(), PairingState::unpaired);
    EXPECT_FALSE(service().bond());
    EXPECT_FALSE(service().hasSharedSecret());
    EXPECT_FALSE(loadBond(services_.keychain));
    EXPECT_FALSE(network_.advertising());  // and no reconnect either
    EXPECT_EQ(service().peerDisplayName(), std::nullopt);
    EXPECT_EQ(service().qrPayloadString(), std::nullopt);
    EXPECT_EQ(service().errorMessage(), std::nullopt);
    EXPECT_EQ(services_.identity.current(), deviceID);
  };
  check("unpaired");
  service().startAdvertising();
  check("advertising");
  service().startAdvertising();
  network_.join(phone_);
  check("connecting");
  pairPhone(phone_);
  check("paired");
  pairPhone(phone_);
  dropPhone();
  ASSERT_EQ(service().state(), PairingState::reconnecting);
  check("reconnecting");
  service().startAdvertising();
  network_.advertiser().advertisingFailed("Address already in use");
  ASSERT_EQ(service().state(), PairingState::error);
  check("error");
}

TEST_F(PairingServiceTest, ForgetPairingThatTheKeychainRefusesFailsButStillDropsTheSession) {
  pairPhone(phone_);
  keychainBackend_.failRemoves = true;
  EXPECT_THAT(service().forgetPairing(),
              test::IsError("The pairing bond could not be deleted from the keychain"));
  EXPECT_EQ(network_.disconnects, 1);
  EXPECT_EQ(service().state(), PairingState::unpaired);
  EXPECT_FALSE(service().bond());
  EXPECT_FALSE(service().hasSharedSecret());
  EXPECT_FALSE(network_.advertising());
  EXPECT_THAT(service().send(someEnvelope()), test::IsError("Not connected to peer"));
}

}  // namespace
}  // namespace qm
