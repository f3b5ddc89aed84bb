// quillmere-phone: plays the phone over the real peer link, for tests, demos
// and debugging. It pairs by QR string, comes back as the bonded phone, sends
// envelopes from files, prints what the companion sends and, given a data set,
// answers its requests for events and capture images.
#include <CLI/CLI.hpp>
#include <asio.hpp>
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/log.h"
#include "peer_link/peer_link_client.h"
#include "phone/phone_data_set.h"
#include "phone/phone_pairing.h"
#include "sync/record_payloads.h"

namespace qm::phone {
namespace {

struct Options {
  std::string host = "127.0.0.1";
  std::uint16_t port = 23817;
  std::string qr;
  std::string bondFile;
  std::string name = std::string(Identity::kDefaultDisplayName);
  std::vector<std::string> sendFiles;
  bool sendLaterChanges = false;
  double listenSeconds = 0;
  std::string dataFile;
  // How the phone answers "relay.ai.request".
  std::string relayReply =
      "SUBJECT: Great to meet you at the show\n---\nThank you for the conversation at our "
      "booth. I will send the details we discussed this week.";
  std::string relayError;
  double relayDelaySeconds = 0;
  bool relaySilent = false;
};

/// The phone's answer to a relay request, as the options script it.
Result<SyncEnvelope> relayAnswer(const SyncEnvelope& request, const Options& options) {
  RelayResponsePayload answer;
  if (options.relayError.empty()) {
    answer.success = true;
    answer.content = options.relayReply;
    answer.provider = "phone";
  } else {
    answer.success = false;
    answer.errorMessage = options.relayError;
  }
  auto envelope = SyncEnvelope::make(SyncMessageType::relayAIResponse, answer);
  if (envelope) envelope->correlationID = request.correlationID;
  return envelope;
}

/// One line per received message: type, id, whether its tag checked out, payload.
void printReceived(const std::string& bytes, const SharedSecret& secret) {
  auto opened = openEnvelope(bytes, secret);
  if (opened) {
    std::cout << "received " << rawValue(opened->type) << " " << opened->messageID.str()
              << " verified " << opened->payloadText() << std::endl;
    return;
  }
  auto envelope = decodeEnvelope(bytes);
  if (envelope) {
    std::cout << "received " << rawValue(envelope->type) << " " << envelope->messageID.str()
              << " UNVERIFIED " << envelope->payloadText() << std::endl;
  } else {
    std::cout << "received undecodable message: " << envelope.error().message << std::endl;
  }
}

/// Answers what the desktop asks for: from `dataSet` when there is one, and
/// otherwise "event.list.request" alone, with an empty list. The phone answers
/// the event list request at once, as the real phone does; the desktop takes
/// the signed answer as proof that this is the phone it paired with. Returns
/// the type of the request answered, if any.
std::optional<SyncMessageType> answerRequest(
    const std::string& bytes, const SharedSecret& secret, const PhoneDataSet* dataSet,
    const std::function<Status(const std::string&)>& send) {
  auto request = openEnvelope(bytes, secret);
  if (!request) return std::nullopt;
  std::vector<SyncEnvelope> answers;
  if (request->type == SyncMessageType::relayAIRequest) {
    return std::nullopt;  // answered by `answerRelay`, which may wait
  } else if (dataSet) {
    auto made = dataSet->answer(*request);
    if (!made) {
      std::cerr << "Cannot answer " << rawValue(request->type) << ": " << made.error().message
                << std::endl;
      return std::nullopt;
    }
    answers = std::move(made).value();
  } else if (request->type == SyncMessageType::eventListRequest) {
    auto empty = SyncEnvelope::make(SyncMessageType::eventListResponse, EventListResponsePayload{});
    if (!empty) {
      std::cerr << "Cannot answer event.list.request: " << empty.error().message << std::endl;
      return std::nullopt;
    }
    answers.push_back(std::move(empty).value());
  }
  if (answers.empty()) return std::nullopt;
  for (auto& answer : answers) {
    const auto type = answer.type;
    auto sealed = sealEnvelope(std::move(answer), secret);
    Status sent = sealed ? send(*sealed) : Status(sealed.error());
    if (!sent) {
      std::cerr << "Cannot answer " << rawValue(request->type) << ": " << sent.error().message
                << std::endl;
      return request->type;
    }
    std::cout << "answered " << rawValue(request->type) << " with " << rawValue(type) << std::endl;
  }
  return request->type;
}

/// Answers a "relay.ai.request" in `bytes` as the options say: at once, after
/// a delay, or never.
void answerRelay(asio::io_context& io, const std::string& bytes, const SharedSecret& secret,
                 const Options& options, const std::function<Status(const std::string&)>& send) {
  auto request = openEnvelope(bytes, secret);
  if (!request || request->type != SyncMessageType::relayAIRequest || options.relaySilent) return;
  auto answer = relayAnswer(*request, options);
  auto sealed = answer ? sealEnvelope(std::move(answer).value(), secret)
                       : Result<std::string>(answer.error());
  if (!sealed) {
    std::cerr << "Cannot answer relay.ai.request: " << sealed.error().message << std::endl;
    return;
  }
  auto deliver = [send, text = std::move(sealed).value()] {
    if (Status sent = send(text); !sent) {
      std::cerr << "Cannot answer relay.ai.request: " << sent.error().message << std::endl;
      return;
    }
    std::cout << "answered relay.ai.request with relay.ai.response" << std::endl;
  };
  if (options.relayDelaySeconds <= 0) return deliver();
  auto timer = std::make_shared<asio::steady_timer>(
      io, std::chrono::milliseconds(static_cast<int>(options.relayDelaySeconds * 1000)));
  timer->async_wait([timer, deliver](std::error_code ec) {
    if (!ec) deliver();
  });
}

/// Reads an envelope from `file` (sync JSON), signs it with the bond's secret.
Result<std::string> envelopeFromFile(const std::string& file, const SharedSecret& secret) {
  auto text = readFile(file);
  if (!text) return Error("Cannot read " + file + ": " + text.error().message);
  auto envelope = decodeEnvelope(*text);
  if (!envelope) return Error(file + ": " + envelope.error().message);
  return sealEnvelope(std::move(envelope).value(), secret);
}

/// Runs one connection: `onConnected` sends what the command needs; the loop
/// ends when `done` is set, the connection ends, or the listening time is up.
class Session {
 public:
  Session(asio::io_context& io, const Options& options) : io_(io), options_(options) {}

  int run(const std::string& localName, const std::function<void(Session&)>& onConnected,
          const std::function<void(const std::string&)>& onMessage) {
    PeerLinkClientEvents events;
    events.connected = [&](const std::string& desktopName) {
      std::cout << "connected to " << desktopName << std::endl;
      onConnected(*this);
    };
    events.dataReceived = [&](std::string bytes) { onMessage(bytes); };
    events.ended = [&](PeerLinkClientEnd how, const std::string& detail) {
      const char* what = how == PeerLinkClientEnd::declined ? "declined"
                         : how == PeerLinkClientEnd::failed ? "failed"
                                                            : "closed";
      std::cout << "connection " << what << (detail.empty() ? "" : ": " + detail) << std::endl;
      // Reported only when the connection ended before the command was done.
      if (exitCode_ < 0) exitCode_ = 1;
      io_.stop();
    };
    client_ = std::make_unique<PeerLinkClient>(io_, std::move(events));
    client_->connect(options_.host, options_.port, localName);
    io_.run();
    client_.reset();
    return exitCode_ < 0 ? 0 : exitCode_;
  }

  Status send(const std::string& bytes) { return client_->send(bytes); }

  /// Ends the run with `code`, after `linger` for the peer to answer.
  void finish(int code, std::chrono::milliseconds linger = std::chrono::milliseconds(0)) {
    exitCode_ = code;
    auto timer = std::make_shared<asio::steady_timer>(io_, linger);
    timer->async_wait([this, timer](std::error_code) {
      if (client_) client_->close();
      io_.stop();
    });
  }

 private:
  asio::io_context& io_;
  const Options& options_;
  std::unique_ptr<PeerLinkClient> client_;
  int exitCode_ = -1;
};

int pair(const Options& options, const PhoneDataSet* dataSet) {
  const Identity phone = Identity::generate(options.name);
  auto scanned = scanQRString(phone, options.qr);
  if (!scanned) {
    std::cerr << scanned.error().message << "\n";
    return 2;
  }
  std::cout << "scanned " << scanned->desktop.displayName << " (" << scanned->desktop.deviceUUID
            << "); phone " << phone.deviceUUID << std::endl;
  asio::io_context io;
  Session session(io, options);
  bool paired = false;
  const int code = session.run(
      phone.deviceUUID,
      [&](Session& s) {
        auto handshake = handshakeEnvelope(phone, *scanned);
        if (!handshake) {
          std::cerr << handshake.error().message << "\n";
          return s.finish(1);
        }
        auto text = encodeEnvelope(*handshake);
        if (auto sent = s.send(*text); !sent) {
          std::cerr << "Cannot send the handshake: " << sent.error().message << "\n";
          s.finish(1);
        }
      },
      [&](const std::string& bytes) {
        const SharedSecret& secret = scanned->desktop.sharedSecret;
        printReceived(bytes, secret);
        if (paired) {
          answerRelay(io, bytes, secret, options,
                      [&](const std::string& b) { return session.send(b); });
          // The desktop confirms the pairing by the signed answer to this.
          if (answerRequest(bytes, secret, dataSet, [&](const std::string& b) {
                return session.send(b);
              }) == SyncMessageType::eventListRequest) {
            session.finish(
                0, std::chrono::milliseconds(static_cast<int>(options.listenSeconds * 1000)));
          }
          return;
        }
        auto ack = readPairAck(bytes, scanned->desktop);
        if (!ack) return;
        paired = true;
        Bond bond{phone, scanned->desktop, now()};
        if (auto saved = saveBond(options.bondFile, bond); !saved) {
          std::cerr << saved.error().message << "\n";
          return session.finish(1);
        }
        std::cout << "paired with " << ack->macDisplayName << "; bond saved to " << options.bondFile
                  << std::endl;
      });
  return paired ? code : (code == 0 ? 1 : code);
}

int connect(const Options& options, const PhoneDataSet* dataSet) {
  auto bond = loadBond(options.bondFile);
  if (!bond) {
    std::cerr << bond.error().message << "\n";
    return 2;
  }
  asio::io_context io;
  Session session(io, options);
  return session.run(
      bond->phone.deviceUUID,
      [&](Session& s) {
        for (const auto& file : options.sendFiles) {
          auto sealed = envelopeFromFile(file, bond->desktop.sharedSecret);
          if (!sealed) {
            std::cerr << sealed.error().message << "\n";
            return s.finish(1);
          }
          if (auto sent = s.send(*sealed); !sent) {
            std::cerr << "Cannot send " << file << ": " << sent.error().message << "\n";
            return s.finish(1);
          }
          std::cout << "sent " << file << std::endl;
        }
        if (options.sendLaterChanges) {
          auto messages = dataSet ? dataSet->laterChangeMessages()
                                  : Result<std::vector<SyncEnvelope>>(
                                        Error("--later-changes needs a data set (--data)"));
          if (!messages) {
            std::cerr << messages.error().message << "\n";
            return s.finish(1);
          }
          for (auto& message : *messages) {
            const auto type = message.type;
            auto sealed = sealEnvelope(std::move(message), bond->desktop.sharedSecret);
            Status sent = sealed ? s.send(*sealed) : Status(sealed.error());
            if (!sent) {
              std::cerr << "Cannot send " << rawValue(type) << ": " << sent.error().message << "\n";
              return s.finish(1);
            }
            std::cout << "sent " << rawValue(type) << std::endl;
          }
        }
        s.finish(0, std::chrono::milliseconds(static_cast<int>(options.listenSeconds * 1000)));
      },
      [&](const std::string& bytes) {
        printReceived(bytes, bond->desktop.sharedSecret);
        const auto send = [&](const std::string& b) { return session.send(b); };
        answerRequest(bytes, bond->desktop.sharedSecret, dataSet, send);
        answerRelay(io, bytes, bond->desktop.sharedSecret, options, send);
      });
}

}  // namespace
}  // namespace qm::phone

int main(int argc, char** argv) {
  using namespace qm::phone;
  qm::log::setLevel(spdlog::level::warn);
  CLI::App app{"quillmere-phone: plays the phone's side of pairing and sync over the peer link"};
  app.require_subcommand(1);
  Options options;
  auto addConnection = [&](CLI::App* command) {
    command->add_option("--host", options.host, "The companion's address")->capture_default_str();
    command->add_option("--port", options.port, "The companion's peer-link port")
        ->capture_default_str();
    command->add_option("--bond", options.bondFile, "The phone's bond file")->required();
    command->add_option("--listen", options.listenSeconds,
                        "Seconds to stay connected afterwards, printing what arrives");
    command->add_option("--relay-reply", options.relayReply,
                        "The text the phone's AI answers relay requests with");
    command->add_option("--relay-error", options.relayError,
                        "Answer relay requests with this error instead");
    command->add_option("--relay-delay", options.relayDelaySeconds,
                        "Seconds to wait before answering a relay request");
    command->add_flag("--relay-silent", options.relaySilent, "Never answer relay requests");
    command->add_option("--data", options.dataFile,
                        "The phone's events, contacts and capture images (JSON; the images "
                        "beside it); without it the phone has no events");
  };
  // Both commands run with the data set, if one is given and it loads.
  auto withDataSet = [&](int (*command)(const Options&, const PhoneDataSet*)) {
    if (options.dataFile.empty()) return command(options, nullptr);
    auto dataSet = PhoneDataSet::load(options.dataFile);
    if (!dataSet) {
      std::cerr << dataSet.error().message << "\n";
      return 2;
    }
    return command(options, &*dataSet);
  };
  int exitCode = 0;
  auto* pairCommand = app.add_subcommand("pair", "Pair using the QR string the companion shows");
  addConnection(pairCommand);
  pairCommand->add_option("--qr", options.qr, "The QR string")->required();
  pairCommand->add_option("--name", options.name, "The phone's name for the user");
  pairCommand->callback([&] { exitCode = withDataSet(pair); });

  auto* connectCommand =
      app.add_subcommand("connect", "Connect as the bonded phone, send envelopes from files");
  addConnection(connectCommand);
  connectCommand->add_option("--send", options.sendFiles,
                             "Envelope files (sync JSON) to sign and send, in order");
  connectCommand->add_flag("--later-changes", options.sendLaterChanges,
                           "Send the data set's later changes as deltas, after the files");
  connectCommand->callback([&] { exitCode = withDataSet(connect); });

  CLI11_PARSE(app, argc, argv);
  return exitCode;
}
