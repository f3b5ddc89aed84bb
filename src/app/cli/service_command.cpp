// `quillmere service install|uninstall|status`: a systemd user unit that keeps
// the companion (sync with the phone, MCP for AI assistants) running without
// the window.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/service_unit.h"
#include "app/program_run.h"
#include "common/atomic_file.h"
#include "common/result.h"

namespace qm::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUnitName = kServiceUnitName;

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

/// Where systemd looks for the user's own units.
Result<fs::path> unitFilePath() {
  fs::path config = environmentValue("XDG_CONFIG_HOME");
  if (config.empty() || config.is_relative()) {
    const fs::path home = environmentValue("HOME");
    if (home.empty() || home.is_relative())
      return Error(ErrorCode::failedPrecondition,
                   "Cannot find the configuration folder: neither XDG_CONFIG_HOME nor HOME is set");
    config = home / ".config";
  }
  return config / "systemd" / "user" / kUnitName;
}

/// `unitFilePath`, or nothing after printing why there is none.
std::optional<fs::path> unitFilePathOrSay(CliContext& context) {
  auto path = unitFilePath();
  if (!path) {
    context.err << path.error().message << "\n";
    return std::nullopt;
  }
  return std::move(*path);
}

bool systemctlOnPath() {
  const std::string path = environmentValue("PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const fs::path dir = path.substr(start, end - start);
    if (!dir.empty() && access((dir / "systemctl").c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

/// Runs `systemctl --user <args>` found on PATH; standard output and error together.
ProgramRun systemctl(std::vector<std::string> args) {
  args.insert(args.begin(), {"systemctl", "--user"});
  auto run = runProgram(std::move(args), true);
  while (!run.out.empty() && (run.out.back() == '\n' || run.out.back() == ' ')) run.out.pop_back();
  return run;
}

/// The running program, or nothing after printing why it cannot be found.
std::optional<fs::path> programOrSay(CliContext& context) {
  std::error_code ec;
  fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    context.err << "Cannot find the path of the quillmere program: " << ec.message() << "\n";
    return std::nullopt;
  }
  return program;
}

/// The unit a package installed beside the program (<prefix>/bin/quillmere
/// and <prefix>/lib/systemd/user/quillmere.service), when there is one. It
/// runs this program with the default folders, as `install` would write it.
std::optional<fs::path> packagedUnit(const fs::path& program) {
  const fs::path unit = program.parent_path().parent_path() / "lib/systemd/user" / kUnitName;
  std::error_code ec;
  if (fs::is_regular_file(unit, ec)) return unit;
  return std::nullopt;
}

/// The first line of what systemctl said, for a one-line error.
std::string firstLine(const std::string& text) {
  auto line = text.substr(0, text.find('\n'));
  return line.empty() ? "no message" : line;
}

int install(CliContext& context) {
  const auto unitPath = unitFilePathOrSay(context);
  if (!unitPath) return 1;
  const auto program = programOrSay(context);
  if (!program) return 1;
  const std::string home = environmentValue("QUILLMERE_HOME");
  std::error_code ec;
  const auto packaged = packagedUnit(*program);
  if (packaged && home.empty() && !fs::exists(*unitPath, ec)) {
    // The package's unit already runs this program: enabling it is all, and
    // removing the package takes it away with the program.
    context.out << "Using the unit of the package: " << packaged->string() << "\n";
  } else {
    auto text = serviceUnitText(*program, home);
    if (!text) {
      context.err << text.error().message << "\n";
      return 1;
    }
    createPrivateFolders(unitPath->parent_path(), ec);
    if (ec) {
      context.err << "Cannot create " << unitPath->parent_path().string() << ": " << ec.message()
                  << "\n";
      return 1;
    }
    if (auto written = writeFileAtomically(*unitPath, *text); !written) {
      context.err << written.error().message << "\n";
      return 1;
    }
    context.out << "Wrote " << unitPath->string() << "\n";
  }

  // Without systemctl, or without a user manager to talk to (a container, a
  // session without systemd), the file is in place and the user finishes.
  if (!systemctlOnPath() || systemctl({"daemon-reload"}).exitCode != 0) {
    context.out << "systemd is not reachable from here; to start the service, run:\n"
                << "  systemctl --user daemon-reload\n"
                << "  systemctl --user enable --now " << kUnitName << "\n";
    return 0;
  }
  if (auto enabled = systemctl({"enable", "--now", kUnitName}); enabled.exitCode != 0) {
    context.err << "Cannot start " << kUnitName << ": " << firstLine(enabled.out) << "\n";
    return 1;
  }
  context.out << "The Quillmere service is enabled and running.\n";
  return 0;
}

int uninstall(CliContext& context) {
  const auto unitPath = unitFilePathOrSay(context);
  if (!unitPath) return 1;
  std::error_code ec;
  const bool present = fs::exists(*unitPath, ec);
  const bool reachable = systemctlOnPath() && systemctl({"daemon-reload"}).exitCode == 0;
  if (reachable && present) {
    if (auto disabled = systemctl({"disable", "--now", kUnitName}); disabled.exitCode != 0) {
      context.err << "Cannot stop " << kUnitName << ": " << firstLine(disabled.out) << "\n";
      return 1;
    }
  }
  if (!present) {
    const auto program = programOrSay(context);
    const auto packaged = program ? packagedUnit(*program) : std::nullopt;
    if (!packaged) {
      context.out << "The Quillmere service is not installed.\n";
      return 0;
    }
    // The package's unit stays with the package; it is only disabled.
    if (!reachable) {
      context.out << "systemd is not reachable from here; to stop the service, run:\n"
                  << "  systemctl --user disable --now " << kUnitName << "\n";
      return 0;
    }
    if (auto disabled = systemctl({"disable", "--now", kUnitName}); disabled.exitCode != 0) {
      context.err << "Cannot stop " << kUnitName << ": " << firstLine(disabled.out) << "\n";
      return 1;
    }
    context.out << "Disabled " << kUnitName << "; its unit stays with the package ("
                << packaged->string() << ").\n";
    return 0;
  }
  if (!fs::remove(*unitPath, ec) && ec) {
    context.err << "Cannot remove " << unitPath->string() << ": " << ec.message() << "\n";
    return 1;
  }
  if (reachable) systemctl({"daemon-reload"});
  context.out << "Removed " << unitPath->string() << "\n";
  if (!reachable)
    context.out << "systemd is not reachable from here; if the service still runs, run:\n"
                << "  systemctl --user disable --now " << kUnitName << "\n";
  return 0;
}

int status(CliContext& context) {
  const auto unitPath = unitFilePathOrSay(context);
  if (!unitPath) return 1;
  std::error_code ec;
  const bool present = fs::exists(*unitPath, ec);
  const auto program = present ? std::nullopt : programOrSay(context);
  const auto packaged = program ? packagedUnit(*program) : std::nullopt;
  if (packaged)
    context.out << "Unit file: " << packaged->string() << " (from the package)\n";
  else
    context.out << "Unit file: " << unitPath->string() << (present ? "" : " (not installed)")
                << "\n";
  if (systemctlOnPath()) {
    // is-active exits non-zero for anything but "active" and answers with one word; anything else
    // means no user manager.
    auto active = systemctl({"is-active", kUnitName});
    const auto word = firstLine(active.out);
    if (active.exitCode >= 0 && word.find(' ') == std::string::npos)
      context.out << "Service: " << word << "\n";
    else
      context.out << "Service: unknown (systemd not reachable: " << word << ")\n";
  } else {
    context.out << "Service: unknown (systemctl not found)\n";
  }
  return 0;
}

}  // namespace

void addServiceCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto* service = app.add_subcommand(
      "service", "Run the companion as a systemd user service, without the window");
  service->require_subcommand(1);
  service->add_subcommand("install", "Write " + std::string(kUnitName) + " and enable it at login")
      ->callback([&] { exitCode = install(context); });
  service->add_subcommand("uninstall", "Stop and disable the service and remove its unit file")
      ->callback([&] { exitCode = uninstall(context); });
  service->add_subcommand("status", "Show whether the service is installed and running")
      ->callback([&] { exitCode = status(context); });
}

}  // namespace qm::cli
