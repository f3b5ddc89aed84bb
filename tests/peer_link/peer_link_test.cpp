// The peer link over real loopback sockets and real TLS: the companion's
// advertiser and session against the phone's client, and against hand-made
// clients that break the rules.
#include "peer_link/peer_link.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl.hpp>
#include <asio/write.hpp>
#include <chrono>

#include "common/log.h"
#include "peer_link/frame_reader.h"
#include "peer_link/framed.h"
#include "peer_link/peer_link_client.h"
#include "peer_link/peer_link_tls.h"
#include "support/log_capture.h"
#include "support/subprocess.h"

namespace qm {
namespace {

using test::frame;

using asio::ip::tcp;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using State = PeerConnectionState;

constexpr const char* kDesktop = "DESKTOP-1";

/// One message a session delivered.
struct Received {
  std::string bytes;
  PeerID peer;
  std::size_t statesBefore = 0;  ///< state changes reported before it
};

/// What a session reported, in order.
struct SessionRecord {
  std::vector<std::pair<PeerID, State>> states;
  std::vector<Received> messages;
  bool gone = false;  ///< set when the session is destroyed; nothing may come after

  PeerSessionEvents events() {
    return {[this](const PeerID& peer, State state) {
              EXPECT_FALSE(gone) << "a report after the session was destroyed";
              states.emplace_back(peer, state);
            },
            [this](std::string bytes, const PeerID& peer) {
              EXPECT_FALSE(gone) << "a message after the session was destroyed";
              messages.push_back({std::move(bytes), peer, states.size()});
            }};
  }
  std::vector<State> statesOf(const PeerID& peer) const {
    std::vector<State> result;
    for (const auto& [p, s] : states)
      if (p == peer) result.push_back(s);
    return result;
  }
  bool has(const PeerID& peer, State state) const {
    return std::ranges::find(states, std::pair(peer, state)) != states.end();
  }
};

/// The phone's end, recording what its client reports.
struct Phone {
  std::optional<std::string> acceptedBy;
  std::optional<PeerLinkClientEnd> end;
  std::vector<std::string> received;
  PeerLinkClient client;

  explicit Phone(asio::io_context& io)
      : client(io, {[this](const std::string& desktop) { acceptedBy = desktop; },
                    [this](std::string bytes) { received.push_back(std::move(bytes)); },
                    [this](PeerLinkClientEnd how, const std::string&) {
                      EXPECT_FALSE(end) << "ended twice";
                      end = how;
                    }}) {}
};

/// A client that frames by hand, over TLS or bare TCP, to break rules the real
/// client keeps. It reads frames until the connection ends; what it sends
/// before the handshake is done goes out right after it.
class RawClient {
 public:
  /// Connects from `from` (another loopback address plays another device).
  RawClient(asio::io_context& io, std::uint16_t port, bool tls = true,
            const char* from = "127.0.0.1")
      : context_(*makePeerLinkClientContext()), stream_(io, *context_), tls_(tls) {
    stream_.next_layer().open(tcp::v4());
    stream_.next_layer().bind(tcp::endpoint(asio::ip::make_address_v4(from), 0));
    stream_.next_layer().connect(tcp::endpoint(asio::ip::address_v4::loopback(), port));
    if (!tls) {
      read();
      return;
    }
    stream_.async_handshake(asio::ssl::stream_base::client, [this](std::error_code ec) {
      handshake = ec;
      if (ec) return;
      send(std::exchange(early_, {}));
      read();
    });
  }
  /// Small writes only: they go out at once, without waiting for the loop.
  void send(const std::string& bytes) {
    std::error_code ignored;
    if (!tls_) {
      asio::write(stream_.next_layer(), asio::buffer(bytes), ignored);
    } else if (handshake) {
      asio::write(stream_, asio::buffer(bytes), ignored);
    } else {
      early_ += bytes;
    }
  }

  std::optional<std::error_code> handshake;
  std::vector<std::string> frames;
  bool ended = false;

 private:
  void read() {
    auto onRead = [this](std::error_code ec, std::size_t n) {
      if (ec) return void(ended = true);
      (void)reader_.feed(std::string_view(buffer_.data(), n));
      while (reader_.hasFrame()) frames.push_back(reader_.next());
      read();
    };
    if (tls_) return stream_.async_read_some(asio::buffer(buffer_), onRead);
    stream_.next_layer().async_read_some(asio::buffer(buffer_), onRead);
  }

  std::shared_ptr<asio::ssl::context> context_;
  asio::ssl::stream<tcp::socket> stream_;
  bool tls_;
  std::string early_;
  std::array<char, 16 * 1024> buffer_{};
  FrameReader reader_;
};

/// A message of `size` bytes whose content tells it from its neighbours.
std::string message(std::size_t size, int index) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 7 + index * 13) & 0xff);
  return text;
}

class PeerLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { makeLink(); }

  /// A new link with `session_` on it, reported to `record_`, and
  /// `advertiser_` letting every invitation into it.
  void makeLink(std::string bindAddress = "127.0.0.1", bool publishDnsSd = false) {
    advertiser_.reset();
    session_.reset();
    auto made = makePeerLink(io_, {.port = 0,
                                   .bindAddress = std::move(bindAddress),
                                   .invitationTimeout = 1s,
                                   .closeLinger = 1s,
                                   .keepAlive = {},
                                   .publishDnsSd = publishDnsSd});
    ASSERT_TRUE(made) << made.error().message;
    link_ = std::move(made).value();
    session_ = link_->makeSession(record_.events());
    advertiser_ = advertise([this](const PeerID&) { return session_.get(); });
  }

  /// Runs the loop until `condition` holds (true) or `limit` passes (false).
  template <class F>
  bool runUntil(F condition, std::chrono::milliseconds limit = 10s) {
    return test::eventually([&] { return settle(), condition(); }, limit);
  }
  /// Runs whatever is ready without waiting.
  void settle() {
    io_.restart();
    io_.poll();
  }

  /// Starts advertising; each invitation is answered by `decide` (nothing:
  /// declined) or, without it, kept unanswered in `heldReplies_`.
  std::unique_ptr<PeerAdvertiser> advertise(
      std::function<PeerSession*(const PeerID&)> decide = nullptr, PeerLink* link = nullptr) {
    AdvertiserEvents events;
    events.invitationReceived = [this, decide](const PeerID& peer,
                                               std::function<void(PeerSession*)> reply) {
      invitations_.push_back(peer);
      if (!decide) return heldReplies_.push_back(std::move(reply));
      reply(decide(peer));
    };
    events.advertisingFailed = [this](const std::string& why) { failures_.push_back(why); };
    return (link ? link : link_.get())
        ->startAdvertising(kDesktop, {{"version", "1"}}, "_quillmere-pair._tcp", events);
  }

  std::uint16_t port() const { return link_->listeningPort().value_or(0); }

  /// A phone that connected and was accepted; the session saw it connected.
  std::unique_ptr<Phone> connectPhone(const std::string& name) {
    auto phone = std::make_unique<Phone>(io_);
    phone->client.connect("127.0.0.1", port(), name);
    const std::size_t before = invitations_.size();
    EXPECT_TRUE(runUntil([&] {
      return phone->acceptedBy && invitations_.size() > before &&
             record_.has(invitations_.back(), State::connected);
    })) << "the phone was not connected";
    return phone;
  }

  asio::io_context io_;
  std::unique_ptr<PeerLink> link_;
  SessionRecord record_;
  std::unique_ptr<PeerSession> session_;
  std::unique_ptr<PeerAdvertiser> advertiser_;
  std::vector<PeerID> invitations_;
  std::vector<std::function<void(PeerSession*)>> heldReplies_;
  std::vector<std::string> failures_;
};

// --- invitations and messages --------------------------------------------------

TEST_F(PeerLinkTest, AcceptedPhoneExchangesMessagesWholeAndInOrderBothWays) {
  auto phone = connectPhone("PHONE-1");
  ASSERT_EQ(invitations_.size(), 1u);
  const PeerID peer = invitations_[0];
  EXPECT_EQ(peer.displayName, "PHONE-1");
  EXPECT_EQ(phone->acceptedBy, kDesktop);

  std::vector<std::string> sent = {message(0, 0), message(1, 1), message(3 * 1024 * 1024 + 5, 2),
                                   message(0, 3)};
  for (int i = 0; i < 500; ++i) sent.push_back(message(static_cast<std::size_t>(i % 97), i + 4));
  sent.push_back(message(5 * 1024 * 1024, 600));

  for (const auto& m : sent) ASSERT_TRUE(phone->client.send(m));
  ASSERT_TRUE(runUntil([&] { return record_.messages.size() >= sent.size(); }));
  ASSERT_EQ(record_.messages.size(), sent.size());
  for (std::size_t i = 0; i < sent.size(); ++i) {
    ASSERT_EQ(record_.messages[i].bytes, sent[i]) << "message " << i;
    EXPECT_EQ(record_.messages[i].peer, peer);
  }
  for (const auto& m : sent) ASSERT_TRUE(session_->send(m, peer));
  ASSERT_TRUE(runUntil([&] { return phone->received.size() >= sent.size(); }));
  EXPECT_TRUE(phone->received == sent);
}

TEST_F(PeerLinkTest, DeclinedInvitationIsAnsweredAndClosed) {
  advertiser_ = advertise([](const PeerID&) { return nullptr; });
  Phone phone(io_);
  phone.client.connect("127.0.0.1", port(), "PHONE-1");
  ASSERT_TRUE(runUntil([&] { return phone.end.has_value(); }));
  EXPECT_EQ(*phone.end, PeerLinkClientEnd::declined);
  EXPECT_FALSE(phone.acceptedBy);
  EXPECT_THAT(record_.states, IsEmpty());

  // The companion closes its end too: a hand-made client sees the answer, then the end.
  RawClient raw(io_, port());
  raw.send(frame(R"({"type":"invite","peerName":"RAW"})"));
  ASSERT_TRUE(runUntil([&] { return raw.ended; }));
  EXPECT_EQ(raw.frames.size(), 1u);
}

TEST_F(PeerLinkTest, AnswersMayComeLaterButNotAfterTheAdvertiserStopped) {
  advertiser_ = advertise();
  const std::uint16_t stoppedPort = port();
  Phone member(io_);
  Phone waiting(io_);
  member.client.connect("127.0.0.1", stoppedPort, "PHONE-1");
  ASSERT_TRUE(runUntil([&] { return heldReplies_.size() == 1; }));
  waiting.client.connect("127.0.0.1", stoppedPort, "PHONE-2");
  ASSERT_TRUE(runUntil([&] { return heldReplies_.size() == 2; }));
  EXPECT_FALSE(member.acceptedBy);

  // Answered later from the loop; a second answer is ignored.
  heldReplies_[0](session_.get());
  heldReplies_[0](nullptr);
  ASSERT_TRUE(runUntil(
      [&] { return member.acceptedBy && record_.has(invitations_[0], State::connected); }));

  // Stopping closes the listener and the invitation still unanswered...
  advertiser_->stop();
  ASSERT_TRUE(runUntil([&] { return waiting.end.has_value(); }));
  EXPECT_EQ(*waiting.end, PeerLinkClientEnd::failed);
  heldReplies_[1](session_.get());  // too late: nothing happens
  settle();
  EXPECT_FALSE(record_.has(invitations_[1], State::connecting));
  Phone late(io_);
  late.client.connect("127.0.0.1", stoppedPort, "PHONE-3");
  ASSERT_TRUE(runUntil([&] { return late.end.has_value(); }));
  EXPECT_EQ(*late.end, PeerLinkClientEnd::failed);
  EXPECT_EQ(invitations_.size(), 2u);

  // ...but not the session: the phone that joined stays connected.
  ASSERT_TRUE(member.client.send("still here"));
  ASSERT_TRUE(runUntil([&] { return !record_.messages.empty(); }));
  EXPECT_EQ(record_.messages[0].bytes, "still here");
  EXPECT_FALSE(member.end);
}

TEST_F(PeerLinkTest, MessagesSentBeforeTheAnswerAreDeliveredAfterConnected) {
  RawClient raw(io_, port());
  // Not waiting for the answer, as a phone should: all three frames in one
  // TLS record, so that the companion reads them at once.
  raw.send(frame(R"({"type":"invite","peerName":"HASTY"})") + frame("early one") +
           frame("early two"));
  ASSERT_TRUE(runUntil([&] { return record_.messages.size() == 2; }));
  ASSERT_EQ(invitations_.size(), 1u);
  EXPECT_THAT(record_.statesOf(invitations_[0]), ElementsAre(State::connecting, State::connected));
  // Both messages came after `connected` was reported.
  for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(record_.messages[i].statesBefore, 2u);
  EXPECT_EQ(record_.messages[0].bytes, "early one");
  EXPECT_EQ(record_.messages[1].bytes, "early two");
}

// --- endings -------------------------------------------------------------------

TEST_F(PeerLinkTest, EveryPeerIsReportedGoneOnceAndSendFailsAtOnceForPeersNotInTheSession) {
  auto leaving = connectPhone("PHONE-1");
  const PeerID first = invitations_.at(0);
  leaving.reset();  // closes its end
  ASSERT_TRUE(runUntil([&] { return record_.has(first, State::notConnected); }));
  EXPECT_THAT(session_->connectedPeers(), IsEmpty());
  EXPECT_FALSE(session_->send("gone", first));

  // Coming back is a new peer.
  auto back = connectPhone("PHONE-1");
  auto other = connectPhone("PHONE-2");
  const PeerID again = invitations_.at(1);
  EXPECT_NE(again.connection, first.connection);
  ASSERT_EQ(session_->connectedPeers().size(), 2u);
  SessionRecord otherRecord;
  auto otherSession = link_->makeSession(otherRecord.events());
  EXPECT_FALSE(otherSession->send("wrong session", again));
  EXPECT_FALSE(session_->send("unknown", PeerID{"PHONE-1", again.connection + 1000, "127.0.0.1"}));
  EXPECT_FALSE(session_->send(std::string(kMaxFrameBytes + 1, 'x'), again));
  // Queued before the disconnect: still delivered, alone.
  ASSERT_TRUE(session_->send("last words", again));

  session_->disconnect();
  EXPECT_THAT(session_->connectedPeers(), IsEmpty());
  EXPECT_FALSE(session_->send("too late", again));
  ASSERT_TRUE(runUntil([&] { return back->end && other->end; }));
  settle();
  for (const auto& peer : invitations_) {
    EXPECT_THAT(record_.statesOf(peer),
                ElementsAre(State::connecting, State::connected, State::notConnected));
  }
  EXPECT_EQ(*back->end, PeerLinkClientEnd::closed);
  EXPECT_THAT(back->received, ElementsAre("last words"));

  // The session takes new peers afterwards.
  auto third = connectPhone("PHONE-3");
  EXPECT_THAT(session_->connectedPeers(), ElementsAre(invitations_.back()));
}

TEST_F(PeerLinkTest, DestroyingEverythingWithLiveConnectionsReportsNothingMore) {
  auto phone = connectPhone("PHONE-1");
  ASSERT_TRUE(phone->client.send("in flight"));
  Phone pending(io_);
  pending.client.connect("127.0.0.1", port(), "PHONE-2");

  session_.reset();
  record_.gone = true;
  advertiser_.reset();
  link_.reset();
  ASSERT_TRUE(runUntil([&] { return phone->end && pending.end; }));
  EXPECT_EQ(*phone->end, PeerLinkClientEnd::closed);
  settle();
}

TEST_F(PeerLinkTest, ClientMayBeDestroyedFromItsOwnCallback) {
  std::unique_ptr<PeerLinkClient> client;
  client = std::make_unique<PeerLinkClient>(
      io_, PeerLinkClientEvents{[&](const std::string&) { client.reset(); }, nullptr, nullptr});
  client->connect("127.0.0.1", port(), "PHONE-1");
  ASSERT_TRUE(runUntil([&] { return !client; }));
  ASSERT_TRUE(runUntil([&] { return record_.has(invitations_.at(0), State::notConnected); }));
}

// --- rule breakers -------------------------------------------------------------

TEST_F(PeerLinkTest, ClientsThatSkipTlsOrNeverInviteOrInviteBadlyAreClosed) {
  RawClient plain(io_, port(), false);  // a well-formed invitation, without TLS
  plain.send(frame(R"({"type":"invite","peerName":"PLAIN"})"));
  RawClient tcpOnly(io_, port(), false);  // not even TLS, and silent
  RawClient tlsOnly(io_, port());         // finishes TLS, never invites
  // Which invitations are malformed is settled where they are decoded; one of
  // them, and one larger than an invitation can sensibly be, end the connection.
  RawClient notJson(io_, port());
  notJson.send(frame("not json"));
  RawClient huge(io_, port());
  huge.send(frame(std::string(kMaxFrameBytes / 512, ' ')));

  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(runUntil([&] { return notJson.ended && huge.ended; }, 5s));
  ASSERT_TRUE(runUntil([&] { return plain.ended && tlsOnly.ended && tcpOnly.ended; }, 5s));
  EXPECT_EQ(tlsOnly.handshake, std::error_code());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms) << "closed before the limit";
  EXPECT_THAT(notJson.frames, IsEmpty());
  EXPECT_THAT(huge.frames, IsEmpty());
  EXPECT_THAT(invitations_, IsEmpty());
}

TEST_F(PeerLinkTest, SilentConnectionsPastTheCapCloseTheOldestAndAPhoneStillPairs) {
  std::vector<std::unique_ptr<RawClient>> silent;
  for (int i = 0; i < 40; ++i) silent.push_back(std::make_unique<RawClient>(io_, port(), false));
  // The eight oldest make room at once, long before the invitation time-out.
  ASSERT_TRUE(runUntil([&] { return silent[7]->ended; }, 500ms));
  EXPECT_FALSE(silent[8]->ended);
  EXPECT_FALSE(silent.back()->ended);
  EXPECT_NE(connectPhone("PHONE-1"), nullptr);
}

TEST_F(PeerLinkTest, AFloodFromOneAddressPushesOutItsOwnConnectionsFirst) {
  RawClient phone(io_, port(), false, "127.0.0.2");  // another device, slow to invite
  std::vector<std::unique_ptr<RawClient>> flood;
  for (int i = 0; i < 80; ++i) flood.push_back(std::make_unique<RawClient>(io_, port(), false));
  ASSERT_TRUE(runUntil([&] { return flood[48]->ended; }, 500ms));
  EXPECT_FALSE(flood[49]->ended);
  EXPECT_FALSE(phone.ended);
}

TEST_F(PeerLinkTest, FrameAnnouncedOver64MiBClosesTheConnection) {
  RawClient raw(io_, port());
  raw.send(frame(R"({"type":"invite","peerName":"GREEDY"})"));
  ASSERT_TRUE(runUntil([&] { return raw.frames.size() == 1; }));
  ASSERT_TRUE(runUntil([&] { return record_.has(invitations_.at(0), State::connected); }));
  // 4 GiB - 1 announced, a few bytes sent: nothing that size may be set aside.
  raw.send("\xff\xff\xff\xff" + std::string(100, 'x'));
  ASSERT_TRUE(runUntil([&] { return raw.ended; }));
  ASSERT_TRUE(runUntil([&] { return record_.has(invitations_[0], State::notConnected); }));
  EXPECT_THAT(record_.messages, IsEmpty());
}

// --- listening -----------------------------------------------------------------

TEST_F(PeerLinkTest, ListenerThatCannotBindReportsAdvertisingFailed) {
  const std::uint16_t taken = port();
  auto busy = makePeerLink(io_, {.port = taken, .bindAddress = "127.0.0.1", .keepAlive = {}});
  ASSERT_TRUE(busy);
  auto second = advertise(nullptr, busy->get());
  EXPECT_THAT(failures_, IsEmpty()) << "reported before startAdvertising returned";
  ASSERT_TRUE(runUntil([&] { return !failures_.empty(); }));
  settle();
  // The user sees this text in the pairing window; only the second link fails.
  EXPECT_THAT(failures_,
              ElementsAre(HasSubstr("could not listen on port " + std::to_string(taken))));
  EXPECT_FALSE((*busy)->listeningPort());
}

TEST_F(PeerLinkTest, ListensOnEveryInterfaceByDefaultEvenWithoutADnsSdDaemon) {
  test::LogCapture logged(log::pairing());
  makeLink("", true);
  // Whether a daemon publishes the service or none can, the link says so.
  ASSERT_TRUE(runUntil([&] { return logged.text().find("DNS-SD") != std::string::npos; }));
  if (logged.text().find("DNS-SD advertising unavailable") != std::string::npos) {
    // The phone cannot find this computer: the log says what to type on it.
    EXPECT_THAT(logged.text(), HasSubstr("; the phone will not find this computer by itself"));
    EXPECT_THAT(logged.text(), HasSubstr(" and port " + std::to_string(port()) + " on the phone"));
    EXPECT_THAT(logged.text(), Not(HasSubstr("127.0.0.1")));
  }
  std::vector<std::string> hosts = {"127.0.0.1"};
  tcp::acceptor probe(io_);  // IPv6 loopback where the host has it
  std::error_code noV6;
  probe.open(tcp::v6(), noV6);
  if (!noV6) probe.bind(tcp::endpoint(asio::ip::address_v6::loopback(), 0), noV6);
  if (!noV6) hosts.push_back("::1");
  for (const auto& host : hosts) {
    SCOPED_TRACE(host);
    Phone phone(io_);
    phone.client.connect(host, port(), "PHONE-" + host);
    ASSERT_TRUE(runUntil([&] { return phone.acceptedBy || phone.end; }));
    EXPECT_TRUE(phone.acceptedBy);
  }
  EXPECT_THAT(failures_, IsEmpty());
}

}  // namespace
}  // namespace qm
