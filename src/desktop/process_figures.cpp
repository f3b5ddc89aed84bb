#include "desktop/process_figures.h"

#include <unistd.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace qm::desktop {

/// How long the process had been running when `main` began: the kernel's
/// start time of the process (in clock ticks since boot) against the boot
/// clock now. Covers loading the program and its libraries; zero when the
/// kernel's figures are not available or do not make sense.
std::chrono::microseconds runningBeforeMain() {
  timespec boot{};
  if (clock_gettime(CLOCK_BOOTTIME, &boot) != 0) return {};
  std::ifstream stat("/proc/self/stat");
  std::string line;
  if (!std::getline(stat, line)) return {};
  // The command name (field 2) is in parentheses and may hold spaces.
  const auto close = line.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  // Field 3 (state) is the first after the name; the start time is field 22.
  for (int i = 3; i < 22 && fields >> field;) ++i;
  unsigned long long startTicks = 0;
  if (!(fields >> startTicks)) return {};
  const long ticksPerSecond = sysconf(_SC_CLK_TCK);
  if (ticksPerSecond <= 0) return {};
  const long double startSeconds = static_cast<long double>(startTicks) / ticksPerSecond;
  const long double nowSeconds = boot.tv_sec + boot.tv_nsec / 1e9L;
  const long double before = nowSeconds - startSeconds;
  if (before < 0 || before > 10) return {};
  return std::chrono::microseconds(static_cast<long long>(before * 1e6L));
}

/// The process's peak resident set in KiB (VmHWM), or -1.
long peakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace qm::desktop
