#include "support/local_smtp_server.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/uuid.h"
#include "support/local_http_server.h"

namespace qm::test {

LocalSMTPServer::LocalSMTPServer(SmtpServerOptions options)
    : folder_(dir_.path()), password_("pw-" + Uuid::random().str()) {
  auto certificate = makeLoopbackCertificate();
  if (!certificate) {
    ADD_FAILURE() << "No test certificate: " << certificate.error().message;
    return;
  }
  std::ofstream(caFile()) << certificate->certificatePEM;
  std::ofstream(folder_ / "key.pem") << certificate->privateKeyPEM;
  std::ofstream(passwordFile()) << password_ << "\n";
  std::vector<std::string> args{QM_SMTP_SERVER_SCRIPT,
                                "--cert",
                                caFile().string(),
                                "--key",
                                (folder_ / "key.pem").string(),
                                "--user",
                                kUser,
                                "--password-file",
                                passwordFile().string(),
                                "--folder",
                                folder_.string()};
  if (options.implicitTLS) args.push_back("--implicit-tls");
  if (!options.refusedRecipient.empty()) {
    args.push_back("--refuse");
    args.push_back(options.refusedRecipient);
  }
  process_ = std::make_unique<Subprocess>(QM_SYSTEM_PYTHON, args,
                                          std::map<std::string, std::string>{}, folder_);
  const auto portFile = folder_ / "port";
  if (!eventually([&] { return std::filesystem::exists(portFile) || !process_->running(); })) {
    ADD_FAILURE() << "The test mail server did not start: " << process_->errors();
    return;
  }
  std::ifstream(portFile) >> port_;
  if (port_ == 0) ADD_FAILURE() << "The test mail server did not start: " << process_->errors();
}

std::vector<nlohmann::json> LocalSMTPServer::received() const {
  std::vector<nlohmann::json> messages;
  for (int n = 1;; ++n) {
    std::ifstream in(folder_ / (std::to_string(n) + ".json"));
    if (!in) break;
    messages.push_back(nlohmann::json::parse(in, nullptr, false));
  }
  return messages;
}

bool LocalSMTPServer::waitForMessages(std::size_t count, std::chrono::milliseconds timeout) const {
  return eventually([&] { return received().size() >= count; }, timeout);
}

std::string LocalSMTPServer::errors() const {
  return process_ ? process_->errors() : std::string();
}

}  // namespace qm::test
