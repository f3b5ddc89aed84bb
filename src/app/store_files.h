#pragma once

#include <filesystem>
#include <utility>
#include <vector>

namespace qm {

/// The files that make up the store in `applicationSupport`: the main file, its
/// "-shm" and "-wal" side files, and the folder of externally stored data.
std::vector<std::filesystem::path> storeFiles(const std::filesystem::path& applicationSupport);

/// Moves every store file that exists aside in the same folder, renamed to
/// "QuillmereMac.store.set-aside-<UTC stamp>" (+ "-wal", "-shm", "-blobs"), so
/// the store starts empty without losing anything and the set-aside store still
/// opens whole. Never overwrites.
/// Returns (from, to) for each file moved; failures are logged and skipped.
std::vector<std::pair<std::filesystem::path, std::filesystem::path>> setStoreFilesAside(
    const std::filesystem::path& applicationSupport);

/// Deletes the store files, ignoring each failure (a missing file is no error).
void deleteStoreFiles(const std::filesystem::path& applicationSupport);

}  // namespace qm
