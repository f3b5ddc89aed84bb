#include "settings/pipeline_manager.h"

#include <algorithm>
#include <limits>
#include <utility>

#include <unicode/stringoptions.h>
#include <unicode/unistr.h>
#include <nlohmann/json.hpp>

#include "common/log.h"

namespace qm {

namespace {

using Json = nlohmann::json;

const std::string* stringMember(const Json& object, const char* name) {
  auto found = object.find(name);
  if (found == object.end() || !found->is_string()) return nullptr;
  return found->get_ptr<const std::string*>();
}

std::optional<PipelineStage> decodeStage(const Json& json) {
  if (!json.is_object()) return std::nullopt;
  const std::string* id = stringMember(json, "id");
  const std::string* name = stringMember(json, "name");
  const std::string* colorHex = stringMember(json, "colorHex");
  auto sortOrder = json.find("sortOrder");
  if (id == nullptr || name == nullptr || colorHex == nullptr || sortOrder == json.end() ||
      !sortOrder->is_number_integer()) {
    return std::nullopt;
  }
  if (sortOrder->is_number_unsigned() &&
      sortOrder->get<std::uint64_t>() >
          static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return std::nullopt;
  }
  auto uuid = Uuid::parse(*id);
  if (!uuid) return std::nullopt;
  return PipelineStage{*uuid, *name, sortOrder->get<std::int64_t>(), *colorHex};
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  auto unicode = [](std::string_view text) {
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
  };
  return unicode(a).caseCompare(unicode(b), U_FOLD_CASE_DEFAULT) == 0;
}

}  // namespace

std::string encodeStages(const std::vector<PipelineStage>& stages) {
  Json array = Json::array();
  for (const auto& stage : stages) {
    array.push_back({{"id", stage.id.str()},
                     {"name", stage.name},
                     {"sortOrder", stage.sortOrder},
                     {"colorHex", stage.colorHex}});
  }
  // Text that is not valid UTF-8 cannot be written as JSON; it becomes U+FFFD.
  return array.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<std::vector<PipelineStage>> decodeStages(std::string_view json) {
  auto document = Json::parse(json, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded() || !document.is_array()) return std::nullopt;
  std::vector<PipelineStage> stages;
  stages.reserve(document.size());
  for (const auto& element : document) {
    auto stage = decodeStage(element);
    if (!stage) return std::nullopt;
    stages.push_back(std::move(*stage));
  }
  return stages;
}

PipelineManager::PipelineManager(UserDefaults& defaults) : defaults_(defaults) {
  load();
}

void PipelineManager::load() {
  std::vector<PipelineStage> loaded;
  if (auto stored = defaults_.value(kDefaultsKey)) {
    const auto* text = std::get_if<std::string>(&*stored);
    auto decoded = text != nullptr ? decodeStages(*text) : std::nullopt;
    if (decoded) {
      loaded = std::move(*decoded);
      std::stable_sort(
          loaded.begin(), loaded.end(),
          [](const PipelineStage& a, const PipelineStage& b) { return a.sortOrder < b.sortOrder; });
    } else {
      log::data().warn("Stored pipeline stages could not be read; using the built-in stages");
    }
  }
  if (loaded.empty()) loaded = defaultStages();
  setStages(std::move(loaded));
}

const std::vector<PipelineStage>& PipelineManager::stages() const {
  return stages_;
}

void PipelineManager::setStages(std::vector<PipelineStage> stages) {
  if (stages == stages_) return;
  stages_ = std::move(stages);
  changed_.emit();
}

Status PipelineManager::save() {
  return defaults_.set(std::string(kDefaultsKey), encodeStages(stages_));
}

std::optional<PipelineStage> PipelineManager::stage(std::string_view name) const {
  auto found = std::find_if(stages_.begin(), stages_.end(), [&](const PipelineStage& s) {
    return equalIgnoringCase(s.name, name);
  });
  if (found == stages_.end()) return std::nullopt;
  return *found;
}

const std::vector<PipelineStage>& PipelineManager::defaultStages() const {
  if (!defaultStages_) {
    defaultStages_ = std::vector<PipelineStage>{
        {Uuid::random(), "Exploring", 0, "2D5F3F"},
        {Uuid::random(), "Interested", 1, "C4654A"},
        {Uuid::random(), "Committed", 2, "4A6B8A"},
        {Uuid::random(), "Closed-Won", 3, "D4953D"},
    };
  }
  return *defaultStages_;
}

}  // namespace qm
