#pragma once

#include <unordered_set>
#include <vector>

#include "common/result.h"
#include "store/contact.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "ui/dashboard.h"

namespace qm {

class Store;

/// What an event's lists and dashboard are computed from, read in one go.
struct EventRecords {
  /// In stored order; empty when the event does not exist (any more).
  std::vector<Contact> contacts;
  std::unordered_set<Uuid> contactsWithNotes;
  std::vector<Opportunity> opportunities;
  /// The approved drafts of the store (the dashboard counts those of the
  /// event's contacts).
  std::vector<FollowUpDraft> approvedDrafts;
};

Result<EventRecords> loadEventRecords(Store& store, const Uuid& eventID);

/// Every event that is not archived with its contacts and opportunities, in
/// portfolio order (latest start first). The contacts hold only id, status,
/// alsoMetBy, email and tier; the opportunities only id, nextStep, value and
/// currency: what the attention items and the portfolio table read.
Result<std::vector<PortfolioEvent>> loadPortfolio(Store& store);

}  // namespace qm
