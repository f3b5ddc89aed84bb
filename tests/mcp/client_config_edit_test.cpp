// The three configuration formats: the quillmere entry set, replaced and
// removed in realistic files, everything else left byte for byte, and the
// results read back by Python's own json, tomllib and PyYAML.
#include <gmock/gmock.h>

#include "common/atomic_file.h"
#include "mcp/client_config/entry_edit.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm::mcp {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const EntryPlace kServers{"mcpServers"};

OrderedJSON httpEntry(int port) {
  return {{"type", "http"}, {"url", "http://127.0.0.1:" + std::to_string(port) + "/mcp"}};
}

/// What Python's parser for `format` ("json", "toml", "yaml") reads in `text`,
/// as compact JSON with sorted keys.
std::string readByPython(const std::string& format, const std::string& text) {
  test::TempDir dir;
  const auto file = dir / "config";
  EXPECT_TRUE(writeFileAtomically(file, text, 0600).ok());
  const std::string load = format == "toml"   ? "import tomllib; d = tomllib.load(open(p, 'rb'))"
                           : format == "yaml" ? "import yaml; d = yaml.safe_load(open(p))"
                                              : "import json; d = json.load(open(p))";
  auto run = test::runCommand("/usr/bin/python3",
                              {"-c",
                               "import json, sys; p = sys.argv[1]; " + load +
                                   "; print(json.dumps(d, sort_keys=True, separators=(',', ':')))",
                               file.string()},
                              {});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return run.out.substr(0, run.out.find('\n'));
}

std::string sortedJSON(const OrderedJSON& value) {
  return nlohmann::json(value).dump();
}

// A user file as Claude Code keeps it: many keys, other servers, 2 spaces.
constexpr const char* kClaudeCode = R"({
  "numStartups": 12,
  "mcpServers": {
    "github": {
      "type": "http",
      "url": "https://api.example.com/mcp/"
    },
    "files": {
      "command": "npx",
      "args": ["-y", "files-server", "/home/ada"]
    }
  },
  "theme": "dark"
}
)";

TEST(JSONEntryEdit, AddsReplacesAndRemovesOnlyTheEntryInAPlainFile) {
  const EntryEditor& json = jsonEntryEditor();
  auto added = json.set(kClaudeCode, kServers, httpEntry(23816));
  ASSERT_TRUE(added.ok()) << added.error().message;
  // Everything up to the last server's end is the same bytes, and the new
  // entry follows it at the servers' indentation.
  const std::string original = kClaudeCode;
  const std::size_t cut = original.find("]\n    }") + 7;
  EXPECT_EQ(added->substr(0, cut), original.substr(0, cut));
  EXPECT_THAT(*added, HasSubstr("    },\n    \"quillmere\": {\n      \"type\": \"http\",\n"
                                "      \"url\": \"http://127.0.0.1:23816/mcp\"\n    }\n  },\n"
                                "  \"theme\": \"dark\"\n}\n"));
  auto expected = OrderedJSON::parse(original);
  expected["mcpServers"]["quillmere"] = httpEntry(23816);
  EXPECT_EQ(readByPython("json", *added), sortedJSON(expected));

  auto moved = json.set(*added, kServers, httpEntry(24000));
  ASSERT_TRUE(moved.ok()) << moved.error().message;
  EXPECT_EQ(json.read(*moved, kServers)->value(), httpEntry(24000));
  EXPECT_EQ(moved->size(), added->size()) << "only the port's digits changed";

  auto removed = json.remove(*moved, kServers);
  ASSERT_TRUE(removed.ok()) << removed.error().message;
  EXPECT_EQ(*removed, original);
  EXPECT_EQ(*json.remove(*removed, kServers), original) << "nothing left to remove";
}

TEST(JSONEntryEdit, KeepsCommentsAndUnusualLayoutOfAFileWithComments) {
  // Zed's settings: comments everywhere, tabs, the servers on one line.
  const std::string zed =
      "// Zed settings\n{\n\t\"theme\": \"One Dark\", /* the look */\n"
      "\t\"context_servers\": {\"other\": {\"url\": \"http://localhost:9000/mcp\"}},\n"
      "\t// fonts below\n\t\"buffer_font_size\": 15\n}\n";
  const EntryPlace place{"context_servers"};
  const EntryEditor& json = jsonEntryEditor();
  auto added = json.set(zed, place, {{"url", "http://127.0.0.1:23816/mcp"}});
  ASSERT_TRUE(added.ok()) << added.error().message;
  EXPECT_EQ(*added,
            "// Zed settings\n{\n\t\"theme\": \"One Dark\", /* the look */\n"
            "\t\"context_servers\": {\"other\": {\"url\": \"http://localhost:9000/mcp\"}, "
            "\"quillmere\": {\"url\":\"http://127.0.0.1:23816/mcp\"}},\n"
            "\t// fonts below\n\t\"buffer_font_size\": 15\n}\n");
  auto removed = json.remove(*added, place);
  ASSERT_TRUE(removed.ok()) << removed.error().message;
  EXPECT_EQ(*removed, zed);

  // Without the container it is added at the end of the top object, and the
  // comment before the closing brace stays.
  const std::string bare = "{\n    \"vim_mode\": true // for now\n}\n";
  auto created = json.set(bare, place, {{"url", "u"}});
  ASSERT_TRUE(created.ok()) << created.error().message;
  EXPECT_EQ(*created,
            "{\n    \"vim_mode\": true,\n    \"context_servers\": {\n        \"quillmere\": {\n"
            "            \"url\": \"u\"\n        }\n    } // for now\n}\n");
}

TEST(JSONEntryEdit, StartsEmptyFilesAndObjectsAndRefusesWhatIsNotJSON) {
  const EntryEditor& json = jsonEntryEditor();
  auto fresh = json.set("", kServers, httpEntry(1));
  ASSERT_TRUE(fresh.ok());
  EXPECT_EQ(OrderedJSON::parse(*fresh),
            (OrderedJSON{{"mcpServers", {{"quillmere", httpEntry(1)}}}}));
  auto intoEmpty = json.set("{\"mcpServers\": {}}", kServers, httpEntry(1));
  ASSERT_TRUE(intoEmpty.ok()) << intoEmpty.error().message;
  EXPECT_EQ(json.read(*intoEmpty, kServers)->value(), httpEntry(1));

  auto broken = json.set("{\n  \"mcpServers\": {\n    \"a\": 1,,\n  }\n}", kServers, httpEntry(1));
  ASSERT_FALSE(broken.ok());
  EXPECT_THAT(broken.error().message, HasSubstr("line 3, column 12"));
  EXPECT_FALSE(json.read("[1, 2]", kServers).ok());
  auto notObject = json.set(R"({"mcpServers": ["x"]})", kServers, httpEntry(1));
  ASSERT_FALSE(notObject.ok());
  EXPECT_THAT(notObject.error().message, HasSubstr("\"mcpServers\" is not a JSON object"));
}

// goose's own file: comments, other extensions, keys after the extensions.
constexpr const char* kGoose = R"(# goose configuration
GOOSE_PROVIDER: openai
extensions:
  developer:
    bundled: true
    enabled: true   # keep on
    name: developer
    timeout: 300
    type: builtin
  # a local helper
  memory:
    enabled: false
    type: builtin
    name: memory
GOOSE_MODEL: gpt-4o
)";

OrderedJSON gooseEntry(int port) {
  return {{"type", "streamable_http"},
          {"name", "quillmere"},
          {"uri", "http://127.0.0.1:" + std::to_string(port) + "/mcp"},
          {"enabled", true},
          {"timeout", 300}};
}

TEST(YAMLEntryEdit, AddsReplacesAndRemovesOnlyTheEntryKeepingComments) {
  const EntryPlace place{"extensions"};
  const EntryEditor& yaml = yamlEntryEditor();
  auto added = yaml.set(kGoose, place, gooseEntry(23816));
  ASSERT_TRUE(added.ok()) << added.error().message;
  const std::string original = kGoose;
  const std::size_t modelLine = original.find("GOOSE_MODEL");
  EXPECT_EQ(*added,
            original.substr(0, modelLine) +
                "  quillmere:\n    type: streamable_http\n    name: quillmere\n"
                "    uri: http://127.0.0.1:23816/mcp\n    enabled: true\n    timeout: 300\n" +
                original.substr(modelLine));
  const auto python = nlohmann::json::parse(readByPython("yaml", *added));
  EXPECT_EQ(python["extensions"]["quillmere"], nlohmann::json(gooseEntry(23816)))
      << "types as YAML reads them";
  EXPECT_EQ(python["extensions"]["developer"]["enabled"], true);

  auto moved = yaml.set(*added, place, gooseEntry(24000));
  ASSERT_TRUE(moved.ok()) << moved.error().message;
  EXPECT_THAT(*moved, HasSubstr("uri: http://127.0.0.1:24000/mcp\n    enabled: true\n"
                                "    timeout: 300\nGOOSE_MODEL"));
  EXPECT_THAT(*moved, Not(HasSubstr("23816")));
  auto removed = yaml.remove(*moved, place);
  ASSERT_TRUE(removed.ok()) << removed.error().message;
  EXPECT_EQ(*removed, original);
}

TEST(YAMLEntryEdit, AddsTheMappingWhenMissingAndRefusesWhatItCannotEditSafely) {
  const EntryPlace place{"extensions"};
  const EntryEditor& yaml = yamlEntryEditor();
  auto appended = yaml.set("GOOSE_PROVIDER: ollama\n# end\n", place, gooseEntry(1));
  ASSERT_TRUE(appended.ok()) << appended.error().message;
  EXPECT_THAT(*appended,
              HasSubstr("# end\nextensions:\n  quillmere:\n    type: streamable_http\n"));
  auto underNull = yaml.set("extensions:\nGOOSE_MODE: auto\n", place, gooseEntry(1));
  ASSERT_TRUE(underNull.ok()) << underNull.error().message;
  EXPECT_THAT(*underNull, HasSubstr("extensions:\n  quillmere:\n"));
  EXPECT_THAT(*underNull, HasSubstr("timeout: 300\nGOOSE_MODE: auto\n"));

  auto broken = yaml.set("extensions:\n  a: [1, 2\nb: 3\n", place, gooseEntry(1));
  ASSERT_FALSE(broken.ok());
  EXPECT_THAT(broken.error().message, HasSubstr("not valid YAML at line"));
  auto flow = yaml.set("extensions: {developer: {enabled: true}}\n", place, gooseEntry(1));
  ASSERT_FALSE(flow.ok());
  EXPECT_THAT(flow.error().message, HasSubstr("flow style"));
  EXPECT_FALSE(yaml.set("- a\n- b\n", place, gooseEntry(1)).ok()) << "not a mapping";
}

// Codex's file: comments, another server with a sub-table, a profile after.
constexpr const char* kCodex = R"(model = "o4-mini"  # default

[mcp_servers.docs]
command = "npx"
args = ["-y", "docs-server"]

[mcp_servers.docs.env]
TOKEN_FILE = "/home/ada/.docs"

# profiles
[profiles.fast]
model = "gpt-4o-mini"
)";

TEST(TOMLEntryEdit, AddsReplacesAndRemovesTheEntryTableAlone) {
  const EntryPlace place{"mcp_servers"};
  const EntryEditor& toml = tomlEntryEditor();
  auto added = toml.set(kCodex, place, {{"url", "http://127.0.0.1:23816/mcp"}});
  ASSERT_TRUE(added.ok()) << added.error().message;
  const std::string original = kCodex;
  EXPECT_EQ(*added, original + "\n[mcp_servers.quillmere]\nurl = \"http://127.0.0.1:23816/mcp\"\n");
  const auto python = nlohmann::json::parse(readByPython("toml", *added));
  EXPECT_EQ(python["mcp_servers"]["quillmere"]["url"], "http://127.0.0.1:23816/mcp");
  EXPECT_EQ(python["mcp_servers"]["docs"]["env"]["TOKEN_FILE"], "/home/ada/.docs");

  // The entry in the middle of the file, with a sub-table of its own: both
  // go, the comment that leads into the next table stays.
  const std::string middle =
      "[mcp_servers.quillmere]\nurl = \"http://127.0.0.1:1/mcp\"\n\n"
      "[mcp_servers.quillmere.env]\nA = \"1\"\n\n# next\n[mcp_servers.other]\nurl = \"x\"\n";
  auto replaced = toml.set(middle, place, {{"url", "http://127.0.0.1:2/mcp"}});
  ASSERT_TRUE(replaced.ok()) << replaced.error().message;
  EXPECT_EQ(*replaced,
            "[mcp_servers.quillmere]\nurl = \"http://127.0.0.1:2/mcp\"\n\n# next\n"
            "[mcp_servers.other]\nurl = \"x\"\n");
  auto removed = toml.remove(*added, place);
  ASSERT_TRUE(removed.ok()) << removed.error().message;
  EXPECT_EQ(*removed, original + "\n");
}

TEST(TOMLEntryEdit, RefusesInlineEntriesAndFilesThatAreNotTOML) {
  const EntryPlace place{"mcp_servers"};
  const EntryEditor& toml = tomlEntryEditor();
  auto inlined = toml.set("mcp_servers = { quillmere = { url = \"x\" } }\n", place, {{"url", "y"}});
  ASSERT_FALSE(inlined.ok());
  EXPECT_THAT(inlined.error().message, HasSubstr("not written as a table of its own"));
  // Appending a table to a container written inline would not parse: refused.
  EXPECT_FALSE(toml.set("mcp_servers = { other = { url = \"x\" } }\n", place, {{"url", "y"}}).ok());
  auto broken = toml.set("model = \"o3\"\n[mcp_servers\n", place, {{"url", "y"}});
  ASSERT_FALSE(broken.ok());
  EXPECT_THAT(broken.error().message, HasSubstr("not valid TOML at line 2"));
}

TEST(YAMLBlockFile, IsOursAloneAndReadsBack) {
  const EntryEditor& block = yamlBlockFileEditor();
  const OrderedJSON entry{
      {"name", "quillmere"}, {"type", "streamable-http"}, {"url", "http://127.0.0.1:5/mcp"}};
  auto text = block.set("", kServers, entry);
  ASSERT_TRUE(text.ok());
  const auto python = nlohmann::json::parse(readByPython("yaml", *text));
  EXPECT_EQ(python["schema"], "v1");
  EXPECT_EQ(python["mcpServers"], nlohmann::json::array({nlohmann::json(entry)}));
  EXPECT_EQ(block.read(*text, kServers)->value(), entry);
  EXPECT_EQ(*block.remove(*text, kServers), "");
}

}  // namespace
}  // namespace qm::mcp
