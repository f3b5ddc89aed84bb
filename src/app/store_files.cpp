#include "app/store_files.h"

#include "common/atomic_file.h"
#include "common/log.h"

namespace qm {

namespace fs = std::filesystem;

std::vector<fs::path> storeFiles(const fs::path& applicationSupport) {
  const fs::path main = applicationSupport / "QuillmereMac.store";
  return {main, fs::path(main.string() + "-shm"), fs::path(main.string() + "-wal"),
          fs::path(main.string() + "-blobs")};
}

std::vector<std::pair<fs::path, fs::path>> setStoreFilesAside(const fs::path& applicationSupport) {
  std::vector<std::pair<fs::path, fs::path>> moved;
  for (const auto& file : storeFiles(applicationSupport)) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec))) continue;
    auto aside = setFileAside(file, "set-aside");
    if (!aside) {
      log::data().error("Could not set {} aside: {}", file.string(), aside.error().message);
      continue;
    }
    log::data().info("Set the earlier store file {} aside as {}", file.string(), aside->string());
    moved.emplace_back(file, *aside);
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
