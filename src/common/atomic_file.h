#pragma once

#include <sys/types.h>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/result.h"

namespace qm {

/// Writes `contents` to `path` whole or not at all: a temporary file in the same
/// folder is written, flushed with fsync, given `mode`, renamed over `path`, and
/// the folder is synced. A reader sees the old content or the new, never a mix.
Status writeFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           mode_t mode = 0644);

/// Creates `folder` and every missing folder above it, like
/// std::filesystem::create_directories, but each folder it makes gets mode 0700
/// whatever the umask: what the program keeps is this user's alone. Folders
/// that already exist keep their mode. Returns whether it made any; on failure
/// `ec` says why (a file in the way is `not_a_directory`).
bool createPrivateFolders(const std::filesystem::path& folder, std::error_code& ec);

/// Reads a whole file. A missing file is an error whose text names the path.
Result<std::string> readFile(const std::filesystem::path& path);

/// Moves `path` aside to "<name>.<suffix>-<UTC stamp>" in the same folder (with a
/// counter if that name is taken) and returns the new path. Never overwrites.
Result<std::filesystem::path> setFileAside(const std::filesystem::path& path,
                                           std::string_view suffix);

}  // namespace qm
