// Parsing of MCP requests, the response bytes, and the checks the listener
// applies to what it receives.
#include <gmock/gmock.h>

#include <limits>
#include <string>
#include <tuple>

#include "mcp/http_request.h"

namespace qm::mcp {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

TEST(HTTPRequestParse, ReadsRequestLineHeadersAndBody) {
  const auto request = parseHTTPRequest(
      "POST /mcp?session=1&x=2 HTTP/1.1\r\n"
      "Host: localhost:23816\r\n"
      "  X-Trace-ID \t:  \tabc def \t\r\n"
      "no colon on this line\r\n"
      "CONTENT-type: text/plain\r\n"
      "content-type: application/json\r\n"
      "\r\n"
      "{\"a\":1}");
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, "/mcp");
  // Names are lower-cased and trimmed, values trimmed (inner colons kept),
  // the later of two equal names wins.
  EXPECT_THAT(request.headers,
              ElementsAre(Pair("content-type", "application/json"), Pair("host", "localhost:23816"),
                          Pair("x-trace-id", "abc def")));
  EXPECT_EQ(request.header("host"), "localhost:23816");
  EXPECT_EQ(request.header("origin"), std::nullopt);
  EXPECT_EQ(request.body, "{\"a\":1}");
}

TEST(HTTPRequestParse, BodyIsEverythingAfterTheFirstBlankLine) {
  EXPECT_EQ(parseHTTPRequest("POST /mcp HTTP/1.1\r\n\r\na\r\n\r\nb\r\n\r\n").body,
            "a\r\n\r\nb\r\n\r\n");
  EXPECT_EQ(parseHTTPRequest("POST /mcp HTTP/1.1\r\nA: b\r\n\r\n").body, "");
  EXPECT_EQ(parseHTTPRequest("POST /mcp HTTP/1.1\r\nA: b\r\n").body, std::nullopt);
  // Bare line feeds do not end the head.
  EXPECT_EQ(parseHTTPRequest("POST /mcp HTTP/1.1\n\n{}").body, std::nullopt);
}

TEST(HTTPRequestParse, BodyEndsAtAUsableContentLength) {
  // What follows the announced body (a pipelined request) is not handed on,
  // whether or not it came in the same read as the head.
  EXPECT_EQ(parseHTTPRequest("POST /mcp HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}POST /mcp").body,
            "{}");
  EXPECT_EQ(parseHTTPRequest("POST /mcp HTTP/1.1\r\nContent-Length: 0\r\n\r\n{}").body, "");
  // A body still arriving, or one whose end is unknown, is kept as it came.
  for (const char* length : {"9", "x", "-1"}) {
    EXPECT_EQ(parseHTTPRequest(std::string("POST / HTTP/1.1\r\nContent-Length: ") + length +
                               "\r\n\r\nabcd")
                  .body,
              "abcd")
        << length;
  }
  EXPECT_EQ(parseHTTPRequest("POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n"
                             "abcd")
                .body,
            "abcd");
}

TEST(HTTPRequestParse, FillsInWhatIsMissingFromTheRequestLine) {
  // Runs of spaces separate like one; the method keeps its case.
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"", "GET", "/"},
      {"\r\nHost: localhost\r\n\r\n", "GET", "/"},
      {"OPTIONS", "OPTIONS", "/"},
      {"  get   /other?q   HTTP/1.1\r\n\r\n", "get", "/other"},
      {"GET ?x=1 HTTP/1.1", "GET", ""}};
  for (const auto& [text, method, path] : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    const auto request = parseHTTPRequest(text);
    EXPECT_EQ(request.method, method);
    EXPECT_EQ(request.path, path);
  }
  EXPECT_EQ(parseHTTPRequest("\r\nHost: localhost\r\n\r\n").header("host"), "localhost");
}

TEST(HTTPResponse, PutsExtraHeadersLastAndNamesOtherStatusesError) {
  EXPECT_EQ(buildHTTPResponse(404, "\xC3\xA9", "Mcp-Session-Id: S\r\n"),
            "HTTP/1.1 404 Not Found\r\n"
            "Content-Type: application/json\r\n"
            "Content-Length: 2\r\n"
            "Access-Control-Allow-Origin: *\r\n"
            "Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
            "Access-Control-Allow-Headers: Content-Type\r\n"
            "Connection: close\r\n"
            "Mcp-Session-Id: S\r\n"
            "\r\n"
            "\xC3\xA9");
  EXPECT_TRUE(buildHTTPResponse(500, "").starts_with("HTTP/1.1 500 Error\r\n"));
}

TEST(UTF8Check, RefusesMalformedTextAndACutEndUnlessAllowed) {
  // Each text, whether it is valid, and whether it is valid when the end may be cut.
  const std::tuple<std::string, bool, bool> cases[] = {
      {"", true, true},
      {std::string("plain\0text", 10), true, true},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", true, true},
      {"\xED\x9F\xBF\xEE\x80\x80", true, true},  // either side of the surrogates
      {"\x80", false, false},                    // continuation byte without a lead
      {"\xC0\xAF", false, false},                // overlong "/"
      {"\xC1\xBF", false, false},                // overlong
      {"\xE0\x80\xAF", false, false},            // overlong three-byte form
      {"\xF0\x80\x80\xAF", false, false},        // overlong four-byte form
      {"\xED\xA0\x80", false, false},            // surrogate
      {"\xF4\x90\x80\x80", false, false},        // above U+10FFFF
      {"\xF5\x80\x80\x80", false, false},        // never a lead byte
      {"\xFF", false, false},
      {"a\xC3(b", false, false},  // lead byte followed by a non-continuation
      {"ab\xC3", false, true},    // sequences cut by the end
      {"ab\xE2\x82", false, true},
      {"ab\xF0\x9F\x98", false, true},
      {"ab\xE0\x80", false, false},  // cut, but what is there is wrong
      {"ab\xED\xA0", false, false},
  };
  for (const auto& [text, valid, validIfCut] : cases) {
    SCOPED_TRACE(testing::PrintToString(text));
    EXPECT_EQ(isValidUTF8(text), valid);
    EXPECT_EQ(isValidUTF8(text, true), validIfCut);
  }
}

HTTPRequest withHeader(const std::string& name, const std::string& value) {
  HTTPRequest request;
  request.headers[name] = value;
  return request;
}

TEST(ContentLength, ReadsDecimalNumbersOnly) {
  EXPECT_EQ(contentLength(HTTPRequest{}), std::nullopt);
  const std::pair<const char*, std::optional<std::uint64_t>> cases[] = {
      {"0", 0},
      {"1234", 1234},
      {"+17", 17},
      {"9999999999999", 9999999999999},
      {"123456789012345678901234567890", std::numeric_limits<std::uint64_t>::max()},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(contentLength(withHeader("content-length", text)), expected) << text;
  for (const char* notANumber : {"", "+", "-5", "-0", "12abc", "0x10", "1 2", "1.5", "ten"})
    EXPECT_EQ(contentLength(withHeader("content-length", notANumber)), std::nullopt) << notANumber;
}

TEST(ForeignRequests, OnlyLoopbackOriginsOfAnySchemeAndPortAreLocal) {
  EXPECT_FALSE(isForeignRequest(HTTPRequest{}));
  for (const char* origin : {"http://localhost:3000", "https://LOCALHOST", "http://127.0.0.1:5173",
                             "https://[::1]:8080", "vscode-webview://localhost"})
    EXPECT_FALSE(isForeignRequest(withHeader("origin", origin))) << origin;
  for (const char* origin :
       {"null", "", "localhost", "https://evil.example:23816", "http://localhost.evil.example",
        "http://127.0.0.2", "http://evil.example@localhost", "http://localhost:80x", "http://[::1"})
    EXPECT_TRUE(isForeignRequest(withHeader("origin", origin))) << origin;
}

TEST(ForeignRequests, HostMustNameTheLoopback) {
  for (const char* host : {"localhost:23816", "127.0.0.1", "[::1]:23816", "LocalHost:1"})
    EXPECT_FALSE(isForeignRequest(withHeader("host", host))) << host;
  for (const char* host : {"", "evil.example:23816", "127.0.0.1.nip.io:23816", "localhost:x"})
    EXPECT_TRUE(isForeignRequest(withHeader("host", host))) << host;
  // Either header alone makes a request foreign.
  auto request = withHeader("host", "localhost:23816");
  request.headers["origin"] = "https://evil.example";
  EXPECT_TRUE(isForeignRequest(request));
}

}  // namespace
}  // namespace qm::mcp
