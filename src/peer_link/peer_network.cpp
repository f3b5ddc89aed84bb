#include "peer_link/peer_network.h"

namespace qm {

std::string_view peerConnectionStateName(PeerConnectionState state) {
  switch (state) {
    case PeerConnectionState::notConnected:
      return "notConnected";
    case PeerConnectionState::connecting:
      return "connecting";
    case PeerConnectionState::connected:
      return "connected";
  }
  return "unknown";
}

}  // namespace qm
