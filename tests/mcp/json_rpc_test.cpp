#include "mcp/json_rpc.h"

#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace qm::mcp {
namespace {

Result<JSONRPCRequest> decode(const std::string& text) {
  return decodeRequest(JSONValue::parse(text));
}

std::string failureOf(const Result<JSONRPCRequest>& result) {
  return result.ok() ? "(decoded)" : result.error().message;
}

TEST(JSONRPCDecodeTest, IdIsAStringOrA64BitInteger) {
  const std::pair<const char*, JSONRPCId> valid[] = {{R"("abc")", JSONRPCId{"abc"}},
                                                     {R"("7")", JSONRPCId{"7"}},
                                                     {"7", JSONRPCId{7}},
                                                     {"-4", JSONRPCId{-4}},
                                                     {"9223372036854775807", JSONRPCId{INT64_MAX}}};
  for (const auto& [id, expected] : valid) {
    auto request = decode(std::string(R"({"jsonrpc":"2.0","method":"m","id":)") + id + "}");
    ASSERT_TRUE(request.ok()) << id << ": " << failureOf(request);
    EXPECT_EQ(request->id, expected) << id;
  }
  for (const char* id : {"true", "3.5", "3.0", "1e2", "{}", "[1]", "9223372036854775808"}) {
    auto request = decode(std::string(R"({"jsonrpc":"2.0","method":"m","id":)") + id + "}");
    EXPECT_EQ(failureOf(request), "Expected string or int") << "id " << id;
  }
}

TEST(JSONRPCDecodeTest, NullIdAndParamsCountAsAbsent) {
  auto request = decode(R"({"jsonrpc":"2.0","id":null,"method":"ping","params":null})");
  ASSERT_TRUE(request.ok()) << failureOf(request);
  EXPECT_FALSE(request->id);
  EXPECT_FALSE(request->params);
  EXPECT_EQ(request->method, "ping");
  EXPECT_TRUE(decode(R"({"jsonrpc":"1.0","method":"ping"})").ok());
}

TEST(JSONRPCDecodeTest, MissingOrMistypedJsonrpcAndMethodFail) {
  for (const char* text : {R"({"method":"m"})", R"({"jsonrpc":2,"method":"m"})",
                           R"({"jsonrpc":"2.0"})", R"({"jsonrpc":"2.0","method":null})",
                           R"({"jsonrpc":"2.0","method":["m"]})", R"("m")", "[]"}) {
    EXPECT_FALSE(decode(text).ok()) << text;
  }
}

TEST(JSONRPCDecodeTest, BatchDecodesEveryElementInOrderOrFails) {
  auto batch = decodeBatch(JSONValue::parse(
      R"([{"jsonrpc":"2.0","id":1,"method":"a"},{"jsonrpc":"2.0","method":"b"}])"));
  ASSERT_TRUE(batch.ok()) << batch.error().message;
  ASSERT_EQ(batch->size(), 2u);
  EXPECT_EQ((*batch)[0].method, "a");
  EXPECT_EQ((*batch)[1].method, "b");
  EXPECT_FALSE((*batch)[1].id);

  EXPECT_FALSE(
      decodeBatch(JSONValue::parse(R"([{"jsonrpc":"2.0","method":"a"},{"jsonrpc":"2.0"}])")).ok());
  EXPECT_TRUE(decodeBatch(JSONValue::parse("[]")).value().empty());
  EXPECT_FALSE(decodeBatch(JSONValue::parse(R"({"jsonrpc":"2.0","method":"a"})")).ok());
}

TEST(JSONRPCDecodeTest, ParamsNestedPastTheLimitAreRefusedWithoutRecursion) {
  const auto withParams = [](std::size_t depth) {
    return std::string(R"({"jsonrpc":"2.0","id":1,"method":"m","params":)") +
           std::string(depth, '[') + std::string(depth, ']') + "}";
  };
  EXPECT_TRUE(decode(withParams(kMaxParamsDepth)).ok());
  EXPECT_EQ(failureOf(decode(withParams(kMaxParamsDepth + 1))),
            "\"params\": Nested deeper than 128 levels");
  // Deep enough that copying it recursively would overflow the stack.
  const std::string deep = withParams(1'000'000);
  EXPECT_FALSE(decode(deep).ok());
  EXPECT_FALSE(decodeBatch(JSONValue::parse("[" + deep + "]")).ok());
}

TEST(JSONRPCEncodeTest, AbsentMembersAreLeftOut) {
  JSONValue success = encodeResponse({JSONRPCId{"r-1"}, JSONValue::object(), std::nullopt});
  EXPECT_EQ(success, JSONValue::parse(R"({"jsonrpc":"2.0","id":"r-1","result":{}})"));

  JSONValue failure = encodeResponse({std::nullopt, std::nullopt, makeError(kParseError)});
  EXPECT_EQ(failure, JSONValue::parse(
                         R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"Parse error"}})"));

  JSONValue nullResult = encodeResponse({JSONRPCId{5}, JSONValue(), std::nullopt});
  EXPECT_EQ(nullResult, JSONValue::parse(R"({"jsonrpc":"2.0","id":5})"));
}

}  // namespace
}  // namespace qm::mcp
