#pragma once

#include <sys/types.h>
#include <filesystem>
#include <string_view>

#include "common/result.h"

namespace qm {

/// Writes `contents` to `path` whole or not at all: a temporary file in the same
/// folder is written, flushed with fsync, given `mode`, renamed over `path`, and
/// the folder is synced. A reader sees the old content or the new, never a mix.
Status writeFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           mode_t mode = 0644);

/// Reads a whole file. A missing file is an error whose text names the path.
Result<std::string> readFile(const std::filesystem::path& path);

/// Moves `path` aside to "<name>.<suffix>-<UTC stamp>" in the same folder (with a
/// counter if that name is taken) and returns the new path. Never overwrites.
Result<std::filesystem::path> setFileAside(const std::filesystem::path& path,
                                           std::string_view suffix);

}  // namespace qm
