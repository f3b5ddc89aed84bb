#pragma once

#include <iosfwd>

#include "common/app_paths.h"

namespace qm {

/// Runs the companion until SIGINT or SIGTERM: start-up, the control socket,
/// and whatever the settings ask for. Prints where its files are to `out`;
/// start-up failures go to `err`. Returns the process exit code.
int runCompanion(const AppPaths& paths, std::ostream& out, std::ostream& err);

}  // namespace qm
