#include "common/app_paths.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

#include "common/atomic_file.h"

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

fs::path expandHome(std::string_view path) {
  if (path == "~") return homeFolder();
  if (path.starts_with("~/")) return homeFolder() / path.substr(2);
  return fs::path(path);
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

namespace {

/// What to tell a person whose folder or file the companion cannot use.
std::string whatToDo(const fs::path& path) {
  return ". Make it yours and writable (for example: sudo chown -R \"$USER\" '" + path.string() +
         "'), or choose another place with QUILLMERE_HOME, then start Quillmere again.";
}

std::string reason(int error) {
  return std::error_code(error, std::generic_category()).message();
}

}  // namespace

Status AppPaths::createFolders() const {
  // Everything here is this user's alone: the store holds other people's
  // contact details. Applied every time, so folders and files made by an older
  // build, or under a looser umask, are tightened too.
  for (const fs::path* folder : {&applicationSupport, &documents, &config, &logs, &runtime}) {
    std::error_code ec;
    createPrivateFolders(*folder, ec);
    if (ec) {
      return Error(ErrorCode::permissionDenied, "Cannot create the folder " + folder->string() +
                                                    ": " + ec.message() +
                                                    whatToDo(folder->parent_path()));
    }
    // Fails for a folder of another user; whether it can be used is checked next.
    fs::permissions(*folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    if (::access(folder->c_str(), W_OK | X_OK) != 0) {
      return Error(ErrorCode::permissionDenied, "Cannot write in the folder " + folder->string() +
                                                    ": " + reason(errno) + whatToDo(*folder));
    }
  }
  const fs::path store = storeFile();
  for (const fs::path& file :
       {store, fs::path(store.string() + "-wal"), fs::path(store.string() + "-shm"), keychainFile(),
        defaultsFile(), logFile()}) {
    std::error_code ec;  // a file that is not there yet needs nothing
    if (!fs::exists(fs::symlink_status(file, ec))) continue;
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace,
                    ec);
    if (::access(file.c_str(), R_OK | W_OK) != 0) {
      return Error(ErrorCode::permissionDenied, "Cannot write the file " + file.string() + ": " +
                                                    reason(errno) + whatToDo(file));
    }
  }
  return {};
}

}  // namespace qm
