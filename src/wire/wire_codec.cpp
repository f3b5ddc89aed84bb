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
