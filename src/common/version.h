#pragma once

#include <string_view>

namespace qm {

/// The version of this build, as the project declares it ("0.1.0").
std::string_view quillmereVersion();

}  // namespace qm
