#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <optional>
#include <string_view>

namespace qm {

/// One case of an enumeration that is stored and shown as text: the value, the
/// raw text written to files and the wire, and the label shown to people.
template <class E>
struct EnumCase {
  E value;
  std::string_view raw;
  std::string_view label;
};

/// Describes an enumeration's cases. Define `EnumInfo<E>` next to the enumeration with
///   `static constexpr std::array<EnumCase<E>, N> cases = {{...}};`
/// listing every case once, in the order menus and listings present them.
template <class E>
struct EnumInfo;

/// An enumeration whose cases are described by `EnumInfo`.
template <class E>
concept DescribedEnum = requires {
  { EnumInfo<E>::cases.size() } -> std::convertible_to<std::size_t>;
  { EnumInfo<E>::cases[0].value } -> std::convertible_to<E>;
};

/// The raw text of `value`; empty only for a value outside the listed cases.
template <DescribedEnum E>
constexpr std::string_view rawValue(E value) {
  for (const auto& c : EnumInfo<E>::cases) {
    if (c.value == value) return c.raw;
  }
  return {};
}

/// The label shown to people for `value`; empty only for a value outside the listed cases.
template <DescribedEnum E>
constexpr std::string_view displayLabel(E value) {
  for (const auto& c : EnumInfo<E>::cases) {
    if (c.value == value) return c.label;
  }
  return {};
}

/// The case whose raw text equals `text` exactly (case-sensitive, no trimming).
template <DescribedEnum E>
constexpr std::optional<E> parseEnum(std::string_view text) {
  for (const auto& c : EnumInfo<E>::cases) {
    if (c.raw == text) return c.value;
  }
  return std::nullopt;
}

/// Every case, in the listed order.
template <DescribedEnum E>
constexpr auto allCases() {
  std::array<E, EnumInfo<E>::cases.size()> values{};
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = EnumInfo<E>::cases[i].value;
  return values;
}

}  // namespace qm
