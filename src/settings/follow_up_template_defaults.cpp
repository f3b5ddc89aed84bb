#include "settings/follow_up_template_defaults.h"

#include <algorithm>

namespace qm {

namespace {

// Each sentence that uses a value a contact may lack ({noteFirstLine},
// {company}, {meetingDate}, {myName}) is a paragraph of its own: a line whose
// value is missing is left out and the message still reads well.

constexpr std::string_view kWarmEnglish =
    "Subject: Great to meet you at {event}\n"
    "\n"
    "Hi {firstName},\n"
    "\n"
    "Thank you for taking the time to talk with me at {event}. I really enjoyed our "
    "conversation.\n"
    "\n"
    "I've been thinking about what we discussed: {noteFirstLine}\n"
    "\n"
    "I'd love to hear more about what you're working on at {company} and to see how we might "
    "help.\n"
    "\n"
    "Would you have time for a quick call in the next couple of weeks?\n"
    "\n"
    "All the best,\n"
    "{myName}\n";

constexpr std::string_view kNeutralEnglish =
    "Subject: Following up from {event}\n"
    "\n"
    "Hello {firstName},\n"
    "\n"
    "Thank you for your time at {event}.\n"
    "\n"
    "To follow up on our conversation: {noteFirstLine}\n"
    "\n"
    "I'd be glad to share more about how we could support {company}.\n"
    "\n"
    "Would you be open to a short call next week?\n"
    "\n"
    "Best regards,\n"
    "{myName}\n";

constexpr std::string_view kFormalEnglish =
    "Subject: Following our meeting at {event}\n"
    "\n"
    "Dear {fullName},\n"
    "\n"
    "Thank you for taking the time to meet with me at {event}.\n"
    "\n"
    "It was a pleasure to speak with you on {meetingDate}, and I would like to follow up on our "
    "discussion.\n"
    "\n"
    "Regarding the points we discussed: {noteFirstLine}\n"
    "\n"
    "I would welcome the opportunity to explore how we might work together with {company}.\n"
    "\n"
    "Please let me know a convenient time for a follow-up meeting.\n"
    "\n"
    "Kind regards,\n"
    "{myName}\n";

constexpr std::string_view kWarmFrench =
    "Objet : Merci pour notre échange à {event}\n"
    "\n"
    "Bonjour {firstName},\n"
    "\n"
    "Merci d'avoir pris le temps d'échanger avec moi à {event}. J'ai beaucoup apprécié notre "
    "conversation.\n"
    "\n"
    "Je repense à ce dont nous avons parlé : {noteFirstLine}\n"
    "\n"
    "J'aimerais en savoir plus sur vos projets chez {company} et voir comment nous pourrions "
    "vous aider.\n"
    "\n"
    "Auriez-vous un moment pour un court appel dans les deux prochaines semaines ?\n"
    "\n"
    "À très bientôt,\n"
    "{myName}\n";

constexpr std::string_view kNeutralFrench =
    "Objet : Suite à notre rencontre à {event}\n"
    "\n"
    "Bonjour {firstName},\n"
    "\n"
    "Merci pour le temps que vous m'avez accordé à {event}.\n"
    "\n"
    "Pour faire suite à notre conversation : {noteFirstLine}\n"
    "\n"
    "Je vous présenterai volontiers la façon dont nous pourrions accompagner {company}.\n"
    "\n"
    "Seriez-vous disponible pour un court appel la semaine prochaine ?\n"
    "\n"
    "Cordialement,\n"
    "{myName}\n";

constexpr std::string_view kFormalFrench =
    "Objet : Suite à notre entretien lors de {event}\n"
    "\n"
    "Bonjour {fullName},\n"
    "\n"
    "Je vous remercie d'avoir pris le temps de me rencontrer lors de {event}.\n"
    "\n"
    "Ce fut un plaisir d'échanger avec vous le {meetingDate}, et je souhaite donner suite à notre "
    "discussion.\n"
    "\n"
    "Concernant les points abordés : {noteFirstLine}\n"
    "\n"
    "Ce serait un plaisir d'étudier ensemble les possibilités de collaboration avec {company}.\n"
    "\n"
    "N'hésitez pas à m'indiquer le moment qui vous conviendrait pour un prochain rendez-vous.\n"
    "\n"
    "Avec mes salutations distinguées,\n"
    "{myName}\n";

}  // namespace

std::string_view builtInFollowUpTemplate(std::string_view tone, AppLanguage language) {
  const bool french = language == AppLanguage::fr;
  if (tone == "warm") return french ? kWarmFrench : kWarmEnglish;
  if (tone == "formal") return french ? kFormalFrench : kFormalEnglish;
  return french ? kNeutralFrench : kNeutralEnglish;
}

std::string followUpTemplateText(const AppSettings& settings, std::string_view tone,
                                 AppLanguage language) {
  const auto setting =
      std::find_if(kFollowUpTemplateSettings.begin(), kFollowUpTemplateSettings.end(),
                   [&](const FollowUpTemplateSetting& s) { return s.tone == tone; });
  const std::string_view key =
      setting == kFollowUpTemplateSettings.end() ? kFollowUpTemplateNeutralKey : setting->key;
  // Every key of the table is a known setting, so `get` only fails for a bug.
  if (auto stored = settings.get(key); stored && !stored->empty()) return std::move(*stored);
  return std::string(builtInFollowUpTemplate(tone, language));
}

}  // namespace qm
