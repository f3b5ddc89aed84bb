#include "common/app_paths.h"

#include <cstdlib>
#include <optional>
#include <string>

#include <pwd.h>
#include <unistd.h>

namespace qm {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFolderName = "quillmere";

std::optional<std::string> environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

fs::path homeFolder() {
  if (auto home = environment("HOME")) return *home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  // No home at all (a stripped-down service account): stay in the working folder.
  return fs::path(".");
}

// An XDG base folder. Relative values are ignored, as the XDG rules require,
// so a stray "XDG_DATA_HOME=data" cannot scatter files around the working folder.
fs::path xdgFolder(const char* variable, const fs::path& fallback) {
  if (auto value = environment(variable); value && fs::path(*value).is_absolute()) {
    return *value;
  }
  return fallback;
}

}  // namespace

AppPaths AppPaths::fromEnvironment() {
  if (auto home = environment("QUILLMERE_HOME")) return under(*home);

  const fs::path home = homeFolder();
  AppPaths paths;
  paths.applicationSupport = xdgFolder("XDG_DATA_HOME", home / ".local" / "share") / kFolderName;
  paths.documents = paths.applicationSupport / "documents";
  paths.config = xdgFolder("XDG_CONFIG_HOME", home / ".config") / kFolderName;
  paths.logs = xdgFolder("XDG_STATE_HOME", home / ".local" / "state") / kFolderName;
  if (auto runtime = environment("XDG_RUNTIME_DIR"); runtime && fs::path(*runtime).is_absolute()) {
    paths.runtime = fs::path(*runtime) / kFolderName;
  } else {
    paths.runtime = paths.applicationSupport / "run";
  }
  return paths;
}

AppPaths AppPaths::under(const fs::path& home) {
  AppPaths paths;
  paths.applicationSupport = home / "data";
  paths.documents = paths.applicationSupport / "documents";
  paths.config = home / "config";
  paths.logs = home / "state";
  paths.runtime = home / "run";
  return paths;
}

// Throws std::filesystem::filesystem_error when a folder cannot be made: the
// companion cannot run without them, so start-up reports it and stops.
void AppPaths::createFolders() const {
  // Everything here is this user's alone: the store holds other people's
  // contact details. Applied every time, so folders and files made by an older
  // build, or under a looser umask, are tightened too.
  for (const fs::path* folder : {&applicationSupport, &documents, &config, &logs, &runtime}) {
    fs::create_directories(*folder);
    fs::permissions(*folder, fs::perms::owner_all, fs::perm_options::replace);
  }
  const fs::path store = storeFile();
  for (const fs::path& file :
       {store, fs::path(store.string() + "-wal"), fs::path(store.string() + "-shm"), keychainFile(),
        defaultsFile(), logFile()}) {
    std::error_code ec;  // a file that is not there yet needs nothing
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace,
                    ec);
  }
}

}  // namespace qm
