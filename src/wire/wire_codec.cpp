#include "wire/wire_codec.h"

namespace qm::wire {

std::string_view typeName(Element e) {
  switch (e.type()) {
    case simdjson::dom::element_type::ARRAY:
      return "an array";
    case simdjson::dom::element_type::OBJECT:
      return "an object";
    case simdjson::dom::element_type::INT64:
    case simdjson::dom::element_type::UINT64:
    case simdjson::dom::element_type::DOUBLE:
      return "a number";
    case simdjson::dom::element_type::STRING:
      return "a string";
    case simdjson::dom::element_type::BOOL:
      return "a boolean";
    case simdjson::dom::element_type::NULL_VALUE:
      return "null";
  }
  return "an unknown value";
}

bool expected(Element e, std::string_view what, DecodeError& err) {
  return err.fail("expected " + std::string(what) + ", found " + std::string(typeName(e)));
}

namespace {
// A parser keeps buffers sized for the largest document it has seen; past
// this size they are given back after use instead of staying with the thread.
constexpr std::size_t kKeptParserCapacity = 256 * 1024 * 1024;
// What `releaseLargeJSONParserMemory` leaves: room for everyday messages.
constexpr std::size_t kEverydayParserCapacity = 4 * 1024 * 1024;
}  // namespace

simdjson::dom::parser& threadParser() {
  thread_local simdjson::dom::parser parser;
  return parser;
}

void trimParser(simdjson::dom::parser& parser) {
  if (parser.capacity() > kKeptParserCapacity) {
    parser = simdjson::dom::parser{};
  }
}

}  // namespace qm::wire

void qm::releaseLargeJSONParserMemory() {
  auto& parser = wire::threadParser();
  if (parser.capacity() > wire::kEverydayParserCapacity) parser = simdjson::dom::parser{};
}

namespace qm::wire {

namespace {

bool hex4(std::string_view text, std::size_t at, unsigned& value) {
  if (at + 4 > text.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    const char c = text[i];
    value <<= 4;
    if (c >= '0' && c <= '9') {
      value |= static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      value |= static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      value |= static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
  }
  return true;
}

/// The length of the well-formed UTF-8 sequence at `at` (not ASCII), or 0.
std::size_t utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  const auto continues = [&](std::size_t i) { return (byte(i) & 0xC0u) == 0x80u; };
  const unsigned lead = byte(at);
  const unsigned second = byte(at + 1);
  if (lead >= 0xC2 && lead <= 0xDF) return continues(at + 1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const bool ok = lead == 0xE0   ? second >= 0xA0 && second <= 0xBF
                    : lead == 0xED ? second >= 0x80 && second <= 0x9F  // no surrogates
                                   : continues(at + 1);
    return ok && continues(at + 2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const bool ok = lead == 0xF0   ? second >= 0x90 && second <= 0xBF
                    : lead == 0xF4 ? second >= 0x80 && second <= 0x8F
                                   : continues(at + 1);
    return ok && continues(at + 2) && continues(at + 3) ? 4 : 0;
  }
  return 0;
}

}  // namespace

std::string markBrokenText(std::string_view json) {
  std::string out;
  out.reserve(json.size() + 16);
  bool inString = false;
  std::size_t i = 0;
  while (i < json.size()) {
    const auto c = static_cast<unsigned char>(json[i]);
    if (c >= 0x80) {
      const std::size_t length = utf8Length(json, i);
      if (length == 0) {
        out += kBrokenTextMarker;
        ++i;
      } else {
        out.append(json.substr(i, length));
        i += length;
      }
      continue;
    }
    if (!inString) {
      inString = c == '"';
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c == '"') {
      inString = false;
    } else if (c < 0x20) {
      out += kBrokenTextMarker;
      ++i;
      continue;
    } else if (c == '\\') {
      unsigned unit = 0;
      if (i + 1 < json.size() && json[i + 1] == 'u' && hex4(json, i + 2, unit) && unit >= 0xD800 &&
          unit <= 0xDFFF) {
        unsigned low = 0;
        const bool paired = unit <= 0xDBFF && i + 7 < json.size() && json[i + 6] == '\\' &&
                            json[i + 7] == 'u' && hex4(json, i + 8, low) && low >= 0xDC00 &&
                            low <= 0xDFFF;
        if (paired) {
          out.append(json.substr(i, 12));
          i += 12;
        } else {
          out += kBrokenTextMarker;
          i += 6;
        }
        continue;
      }
      // Any other escape: both characters as they are.
      out.append(json.substr(i, 2));
      i += 2;
      continue;
    }
    out += static_cast<char>(c);
    ++i;
  }
  return out;
}

}  // namespace qm::wire
