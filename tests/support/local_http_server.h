#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"

namespace qm::test {

/// A certificate and key (PEM) for a TLS server on this computer.
struct LoopbackCertificate {
  std::string certificatePEM;
  std::string privateKeyPEM;
};

/// A new self-signed certificate for 127.0.0.1 and "localhost" (subject
/// alternative names), usable as its own certificate authority by a client
/// told to trust it.
Result<LoopbackCertificate> makeLoopbackCertificate();

/// One request as the server received it.
struct RecordedRequest {
  std::string method;
  std::string target;                          ///< path and query, as sent
  std::map<std::string, std::string> headers;  ///< names lower-cased
  std::string body;
};

/// What the server answers to every request from now on.
struct ScriptedReply {
  int status = 200;
  std::string body;
  /// Waited after reading the request, before answering.
  std::chrono::milliseconds delay{0};
  /// Without a Content-Length the body ends where the connection is closed.
  bool sendLength = true;
};

/// An HTTP/1.1 server on 127.0.0.1 (plain, or TLS with a given certificate)
/// that records every request and answers a scripted reply, one connection at
/// a time on a thread of its own. Each connection carries one request and is
/// closed after the answer. Stops, also in the middle of a delay, when it goes
/// away.
class LocalHTTPServer {
 public:
  LocalHTTPServer();
  explicit LocalHTTPServer(const LoopbackCertificate& certificate);
  ~LocalHTTPServer();
  LocalHTTPServer(const LocalHTTPServer&) = delete;
  LocalHTTPServer& operator=(const LocalHTTPServer&) = delete;

  std::uint16_t port() const;
  /// "http://127.0.0.1:<port>" or "https://127.0.0.1:<port>".
  std::string url() const;

  void setReply(ScriptedReply reply);
  /// Every request received so far, oldest first.
  std::vector<RecordedRequest> requests() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qm::test
