#include "search/search_text_table.h"

#include <string.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>

namespace qm {

namespace {

template <class T>
void appendRaw(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

template <class T>
T readRaw(std::string_view& in) {
  T value;
  std::memcpy(&value, in.data(), sizeof(T));
  in.remove_prefix(sizeof(T));
  return value;
}

}  // namespace

std::string SearchTextTable::pack(const Texts& texts) {
  std::string out;
  for (const Text& text : texts) {
    appendRaw(out, text.weight);
    appendRaw(out, static_cast<std::uint32_t>(text.forms.folded.size()));
    appendRaw(out, static_cast<std::uint32_t>(text.forms.exact.size()));
    out += text.forms.folded;
    out += text.forms.exact;
  }
  return out;
}

void SearchTextTable::add(const Texts& texts) {
  for (const Text& text : texts) addText(text.forms, text.weight);
  endRecord();
}

void SearchTextTable::addText(const SearchForms& forms, double weight) {
  addText(forms.folded, forms.exact, weight);
}

void SearchTextTable::addPacked(std::string_view packed) {
  while (!packed.empty()) {
    const auto weight = readRaw<double>(packed);
    const auto folded = readRaw<std::uint32_t>(packed);
    const auto exact = readRaw<std::uint32_t>(packed);
    addText(packed.substr(0, folded), packed.substr(folded, exact), weight);
    packed.remove_prefix(folded + exact);
  }
}

void SearchTextTable::addText(std::string_view folded, std::string_view exact, double weight) {
  if (folded.empty()) return;
  FieldRef field{static_cast<std::uint32_t>(blob_.size()),
                 static_cast<std::uint32_t>(folded.size()), 0, 0, weight};
  blob_ += folded;
  // A separator, so that a word is not found across two texts.
  blob_ += '\0';
  if (!exact.empty()) {
    field.exactOffset = static_cast<std::uint32_t>(exactBlob_.size());
    field.exactLength = static_cast<std::uint32_t>(exact.size());
    exactBlob_ += exact;
  }
  fields_.push_back(field);
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
                                             const std::vector<SearchToken>& tokens) const {
  double total = 0;
  for (const SearchToken& token : tokens) {
    double best = 0;
    for (std::uint32_t f = fieldStart_[record]; f < fieldStart_[record + 1]; ++f) {
      const FieldRef& field = fields_[f];
      const std::string_view text(blob_.data() + field.offset, field.length);
      std::optional<std::string_view> exact;
      if (field.exactLength > 0)
        exact.emplace(exactBlob_.data() + field.exactOffset, field.exactLength);
      best = std::max(best, tokenScore(text, exact, token, field.weight));
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

SearchTextTable::Texts foldedTexts(const std::vector<SearchField>& fields) {
  SearchTextTable::Texts texts;
  texts.reserve(fields.size());
  for (const SearchField& f : fields)
    if (f.text && !f.text->empty()) texts.push_back({searchForms(*f.text), f.weight});
  return texts;
}

}  // namespace qm
