#include "drafting/ai_reply_text.h"

#include "common/text.h"

#include <algorithm>
#include <initializer_list>
#include <variant>

#include <nlohmann/json.hpp>

namespace qm {

namespace {

using Json = nlohmann::json;

/// One step along a path into a reply: an object's member or an array's first element.
using Step = std::variant<std::string_view, int>;

/// The text at `path` inside `value`; nothing when a step finds no member, a
/// value of another type or an empty array, or the end is not text.
std::optional<std::string> textAt(const Json& value, std::initializer_list<Step> path) {
  const Json* at = &value;
  for (const Step& step : path) {
    if (const auto* name = std::get_if<std::string_view>(&step)) {
      if (!at->is_object()) return std::nullopt;
      const auto member = at->find(*name);
      if (member == at->end()) return std::nullopt;
      at = &*member;
    } else {
      if (!at->is_array() || at->empty()) return std::nullopt;
      at = &at->front();
    }
  }
  if (!at->is_string()) return std::nullopt;
  return at->get<std::string>();
}

std::optional<std::string> claudeText(const Json& answer) {
  return textAt(answer, {"content", 0, "text"});
}
std::optional<std::string> chatText(const Json& answer) {
  return textAt(answer, {"choices", 0, "message", "content"});
}
std::optional<std::string> geminiText(const Json& answer) {
  return textAt(answer, {"candidates", 0, "content", "parts", 0, "text"});
}

/// The length of the UTF-8 sequence that starts with `lead` (1 for a byte
/// that starts none; the text has been checked to be UTF-8).
std::size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xf0) return 4;
  if (lead >= 0xe0) return 3;
  if (lead >= 0xc0) return 2;
  return 1;
}

/// `text` (UTF-8) as one readable line: see aiStatusError.
std::string readableServerText(std::string_view text) {
  std::string out;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == 0x1b && i + 1 < text.size() && (text[i + 1] == '[' || text[i + 1] == ']')) {
      // A CSI sequence ends with a byte from '@' to '~'; an OSC one with BEL
      // or ESC '\'. Either is dropped whole.
      const bool osc = text[i + 1] == ']';
      i += 2;
      while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i++]);
        if (osc ? (c == 0x07 || c == 0x1b) : (c >= 0x40 && c <= 0x7e)) {
          if (osc && c == 0x1b && i < text.size() && text[i] == '\\') ++i;
          break;
        }
      }
      continue;
    }
    const std::size_t length = std::min(sequenceLength(byte), text.size() - i);
    std::string_view character = text.substr(i, length);
    i += length;
    const bool c1 = length == 2 && byte == 0xc2 && static_cast<unsigned char>(character[1]) < 0xa0;
    if (byte == '\n' || byte == '\r' || byte == '\t') {
      if (out.empty() || out.back() == ' ') continue;
      character = " ";
    } else if (byte < 0x20 || byte == 0x7f || c1) {
      continue;
    }
    if (characters == kMaxServerTextLength) {
      out += "…";
      break;
    }
    out += character;
    ++characters;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

Error aiNotRegisteredError() {
  return Error(ErrorCode::failedPrecondition, "No AI endpoint configured: run quillmere ai login");
}

Error aiServerError(std::string_view detail, ErrorCode code) {
  return Error(code, "Proxy server error: " + std::string(detail));
}

Error aiParseError(std::string_view detail) {
  return Error(ErrorCode::dataLoss, "Failed to parse AI response: " + std::string(detail));
}

Error aiStatusError(long status, std::string_view body) {
  if (status == 401) {
    return aiServerError("Authentication failed (401)", ErrorCode::permissionDenied);
  }
  // An empty body says nothing; the status number at least tells what happened.
  if (!body.empty() && isValidUTF8(body)) {
    std::string text = readableServerText(body);
    if (!text.empty()) return aiServerError(text);
  }
  return aiServerError("HTTP " + std::to_string(status));
}

Result<AIReply> readAIReply(std::string_view body, AIEndpointKind kind) {
  Json document;
  try {
    document = Json::parse(body);
  } catch (const Json::parse_error& error) {
    return aiParseError(error.what());
  }
  if (!document.is_object()) return aiParseError("Response is not a JSON object");

  AIReply reply;
  if (const auto provider = document.find("provider");
      provider != document.end() && provider->is_string()) {
    reply.provider = provider->get<std::string>();
  }
  const auto data = document.find("data");
  const Json& answer = data != document.end() && data->is_object() ? *data : document;
  const bool namedShape = kind == AIEndpointKind::proxy;
  reply.text = QM_TRY(extractReplyText(answer, namedShape ? reply.provider : std::nullopt));
  return reply;
}

Result<std::string> extractReplyText(const Json& answer,
                                     const std::optional<std::string>& provider) {
  if (auto text = textAt(answer, {"text"})) return std::move(*text);

  if (provider) {
    std::optional<std::string> text;
    std::string failure;
    if (*provider == "claude") {
      text = claudeText(answer);
      failure = "Could not parse Claude response";
    } else if (*provider == "openai" || *provider == "mistral") {
      text = chatText(answer);
      failure = "Could not parse " + *provider + " response";
    } else if (*provider == "gemini") {
      text = geminiText(answer);
      failure = "Could not parse Gemini response";
    } else {
      return aiParseError("Unknown provider: " + *provider);
    }
    if (!text) return aiParseError(failure);
    return std::move(*text);
  }

  // Without a provider the answer's shape tells: OpenAI-compatible servers
  // first, as local model servers answer that way.
  for (auto read : {chatText, claudeText, geminiText}) {
    if (auto text = read(answer)) return std::move(*text);
  }
  return aiParseError("Could not parse AI response (unknown format)");
}

}  // namespace qm
