#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "wire/sync_envelope.h"

namespace qm {

/// Outbound envelopes that could not be sent yet, kept in order (oldest first)
/// in "com.quillmere.mac/delta_journal.json" under application support until the
/// phone is reachable again. Every change is written to disk at once, replacing
/// the file whole, so a crash leaves either the old list or the new one.
///
/// The file is a JSON array of the queued envelopes in their sync JSON form,
/// unsigned (the tag is added when an envelope is actually sent).
///
/// Used from one thread only.
class DeltaJournal {
 public:
  /// The most envelopes kept; beyond it the oldest are dropped.
  static constexpr std::size_t kCapacity = 500;

  /// Sends one envelope to the phone (the pairing service's send).
  using Sender = std::function<Status(const SyncEnvelope&)>;

  /// The journal kept under `applicationSupport`, loaded from its file when
  /// there is one.
  explicit DeltaJournal(const std::filesystem::path& applicationSupport);
  /// Where the journal of `applicationSupport` keeps its envelopes.
  static std::filesystem::path fileIn(const std::filesystem::path& applicationSupport);

  /// The queued envelopes, oldest first.
  const std::vector<SyncEnvelope>& pendingEnvelopes() const { return pendingEnvelopes_; }
  const std::filesystem::path& fileURL() const { return fileURL_; }

  /// Queues `envelope` after the others, dropping the oldest beyond
  /// `kCapacity`, and saves.
  void append(SyncEnvelope envelope);
  /// Queues `envelopes` in order, as `append` does each, with one save.
  void append(std::vector<SyncEnvelope> envelopes);

  /// Removes the `count` oldest envelopes (all of them when there are fewer)
  /// and saves.
  void removeFirst(std::size_t count);

  /// When paired, sends the queued envelopes oldest first until one fails; the
  /// ones sent leave the journal, the failed one and those after it stay.
  /// Returns how many were sent.
  std::size_t drain(const Sender& send, bool isPaired);

 private:
  void load();
  void save();

  std::vector<SyncEnvelope> pendingEnvelopes_;
  std::filesystem::path fileURL_;
  /// Set when the file on disk could neither be loaded nor moved out of the
  /// way: saving would destroy it, so saves fail with this text instead.
  std::optional<std::string> saveBlock_;
};

/// The journal file's text for `envelopes`.
Result<std::string> encodeDeltaJournal(const std::vector<SyncEnvelope>& envelopes);
/// The envelopes in a journal file's text; fails unless it is one JSON array of
/// valid envelopes.
Result<std::vector<SyncEnvelope>> decodeDeltaJournal(std::string_view text);

}  // namespace qm
