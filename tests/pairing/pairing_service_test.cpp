// The pairing service's states, driven through an in-memory peer network, with
// the phone's side played by the phone library.
#include "pairing/pairing_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "failing_keychain.h"
#include "pairing/pairing_bond.h"
#include "pairing/qr_payload.h"
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

/// A session whose peers the test connects, drops and speaks for by hand.
class FakeSession : public PeerSession {
 public:
  FakeSession(PeerSessionEvents events, int& disconnects)
      : events_(std::move(events)), disconnects_(disconnects) {}

  std::vector<PeerID> connectedPeers() const override { return connected_; }
  Status send(std::string_view bytes, const PeerID& peer) override {
    if (std::ranges::find(connected_, peer) == connected_.end()) return Error("not connected");
    if (failSends) return Error("link broken");
    sent.emplace_back(peer, std::string(bytes));
    return {};
  }
  void disconnect() override {
    ++disconnects_;
    for (const auto& peer : std::exchange(connected_, {}))
      events_.peerStateChanged(peer, PeerConnectionState::notConnected);
  }
  void disconnect(const PeerID& peer) override {
    if (std::erase(connected_, peer) > 0)
      events_.peerStateChanged(peer, PeerConnectionState::notConnected);
  }
  void connect(const PeerID& peer) {
    events_.peerStateChanged(peer, PeerConnectionState::connecting);
    connected_.push_back(peer);
    events_.peerStateChanged(peer, PeerConnectionState::connected);
  }
  void deliver(const PeerID& peer, std::string bytes) {
    if (std::ranges::find(connected_, peer) != connected_.end())
      events_.dataReceived(std::move(bytes), peer);
  }
  bool isConnected(const PeerID& peer) const {
    return std::ranges::find(connected_, peer) != connected_.end();
  }
  /// What went to `peer`, oldest first.
  std::vector<std::string> sentTo(const PeerID& peer) const {
    std::vector<std::string> out;
    for (const auto& [to, bytes] : sent)
      if (to == peer) out.push_back(bytes);
    return out;
  }

  std::vector<std::pair<PeerID, std::string>> sent;
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

/// Hands out fake sessions and advertisers, keeps the latest of each, and runs
/// a clock that only the test moves.
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

  struct Timer : PeerTimer {
    explicit Timer(std::shared_ptr<std::function<void()>> call) : fn(std::move(call)) {}
    ~Timer() override { *fn = nullptr; }
    std::shared_ptr<std::function<void()>> fn;
  };
  std::unique_ptr<PeerTimer> callAfter(std::chrono::milliseconds delay,
                                       std::function<void()> fn) override {
    auto shared = std::make_shared<std::function<void()>>(std::move(fn));
    timers_.emplace(now_ + delay, shared);
    return std::make_unique<Timer>(shared);
  }
  /// Moves the clock on, running every call that falls due, in time order.
  void advance(std::chrono::milliseconds by) {
    now_ += by;
    while (!timers_.empty() && timers_.begin()->first <= now_) {
      auto fn = timers_.begin()->second;
      timers_.erase(timers_.begin());
      if (*fn) (*fn)();
    }
  }

  /// A device named `name` invites this desktop from `address` (by default
  /// an address of its own) and, when let in, connects; returns its peer, or
  /// nothing when declined or when nothing is advertised.
  std::optional<PeerID> join(const std::string& name, std::string address = {}) {
    const auto events = advertiser_.lock();  // kept alive while it answers
    if (!events) return std::nullopt;
    ++connections_;
    if (address.empty()) address = "192.0.2." + std::to_string(connections_);
    const PeerID peer{name, connections_, address};
    std::optional<PeerSession*> answer;
    events->invitationReceived(peer, [&](PeerSession* s) { answer = s; });
    EXPECT_TRUE(answer) << "the invitation was not answered";
    auto* joined = static_cast<FakeSession*>(answer.value_or(nullptr));
    if (!joined) return std::nullopt;
    joined->connect(peer);
    return peer;
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
  std::chrono::milliseconds now_{0};
  std::multimap<std::chrono::milliseconds, std::shared_ptr<std::function<void()>>> timers_;
};

class PairingServiceTest : public ::testing::Test {
 protected:
  PairingServiceTest() { EXPECT_TRUE(services_.settings.set("displayName", "Dana's Laptop")); }

  /// The service, made (again, as after a restart) when there is none.
  PairingService& service() {
    if (!service_) {
      service_ = std::make_unique<PairingService>(network_, keychain_, services_.identity,
                                                  services_.settings);
      received_ = service_->dataReceived().subscribe(
          [this](const std::string& bytes, const PeerID&) { received.push_back(bytes); });
    }
    return *service_;
  }

  /// `phone` joins, under its own name, and sends its handshake for the code
  /// it scanned; returns its peer (checked to be let in).
  PeerID joinAndHandshake(const phone::Identity& phone, const phone::ScannedQR& scanned,
                          std::string address = {}) {
    auto peer = network_.join(phone.deviceUUID, std::move(address));
    EXPECT_TRUE(peer) << "declined";
    network_.session().deliver(*peer,
                               encodeEnvelope(*phone::handshakeEnvelope(phone, scanned)).value());
    return peer.value_or(PeerID{});
  }
  /// `peer` answers what the desktop asked with the event list, signed with `secret`.
  void answer(const PeerID& peer, std::span<const std::uint8_t, 32> secret) {
    network_.session().deliver(peer, phone::sealMessage(SyncMessageType::eventListResponse,
                                                        EventListResponsePayload{}, secret)
                                         .value());
  }
  /// The phone scans the code on show (advertising first if need be), joins,
  /// sends its handshake and answers the desktop's request; returns what it scanned.
  phone::ScannedQR pairPhone(const phone::Identity& phone) {
    if (!service().isAdvertising()) service().startAdvertising();
    auto scanned = phone::scanQRString(phone, *service().qrPayloadString());
    EXPECT_TRUE(scanned) << scanned.error().message;
    const PeerID peer = joinAndHandshake(phone, *scanned);
    answer(peer, scanned->desktop.sharedSecret);
    return *scanned;
  }
  /// The connected phone's link breaks.
  void dropPhone() { network_.session().disconnect(*service().connectedPeerID()); }

  static SyncEnvelope someEnvelope() {
    return SyncEnvelope::make(SyncMessageType::deltaContact, Bytes{'{', '}'});
  }
  /// The types of the messages in `sent`, each opened with `secret` ("?" when it does not open).
  static std::vector<std::string> opened(const std::vector<std::string>& sent,
                                         std::span<const std::uint8_t, 32> secret) {
    std::vector<std::string> types;
    for (const auto& bytes : sent) {
      auto envelope = phone::openEnvelope(bytes, secret);
      types.emplace_back(envelope ? rawValue(envelope->type) : "?");
    }
    return types;
  }

  test::TempDir dir_;
  test::DesktopServices services_{dir_.path()};
  // The service's keychain: the desktop's, made to fail when a test says so.
  test::FailingKeychainBackend keychainBackend_{services_.keychainBackend};
  KeychainStore keychain_{keychainBackend_};
  FakeNetwork network_;
  std::unique_ptr<PairingService> service_;
  Subscription received_;
  std::vector<std::string> received;
  phone::Identity phone_ = phone::Identity::generate("Dana's phone");
};

TEST_F(PairingServiceTest, PairingIsCompleteOnlyWhenThePhoneAnswersSignedWithTheNewSecret) {
  const std::string qr = service().makeQRPayload();
  service().startAdvertising();
  EXPECT_EQ(service().state(), PairingState::advertising);
  EXPECT_EQ(network_.advertised, std::tuple(services_.identity.current(), "quillmere-pair",
                                            std::map<std::string, std::string>{{"version", "1"}}));

  auto scanned = phone::scanQRString(phone_, qr);
  ASSERT_TRUE(scanned);
  const PeerID peer = joinAndHandshake(phone_, *scanned);

  // Acknowledged and asked for its events, both signed with the new secret;
  // but not paired yet: no bond, nothing else goes out, nothing is handed on.
  const auto sent = network_.session().sentTo(peer);
  EXPECT_EQ(opened(sent, scanned->desktop.sharedSecret),
            (std::vector<std::string>{"pair.ack", "event.list.request"}));
  auto ack = phone::readPairAck(sent.at(0), scanned->desktop);
  ASSERT_TRUE(ack) << ack.error().message;
  EXPECT_EQ(ack->macDisplayName, "Dana's Laptop");
  EXPECT_TRUE(ack->accepted);
  EXPECT_EQ(service().state(), PairingState::connecting);
  EXPECT_FALSE(service().bond());
  EXPECT_FALSE(loadBond(services_.keychain));
  EXPECT_THAT(service().send(someEnvelope()), test::IsError("Not connected to peer"));
  EXPECT_TRUE(received.empty());

  answer(peer, scanned->desktop.sharedSecret);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_EQ(service().peerDisplayName(), "Dana's phone");
  EXPECT_FALSE(network_.advertising());
  EXPECT_EQ(loadBond(services_.keychain)->peerDeviceUUID, phone_.deviceUUID);
  // The answer itself is handed on like any message of the phone.
  ASSERT_EQ(received.size(), 1U);
  EXPECT_EQ(decodeEnvelope(received[0])->type, SyncMessageType::eventListResponse);
}

TEST_F(PairingServiceTest, StrangersOnTheNetworkNeitherPairNorKeepThePhoneOut) {
  service().startAdvertising();
  auto scanned = phone::scanQRString(phone_, *service().qrPayloadString());
  ASSERT_TRUE(scanned);

  // One stranger connects and says nothing; another handshakes with its own
  // key (it never saw the code, so it cannot know the secret the desktop
  // derives) and answers with what it believes is the secret; a third sends a
  // key that is no key. None of them ends the pairing.
  const auto silent = network_.join("silent");
  ASSERT_TRUE(silent);
  const phone::Identity stranger = phone::Identity::generate("Mallory's phone");
  const QRSession elsewhere = makeQRSession(services_.settings, services_.identity);
  auto guessed = phone::scanQRString(stranger, elsewhere.qrString);
  ASSERT_TRUE(guessed);
  const PeerID mallory = joinAndHandshake(stranger, *guessed);
  answer(mallory, guessed->desktop.sharedSecret);
  const auto broken = network_.join("broken");
  ASSERT_TRUE(broken);
  network_.session().deliver(
      *broken, encodeEnvelope(*SyncEnvelope::make(SyncMessageType::pairHandshake,
                                                  PairHandshakePayload{"X", "X", "@@@@", "n"}))
                   .value());
  network_.session().deliver(
      *silent, phone::sealMessage(SyncMessageType::eventListResponse, EventListResponsePayload{},
                                  scanned->desktop.sharedSecret)
                   .value());
  EXPECT_EQ(service().state(), PairingState::connecting);
  EXPECT_EQ(service().errorMessage(), std::nullopt);
  EXPECT_FALSE(service().bond());
  EXPECT_FALSE(network_.session().isConnected(*broken));

  // The real phone still gets in, and wins; the others are sent away.
  const PeerID real = joinAndHandshake(phone_, *scanned);
  answer(real, scanned->desktop.sharedSecret);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_EQ(service().peerDisplayName(), "Dana's phone");
  EXPECT_EQ(service().connectedPeerID(), real);
  EXPECT_FALSE(network_.session().isConnected(*silent));
  EXPECT_FALSE(network_.session().isConnected(mallory));
  // Nothing signed with the phone's secret ever went to a stranger.
  for (const PeerID& other : {*silent, mallory})
    for (const auto& bytes : network_.session().sentTo(other))
      EXPECT_FALSE(phone::openEnvelope(bytes, scanned->desktop.sharedSecret));
}

TEST_F(PairingServiceTest, ConnectionsThatDoNotProveThemselvesInTimeAreClosed) {
  service().startAdvertising();
  const auto silent = network_.join("silent");
  network_.advance(PairingService::kHandshakeTime - std::chrono::seconds(1));
  auto scanned = phone::scanQRString(phone_, *service().qrPayloadString());
  const PeerID quiet = joinAndHandshake(phone_, *scanned);  // handshakes, never answers
  network_.advance(std::chrono::seconds(1));
  EXPECT_FALSE(network_.session().isConnected(*silent));
  EXPECT_TRUE(network_.session().isConnected(quiet));
  EXPECT_EQ(service().state(), PairingState::connecting);
  network_.advance(PairingService::kConfirmTime);
  EXPECT_FALSE(network_.session().isConnected(quiet));
  EXPECT_EQ(service().state(), PairingState::advertising);
  EXPECT_TRUE(network_.advertising());
}

TEST_F(PairingServiceTest, StrangersThatNeverSignGiveWayAndThePhonePairsThroughTheirFlood) {
  service().startAdvertising();
  auto scanned = phone::scanQRString(phone_, *service().qrPayloadString());
  ASSERT_TRUE(scanned);
  // Each stranger handshakes with a key of its own and then says nothing.
  const QRSession elsewhere = makeQRSession(services_.settings, services_.identity);
  const auto stranger = [&](const std::string& address) {
    const phone::Identity who = phone::Identity::generate("Stranger");
    return joinAndHandshake(who, *phone::scanQRString(who, elsewhere.qrString), address);
  };
  const auto connected = [&](const std::vector<PeerID>& peers) {
    return std::ranges::count_if(
        peers, [&](const PeerID& p) { return network_.session().isConnected(p); });
  };

  // One address holds two places, its newest; devices elsewhere fill the rest.
  std::vector<PeerID> flood;
  for (int i = 0; i < 20; ++i) flood.push_back(stranger("10.0.0.66"));
  EXPECT_EQ(connected(flood), 2);
  EXPECT_TRUE(network_.session().isConnected(flood.back()));
  std::vector<PeerID> others;
  for (std::size_t i = 2; i < PairingService::kMaxCandidates; ++i)
    others.push_back(stranger("10.0.1." + std::to_string(i)));
  EXPECT_EQ(service().candidateCount(), PairingService::kMaxCandidates);

  // Every place is taken, yet the phone gets one: the flooding address's
  // oldest gives way, and the flood that goes on pushes out only its own.
  const PeerID phone = joinAndHandshake(phone_, *scanned, "10.0.0.5");
  for (int i = 0; i < 20; ++i) flood.push_back(stranger("10.0.0.66"));
  EXPECT_TRUE(network_.session().isConnected(phone));
  EXPECT_EQ(connected(flood), 1);
  EXPECT_EQ(connected(others), static_cast<long>(others.size()));
  // With all places held by devices of one place each, the oldest goes.
  const PeerID newcomer = stranger("10.0.2.1");
  EXPECT_FALSE(network_.session().isConnected(others.front()));
  EXPECT_TRUE(network_.session().isConnected(newcomer));

  answer(phone, scanned->desktop.sharedSecret);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_EQ(service().connectedPeerID(), phone);
  EXPECT_EQ(service().candidateCount(), 0U);
}

TEST_F(PairingServiceTest, PairingWhoseBondCannotBeSavedEndsInErrorWithoutABond) {
  keychainBackend_.failSaves = true;
  pairPhone(phone_);

  EXPECT_EQ(service().state(), PairingState::error);
  EXPECT_EQ(service().errorMessage(),
            "Could not save the pairing with Dana's phone: The keychain did not take the pairing "
            "bond. Pair again.");
  EXPECT_FALSE(service().bond());
  EXPECT_FALSE(service().hasSharedSecret());
  EXPECT_TRUE(received.empty());
  // The session dropped; nothing more can go out.
  EXPECT_EQ(network_.disconnects, 1);
  EXPECT_THAT(service().send(someEnvelope()), test::IsError("Not connected to peer"));
}

TEST_F(PairingServiceTest, BondIsReadOnceAndChangesOnlyWithAConfirmedPairing) {
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
  EXPECT_TRUE(passes(first.desktop.sharedSecret));
  EXPECT_FALSE(passes(otherSecret));
  ASSERT_TRUE(deleteBond(services_.keychain));
  EXPECT_TRUE(passes(first.desktop.sharedSecret));
  EXPECT_FALSE(passes(otherSecret)) << "checked as if there were no bond";

  // Pairing another phone replaces it, in memory and in the keychain.
  const phone::ScannedQR second = pairPhone(other);
  ASSERT_EQ(service().state(), PairingState::paired);
  EXPECT_EQ(service().bond()->peerDeviceUUID, other.deviceUUID);
  EXPECT_EQ(loadBond(services_.keychain)->peerDeviceUUID, other.deviceUUID);
  EXPECT_TRUE(passes(second.desktop.sharedSecret));
  EXPECT_FALSE(passes(first.desktop.sharedSecret));
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

TEST_F(PairingServiceTest, CodesAreSpentAndStatesRefuseWhatTheyDoNotAllow) {
  service().startAdvertising();
  const std::string first = *service().qrPayloadString();
  auto abandoned = phone::scanQRString(phone_, first);
  ASSERT_TRUE(abandoned);
  const PeerID early = joinAndHandshake(phone_, *abandoned);
  service().stopAdvertising();
  EXPECT_EQ(service().state(), PairingState::unpaired);
  EXPECT_FALSE(network_.advertising());
  EXPECT_EQ(service().qrPayloadString(), std::nullopt);
  EXPECT_FALSE(network_.session().isConnected(early)) << "a pairing under way ends with it";

  // Advertising starts again with a new key pair and code: the abandoned
  // code's secret no longer pairs.
  service().startAdvertising();
  ASSERT_TRUE(service().qrPayloadString());
  EXPECT_NE(*service().qrPayloadString(), first);
  const PeerID late = joinAndHandshake(phone_, *abandoned);
  answer(late, abandoned->desktop.sharedSecret);
  EXPECT_EQ(service().state(), PairingState::connecting);
  service().reconnect();  // without a bond there is nothing to reconnect to
  EXPECT_EQ(service().state(), PairingState::connecting);

  // Once paired, advertising does not start, nobody else gets in, and a
  // handshake from the phone is handed on (and ignored there) without
  // touching the pairing.
  pairPhone(phone_);
  ASSERT_EQ(service().state(), PairingState::paired);
  service().startAdvertising();
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_FALSE(network_.advertising());
  const auto bond = service().bond();
  network_.session().deliver(
      *service().connectedPeerID(),
      encodeEnvelope(*SyncEnvelope::make(SyncMessageType::pairHandshake,
                                         PairHandshakePayload{"X", "X", "@@@@", "n"}))
          .value());
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_EQ(service().bond(), bond);
}

TEST_F(PairingServiceTest, OnlyTheBondedPhoneProvingItsSecretComesBackAfterADropOrARestart) {
  const phone::ScannedQR scanned = pairPhone(phone_);
  const auto& secret = scanned.desktop.sharedSecret;
  const phone::Identity stranger = phone::Identity::generate("Someone else");

  // A lost session is looked for again; another device is declined, and one
  // that takes the bonded phone's name is only a candidate: it is asked to
  // prove itself, cannot, and does not keep the real phone out.
  dropPhone();
  EXPECT_EQ(service().state(), PairingState::reconnecting);
  EXPECT_TRUE(network_.advertising());
  EXPECT_EQ(network_.join(stranger.deviceUUID), std::nullopt);
  const PeerID impostor = network_.join(phone_.deviceUUID).value();
  network_.session().deliver(impostor, encodeEnvelope(someEnvelope()).value());  // unsigned
  EXPECT_EQ(service().state(), PairingState::reconnecting);
  const PeerID real = network_.join(phone_.deviceUUID).value();
  EXPECT_EQ(opened(network_.session().sentTo(real), secret),
            (std::vector<std::string>{"event.list.request"}));
  EXPECT_THAT(service().send(someEnvelope()), test::IsError("Not connected to peer"));
  answer(real, secret);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_FALSE(network_.advertising());
  EXPECT_FALSE(network_.session().isConnected(impostor));
  // What goes out reaches the phone on its new connection, signed as before;
  // a broken link's error reaches the caller.
  ASSERT_TRUE(service().send(someEnvelope()));
  EXPECT_TRUE(phone::openEnvelope(network_.session().sent.back().second, secret));
  network_.session().failSends = true;
  EXPECT_THAT(service().send(someEnvelope()), test::IsError("link broken"));
  network_.session().failSends = false;

  // After a restart, with the code on show, another phone may start pairing;
  // the bonded one is paired without a handshake once it proves itself.
  service_.reset();
  service().startAdvertising();
  const PeerID other = network_.join(stranger.deviceUUID).value();
  EXPECT_EQ(service().state(), PairingState::connecting);
  network_.session().disconnect(other);
  EXPECT_EQ(service().state(), PairingState::advertising);
  const PeerID back = network_.join(phone_.deviceUUID).value();
  EXPECT_EQ(service().state(), PairingState::connecting);
  answer(back, secret);
  EXPECT_EQ(service().state(), PairingState::paired);
  EXPECT_FALSE(network_.advertising());
  EXPECT_EQ(service().qrPayloadString(), std::nullopt);
}

TEST_F(PairingServiceTest, ForgetPairingEndsUnpairedFromEveryState) {
  const std::string deviceID = services_.identity.current();
  auto check = [&](const char* where) {
    SCOPED_TRACE(where);
    EXPECT_OK(service().forgetPairing());
    EXPECT_EQ(service().state(), PairingState::unpaired);
    EXPECT_FALSE(service().hasSharedSecret());
    EXPECT_FALSE(loadBond(services_.keychain));
    EXPECT_FALSE(network_.advertising());  // and no reconnect either
    EXPECT_EQ(service().peerDisplayName(), std::nullopt);
    EXPECT_EQ(service().errorMessage(), std::nullopt);
    EXPECT_EQ(services_.identity.current(), deviceID);
  };
  check("unpaired");
  service().startAdvertising();
  check("advertising");
  service().startAdvertising();
  network_.join(phone_.deviceUUID);
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
  EXPECT_EQ(service().errorMessage(), "Failed to start advertising: Address already in use");
  check("error");
}

TEST_F(PairingServiceTest, ForgetPairingThatTheKeychainRefusesFailsButStillDropsTheSession) {
  pairPhone(phone_);
  keychainBackend_.failRemoves = true;
  EXPECT_THAT(service().forgetPairing(),
              test::IsError("The pairing bond could not be deleted from the keychain"));
  EXPECT_EQ(network_.disconnects, 1);
  EXPECT_EQ(service().state(), PairingState::unpaired);
  EXPECT_FALSE(service().hasSharedSecret());
  EXPECT_THAT(service().send(someEnvelope()), test::IsError("Not connected to peer"));
}

}  // namespace
}  // namespace qm
