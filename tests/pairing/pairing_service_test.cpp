// The pairing service's states, driven through an in-memory peer network, with
// the phone's side played by the phone library.
#include "pairing/pairing_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/log.h"
#include "pairing/pairing_bond.h"
#include "phone/phone_pairing.h"
#include "support/desktop_services.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "sync/delta_journal.h"
#include "wire/message_verification.h"
#include "wire/sync_payloads.h"

namespace qm {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

/// A session whose peers the test connects and drops by hand.
class FakeSession : public PeerSession {
 public:
  explicit FakeSession(PeerSessionEvents events) : events_(std::move(events)) {}

  std::vector<PeerID> connectedPeers() const override { return connected_; }
  Status send(std::string_view bytes, const PeerID& peer) override {
    if (std::find(connected_.begin(), connected_.end(), peer) == connected_.end()) {
      return Error("peer is not connected");
    }
    if (failSends) return Error("link broken");
    sent.emplace_back(bytes);
    return {};
  }
  void disconnect() override {
    auto peers = connected_;
    connected_.clear();
    for (const auto& peer : peers)
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
  void receive(std::string bytes, const PeerID& from) {
    events_.dataReceived(std::move(bytes), from);
  }

  std::vector<std::string> sent;
  bool failSends = false;

 private:
  PeerSessionEvents events_;
  std::vector<PeerID> connected_;
};

class FakeAdvertiser;

/// Hands out fake sessions and advertisers and keeps the latest of each.
class FakeNetwork : public PeerNetwork {
 public:
  std::unique_ptr<PeerSession> makeSession(PeerSessionEvents events) override {
    auto session = std::make_unique<FakeSession>(std::move(events));
    session_ = session.get();
    ++sessionsMade;
    return session;
  }
  std::unique_ptr<PeerAdvertiser> startAdvertising(const std::string& localName,
                                                   const std::map<std::string, std::string>& txt,
                                                   std::string_view serviceType,
                                                   AdvertiserEvents events) override;

  /// `peer` invites this desktop; returns the session it was let into, or
  /// nothing when declined or when nothing is advertised.
  FakeSession* invite(const PeerID& peer);

  FakeSession* inviteNow(const PeerID& peer);
  FakeSession& session() { return *session_; }
  FakeAdvertiser& advertiser() { return *advertiser_; }
  void advertiserGone(FakeAdvertiser* advertiser) {
    if (advertiser_ == advertiser) advertiser_ = nullptr;
  }

  bool advertising = false;
  int sessionsMade = 0;
  std::string advertisedName;
  std::map<std::string, std::string> advertisedTxt;
  std::string advertisedType;

 private:
  FakeSession* session_ = nullptr;
  FakeAdvertiser* advertiser_ = nullptr;
};

class FakeAdvertiser : public PeerAdvertiser {
 public:
  FakeAdvertiser(AdvertiserEvents advertiserEvents, FakeNetwork* network)
      : events(std::move(advertiserEvents)), network_(network) {
    network_->advertising = true;
  }
  ~FakeAdvertiser() override {
    network_->advertising = false;
    network_->advertiserGone(this);
  }
  void stop() override { network_->advertising = false; }

  AdvertiserEvents events;

 private:
  FakeNetwork* network_;
};

std::unique_ptr<PeerAdvertiser> FakeNetwork::startAdvertising(
    const std::string& localName, const std::map<std::string, std::string>& txt,
    std::string_view serviceType, AdvertiserEvents events) {
  advertisedName = localName;
  advertisedTxt = txt;
  advertisedType = serviceType;
  auto advertiser = std::make_unique<FakeAdvertiser>(std::move(events), this);
  advertiser_ = advertiser.get();
  return advertiser;
}

FakeSession* FakeNetwork::inviteNow(const PeerID& peer) {
  FakeSession* joined = nullptr;
  bool answered = false;
  advertiser_->events.invitationReceived(peer, [&](PeerSession* session) {
    answered = true;
    joined = static_cast<FakeSession*>(session);
  });
  EXPECT_TRUE(answered);
  return joined;
}

FakeSession* FakeNetwork::invite(const PeerID& peer) {
  if (advertiser_ == nullptr || !advertising) return nullptr;
  return inviteNow(peer);
}

class PairingServiceTest : public ::testing::Test {
 protected:
  PairingServiceTest() { EXPECT_TRUE(services_.settings.set("displayName", "Dana's Laptop")); }

  PairingService& service() {
    if (!service_)
      service_ = std::make_unique<PairingService>(network_, services_.keychain, services_.identity,
                                                  services_.settings);
    return *service_;
  }

  /// The phone scans the current QR code, invites the desktop, connects and
  /// sends its handshake; returns what it scanned.
  phone::ScannedQR pairPhone(const phone::Identity& phone) {
    auto scanned = phone::scanQRString(phone, *service().qrPayloadString());
    EXPECT_TRUE(scanned) << scanned.error().message;
    FakeSession* session = network_.invite(peerOf(phone));
    EXPECT_NE(session, nullptr);
    session->connect(peerOf(phone));
    service().handleHandshake(phone::handshakePayload(phone, *scanned));
    return *scanned;
  }

  PeerID peerOf(const phone::Identity& phone) {
    return PeerID{phone.deviceUUID, ++nextConnection_};
  }

  test::TempDir dir_;
  test::DesktopServices services_{dir_.path()};
  FakeNetwork network_;
  std::unique_ptr<PairingService> service_;
  phone::Identity phone_ = phone::Identity::generate("Dana's phone");
  std::uint64_t nextConnection_ = 0;
};

TEST_F(PairingServiceTest, FirstPairingEndsPairedWithABondAndASignedAcknowledgement) {
  test::LogCapture logged(log::pairing());
  const std::string qr = service().makeQRPayload();
  service().startAdvertising();
  EXPECT_EQ(service().state(), PairingState::advertising);
  EXPECT_EQ(service().qrPayloadString(), qr);
  EXPECT_TRUE(network_.advertising);
  EXPECT_EQ(network_.advertisedName, services_.identity.current());
  EXPECT_EQ(network_.advertisedType, "quillmere-pair");
  EXPECT_EQ(network_.advertisedTxt, (std::map<std::string, std::string>{{"version", "1"}}));

  const phone::ScannedQR scanned = pairPhone(phone_);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_EQ(service().peerDisplayName(), "Dana's phone");
  EXPECT_TRUE(service().lastConnectedAt());
  EXPECT_FALSE(network_.advertising);

  auto bond = loadBond(services_.keychain);
  ASSERT_TRUE(bond);
  EXPECT_EQ(bond->peerDeviceUUID, phone_.deviceUUID);
  EXPECT_EQ(*base64Decode(bond->sharedSecretBase64),
            Bytes(scanned.desktop.sharedSecret.begin(), scanned.desktop.sharedSecret.end()));

  ASSERT_EQ(network_.session().sent.size(), 1U);
  auto ack = phone::readPairAck(network_.session().sent[0], scanned.desktop);
  ASSERT_TRUE(ack) << ack.error().message;
  EXPECT_EQ(ack->macDisplayName, "Dana's Laptop");
  EXPECT_TRUE(ack->accepted);

  const std::string text = logged.text();
  EXPECT_THAT(text, HasSubstr("Started advertising as quillmere-pair"));
  EXPECT_THAT(text, HasSubstr("Received invitation from: " + phone_.deviceUUID));
  EXPECT_THAT(text, HasSubstr("Accepted invitation from " + phone_.deviceUUID));
  EXPECT_THAT(text, HasSubstr("Peer " + phone_.deviceUUID + " state: connected"));
  EXPECT_THAT(text, HasSubstr("Pairing complete with Dana's phone"));

  // A later restart loads the bond but starts unpaired, ready to sign.
  service_.reset();
  test::LogCapture restarted(log::pairing());
  EXPECT_EQ(service().state(), PairingState::unpaired);
  EXPECT_TRUE(service().hasSharedSecret());
  EXPECT_EQ(service().peerDisplayName(), "Dana's phone");
  EXPECT_THAT(restarted.text(), HasSubstr("Existing bond loaded — peer: Dana's phone"));
}

TEST_F(PairingServiceTest, RefusesWhatItsStateDoesNotAllow) {
  test::LogCapture logged(log::pairing());
  service().makeQRPayload();
  service().startAdvertising();
  const phone::ScannedQR scanned = pairPhone(phone_);
  ASSERT_EQ(service().state(), PairingState::paired);

  // Start advertising while paired changes nothing.
  service().startAdvertising();
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_FALSE(network_.advertising);
  EXPECT_THAT(logged.text(), HasSubstr("[error] Cannot start advertising in state: paired"));

  // A second handshake without a new QR code fails.
  service().handleHandshake(phone::handshakePayload(phone_, scanned));
  EXPECT_EQ(service().state(), PairingState::error);
  EXPECT_EQ(service().errorMessage(), "No active pairing session");
  EXPECT_THAT(logged.text(), HasSubstr("No ephemeral key — handshake received without active "
                                       "pairing attempt"));

  // From the error state, advertising may start again, clearing the message.
  service().startAdvertising();
  EXPECT_EQ(service().state(), PairingState::advertising);
  EXPECT_EQ(service().errorMessage(), std::nullopt);
}

TEST_F(PairingServiceTest, StoppingAdvertisingAbandonsTheQRCode) {
  const std::string first = service().makeQRPayload();
  service().startAdvertising();
  auto scanned = phone::scanQRString(phone_, first);
  ASSERT_TRUE(scanned);
  service().stopAdvertising();
  EXPECT_EQ(service().state(), PairingState::unpaired);
  EXPECT_FALSE(network_.advertising);
  EXPECT_EQ(service().qrPayloadString(), std::nullopt);

  // A handshake for the abandoned code fails.
  service().handleHandshake(phone::handshakePayload(phone_, *scanned));
  EXPECT_EQ(service().state(), PairingState::error);
  EXPECT_EQ(service().errorMessage(), "No active pairing session");

  // Advertising again makes a new key pair and code.
  service().startAdvertising();
  ASSERT_TRUE(service().qrPayloadString());
  EXPECT_NE(*service().qrPayloadString(), first);
  auto rescanned = phone::scanQRString(phone_, *service().qrPayloadString());
  EXPECT_NE(rescanned->desktop.sharedSecret, scanned->desktop.sharedSecret);

  // A second phone inviting while the first is connecting is declined.
  ASSERT_NE(network_.invite(peerOf(phone_)), nullptr);
  ASSERT_EQ(service().state(), PairingState::connecting);
  test::LogCapture logged(log::pairing());
  EXPECT_EQ(network_.invite(peerOf(phone::Identity::generate("Other"))), nullptr);
  EXPECT_THAT(logged.text(),
              HasSubstr("Rejected invitation — not in advertising/reconnecting state"));
}

TEST_F(PairingServiceTest, BadHandshakeKeysAndAdvertisingFailuresEndInError) {
  service().makeQRPayload();
  service().startAdvertising();
  PairHandshakePayload handshake{phone_.deviceUUID, "Dana's phone", "@@@@", "nonce"};
  service().handleHandshake(handshake);
  EXPECT_EQ(service().state(), PairingState::error);
  EXPECT_EQ(service().errorMessage(),
            "Handshake failed: Invalid key data — could not decode base64 public key");
  EXPECT_FALSE(loadBond(services_.keychain));

  service().startAdvertising();
  network_.advertiser().events.advertisingFailed("Address already in use");
  EXPECT_EQ(service().state(), PairingState::error);
  EXPECT_EQ(service().errorMessage(), "Failed to start advertising: Address already in use");
}

TEST_F(PairingServiceTest, BondedPhoneComesBackWithoutAHandshakeOthersKeepWaiting) {
  service().makeQRPayload();
  service().startAdvertising();
  pairPhone(phone_);
  EXPECT_TRUE(service().forgetPairing().ok());
  // Re-pair the same phone, then restart the companion.
  service().makeQRPayload();
  service().startAdvertising();
  pairPhone(phone_);
  service_.reset();

  service().makeQRPayload();
  service().startAdvertising();
  const phone::Identity stranger = phone::Identity::generate("Someone else");
  FakeSession* session = network_.invite(peerOf(stranger));
  ASSERT_NE(session, nullptr);
  session->connect(peerOf(stranger));
  EXPECT_EQ(service().state(), PairingState::connecting);
  session->drop(*service().connectedPeerID());
  EXPECT_EQ(service().state(), PairingState::advertising);

  test::LogCapture logged(log::pairing());
  const PeerID bonded = peerOf(phone_);
  ASSERT_NE(network_.invite(bonded), nullptr);
  network_.session().connect(bonded);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_FALSE(network_.advertising);
  EXPECT_EQ(service().qrPayloadString(), std::nullopt);
  EXPECT_THAT(logged.text(),
              HasSubstr("Bonded peer reconnected via advertising — skipped handshake"));
}

TEST_F(PairingServiceTest, LostSessionReconnectsOnlyForTheBondedPhone) {
  service().makeQRPayload();
  service().startAdvertising();
  pairPhone(phone_);
  const int sessionsBefore = network_.sessionsMade;

  test::LogCapture logged(log::pairing());
  network_.session().drop(*service().connectedPeerID());
  EXPECT_EQ(service().state(), PairingState::reconnecting);
  EXPECT_TRUE(network_.advertising);
  EXPECT_EQ(network_.sessionsMade, sessionsBefore + 1);
  EXPECT_THAT(logged.text(), HasSubstr("Connection lost — will attempt reconnect"));
  EXPECT_THAT(logged.text(), HasSubstr("Attempting reconnect..."));

  // Another device may not take the bonded phone's place.
  const phone::Identity stranger = phone::Identity::generate("Someone else");
  EXPECT_EQ(network_.invite(peerOf(stranger)), nullptr);
  EXPECT_THAT(logged.text(), HasSubstr("Rejected invitation from " + stranger.deviceUUID +
                                       " — not the bonded phone"));
  EXPECT_EQ(service().state(), PairingState::reconnecting);

  const PeerID back = peerOf(phone_);
  ASSERT_NE(network_.invite(back), nullptr);
  network_.session().connect(back);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_FALSE(network_.advertising);
  EXPECT_THAT(logged.text(), HasSubstr("Reconnected to " + phone_.deviceUUID));
}

TEST_F(PairingServiceTest, SendSignsWithTheSecretAndNeedsTheConnectedPhone) {
  auto envelope = SyncEnvelope::make(SyncMessageType::deltaContact, Bytes{'{', '}'});
  EXPECT_EQ(service().send(envelope).error().message, "Not connected to peer");

  service().makeQRPayload();
  service().startAdvertising();
  const phone::ScannedQR scanned = pairPhone(phone_);
  FakeSession& session = network_.session();
  session.sent.clear();
  ASSERT_TRUE(service().send(envelope));
  ASSERT_EQ(session.sent.size(), 1U);
  EXPECT_TRUE(phone::openEnvelope(session.sent[0], scanned.desktop.sharedSecret));

  session.failSends = true;
  EXPECT_EQ(service().send(envelope).error().message, "link broken");
  session.failSends = false;

  // The session still exists, but the phone is no longer among its peers.
  const PeerID gone = *service().connectedPeerID();
  session.drop(gone);
  EXPECT_EQ(service().send(envelope).error().message, "Not connected to peer");
}

TEST_F(PairingServiceTest, ForgetPairingEndsUnpairedFromEveryState) {
  const std::string deviceID = services_.identity.current();
  auto check = [&](const char* where) {
    test::LogCapture logged(log::pairing());
    EXPECT_TRUE(service().forgetPairing().ok());
    EXPECT_EQ(service().state(), PairingState::unpaired) << where;
    EXPECT_FALSE(service().hasSharedSecret()) << where;
    EXPECT_FALSE(loadBond(services_.keychain)) << where;
    EXPECT_FALSE(network_.advertising) << where;
    EXPECT_EQ(service().peerDisplayName(), std::nullopt) << where;
    EXPECT_EQ(service().qrPayloadString(), std::nullopt) << where;
    EXPECT_EQ(service().errorMessage(), std::nullopt) << where;
    EXPECT_EQ(services_.identity.current(), deviceID) << where;
    EXPECT_THAT(logged.text(), HasSubstr("Pairing forgotten — all bond data cleared")) << where;
    EXPECT_THAT(logged.text(), Not(HasSubstr("reconnect"))) << where;
  };
  check("unpaired");
  service().startAdvertising();
  check("advertising");
  service().startAdvertising();
  network_.invite(peerOf(phone_));
  check("connecting");
  service().startAdvertising();
  pairPhone(phone_);
  check("paired");
  service().startAdvertising();
  pairPhone(phone_);
  network_.session().drop(*service().connectedPeerID());
  ASSERT_EQ(service().state(), PairingState::reconnecting);
  check("reconnecting");
  service().startAdvertising();
  service().handleHandshake(PairHandshakePayload{"x", "y", "bad", ""});
  ASSERT_EQ(service().state(), PairingState::error);
  check("error");
}

TEST_F(PairingServiceTest, ReceivedMessagesAreHandedOnAndLostSessionsInOtherStatesChangeNothing) {
  std::vector<std::string> received;
  auto subscription = service().dataReceived().subscribe(
      [&](const std::string& bytes, const PeerID&) { received.push_back(bytes); });
  service().makeQRPayload();
  service().startAdvertising();
  const PeerID peer = peerOf(phone_);
  network_.invite(peer);
  network_.session().connect(peer);
  network_.session().receive("hello", peer);
  EXPECT_EQ(received, std::vector<std::string>{"hello"});

  // Reconnect needs a bond.
  test::LogCapture logged(log::pairing());
  service().reconnect();
  EXPECT_THAT(logged.text(), HasSubstr("No bond exists — cannot reconnect"));
  EXPECT_EQ(service().state(), PairingState::connecting);
}

TEST_F(PairingServiceTest, QueuedEnvelopesGoOutSignedWithTheSecretOfTheNewPairing) {
  service().makeQRPayload();
  service().startAdvertising();
  const phone::ScannedQR first = pairPhone(phone_);

  // While the phone is away, edits wait in the journal, unsigned.
  network_.session().drop(*service().connectedPeerID());
  DeltaJournal journal(dir_.path() / "support");
  for (int i = 0; i < 3; ++i) {
    auto envelope = SyncEnvelope::make(SyncMessageType::deltaContact, Bytes{'{', '}'});
    EXPECT_FALSE(service().send(envelope));
    journal.append(envelope);
  }
  auto send = [&](const SyncEnvelope& e) { return service().send(e); };
  EXPECT_EQ(journal.drain(send, service().state() == PairingState::paired), 0U);

  // The user forgets the phone and pairs it again: a new secret.
  EXPECT_TRUE(service().forgetPairing().ok());
  service().makeQRPayload();
  service().startAdvertising();
  const phone::ScannedQR second = pairPhone(phone_);
  ASSERT_NE(first.desktop.sharedSecret, second.desktop.sharedSecret);
  FakeSession& session = network_.session();
  session.sent.clear();

  DeltaJournal reloaded(dir_.path() / "support");
  ASSERT_EQ(reloaded.pendingEnvelopes().size(), 3U);
  EXPECT_EQ(reloaded.drain(send, service().state() == PairingState::paired), 3U);
  EXPECT_TRUE(reloaded.pendingEnvelopes().empty());
  ASSERT_EQ(session.sent.size(), 3U);
  for (std::size_t i = 0; i < 3; ++i) {
    auto opened = phone::openEnvelope(session.sent[i], second.desktop.sharedSecret);
    ASSERT_TRUE(opened) << opened.error().message;
    EXPECT_EQ(opened->messageID, journal.pendingEnvelopes()[i].messageID);
    EXPECT_FALSE(phone::openEnvelope(session.sent[i], first.desktop.sharedSecret));
  }
}

}  // namespace
}  // namespace qm
