#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/search_folding.h"
#include "search/search_scoring.h"

namespace qm {

/// The folded texts of many records of one kind, one record after another in
/// a single block, each text with its weight. Finding the records that contain
/// a word is one pass of `memmem` over the block instead of a call per text.
/// A text that folding changed keeps its exact form beside, in a block of its
/// own, to tell exact matches from folded ones.
class SearchTextTable {
 public:
  /// One text of a record, in both forms (`searchForms`), with its weight.
  struct Text {
    SearchForms forms;
    double weight = 0;
  };
  /// A record's texts; empty texts are left out, as the rule skips them.
  using Texts = std::vector<Text>;

  /// `texts` packed into one string: for each its weight, the sizes of its
  /// two forms, then the forms. The compact form in which the index keeps a
  /// record's texts between layouts.
  static std::string pack(const Texts& texts);

  void add(const Texts& texts);
  /// The same, a text at a time: `addText` and `addPacked` calls between
  /// `add`s belong to the record that `endRecord` closes.
  void addText(const SearchForms& forms, double weight);
  void addPacked(std::string_view packed);
  void endRecord();
  void reserve(std::size_t records, std::size_t fields, std::size_t bytes);
  std::size_t size() const { return blobStart_.size() - 1; }

  /// The score of record `record` for `tokens`, or nothing when a token is
  /// found in none of its texts.
  std::optional<double> score(std::size_t record, const std::vector<SearchToken>& tokens) const;

  /// Calls `hit(record, score)` for each record of [first, last) that matches
  /// every token, in record order. Only records whose folded texts contain
  /// `tokens[scanToken]` are scored.
  template <class Hit>
  void match(std::size_t first, std::size_t last, const std::vector<SearchToken>& tokens,
             std::size_t scanToken, Hit&& hit) const {
    std::size_t at = blobStart_[first];
    const std::size_t end = blobStart_[last];
    while (at < end) {
      const auto found = find(tokens[scanToken].folded, at, end);
      if (!found) break;
      const std::size_t record = recordAt(*found, first, last);
      if (auto s = score(record, tokens)) hit(record, *s);
      at = blobStart_[record + 1];
    }
  }

 private:
  struct FieldRef {
    std::uint32_t offset;
    std::uint32_t length;
    std::uint32_t exactOffset;
    std::uint32_t exactLength;  ///< 0: the exact form is the folded one
    double weight;
  };
  std::optional<std::size_t> find(std::string_view token, std::size_t from, std::size_t to) const;
  std::size_t recordAt(std::size_t offset, std::size_t first, std::size_t last) const;

  void addText(std::string_view folded, std::string_view exact, double weight);

  std::string blob_;
  std::string exactBlob_;
  std::vector<FieldRef> fields_;
  std::vector<std::uint32_t> fieldStart_{0};
  std::vector<std::size_t> blobStart_{0};
};

/// The texts of `fields` in both forms, with their weights; absent and empty
/// texts are left out.
SearchTextTable::Texts foldedTexts(const std::vector<SearchField>& fields);

}  // namespace qm
