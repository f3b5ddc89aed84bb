#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm::test {

/// How the test mail server behaves.
struct SmtpServerOptions {
  /// TLS from the first byte (as on port 465) instead of STARTTLS.
  bool implicitTLS = false;
  /// A recipient it refuses as an unknown user ("550 5.1.1 …").
  std::string refusedRecipient;
};

/// A real mail server on 127.0.0.1 (aiosmtpd, run by Debian's Python from
/// tests/support/local_smtp_server.py) that requires TLS and a login as
/// `kUser` with a password of its own, with a certificate made for the test
/// for 127.0.0.1 and localhost. Stops when it goes away.
class LocalSMTPServer {
 public:
  static constexpr const char* kUser = "dana@fairground.example";

  explicit LocalSMTPServer(SmtpServerOptions options = {});

  int port() const { return port_; }
  /// The password it takes, different for every server.
  const std::string& password() const { return password_; }
  /// A file holding the password on its first line.
  std::filesystem::path passwordFile() const { return folder_ / "password"; }
  /// Its certificate as a PEM file, for a client to trust.
  std::filesystem::path caFile() const { return folder_ / "ca.pem"; }

  /// Each message accepted so far, oldest first, as Python's email package read
  /// it: {mailFrom, rcptTos, login, from, fromName, to, subject, unsent, text,
  /// defects}.
  std::vector<nlohmann::json> received() const;
  /// Waits until `count` messages arrived; false after `timeout`.
  bool waitForMessages(std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
  /// What the server wrote to its standard error.
  std::string errors() const;

 private:
  TempDir dir_;
  std::filesystem::path folder_;
  std::string password_;
  int port_ = 0;
  std::unique_ptr<Subprocess> process_;
};

}  // namespace qm::test
