#pragma once

// Reading the records a control request names: the modules that edit the
// store answer every request with the same texts for a missing or wrong id.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "common/result.h"
#include "common/uuid.h"
#include "store/store.h"

namespace qm {

/// A UUID named `key` in a request, or the error to answer with.
inline Result<Uuid> idIn(const nlohmann::json& request, const char* key, std::string_view what) {
  const auto value = request.find(key);
  if (value != request.end() && value->is_string()) {
    if (auto id = Uuid::parse(value->get_ref<const std::string&>())) return *id;
  }
  return Error(ErrorCode::invalidArgument,
               std::string(what) + " is not an identifier (a UUID): " +
                   (value == request.end() ? std::string("none") : value->dump()));
}

/// A stored record by id, or the error to answer with.
template <class R>
Result<R> existing(Store& store, const Uuid& id, std::string_view what) {
  auto found = QM_TRY(store.find<R>(id));
  if (!found) return Error(ErrorCode::notFound, "No " + std::string(what) + " with id " + id.str());
  return std::move(*found);
}

/// The stored record whose id a request names under `key`.
template <class R>
Result<R> recordIn(Store& store, const nlohmann::json& request, const char* key,
                   std::string_view what) {
  const Uuid id = QM_TRY(idIn(request, key, "The " + std::string(what) + " id"));
  return existing<R>(store, id, what);
}

}  // namespace qm
