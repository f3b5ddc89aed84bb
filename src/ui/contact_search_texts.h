#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/list_contact.h"

namespace qm {

/// What the contacts list's search looks in, folded once per contact
/// (`foldForSearch`): each contact's full name, company, title and e-mail. A
/// list reads its event's contacts once and filters them at every keystroke,
/// so the folding is done when the contacts are read, not per keystroke.
class ContactSearchTexts {
 public:
  ContactSearchTexts() = default;
  /// The texts of `contacts`, in their order.
  explicit ContactSearchTexts(std::span<const ListContact> contacts);

  std::size_t size() const { return starts_.empty() ? 0 : starts_.size() - 1; }

  /// For each contact, whether one of its texts holds `query` once both are
  /// folded; an empty query is held by every contact. The query is not trimmed.
  std::vector<bool> matching(std::string_view query) const;

  /// Whether one of `contact`'s texts, folded here, holds `foldedQuery`
  /// (already folded): for a single list, where folding every contact first
  /// would cost more.
  static bool holds(const ListContact& contact, std::string_view foldedQuery);

 private:
  /// The folded texts one after another, each ended by a NUL byte so that a
  /// query is not found across two of them.
  std::string blob_;
  /// Where each contact's texts start in `blob_`, and the end.
  std::vector<std::uint32_t> starts_;
};

}  // namespace qm
