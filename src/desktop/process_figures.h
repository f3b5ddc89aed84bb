#pragma once

#include <chrono>

namespace qm::desktop {

/// How long the process had been running when `main` began: the kernel's
/// start time of the process against the boot clock now, so that a reported
/// first paint includes loading the program and its libraries. Zero when the
/// kernel's figures are not available or do not make sense.
std::chrono::microseconds runningBeforeMain();

/// The process's peak resident set in KiB (VmHWM), or -1.
long peakResidentKiB();

}  // namespace qm::desktop
