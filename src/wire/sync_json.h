#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/base64.h"
#include "common/result.h"

namespace qm {

/// The field table of a record that travels between the phone and the desktop
/// (defined where the record's codec is compiled).
template <class M>
struct WireTable;

/// Specialised for every wire record with `QM_DECLARE_WIRE_RECORD`.
template <class M>
struct WireRecord;

template <class M>
concept WireRecordType = requires {
  { WireRecord<M>::name } -> std::convertible_to<std::string_view>;
  WireRecord<M>::table();
};

/// Declares `M` a wire record; its field table is defined in one .cpp file
/// with `QM_DEFINE_WIRE_RECORD`.
#define QM_DECLARE_WIRE_RECORD(M, wireName)            \
  template <>                                          \
  struct WireRecord<M> {                               \
    static constexpr std::string_view name = wireName; \
    static const WireTable<M>& table();                \
  };

/// Declares a wire record's member from its X-macro list entry `F(Type, name)`.
#define QM_WIRE_MEMBER(Type, name) Type name{};

/// Bytes a JSON parser may read past the end of its input; buffers that keep
/// this much spare capacity are parsed without a copy.
inline constexpr std::size_t kJSONReadAhead = 64;

/// Gives back what this thread's JSON parser keeps after a large document.
/// Decoding keeps the parser sized for the largest document so far (a
/// message's payload reuses what its envelope needed); a caller about to work
/// long on a large decoded message calls this so the memory does not sit idle
/// meanwhile.
void releaseLargeJSONParserMemory();

/// The sync JSON text of `value`: keys sorted, absent optionals left out,
/// dates as whole-second UTC text, UUIDs in upper case, bytes as Base64. Fails
/// only for a number that JSON cannot carry (NaN, infinity).
template <WireRecordType M>
Result<std::string> encodeSyncJSON(const M& value);

/// Strict decoding of sync JSON text into `M`: every required key present with
/// the right type, optional keys missing or null, unknown keys ignored, dates
/// without fractional seconds, UUIDs in either case. The error names the record
/// and the key at fault. With `hasReadAhead` the caller promises that
/// `kJSONReadAhead` readable bytes follow the text, which then is not copied.
template <WireRecordType M>
Result<M> decodeSyncJSON(std::string_view json, bool hasReadAhead = false);

/// As above for bytes that may keep `kJSONReadAhead` spare capacity.
template <WireRecordType M>
Result<M> decodeSyncJSON(const Bytes& json);

/// A record that lenient decoding left out of its list.
struct SkippedRecord {
  /// The wire record's name ("ContactSyncModel").
  std::string_view record;
  /// Its place in the document ("contacts[3]", "contacts[0].notes[1]").
  std::string where;
  /// What is wrong inside it ("metAt: \"soon\" is not an ISO 8601 date-time").
  std::string problem;
};

/// Lenient decoding, for messages that carry many records at once: as strict
/// decoding, except that an element of a list of records that does not decode
/// is left out and described in `skipped`, and text that is not valid Unicode
/// (a lone surrogate, bytes that are not UTF-8, a raw control character) fails
/// only the value that holds it rather than the whole document.
template <WireRecordType M>
Result<M> decodeSyncJSON(const Bytes& json, std::vector<SkippedRecord>& skipped);

}  // namespace qm
