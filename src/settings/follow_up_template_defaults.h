#pragma once

#include <array>
#include <string>
#include <string_view>

#include "settings/app_settings.h"
#include "settings/settings_enums.h"

namespace qm {

/// The template setting of each tone, by the tone's raw name.
struct FollowUpTemplateSetting {
  std::string_view tone;
  std::string_view key;
};
inline constexpr std::array<FollowUpTemplateSetting, 3> kFollowUpTemplateSettings{{
    {"warm", kFollowUpTemplateWarmKey},
    {"neutral", kFollowUpTemplateNeutralKey},
    {"formal", kFollowUpTemplateFormalKey},
}};

/// The built-in template of `tone` ("warm", "neutral" or "formal"; any other
/// name reads as neutral) in `language`: French for `fr`, else English.
std::string_view builtInFollowUpTemplate(std::string_view tone, AppLanguage language);

/// The template drafts of `tone` are written from: the user's, or the
/// built-in one of `language` when the setting is empty.
std::string followUpTemplateText(const AppSettings& settings, std::string_view tone,
                                 AppLanguage language);

}  // namespace qm
