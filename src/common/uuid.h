#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

/// A 128-bit identifier. Text form is the canonical 36-character layout in
/// upper case ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"); parsing accepts either case.
class Uuid {
 public:
  using Bytes = std::array<std::uint8_t, 16>;

  /// The nil UUID (all zero).
  constexpr Uuid() = default;
  explicit constexpr Uuid(const Bytes& bytes) : bytes_(bytes) {}

  /// A random version-4 UUID from the operating system's secure random source.
  static Uuid random();
  /// Parses the canonical 8-4-4-4-12 form in either case; anything else gives nothing.
  static std::optional<Uuid> parse(std::string_view text);

  std::string str() const;
  const Bytes& bytes() const { return bytes_; }
  bool isNil() const;

  friend auto operator<=>(const Uuid&, const Uuid&) = default;

 private:
  Bytes bytes_{};
};

}  // namespace qm

template <>
struct std::hash<qm::Uuid> {
  std::size_t operator()(const qm::Uuid& u) const noexcept;
};
