#include "app/relaunch.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/log.h"

namespace qm {

namespace {
std::vector<std::string>& arguments() {
  static std::vector<std::string> args;
  return args;
}
constexpr const char* kLanguageMarker = "QUILLMERE_SET_LANGUAGE";
}  // namespace

void rememberProcessArguments(int argc, char** argv) {
  arguments().assign(argv, argv + argc);
}

Status relaunchProcess(const std::optional<std::string>& language) {
  if (language) {
    setenv("LANGUAGE", language->c_str(), 1);
    setenv(kLanguageMarker, "1", 1);
  } else if (getenv(kLanguageMarker)) {
    unsetenv("LANGUAGE");
    unsetenv(kLanguageMarker);
  }
  std::vector<char*> argv;
  for (auto& a : arguments()) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (argv.size() == 1) return Error("Cannot relaunch: the program's arguments are unknown");
  log::data().info("Relaunching Quillmere");
  log::data().flush();
  execv("/proc/self/exe", argv.data());
  return Error(std::string("Could not relaunch Quillmere: ") + std::strerror(errno));
}

}  // namespace qm
