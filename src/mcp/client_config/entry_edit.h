#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "common/result.h"

namespace qm::mcp {

/// Where an MCP server entry sits in a client's configuration file: the
/// entry `name` inside the mapping `container` at the top of the document
/// ("mcpServers" → "quillmere"). The entry's value is given and returned as
/// JSON whatever the file's format, in the order the client documents its keys.
struct EntryPlace {
  std::string container;
  std::string name = "quillmere";
};

using OrderedJSON = nlohmann::ordered_json;

/// One configuration format (JSON with or without comments, YAML, TOML). Each
/// edits only the text of the one entry (or appends it), so every other key,
/// server, comment and blank line stays as it was; then it parses the result
/// again and refuses the edit if anything but that entry changed. A text that
/// does not parse is refused with the line and column where it fails.
class EntryEditor {
 public:
  virtual ~EntryEditor() = default;

  /// The entry now in `text` (nullopt when there is none; an empty text is an
  /// empty document).
  virtual Result<std::optional<OrderedJSON>> read(std::string_view text,
                                                  const EntryPlace& place) const = 0;
  /// `text` with the entry set to `entry`, added where it was missing.
  virtual Result<std::string> set(std::string_view text, const EntryPlace& place,
                                  const OrderedJSON& entry) const = 0;
  /// `text` without the entry (unchanged when there is none).
  virtual Result<std::string> remove(std::string_view text, const EntryPlace& place) const = 0;
  /// The entry alone, as a person would paste it into the file.
  virtual std::string snippet(const EntryPlace& place, const OrderedJSON& entry) const = 0;
};

/// JSON, with `//` and `/* */` comments allowed (and kept).
const EntryEditor& jsonEntryEditor();
/// YAML in block style, as the clients write it.
const EntryEditor& yamlEntryEditor();
/// A YAML file of its own holding the entry as the one item of the list
/// `container` (removing the entry empties the file).
const EntryEditor& yamlBlockFileEditor();
/// TOML, the entry as the table `[container.name]`.
const EntryEditor& tomlEntryEditor();

}  // namespace qm::mcp
