#include "app/cli/service_unit.h"

namespace qm::cli {

namespace {

/// Quotes one word for a unit file: `%` would start a specifier and, in
/// ExecStart, `$` a variable, so both are doubled.
Result<std::string> unitQuoted(const std::string& word, bool commandLine) {
  std::string quoted = "\"";
  for (char c : word) {
    if (c == '\n' || c == '\r')
      return Error(ErrorCode::invalidArgument,
                   "Cannot write a service for a path with a line break: " + word);
    if (c == '"' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    if (c == '$' && commandLine) quoted += '$';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

Result<std::string> serviceUnitText(const std::filesystem::path& program, const std::string& home) {
  auto exec = unitQuoted(program.string(), true);
  if (!exec) return exec.error();
  std::string text =
      "[Unit]\n"
      "Description=Quillmere companion: sync with the phone and MCP for AI assistants\n"
      "\n"
      "[Service]\n"
      "Type=simple\n"
      "ExecStart=" +
      *exec + " run\n";
  if (!home.empty()) {
    auto assignment = unitQuoted("QUILLMERE_HOME=" + home, false);
    if (!assignment) return assignment.error();
    text += "Environment=" + *assignment + "\n";
  }
  text +=
      "Restart=on-failure\n"
      "RestartSec=5\n"
      "\n"
      "[Install]\n"
      "WantedBy=default.target\n";
  return text;
}

}  // namespace qm::cli
