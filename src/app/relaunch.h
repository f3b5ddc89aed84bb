#pragma once

#include <optional>
#include <string>

#include "common/result.h"

namespace qm {

/// Remembers how the program was started, for `relaunchProcess`. Call from main.
void rememberProcessArguments(int argc, char** argv);

/// Replaces the running process by a fresh start of the same program with the
/// same arguments (the process keeps its id). `language`, when given, becomes the
/// new process's LANGUAGE; without it a LANGUAGE set by an earlier relaunch is
/// removed so the system language applies again. Returns only on failure; close
/// files and sockets before calling.
Status relaunchProcess(const std::optional<std::string>& language);

}  // namespace qm
