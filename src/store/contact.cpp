#include "store/contact.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "common/text.h"

namespace qm {

QM_DEFINE_RECORD_FIELDS(Contact, QM_CONTACT_FIELDS)

Contact Contact::create(std::string first, std::string last, std::string companyName,
                        std::optional<Uuid> event) {
  Contact c;
  c.id = Uuid::random();
  c.syncID = Uuid::random();
  c.firstName = std::move(first);
  c.lastName = std::move(last);
  c.company = std::move(companyName);
  c.eventID = event;
  return c;
}

std::string joinedContactName(const std::string& first, const std::string& last) {
  return std::string(trimUnicodeWhitespace(first + " " + last));
}

EnrichmentState enrichmentStateOf(const std::optional<std::string>& enrichmentStatus) {
  if (!enrichmentStatus) return EnrichmentState::none;
  return parseEnum<EnrichmentState>(*enrichmentStatus).value_or(EnrichmentState::none);
}

std::vector<EnrichmentConflict> decodeEnrichmentConflicts(
    const std::optional<std::string>& enrichmentConflicts) {
  if (!enrichmentConflicts) return {};
  // Invalid UTF-8 makes the parser throw, like any other malformed text.
  auto doc = nlohmann::json::parse(*enrichmentConflicts, nullptr, /*allow_exceptions=*/false);
  if (!doc.is_array()) return {};
  std::vector<EnrichmentConflict> result;
  result.reserve(doc.size());
  try {
    for (const auto& item : doc) {
      EnrichmentConflict c;
      c.field = item.at("field").get<std::string>();
      c.existingValue = item.at("existingValue").get<std::string>();
      c.newValue = item.at("newValue").get<std::string>();
      c.source = item.at("source").get<std::string>();
      if (auto it = item.find("resolution"); it != item.end() && !it->is_null())
        c.resolution = it->get<std::string>();
      result.push_back(std::move(c));
    }
  } catch (const nlohmann::json::exception&) {
    return {};  // one malformed element makes the whole list unreadable
  }
  return result;
}

std::int64_t unresolvedConflictCountOf(const std::optional<std::string>& enrichmentConflicts) {
  const auto all = decodeEnrichmentConflicts(enrichmentConflicts);
  return std::ranges::count_if(
      all, [](const EnrichmentConflict& c) { return c.resolution != "user_resolved"; });
}

MeetingIndicator meetingIndicatorOf(bool isArchived, MeetingStatus status,
                                    const std::vector<std::string>& alsoMetBy, bool inEvent) {
  if (isArchived) return MeetingIndicator::archived;
  switch (status) {
    case MeetingStatus::declined:
      return MeetingIndicator::declined;
    case MeetingStatus::noShow:
      return MeetingIndicator::noShow;
    case MeetingStatus::met:
      return MeetingIndicator::met;
    case MeetingStatus::notMet:
      break;
  }
  if (!alsoMetBy.empty() && inEvent) return MeetingIndicator::metByTeammate;
  return MeetingIndicator::notMet;
}

std::string Contact::fullName() const {
  return joinedContactName(firstName, lastName);
}

std::string Contact::displayCompany() const {
  return company.empty() ? std::string("Unknown Company") : company;
}

EnrichmentState Contact::enrichmentState() const {
  return enrichmentStateOf(enrichmentStatus);
}

std::vector<EnrichmentConflict> Contact::conflicts() const {
  return decodeEnrichmentConflicts(enrichmentConflicts);
}

std::int64_t Contact::unresolvedConflictCount() const {
  return unresolvedConflictCountOf(enrichmentConflicts);
}

MeetingIndicator Contact::meetingIndicator() const {
  return meetingIndicatorOf(isArchived, status, alsoMetBy, eventID.has_value());
}

std::string encodeEnrichmentConflicts(const std::vector<EnrichmentConflict>& conflicts) {
  auto arr = nlohmann::json::array();
  for (const auto& c : conflicts) {
    nlohmann::json o{{"field", c.field},
                     {"existingValue", c.existingValue},
                     {"newValue", c.newValue},
                     {"source", c.source}};
    if (c.resolution) o["resolution"] = *c.resolution;
    arr.push_back(std::move(o));
  }
  return arr.dump();
}

}  // namespace qm
