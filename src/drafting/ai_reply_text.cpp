#include "drafting/ai_reply_text.h"

#include "common/text.h"

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
  if (!body.empty() && isValidUTF8(body)) return aiServerError(body);
  return aiServerError("HTTP " + std::to_string(status));
}

Result<AIReply> readAIReply(std::string_view body) {
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
  reply.text = QM_TRY(extractReplyText(answer, reply.provider));
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
