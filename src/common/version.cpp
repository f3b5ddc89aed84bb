#include "common/version.h"

namespace qm {

std::string_view quillmereVersion() {
  // Given by the build, from the project's declared version.
  return QUILLMERE_VERSION;
}

}  // namespace qm
