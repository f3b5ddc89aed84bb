// The JSON format of most clients' files: the entry's text span is found by a
// small scanner that knows strings and comments, and only that span changes.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "mcp/client_config/entry_edit.h"
#include "mcp/client_config/entry_text.h"

namespace qm::mcp {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

/// One "key": value member of an object, by byte offsets into the text.
struct Member {
  std::string key;
  std::size_t keyStart = 0;
  std::size_t valueStart = 0;
  std::size_t valueEnd = 0;
};

/// Walks a text that nlohmann has already accepted (with comments), so it
/// only needs to find boundaries, not to judge the grammar.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : s_(text) {}

  /// The first offset at or after `i` that is neither white space nor comment.
  std::size_t skip(std::size_t i) const {
    while (i < s_.size()) {
      const char c = s_[i];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        ++i;
      } else if (c == '/' && i + 1 < s_.size() && s_[i + 1] == '/') {
        i = s_.find('\n', i);
        if (i == kNone) return s_.size();
      } else if (c == '/' && i + 1 < s_.size() && s_[i + 1] == '*') {
        i = s_.find("*/", i + 2);
        if (i == kNone) return s_.size();
        i += 2;
      } else {
        break;
      }
    }
    return i;
  }

  /// The offset just past the value that starts at `i`.
  std::size_t valueEnd(std::size_t i) const {
    if (i >= s_.size()) return i;
    if (s_[i] == '"') return stringEnd(i);
    if (s_[i] == '{' || s_[i] == '[') {
      int depth = 0;
      while (i < s_.size()) {
        i = skip(i);
        if (i >= s_.size()) break;
        const char c = s_[i];
        if (c == '"') {
          i = stringEnd(i);
          continue;
        }
        if (c == '{' || c == '[') ++depth;
        if (c == '}' || c == ']') {
          if (--depth == 0) return i + 1;
        }
        ++i;
      }
      return i;
    }
    while (i < s_.size() && std::string_view(",}] \t\r\n/").find(s_[i]) == kNone) ++i;
    return i;
  }

  /// The members of the object whose '{' is at `open`, and where its '}' is.
  std::vector<Member> members(std::size_t open, std::size_t& close) const {
    std::vector<Member> found;
    std::size_t i = skip(open + 1);
    while (i < s_.size() && s_[i] != '}') {
      Member m;
      m.keyStart = i;
      const std::size_t keyEnd = stringEnd(i);
      m.key = nlohmann::json::parse(s_.substr(i, keyEnd - i)).get<std::string>();
      i = skip(keyEnd);  // at ':'
      m.valueStart = skip(i + 1);
      m.valueEnd = valueEnd(m.valueStart);
      found.push_back(m);
      i = skip(m.valueEnd);
      if (i < s_.size() && s_[i] == ',') i = skip(i + 1);
    }
    close = i;
    return found;
  }

  /// The white space that starts the line holding offset `i`.
  std::string indentOf(std::size_t i) const {
    const std::size_t lineStart = s_.rfind('\n', i == 0 ? 0 : i - 1);
    const std::size_t from = lineStart == kNone ? 0 : lineStart + 1;
    std::size_t to = from;
    while (to < s_.size() && (s_[to] == ' ' || s_[to] == '\t')) ++to;
    return std::string(s_.substr(from, to - from));
  }

  /// Whether only white space stands between the line's start and `i`.
  bool startsLine(std::size_t i) const {
    while (i > 0 && (s_[i - 1] == ' ' || s_[i - 1] == '\t')) --i;
    return i == 0 || s_[i - 1] == '\n';
  }

 private:
  std::size_t stringEnd(std::size_t i) const {
    for (++i; i < s_.size(); ++i) {
      if (s_[i] == '\\') {
        ++i;
      } else if (s_[i] == '"') {
        return i + 1;
      }
    }
    return i;
  }

  std::string_view s_;
};

/// "line 3, column 7" for a byte offset.
std::string lineAndColumn(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const auto before = text.substr(0, offset);
  const std::size_t line = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t lineStart = before.rfind('\n');
  const std::size_t column = lineStart == kNone ? offset + 1 : offset - lineStart;
  return "line " + std::to_string(line + 1) + ", column " + std::to_string(column);
}

/// The document, or where it stops being JSON. An empty text is `{}`.
Result<OrderedJSON> parseDocument(std::string_view text) {
  if (text.find_first_not_of(" \t\r\n") == kNone) return OrderedJSON::object();
  try {
    auto doc = OrderedJSON::parse(text, nullptr, /*allow_exceptions=*/true,
                                  /*ignore_comments=*/true);
    if (!doc.is_object()) return Error(ErrorCode::invalidArgument, "the file is not a JSON object");
    return doc;
  } catch (const nlohmann::json::parse_error& e) {
    return Error(ErrorCode::invalidArgument,
                 "the file is not valid JSON at " + lineAndColumn(text, e.byte - 1));
  }
}

/// The container of `place` in `doc`: null when absent, an error when it is not an object.
Result<const OrderedJSON*> containerOf(const OrderedJSON& doc, const EntryPlace& place) {
  const auto it = doc.find(place.container);
  if (it == doc.end()) return static_cast<const OrderedJSON*>(nullptr);
  if (!it->is_object())
    return Error(ErrorCode::invalidArgument, "\"" + place.container + "\" is not a JSON object");
  return &*it;
}

/// `value` laid out with `unit` per level, its inner lines starting at `indent`.
std::string layout(const OrderedJSON& value, const std::string& indent, std::size_t unit) {
  const std::string dumped = value.dump(static_cast<int>(unit));
  std::string out;
  for (char c : dumped) {
    out += c;
    if (c == '\n') out += indent;
  }
  return out;
}

/// The indentation step the file uses: the first indented line's white space.
std::size_t indentUnit(std::string_view text) {
  std::size_t i = text.find('\n');
  while (i != kNone && i + 1 < text.size()) {
    std::size_t j = i + 1;
    while (j < text.size() && text[j] == ' ') ++j;
    if (j > i + 1 && j < text.size() && text[j] != '\n') return std::min<std::size_t>(j - i - 1, 8);
    i = text.find('\n', j);
  }
  return 2;
}

/// Adds `"key": value` as the last member of the object at `open`.
std::string insertMember(std::string text, std::size_t open, const std::string& key,
                         const OrderedJSON& value) {
  const Scanner scan(text);
  std::size_t close = 0;
  const auto members = scan.members(open, close);
  const std::size_t unit = indentUnit(text);
  const std::string quotedKey = OrderedJSON(key).dump();
  if (!members.empty()) {
    const Member& last = members.back();
    if (!scan.startsLine(members.front().keyStart)) {  // a one-line object stays one line
      text.insert(last.valueEnd, ", " + quotedKey + ": " + value.dump());
      return text;
    }
    const std::string indent = scan.indentOf(members.front().keyStart);
    text.insert(last.valueEnd, ",\n" + indent + quotedKey + ": " + layout(value, indent, unit));
    return text;
  }
  const std::string outer = scan.indentOf(open);
  const std::string indent = outer + std::string(unit, ' ');
  text.insert(open + 1, "\n" + indent + quotedKey + ": " + layout(value, indent, unit) + "\n" +
                            (scan.startsLine(close) ? "" : outer));
  return text;
}

/// Removes the member `index` of `members` with its comma and, when it had
/// lines of its own, those lines.
std::string eraseMember(std::string text, const std::vector<Member>& members, std::size_t index) {
  const Scanner scan(text);
  const Member& m = members[index];
  std::size_t from = m.keyStart;
  std::size_t to = m.valueEnd;
  if (index + 1 < members.size()) {
    to = scan.skip(m.valueEnd) + 1;  // past the comma
  } else if (index > 0) {
    from = scan.skip(members[index - 1].valueEnd);  // the comma before it
    if (from > m.keyStart) from = m.keyStart;
    return text.erase(from, to - from);
  }
  // Whole lines go when the member had them to itself.
  if (scan.startsLine(from)) {
    std::size_t end = to;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
    if (end < text.size() && text[end] == '\n') {
      while (from > 0 && (text[from - 1] == ' ' || text[from - 1] == '\t')) --from;
      to = end + 1;
    }
  }
  return text.erase(from, to - from);
}

/// Parses `edited` and checks that it is `original` with only the entry changed.
Status checkOnlyEntryChanged(const OrderedJSON& original, std::string_view edited,
                             const EntryPlace& place, const OrderedJSON* wanted) {
  auto after = parseDocument(edited);
  if (!after) return Error(ErrorCode::internal, "the edit did not give valid JSON");
  if (withoutEntry(original, place) != withoutEntry(*after, place))
    return Error(ErrorCode::internal, "the edit would have changed more than the entry");
  const auto container = after->find(place.container);
  const bool has = container != after->end() && container->contains(place.name);
  if (wanted ? !has || (*container)[place.name] != *wanted : has)
    return Error(ErrorCode::internal, "the edit did not give the entry");
  return {};
}

class JSONEntryEditor final : public EntryEditor {
 public:
  Result<std::optional<OrderedJSON>> read(std::string_view text,
                                          const EntryPlace& place) const override {
    const auto doc = QM_TRY(parseDocument(text));
    const OrderedJSON* container = QM_TRY(containerOf(doc, place));
    if (!container || !container->contains(place.name)) return std::optional<OrderedJSON>();
    return std::optional<OrderedJSON>((*container)[place.name]);
  }

  Result<std::string> set(std::string_view text, const EntryPlace& place,
                          const OrderedJSON& entry) const override {
    const auto doc = QM_TRY(parseDocument(text));
    const OrderedJSON* container = QM_TRY(containerOf(doc, place));
    std::string edited;
    if (text.find_first_not_of(" \t\r\n") == kNone) {
      edited = OrderedJSON{{place.container, {{place.name, entry}}}}.dump(2) + "\n";
    } else {
      edited = std::string(text);
      const Scanner scan(edited);
      const std::size_t root = scan.skip(0);
      std::size_t close = 0;
      const auto top = scan.members(root, close);
      const auto holder = std::find_if(top.begin(), top.end(),
                                       [&](const Member& m) { return m.key == place.container; });
      if (!container || holder == top.end()) {
        edited = insertMember(std::move(edited), root, place.container,
                              OrderedJSON{{place.name, entry}});
      } else {
        const auto inner = scan.members(holder->valueStart, close);
        const auto current = std::find_if(inner.begin(), inner.end(),
                                          [&](const Member& m) { return m.key == place.name; });
        if (current == inner.end()) {
          edited = insertMember(std::move(edited), holder->valueStart, place.name, entry);
        } else {
          const std::string indent =
              scan.startsLine(current->keyStart) ? scan.indentOf(current->keyStart) : "";
          const std::string value = scan.startsLine(current->keyStart)
                                        ? layout(entry, indent, indentUnit(edited))
                                        : entry.dump();
          edited.replace(current->valueStart, current->valueEnd - current->valueStart, value);
        }
      }
    }
    QM_TRY(checkOnlyEntryChanged(doc, edited, place, &entry));
    return edited;
  }

  Result<std::string> remove(std::string_view text, const EntryPlace& place) const override {
    const auto doc = QM_TRY(parseDocument(text));
    const OrderedJSON* container = QM_TRY(containerOf(doc, place));
    if (!container || !container->contains(place.name)) return std::string(text);
    std::string edited(text);
    const Scanner scan(edited);
    std::size_t close = 0;
    const auto top = scan.members(scan.skip(0), close);
    const auto holder = std::find_if(top.begin(), top.end(),
                                     [&](const Member& m) { return m.key == place.container; });
    const auto inner = scan.members(holder->valueStart, close);
    const auto current = std::find_if(inner.begin(), inner.end(),
                                      [&](const Member& m) { return m.key == place.name; });
    edited =
        eraseMember(std::move(edited), inner, static_cast<std::size_t>(current - inner.begin()));
    QM_TRY(checkOnlyEntryChanged(doc, edited, place, nullptr));
    return edited;
  }

  std::string snippet(const EntryPlace& place, const OrderedJSON& entry) const override {
    return OrderedJSON{{place.container, {{place.name, entry}}}}.dump(2);
  }
};

}  // namespace

const EntryEditor& jsonEntryEditor() {
  static const JSONEntryEditor editor;
  return editor;
}

}  // namespace qm::mcp
