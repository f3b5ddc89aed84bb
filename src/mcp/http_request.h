#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qm::mcp {

/// One HTTP request as the MCP listener reads it.
struct HTTPRequest {
  std::string method;
  std::string path;                            ///< the target up to the first "?"
  std::map<std::string, std::string> headers;  ///< names lower-cased; a later line wins
  std::optional<std::string> body;             ///< the text after the first blank line
};

/// Parses the received text (head, blank line, body). Never fails: a missing
/// request line gives "GET /", lines without a colon are skipped.
HTTPRequest parseHTTPRequest(std::string_view text);

/// The response bytes: status line with the reason ("OK" for 200, "No Content"
/// for 204, "Bad Request" for 400, "Not Found" for 404, "Error" for any other),
/// the fixed headers, `extraHeaders` (each "Name: value\r\n"), blank line, body.
std::string buildHTTPResponse(int status, std::string_view body,
                              std::string_view extraHeaders = {});

}  // namespace qm::mcp
