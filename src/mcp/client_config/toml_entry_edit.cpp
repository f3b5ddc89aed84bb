// The TOML format (Codex): the entry is the table [container.name], edited
// line by line; toml++ says where its keys are and checks the result.
#include <toml++/toml.h>
#include <algorithm>
#include <regex>
#include <sstream>
#include <vector>

#include "mcp/client_config/entry_edit.h"
#include "mcp/client_config/entry_text.h"

namespace qm::mcp {

namespace {

bool isBlankOrComment(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  return first == std::string::npos || line[first] == '#';
}

Result<toml::table> parseTOML(std::string_view text) {
  try {
    return toml::parse(text);
  } catch (const toml::parse_error& e) {
    return Error(ErrorCode::invalidArgument,
                 "the file is not valid TOML at line " + std::to_string(e.source().begin.line) +
                     ", column " + std::to_string(e.source().begin.column) + ": " +
                     std::string(e.description()));
  }
}

OrderedJSON toJSON(const toml::node& node) {
  if (const auto* table = node.as_table()) {
    OrderedJSON object = OrderedJSON::object();
    for (const auto& [key, value] : *table) object[std::string(key.str())] = toJSON(value);
    return object;
  }
  if (const auto* array = node.as_array()) {
    OrderedJSON out = OrderedJSON::array();
    for (const auto& item : *array) out.push_back(toJSON(item));
    return out;
  }
  if (const auto* text = node.as_string()) return text->get();
  if (const auto* integer = node.as_integer()) return integer->get();
  if (const auto* real = node.as_floating_point()) return real->get();
  if (const auto* boolean = node.as_boolean()) return boolean->get();
  std::ostringstream other;  // dates and times, as TOML writes them
  node.visit([&](const auto& n) { other << n; });
  return other.str();
}

/// The last line (1-based) that any value inside `node` reaches.
std::size_t lastLine(const toml::node& node) {
  std::size_t last = node.source().end.line;
  if (const auto* table = node.as_table())
    for (const auto& [key, value] : *table) last = std::max(last, lastLine(value));
  if (const auto* array = node.as_array())
    for (const auto& item : *array) last = std::max(last, lastLine(item));
  return last;
}

std::string tomlValue(const OrderedJSON& value) {
  if (value.is_array()) {
    std::string items;
    for (const auto& item : value) items += (items.empty() ? "" : ", ") + tomlValue(item);
    return "[" + items + "]";
  }
  return value.dump();  // JSON strings, numbers and booleans read the same in TOML
}

/// A bare TOML key when it can be one, else a quoted one.
std::string tomlKey(const std::string& key) {
  const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '-';
  });
  return bare ? key : OrderedJSON(key).dump();
}

std::vector<std::string> render(const EntryPlace& place, const OrderedJSON& entry) {
  std::vector<std::string> lines{"[" + tomlKey(place.container) + "." + tomlKey(place.name) + "]"};
  for (const auto& [key, value] : entry.items())
    lines.push_back(tomlKey(key) + " = " + tomlValue(value));
  return lines;
}

/// The lines [first, end) of the entry's table and its sub-tables: from its
/// header to the next header that is not its own, without the blank and
/// comment lines that lead into that next table.
Result<std::pair<std::size_t, std::size_t>> entryLines(const std::vector<std::string>& lines,
                                                       const toml::table& entryTable,
                                                       const EntryPlace& place) {
  const std::string name = "\\s*(" + place.name + "|\"" + place.name + "\"|'" + place.name + "')";
  const std::string container =
      "\\s*(" + place.container + "|\"" + place.container + "\"|'" + place.container + "')";
  const std::regex header("^\\s*\\[" + container + "\\s*\\." + name + "\\s*\\]\\s*(#.*)?\\r?$");
  const std::regex ownSubTable("^\\s*\\[\\[?" + container + "\\s*\\." + name + "\\s*\\.");
  const std::regex anyHeader("^\\s*\\[");
  std::size_t first = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (std::regex_search(lines[i], header)) first = i;
  if (first == lines.size() || entryTable.is_inline())
    return Error(ErrorCode::failedPrecondition,
                 "the entry is not written as a table of its own ([" + place.container + "." +
                     place.name + "]), which is not edited");
  const std::size_t reach = lastLine(entryTable);  // 1-based
  std::size_t end = first + 1;
  while (end < lines.size() && (end < reach || !std::regex_search(lines[end], anyHeader) ||
                                std::regex_search(lines[end], ownSubTable)))
    ++end;
  while (end > first + 1 && end > reach && isBlankOrComment(lines[end - 1])) --end;
  return std::make_pair(first, end);
}

const toml::table* entryTableIn(const toml::table& doc, const EntryPlace& place) {
  const auto* container = doc.get_as<toml::table>(place.container);
  return container ? container->get_as<toml::table>(place.name) : nullptr;
}

Status checkOnlyEntryChanged(const toml::table& original, const std::string& edited,
                             const EntryPlace& place, const OrderedJSON* wanted) {
  auto after = parseTOML(edited);
  if (!after) return Error(ErrorCode::internal, "the edit did not give valid TOML");
  const OrderedJSON now = toJSON(*after);
  if (withoutEntry(toJSON(original), place) != withoutEntry(now, place))
    return Error(ErrorCode::internal, "the edit would have changed more than the entry");
  const bool has = now.contains(place.container) && now[place.container].is_object() &&
                   now[place.container].contains(place.name);
  if (wanted ? !has || now[place.container][place.name] != *wanted : has)
    return Error(ErrorCode::internal, "the edit did not give the entry");
  return {};
}

class TOMLEntryEditor final : public EntryEditor {
 public:
  Result<std::optional<OrderedJSON>> read(std::string_view text,
                                          const EntryPlace& place) const override {
    const toml::table doc = QM_TRY(parseTOML(text));
    const auto* entry = entryTableIn(doc, place);
    if (!entry) return std::optional<OrderedJSON>();
    return std::optional<OrderedJSON>(toJSON(*entry));
  }

  Result<std::string> set(std::string_view text, const EntryPlace& place,
                          const OrderedJSON& entry) const override {
    const toml::table doc = QM_TRY(parseTOML(text));
    auto lines = splitLines(text);
    const auto block = render(place, entry);
    if (const auto* current = entryTableIn(doc, place)) {
      const auto [first, end] = QM_TRY(entryLines(lines, *current, place));
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(first),
                  lines.begin() + static_cast<std::ptrdiff_t>(end));
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(first), block.begin(), block.end());
    } else {
      if (!lines.empty() && !isBlankOrComment(lines.back())) lines.emplace_back();
      lines.insert(lines.end(), block.begin(), block.end());
    }
    std::string edited = joinLines(lines);
    QM_TRY(checkOnlyEntryChanged(doc, edited, place, &entry));
    return edited;
  }

  Result<std::string> remove(std::string_view text, const EntryPlace& place) const override {
    const toml::table doc = QM_TRY(parseTOML(text));
    const auto* current = entryTableIn(doc, place);
    if (!current) return std::string(text);
    auto lines = splitLines(text);
    const auto [first, end] = QM_TRY(entryLines(lines, *current, place));
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(first),
                lines.begin() + static_cast<std::ptrdiff_t>(end));
    std::string edited = joinLines(lines);
    QM_TRY(checkOnlyEntryChanged(doc, edited, place, nullptr));
    return edited;
  }

  std::string snippet(const EntryPlace& place, const OrderedJSON& entry) const override {
    std::string out = joinLines(render(place, entry));
    out.pop_back();
    return out;
  }
};

}  // namespace

const EntryEditor& tomlEntryEditor() {
  static const TOMLEntryEditor editor;
  return editor;
}

}  // namespace qm::mcp
