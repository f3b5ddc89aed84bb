// Pairing as a user does it: the real companion, `quillmere pair` and the
// phone simulator over the real peer link (TLS on loopback).
#include <gmock/gmock.h>
#include <signal.h>

#include <asio.hpp>
#include <asio/ssl.hpp>
#include <atomic>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/control_client.h"
#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "common/base64.h"
#include "companion_fixture.h"
#include "crypto/pairing_crypto.h"
#include "peer_link/frame_reader.h"
#include "peer_link/framed.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "wire/sync_payloads.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using ::testing::HasSubstr;

/// Strangers on another device of the network (127.0.0.2) that never saw the
/// code: each invites itself, sends a handshake with a key of its own once let
/// in, never signs anything, and comes back whenever its connection ends.
class StrangerFlood {
 public:
  StrangerFlood(std::uint16_t port, int strangers) : port_(port) {
    tls_.set_verify_mode(asio::ssl::verify_none);
    for (int i = 0; i < strangers; ++i) connect(i);
    thread_ = std::thread([this] { io_.run(); });
  }
  ~StrangerFlood() {
    io_.stop();
    thread_.join();
  }
  /// Invitations the companion answered so far.
  int answered() const { return answered_; }

 private:
  struct Connection {
    Connection(asio::io_context& io, asio::ssl::context& tls) : stream(io, tls) {}
    asio::ssl::stream<asio::ip::tcp::socket> stream;
    FrameReader reader;
    std::array<char, 4096> buffer{};
    bool answered = false;
  };
  using Handle = std::shared_ptr<Connection>;

  void connect(int i) {
    auto c = std::make_shared<Connection>(io_, tls_);
    auto& socket = c->stream.next_layer();
    socket.open(asio::ip::tcp::v4());
    socket.bind({asio::ip::make_address_v4("127.0.0.2"), 0});
    socket.async_connect({asio::ip::address_v4::loopback(), port_}, [this, c, i](auto ec) {
      if (ec) return again(i);
      c->stream.async_handshake(asio::ssl::stream_base::client, [this, c, i](auto failed) {
        if (failed) return again(i);
        send(c, R"({"type":"invite","peerName":"STRANGER-)" + std::to_string(i) + R"("})");
        read(c, i);
      });
    });
  }
  void send(const Handle& c, std::string_view body) {
    auto bytes = std::make_shared<std::string>(test::frame(body));
    asio::async_write(c->stream, asio::buffer(*bytes), [c, bytes](auto, std::size_t) {});
  }
  void read(const Handle& c, int i) {
    c->stream.async_read_some(asio::buffer(c->buffer), [this, c, i](auto ec, std::size_t n) {
      if (ec) return again(i);
      (void)c->reader.feed(std::string_view(c->buffer.data(), n));
      // Only the answer to the invitation is read; what the desktop asks goes unanswered.
      while (c->reader.hasFrame()) {
        const auto reply = nlohmann::json::parse(c->reader.next(), nullptr, false);
        if (std::exchange(c->answered, true)) continue;
        ++answered_;
        if (reply.is_object() && reply.value("accepted", false)) send(c, madeUpHandshake(i));
      }
      read(c, i);
    });
  }
  static std::string madeUpHandshake(int i) {
    const PairHandshakePayload payload{Uuid::random().str(), "Stranger " + std::to_string(i),
                                       base64Encode(X25519KeyPair::generate().publicKey), "n"};
    return encodeEnvelope(SyncEnvelope::make(SyncMessageType::pairHandshake, payload).value())
        .value();
  }
  void again(int i) {
    auto pause = std::make_shared<asio::steady_timer>(io_, 50ms);
    pause->async_wait([this, pause, i](auto) { connect(i); });
  }

  std::uint16_t port_;
  asio::ssl::context tls_{asio::ssl::context::tls_client};
  asio::io_context io_;
  std::atomic<int> answered_ = 0;
  std::thread thread_;
};

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

TEST_F(PairingEndToEndTest, ABulkMarkWaitsForTheAwayPhoneAndReachesItWhenItComesBack) {
  auto made = cli({"demo-data", "--json", "-n", "3"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const auto ids = nlohmann::json::parse(made.out)["contactIDs"];
  pairPhone();
  ASSERT_TRUE(eventually([&] { return pairingStatus().contains("listeningPort"); }));

  auto marked = cli({"contacts", "mark-met", ids[1], ids[2]});
  ASSERT_EQ(marked.exitCode, 0) << marked.err;
  EXPECT_THAT(marked.out, HasSubstr("Marked 2 contacts as met."));
  EXPECT_THAT(marked.out, HasSubstr("2 changes wait for the phone"));

  const std::string port = std::to_string(pairingStatus()["listeningPort"].get<int>());
  auto back = phone({"connect", "--port", port, "--bond", bondFile(), "--listen", "2"});
  EXPECT_EQ(back.exitCode, 0) << back.out << back.err;
  // The demo's second and third contacts (Jean Müller, Øystein Berg) arrive, each once.
  std::size_t deltas = 0;
  for (auto at = back.out.find("received delta.contact"); at != std::string::npos;
       at = back.out.find("received delta.contact", at + 1))
    ++deltas;
  EXPECT_EQ(deltas, 2u) << back.out;
  EXPECT_THAT(back.out, HasSubstr("\"Jean\""));
  EXPECT_THAT(back.out, HasSubstr("\"Berg\""));
}

TEST_F(PairingEndToEndTest, ThePhonePairsThroughAFloodOfStrangersThatNeverSign) {
  test::Subprocess pair(QUILLMERE_BINARY, {"pair", "--timeout", "30"}, env, outDir.path());
  const auto offer = test::waitForPairingOffer(pair);
  ASSERT_TRUE(offer) << pair.output() << pair.errors();
  StrangerFlood flood(static_cast<std::uint16_t>(std::stoi(offer->port)), 20);
  // Every stranger had its answer: the places are as full as strangers make them.
  ASSERT_TRUE(eventually([&] { return flood.answered() >= 20; }));

  auto paired = phone({"pair", "--port", offer->port, "--qr", offer->qrString, "--bond", bondFile(),
                       "--name", "Dana's phone"});
  ASSERT_EQ(paired.exitCode, 0) << paired.out << paired.err;
  ASSERT_EQ(pair.wait(10s), 0) << pair.output() << pair.errors();
  EXPECT_THAT(pair.output(), HasSubstr("Pairing complete with Dana's phone"));
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
