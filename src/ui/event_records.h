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

namespace qm {

class Store;

/// The contact fields the lists, the company roll-up and the dashboard read;
/// `EventRecords` holds only these (the rest keep their defaults), which makes
/// an event of tens of thousands of contacts several times faster to read.
extern const std::vector<std::string_view> kListContactFields;

/// What an event's lists and dashboard are computed from, read in one go.
struct EventRecords {
  /// In stored order, with `kListContactFields` read; empty when the event
  /// does not exist (any more).
  std::vector<Contact> contacts;
  std::unordered_set<Uuid> contactsWithNotes;
  std::vector<Opportunity> opportunities;
  /// The approved drafts of the store (the dashboard counts those of the
  /// event's contacts).
  std::vector<FollowUpDraft> approvedDrafts;
};

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
