// Feeds the input to the MCP listener's request reading as a received byte
// stream, the way HTTPServer's connections read it: the first read gathers
// bytes until the blank line that ends the head is in, the head limit is
// reached or the client finishes sending; then the head is parsed once and
// judged (431 for a head past the limit, 403 for a request of another site,
// 400 for a Content-Length that is no number or two that disagree, 413 for a
// body announced past the cap, 400 for text that is not UTF-8); then the rest
// of the announced body is read, never more than what arrives.
//
// The first byte picks the listener's settings: bit 0 whether the client
// finishes sending after the last byte, bits 1-2 the body cap (8 MiB, 1000, 16
// or 0 bytes), bits 3-4 the head limit (1 MiB, 4096 or 200 bytes, so that short
// inputs reach the 431 too). The second byte seeds the sizes of the reads the
// stream arrives in; the rest is the stream. For every input:
// - reading the stream in pieces gives the same outcome as reading it at once:
//   the same status, or the same method, path, headers and body. Only the
//   check for text that is not UTF-8 may tell the two apart, and only where
//   it looks at different bytes: what came with the head past the announced
//   body, a body whose end nobody announced (no Content-Length; the body read
//   in pieces is then the start of the body read at once), a short body whose
//   client finished, or a body that never completes;
// - a request handed on with its whole body arrived has exactly the body its
//   Content-Length announces, never more than the cap;
// - parsed heads are well formed: names lower-case, nothing spans a line;
// - contentLength and isValidUTF8 agree with plain reference readings.

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "mcp/http_request.h"

namespace qm::fuzz {
namespace {

using mcp::HTTPRequest;

constexpr std::string_view kBlankLine = "\r\n\r\n";
/// What the listener asks for per read.
constexpr std::size_t kReadChunk = 16 * 1024;

struct Limits {
  std::size_t head = 0;  ///< the first read's limit
  std::size_t body = 0;  ///< the largest Content-Length accepted
};

/// How a connection ends, with the listener's status and body text for a refusal.
struct Outcome {
  enum class Kind { answered, refused, unanswered };
  Kind kind = Kind::unanswered;
  int status = 0;
  std::string_view text;
  HTTPRequest request;  ///< when answered
};

const char* kindName(Outcome::Kind kind) {
  switch (kind) {
    case Outcome::Kind::answered:
      return "answered";
    case Outcome::Kind::refused:
      return "refused";
    case Outcome::Kind::unanswered:
      return "unanswered";
  }
  return "?";
}

std::string describe(const Outcome& outcome) {
  std::string out = kindName(outcome.kind);
  if (outcome.kind == Outcome::Kind::refused) {
    out += " " + std::to_string(outcome.status) + " " + std::string(outcome.text);
  }
  if (outcome.kind == Outcome::Kind::answered) {
    out += " " + outcome.request.method + " " + outcome.request.path + " body " +
           (outcome.request.body ? std::to_string(outcome.request.body->size()) + " bytes"
                                 : std::string("none"));
  }
  return out;
}

Outcome refused(int status, std::string_view text) {
  return Outcome{Outcome::Kind::refused, status, text, {}};
}

// The listener's refusals and their texts.
constexpr std::string_view kTooLargeHead = R"({"error":"Request header too large"})";
constexpr std::string_view kForbidden = R"({"error":"Forbidden"})";
constexpr std::string_view kBadLength = R"({"error":"Invalid Content-Length"})";
constexpr std::string_view kTooLarge = R"({"error":"Request too large"})";
constexpr std::string_view kBadText = R"({"error":"Invalid UTF-8"})";
constexpr std::string_view kBadTextInBody = R"({"error":"Invalid UTF-8 in body"})";

/// The stream as the socket hands it out: each read brings what is asked for
/// or, in pieces, at most the next size the seed gives.
class Arrival {
 public:
  Arrival(std::string_view stream, std::optional<std::uint8_t> seed)
      : stream_(stream), pieces_(seed.has_value()), state_(seed.value_or(0) * 2654435761u + 1) {}

  /// Up to `asked` bytes; nothing once the stream is used up.
  std::optional<std::string_view> read(std::size_t asked) {
    if (at_ == stream_.size()) return std::nullopt;
    std::size_t size = asked;
    if (pieces_) {
      state_ = state_ * 1103515245u + 12345u;
      // Mostly short reads (a blank line split across them), sometimes long ones.
      size = std::min<std::size_t>(
          size, (state_ >> 16) % 8 == 0 ? (state_ >> 8) % 4096 + 1 : (state_ >> 16) % 7 + 1);
    }
    const auto piece = stream_.substr(at_, size);
    at_ += piece.size();
    return piece;
  }

 private:
  std::string_view stream_;
  std::size_t at_ = 0;
  bool pieces_;
  std::uint32_t state_;
};

/// One connection of the listener reading `arrival`; `finishes` says whether
/// the client closes its sending side after the last byte (otherwise the
/// connection waits for more until its deadline closes it unanswered).
Outcome readRequest(Arrival arrival, bool finishes, const Limits& limits) {
  std::string input;
  bool peerFinished = false;
  for (;;) {
    const auto got = arrival.read(std::min(kReadChunk, limits.head - input.size()));
    if (!got) {
      if (!finishes || input.empty()) return {};
      peerFinished = true;
      break;
    }
    input += *got;
    if (input.find(kBlankLine) != std::string::npos || input.size() >= limits.head) break;
  }

  if (!peerFinished && input.find(kBlankLine) == std::string::npos)
    return refused(431, kTooLargeHead);
  HTTPRequest request = mcp::parseHTTPRequest(input);
  // The MCP endpoint's refusal, asked before anything else is checked.
  if (mcp::isForeignRequest(request)) return refused(403, kForbidden);
  const auto length = mcp::contentLength(request);
  if (request.header("content-length") && (!length || request.conflictingContentLength))
    return refused(400, kBadLength);
  if (length && *length > limits.body) return refused(413, kTooLarge);
  const bool bodyShort = request.body && length && *length > request.body->size();
  if (!mcp::isValidUTF8(input, bodyShort)) return refused(400, kBadText);
  if (!bodyShort) return Outcome{Outcome::Kind::answered, 0, {}, std::move(request)};

  const std::size_t missing = static_cast<std::size_t>(*length) - request.body->size();
  std::size_t received = 0;
  if (!peerFinished) {
    while (received < missing) {
      const auto got = arrival.read(std::min(kReadChunk, missing - received));
      if (!got) {
        if (!finishes) return {};
        break;
      }
      request.body->append(*got);
      received += got->size();
    }
  }
  if (received == 0 || !mcp::isValidUTF8(*request.body)) return refused(400, kBadTextInBody);
  return Outcome{Outcome::Kind::answered, 0, {}, std::move(request)};
}

bool sameHead(const HTTPRequest& a, const HTTPRequest& b) {
  return a.method == b.method && a.path == b.path && a.headers == b.headers &&
         a.conflictingContentLength == b.conflictingContentLength &&
         a.body.has_value() == b.body.has_value();
}

/// Where the head says the body ends: after the blank line and its
/// Content-Length. Nothing when the head is not whole or its length unusable.
std::optional<std::size_t> announcedEnd(std::string_view stream) {
  const auto blank = stream.find(kBlankLine);
  if (blank == std::string_view::npos) return std::nullopt;
  const HTTPRequest head = mcp::parseHTTPRequest(stream.substr(0, blank + kBlankLine.size()));
  const auto length = mcp::contentLength(head);
  if (!length || head.conflictingContentLength) return std::nullopt;
  const std::size_t start = blank + kBlankLine.size();
  if (*length > stream.size() - start) return std::nullopt;
  return start + static_cast<std::size_t>(*length);
}

bool isTextRefusal(const Outcome& outcome) {
  return outcome.kind == Outcome::Kind::refused &&
         (outcome.text == kBadText || outcome.text == kBadTextInBody);
}

void compare(const Outcome& whole, const Outcome& pieces, std::string_view stream, bool finishes) {
  // Where the stream does not end exactly where its head says the body ends,
  // the text check depends on the reads: bytes past the announced end (or a
  // body whose end nobody announced) are checked as far as they came with the
  // head, and a short body whose client finished is refused when nothing came
  // after the head. And the body read after the head is checked once it is
  // complete: bad text in a body that never completes is refused when it came
  // with the head and otherwise waits for the deadline. Only that may tell the
  // two readings apart.
  const auto end = announcedEnd(stream);
  const bool textCheckMayDiffer = !end || *end != stream.size();
  const bool bodyNeverCompletes = !end && !finishes;
  const auto explains = [&](const Outcome& refusal, const Outcome& other) {
    return isTextRefusal(refusal) &&
           ((textCheckMayDiffer && other.kind == Outcome::Kind::answered) ||
            (bodyNeverCompletes && other.kind == Outcome::Kind::unanswered));
  };
  if (whole.kind != pieces.kind || whole.status != pieces.status) {
    if (!explains(whole, pieces) && !explains(pieces, whole)) {
      fail("reading in pieces ends otherwise than reading at once",
           "at once: " + describe(whole) + "\nin pieces: " + describe(pieces));
    }
    return;
  }
  // The text refusal names the part that was read when the bad text showed.
  if (whole.kind == Outcome::Kind::refused && whole.text != pieces.text &&
      !(isTextRefusal(whole) && isTextRefusal(pieces))) {
    fail("reading in pieces is refused for another reason",
         describe(whole) + "\n" + describe(pieces));
  }
  if (whole.kind != Outcome::Kind::answered) return;
  const HTTPRequest& a = whole.request;
  const HTTPRequest& b = pieces.request;
  if (!sameHead(a, b)) fail("reading in pieces gives another head", describe(whole));
  if (!a.body) return;
  const bool bodyKnown = mcp::contentLength(a).has_value();
  if (bodyKnown ? *a.body != *b.body : !a.body->starts_with(*b.body)) {
    fail("reading in pieces gives another body", "at once: " + *a.body + "\nin pieces: " + *b.body);
  }
}

/// A request handed on carries what its head announced, all of it when all of
/// it arrived, and nothing past the cap.
void checkAnswered(const Outcome& outcome, std::string_view stream, bool finishes,
                   const Limits& limits) {
  if (outcome.kind != Outcome::Kind::answered) return;
  const HTTPRequest& request = outcome.request;
  const auto length = mcp::contentLength(request);
  if (!request.body || !length) return;
  const std::size_t size = request.body->size();
  if (size > limits.body)
    fail("a body past the cap was handed on", std::to_string(size) + " bytes");
  if (size > *length) {
    fail("a body longer than its Content-Length was handed on",
         std::to_string(size) + " bytes for " + std::to_string(*length));
  }
  const auto end = announcedEnd(stream);
  if (size != *length && (end || !finishes)) {
    fail("a body shorter than its Content-Length was handed on though all of it arrived",
         std::to_string(size) + " bytes for " + std::to_string(*length));
  }
}

/// Lines end with CR LF; a bare CR or LF is part of the line.
bool hasLineBreak(std::string_view text) {
  return text.find("\r\n") != std::string_view::npos;
}

/// What any parse must look like, whatever the text.
void checkWellFormed(const HTTPRequest& request) {
  if (request.method.empty() || request.method.find(' ') != std::string::npos ||
      hasLineBreak(request.method))
    fail("the method is empty or spans words or lines", request.method);
  if (request.path.find_first_of("? ") != std::string::npos || hasLineBreak(request.path))
    fail("the path holds a query, a space or a line break", request.path);
  for (const auto& [name, value] : request.headers) {
    if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
      fail("a header name is not lower-cased", name);
    if (hasLineBreak(name) || hasLineBreak(value))
      fail("a header spans lines", name + ": " + value);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (!value.empty() && (blank(value.front()) || blank(value.back())))
      fail("a header value keeps surrounding blanks", name + ": " + value);
  }
}

/// The Content-Length value read as a plain decimal number (an optional "+",
/// at least one digit, the largest value for what does not fit).
std::optional<std::uint64_t> referenceLength(std::string_view value) {
  if (value.starts_with('+')) value.remove_prefix(1);
  std::uint64_t result = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), result);
  if (end != value.data() + value.size()) return std::nullopt;
  if (error == std::errc::result_out_of_range) return std::numeric_limits<std::uint64_t>::max();
  if (error != std::errc()) return std::nullopt;
  return result;
}

void checkContentLength(const HTTPRequest& request) {
  const auto value = request.header("content-length");
  if (!value) return;
  const auto length = mcp::contentLength(request);
  if (length != referenceLength(*value)) {
    fail("contentLength reads a value otherwise than a plain decimal reading",
         std::string(*value) + " -> " + (length ? std::to_string(*length) : "none"));
  }
}

/// UTF-8 decoded character by character: the code point is computed and then
/// refused when overlong, a surrogate or past U+10FFFF.
bool referenceUTF8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    std::uint32_t point = lead;
    if (lead >= 0xF0 && lead <= 0xF7) {
      length = 4;
      point = lead & 0x07u;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      point = lead & 0x0Fu;
    } else if (lead >= 0xC0 && lead <= 0xDF) {
      length = 2;
      point = lead & 0x1Fu;
    } else if (lead >= 0x80) {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0u) != 0x80u) return false;
      point = (point << 6) | (next & 0x3Fu);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF)
      return false;
    i += length;
  }
  return true;
}

/// Valid, or made valid by at most three more continuation bytes.
bool referenceUTF8CutEnd(std::string_view text) {
  if (referenceUTF8(text)) return true;
  for (const char filler : {'\x80', '\x90', '\xA0', '\xBF'}) {
    std::string completed(text);
    for (int more = 1; more <= 3; ++more) {
      completed += filler;
      if (referenceUTF8(completed)) return true;
    }
  }
  return false;
}

void checkUTF8(std::string_view text) {
  if (mcp::isValidUTF8(text) != referenceUTF8(text))
    fail("isValidUTF8 disagrees with decoding the text", std::string(text));
  if (mcp::isValidUTF8(text, true) != referenceUTF8CutEnd(text))
    fail("isValidUTF8 with a cut end disagrees with completing the text", std::string(text));
}

}  // namespace
}  // namespace qm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qm::fuzz;
  if (size < 2) return 0;
  static constexpr std::size_t kBodyCaps[] = {8 * 1024 * 1024, 1000, 16, 0};
  static constexpr std::size_t kHeadLimits[] = {1 << 20, 4096, 200, 1 << 20};
  const bool finishes = (data[0] & 1) != 0;
  const Limits limits{kHeadLimits[(data[0] >> 3) % 4], kBodyCaps[(data[0] >> 1) % 4]};
  const std::uint8_t seed = data[1];
  const std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);

  const Outcome whole = readRequest(Arrival(stream, std::nullopt), finishes, limits);
  const Outcome pieces = readRequest(Arrival(stream, seed), finishes, limits);
  compare(whole, pieces, stream, finishes);
  for (const Outcome* outcome : {&whole, &pieces})
    checkAnswered(*outcome, stream, finishes, limits);

  const qm::mcp::HTTPRequest parsed = qm::mcp::parseHTTPRequest(stream);
  checkWellFormed(parsed);
  checkContentLength(parsed);
  checkUTF8(stream);
  return 0;
}
