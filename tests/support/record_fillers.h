#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/field.h"

namespace qm::test {

/// What sample values look like.
enum class SampleStyle {
  /// Valid but awkward values, for round trips: non-ASCII text with quotes,
  /// dates before 1970 with sub-second parts, integers beyond 32 bits, byte
  /// strings over 4 KiB that start with a zero byte.
  edgeCases,
  /// Values of realistic size, for benchmarks: 20 to 200 characters of
  /// trade-show words, lists of three such texts, recent dates, 1 KiB of bytes.
  tradeShow,
  /// As `tradeShow`, in the sizes of a phone's sync snapshot: texts of 10 to
  /// 100 characters, lists of two, dates in whole seconds.
  phoneSnapshot,
};

/// A repeatable source of sample values: the same seed, style and stream give
/// the same sequence (apart from `uuid()`, which is random). Every value is
/// non-default (booleans are true, texts and lists non-empty), and successive
/// values differ, so a field that is lost or swapped on the way shows.
class SampleValues {
 public:
  /// `stream` varies the sequence of one seed, e.g. per record kind.
  explicit SampleValues(std::uint64_t seed, SampleStyle style = SampleStyle::edgeCases,
                        std::string_view stream = {});

  /// `label` (e.g. the field's name) starts edge-case texts, so they say
  /// where they belong.
  std::string text(std::string_view label = {});
  Date date();
  bool flag();
  std::int64_t integer();
  double decimal();
  /// A double that a 32-bit float holds exactly.
  double float32();
  std::vector<std::string> textList();
  Bytes bytes();
  Uuid uuid();
  /// One of `choices` (not empty), chosen by the seed.
  std::string choice(const std::vector<std::string_view>& choices);

  /// A value for a field of `type`; `choices` are an enumeration's raw texts.
  FieldValue value(FieldType type, std::string_view name,
                   const std::vector<std::string_view>& choices);

 private:
  std::int64_t nextOrdinal() { return ++ordinal_; }
  std::uint64_t nextRandom();
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(nextRandom() % n); }
  std::string prose(std::size_t minLength, std::size_t maxLength);
  bool realistic() const { return style_ != SampleStyle::edgeCases; }

  std::uint64_t seed_;
  SampleStyle style_;
  std::int64_t ordinal_;
  std::uint64_t random_;
};

/// Member-by-member fillers for plain structs whose fields an X-macro lists
/// (`#define F(Type, name) fillSample(s.name, values);`). Optional members
/// are made present.
void fillSample(std::string& member, SampleValues& values);
void fillSample(Date& member, SampleValues& values);
void fillSample(bool& member, SampleValues& values);
void fillSample(std::int64_t& member, SampleValues& values);
void fillSample(double& member, SampleValues& values);
void fillSample(float& member, SampleValues& values);
void fillSample(std::vector<std::string>& member, SampleValues& values);
void fillSample(Bytes& member, SampleValues& values);
void fillSample(Uuid& member, SampleValues& values);
template <class T>
void fillSample(std::optional<T>& member, SampleValues& values) {
  member.emplace();
  fillSample(*member, values);
}

/// The owners a record's relationship fields point at: table name → id.
using RecordOwners = std::map<std::string_view, Uuid>;

namespace detail {
[[noreturn]] void cannotFill(std::string_view table, std::string_view field);
}

/// Sets every declared field of `record` except `id` and the relationship
/// fields, which keep what they hold (so the record stays where it is).
template <Record R>
void fillEveryField(R& record, SampleValues& values) {
  for (const auto& f : RecordInfo<R>::fields()) {
    if (f.name == "id" || f.isRelationship()) continue;
    if (!f.set(record, values.value(f.type, f.name, f.choices)))
      detail::cannotFill(RecordInfo<R>::table, f.name);
  }
}
template <Record R>
void fillEveryField(R& record, std::uint64_t seed = 1, SampleStyle style = SampleStyle::edgeCases) {
  SampleValues values(seed, style, RecordInfo<R>::table);
  fillEveryField(record, values);
}

/// A record with every field set: a random `id`, relationships pointing at
/// `owners` (each one the record refers to must be listed), everything else
/// from `SampleValues(seed, style)`. Different seeds give different records.
template <Record R>
R filledRecord(std::uint64_t seed, const RecordOwners& owners = {},
               SampleStyle style = SampleStyle::edgeCases) {
  R record{};
  SampleValues values(seed, style, RecordInfo<R>::table);
  for (const auto& f : RecordInfo<R>::fields()) {
    FieldValue v;
    if (f.isRelationship()) {
      auto owner = owners.find(f.options.references);
      if (owner == owners.end()) detail::cannotFill(RecordInfo<R>::table, f.name);
      v = owner->second;
    } else {
      v = values.value(f.type, f.name, f.choices);
    }
    if (!f.set(record, std::move(v))) detail::cannotFill(RecordInfo<R>::table, f.name);
  }
  return record;
}

/// Like `filledRecord`, but every optional field absent and every list empty.
template <Record R>
R sparseRecord(std::uint64_t seed, const RecordOwners& owners = {}) {
  R record = filledRecord<R>(seed, owners);
  for (const auto& f : RecordInfo<R>::fields()) {
    bool ok = true;
    if (f.optional) ok = f.set(record, FieldValue{});
    if (ok && f.type == FieldType::textList) ok = f.set(record, std::vector<std::string>{});
    if (!ok) detail::cannotFill(RecordInfo<R>::table, f.name);
  }
  return record;
}

}  // namespace qm::test
