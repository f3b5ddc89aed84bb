#pragma once

// Helpers shared by the tool catalogue, the read tools and the write tools:
// argument access, result documents and the store reads they all make.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/date.h"
#include "common/log.h"
#include "common/result.h"
#include "common/uuid.h"
#include "mcp/json_rpc.h"
#include "mcp/mcp_tool_handlers.h"
#include "store/store.h"

namespace qm::mcp::support {

/// The JSON type an argument must have.
enum class ArgumentType { text, integer, number, boolean };

/// The arguments of one call. Only a JSON object carries arguments, and an
/// argument counts only when it has the expected JSON type; anything else
/// reads as absent. Tools that write check `wronglyTyped` first, so that an
/// argument of the wrong type is refused rather than silently left out.
class Arguments {
 public:
  explicit Arguments(const JSONValue& json) : object_(json.is_object() ? &json : nullptr) {}

  /// The error text for the first of `expected` that is given (not null) with
  /// another JSON type, e.g. "rating must be an integer"; nothing when all
  /// are absent, null or of their type.
  std::optional<std::string> wronglyTyped(
      std::initializer_list<std::pair<std::string_view, ArgumentType>> expected) const;

  std::optional<std::string> string(std::string_view key) const;
  /// A JSON integer; values past the 64-bit signed range are clamped into it.
  std::optional<std::int64_t> integer(std::string_view key) const;
  std::optional<bool> boolean(std::string_view key) const;
  /// A JSON integer or number with fraction, as a 64-bit float.
  std::optional<double> number(std::string_view key) const;
  /// A string that parses as a UUID.
  std::optional<Uuid> uuid(std::string_view key) const;

 private:
  const JSONValue* find(std::string_view key) const;

  const JSONValue* object_;
};

/// The text of a result: keys sorted, compact; "null" when the value holds text
/// that is not UTF-8.
std::string encode(const JSONValue& value);

/// A successful result: an object counts 1, an array its number of elements.
ToolOutcome success(const JSONValue& value);
/// An error document {"error": message} with the error flag set. The message is
/// escaped as JSON text, so the document stays valid whatever it holds.
ToolOutcome failure(std::string_view message);

/// Unicode lower case (root locale), for the case-insensitive filters.
std::string lowercased(std::string_view text);

/// Writes `value` under `key` only when it is present.
template <class T>
void putIfPresent(JSONValue& object, const char* key, const std::optional<T>& value) {
  if (value) object[key] = *value;
}
/// Writes `date` under `key` as ISO 8601 text only when it is present.
inline void putIfPresent(JSONValue& object, const char* key, const std::optional<Date>& date) {
  if (date) object[key] = formatISO8601(*date);
}

/// The value of a store read. Tools answer only with their own fixed documents,
/// so a read that fails is logged and counts as finding nothing (`fallback`).
template <class T>
T readOr(Result<T> result, T fallback, std::string_view what) {
  if (result) return std::move(result).value();
  log::mcp().error("Could not read {}: {}", what, result.error().message);
  return fallback;
}

/// The record with `id`, or nothing when there is none (or it cannot be read).
template <Record R>
std::optional<R> findRecord(Store& store, const Uuid& id) {
  return readOr(store.find<R>(id), std::optional<R>{}, RecordInfo<R>::table);
}

}  // namespace qm::mcp::support
