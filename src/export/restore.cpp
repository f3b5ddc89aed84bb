#include "export/restore.h"

#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "export/full_data_export.h"
#include "store/store.h"

namespace qm {

namespace {

Error notAnExport(const std::string& why) {
  return Error(ErrorCode::invalidArgument, "Not a Quillmere data export: " + why);
}

/// The parser's message without its "[json.exception…] " prefix.
std::string parseErrorText(const nlohmann::json::parse_error& e) {
  std::string text = e.what();
  if (const auto end = text.find("] "); end != std::string::npos) text.erase(0, end + 2);
  return text;
}

Result<std::int64_t> recordsInStore(Store& store) {
  std::int64_t total = 0;
  for (const auto& codec : recordKindCodecs()) total += QM_TRY(codec.count(store));
  return total;
}

}  // namespace

std::int64_t RestoreSummary::added() const {
  std::int64_t n = 0;
  for (const auto& k : kinds) n += k.added;
  return n;
}

std::int64_t RestoreSummary::kept() const {
  std::int64_t n = 0;
  for (const auto& k : kinds) n += k.kept;
  return n;
}

Result<RestoreSummary> restoreDataExport(Store& store, std::string_view document,
                                         RestoreMode mode) {
  nlohmann::json root;
  try {
    root = nlohmann::json::parse(document);
  } catch (const nlohmann::json::parse_error& e) {
    return notAnExport("the file is not valid JSON (" + parseErrorText(e) + ").");
  }
  if (!root.is_object()) return notAnExport("the file holds no JSON object.");
  const auto version = root.find("formatVersion");
  if (version == root.end()) return notAnExport("it has no formatVersion.");
  if (!version->is_number_integer() || version->get<std::int64_t>() != kDataExportFormatVersion)
    return Error(ErrorCode::invalidArgument,
                 "This data export has format version " + version->dump() +
                     "; this version of Quillmere reads format version " +
                     std::to_string(kDataExportFormatVersion) + " only.");

  const auto& codecs = recordKindCodecs();
  for (const auto& [key, value] : root.items()) {
    if (key == "formatVersion" || key == "timestamp") continue;
    bool known = false;
    for (const auto& codec : codecs) known = known || codec.kind == key;
    if (!known) return notAnExport("it holds an unknown member \"" + key + "\".");
  }

  std::vector<PendingRecords> pending;
  RestoreSummary summary;
  for (const auto& codec : codecs) {
    summary.kinds.push_back({codec.kind, 0, 0});
    const auto array = root.find(std::string(codec.kind));
    pending.push_back(array == root.end() ? PendingRecords{} : QM_TRY(codec.read(*array)));
  }
  root = nullptr;  // the checked records are all that is needed now

  QM_TRY(store.transaction([&]() -> Status {
    if (mode == RestoreMode::emptyStoreOnly && QM_TRY(recordsInStore(store)) > 0)
      return Error(ErrorCode::failedPrecondition,
                   "The store already holds records. Restore into an empty store, or merge "
                   "(records whose id is already stored are kept as they are).");
    for (std::size_t i = 0; i < pending.size(); ++i)
      if (pending[i]) QM_TRY(pending[i](store, mode, summary.kinds[i]));
    return {};
  }));
  return summary;
}

Result<RestoreSummary> restoreDataExportFile(Store& store, const std::filesystem::path& file,
                                             RestoreMode mode) {
  const auto document = QM_TRY(readFile(file));
  return restoreDataExport(store, document, mode);
}

}  // namespace qm
