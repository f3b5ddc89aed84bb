#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "common/text.h"

namespace qm::mcp {

/// One HTTP request as the MCP listener reads it.
struct HTTPRequest {
  std::string method;
  std::string path;                            ///< the target up to the first "?"
  std::map<std::string, std::string> headers;  ///< names lower-cased; a later line wins
  /// The text after the first blank line, up to the Content-Length when the
  /// head gives one that is a number (and not two that disagree).
  std::optional<std::string> body;
  /// Two "content-length" lines with different values: the length is unknown.
  bool conflictingContentLength = false;

  /// The value of the header `lowerCaseName`, if the request carries it.
  std::optional<std::string_view> header(std::string_view lowerCaseName) const;
};

/// Parses the received text (head, blank line, body). Never fails: a missing
/// request line gives "GET /", lines without a colon are skipped.
HTTPRequest parseHTTPRequest(std::string_view text);

/// The response bytes: status line with the reason ("OK" for 200, "No Content"
/// for 204, "Bad Request" for 400, "Not Found" for 404, "Payload Too Large" for
/// 413, "Request Header Fields Too Large" for 431, "Service Unavailable" for
/// 503, "Error" for any other),
/// the fixed headers, `extraHeaders` (each "Name: value\r\n"), blank line, body.
std::string buildHTTPResponse(int status, std::string_view body,
                              std::string_view extraHeaders = {});

/// Request text is checked with `isValidUTF8` (common/text.h).
using ::qm::isValidUTF8;

/// The "content-length" header as a byte count. Nothing when the header is
/// absent, negative or not a decimal number (an optional leading "+" is allowed);
/// a number too large to represent gives the largest value.
std::optional<std::uint64_t> contentLength(const HTTPRequest& request);

/// Whether the request may come from a web page of another site: it carries an
/// "origin" whose host is not localhost, 127.0.0.1 or [::1] (any scheme and
/// port; "null" is foreign), or a "host" whose host part is none of these (a
/// DNS-rebinding page). Requests without these headers are not foreign.
bool isForeignRequest(const HTTPRequest& request);

}  // namespace qm::mcp
