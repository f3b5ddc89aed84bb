#include "wire/sync_json_writer.h"

#include <charconv>
#include <cmath>

#include "common/base64.h"

namespace qm {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Length of the valid UTF-8 sequence starting at `p` (at most `n` bytes
// available), or 0 when the bytes there are not one (overlong forms,
// surrogates and values above U+10FFFF included).
std::size_t utf8SequenceLength(const unsigned char* p, std::size_t n) {
  const unsigned char c = p[0];
  auto cont = [&](std::size_t i) { return i < n && (p[i] & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (c == 0xE0 && p[1] < 0xA0) return 0;   // overlong
    if (c == 0xED && p[1] >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (c == 0xF0 && p[1] < 0x90) return 0;   // overlong
    if (c == 0xF4 && p[1] >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace

void SyncJSONWriter::separator() {
  if (needComma_) out_.push_back(',');
  needComma_ = true;
}

void SyncJSONWriter::beginObject() {
  separator();
  out_.push_back('{');
  needComma_ = false;
}

void SyncJSONWriter::endObject() {
  out_.push_back('}');
  needComma_ = true;
}

void SyncJSONWriter::beginArray() {
  separator();
  out_.push_back('[');
  needComma_ = false;
}

void SyncJSONWriter::endArray() {
  out_.push_back(']');
  needComma_ = true;
}

void SyncJSONWriter::key(std::string_view name) {
  string(name);
  out_.push_back(':');
  needComma_ = false;
}

void SyncJSONWriter::string(std::string_view text) {
  separator();
  out_.push_back('"');
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t runStart = 0;
  auto flush = [&](std::size_t end) { out_.append(text.data() + runStart, end - runStart); };
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      const std::size_t len = utf8SequenceLength(p + i, n - i);
      if (len > 0) {
        i += len;
        continue;
      }
      flush(i);
      out_.append("\xEF\xBF\xBD");  // U+FFFD for a byte that is not UTF-8
      runStart = ++i;
      continue;
    }
    flush(i);
    switch (c) {
      case '"':
        out_.append("\\\"");
        break;
      case '\\':
        out_.append("\\\\");
        break;
      case '\n':
        out_.append("\\n");
        break;
      case '\r':
        out_.append("\\r");
        break;
      case '\t':
        out_.append("\\t");
        break;
      case '\b':
        out_.append("\\b");
        break;
      case '\f':
        out_.append("\\f");
        break;
      default: {
        const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
        out_.append(escape, sizeof escape);
      }
    }
    runStart = ++i;
  }
  flush(n);
  out_.push_back('"');
}

void SyncJSONWriter::boolean(bool value) {
  separator();
  out_.append(value ? "true" : "false");
}

void SyncJSONWriter::integer(std::int64_t value) {
  separator();
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out_.append(buffer, result.ptr);
}

void SyncJSONWriter::number(double value) {
  if (!std::isfinite(value)) {
    if (failure_.empty()) failure_ = "a number is not finite (JSON has no NaN or infinity)";
    value = 0;
  }
  separator();
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  if (text.find_first_of(".e") == std::string_view::npos) {
    // Written as an integer. Readers take "-0" for the integer 0, and digits
    // beyond the 64-bit range are refused as too big an integer: both keep
    // the double's form.
    if (value == 0 && std::signbit(value)) {
      out_.append("-0.0");
      return;
    }
    if (std::fabs(value) >= 9.2e18) {
      result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    }
  }
  out_.append(buffer, result.ptr);
}

void SyncJSONWriter::date(Date value) {
  string(formatISO8601(value));
}

void SyncJSONWriter::uuid(const Uuid& value) {
  string(value.str());
}

void SyncJSONWriter::bytes(std::span<const std::uint8_t> data) {
  separator();
  out_.push_back('"');
  out_.append(base64Encode(data));
  out_.push_back('"');
}

void SyncJSONWriter::null() {
  separator();
  out_.append("null");
}

}  // namespace qm
