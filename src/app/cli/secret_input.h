#pragma once

#include <string>
#include <string_view>

#include "common/result.h"

namespace qm::cli {

struct CliContext;

/// A secret (a token, a password) from the first line of `file`, or else one
/// line of standard input, asked for as "<Prompt>: " without echo on a
/// terminal. Never from the command line, where other users could see it in
/// the process list. Blanks around it are dropped; `what` ("token",
/// "password") names it in the errors: an unreadable file, control characters.
Result<std::string> readSecret(CliContext& context, const std::string& file, std::string_view what);

}  // namespace qm::cli
