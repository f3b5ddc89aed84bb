// Takes the input as the body of a POST to /mcp: decodes it as JSON-RPC the
// way the MCP endpoint does, then lets the endpoint answer it.
//
// For every input:
// - nothing throws out of decodeRequest or decodeBatch;
// - a decoded request holds the document's "jsonrpc", "method" and "params"
//   (absent when null), and its id keeps its type and value;
// - a decoded request written out again as JSON decodes to the same request,
//   and a response carrying its id gives the client back the very id it sent;
// - a batch decodes exactly when it is an array (even an empty one) of
//   requests that each decode, into those requests in order;
// - the endpoint (over a store in a temporary folder, made once per process)
//   answers every body the listener lets through (UTF-8 text) with 200 or 204;
//   what it answers with 200 is JSON, a parse error for a body that is no
//   request, and carries the id of a single request that has one.
//
// The endpoint keeps state across inputs (clients named by handshakes, the
// access log), so a failure that needs it may not replay from one input.

#include <signal.h>
#include <spdlog/common.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/log.h"
#include "common/uuid.h"
#include "fuzz_checks.h"
#include "mcp/http_request.h"
#include "mcp/json_rpc.h"
#include "mcp/mcp_endpoint.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"
#include "store/store.h"

namespace qm::fuzz {
namespace {

namespace fs = std::filesystem;
using mcp::JSONRPCId;
using mcp::JSONRPCRequest;
using mcp::JSONValue;

/// A desktop's files in a temporary folder, and the endpoint over them.
struct Desktop {
  explicit Desktop(const fs::path& folder)
      : folder(folder),
        defaults(folder / "defaults.json"),
        settings(defaults),
        keychainBackend(folder / "keychain.json"),
        keychain(keychainBackend),
        identity(keychain),
        store(Store::open(folder / "store.sqlite").value()),
        endpoint(*store, settings, identity) {}
  ~Desktop() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  fs::path folder;
  UserDefaults defaults;
  AppSettings settings;
  FileKeychainBackend keychainBackend;
  KeychainStore keychain;
  DeviceIdentity identity;
  std::unique_ptr<Store> store;
  mcp::MCPEndpoint endpoint;
};

std::unique_ptr<Desktop>& desktop() {
  static std::unique_ptr<Desktop> instance;
  return instance;
}

constexpr std::string_view kFolderPrefix = "quillmere-fuzz-json-rpc-";

/// Removes the folders of runs that are gone (a run that fails stops at once
/// and leaves its folder); their names carry the process id.
void removeStaleFolders(const fs::path& base) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(base, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kFolderPrefix)) continue;
    const pid_t pid = std::atoi(name.c_str() + kFolderPrefix.size());
    if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), ec);
  }
}

/// A new folder in memory where there is a /dev/shm (the store writes on
/// every tool call), else in the temporary folder.
fs::path makeFolder() {
  std::error_code ec;
  fs::path base = "/dev/shm";
  if (!fs::is_directory(base, ec)) base = fs::temp_directory_path();
  removeStaleFolders(base);
  std::string name =
      (base / (std::string(kFolderPrefix) + std::to_string(getpid()) + "-XXXXXX")).string();
  if (!mkdtemp(name.data())) fail("cannot make a temporary folder", name);
  return name;
}

std::string text(const JSONValue& json) {
  return json.dump(-1, ' ', false, JSONValue::error_handler_t::replace);
}

/// The request written out as a client would send it.
JSONValue encodeRequest(const JSONRPCRequest& request) {
  JSONValue json = {{"jsonrpc", request.jsonrpc}, {"method", request.method}};
  if (request.id) json["id"] = mcp::encodeId(*request.id);
  if (request.params) json["params"] = *request.params;
  return json;
}

/// What `decode` gives; an exception escaping it stops the run.
template <class Decode>
auto guarded(std::string_view decoder, Decode decode) {
  try {
    return decode();
  } catch (const std::exception& e) {
    fail("an exception escaped " + std::string(decoder), e.what());
  }
}

Result<JSONRPCRequest> decodeRequest(const JSONValue& json) {
  return guarded("decodeRequest", [&] { return mcp::decodeRequest(json); });
}

Result<std::vector<JSONRPCRequest>> decodeBatch(const JSONValue& json) {
  return guarded("decodeBatch", [&] { return mcp::decodeBatch(json); });
}

bool same(const JSONRPCRequest& a, const JSONRPCRequest& b) {
  return a.jsonrpc == b.jsonrpc && a.id == b.id && a.method == b.method && a.params == b.params;
}

/// `id` as the document gave it: the same JSON type and value.
void checkId(const JSONValue& given, const JSONRPCId& id, std::string_view where) {
  const JSONValue encoded = mcp::encodeId(id);
  if (encoded.is_string() != given.is_string() || encoded != given) {
    fail(std::string(where) + ": the id changed its type or value",
         text(given) + " -> " + text(encoded));
  }
}

/// What a decoded request holds, compared with its document.
void checkDecoded(const JSONValue& json, const JSONRPCRequest& request) {
  if (!json.is_object())
    fail("a request was decoded from something else than an object", text(json));
  if (json.at("jsonrpc") != request.jsonrpc || json.at("method") != request.method)
    fail("a decoded request lost its jsonrpc or method", text(json));
  const auto id = json.find("id");
  const bool hasId = id != json.end() && !id->is_null();
  if (hasId != request.id.has_value()) fail("a decoded request gained or lost its id", text(json));
  if (hasId) checkId(*id, *request.id, "decoding");
  const auto params = json.find("params");
  const bool hasParams = params != json.end() && !params->is_null();
  if (hasParams != request.params.has_value() || (hasParams && *params != *request.params))
    fail("a decoded request changed its params", text(json));

  // Written out again and read back: the same request.
  const std::string written = encodeRequest(request).dump();
  const auto again = decodeRequest(JSONValue::parse(written));
  if (!again) fail("a decoded request written out does not decode", again.error().message);
  if (!same(*again, request)) fail("a decoded request changed on its way through JSON", written);

  // The client reads its id back from the response.
  if (request.id) {
    const mcp::JSONRPCResponse response{request.id, JSONValue::object(), std::nullopt};
    const JSONValue received = JSONValue::parse(mcp::encodeResponse(response).dump());
    if (received.at("jsonrpc") != "2.0") fail("a response does not say jsonrpc 2.0");
    checkId(received.at("id"), *request.id, "the response");
  }
}

void checkBatch(const JSONValue& json) {
  const auto batch = decodeBatch(json);
  bool allDecode = json.is_array();
  std::vector<JSONRPCRequest> expected;
  if (allDecode) {
    for (const JSONValue& element : json) {
      auto one = decodeRequest(element);
      if (!one) {
        allDecode = false;
        break;
      }
      expected.push_back(std::move(one).value());
    }
  }
  if (batch.ok() != allDecode) {
    fail(batch ? "a batch was decoded though not all of its elements are requests"
               : "an array of requests was refused as a batch",
         batch ? text(json) : batch.error().message);
  }
  if (!batch) return;
  if (batch->size() != expected.size()) fail("a batch decoded to another number of requests");
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (!same((*batch)[i], expected[i]))
      fail("a batch element decodes otherwise than on its own", text(json[i]));
  }
}

/// The endpoint's answer to `body` posted to /mcp by a local client.
void checkEndpoint(std::string_view body, const JSONValue& json) {
  mcp::HTTPRequest request;
  request.method = "POST";
  request.path = "/mcp";
  request.headers = {{"host", "127.0.0.1:23816"},
                     {"content-type", "application/json"},
                     {"content-length", std::to_string(body.size())}};
  request.body = std::string(body);
  auto& endpoint = desktop()->endpoint;
  if (endpoint.refuse(request)) fail("the endpoint refused a local request");
  const auto response = endpoint.respond(request, Uuid::random());
  if (!response) fail("the endpoint gave no answer to UTF-8 text");
  if (response->status == 204) {
    if (!response->body.empty()) fail("a 204 answer has a body", response->body);
    return;
  }
  if (response->status != 200) {
    fail("the endpoint answered a POST with " + std::to_string(response->status), response->body);
  }
  const auto answer = JSONValue::parse(response->body, nullptr, false);
  if (answer.is_discarded())
    fail("the endpoint answered with text that is not JSON", response->body);

  const auto single =
      json.is_discarded() ? Result<JSONRPCRequest>(Error("not JSON")) : decodeRequest(json);
  const bool isBatch = !json.is_discarded() && decodeBatch(json).ok();
  if (!single && !isBatch) {
    const JSONValue parseError = {
        {"jsonrpc", "2.0"}, {"error", {{"code", mcp::kParseError}, {"message", "Parse error"}}}};
    if (answer != parseError) fail("a body that is no request was not answered with a parse error");
    return;
  }
  if (single && single->id) {
    if (!answer.is_object() || !answer.contains("id"))
      fail("the answer to a request with an id carries none", response->body);
    checkId(answer["id"], *single->id, "the endpoint's answer");
  }
  if (isBatch && !answer.is_array()) fail("a batch was not answered with an array", response->body);
}

}  // namespace
}  // namespace qm::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // Handshakes and unknown methods are logged; millions of lines help nobody.
  qm::log::setLevel(spdlog::level::off);
  qm::fuzz::desktop() = std::make_unique<qm::fuzz::Desktop>(qm::fuzz::makeFolder());
  // The folder goes when the run ends (libFuzzer leaves by exit()).
  std::atexit([] { qm::fuzz::desktop().reset(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qm::fuzz;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const auto json = JSONValue::parse(body, nullptr, /*allow_exceptions=*/false);

  if (!json.is_discarded()) {
    if (const auto request = decodeRequest(json)) checkDecoded(json, *request);
    checkBatch(json);
  }
  // The listener lets only UTF-8 text through to the endpoint.
  if (qm::mcp::isValidUTF8(body)) checkEndpoint(body, json);
  return 0;
}
