#pragma once

#include "common/app_paths.h"

namespace qm {
class Store;
}

namespace qm::desktop {

class CompanionLink;

/// What every view of the window shares: the line to the companion (all
/// writes go through it), the store the views read records from, and where
/// the companion keeps its files.
struct DesktopContext {
  CompanionLink& link;
  Store& store;
  AppPaths paths;
};

}  // namespace qm::desktop
