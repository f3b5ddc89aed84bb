#pragma once

// A running companion (`quillmere run`) in a home of its own, for the end-to-end
// tests that talk to it as a user does: its control socket, the CLI, the peer
// link on a port the system chooses.

#include <gmock/gmock.h>
#include <signal.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/control_client.h"
#include "common/app_paths.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

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
  CommandResult cli(std::vector<std::string> args, const std::string& input = "") {
    return runCommand(QUILLMERE_BINARY, args, env, input);
  }
  /// Where the simulated phone keeps its bond.
  std::string bondFile() { return (phoneDir.path() / "bond.json").string(); }

  std::unique_ptr<Subprocess> companion_;
};

}  // namespace qm::test
