#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace qm {

/// What `apt-cache policy` says of one package: the installed version and the
/// one APT would install, each empty when it says "(none)".
struct AptPolicy {
  std::string installed;
  std::string candidate;
};

/// Reads the output of `apt-cache policy PACKAGE`. A package APT has never
/// heard of (no "PACKAGE:" block) reads as neither installed nor available.
Result<AptPolicy> parseAptPolicy(std::string_view output, std::string_view package);

/// Where an update check looks. By default the system's APT; tests point
/// `aptOptions` at a private sources list, lists folder and dpkg status file.
struct UpdateCheckSetup {
  /// The program that asks (the running `quillmere`).
  std::filesystem::path program;
  /// Where the package installs the program; any other place is a build of
  /// its own, updated the way it was built.
  std::filesystem::path packagedProgram = "/usr/bin/quillmere";
  std::string package = "quillmere";
  /// Extra `-o Name=Value` assignments for apt-cache.
  std::vector<std::string> aptOptions;
};

struct UpdateCheck {
  enum class State {
    available,       ///< APT offers `candidate`, newer than `installed`
    upToDate,        ///< `installed` is the newest APT knows of
    notFromPackage,  ///< the program runs from a build tree or a hand-made install
    failed,          ///< APT could not be asked; `problem` says why
  };
  State state = State::failed;
  std::string installed;
  std::string candidate;
  std::filesystem::path program;
  /// For `notFromPackage`: whether the program sits in a CMake build folder.
  bool buildTree = false;
  std::string problem;
};

/// Asks APT (apt-cache policy, then dpkg --compare-versions) whether a newer
/// package than the installed one is a candidate. Runs programs and waits:
/// call it from the command line or a worker, never from the companion's loop.
/// Never installs anything.
UpdateCheck checkForUpdate(const UpdateCheckSetup& setup);

/// What the command line prints for `check`, ending in a line break.
std::string describeUpdateCheck(const UpdateCheck& check);

/// Short names of the states, for `quillmere update check --json`.
std::string_view updateStateName(UpdateCheck::State state);

}  // namespace qm
