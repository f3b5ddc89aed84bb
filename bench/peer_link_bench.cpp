// Peer link benchmark over loopback TLS: 1,000 messages of 10 KiB and one
// message of 20 MiB from the phone's client to the companion's session, each
// timed from the first send to the last byte delivered. The baseline is a bare
// TLS stream pair (same TLS settings, same certificate) carrying the same
// bytes in the same run, without frames, invitation or sessions.
//
// As in real use the two ends run on different threads: the companion on the
// main thread, the phone's client on a second one, each with its own loop.

#include <algorithm>
#include <array>
#include <asio/connect.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/ssl.hpp>
#include <asio/write.hpp>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "common/log.h"
#include "peer_link/peer_link.h"
#include "peer_link/peer_link_client.h"
#include "peer_link/peer_link_tls.h"
#include "peer_link/tls_identity.h"

namespace qm::bench {
namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr int kMessages = 1'000;
constexpr std::size_t kMessageBytes = 10 * 1024;
constexpr std::size_t kLargeBytes = 20 * 1024 * 1024;
constexpr int kRepetitions = 5;
constexpr double kTargetMs = 1'000;
constexpr auto kWaitLimit = std::chrono::seconds(60);

std::string randomBytes(std::size_t size, Rng& rng) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t v = rng.next();
    for (std::size_t j = 0; j < 8 && i + j < size; ++j) {
      bytes[i + j] = static_cast<char>((v >> (8 * j)) & 0xff);
    }
  }
  return bytes;
}

/// The phone's loop on a thread of its own.
class PhoneThread {
 public:
  PhoneThread() : work_(asio::make_work_guard(io_)), thread_([this] { io_.run(); }) {}
  /// Whatever is still pending (a connection lingering to close) is dropped.
  ~PhoneThread() {
    io_.stop();
    thread_.join();
  }
  asio::io_context& io() { return io_; }
  /// Runs `f` on the phone's thread and waits for it.
  void call(const std::function<void()>& f) {
    std::promise<void> done;
    asio::post(io_, [&] {
      f();
      done.set_value();
    });
    done.get_future().wait();
  }

 private:
  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> work_;
  std::thread thread_;
};

/// Runs `io` until `condition` holds; false when that takes over `kWaitLimit`.
bool runUntil(asio::io_context& io, const std::function<bool()>& condition) {
  const auto deadline = Clock::now() + kWaitLimit;
  while (!condition()) {
    const auto now = Clock::now();
    if (now >= deadline) return false;
    io.restart();
    io.run_one_for(deadline - now);
  }
  return true;
}

double millisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// The companion's session and the phone's client, connected.
class LinkSetup {
 public:
  LinkSetup(asio::io_context& io, PhoneThread& phone) : io_(io), phone_(phone) {}

  ~LinkSetup() {
    phone_.call([this] { client_.reset(); });
  }

  Status connect() {
    PeerLinkOptions options;
    options.port = 0;
    options.bindAddress = "127.0.0.1";
    options.publishDnsSd = false;
    auto link = makePeerLink(io_, options);
    if (!link) return link.error();
    link_ = std::move(link).value();
    session_ = link_->makeSession({[this](const PeerID& peer, PeerConnectionState state) {
                                     if (state == PeerConnectionState::connected) peer_ = peer;
                                   },
                                   [this](std::string bytes, const PeerID&) {
                                     ++messages_;
                                     bytes_ += bytes.size();
                                     last_ = std::move(bytes);
                                   }});
    AdvertiserEvents events;
    events.invitationReceived = [this](const PeerID&, std::function<void(PeerSession*)> reply) {
      reply(session_.get());
    };
    advertiser_ = link_->startAdvertising("BENCH-DESKTOP", {{"version", "1"}},
                                          "_quillmere-pair._tcp", events);
    const auto port = link_->listeningPort();
    if (!port) return Error("the peer link does not listen");
    std::promise<void> accepted;
    phone_.call([this, port, &accepted] {
      client_ = std::make_unique<PeerLinkClient>(
          phone_.io(),
          PeerLinkClientEvents{[&accepted](const std::string&) { accepted.set_value(); }, nullptr,
                               nullptr});
      client_->connect("127.0.0.1", *port, "BENCH-PHONE");
    });
    // The companion reports the peer connected once its answer is out; the
    // phone accepts on its own thread once it read the answer.
    if (!runUntil(io_, [this] { return peer_.has_value(); }) ||
        accepted.get_future().wait_for(kWaitLimit) != std::future_status::ready) {
      return Error("the phone did not connect");
    }
    return {};
  }

  /// Milliseconds from handing `messages` to the client to the last one
  /// delivered by the session; none if they did not all arrive intact.
  std::optional<double> transfer(const std::vector<std::string>& messages) {
    messages_ = 0;
    bytes_ = 0;
    std::size_t expected = 0;
    for (const auto& m : messages) expected += m.size();
    const auto start = Clock::now();
    asio::post(phone_.io(), [this, &messages] {
      for (const auto& m : messages) (void)client_->send(m);
    });
    if (!runUntil(io_, [&] { return messages_ == messages.size(); })) return std::nullopt;
    const double ms = millisSince(start);
    if (bytes_ != expected || last_ != messages.back()) return std::nullopt;
    return ms;
  }

 private:
  asio::io_context& io_;
  PhoneThread& phone_;
  std::unique_ptr<PeerLink> link_;
  std::unique_ptr<PeerSession> session_;
  std::unique_ptr<PeerAdvertiser> advertiser_;
  std::unique_ptr<PeerLinkClient> client_;  ///< used on the phone's thread only
  std::optional<PeerID> peer_;
  std::size_t messages_ = 0;
  std::size_t bytes_ = 0;
  std::string last_;
};

/// A bare TLS stream pair with the peer link's TLS settings: the phone's end
/// writes, the companion's end reads and counts.
class RawTlsSetup {
 public:
  RawTlsSetup(asio::io_context& io, PhoneThread& phone) : io_(io), phone_(phone), acceptor_(io) {}

  ~RawTlsSetup() {
    phone_.call([this] { client_.reset(); });
  }

  Status connect() {
    auto identity = makeSelfSignedTlsIdentity("bench");
    if (!identity) return identity.error();
    auto serverContext = makePeerLinkServerContext(*identity);
    auto clientContext = makePeerLinkClientContext();
    if (!serverContext) return serverContext.error();
    if (!clientContext) return clientContext.error();
    serverContext_ = *serverContext;
    clientContext_ = *clientContext;

    const tcp::endpoint endpoint(asio::ip::address_v4::loopback(), 0);
    acceptor_.open(endpoint.protocol());
    acceptor_.bind(endpoint);
    acceptor_.listen();
    server_.emplace(tcp::socket(io_), *serverContext_);
    phone_.call([this] {
      client_ = std::make_unique<asio::ssl::stream<tcp::socket>>(phone_.io(), *clientContext_);
      client_->next_layer().connect(acceptor_.local_endpoint());
      client_->next_layer().set_option(tcp::no_delay(true));
    });
    acceptor_.accept(server_->next_layer());
    server_->next_layer().set_option(tcp::no_delay(true));

    std::optional<std::error_code> serverDone;
    std::promise<std::error_code> clientDone;
    server_->async_handshake(asio::ssl::stream_base::server,
                             [&](std::error_code ec) { serverDone = ec; });
    asio::post(phone_.io(), [&] {
      client_->async_handshake(asio::ssl::stream_base::client,
                               [&](std::error_code ec) { clientDone.set_value(ec); });
    });
    auto clientResult = clientDone.get_future();
    if (!runUntil(io_, [&] { return serverDone.has_value(); }) || *serverDone ||
        clientResult.wait_for(kWaitLimit) != std::future_status::ready || clientResult.get()) {
      return Error("the TLS handshake failed");
    }
    read();
    return {};
  }

  std::optional<double> transfer(const std::string& bytes) {
    received_ = 0;
    const auto start = Clock::now();
    asio::post(phone_.io(), [this, &bytes] {
      asio::async_write(*client_, asio::buffer(bytes), [](std::error_code, std::size_t) {});
    });
    if (!runUntil(io_, [&] { return received_ >= bytes.size() || failed_; }) || failed_) {
      return std::nullopt;
    }
    return millisSince(start);
  }

 private:
  void read() {
    server_->async_read_some(asio::buffer(buffer_), [this](std::error_code ec, std::size_t n) {
      if (ec) {
        failed_ = true;
        return;
      }
      received_ += n;
      read();
    });
  }

  asio::io_context& io_;
  PhoneThread& phone_;
  std::shared_ptr<asio::ssl::context> serverContext_;
  std::shared_ptr<asio::ssl::context> clientContext_;
  tcp::acceptor acceptor_;
  std::optional<asio::ssl::stream<tcp::socket>> server_;
  std::unique_ptr<asio::ssl::stream<tcp::socket>> client_;  ///< phone's thread only
  std::array<char, 64 * 1024> buffer_{};
  std::size_t received_ = 0;
  bool failed_ = false;
};

class SummaryTable : public SummaryTableBase {
 public:
  void millis(const std::string& label, const Timing& t, double megabytes,
              std::optional<double> targetMs) {
    row(label, fixed(t.median, 1) + " ms", fixed(t.min, 1), fixed(t.max, 1),
        targetMs ? "<= " + fixed(*targetMs, 0) + " ms" : "baseline",
        targetMs ? verdict(t.median <= *targetMs) : "");
    row("    throughput", fixed(megabytes / (t.median / 1000.0), 0) + " MB/s", "", "", "", "");
  }
  void ratio(const std::string& label, double value) {
    row(label, fixed(value, 2) + "x", "", "", "", "");
  }
  void error(const std::string& label, const std::string& message) { errorRow(label, message); }
};

/// Runs `measure` kRepetitions times; nothing if any run failed.
std::optional<Timing> repeat(const std::function<std::optional<double>()>& measure) {
  std::vector<double> ms;
  for (int i = 0; i < kRepetitions; ++i) {
    const auto one = measure();
    if (!one) return std::nullopt;
    ms.push_back(*one);
  }
  return summarise(std::move(ms));
}

int run() {
  Rng rng(7);
  std::vector<std::string> small;
  std::string smallJoined;
  for (int i = 0; i < kMessages; ++i) {
    small.push_back(randomBytes(kMessageBytes, rng));
    smallJoined += small.back();
  }
  const std::vector<std::string> large = {randomBytes(kLargeBytes, rng)};
  const double smallMB = static_cast<double>(smallJoined.size()) / 1e6;
  const double largeMB = static_cast<double>(kLargeBytes) / 1e6;

  asio::io_context io;
  PhoneThread phone;
  SummaryTable table;
  std::cout << "Loopback TLS 1.3, phone's client on its own thread; median of " << kRepetitions
            << " runs\n\n";

  std::optional<Timing> linkSmall, linkLarge, rawSmall, rawLarge;
  std::string linkError, rawError;
  {
    LinkSetup link(io, phone);
    if (const Status connected = link.connect(); !connected) {
      linkError = connected.error().message;
    } else {
      (void)link.transfer(small);  // warm-up
      linkSmall = repeat([&] { return link.transfer(small); });
      linkLarge = repeat([&] { return link.transfer(large); });
      if (!linkSmall || !linkLarge) linkError = "messages went missing or arrived changed";
    }
  }
  {
    RawTlsSetup raw(io, phone);
    if (const Status connected = raw.connect(); !connected) {
      rawError = connected.error().message;
    } else {
      (void)raw.transfer(smallJoined);  // warm-up
      rawSmall = repeat([&] { return raw.transfer(smallJoined); });
      rawLarge = repeat([&] { return raw.transfer(large.front()); });
      if (!rawSmall || !rawLarge) rawError = "the stream failed";
    }
  }

  table.header();
  const std::string smallLabel = "1,000 x 10 KiB phone -> companion (peer link)";
  const std::string largeLabel = "one 20 MiB message phone -> companion (peer link)";
  if (linkSmall) {
    table.millis(smallLabel, *linkSmall, smallMB, kTargetMs);
  } else {
    table.error(smallLabel, linkError);
  }
  if (rawSmall) {
    table.millis("  same 10 MiB over a bare TLS stream (baseline)", *rawSmall, smallMB,
                 std::nullopt);
  } else {
    table.error("  bare TLS stream (baseline)", rawError);
  }
  if (linkSmall && rawSmall)
    table.ratio("  peer link time / baseline time", linkSmall->median / rawSmall->median);
  if (linkLarge) {
    table.millis(largeLabel, *linkLarge, largeMB, kTargetMs);
  } else {
    table.error(largeLabel, linkError);
  }
  if (rawLarge) {
    table.millis("  same 20 MiB over a bare TLS stream (baseline)", *rawLarge, largeMB,
                 std::nullopt);
  }
  if (linkLarge && rawLarge)
    table.ratio("  peer link time / baseline time", linkLarge->median / rawLarge->median);
  std::cout << table.closingLine("") << "\n";
  return table.anyError() || !table.allMet() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main() {
  qm::log::setLevel(spdlog::level::warn);
  return qm::bench::run();
}
