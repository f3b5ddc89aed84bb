// The pairing service over the real peer link (TLS on loopback), with the
// phone played by the phone library and the peer-link client.
#include <gtest/gtest.h>

#include <asio.hpp>
#include <chrono>

#include "pairing/pairing_bond.h"
#include "pairing/pairing_service.h"
#include "peer_link/peer_link.h"
#include "peer_link/peer_link_client.h"
#include "phone/phone_pairing.h"
#include "support/desktop_services.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "wire/message_verification.h"
#include "wire/sync_payloads.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

/// One phone connection: what it received and how it ended.
struct PhoneConnection {
  PhoneConnection(asio::io_context& io, const std::string& name, std::uint16_t port)
      : client(io, {[this](const std::string&) { connected = true; },
                    [this](std::string bytes) { received.push_back(std::move(bytes)); },
                    [this](PeerLinkClientEnd how, const std::string&) { ended = how; }}) {
    client.connect("127.0.0.1", port, name);
  }
  bool connected = false;
  std::vector<std::string> received;
  std::optional<PeerLinkClientEnd> ended;
  PeerLinkClient client;
};

class PairingOverPeerLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto link = makePeerLink(
        io_, {.port = 0, .bindAddress = "127.0.0.1", .keepAlive = {}, .publishDnsSd = false});
    ASSERT_TRUE(link) << link.error().message;
    link_ = std::move(link).value();
    startService();
  }

  /// The companion (re)starting: a new service on the same keychain.
  void startService() {
    service_.reset();
    service_ = std::make_unique<PairingService>(*link_, services_.keychain, services_.identity,
                                                services_.settings);
    // As the companion does: check each message, hand the handshake over.
    receivedSubscription_ = service_->dataReceived().subscribe([this](const std::string& bytes,
                                                                      const PeerID&) {
      auto message = checkIncomingMessage(bytes, service_->bondSecret());
      if (!message) return;
      if (message->envelope.type == SyncMessageType::pairHandshake) {
        service_->handleHandshake(message->envelope.decodePayload<PairHandshakePayload>().value());
      } else {
        received_.push_back(std::move(message->envelope));
      }
    });
  }

  template <class F>
  bool runUntil(F condition, std::chrono::milliseconds timeout = 10s) {
    return test::eventually([&] { return io_.restart(), io_.poll(), condition(); }, timeout);
  }
  std::uint16_t port() { return link_->listeningPort().value_or(0); }
  /// `phone` connects (again), with no handshake of its own.
  void connect(const phone::Identity& phone) {
    connection_ = std::make_unique<PhoneConnection>(io_, phone.deviceUUID, port());
  }

  test::TempDir dir_;
  test::DesktopServices services_{dir_.path()};
  asio::io_context io_;
  std::unique_ptr<PeerLink> link_;
  std::unique_ptr<PairingService> service_;
  Subscription receivedSubscription_;
  std::unique_ptr<PhoneConnection> connection_;
  std::vector<SyncEnvelope> received_;
  phone::Identity phone_ = phone::Identity::generate("Dana's phone");
};

TEST_F(PairingOverPeerLinkTest, SignedMessagesBothWaysAndOnlyTheBondedPhoneComesBack) {
  service_->startAdvertising();
  auto scanned = phone::scanQRString(phone_, *service_->qrPayloadString());
  ASSERT_TRUE(scanned);
  connect(phone_);
  ASSERT_TRUE(runUntil([&] { return connection_->connected; }));
  ASSERT_TRUE(connection_->client.send(
      encodeEnvelope(*phone::handshakeEnvelope(phone_, *scanned)).value()));
  ASSERT_TRUE(runUntil([&] { return !connection_->received.empty(); }));
  ASSERT_EQ(service_->state(), PairingState::paired);
  auto ack = phone::readPairAck(connection_->received.at(0), scanned->desktop);
  ASSERT_TRUE(ack) << ack.error().message;
  EXPECT_FALSE(link_->listeningPort()) << "the listener closes once paired";

  const auto secret = scanned->desktop.sharedSecret;
  auto note = phone::sealMessage(SyncMessageType::error, ErrorPayload{"E1", "oops", {}}, secret);
  ASSERT_TRUE(connection_->client.send(*note));
  ASSERT_TRUE(runUntil([&] { return !received_.empty(); }));
  EXPECT_EQ(received_[0].decodePayload<ErrorPayload>()->message, "oops");

  connection_.reset();  // the phone goes away
  ASSERT_TRUE(runUntil([&] { return service_->state() == PairingState::reconnecting; }));
  ASSERT_TRUE(runUntil([&] { return link_->listeningPort().has_value(); }));

  // Another device is turned away; the bonded phone comes back, no handshake.
  PhoneConnection stranger(io_, phone::Identity::generate().deviceUUID, port());
  ASSERT_TRUE(runUntil([&] { return stranger.ended.has_value(); }));
  EXPECT_EQ(stranger.ended, PeerLinkClientEnd::declined);
  connect(phone_);
  ASSERT_TRUE(runUntil([&] { return service_->state() == PairingState::paired; }));
  ASSERT_TRUE(service_->send(
      SyncEnvelope::make(SyncMessageType::eventListRequest, EventListRequestPayload{}).value()));
  ASSERT_TRUE(runUntil([&] { return !connection_->received.empty(); }));
  auto request = phone::openEnvelope(connection_->received[0], secret);
  ASSERT_TRUE(request) << request.error().message;
  EXPECT_EQ(request->type, SyncMessageType::eventListRequest);

  // After a restart, with the code on show, it skips the handshake too.
  connection_.reset();
  startService();
  service_->startAdvertising();
  connect(phone_);
  ASSERT_TRUE(runUntil([&] { return service_->state() == PairingState::paired; }));
  runUntil([] { return false; }, 100ms);
  EXPECT_TRUE(connection_->received.empty()) << "no pair.ack without a handshake";
}

}  // namespace
}  // namespace qm
