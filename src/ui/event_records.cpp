#include "ui/event_records.h"

#include "store/contact_queries.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm {

Result<EventRecords> loadEventRecords(Store& store, const Uuid& eventID) {
  EventRecords records;
  records.contacts = QM_TRY(contactsOf(store, eventID));
  const auto noteIDs = noteIDsOfEvent(store, eventID);
  if (!noteIDs) return noteIDs.error();
  for (const auto& [contactID, notes] : *noteIDs)
    if (!notes.empty()) records.contactsWithNotes.insert(contactID);
  records.opportunities = QM_TRY(opportunitiesOf(store, eventID));
  records.approvedDrafts =
      QM_TRY(store.fetch<FollowUpDraft>({Match{"status", std::string("approved")}}));
  return records;
}

Result<std::vector<PortfolioEvent>> loadPortfolio(Store& store) {
  std::vector<PortfolioEvent> events;
  auto stored = QM_TRY(store.fetch<Event>({Match{"isArchived", false}}));
  for (Event& event : stored) {
    PortfolioEvent e{std::move(event), {}, {}};
    // Only what the portfolio's figures read: a portfolio of 50,000 contacts
    // would otherwise read every enrichment text of every contact.
    e.contacts = QM_TRY(store.fetchOnly<Contact>(
        {"id", "eventID", "status", "alsoMetBy", "email", "tier"}, {{"eventID", e.event.id}}));
    e.opportunities = QM_TRY(store.fetchOnly<Opportunity>(
        {"id", "eventID", "nextStep", "value", "currency"}, {{"eventID", e.event.id}}));
    events.push_back(std::move(e));
  }
  orderPortfolio(events);
  return events;
}

}  // namespace qm
