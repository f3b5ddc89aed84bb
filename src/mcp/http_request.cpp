#include "mcp/http_request.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace qm::mcp {

namespace {

constexpr std::string_view kBlankLine = "\r\n\r\n";
constexpr std::string_view kLineEnd = "\r\n";

std::string_view trimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

std::string asciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

/// The first two space-separated words of the request line; runs of spaces
/// count as one separator.
std::vector<std::string_view> firstTwoWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (words.size() < 2 && i < line.size()) {
    if (line[i] == ' ') {
      ++i;
      continue;
    }
    const auto end = std::min(line.find(' ', i), line.size());
    words.push_back(line.substr(i, end - i));
    i = end;
  }
  return words;
}

std::string_view reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 413:
      return "Payload Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

bool isLoopbackName(std::string_view host) {
  const std::string lower = asciiLower(host);
  return lower == "localhost" || lower == "127.0.0.1" || lower == "[::1]";
}

/// The host of an authority ("host", "host:port", "[v6]" or "[v6]:port");
/// nothing when what follows the host is not a port.
std::optional<std::string_view> hostOfAuthority(std::string_view authority) {
  std::string_view host;
  std::string_view rest;
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(0, close + 1);
    rest = authority.substr(close + 1);
  } else {
    const auto colon = authority.find(':');
    host = authority.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view{} : authority.substr(colon);
  }
  if (!rest.empty()) {
    if (rest.front() != ':') return std::nullopt;
    const auto port = rest.substr(1);
    if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
  }
  return host;
}

/// An origin is "scheme://host[:port]"; "null", an origin with user
/// information and anything unparsable count as foreign.
bool isLoopbackOrigin(std::string_view origin) {
  const auto separator = origin.find("://");
  if (separator == std::string_view::npos || separator == 0) return false;
  auto authority = origin.substr(separator + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (authority.find('@') != std::string_view::npos) return false;
  const auto host = hostOfAuthority(authority);
  return host && isLoopbackName(*host);
}

}  // namespace

std::optional<std::string_view> HTTPRequest::header(std::string_view lowerCaseName) const {
  const auto it = headers.find(std::string(lowerCaseName));
  if (it == headers.end()) return std::nullopt;
  return std::string_view(it->second);
}

HTTPRequest parseHTTPRequest(std::string_view text) {
  HTTPRequest request;
  const auto blank = text.find(kBlankLine);
  const std::string_view head = text.substr(0, blank);
  if (blank != std::string_view::npos) request.body = std::string(text.substr(blank + 4));

  const auto lineEnd = head.find(kLineEnd);
  const auto words = firstTwoWords(head.substr(0, lineEnd));
  request.method = words.empty() ? "GET" : std::string(words[0]);
  const std::string_view target = words.size() < 2 ? std::string_view("/") : words[1];
  request.path = std::string(target.substr(0, target.find('?')));

  std::size_t start = lineEnd == std::string_view::npos ? head.size() : lineEnd + 2;
  while (start < head.size()) {
    const auto end = std::min(head.find(kLineEnd, start), head.size());
    const std::string_view line = head.substr(start, end - start);
    start = end + 2;
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string name = asciiLower(trimBlanks(line.substr(0, colon)));
    std::string value(trimBlanks(line.substr(colon + 1)));
    if (name == "content-length") {
      auto earlier = request.headers.find(name);
      if (earlier != request.headers.end() && earlier->second != value)
        request.conflictingContentLength = true;
    }
    request.headers[std::move(name)] = std::move(value);
  }
  // The body ends where the head says: what follows a usable Content-Length
  // (a pipelined next request, say) is no part of this request, however much
  // of it happened to arrive with the head.
  if (request.body && !request.conflictingContentLength) {
    if (const auto length = contentLength(request); length && *length < request.body->size())
      request.body->resize(static_cast<std::size_t>(*length));
  }
  return request;
}

std::string buildHTTPResponse(int status, std::string_view body, std::string_view extraHeaders) {
  std::string out;
  out.reserve(256 + extraHeaders.size() + body.size());
  out += "HTTP/1.1 ";
  out += std::to_string(status);
  out += ' ';
  out += reasonPhrase(status);
  out += "\r\nContent-Type: application/json\r\nContent-Length: ";
  out += std::to_string(body.size());
  out +=
      "\r\nAccess-Control-Allow-Origin: *\r\n"
      "Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
      "Access-Control-Allow-Headers: Content-Type\r\n"
      "Connection: close\r\n";
  out += extraHeaders;
  out += "\r\n";
  out += body;
  return out;
}

std::optional<std::uint64_t> contentLength(const HTTPRequest& request) {
  auto value = request.header("content-length");
  if (!value) return std::nullopt;
  std::string_view digits = *value;
  if (digits.starts_with('+')) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t result = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    result = result > (kMax - digit) / 10 ? kMax : result * 10 + digit;
  }
  return result;
}

bool isForeignRequest(const HTTPRequest& request) {
  if (const auto origin = request.header("origin"); origin && !isLoopbackOrigin(*origin))
    return true;
  if (const auto host = request.header("host")) {
    const auto name = hostOfAuthority(*host);
    if (!name || !isLoopbackName(*name)) return true;
  }
  return false;
}

}  // namespace qm::mcp
