#include "ui/event_records.h"

#include <algorithm>
#include <span>

#include "store/contact_queries.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm {

Result<std::vector<ListContact>> listContactsOf(Store& store, const Uuid& eventID,
                                                const std::vector<std::string_view>& fields) {
  std::vector<ListContact> contacts;
  const std::vector<Match> where{{"eventID", eventID}};
  if (auto n = store.count<Contact>(where); n.ok()) contacts.reserve(static_cast<std::size_t>(*n));
  QM_TRY(
      store.forEachPositioned<Contact>(fields, where, [&](Store::Position, Contact& c) -> Status {
        contacts.emplace_back(std::move(c));
        return {};
      }));
  return contacts;
}

Result<EventRecords> loadEventRecords(Store& store, const Uuid& eventID) {
  EventRecords records;
  records.contacts = QM_TRY(listContactsOf(store, eventID, kListContactFields));
  const auto noteIDs = noteIDsOfEvent(store, eventID);
  if (!noteIDs) return noteIDs.error();
  for (const auto& [contactID, notes] : *noteIDs)
    if (!notes.empty()) records.contactsWithNotes.insert(contactID);
  records.opportunities = QM_TRY(opportunitiesOf(store, eventID));
  records.approvedDrafts =
      QM_TRY(store.fetch<FollowUpDraft>({Match{"status", std::string("approved")}}));
  return records;
}

Result<ChartExtras> loadChartExtras(Store& store) {
  ChartExtras extras;
  extras.drafts = QM_TRY(store.fetchOnly<FollowUpDraft>({"id", "contactID", "status"}));
  extras.stakeholders =
      QM_TRY(store.fetchOnly<OpportunityStakeholder>({"id", "contactID", "opportunityID"}));
  return extras;
}

Result<PortfolioSummary> loadPortfolioSummary(Store& store) {
  PortfolioSummary summary;
  auto stored = QM_TRY(store.fetch<Event>({Match{"isArchived", false}}));
  for (Event& event : stored) {
    PortfolioEvent e{std::move(event), {}, {}};
    e.contacts =
        QM_TRY(listContactsOf(store, e.event.id, {"id", "eventID", "status", "email", "tier"}));
    e.opportunities = QM_TRY(store.fetchOnly<Opportunity>(
        {"id", "eventID", "nextStep", "value", "currency"}, {{"eventID", e.event.id}}));
    summary.counts += attentionCounts(std::span(&e, 1));
    summary.events.push_back(
        {std::move(e.event), static_cast<std::int64_t>(e.contacts.size()), metCount(e.contacts),
         static_cast<std::int64_t>(e.opportunities.size()), pipelineTotals(e.opportunities)});
  }
  std::stable_sort(summary.events.begin(), summary.events.end(),
                   [](const PortfolioRow& a, const PortfolioRow& b) {
                     return comesFirstInPortfolio(a.event, b.event);
                   });
  return summary;
}

}  // namespace qm
