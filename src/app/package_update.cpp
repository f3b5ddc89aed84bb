#include "app/package_update.h"

#include <system_error>

#include "app/program_run.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

std::string versionOrEmpty(std::string_view value) {
  value = trimmed(value);
  return value == "(none)" ? std::string() : std::string(value);
}

/// `dpkg --compare-versions a gt b`: Debian's own ordering of versions
/// (epochs, tildes, revisions), never a reading of our own.
Result<bool> newerVersion(const std::string& a, const std::string& b) {
  const auto run = runProgram({"dpkg", "--compare-versions", a, "gt", b});
  if (run.exitCode == 0) return true;
  if (run.exitCode == 1) return false;
  if (run.exitCode < 0) return Error(ErrorCode::failedPrecondition, "dpkg is not installed");
  return Error(ErrorCode::internal, "dpkg cannot compare the versions " + a + " and " + b + ": " +
                                        std::string(trimmed(run.err)));
}

/// A CMake build folder holds its cache at its top, beside the programs.
bool inBuildTree(const fs::path& program) {
  std::error_code ec;
  return fs::exists(program.parent_path() / "CMakeCache.txt", ec);
}

}  // namespace

Result<AptPolicy> parseAptPolicy(std::string_view output, std::string_view package) {
  AptPolicy policy;
  bool inBlock = false;
  bool sawInstalled = false;
  bool sawCandidate = false;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string_view::npos) end = output.size();
    const std::string_view line = output.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.front() != ' ') {
      // A package's block opens with its name at the start of a line.
      inBlock = trimmed(line) == std::string(package) + ":";
      continue;
    }
    if (!inBlock) continue;
    const std::string_view field = trimmed(line);
    if (field.starts_with("Installed:")) {
      policy.installed = versionOrEmpty(field.substr(10));
      sawInstalled = true;
    } else if (field.starts_with("Candidate:")) {
      policy.candidate = versionOrEmpty(field.substr(10));
      sawCandidate = true;
    }
  }
  if (sawInstalled != sawCandidate)
    return Error(ErrorCode::invalidArgument,
                 "apt-cache policy gave " +
                     std::string(sawInstalled ? "no Candidate" : "no Installed") + " line for " +
                     std::string(package));
  return policy;
}

UpdateCheck checkForUpdate(const UpdateCheckSetup& setup) {
  UpdateCheck check;
  check.program = setup.program;
  std::error_code ec;
  if (!fs::equivalent(setup.program, setup.packagedProgram, ec)) {
    check.state = UpdateCheck::State::notFromPackage;
    check.buildTree = inBuildTree(setup.program);
    return check;
  }

  std::vector<std::string> argv = {"apt-cache"};
  for (const auto& option : setup.aptOptions) {
    argv.push_back("-o");
    argv.push_back(option);
  }
  argv.push_back("policy");
  argv.push_back(setup.package);
  const auto run = runProgram(std::move(argv));
  if (run.exitCode != 0) {
    check.problem = run.exitCode < 0 ? std::string("apt-cache is not installed")
                                     : "apt-cache policy failed: " + std::string(trimmed(run.err));
    return check;
  }
  auto policy = parseAptPolicy(run.out, setup.package);
  if (!policy) {
    check.problem = policy.error().message;
    return check;
  }
  check.installed = policy->installed;
  check.candidate = policy->candidate;
  if (check.installed.empty()) {
    // The program is where the package puts it, but dpkg knows no package:
    // copied there by hand or by `cmake --install`.
    check.state = UpdateCheck::State::notFromPackage;
    return check;
  }
  if (check.candidate.empty() || check.candidate == check.installed) {
    check.state = UpdateCheck::State::upToDate;
    return check;
  }
  auto newer = newerVersion(check.candidate, check.installed);
  if (!newer) {
    check.problem = newer.error().message;
    return check;
  }
  check.state = *newer ? UpdateCheck::State::available : UpdateCheck::State::upToDate;
  return check;
}

std::string describeUpdateCheck(const UpdateCheck& check) {
  switch (check.state) {
    case UpdateCheck::State::available:
      return "Quillmere " + check.candidate + " is available (installed: " + check.installed +
             ").\nInstall it with:\n  sudo apt install quillmere\nor from the Updates of "
             "the software centre.\n";
    case UpdateCheck::State::upToDate:
      return "Quillmere " + check.installed + " is the newest version available.\n";
    case UpdateCheck::State::notFromPackage:
      if (check.buildTree)
        return "This Quillmere runs from a build tree (" + check.program.parent_path().string() +
               "), not from the package.\nUpdate it in its source folder with:\n  git pull\n  "
               "bash scripts/run.sh\n";
      return "This Quillmere (" + check.program.string() +
             ") was not installed from the package; update it the way it was installed.\n";
    case UpdateCheck::State::failed:
      break;
  }
  return "Cannot ask APT for updates: " + check.problem + "\n";
}

std::string_view updateStateName(UpdateCheck::State state) {
  switch (state) {
    case UpdateCheck::State::available:
      return "available";
    case UpdateCheck::State::upToDate:
      return "up-to-date";
    case UpdateCheck::State::notFromPackage:
      return "not-from-package";
    case UpdateCheck::State::failed:
      break;
  }
  return "failed";
}

}  // namespace qm
