#include "store/external_blobs.h"

#include <system_error>

#include "common/atomic_file.h"
#include "common/log.h"
#include "common/uuid.h"

namespace qm {

namespace fs = std::filesystem;

ExternalBlobs::ExternalBlobs(const fs::path& storeFile) : folder_(storeFile.string() + "-blobs") {}

Result<std::string> ExternalBlobs::write(const Bytes& data) {
  std::error_code ec;
  createPrivateFolders(folder_, ec);  // a failure shows as the write's
  std::string name = Uuid::random().str();
  QM_TRY(writeFileAtomically(
      folder_ / name, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
      0600));
  if (!levels_.empty()) levels_.back().written.push_back(name);
  return name;
}

std::optional<Bytes> ExternalBlobs::read(std::string_view name) const {
  auto contents = readFile(folder_ / name);
  if (!contents) {
    log::data().error("External data {} of the store is missing: {}", std::string(name),
                      contents.error().message);
    return std::nullopt;
  }
  return Bytes(contents->begin(), contents->end());
}

void ExternalBlobs::release(std::string_view name) {
  if (!levels_.empty()) levels_.back().released.emplace_back(name);
}

void ExternalBlobs::beginLevel() {
  levels_.emplace_back();
}

void ExternalBlobs::commitLevel() {
  Level done = std::move(levels_.back());
  levels_.pop_back();
  if (levels_.empty()) {
    removeFiles(done.released);
    return;
  }
  auto& parent = levels_.back();
  parent.written.insert(parent.written.end(), done.written.begin(), done.written.end());
  parent.released.insert(parent.released.end(), done.released.begin(), done.released.end());
}

void ExternalBlobs::rollbackLevel() {
  removeFiles(levels_.back().written);
  levels_.pop_back();
}

ExternalBlobs::Mark ExternalBlobs::mark() const {
  return {levels_.back().written.size(), levels_.back().released.size()};
}

void ExternalBlobs::undoTo(const Mark& mark) {
  auto& level = levels_.back();
  removeFiles(level.written, mark.written);
  level.written.resize(mark.written);
  level.released.resize(mark.released);
}

void ExternalBlobs::removeUnreferenced(const std::set<std::string>& referenced) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder_, ec)) {
    if (!referenced.contains(entry.path().filename().string())) {
      log::data().info("Removing unreferenced external data file {}", entry.path().string());
      fs::remove(entry.path(), ec);
    }
  }
}

void ExternalBlobs::removeFiles(const std::vector<std::string>& names, std::size_t from) const {
  for (std::size_t i = from; i < names.size(); ++i) {
    std::error_code ec;
    fs::remove(folder_ / names[i], ec);
  }
}

}  // namespace qm
