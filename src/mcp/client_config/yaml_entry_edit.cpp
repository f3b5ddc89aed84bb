// The YAML format (Goose): block mappings edited line by line, with yaml-cpp
// telling where each key starts and checking the result.
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
#include <vector>

#include "mcp/client_config/entry_edit.h"
#include "mcp/client_config/entry_text.h"

namespace qm::mcp {

namespace {

std::size_t indentOf(const std::string& line) {
  return std::min(line.find_first_not_of(' '), line.size());
}

bool isBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

/// The line after the block that starts with the key on line `first` at
/// `column`: the next line that is not blank and not indented deeper (a
/// comment at the key's own depth belongs to what follows). Blank lines at
/// the block's end are left outside it.
std::size_t blockEnd(const std::vector<std::string>& lines, std::size_t first, std::size_t column) {
  std::size_t end = first + 1;
  while (end < lines.size() && (isBlank(lines[end]) || indentOf(lines[end]) > column)) ++end;
  while (end > first + 1 && isBlank(lines[end - 1])) --end;
  return end;
}

/// A scalar written plainly when YAML reads it back as the same string,
/// else double-quoted (JSON's escapes are YAML's).
std::string scalar(const OrderedJSON& value) {
  if (!value.is_string()) return value.dump();
  const auto& text = value.get_ref<const std::string&>();
  static const std::vector<std::string> kReserved = {"true", "false", "yes", "no", "on",
                                                     "off",  "null",  "~",   "y",  "n"};
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const bool plain =
      !text.empty() && std::isalpha(static_cast<unsigned char>(text[0])) &&
      std::all_of(text.begin(), text.end(),
                  [](unsigned char c) { return std::isalnum(c) || std::strchr("_-./:@", c); }) &&
      text.find(": ") == std::string::npos && text.back() != ':' &&
      std::find(kReserved.begin(), kReserved.end(), lower) == kReserved.end();
  return plain ? text : value.dump();
}

/// `key:` and the value as block lines at `column`.
void render(std::vector<std::string>& out, const std::string& key, const OrderedJSON& value,
            std::size_t column) {
  const std::string pad(column, ' ');
  if (value.is_object()) {
    out.push_back(pad + scalar(key) + ":");
    for (const auto& [k, v] : value.items()) render(out, k, v, column + 2);
  } else if (value.is_array()) {
    std::string items;
    for (const auto& item : value) items += (items.empty() ? "" : ", ") + scalar(item);
    out.push_back(pad + scalar(key) + ": [" + items + "]");
  } else {
    out.push_back(pad + scalar(key) + ": " + scalar(value));
  }
}

/// YAML as JSON, every scalar as its text (so 300 and "300" compare equal,
/// which is all the comparisons here need).
OrderedJSON toJSON(const YAML::Node& node) {
  switch (node.Type()) {
    case YAML::NodeType::Map: {
      OrderedJSON object = OrderedJSON::object();
      for (const auto& kv : node) object[kv.first.Scalar()] = toJSON(kv.second);
      return object;
    }
    case YAML::NodeType::Sequence: {
      OrderedJSON array = OrderedJSON::array();
      for (const auto& item : node) array.push_back(toJSON(item));
      return array;
    }
    case YAML::NodeType::Scalar:
      return node.Scalar();
    default:
      return nullptr;
  }
}

Result<YAML::Node> parseYAML(std::string_view text) {
  try {
    YAML::Node root = YAML::Load(std::string(text));
    if (root.IsDefined() && !root.IsNull() && !root.IsMap())
      return Error(ErrorCode::invalidArgument, "the file is not a YAML mapping");
    return root;
  } catch (const YAML::Exception& e) {
    return Error(ErrorCode::invalidArgument, "the file is not valid YAML at line " +
                                                 std::to_string(e.mark.line + 1) + ", column " +
                                                 std::to_string(e.mark.column + 1) + ": " + e.msg);
  }
}

/// Where the container and the entry are in a parsed document.
struct Found {
  std::optional<YAML::Mark> containerKey;
  YAML::Node container;
  std::optional<YAML::Mark> entryKey;
  std::optional<YAML::Mark> firstChildKey;
};

Result<Found> locate(const YAML::Node& root, const EntryPlace& place) {
  Found found;
  if (!root.IsMap()) return found;
  for (const auto& kv : root) {
    if (kv.first.Scalar() != place.container) continue;
    found.containerKey = kv.first.Mark();
    found.container = kv.second;
  }
  if (!found.containerKey || found.container.IsNull()) return found;
  if (!found.container.IsMap())
    return Error(ErrorCode::invalidArgument, "\"" + place.container + "\" is not a mapping");
  if (found.container.Style() == YAML::EmitterStyle::Flow && found.container.size() > 0)
    return Error(ErrorCode::failedPrecondition,
                 "\"" + place.container + "\" is written in flow style ({…}), which is not edited");
  for (const auto& kv : found.container) {
    if (!found.firstChildKey) found.firstChildKey = kv.first.Mark();
    if (kv.first.Scalar() == place.name) found.entryKey = kv.first.Mark();
  }
  return found;
}

Status checkOnlyEntryChanged(const YAML::Node& original, const std::string& edited,
                             const EntryPlace& place, const OrderedJSON* wanted) {
  auto after = parseYAML(edited);
  if (!after) return Error(ErrorCode::internal, "the edit did not give valid YAML");
  const OrderedJSON before = toJSON(original);
  const OrderedJSON now = toJSON(*after);
  if (withoutEntry(before, place) != withoutEntry(now, place))
    return Error(ErrorCode::internal, "the edit would have changed more than the entry");
  const bool has = now.is_object() && now.contains(place.container) &&
                   now[place.container].is_object() && now[place.container].contains(place.name);
  if (wanted ? !has || now[place.container][place.name] != textual(*wanted) : has)
    return Error(ErrorCode::internal, "the edit did not give the entry");
  return {};
}

class YAMLEntryEditor final : public EntryEditor {
 public:
  Result<std::optional<OrderedJSON>> read(std::string_view text,
                                          const EntryPlace& place) const override {
    const YAML::Node root = QM_TRY(parseYAML(text));
    if (!root.IsMap()) return std::optional<OrderedJSON>();
    const YAML::Node container = root[place.container];
    if (!container || !container.IsMap() || !container[place.name])
      return std::optional<OrderedJSON>();
    return std::optional<OrderedJSON>(toJSON(container[place.name]));
  }

  Result<std::string> set(std::string_view text, const EntryPlace& place,
                          const OrderedJSON& entry) const override {
    const YAML::Node root = QM_TRY(parseYAML(text));
    const Found found = QM_TRY(locate(root, place));
    auto lines = splitLines(text);
    std::vector<std::string> block;
    if (!found.containerKey) {
      const std::size_t column = root.IsMap() && root.begin() != root.end()
                                     ? static_cast<std::size_t>(root.begin()->first.Mark().column)
                                     : 0;
      render(block, place.container, OrderedJSON{{place.name, entry}}, column);
      lines.insert(lines.end(), block.begin(), block.end());
    } else if (found.container.IsNull() || found.container.size() == 0) {
      // "extensions:" with nothing under it, or an explicit null or {} on its line.
      const auto line = static_cast<std::size_t>(found.containerKey->line);
      const auto column = static_cast<std::size_t>(found.containerKey->column);
      const std::size_t colon = lines[line].find(':', column + place.container.size());
      lines[line] = lines[line].substr(0, colon + 1);
      render(block, place.name, entry, column + 2);
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(line + 1), block.begin(),
                   block.end());
    } else if (found.entryKey) {
      const auto line = static_cast<std::size_t>(found.entryKey->line);
      const auto column = static_cast<std::size_t>(found.entryKey->column);
      const std::size_t end = blockEnd(lines, line, column);
      render(block, place.name, entry, column);
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(line),
                  lines.begin() + static_cast<std::ptrdiff_t>(end));
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(line), block.begin(), block.end());
    } else {
      const auto line = static_cast<std::size_t>(found.containerKey->line);
      const std::size_t end =
          blockEnd(lines, line, static_cast<std::size_t>(found.containerKey->column));
      render(block, place.name, entry, static_cast<std::size_t>(found.firstChildKey->column));
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), block.begin(), block.end());
    }
    std::string edited = joinLines(lines);
    QM_TRY(checkOnlyEntryChanged(root, edited, place, &entry));
    return edited;
  }

  Result<std::string> remove(std::string_view text, const EntryPlace& place) const override {
    const YAML::Node root = QM_TRY(parseYAML(text));
    const Found found = QM_TRY(locate(root, place));
    if (!found.entryKey) return std::string(text);
    auto lines = splitLines(text);
    const auto line = static_cast<std::size_t>(found.entryKey->line);
    const std::size_t end = blockEnd(lines, line, static_cast<std::size_t>(found.entryKey->column));
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(line),
                lines.begin() + static_cast<std::ptrdiff_t>(end));
    std::string edited = joinLines(lines);
    QM_TRY(checkOnlyEntryChanged(root, edited, place, nullptr));
    return edited;
  }

  std::string snippet(const EntryPlace& place, const OrderedJSON& entry) const override {
    std::vector<std::string> block;
    render(block, place.container, OrderedJSON{{place.name, entry}}, 0);
    std::string out = joinLines(block);
    out.pop_back();
    return out;
  }
};

}  // namespace

const EntryEditor& yamlEntryEditor() {
  static const YAMLEntryEditor editor;
  return editor;
}

}  // namespace qm::mcp

namespace qm::mcp {

namespace {

/// A file that holds nothing but our server, as a one-item list under the
/// container: Continue's block files (name, version, schema, mcpServers).
class YAMLBlockFileEditor final : public EntryEditor {
 public:
  Result<std::optional<OrderedJSON>> read(std::string_view text,
                                          const EntryPlace& place) const override {
    const YAML::Node root = QM_TRY(parseYAML(text));
    if (!root.IsMap() || !root[place.container] || !root[place.container].IsSequence())
      return std::optional<OrderedJSON>();
    for (const auto& item : root[place.container])
      if (item.IsMap() && item["name"] && item["name"].Scalar() == place.name)
        return std::optional<OrderedJSON>(toJSON(item));
    return std::optional<OrderedJSON>();
  }

  Result<std::string> set(std::string_view text, const EntryPlace& place,
                          const OrderedJSON& entry) const override {
    QM_TRY(parseYAML(text));  // an unreadable file is left for the person to look at
    return snippet(place, entry) + "\n";
  }

  Result<std::string> remove(std::string_view text, const EntryPlace&) const override {
    QM_TRY(parseYAML(text));
    return std::string();  // the file is ours alone: it goes
  }

  std::string snippet(const EntryPlace& place, const OrderedJSON& entry) const override {
    std::vector<std::string> lines{"name: Quillmere", "version: 1.0.0", "schema: v1",
                                   place.container + ":"};
    for (const auto& [key, value] : entry.items()) render(lines, key, value, 4);
    lines[4].replace(2, 1, "-");  // "  - name: quillmere", the list's one item
    std::string out = joinLines(lines);
    out.pop_back();
    return out;
  }
};

}  // namespace

const EntryEditor& yamlBlockFileEditor() {
  static const YAMLBlockFileEditor editor;
  return editor;
}

}  // namespace qm::mcp
