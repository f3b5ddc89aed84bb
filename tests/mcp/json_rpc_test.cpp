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

/// The id of a request whose "id" member is written as `idText`; nothing if it fails.
std::optional<JSONRPCId> idOf(const std::string& idText) {
  auto request = decode(R"({"jsonrpc":"2.0","method":"m","id":)" + idText + "}");
  return request.ok() ? request->id : std::nullopt;
}

std::string failureOf(const Result<JSONRPCRequest>& result) {
  return result.ok() ? "(decoded)" : result.error().message;
}

TEST(JSONRPCDecodeTest, ParamsKeepBooleansIntegersAndDoublesApart) {
  auto request =
      decode(R"({"jsonrpc":"2.0","id":1,"method":"m","params":{"a":true,"b":3,"c":3.5}})");
  ASSERT_TRUE(request.ok()) << failureOf(request);
  const JSONValue& params = *request->params;
  EXPECT_TRUE(params["a"].is_boolean());
  EXPECT_TRUE(params["b"].is_number_integer());
  EXPECT_EQ(params["b"].get<std::int64_t>(), 3);
  EXPECT_TRUE(params["c"].is_number_float());
  EXPECT_DOUBLE_EQ(params["c"].get<double>(), 3.5);
}

TEST(JSONRPCDecodeTest, IdIsAStringOrA64BitInteger) {
  EXPECT_EQ(idOf(R"("abc")"), JSONRPCId{"abc"});
  EXPECT_EQ(idOf(R"("7")"), JSONRPCId{"7"});
  EXPECT_EQ(idOf("7"), JSONRPCId{7});
  EXPECT_EQ(idOf("-4"), JSONRPCId{-4});
  EXPECT_EQ(idOf("9223372036854775807"), JSONRPCId{INT64_MAX});

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

  auto bare = decode(R"({"jsonrpc":"1.0","method":"ping"})");
  ASSERT_TRUE(bare.ok()) << failureOf(bare);
  EXPECT_EQ(bare->jsonrpc, "1.0");
  EXPECT_FALSE(bare->id);
  EXPECT_FALSE(bare->params);
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
  EXPECT_FALSE(decodeBatch(JSONValue::parse("[]")).ok());
  EXPECT_FALSE(decodeBatch(JSONValue::parse(R"({"jsonrpc":"2.0","method":"a"})")).ok());
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
