#include "search/search_text_table.h"

#include <string.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>

#include "search/search_scoring.h"

namespace qm {

void SearchTextTable::add(const Texts& texts) {
  for (const auto& [text, weight] : texts) addText(text, weight);
  endRecord();
}

void SearchTextTable::addText(std::string_view folded, double weight) {
  if (folded.empty()) return;
  fields_.push_back({static_cast<std::uint32_t>(blob_.size()),
                     static_cast<std::uint32_t>(folded.size()), weight});
  blob_ += folded;
  // A separator, so that a word is not found across two texts.
  blob_ += '\0';
}

void SearchTextTable::endRecord() {
  fieldStart_.push_back(static_cast<std::uint32_t>(fields_.size()));
  blobStart_.push_back(blob_.size());
}

void SearchTextTable::reserve(std::size_t records, std::size_t fields, std::size_t bytes) {
  blobStart_.reserve(records + 1);
  fieldStart_.reserve(records + 1);
  fields_.reserve(fields);
  blob_.reserve(bytes);
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
  const char* text = blob_.data();
  const std::size_t k = token.size();
#ifdef __SSE2__
  // Sixteen places at a time: where the token's first and last bytes both
  // match, compare the bytes between (about twice as fast as memmem on these
  // short words).
  if (k >= 2) {
    const __m128i first = _mm_set1_epi8(token.front());
    const __m128i last = _mm_set1_epi8(token.back());
    std::size_t at = from;
    for (; at + k - 1 + 16 <= to; at += 16) {
      const __m128i blockFirst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
      const __m128i blockLast =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at + k - 1));
      auto mask = static_cast<unsigned>(_mm_movemask_epi8(
          _mm_and_si128(_mm_cmpeq_epi8(first, blockFirst), _mm_cmpeq_epi8(last, blockLast))));
      while (mask != 0) {
        const auto bit = static_cast<std::size_t>(__builtin_ctz(mask));
        if (std::memcmp(text + at + bit + 1, token.data() + 1, k - 2) == 0) return at + bit;
        mask &= mask - 1;
      }
    }
    from = at;
  }
#endif
  if (from >= to) return std::nullopt;
  const void* hit = memmem(text + from, to - from, token.data(), k);
  if (!hit) return std::nullopt;
  return static_cast<std::size_t>(static_cast<const char*>(hit) - text);
}

std::size_t SearchTextTable::recordAt(std::size_t offset, std::size_t first,
                                      std::size_t last) const {
  const auto begin = blobStart_.begin() + static_cast<std::ptrdiff_t>(first);
  const auto end = blobStart_.begin() + static_cast<std::ptrdiff_t>(last) + 1;
  return static_cast<std::size_t>(std::upper_bound(begin, end, offset) - blobStart_.begin()) - 1;
}

}  // namespace qm
