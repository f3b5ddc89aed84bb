// `quillmere report EVENT [-o FILE.pdf]`: the post-show report of an event as
// a PDF. The charts and pages are drawn by the window's program, which the
// command runs on Qt's offscreen platform (no display needed), so that the
// printed charts are the window's own and no toolkit enters this program.
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/event_argument.h"
#include "store/store.h"

namespace qm::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kWindowProgram = "quillmere-desktop";

/// The window's program: beside this one (a build tree or an install), else on PATH.
std::optional<fs::path> windowProgram() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const fs::path beside = self.parent_path() / kWindowProgram;
    if (access(beside.c_str(), X_OK) == 0) return beside;
  }
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string folder(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (folder.empty()) continue;
    const fs::path candidate = fs::path(folder) / kWindowProgram;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

/// "Hannover Messe 2026 Report.pdf", with the characters a file name cannot
/// hold (or that other systems refuse) replaced.
std::string defaultFileName(const std::string& eventName) {
  std::string name = eventName + " Report.pdf";
  for (char& c : name)
    if (std::strchr("/\\:*?\"<>|", c) != nullptr) c = '-';
  return name;
}

/// Runs the window's program to write the report; its exit status, or -1
/// when it could not be started.
int runWindowProgram(const fs::path& program, const std::string& eventID, const fs::path& file) {
  const std::string output = file.string();
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(program.c_str(), program.c_str(), "--report", eventID.c_str(), "--output", output.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return -1;
}

int writeReport(CliContext& context, const std::string& eventArg, const std::string& outputArg) {
  Event event;
  {
    auto store = openStore(context);
    if (!store) return 1;
    auto named = eventArgument(*store, eventArg);
    if (!named) {
      context.err << named.error().message << "\n";
      return named.error().code == ErrorCode::notFound ||
                     named.error().code == ErrorCode::invalidArgument
                 ? 2
                 : 1;
    }
    event = std::move(*named);
  }  // the store is closed before the window's program opens it
  const auto program = windowProgram();
  if (!program) {
    context.err << "The report is drawn by " << kWindowProgram
                << ", which is not installed: it is neither beside this program nor on PATH. "
                   "Install the desktop window to write reports.\n";
    return 1;
  }
  fs::path file = outputArg.empty() ? fs::path(defaultFileName(event.name)) : fs::path(outputArg);
  std::error_code ec;
  if (file.is_relative()) file = fs::absolute(file, ec);
  const int status = runWindowProgram(*program, event.id.str(), file);
  if (status != 0) {
    context.err << (status < 0 ? "Could not run " + program->string() + "."
                               : "No report was written.")
                << "\n";
    return 1;
  }
  context.out << "Report of " << event.name << " written to " << file.string() << "\n";
  return 0;
}

}  // namespace

void addReportCommand(CLI::App& app, CliContext& context, int& exitCode) {
  struct Options {
    std::string event;
    std::string output;
  };
  auto o = std::make_shared<Options>();
  auto* report = app.add_subcommand(
      "report",
      "Write an event's post-show report as a PDF: figures, charts, priority contacts, "
      "pipeline and follow-up status (needs quillmere-desktop, not a display)");
  report->add_option("EVENT", o->event, "The event's id or name")->required();
  report->add_option("-o,--output", o->output,
                     "The PDF file to write (default: \"EVENT Report.pdf\" in this folder)");
  report->callback([&, o] { exitCode = writeReport(context, o->event, o->output); });
}

}  // namespace qm::cli
