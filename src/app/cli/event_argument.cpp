#include "app/cli/event_argument.h"

#include "common/text.h"
#include "store/store.h"

namespace qm::cli {

Result<Event> eventArgument(Store& store, std::string_view idOrName) {
  if (auto id = Uuid::parse(idOrName)) {
    auto found = QM_TRY(store.find<Event>(*id));
    if (found) return std::move(*found);
  }
  const std::string wanted = lowercaseUnicode(trimUnicodeWhitespace(idOrName));
  std::vector<Event> matching;
  for (auto& event : QM_TRY(store.fetch<Event>())) {
    if (lowercaseUnicode(trimUnicodeWhitespace(event.name)) == wanted)
      matching.push_back(std::move(event));
  }
  if (matching.size() == 1) return std::move(matching.front());
  if (matching.empty())
    return Error(ErrorCode::notFound, "No event with the id or name \"" + std::string(idOrName) +
                                          "\" (quillmere events lists them)");
  std::string ids;
  for (const auto& event : matching) ids += (ids.empty() ? "" : ", ") + event.id.str();
  return Error(ErrorCode::invalidArgument, std::to_string(matching.size()) +
                                               " events are called \"" + std::string(idOrName) +
                                               "\"; name one by its id: " + ids);
}

}  // namespace qm::cli
