#pragma once

// The machinery behind encodeSyncJSON / decodeSyncJSON. Include this only in
// the .cpp files that define wire records: it brings in simdjson.

#include <simdjson.h>

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "common/base64.h"
#include "common/date.h"
#include "common/enum_info.h"
#include "common/uuid.h"
#include "wire/sync_json.h"
#include "wire/sync_json_writer.h"

namespace qm {
namespace wire {

using Element = simdjson::dom::element;

/// The most keys a wire record may declare (the contact has about eighty).
inline constexpr std::size_t kMaxWireKeys = 128;

/// What went wrong while decoding, and where: `path` is built from the inside
/// out as the failure travels up through nested records and arrays.
struct DecodeError {
  std::string problem;
  std::string path;
  /// Lenient decoding: where list elements that do not decode are described
  /// instead of failing the document (null: strict).
  std::vector<SkippedRecord>* skipped = nullptr;
  /// The text was parsed after `markBrokenText`: a string holding the marker
  /// held text that is not valid Unicode.
  bool brokenTextMarked = false;

  bool fail(std::string text) {
    problem = std::move(text);
    return false;
  }
  /// Prefixes the path with a key ("contacts.notes") or an index ("[3]").
  void within(std::string_view key) { path.insert(0, "." + std::string(key)); }
  void withinIndex(std::size_t index) { path.insert(0, "[" + std::to_string(index) + "]"); }
  /// "contacts[3].notes[0].createdAt"
  std::string where() const { return !path.empty() && path.front() == '.' ? path.substr(1) : path; }

  std::size_t skipCount() const { return skipped ? skipped->size() : 0; }
  /// Prefixes the place of the records skipped since `from` with `prefix`
  /// (".notes", "[3]"), as `within` does for a failure.
  void placeSkipsSince(std::size_t from, std::string_view prefix) {
    if (!skipped) return;
    for (std::size_t i = from; i < skipped->size(); ++i) (*skipped)[i].where.insert(0, prefix);
  }
};

/// U+FFFF, a noncharacter: what `markBrokenText` puts in place of broken text.
inline constexpr std::string_view kBrokenTextMarker = "\xEF\xBF\xBF";

/// `json` with every piece of text that is not valid Unicode (an escaped lone
/// surrogate, bytes that are not UTF-8, a raw control character in a string)
/// replaced by `kBrokenTextMarker`, so that it parses and the decoder can
/// refuse just the value that held it.
std::string markBrokenText(std::string_view json);

std::string_view typeName(Element e);
bool expected(Element e, std::string_view what, DecodeError& err);

template <class T>
struct Codec;

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <>
struct Codec<std::string> {
  static void encode(SyncJSONWriter& w, const std::string& v) { w.string(v); }
  static bool decode(Element e, std::string& out, DecodeError& err) {
    std::string_view text;
    if (e.get_string().get(text) != simdjson::SUCCESS) return expected(e, "a string", err);
    if (err.brokenTextMarked && text.find(kBrokenTextMarker) != std::string_view::npos)
      return err.fail("text that is not valid Unicode");
    out.assign(text);
    return true;
  }
};

template <>
struct Codec<bool> {
  static void encode(SyncJSONWriter& w, bool v) { w.boolean(v); }
  static bool decode(Element e, bool& out, DecodeError& err) {
    if (e.get_bool().get(out) != simdjson::SUCCESS) return expected(e, "true or false", err);
    return true;
  }
};

template <>
struct Codec<std::int64_t> {
  static void encode(SyncJSONWriter& w, std::int64_t v) { w.integer(v); }
  static bool decode(Element e, std::int64_t& out, DecodeError& err) {
    if (e.is_int64()) {
      out = e.get_int64().value_unsafe();
      return true;
    }
    if (e.is_uint64()) return err.fail("integer out of range");
    return expected(e, "an integer", err);
  }
};

template <>
struct Codec<double> {
  static void encode(SyncJSONWriter& w, double v) { w.number(v); }
  static bool decode(Element e, double& out, DecodeError& err) {
    if (e.get_double().get(out) != simdjson::SUCCESS) return expected(e, "a number", err);
    return true;
  }
};

template <>
struct Codec<Date> {
  static void encode(SyncJSONWriter& w, Date v) { w.date(v); }
  static bool decode(Element e, Date& out, DecodeError& err) {
    std::string_view text;
    if (e.get_string().get(text) != simdjson::SUCCESS) return expected(e, "a date", err);
    auto date = parseISO8601(text);
    if (!date) {
      return err.fail("\"" + std::string(text.substr(0, 64)) +
                      "\" is not an ISO 8601 date-time with whole seconds");
    }
    out = *date;
    return true;
  }
};

template <>
struct Codec<Uuid> {
  static void encode(SyncJSONWriter& w, const Uuid& v) { w.uuid(v); }
  static bool decode(Element e, Uuid& out, DecodeError& err) {
    std::string_view text;
    if (e.get_string().get(text) != simdjson::SUCCESS) return expected(e, "a UUID", err);
    auto uuid = Uuid::parse(text);
    if (!uuid) return err.fail("\"" + std::string(text.substr(0, 64)) + "\" is not a UUID");
    out = *uuid;
    return true;
  }
};

template <>
struct Codec<Bytes> {
  static void encode(SyncJSONWriter& w, const Bytes& v) { w.bytes(v); }
  static bool decode(Element e, Bytes& out, DecodeError& err) {
    std::string_view text;
    if (e.get_string().get(text) != simdjson::SUCCESS) return expected(e, "Base64 text", err);
    auto bytes = base64Decode(text, kJSONReadAhead);
    if (!bytes) return err.fail("not valid Base64");
    out = std::move(*bytes);
    return true;
  }
};

template <DescribedEnum E>
struct Codec<E> {
  static void encode(SyncJSONWriter& w, E v) { w.string(rawValue(v)); }
  static bool decode(Element e, E& out, DecodeError& err) {
    std::string_view text;
    if (e.get_string().get(text) != simdjson::SUCCESS) return expected(e, "a string", err);
    auto value = parseEnum<E>(text);
    if (!value) return err.fail("unknown value \"" + std::string(text.substr(0, 64)) + "\"");
    out = *value;
    return true;
  }
};

template <class T>
struct Codec<std::optional<T>> {
  static void encode(SyncJSONWriter& w, const std::optional<T>& v) {
    if (v) {
      Codec<T>::encode(w, *v);
    } else {
      w.null();
    }
  }
  static bool decode(Element e, std::optional<T>& out, DecodeError& err) {
    if (e.is_null()) {
      out.reset();
      return true;
    }
    T value{};
    if (!Codec<T>::decode(e, value, err)) return false;
    out = std::move(value);
    return true;
  }
};

template <class T>
struct Codec<std::vector<T>> {
  static void encode(SyncJSONWriter& w, const std::vector<T>& v) {
    w.beginArray();
    for (const auto& item : v) Codec<T>::encode(w, item);
    w.endArray();
  }
  static bool decode(Element e, std::vector<T>& out, DecodeError& err) {
    simdjson::dom::array array;
    if (e.get_array().get(array) != simdjson::SUCCESS) return expected(e, "an array", err);
    out.clear();
    out.reserve(array.size());
    std::size_t index = 0;
    for (Element item : array) {
      T value{};
      const std::size_t skipsBefore = err.skipCount();
      if (!Codec<T>::decode(item, value, err)) {
        if (!skipItem(skipsBefore, err)) {
          err.withinIndex(index);
          return false;
        }
      } else {
        out.push_back(std::move(value));
      }
      err.placeSkipsSince(skipsBefore, "[" + std::to_string(index) + "]");
      ++index;
    }
    return true;
  }

  /// When decoding leniently, a record that failed is described and left out
  /// (with it, whatever was skipped inside it).
  static bool skipItem(std::size_t skipsBefore, DecodeError& err) {
    if constexpr (WireRecordType<T>) {
      if (!err.skipped) return false;
      err.skipped->resize(skipsBefore);
      std::string problem = err.where().empty() ? err.problem : err.where() + ": " + err.problem;
      err.skipped->push_back({WireRecord<T>::name, {}, std::move(problem)});
      err.problem.clear();
      err.path.clear();
      return true;
    } else {
      return false;
    }
  }
};

/// Object members keyed by text or by UUID (written in upper case). Keys come
/// out sorted: byte order of UUIDs is the order of their upper-case text.
template <class K>
struct MapKey;
template <>
struct MapKey<std::string> {
  static std::string text(const std::string& k) { return k; }
  static std::optional<std::string> parse(std::string_view text) { return std::string(text); }
};
template <>
struct MapKey<Uuid> {
  static std::string text(const Uuid& k) { return k.str(); }
  static std::optional<Uuid> parse(std::string_view text) { return Uuid::parse(text); }
};

template <class K, class V>
struct Codec<std::map<K, V>> {
  static void encode(SyncJSONWriter& w, const std::map<K, V>& v) {
    w.beginObject();
    for (const auto& [key, value] : v) {
      w.key(MapKey<K>::text(key));
      Codec<V>::encode(w, value);
    }
    w.endObject();
  }
  static bool decode(Element e, std::map<K, V>& out, DecodeError& err) {
    simdjson::dom::object object;
    if (e.get_object().get(object) != simdjson::SUCCESS) return expected(e, "an object", err);
    out.clear();
    for (auto member : object) {
      auto key = MapKey<K>::parse(member.key);
      if (!key) {
        err.within(member.key);
        return err.fail("the key is not a UUID");
      }
      V value{};
      if (!Codec<V>::decode(member.value, value, err)) {
        err.within(member.key);
        return false;
      }
      out[std::move(*key)] = std::move(value);
    }
    return true;
  }
};

/// One key of a wire record.
template <class M>
struct WireField {
  std::string_view name;
  bool optional;
  bool (*present)(const M&);
  void (*encode)(SyncJSONWriter&, const M&);
  bool (*decode)(Element, M&, DecodeError&);
};

template <class T>
bool hasValue(const T&) {
  return true;
}
template <class T>
bool hasValue(const std::optional<T>& v) {
  return v.has_value();
}

template <class M, class T, T M::*member>
WireField<M> makeWireField(std::string_view name) {
  return WireField<M>{
      name,
      IsOptional<T>::value,
      [](const M& m) { return hasValue(m.*member); },
      [](SyncJSONWriter& w, const M& m) { Codec<T>::encode(w, m.*member); },
      [](Element e, M& m, DecodeError& err) { return Codec<T>::decode(e, m.*member, err); },
  };
}

}  // namespace wire

/// The keys of a wire record, sorted by name (the order they are written in
/// and looked up by).
template <class M>
struct WireTable {
  std::vector<wire::WireField<M>> fields;
  std::size_t requiredCount = 0;

  explicit WireTable(std::vector<wire::WireField<M>> declared) : fields(std::move(declared)) {
    // The decoder tracks required keys in a fixed bit set.
    if (fields.size() > wire::kMaxWireKeys) std::abort();
    std::sort(fields.begin(), fields.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& f : fields) requiredCount += f.optional ? 0 : 1;
  }

  const wire::WireField<M>* find(std::string_view name) const {
    std::size_t from = 0;
    return find(name, from);
  }

  /// As above for keys that usually arrive in sorted order (both ends write
  /// them so): `cursor` is where the previous key was found, and the search
  /// walks on from there, falling back to a binary search for keys out of order.
  const wire::WireField<M>* find(std::string_view name, std::size_t& cursor) const {
    std::size_t i = cursor;
    for (int steps = 0; i < fields.size() && steps < 8; ++i, ++steps) {
      const int order = fields[i].name.compare(name);
      if (order == 0) {
        cursor = i + 1;
        return &fields[i];
      }
      if (order > 0) break;  // passed it: unknown key, or out of order
    }
    auto it = std::lower_bound(fields.begin(), fields.end(), name,
                               [](const auto& f, std::string_view n) { return f.name < n; });
    if (it == fields.end() || it->name != name) return nullptr;
    cursor = static_cast<std::size_t>(it - fields.begin()) + 1;
    return &*it;
  }
};

namespace wire {

template <WireRecordType M>
struct Codec<M> {
  static void encode(SyncJSONWriter& w, const M& m) {
    w.beginObject();
    for (const auto& field : WireRecord<M>::table().fields) {
      if (!field.present(m)) continue;
      w.key(field.name);
      field.encode(w, m);
    }
    w.endObject();
  }

  static bool decode(Element e, M& m, DecodeError& err) {
    simdjson::dom::object object;
    if (e.get_object().get(object) != simdjson::SUCCESS) return expected(e, "an object", err);
    // A key given twice: the last object wins whole, not merged into the first.
    m = M{};
    const auto& table = WireRecord<M>::table();
    std::bitset<kMaxWireKeys> requiredSeen;  // by position in the sorted table
    std::size_t cursor = 0;
    for (auto member : object) {
      const WireField<M>* field = table.find(member.key, cursor);
      if (field == nullptr) continue;  // unknown keys are ignored
      const std::size_t skipsBefore = err.skipCount();
      if (!field->decode(member.value, m, err)) {
        err.within(field->name);
        return false;
      }
      if (err.skipCount() != skipsBefore)
        err.placeSkipsSince(skipsBefore, "." + std::string(field->name));
      if (!field->optional) requiredSeen.set(static_cast<std::size_t>(field - table.fields.data()));
    }
    if (requiredSeen.count() != table.requiredCount) {
      for (std::size_t i = 0; i < table.fields.size(); ++i) {
        if (!table.fields[i].optional && !requiredSeen.test(i)) {
          return err.fail("missing required key \"" + std::string(table.fields[i].name) + "\"");
        }
      }
    }
    return true;
  }
};

/// Parses `json` (copying it when it lacks read-ahead room) and decodes the
/// whole document as `M`.
template <WireRecordType M>
Result<M> decodeDocument(const char* data, std::size_t size, bool padded,
                         std::vector<SkippedRecord>* skipped = nullptr);

/// A shared parser per thread: parsing reuses its buffers.
simdjson::dom::parser& threadParser();
/// Gives back a parser's memory after an unusually large document.
void trimParser(simdjson::dom::parser& parser);

template <WireRecordType M>
Result<M> decodeDocument(const char* data, std::size_t size, bool padded,
                         std::vector<SkippedRecord>* skipped) {
  if (size == 0) {
    // An empty view may have no buffer at all; give the parser a real one.
    data = "";
    padded = false;
  }
  auto& parser = threadParser();
  Element root;
  auto status = parser.parse(data, size, !padded).get(root);
  DecodeError err;
  err.skipped = skipped;
  std::string marked;
  if (skipped && (status == simdjson::STRING_ERROR || status == simdjson::UTF8_ERROR ||
                  status == simdjson::UNESCAPED_CHARS)) {
    // Broken text somewhere: parse again with it marked, so only the record
    // that holds it is refused.
    marked = markBrokenText(std::string_view(data, size));
    status = parser.parse(marked.data(), marked.size(), true).get(root);
    err.brokenTextMarked = true;
  }
  if (status != simdjson::SUCCESS) {
    trimParser(parser);
    return Error(ErrorCode::invalidArgument, std::string(WireRecord<M>::name) +
                                                 ": not valid JSON (" +
                                                 simdjson::error_message(status) + ")");
  }
  M value{};
  const std::size_t skipsBefore = err.skipCount();
  const bool ok = Codec<M>::decode(root, value, err);
  if (skipped) {
    for (std::size_t i = skipsBefore; i < skipped->size(); ++i) {
      std::string& where = (*skipped)[i].where;
      if (!where.empty() && where.front() == '.') where.erase(0, 1);
    }
  }
  trimParser(parser);
  if (!ok) {
    std::string message(WireRecord<M>::name);
    message += ": ";
    if (!err.path.empty()) message += err.where() + ": ";
    message += err.problem;
    return Error(ErrorCode::invalidArgument, std::move(message));
  }
  return value;
}

}  // namespace wire

template <WireRecordType M>
Result<std::string> encodeSyncJSON(const M& value) {
  std::string out;
  SyncJSONWriter writer(out);
  wire::Codec<M>::encode(writer, value);
  if (!writer.ok())
    return Error(ErrorCode::invalidArgument,
                 std::string(WireRecord<M>::name) + ": " + writer.failure());
  return out;
}

template <WireRecordType M>
Result<M> decodeSyncJSON(std::string_view json, bool hasReadAhead) {
  return wire::decodeDocument<M>(json.data(), json.size(), hasReadAhead);
}

template <WireRecordType M>
Result<M> decodeSyncJSON(const Bytes& json) {
  const bool padded = json.capacity() - json.size() >= kJSONReadAhead;
  return wire::decodeDocument<M>(reinterpret_cast<const char*>(json.data()), json.size(), padded);
}

template <WireRecordType M>
Result<M> decodeSyncJSON(const Bytes& json, std::vector<SkippedRecord>& skipped) {
  const bool padded = json.capacity() - json.size() >= kJSONReadAhead;
  return wire::decodeDocument<M>(reinterpret_cast<const char*>(json.data()), json.size(), padded,
                                 &skipped);
}

}  // namespace qm

#define QM_WIRE_TABLE_ENTRY(Type, name) ::qm::wire::makeWireField<Self, Type, &Self::name>(#name),

/// Defines the field table of a wire record from its X-macro list and
/// compiles its encoder and decoder.
#define QM_DEFINE_WIRE_RECORD(M, LIST)                                                           \
  const WireTable<M>& WireRecord<M>::table() {                                                   \
    using Self [[maybe_unused]] = M;                                                             \
    static const WireTable<M> table{std::vector<wire::WireField<M>>{LIST(QM_WIRE_TABLE_ENTRY)}}; \
    return table;                                                                                \
  }                                                                                              \
  template Result<std::string> encodeSyncJSON<M>(const M&);                                      \
  template Result<M> decodeSyncJSON<M>(std::string_view, bool);                                  \
  template Result<M> decodeSyncJSON<M>(const Bytes&);                                            \
  template Result<M> decodeSyncJSON<M>(const Bytes&, std::vector<SkippedRecord>&);
