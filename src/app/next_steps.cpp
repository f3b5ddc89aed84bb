#include "app/next_steps.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

namespace qm {

std::string nextSteps(const nlohmann::json& status) {
  const bool paired = status.value("bonded", false);
  const bool hasEvents = status.value("events", std::int64_t{0}) > 0;
  if (paired && hasEvents) return {};
  std::vector<std::pair<std::string, std::string>> steps;
  if (!paired) steps.emplace_back("Pair your phone:", "quillmere pair");
  if (paired && !hasEvents) steps.emplace_back("Import your phone's events:", "quillmere import");
  if (!hasEvents) steps.emplace_back("Try it with demo data:", "quillmere demo-data");
  if (!status.value("mcpServerEnabled", false))
    steps.emplace_back("Connect an AI assistant:",
                       "quillmere mcp enable && quillmere mcp install claude");
  std::size_t width = 0;
  for (const auto& step : steps) width = std::max(width, step.first.size());
  // The companion holds this terminal: the commands go to another one.
  std::string text = "Next steps (in another terminal):\n";
  for (const auto& [what, command] : steps)
    text += "  " + what + std::string(width - what.size() + 1, ' ') + command + "\n";
  return text;
}

}  // namespace qm
