#pragma once

#include <iosfwd>

#include "common/app_paths.h"

namespace qm {

/// Runs the companion until SIGINT or SIGTERM: start-up, the control socket,
/// and whatever the settings ask for. Prints where its files are to `out`, and
/// with `showNextSteps` (a person watches: a terminal) what to do next while
/// there are no events or no paired phone; start-up failures go to `err`.
/// Returns the process exit code.
int runCompanion(const AppPaths& paths, std::ostream& out, std::ostream& err, bool showNextSteps);

}  // namespace qm
