#include "export/full_data_export_records.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "common/base64.h"
#include "common/date.h"
#include "common/text.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/contact_review_state.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/mcp_records.h"
#include "store/opportunity.h"
#include "store/qlm_import_record.h"
#include "store/saved_report.h"
#include "store/store.h"

namespace qm {

namespace {

using nlohmann::json;

/// ISO 8601 in UTC; the microseconds follow the seconds when there are any,
/// so that a restored date equals the stored one.
std::string formatExportDate(Date date) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(date);
  const auto micros = (date - seconds).count();
  std::string text = formatISO8601(date);
  if (micros != 0) {
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ".%06lld", static_cast<long long>(micros));
    text.insert(text.size() - 1, fraction);
  }
  return text;
}

std::optional<Date> parseExportDate(const std::string& text) {
  const auto dot = text.find('.');
  if (dot == std::string::npos) return parseISO8601(text);
  if (text.empty() || text.back() != 'Z') return std::nullopt;
  const std::string fraction = text.substr(dot + 1, text.size() - dot - 2);
  if (fraction.empty() || fraction.size() > 6 ||
      fraction.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  auto whole = parseISO8601(text.substr(0, dot) + "Z");
  if (!whole) return std::nullopt;
  std::int64_t micros = std::stoll(fraction);
  for (std::size_t i = fraction.size(); i < 6; ++i) micros *= 10;
  return *whole + std::chrono::microseconds(micros);
}

/// The stored value for `j` in a field of `type`, or nothing when it does not fit.
std::optional<FieldValue> fromJSON(const json& j, FieldType type) {
  switch (type) {
    case FieldType::uuid:
      if (j.is_string())
        if (auto id = Uuid::parse(j.get_ref<const std::string&>())) return FieldValue{*id};
      return std::nullopt;
    case FieldType::text:
    case FieldType::enumText:
      if (j.is_string()) return FieldValue{j.get<std::string>()};
      return std::nullopt;
    case FieldType::date:
      if (j.is_string())
        if (auto d = parseExportDate(j.get_ref<const std::string&>())) return FieldValue{*d};
      return std::nullopt;
    case FieldType::boolean:
      if (j.is_boolean()) return FieldValue{j.get<bool>()};
      return std::nullopt;
    case FieldType::integer:
      if (j.is_number_integer() &&
          (j.is_number_unsigned() ? j.get<std::uint64_t>() <= INT64_MAX : true))
        return FieldValue{j.get<std::int64_t>()};
      return std::nullopt;
    case FieldType::decimal:
    case FieldType::float32:
      if (j.is_number()) return FieldValue{j.get<double>()};
      return std::nullopt;
    case FieldType::textList: {
      if (!j.is_array()) return std::nullopt;
      std::vector<std::string> list;
      for (const auto& item : j) {
        if (!item.is_string()) return std::nullopt;
        list.push_back(item.get<std::string>());
      }
      return FieldValue{std::move(list)};
    }
    case FieldType::bytes:
      if (j.is_string())
        if (auto bytes = base64Decode(j.get_ref<const std::string&>())) return FieldValue{*bytes};
      return std::nullopt;
  }
  return std::nullopt;
}

std::string_view typeName(FieldType type) {
  switch (type) {
    case FieldType::uuid:
      return "a UUID";
    case FieldType::text:
      return "text";
    case FieldType::enumText:
      return "one of its listed texts";
    case FieldType::date:
      return "an ISO 8601 date";
    case FieldType::boolean:
      return "true or false";
    case FieldType::integer:
      return "an integer";
    case FieldType::decimal:
    case FieldType::float32:
      return "a number";
    case FieldType::textList:
      return "a list of texts";
    case FieldType::bytes:
      return "Base64 text";
  }
  return "a value";
}

/// Appends `text` as a JSON string. Bytes that are not valid UTF-8 become
/// U+FFFD, so the document always parses.
void appendJSONString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
          } else {
            out += static_cast<char>(c);
          }
      }
      ++i;
      continue;
    }
    std::size_t length = 0;
    if (c >= 0xC2 && c <= 0xDF)
      length = 2;
    else if (c >= 0xE0 && c <= 0xEF)
      length = 3;
    else if (c >= 0xF0 && c <= 0xF4)
      length = 4;
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k)
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (valid && length >= 3) {
      // No overlong forms, no surrogates, nothing beyond U+10FFFF.
      const auto second = static_cast<unsigned char>(text[i + 1]);
      if (c == 0xE0)
        valid = second >= 0xA0;
      else if (c == 0xED)
        valid = second < 0xA0;
      else if (c == 0xF0)
        valid = second >= 0x90;
      else if (c == 0xF4)
        valid = second < 0x90;
    }
    if (valid) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += "\uFFFD";  // the replacement character, as UTF-8
      ++i;
    }
  }
  out += '"';
}

void appendValue(std::string& out, const FieldValue& value) {
  std::visit(
      [&out](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>)
          out += "null";
        else if constexpr (std::is_same_v<T, Uuid>)
          appendJSONString(out, v.str());
        else if constexpr (std::is_same_v<T, std::string>)
          appendJSONString(out, v);
        else if constexpr (std::is_same_v<T, Date>)
          appendJSONString(out, formatExportDate(v));
        else if constexpr (std::is_same_v<T, Bytes>)
          appendJSONString(out, base64Encode(v));
        else if constexpr (std::is_same_v<T, bool>)
          out += v ? "true" : "false";
        else if constexpr (std::is_same_v<T, std::int64_t>)
          out += std::to_string(v);
        else if constexpr (std::is_same_v<T, double>)
          out += json(v).dump();
        else {
          out += '[';
          for (std::size_t k = 0; k < v.size(); ++k) {
            if (k > 0) out += ", ";
            appendJSONString(out, v[k]);
          }
          out += ']';
        }
      },
      value);
}

template <Record R>
Result<std::int64_t> writeKind(Store& store, std::string& out) {
  auto records = QM_TRY(store.fetch<R>());
  const auto& fields = RecordInfo<R>::fields();
  out += "[";
  for (std::size_t r = 0; r < records.size(); ++r) {
    out += r == 0 ? "\n    {" : ",\n    {";
    for (std::size_t f = 0; f < fields.size(); ++f) {
      out += f == 0 ? "\n      " : ",\n      ";
      appendJSONString(out, fields[f].name);
      out += ": ";
      appendValue(out, fields[f].get(records[r]));
    }
    out += "\n    }";
  }
  out += records.empty() ? "]" : "\n  ]";
  return static_cast<std::int64_t>(records.size());
}

/// What a record of kind R must be beyond its field types before it is stored.
template <Record R>
Status checkRecord(const R&, const std::string&) {
  return {};
}

/// A capture's image is a file in its event's photo folder, found by joining
/// the name to that folder: a name that is a path ("../", or an absolute one
/// that replaces the folder) would have the capture preview open any file of
/// this computer. The same check guards the names the phone sends. An empty
/// name (a capture without an image file) names no file and is kept.
Status checkRecord(const CaptureMedia& capture, const std::string& where) {
  if (capture.imageFileName.empty() || isPlainFileName(capture.imageFileName)) return {};
  return Error(
      ErrorCode::invalidArgument,
      where + " (" + capture.id.str() + "): imageFileName " +
          json(capture.imageFileName).dump(-1, ' ', false, json::error_handler_t::replace) +
          " is not a file name; a capture image must be a file in its event's photo "
          "folder. Correct or remove this record and restore again.");
}

template <Record R>
Result<R> readRecord(const json& object, std::size_t number) {
  const std::string where = std::string(RecordInfo<R>::table) + " record " + std::to_string(number);
  if (!object.is_object())
    return Error(ErrorCode::invalidArgument, where + " is not a JSON object.");
  const auto& fields = RecordInfo<R>::fields();
  // Records have up to a hundred fields: look names up in a map made once.
  static const std::unordered_map<std::string_view, std::size_t> index = [&fields] {
    std::unordered_map<std::string_view, std::size_t> byName;
    for (std::size_t i = 0; i < fields.size(); ++i) byName.emplace(fields[i].name, i);
    return byName;
  }();
  R record{};
  for (const auto& [key, value] : object.items()) {
    const auto found = index.find(key);
    const Field<R>* field = found == index.end() ? nullptr : &fields[found->second];
    if (!field)
      return Error(ErrorCode::invalidArgument, where + " has an unknown field " + key + ".");
    FieldValue stored;
    if (value.is_null()) {
      if (!field->optional)
        return Error(ErrorCode::invalidArgument, where + ": " + key + " may not be null.");
    } else {
      auto converted = fromJSON(value, field->type);
      if (!converted)
        return Error(ErrorCode::invalidArgument,
                     where + ": " + key + " must be " + std::string(typeName(field->type)) + ".");
      stored = std::move(*converted);
    }
    if (!field->set(record, std::move(stored)))
      return Error(ErrorCode::invalidArgument,
                   where + ": " + key + " must be " + std::string(typeName(field->type)) + ".");
  }
  for (const auto& field : RecordInfo<R>::fields()) {
    if (!field.optional && !object.contains(field.name))
      return Error(ErrorCode::invalidArgument, where + " has no " + std::string(field.name) + ".");
  }
  QM_TRY(checkRecord(record, where));
  return record;
}

template <Record R>
Result<PendingRecords> readKind(const json& array) {
  if (!array.is_array())
    return Error(ErrorCode::invalidArgument,
                 std::string(RecordInfo<R>::table) + " must be a list of records.");
  std::vector<R> records;
  records.reserve(array.size());
  for (std::size_t i = 0; i < array.size(); ++i)
    records.push_back(QM_TRY(readRecord<R>(array[i], i + 1)));
  return PendingRecords([records = std::move(records)](Store& store, RestoreMode mode,
                                                       RestoreKindSummary& summary) -> Status {
    for (std::size_t i = 0; i < records.size(); ++i) {
      const auto& record = records[i];
      if (mode == RestoreMode::merge) {
        if (QM_TRY(store.count<R>({Match{"id", record.id}})) > 0) {
          ++summary.kept;
          continue;
        }
      }
      if (auto inserted = store.insert(record); !inserted)
        return Error(inserted.error().code, "Could not restore " +
                                                std::string(RecordInfo<R>::table) + " record " +
                                                std::to_string(i + 1) + " (" + record.id.str() +
                                                "): " + inserted.error().message);
      ++summary.added;
    }
    return {};
  });
}

template <Record R>
RecordKindCodec codec() {
  return RecordKindCodec{RecordInfo<R>::table, &writeKind<R>, &readKind<R>,
                         [](Store& store) { return store.count<R>(); }};
}

}  // namespace

const std::vector<RecordKindCodec>& recordKindCodecs() {
  static const std::vector<RecordKindCodec> codecs{
      codec<Event>(),
      codec<Contact>(),
      codec<ContactNote>(),
      codec<CaptureMedia>(),
      codec<Opportunity>(),
      codec<SavedReport>(),
      codec<QLMImportRecord>(),
      codec<FollowUpDraft>(),
      codec<OpportunityStakeholder>(),
      codec<ContactReviewState>(),
      codec<MCPClientAuthorization>(),
      codec<MCPAccessLog>(),
  };
  return codecs;
}

}  // namespace qm
