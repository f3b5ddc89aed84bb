#pragma once

#include <filesystem>
#include <string>

#include "common/result.h"

namespace qm::cli {

/// The systemd user unit that runs the companion.
inline constexpr const char* kServiceUnitName = "quillmere.service";

/// The text of that unit for `program`: `quillmere service install` writes it
/// for the running program, and the package ships it for /usr/bin/quillmere,
/// so both ways of enabling the service run the same thing. A non-empty
/// `home` is passed on as QUILLMERE_HOME. Fails for a path with a line break.
Result<std::string> serviceUnitText(const std::filesystem::path& program, const std::string& home);

}  // namespace qm::cli
