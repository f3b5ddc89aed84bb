#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "common/result.h"
#include "drafting/completion_client.h"
#include "settings/settings_enums.h"

namespace qm {

/// How a request to the AI endpoint failed, told apart by the error's code
/// (the caller falls back to the paired phone on any of them):
///
/// | code                 | failure                                                        |
/// |----------------------|----------------------------------------------------------------|
/// | `failedPrecondition` | nothing to send to: no endpoint, or the proxy without a token  |
/// | `invalidArgument`    | the endpoint may not be used (not a URL, plain http elsewhere) |
/// | `unavailable`        | the transfer failed (curl's text), or the reply was too large  |
/// | `deadlineExceeded`   | no complete answer within the time-out                         |
/// | `cancelled`          | the client was shut down while the request ran                 |
/// | `permissionDenied`   | the endpoint refused the credential (HTTP 401)                 |
/// | `internal`           | any other error status, or no HTTP answer at all               |
/// | `dataLoss`           | the reply could not be read as an answer                       |

/// "No AI endpoint configured: run quillmere ai login".
Error aiNotRegisteredError();
/// "Proxy server error: " + `detail`; 401 gets its own code.
Error aiServerError(std::string_view detail, ErrorCode code = ErrorCode::internal);
/// "Failed to parse AI response: " + `detail`.
Error aiParseError(std::string_view detail);

/// The longest server text an error carries, in characters.
inline constexpr std::size_t kMaxServerTextLength = 300;

/// The error for an answer with a status outside 200–299: "Authentication
/// failed (401)" for 401, otherwise the body when it is UTF-8 text, else
/// "HTTP " and the status. The body is shown and logged, so it is made
/// readable first: line breaks and tabs become spaces, terminal escape
/// sequences and other control characters are removed, and it is cut to
/// `kMaxServerTextLength` characters (ending with "…").
Error aiStatusError(long status, std::string_view body);

/// Reads the body of a successful answer: a JSON object whose "data" member,
/// when it is an object, is the answer (else the whole object is), and whose
/// "provider" member, when it is text, names who answered. The provider picks
/// where the text is only for the AI proxy: a chat-completions server (or a
/// gateway in front of one) may name any provider, and its answer is read by
/// its shape.
Result<AIReply> readAIReply(std::string_view body, AIEndpointKind kind);

/// The reply text inside `answer`: its "text" member when that is text;
/// otherwise the place the named provider puts it (Claude: content[0].text;
/// OpenAI and Mistral: choices[0].message.content; Gemini:
/// candidates[0].content.parts[0].text); without a provider, the first of
/// those places that holds text. Fails (as a parse error) when the place is
/// missing or the provider is unknown.
Result<std::string> extractReplyText(const nlohmann::json& answer,
                                     const std::optional<std::string>& provider);

}  // namespace qm
