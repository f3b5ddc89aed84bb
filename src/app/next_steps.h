#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace qm {

/// What a person who has just started the companion in a terminal can do next,
/// read from its status (`events`, `bonded`, `mcpServerEnabled`): pair the
/// phone (or, once paired, import its events), try demo data, connect an AI
/// assistant; each step with its command, one per line under a heading. Empty
/// when the store holds events and a phone is paired.
std::string nextSteps(const nlohmann::json& status);

}  // namespace qm
