#include "sync/delta_journal.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "common/atomic_file.h"
#include "common/log.h"
#include "wire/wire_codec.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kFolderName = "com.quillmere.mac";
constexpr std::string_view kFileName = "delta_journal.json";

}  // namespace

Result<std::string> encodeDeltaJournal(const std::vector<SyncEnvelope>& envelopes) {
  std::string text = "[";
  for (std::size_t i = 0; i < envelopes.size(); ++i) {
    auto json = encodeEnvelope(envelopes[i]);
    if (!json) return Error("envelope " + std::to_string(i) + ": " + json.error().message);
    if (i > 0) text += ',';
    text += *json;
  }
  text += ']';
  return text;
}

Result<std::vector<SyncEnvelope>> decodeDeltaJournal(std::string_view text) {
  if (text.empty()) text = "";  // an empty view may have no buffer for the parser to copy
  auto& parser = wire::threadParser();
  wire::Element root;
  const auto status = parser.parse(text.data(), text.size(), true).get(root);
  if (status != simdjson::SUCCESS) {
    wire::trimParser(parser);
    return Error(std::string("not valid JSON (") + simdjson::error_message(status) + ")");
  }
  std::vector<SyncEnvelope> envelopes;
  wire::DecodeError err;
  const bool ok = wire::Codec<std::vector<SyncEnvelope>>::decode(root, envelopes, err);
  wire::trimParser(parser);
  if (!ok) {
    std::string message = err.path.empty() ? std::string() : err.where() + ": ";
    return Error(message + err.problem);
  }
  return envelopes;
}

fs::path DeltaJournal::fileIn(const fs::path& applicationSupport) {
  return applicationSupport / kFolderName / kFileName;
}

DeltaJournal::DeltaJournal(const fs::path& applicationSupport)
    : fileURL_(fileIn(applicationSupport)) {
  // A folder that cannot be created shows up as a failed save, which is logged.
  std::error_code ec;
  createPrivateFolders(fileURL_.parent_path(), ec);
  load();
}

void DeltaJournal::append(SyncEnvelope envelope) {
  std::vector<SyncEnvelope> one;
  one.push_back(std::move(envelope));
  append(std::move(one));
}

void DeltaJournal::append(std::vector<SyncEnvelope> envelopes) {
  if (envelopes.empty()) return;
  pendingEnvelopes_.insert(pendingEnvelopes_.end(), std::make_move_iterator(envelopes.begin()),
                           std::make_move_iterator(envelopes.end()));
  if (pendingEnvelopes_.size() > kCapacity) {
    const std::size_t dropped = pendingEnvelopes_.size() - kCapacity;
    pendingEnvelopes_.erase(pendingEnvelopes_.begin(),
                            pendingEnvelopes_.begin() + static_cast<std::ptrdiff_t>(dropped));
    log::sync().error("Delta journal overflow — dropped {} oldest entries", dropped);
  }
  save();
}

void DeltaJournal::removeFirst(std::size_t count) {
  const std::size_t removed = std::min(count, pendingEnvelopes_.size());
  pendingEnvelopes_.erase(pendingEnvelopes_.begin(),
                          pendingEnvelopes_.begin() + static_cast<std::ptrdiff_t>(removed));
  save();
}

std::size_t DeltaJournal::drain(const Sender& send, bool isPaired) {
  if (!isPaired) return 0;
  // A copy: the sender may queue new envelopes while this walks the old ones.
  const std::vector<SyncEnvelope> queued = pendingEnvelopes_;
  std::size_t sent = 0;
  for (const auto& envelope : queued) {
    auto result = send(envelope);
    if (!result) {
      log::sync().error("Failed to drain envelope {}: {}", envelope.messageID.str(),
                        result.error().message);
      break;
    }
    ++sent;
  }
  if (sent > 0) {
    removeFirst(sent);
    log::sync().info("Drained {}/{} queued deltas", sent, queued.size());
  }
  return sent;
}

void DeltaJournal::save() {
  if (saveBlock_) {
    log::sync().error("Failed to save delta journal: {}", *saveBlock_);
    return;
  }
  auto text = encodeDeltaJournal(pendingEnvelopes_);
  if (!text) {
    log::sync().error("Failed to save delta journal: {}", text.error().message);
    return;
  }
  auto written = writeFileAtomically(fileURL_, *text);
  if (!written) log::sync().error("Failed to save delta journal: {}", written.error().message);
}

void DeltaJournal::load() {
  auto text = readFile(fileURL_);
  if (!text) {
    std::error_code ec;
    if (!fs::exists(fileURL_, ec) && !ec) return;  // nothing queued yet
  }
  Error failure;
  if (text) {
    auto envelopes = decodeDeltaJournal(*text);
    if (envelopes) {
      pendingEnvelopes_ = std::move(*envelopes);
      log::sync().info("Loaded {} queued deltas from disk", pendingEnvelopes_.size());
      return;
    }
    failure = envelopes.error();
  } else {
    failure = text.error();
  }
  log::sync().error("Failed to load delta journal: {}", failure.message);

  // The file still holds edits that never reached the phone. The next save
  // would replace it with the (empty) list in memory, so it is moved aside
  // first, where it can be recovered; if even that fails, it is left alone and
  // nothing is saved over it.
  auto aside = setFileAside(fileURL_, "unreadable");
  if (aside) {
    log::sync().warn("Moved the unreadable delta journal to {}", aside->string());
  } else {
    log::sync().error("Could not move the unreadable delta journal aside: {}",
                      aside.error().message);
    saveBlock_ = "the unreadable journal " + fileURL_.string() + " is not replaced";
  }
}

}  // namespace qm
