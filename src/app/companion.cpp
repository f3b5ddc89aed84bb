#include "app/companion.h"

#include <unistd.h>
#include <asio.hpp>
#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/application.h"
#include "app/companion_pairing.h"
#include "app/control_server.h"
#include "app/relaunch.h"
#include "common/log.h"
#include "mcp/mcp_server.h"
#include "store/app_settings.h"
#include "store/contact.h"
#include "store/device_identity.h"
#include "store/event.h"
#include "store/store.h"
#include "store/user_defaults.h"

namespace qm {

namespace {

/// What the companion does after its main loop ends.
enum class AfterStop { exit, relaunch, relaunchAfterReset };

/// The control commands of the companion shell. Later subsystems register
/// their own on the same server.
class CompanionShell {
 public:
  CompanionShell(QuillmereMacApp& app, asio::io_context& io)
      : app_(app), io_(io), control_(io, app.paths().controlSocket()), signals_(io) {}

  Status start() {
    registerCommands();
    pairing_ = std::make_unique<CompanionPairing>(app_, io_, control_);
    QM_TRY(pairing_->start());
    QM_TRY(control_.start());
    signals_.add(SIGINT);
    signals_.add(SIGTERM);
    signals_.async_wait([this](std::error_code ec, int signal) {
      if (ec) return;
      log::data().info("Received signal {}; shutting down", signal);
      stop(AfterStop::exit);
    });
    settingsObserver_ = app_.defaults().observe([this](const std::string& key) {
      log::data().info("Setting {} changed", key);
      if (key == "mcpServerEnabled") followMcpSetting();
    });
    followMcpSetting();
    return {};
  }

  AfterStop afterStop() const { return afterStop_; }

  void stop(AfterStop after) {
    afterStop_ = after;
    std::error_code ignored;
    signals_.cancel(ignored);
    app_.defaults().unobserve(settingsObserver_);
    if (mcp_) mcp_->stop();
    mcp_.reset();
    pairing_.reset();
    control_.stop();
    io_.stop();
  }

 private:
  /// The MCP server exists exactly while `mcpServerEnabled` is on.
  void followMcpSetting() {
    const bool enabled = app_.settings().mcpServerEnabled();
    if (enabled && !mcp_ && app_.hasStore()) {
      mcp_ = std::make_unique<mcp::MCPServer>(io_, app_.store(), app_.settings(),
                                              app_.deviceIdentity(), mcpOptions());
      mcp_->setStillEnabled([this] { return app_.settings().mcpServerEnabled(); });
      mcp_->start();
    } else if (!enabled && mcp_) {
      mcp_->stop();
      mcp_.reset();
    }
  }

  /// Port 23816 unless QUILLMERE_MCP_PORT names another (tests, a second profile).
  static mcp::MCPServerOptions mcpOptions() {
    mcp::MCPServerOptions options;
    if (const char* port = std::getenv("QUILLMERE_MCP_PORT")) {
      const long value = std::strtol(port, nullptr, 10);
      if (value > 0 && value < 65536) options.port = static_cast<std::uint16_t>(value);
    }
    return options;
  }

  void registerCommands() {
    control_.handle("status", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
      const AppPaths& p = app_.paths();
      nlohmann::json result{
          {"running", true},
          {"pid", static_cast<long>(getpid())},
          {"store", p.storeFile().string()},
          {"settings", p.defaultsFile().string()},
          {"logs", p.logFile().string()},
          {"controlSocket", p.controlSocket().string()},
          {"deviceID", app_.deviceIdentity().current()},
          {"mcpServerEnabled", app_.settings().mcpServerEnabled()},
          {"mcpServerRunning", mcp_ && mcp_->isRunning()},
          {"mcpPort", mcp_ ? mcp_->port() : mcpOptions().port},
      };
      if (app_.hasStore()) {
        if (auto n = app_.store().count<Event>()) result["events"] = *n;
        if (auto n = app_.store().count<Contact>()) result["contacts"] = *n;
      }
      reply->succeed(result);
    });

    // Settings are changed here, not by the command-line tool, so the running
    // companion is the one writer of the settings file and sees every change.
    control_.handle("settings.set", [this](const nlohmann::json& request,
                                           std::shared_ptr<ControlReply> reply) {
      const std::string key = request.value("key", "");
      const std::string value = request.value("value", "");
      const std::string before = app_.settings().get(key).ok() ? *app_.settings().get(key) : "";
      if (auto set = app_.settings().set(key, value); !set) {
        reply->fail(set.error().message);
        return;
      }
      const bool languageChanged = key == "appLanguage" && *app_.settings().get(key) != before;
      reply->succeed(
          {{"key", key}, {"value", *app_.settings().get(key)}, {"relaunching", languageChanged}});
      if (languageChanged) relaunchSoon(AfterStop::relaunch);
    });

    control_.handle("reset", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
      app_.resetAllData();
      reply->succeed({{"relaunching", true}});
      // Nothing may reach the deleted store before the relaunch.
      control_.stop();
      relaunchSoon(AfterStop::relaunchAfterReset);
    });
  }

  /// Lets the answer reach the client, then relaunches the whole application.
  void relaunchSoon(AfterStop how) {
    auto timer = std::make_shared<asio::steady_timer>(io_, std::chrono::milliseconds(300));
    timer->async_wait([this, timer, how](std::error_code) { stop(how); });
  }

  QuillmereMacApp& app_;
  asio::io_context& io_;
  ControlServer control_;
  asio::signal_set signals_;
  int settingsObserver_ = 0;
  std::unique_ptr<mcp::MCPServer> mcp_;
  std::unique_ptr<CompanionPairing> pairing_;
  AfterStop afterStop_ = AfterStop::exit;
};

}  // namespace

int runCompanion(const AppPaths& paths, std::ostream& out, std::ostream& err) {
  paths.createFolders();
  try {
    log::logToFile(paths.logFile());
  } catch (const std::exception& e) {
    err << "Cannot write the log file " << paths.logFile().string() << ": " << e.what() << "\n";
  }

  QuillmereMacApp app(paths);
  if (auto started = app.startUp(); !started) {
    err << started.error().message << "\n";
    return 1;
  }
  out << "Quillmere is running.\n"
      << "  Store:    " << paths.storeFile().string() << "\n"
      << "  Settings: " << paths.defaultsFile().string() << "\n"
      << "  Logs:     " << paths.logFile().string() << "\n"
      << "  Control:  " << paths.controlSocket().string() << "\n"
      << "Press Ctrl-C to stop." << std::endl;

  asio::io_context io;
  AfterStop after = AfterStop::exit;
  {
    CompanionShell shell(app, io);
    if (auto started = shell.start(); !started) {
      err << started.error().message << "\n";
      return 1;
    }
    log::data().info("Quillmere started (device {})", app.deviceIdentity().current());
    io.run();
    after = shell.afterStop();
  }
  app.closeStore();

  if (after != AfterStop::exit) {
    // After a reset every setting is gone and the system language applies;
    // writing the language preference would recreate the settings file.
    std::optional<std::string> language;
    if (after == AfterStop::relaunch) {
      app.settings().applyLanguagePreference();
      language = app.settings().preferredLanguage();
    }
    auto relaunched = relaunchProcess(language);
    err << relaunched.error().message << "\n";
    return 1;
  }
  log::data().info("Quillmere stopped");
  return 0;
}

}  // namespace qm
