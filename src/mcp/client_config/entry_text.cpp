#include "mcp/client_config/entry_text.h"

namespace qm::mcp {

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

OrderedJSON withoutEntry(OrderedJSON doc, const EntryPlace& place) {
  if (!doc.is_object()) return OrderedJSON::object();
  const auto it = doc.find(place.container);
  if (it == doc.end()) return doc;
  if (it->is_object()) it->erase(place.name);
  if (it->is_null() || (it->is_object() && it->empty())) doc.erase(place.container);
  return doc;
}

OrderedJSON textual(const OrderedJSON& value) {
  if (value.is_object()) {
    OrderedJSON out = OrderedJSON::object();
    for (const auto& [k, v] : value.items()) out[k] = textual(v);
    return out;
  }
  if (value.is_array()) {
    OrderedJSON out = OrderedJSON::array();
    for (const auto& item : value) out.push_back(textual(item));
    return out;
  }
  if (value.is_string() || value.is_null()) return value;
  return value.dump();
}

}  // namespace qm::mcp
