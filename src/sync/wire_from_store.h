#pragma once

#include <optional>
#include <string>
#include <utility>

#include "common/enum_info.h"

namespace qm {

/// A wire field that has the type of the same-named field of stored record R.
#define QM_STORED(F, R, name) F(decltype(R::name), name)

/// Copies a stored field into its same-named wire field: the same type is
/// copied, an enumeration becomes its raw text, a plain value fills an
/// optional wire field.
template <class T>
void assignFromStore(T& wire, const T& stored) {
  wire = stored;
}
template <DescribedEnum E>
void assignFromStore(std::string& wire, E stored) {
  wire = std::string(rawValue(stored));
}
template <class T>
void assignFromStore(std::optional<T>& wire, const T& stored) {
  wire = stored;
}

#define QM_ASSIGN_FROM_STORE(Type, name) assignFromStore(wire.name, stored.name);

}  // namespace qm
