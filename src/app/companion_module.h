#pragma once

#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "common/result.h"

namespace asio {
class io_context;
}

namespace qm {

class ControlServer;
class MessageDispatcher;
class QuillmereMacApp;

/// What the running companion hands each of its modules.
struct CompanionContext {
  QuillmereMacApp& app;
  asio::io_context& io;
  ControlServer& control;
  /// Received messages from the phone, checked, by message type.
  MessageDispatcher& messages;
};

/// One subsystem of the running companion (pairing, the MCP server, later sync,
/// drafting, the window's change feed). The companion calls, in this order:
/// `registerCommands` and `start` for every module in the order they were
/// added, `addStatus` for each "status" request, `resetAllData` before Reset
/// All Local Data deletes the files, and `stop` in reverse order. A module
/// registers its message handlers with `CompanionContext::messages` and keeps
/// its own subscriptions; it never reaches into another module's state.
class CompanionModule {
 public:
  virtual ~CompanionModule() = default;

  /// A short name for the logs ("pairing", "mcp").
  virtual std::string_view name() const = 0;
  /// Registers the module's control-socket commands.
  virtual void registerCommands(ControlServer& control) { (void)control; }
  /// Starts the module's work; an error stops the companion's start-up.
  virtual Status start() { return {}; }
  /// Stops the module's work: listeners closed, pending requests answered.
  virtual void stop() {}
  /// Adds the module's fields to the answer of "status".
  virtual void addStatus(nlohmann::json& status) const { (void)status; }
  /// Drops what the module holds in memory about the data about to be deleted.
  virtual void resetAllData() {}
};

}  // namespace qm
