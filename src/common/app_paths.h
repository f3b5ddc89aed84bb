#pragma once

#include <filesystem>
#include <string_view>

#include "common/result.h"

namespace qm {

/// Where the companion keeps its files.
///
/// Defaults follow the XDG base directories: application support in
/// `$XDG_DATA_HOME/quillmere` (else ~/.local/share/quillmere), settings in
/// `$XDG_CONFIG_HOME/quillmere`, logs in `$XDG_STATE_HOME/quillmere`, the control
/// socket in `$XDG_RUNTIME_DIR/quillmere` (else under application support).
/// `QUILLMERE_HOME=DIR` relocates everything under DIR (data/, config/, state/, run/).
struct AppPaths {
  std::filesystem::path applicationSupport;
  std::filesystem::path documents;  ///< capture images; inside application support
  std::filesystem::path config;     ///< holds defaults.json
  std::filesystem::path logs;
  std::filesystem::path runtime;  ///< holds control.sock; mode 0700

  std::filesystem::path storeFile() const { return applicationSupport / "QuillmereMac.store"; }
  std::filesystem::path defaultsFile() const { return config / "defaults.json"; }
  std::filesystem::path keychainFile() const { return applicationSupport / "keychain.json"; }
  std::filesystem::path logFile() const { return logs / "quillmere.log"; }
  std::filesystem::path controlSocket() const { return runtime / "control.sock"; }

  /// Resolves the folders from the environment; does not create them.
  static AppPaths fromEnvironment();
  /// Everything under one folder, as QUILLMERE_HOME does.
  static AppPaths under(const std::filesystem::path& home);

  /// Creates the folders that are missing, gives every folder mode 0700 and the
  /// files the companion keeps in them (store, keychain, settings, log) 0600.
  /// Fails, naming the folder or file and what to do, when one cannot be made
  /// or written (another user's, or on a read-only file system).
  Status createFolders() const;
};

/// `path` with a leading "~" or "~/" standing for the home folder ($HOME, else
/// the account's), as a shell reads it. Anything else, "~user" included, is
/// left as it is.
std::filesystem::path expandHome(std::string_view path);

}  // namespace qm
