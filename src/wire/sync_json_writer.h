#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/date.h"
#include "common/uuid.h"

namespace qm {

/// Appends compact JSON text to a string, in the form the phone and the
/// desktop exchange: dates as whole-second UTC text, UUIDs in upper case,
/// bytes as padded Base64. The caller writes object keys in sorted order.
///
/// Strings are written as UTF-8 with the characters JSON requires escaped;
/// a byte sequence that is not valid UTF-8 is written as U+FFFD, so the output
/// is always valid JSON. A number that is not finite makes the writer fail.
class SyncJSONWriter {
 public:
  explicit SyncJSONWriter(std::string& out) : out_(out) {}

  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  /// The key of the next member, with its separator.
  void key(std::string_view name);

  void string(std::string_view text);
  void boolean(bool value);
  void integer(std::int64_t value);
  /// Shortest text that reads back as the same double.
  void number(double value);
  void date(Date value);
  void uuid(const Uuid& value);
  void bytes(std::span<const std::uint8_t> data);
  void null();

  /// False once a value could not be written (a number that is not finite).
  bool ok() const { return failure_.empty(); }
  const std::string& failure() const { return failure_; }

 private:
  void separator();

  std::string& out_;
  std::string failure_;
  bool needComma_ = false;
};

}  // namespace qm
