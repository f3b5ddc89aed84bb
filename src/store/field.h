#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "common/base64.h"
#include "common/date.h"
#include "common/enum_info.h"
#include "common/uuid.h"

namespace qm {

/// The storage type of a record field. One declaration per field drives the
/// table column, the SQL binding and reading, and (later) wire forms and exports.
enum class FieldType {
  uuid,      ///< Uuid
  text,      ///< std::string
  date,      ///< Date (microseconds, UTC)
  boolean,   ///< bool
  integer,   ///< std::int64_t
  decimal,   ///< double
  float32,   ///< float, carried as double
  textList,  ///< std::vector<std::string>
  bytes,     ///< Bytes
  enumText,  ///< an enumeration kept as its raw text
};

/// A field's value in neutral form. `std::monostate` is "absent" for optional fields.
/// Enumerations travel as their raw text, 32-bit floats as double.
using FieldValue = std::variant<std::monostate, Uuid, std::string, Date, bool, std::int64_t, double,
                                std::vector<std::string>, Bytes>;

/// What happens to the records on the owning side of a relationship when the
/// owner is deleted.
enum class DeleteRule { cascade, nullify };

/// Per-field attributes beyond the type.
struct FieldOptions {
  bool unique = false;
  /// A to-one relationship: the field holds the `id` of a record of this table.
  std::string_view references{};
  /// What deleting that record does to this one.
  DeleteRule onDelete = DeleteRule::cascade;
  /// Stored in a file beside the store rather than in the main file.
  bool external = false;
};

inline constexpr FieldOptions kUnique{.unique = true};
inline constexpr FieldOptions kExternal{.external = true};
/// The owner's delete cascades to this record (the owner's side of the
/// relationship holds it with delete rule cascade).
inline constexpr FieldOptions ownedBy(std::string_view table) {
  return FieldOptions{.references = table, .onDelete = DeleteRule::cascade};
}

/// One declared field of record type R.
template <class R>
struct Field {
  std::string_view name;
  FieldType type;
  bool optional;
  FieldOptions options;
  std::function<FieldValue(const R&)> get;
  /// Stores a value; false when it does not fit the field (wrong type, absent
  /// for a required field, unknown enumeration text).
  std::function<bool(R&, FieldValue&&)> set;
  /// For enumerations: every raw text the field accepts, in case order.
  std::vector<std::string_view> choices;

  bool isRelationship() const { return !options.references.empty(); }
};

/// Each record kind specialises this with its table name and field list.
template <class R>
struct RecordInfo;

/// Record kinds declared with a field table.
template <class R>
concept Record = requires(const R& r) {
  { RecordInfo<R>::table } -> std::convertible_to<std::string_view>;
  { RecordInfo<R>::fields() } -> std::same_as<const std::vector<Field<R>>&>;
  { r.id } -> std::convertible_to<Uuid>;
};

namespace detail {

template <class T>
struct FieldTraits;

template <>
struct FieldTraits<Uuid> {
  static constexpr FieldType type = FieldType::uuid;
  static FieldValue get(const Uuid& v) { return v; }
  static bool set(Uuid& m, FieldValue&& v) {
    if (auto* p = std::get_if<Uuid>(&v)) return m = *p, true;
    return false;
  }
};
template <>
struct FieldTraits<std::string> {
  static constexpr FieldType type = FieldType::text;
  static FieldValue get(const std::string& v) { return v; }
  static bool set(std::string& m, FieldValue&& v) {
    if (auto* p = std::get_if<std::string>(&v)) return m = std::move(*p), true;
    return false;
  }
};
template <>
struct FieldTraits<Date> {
  static constexpr FieldType type = FieldType::date;
  static FieldValue get(const Date& v) { return v; }
  static bool set(Date& m, FieldValue&& v) {
    if (auto* p = std::get_if<Date>(&v)) return m = *p, true;
    return false;
  }
};
template <>
struct FieldTraits<bool> {
  static constexpr FieldType type = FieldType::boolean;
  static FieldValue get(bool v) { return v; }
  static bool set(bool& m, FieldValue&& v) {
    if (auto* p = std::get_if<bool>(&v)) return m = *p, true;
    return false;
  }
};
template <>
struct FieldTraits<std::int64_t> {
  static constexpr FieldType type = FieldType::integer;
  static FieldValue get(std::int64_t v) { return v; }
  static bool set(std::int64_t& m, FieldValue&& v) {
    if (auto* p = std::get_if<std::int64_t>(&v)) return m = *p, true;
    return false;
  }
};
template <>
struct FieldTraits<double> {
  static constexpr FieldType type = FieldType::decimal;
  static FieldValue get(double v) { return v; }
  static bool set(double& m, FieldValue&& v) {
    if (auto* p = std::get_if<double>(&v)) return m = *p, true;
    if (auto* i = std::get_if<std::int64_t>(&v)) return m = static_cast<double>(*i), true;
    return false;
  }
};
template <>
struct FieldTraits<float> {
  static constexpr FieldType type = FieldType::float32;
  static FieldValue get(float v) { return static_cast<double>(v); }
  static bool set(float& m, FieldValue&& v) {
    double d = 0;
    if (!FieldTraits<double>::set(d, std::move(v))) return false;
    m = static_cast<float>(d);
    return true;
  }
};
template <>
struct FieldTraits<std::vector<std::string>> {
  static constexpr FieldType type = FieldType::textList;
  static FieldValue get(const std::vector<std::string>& v) { return v; }
  static bool set(std::vector<std::string>& m, FieldValue&& v) {
    if (auto* p = std::get_if<std::vector<std::string>>(&v)) return m = std::move(*p), true;
    return false;
  }
};
template <>
struct FieldTraits<Bytes> {
  static constexpr FieldType type = FieldType::bytes;
  static FieldValue get(const Bytes& v) { return v; }
  static bool set(Bytes& m, FieldValue&& v) {
    if (auto* p = std::get_if<Bytes>(&v)) return m = std::move(*p), true;
    return false;
  }
};
template <class E>
requires std::is_enum_v<E>
struct FieldTraits<E> {
  static constexpr FieldType type = FieldType::enumText;
  static FieldValue get(E v) { return std::string(rawValue(v)); }
  static bool set(E& m, FieldValue&& v) {
    auto* p = std::get_if<std::string>(&v);
    if (!p) return false;
    auto parsed = parseEnum<E>(*p);
    if (!parsed) return false;
    m = *parsed;
    return true;
  }
};

template <class T>
struct Unwrap {
  using type = T;
  static constexpr bool optional = false;
};
template <class T>
struct Unwrap<std::optional<T>> {
  using type = T;
  static constexpr bool optional = true;
};

}  // namespace detail

/// Declares a field of record R backed by the member `member`; the type,
/// optionality and conversions follow from the member's C++ type.
template <class R, class M>
Field<R> makeField(std::string_view name, M R::*member, FieldOptions options = {}) {
  using U = detail::Unwrap<M>;
  using Traits = detail::FieldTraits<typename U::type>;
  Field<R> f{name, Traits::type, U::optional, options, {}, {}, {}};
  if constexpr (std::is_enum_v<typename U::type>) {
    for (const auto& c : EnumInfo<typename U::type>::cases) f.choices.push_back(c.raw);
  }
  if constexpr (U::optional) {
    f.get = [member](const R& r) -> FieldValue {
      const auto& m = r.*member;
      return m ? Traits::get(*m) : FieldValue{};
    };
    f.set = [member](R& r, FieldValue&& v) {
      if (std::holds_alternative<std::monostate>(v)) {
        (r.*member).reset();
        return true;
      }
      typename U::type inner{};
      if (!Traits::set(inner, std::move(v))) return false;
      r.*member = std::move(inner);
      return true;
    };
  } else {
    f.get = [member](const R& r) -> FieldValue { return Traits::get(r.*member); };
    f.set = [member](R& r, FieldValue&& v) { return Traits::set(r.*member, std::move(v)); };
  }
  return f;
}

/// Looks a declared field up by name.
template <Record R>
const Field<R>* findField(std::string_view name) {
  for (const auto& f : RecordInfo<R>::fields())
    if (f.name == name) return &f;
  return nullptr;
}

}  // namespace qm

/// Helpers for declaring a record's fields once in an X-macro list of
/// `F(type, name, defaultValue, options)` entries.
#define QM_RECORD_MEMBER(Type, name, init, options) Type name = init;
#define QM_RECORD_FIELD(Type, name, init, options) ::qm::makeField(#name, &Self::name, options),
/// Defines RecordInfo<Record>::fields() from the X-macro list; use in one .cpp.
#define QM_DEFINE_RECORD_FIELDS(RecordType, LIST)                                    \
  const std::vector<::qm::Field<RecordType>>& RecordInfo<RecordType>::fields() {     \
    using Self = RecordType;                                                         \
    static const std::vector<::qm::Field<RecordType>> fields{LIST(QM_RECORD_FIELD)}; \
    return fields;                                                                   \
  }
