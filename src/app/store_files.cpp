#include "app/store_files.h"

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>
#include <cstring>

#include "common/date.h"
#include "common/log.h"

namespace qm {

namespace fs = std::filesystem;

std::vector<fs::path> storeFiles(const fs::path& applicationSupport) {
  const fs::path main = applicationSupport / "QuillmereMac.store";
  return {main, fs::path(main.string() + "-shm"), fs::path(main.string() + "-wal"),
          fs::path(main.string() + "-blobs")};
}

std::vector<std::pair<fs::path, fs::path>> setStoreFilesAside(const fs::path& applicationSupport) {
  const auto files = storeFiles(applicationSupport);
  const std::string mainName = files.front().filename().string();
  std::vector<std::pair<fs::path, fs::path>> moved;
  std::error_code ec;

  // The set keeps its shape under one new base name ("<store>.set-aside-<stamp>",
  // with "-wal", "-shm", "-blobs" beside it), so the set-aside store opens with
  // its write-ahead log and external data.
  const std::string base = mainName + ".set-aside-" + fileTimestamp(now());
  std::string chosen;
  for (int n = 1; chosen.empty(); ++n) {
    std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
    bool free = true;
    for (const auto& file : files) {
      auto suffix = file.filename().string().substr(mainName.size());
      if (fs::exists(fs::symlink_status(applicationSupport / (candidate + suffix), ec)))
        free = false;
    }
    if (free) chosen = candidate;
  }

  for (const auto& file : files) {
    if (!fs::exists(fs::symlink_status(file, ec))) continue;
    const fs::path target =
        applicationSupport / (chosen + file.filename().string().substr(mainName.size()));
    if (renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
      log::data().error("Could not set {} aside: {}", file.string(), std::strerror(errno));
      continue;
    }
    log::data().info("Set the earlier store file {} aside as {}", file.string(), target.string());
    moved.emplace_back(file, target);
  }
  return moved;
}

void deleteStoreFiles(const fs::path& applicationSupport) {
  for (const auto& file : storeFiles(applicationSupport)) {
    std::error_code ec;
    fs::remove_all(file, ec);
    if (ec) log::data().error("Could not delete {}: {}", file.string(), ec.message());
  }
}

}  // namespace qm
