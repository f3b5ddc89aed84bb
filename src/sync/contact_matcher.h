#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/uuid.h"
#include "store/contact.h"
#include "sync/contact_sync_model.h"

namespace qm {

/// Finds which of a fixed list of contacts an incoming record is, by these
/// rules in order (the first rule that finds one wins; within a rule, the
/// earliest contact in the list):
///
/// 1. the same `syncID`;
/// 2. the same e-mail, when the incoming one is not empty;
/// 3. the same LinkedIn address, when the incoming one is not empty;
/// 4. the same full name and company, when the incoming name or company is not
///    empty (two cards still waiting for text recognition stay apart).
///
/// Texts compare in Unicode lower case with white space trimmed at both ends.
/// The list is indexed once, so matching a whole snapshot against it costs one
/// look-up per rule and record. The text indexes are built when a record first
/// needs them: a snapshot the desktop already holds matches by sync id alone.
class ContactMatcher {
 public:
  /// Indexes `candidates`, which must outlive the matcher.
  explicit ContactMatcher(const std::vector<Contact>& candidates);

  /// The position in the list of the contact `incoming` matches.
  std::optional<std::size_t> find(const ContactSyncModel& incoming) const;

  /// Re-reads the contact at `position` after it changed (a merge may fill or
  /// replace its e-mail and LinkedIn address).
  void refresh(std::size_t position);

  /// The form texts are compared in.
  static std::string normalized(std::string_view text);

 private:
  /// Positions per key, ascending.
  using Index = std::unordered_map<std::string, std::vector<std::size_t>>;
  struct Keys {
    std::optional<std::string> email;
    std::optional<std::string> linkedin;
  };

  static void add(Index& index, const std::string& key, std::size_t position);
  static void remove(Index& index, const std::string& key, std::size_t position);
  static std::optional<std::size_t> first(const Index& index, const std::string& key);
  Keys keysOf(const Contact& contact) const;
  void indexTexts() const;

  const std::vector<Contact>& candidates_;
  std::unordered_map<Uuid, std::size_t> bySyncID_;
  // Built by `indexTexts` on first need.
  mutable bool textsIndexed_ = false;
  mutable Index byEmail_;
  mutable Index byLinkedIn_;
  mutable Index byNameAndCompany_;
  mutable std::vector<Keys> keys_;
};

}  // namespace qm
