#include "app/cli/cli_context.h"

#include "store/store.h"

#include <istream>
#include <ostream>

namespace qm::cli {

std::string askChoice(CliContext& context, const std::string& title, const std::string& message,
                      const std::vector<std::string>& choices, const std::string& cancelLabel) {
  context.out << title << "\n" << message << "\n";
  for (std::size_t i = 0; i < choices.size(); ++i)
    context.out << "  [" << i + 1 << "] " << choices[i] << "\n";
  context.out << "Choose 1-" << choices.size() << ": " << std::flush;
  std::string answer;
  if (!std::getline(context.in, answer)) {
    context.out << "\n";
    return cancelLabel;
  }
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (answer == std::to_string(i + 1) || answer == choices[i]) return choices[i];
  }
  return cancelLabel;
}

std::unique_ptr<Store> openStore(CliContext& context) {
  auto store = Store::open(context.paths.storeFile());
  if (!store) {
    context.err << store.error().message << "\n";
    return nullptr;
  }
  return std::move(store).value();
}

}  // namespace qm::cli
