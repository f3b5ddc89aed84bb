#include "app/companion.h"

#include <unistd.h>
#include <asio.hpp>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/application.h"
#include "app/change_feed_module.h"
#include "app/control_server.h"
#include "app/drafting_module.h"
#include "app/list_module.h"
#include "app/mail_module.h"
#include "app/mcp_module.h"
#include "app/message_dispatcher.h"
#include "app/next_steps.h"
#include "app/pairing_module.h"
#include "app/record_edit_module.h"
#include "app/relaunch.h"
#include "app/sync_module.h"
#include "common/log.h"
#include "common/uuid.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/user_defaults.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/store.h"

namespace qm {

namespace {

/// Whether the `quillmere` systemd user service started this process: its
/// control group is the service's, and systemd starts it again when it stops.
bool startedByServiceUnit() {
  std::ifstream groups("/proc/self/cgroup");
  for (std::string line; std::getline(groups, line);)
    if (line.ends_with("/quillmere.service")) return true;
  return false;
}

/// What the companion does after its main loop ends.
enum class AfterStop { exit, relaunch, relaunchAfterReset };

/// The companion shell: the control socket, the modules, and the commands
/// that belong to no module (status, settings, reset).
class CompanionShell {
 public:
  CompanionShell(QuillmereMacApp& app, asio::io_context& io)
      : app_(app), io_(io), control_(io, app.paths().controlSocket()), signals_(io) {
    const CompanionContext context{app_, io_, control_, messages_};
    auto* pairing = add<PairingModule>(context);
    auto* sync = add<SyncModule>(context, *pairing);
    auto* drafting = add<DraftingModule>(context, *sync);
    add<MailModule>(context);
    add<ListModule>(context, *sync);
    add<RecordEditModule>(context, *sync);
    mcp_ = add<McpModule>(context);
    add<ChangeFeedModule>(context, *pairing, *sync, *drafting);
  }

  ~CompanionShell() { stopModules(); }

  Status start() {
    registerCommands();
    for (auto& module : modules_) module->registerCommands(control_);
    for (auto& module : modules_) {
      if (auto started = module->start(); !started) {
        log::data().error("The {} module did not start: {}", module->name(),
                          started.error().message);
        return started;
      }
    }
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
      if (key == "mcpServerEnabled") mcp_->followSetting();
    });
    return {};
  }

  AfterStop afterStop() const { return afterStop_; }

  /// What `status` answers: the process, its files and each module's fields.
  nlohmann::json status() {
    const AppPaths& p = app_.paths();
    nlohmann::json result{
        {"running", true},
        {"pid", static_cast<long>(getpid())},
        {"launchID", launchID_},
        {"service", startedByServiceUnit()},
        {"store", p.storeFile().string()},
        {"settings", p.defaultsFile().string()},
        {"logs", p.logFile().string()},
        {"controlSocket", p.controlSocket().string()},
        {"deviceID", app_.deviceIdentity().current()},
    };
    for (const auto& module : modules_) module->addStatus(result);
    if (app_.hasStore()) {
      if (auto file = app_.store().checkFile(); !file) result["dataError"] = file.error().message;
      if (auto n = app_.store().count<Event>()) result["events"] = *n;
      if (auto n = app_.store().count<Contact>()) result["contacts"] = *n;
    }
    return result;
  }

  void stop(AfterStop after) {
    afterStop_ = after;
    std::error_code ignored;
    signals_.cancel(ignored);
    settingsObserver_.reset();
    stopModules();
    control_.stop();
    io_.stop();
  }

 private:
  template <class M, class... Args>
  M* add(const CompanionContext& context, Args&... args) {
    auto module = std::make_unique<M>(context, args...);
    M* raw = module.get();
    modules_.push_back(std::move(module));
    return raw;
  }

  void stopModules() {
    for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) (*it)->stop();
  }

  void registerCommands() {
    control_.handle("status", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
      reply->succeed(status());
    });

    // Settings are changed here, not by the command-line tool, so the running
    // companion is the one writer of the settings file and sees every change.
    control_.handle(
        "settings.set", [this](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
          const auto key = request.find("key");
          const auto value = request.find("value");
          if (key == request.end() || !key->is_string() || value == request.end() ||
              !value->is_string()) {
            reply->fail("settings.set needs \"key\" and \"value\" as text");
            return;
          }
          const std::string& name = key->get_ref<const std::string&>();
          const auto before = app_.settings().get(name);
          if (auto set = app_.settings().set(name, value->get_ref<const std::string&>()); !set) {
            reply->fail(set.error().message);
            return;
          }
          const std::string after = *app_.settings().get(name);
          const bool languageChanged = name == "appLanguage" && (!before.ok() || *before != after);
          reply->succeed({{"key", name}, {"value", after}, {"relaunching", languageChanged}});
          if (languageChanged) relaunchSoon(AfterStop::relaunch);
        });

    control_.handle("reset", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
      for (auto& module : modules_) module->resetAllData();
      if (auto reset = app_.resetAllData(); !reset) {
        reply->fail(reset.error().message);
        return;
      }
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
  MessageDispatcher messages_;
  asio::signal_set signals_;
  Subscription settingsObserver_;
  std::vector<std::unique_ptr<CompanionModule>> modules_;
  McpModule* mcp_ = nullptr;
  AfterStop afterStop_ = AfterStop::exit;
  /// Tells this start from the one before a relaunch, which keeps the process id.
  const std::string launchID_ = Uuid::random().str();
};

}  // namespace

int runCompanion(const AppPaths& paths, std::ostream& out, std::ostream& err, bool showNextSteps) {
  if (auto made = paths.createFolders(); !made) {
    err << made.error().message << "\n";
    return 1;
  }
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
      << "  Control:  " << paths.controlSocket().string() << std::endl;

  asio::io_context io;
  AfterStop after = AfterStop::exit;
  {
    CompanionShell shell(app, io);
    if (auto started = shell.start(); !started) {
      err << started.error().message << "\n";
      return 1;
    }
    if (showNextSteps) out << nextSteps(shell.status());
    out << "Press Ctrl-C to stop." << std::endl;
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
