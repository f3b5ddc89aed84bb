#include "peer_link/peer_link_tls.h"

#include <openssl/ssl.h>

#include <asio/buffer.hpp>
#include <system_error>

namespace qm {

namespace {

/// Options both sides share. Only TLS 1.3: its handshake always gives forward
/// secrecy and needs one round trip less, and every phone that runs the app
/// speaks it.
std::error_code restrict(asio::ssl::context& context) {
  std::error_code ec;
  context.set_options(asio::ssl::context::no_compression | asio::ssl::context::single_dh_use, ec);
  if (ec) return ec;
  SSL_CTX* native = context.native_handle();
  if (SSL_CTX_set_min_proto_version(native, TLS1_3_VERSION) != 1 ||
      SSL_CTX_set_max_proto_version(native, TLS1_3_VERSION) != 1) {
    return std::make_error_code(std::errc::protocol_not_supported);
  }
  // Neither side checks the other's certificate: the HMAC of every envelope
  // authenticates the peer, not TLS.
  context.set_verify_mode(asio::ssl::verify_none, ec);
  return ec;
}

Error failure(const char* what, const std::error_code& ec) {
  return Error(std::string("Could not set up TLS for the peer link: ") + what + ": " +
               ec.message());
}

}  // namespace

Result<std::shared_ptr<asio::ssl::context>> makePeerLinkServerContext(const TlsIdentity& identity) {
  auto context = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_server);
  if (auto ec = restrict(*context)) return failure("options", ec);
  std::error_code ec;
  context->use_certificate(asio::buffer(identity.certificatePEM), asio::ssl::context::pem, ec);
  if (ec) return failure("certificate", ec);
  context->use_private_key(asio::buffer(identity.privateKeyPEM), asio::ssl::context::pem, ec);
  if (ec) return failure("private key", ec);
  // Sessions are never resumed (every connection is a new handshake), so the
  // tickets TLS 1.3 servers send after the handshake would be wasted bytes.
  SSL_CTX_set_num_tickets(context->native_handle(), 0);
  SSL_CTX_set_session_cache_mode(context->native_handle(), SSL_SESS_CACHE_OFF);
  return context;
}

Result<std::shared_ptr<asio::ssl::context>> makePeerLinkClientContext() {
  auto context = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_client);
  if (auto ec = restrict(*context)) return failure("options", ec);
  return context;
}

}  // namespace qm
