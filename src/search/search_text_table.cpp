#include "search/search_text_table.h"

#include <string.h>

#include <algorithm>

#include "search/search_scoring.h"

namespace qm {

void SearchTextTable::add(const Texts& texts) {
  for (const auto& [text, weight] : texts) {
    if (text.empty()) continue;
    fields_.push_back({static_cast<std::uint32_t>(blob_.size()),
                       static_cast<std::uint32_t>(text.size()), weight});
    blob_ += text;
    // A separator, so that a word is not found across two texts.
    blob_ += '\0';
  }
  fieldStart_.push_back(static_cast<std::uint32_t>(fields_.size()));
  blobStart_.push_back(blob_.size());
}

std::optional<double> SearchTextTable::score(std::size_t record,
                                             const std::vector<std::string>& tokens) const {
  double total = 0;
  for (const std::string& token : tokens) {
    double best = 0;
    for (std::uint32_t f = fieldStart_[record]; f < fieldStart_[record + 1]; ++f) {
      const FieldRef& field = fields_[f];
      const std::string_view text(blob_.data() + field.offset, field.length);
      best = std::max(best, tokenScoreInFolded(text, token, field.weight));
    }
    if (best == 0) return std::nullopt;
    total += best;
  }
  return total;
}

std::optional<std::size_t> SearchTextTable::find(std::string_view token, std::size_t from,
                                                 std::size_t to) const {
  const void* hit = memmem(blob_.data() + from, to - from, token.data(), token.size());
  if (!hit) return std::nullopt;
  return static_cast<std::size_t>(static_cast<const char*>(hit) - blob_.data());
}

std::size_t SearchTextTable::recordAt(std::size_t offset, std::size_t first,
                                      std::size_t last) const {
  const auto begin = blobStart_.begin() + static_cast<std::ptrdiff_t>(first);
  const auto end = blobStart_.begin() + static_cast<std::ptrdiff_t>(last) + 1;
  return static_cast<std::size_t>(std::upper_bound(begin, end, offset) - blobStart_.begin()) - 1;
}

}  // namespace qm
