#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/result.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "ui/dashboard.h"
#include "ui/list_contact.h"

namespace qm {

class Store;

/// What an event's lists and dashboard are computed from, read in one go.
struct EventRecords {
  /// In stored order; empty when the event does not exist (any more).
  std::vector<ListContact> contacts;
  std::unordered_set<Uuid> contactsWithNotes;
  std::vector<Opportunity> opportunities;
  /// The approved drafts of the store (the dashboard counts those of the
  /// event's contacts).
  std::vector<FollowUpDraft> approvedDrafts;
};

/// The contacts of `eventID` in stored order, with the fields `fields` read
/// (the others keep their defaults). Read one at a time, so that only the
/// slim copies are ever held.
Result<std::vector<ListContact>> listContactsOf(
    Store& store, const Uuid& eventID,
    const std::vector<std::string_view>& fields = kListContactFields);

Result<EventRecords> loadEventRecords(Store& store, const Uuid& eventID);

/// What the charts read besides `EventRecords`: every draft (id, addressee
/// and status only) and every link between a contact and an opportunity.
struct ChartExtras {
  std::vector<FollowUpDraft> drafts;
  std::vector<OpportunityStakeholder> stakeholders;
};

Result<ChartExtras> loadChartExtras(Store& store);

/// One line of the portfolio's table of events.
struct PortfolioRow {
  Event event;
  std::int64_t contacts = 0;
  std::int64_t met = 0;
  std::int64_t opportunities = 0;
  /// The opportunities' values, per currency (`pipelineTotals`).
  std::vector<PipelineTotal> pipeline;
};

/// What the portfolio dashboard shows: the events that are not archived, in
/// portfolio order (latest start first), and their attention counts.
struct PortfolioSummary {
  std::vector<PortfolioRow> events;
  AttentionCounts counts;
};

/// Reads the portfolio one event at a time, and of each contact only what the
/// figures use, so that memory follows the largest event rather than the
/// whole store.
Result<PortfolioSummary> loadPortfolioSummary(Store& store);

}  // namespace qm
