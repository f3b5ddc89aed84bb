#include "ui/contact_search_texts.h"

#include <string.h>

#include <algorithm>

#include "common/search_folding.h"

namespace qm {

namespace {

/// Calls `visit` with each text of `contact` the search looks in, until it
/// returns true.
template <class Visit>
bool anyText(const ListContact& contact, Visit&& visit) {
  return visit(contact.fullName()) || visit(contact.company) ||
         (contact.title && visit(*contact.title)) || (contact.email && visit(*contact.email));
}

}  // namespace

ContactSearchTexts::ContactSearchTexts(std::span<const ListContact> contacts) {
  starts_.reserve(contacts.size() + 1);
  blob_.reserve(contacts.size() * 64);
  for (const ListContact& c : contacts) {
    starts_.push_back(static_cast<std::uint32_t>(blob_.size()));
    anyText(c, [this](std::string_view text) {
      blob_ += foldForSearch(text);
      blob_ += '\0';
      return false;
    });
  }
  starts_.push_back(static_cast<std::uint32_t>(blob_.size()));
}

bool ContactSearchTexts::holds(const ListContact& contact, std::string_view foldedQuery) {
  return anyText(contact, [&](std::string_view text) {
    return foldForSearch(text).find(foldedQuery) != std::string::npos;
  });
}

std::vector<bool> ContactSearchTexts::matching(std::string_view query) const {
  const std::string folded = foldForSearch(query);
  if (folded.empty()) return std::vector<bool>(size(), true);
  std::vector<bool> found(size(), false);
  // One pass over all the texts: each occurrence marks its contact, and the
  // search goes on at the next contact's texts.
  const char* text = blob_.data();
  std::size_t at = 0;
  while (at < blob_.size()) {
    const void* hit = memmem(text + at, blob_.size() - at, folded.data(), folded.size());
    if (!hit) break;
    const auto offset = static_cast<std::size_t>(static_cast<const char*>(hit) - text);
    const auto next = std::ranges::upper_bound(starts_, static_cast<std::uint32_t>(offset));
    found[static_cast<std::size_t>(next - starts_.begin()) - 1] = true;
    at = *next;
  }
  return found;
}

}  // namespace qm
