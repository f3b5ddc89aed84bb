#pragma once

// A running companion (`quillmere run`) in a home of its own, for the end-to-end
// tests that talk to it as a user does: its control socket, the CLI, the peer
// link on a port the system chooses.

#include <gmock/gmock.h>
#include <signal.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/control_client.h"
#include "common/app_paths.h"
#include "common/uuid.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/unix_socket.h"

namespace qm::test {

class CompanionFixture : public ::testing::Test {
 protected:
  TempDir home;
  TempDir outDir;
  TempDir phoneDir;
  AppPaths paths = AppPaths::under(home.path());
  std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                         {"QUILLMERE_PEER_PORT", "0"}};

  void SetUp() override {
    companion_ = std::make_unique<Subprocess>(QUILLMERE_BINARY, std::vector<std::string>{"run"},
                                              env, outDir.path());
    ASSERT_TRUE(eventually([&] { return companionIsRunning(paths.controlSocket()); }))
        << companion_->errors();
  }
  void TearDown() override {
    if (companion_) {
      EXPECT_EQ(companion_->stop(SIGTERM, std::chrono::seconds(10)), 0) << companion_->errors();
    }
  }

  nlohmann::json pairingStatus() {
    auto s = sendControlRequest(paths.controlSocket(), {{"command", "pairing.status"}});
    return s.ok() ? *s : nlohmann::json();
  }
  bool isSyncing() {
    auto s = sendControlRequest(paths.controlSocket(), {{"command", "status"}});
    return s.ok() && s->value("isSyncing", false);
  }
  /// Starts an import of an event the phone does not have, over a connection
  /// of its own that the caller closes (-1 when that failed): an import that
  /// runs until something ends it.
  int startEndlessImport() {
    const int client = connectUnixSocket(paths.controlSocket());
    const std::string request =
        nlohmann::json{{"command", "events.import"}, {"ids", {Uuid::random().str()}}}.dump() + "\n";
    if (client >= 0 &&
        ::write(client, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
      ::close(client);
      return -1;
    }
    return client;
  }
  CommandResult cli(std::vector<std::string> args, const std::string& input = "") {
    return runCommand(QUILLMERE_BINARY, args, env, input);
  }
  /// Where the simulated phone keeps its bond.
  std::string bondFile() { return (phoneDir.path() / "bond.json").string(); }

  std::unique_ptr<Subprocess> companion_;
};

}  // namespace qm::test
