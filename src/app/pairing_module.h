#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/companion_module.h"
#include "common/signal.h"
#include "peer_link/peer_link.h"
#include "wire/message_verification.h"

namespace qm {

class ControlReply;
class PairingService;

/// The companion's side of pairing: the peer link, the pairing service on top
/// of it, the control commands of `quillmere pair` and `quillmere pairing`,
/// and the first look at every received message: decoded, its signature
/// checked against the bond in memory, then handed to the dispatcher (the
/// handshake goes to the pairing service).
class PairingModule final : public CompanionModule {
 public:
  explicit PairingModule(CompanionContext context);
  ~PairingModule() override;
  PairingModule(const PairingModule&) = delete;
  PairingModule& operator=(const PairingModule&) = delete;

  std::string_view name() const override { return "pairing"; }
  void registerCommands(ControlServer& control) override;
  /// Makes the peer link (port from QUILLMERE_PEER_PORT, default 23817) and the
  /// pairing service.
  Status start() override;
  void stop() override;
  void resetAllData() override;
  void addStatus(nlohmann::json& status) const override;

  /// The pairing service; only after a successful `start`.
  PairingService& service() { return *service_; }

 private:
  void received(const std::string& bytes);
  /// Checks one frame and hands it on: at once when it is small; on a thread
  /// of its own when it is large, frames arriving meanwhile waiting in order.
  void check(std::string frame);
  void checked(std::optional<CheckedMessage> message);
  void changed();
  void finishWaiting();

  CompanionContext context_;
  std::unique_ptr<PeerLink> link_;
  std::unique_ptr<PairingService> service_;
  Subscription receivedSubscription_;
  Subscription changedSubscription_;
  // The thread checking a large frame, and the frames that came after it.
  struct Checking;
  std::unique_ptr<Checking> checking_;
  std::deque<std::string> heldFrames_;
  std::shared_ptr<PairingModule*> alive_;

  // `quillmere pair` clients waiting for the outcome of the pairing they started.
  struct Waiting;
  std::vector<std::shared_ptr<Waiting>> waiting_;
};

}  // namespace qm
