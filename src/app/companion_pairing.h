#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "pairing/peer_link.h"

namespace asio {
class io_context;
}

namespace qm {

class ControlReply;
class ControlServer;
class PairingService;
class QuillmereMacApp;

/// The companion's side of pairing: the peer link, the pairing service on top
/// of it, the control commands of `quillmere pair` and `quillmere pairing`,
/// and the first look at every received message (decoded and its signature
/// checked; a handshake goes to the pairing service).
class CompanionPairing {
 public:
  CompanionPairing(QuillmereMacApp& app, asio::io_context& io, ControlServer& control);
  ~CompanionPairing();
  CompanionPairing(const CompanionPairing&) = delete;
  CompanionPairing& operator=(const CompanionPairing&) = delete;

  /// Makes the peer link (port from QUILLMERE_PEER_PORT, default 23817) and the
  /// pairing service, and registers the control commands.
  Status start();

  PairingService& service() { return *service_; }

 private:
  void registerCommands();
  void received(std::string bytes);
  void changed();
  void finishWaiting();

  QuillmereMacApp& app_;
  asio::io_context& io_;
  ControlServer& control_;
  std::unique_ptr<PeerLink> link_;
  std::unique_ptr<PairingService> service_;
  // `quillmere pair` clients waiting for the outcome of the pairing they started.
  struct Waiting;
  std::vector<std::shared_ptr<Waiting>> waiting_;
};

}  // namespace qm
