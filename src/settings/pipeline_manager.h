#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/signal.h"
#include "common/uuid.h"
#include "settings/user_defaults.h"

namespace qm {

/// One step of the sales pipeline a contact moves through.
struct PipelineStage {
  Uuid id;
  std::string name;
  std::int64_t sortOrder = 0;
  std::string colorHex;  ///< six hex digits, no "#"

  friend bool operator==(const PipelineStage&, const PipelineStage&) = default;
};

/// JSON array of {"id", "name", "sortOrder", "colorHex"}; ids in upper case.
std::string encodeStages(const std::vector<PipelineStage>& stages);
/// Strict reading of `encodeStages` text: every key present with the right type
/// (sortOrder an integer), ids in either case. Anything else gives nothing.
std::optional<std::vector<PipelineStage>> decodeStages(std::string_view json);

/// The user's pipeline stages, kept as JSON text in the preferences.
///
/// There is always at least one stage: when nothing usable is stored, the four
/// built-in stages are used, with ids made once per manager. Meant for one thread.
class PipelineManager {
 public:
  static constexpr std::string_view kDefaultsKey = "customPipelineStages";

  /// Loads the stored stages.
  explicit PipelineManager(UserDefaults& defaults);

  /// Re-reads the stored stages, sorted by sortOrder (ties keep their order);
  /// falls back to the built-ins when none are stored or they cannot be read.
  void load();
  const std::vector<PipelineStage>& stages() const;
  /// Replaces the stages (as given, not re-sorted); observers are told only
  /// when the list really differs. Call `save` to keep them.
  void setStages(std::vector<PipelineStage> stages);
  /// Writes the current stages to the preferences.
  Status save();
  /// The first stage whose name matches `name` ignoring letter case.
  std::optional<PipelineStage> stage(std::string_view name) const;
  /// Exploring, Interested, Committed and Closed-Won.
  const std::vector<PipelineStage>& defaultStages() const;

  /// Called after every change of the stages, while the subscription lives.
  Subscription observe(std::function<void()> observer) {
    return changed_.subscribe(std::move(observer));
  }

 private:
  UserDefaults& defaults_;
  std::vector<PipelineStage> stages_;
  mutable std::optional<std::vector<PipelineStage>> defaultStages_;
  Signal<> changed_;
};

}  // namespace qm
