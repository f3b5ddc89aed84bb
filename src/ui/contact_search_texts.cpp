#include "ui/contact_search_texts.h"

#include <string.h>

#include <algorithm>

#include "common/search_folding.h"

namespace qm {

ContactSearchTexts::ContactSearchTexts(std::span<const Contact> contacts) {
  starts_.reserve(contacts.size() + 1);
  blob_.reserve(contacts.size() * 64);
  const auto add = [this](std::string_view text) {
    blob_ += foldForSearch(text);
    blob_ += '\0';
  };
  for (const Contact& c : contacts) {
    starts_.push_back(static_cast<std::uint32_t>(blob_.size()));
    add(c.fullName());
    add(c.company);
    if (c.title) add(*c.title);
    if (c.email) add(*c.email);
  }
  starts_.push_back(static_cast<std::uint32_t>(blob_.size()));
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
