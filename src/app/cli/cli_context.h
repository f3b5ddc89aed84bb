#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "common/app_paths.h"

namespace qm {
class Store;
}

namespace qm::cli {

/// What every command of the command-line tool works with.
struct CliContext {
  AppPaths paths;
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  /// Whether `out` is a terminal a person reads, rather than a file, a pipe,
  /// the journal of a service or the null device of a window that started us.
  bool outIsTerminal = false;
};

/// Opens the store (for commands that read it themselves), or prints why it
/// cannot and gives nothing.
std::unique_ptr<Store> openStore(CliContext& context);

/// Asks the user to choose between the buttons of a confirmation. Prints the
/// title, the message and the numbered choices; returns the chosen label, or
/// `cancelLabel` on end of input or an answer that names no choice.
std::string askChoice(CliContext& context, const std::string& title, const std::string& message,
                      const std::vector<std::string>& choices, const std::string& cancelLabel);

}  // namespace qm::cli
