#pragma once

// The TLS settings both ends of the peer link share. Internal to the peer link
// library: it brings in Asio and OpenSSL.

#include <asio/ssl/context.hpp>
#include <memory>

#include "common/result.h"
#include "peer_link/tls_identity.h"

namespace qm {

/// The companion's side: TLS 1.3 only, presenting `identity`, asking the
/// phone for no certificate.
Result<std::shared_ptr<asio::ssl::context>> makePeerLinkServerContext(const TlsIdentity& identity);

/// The phone's side: TLS 1.3 only, accepting whatever certificate the
/// companion presents.
Result<std::shared_ptr<asio::ssl::context>> makePeerLinkClientContext();

}  // namespace qm
