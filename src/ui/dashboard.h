#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "ui/list_contact.h"

namespace qm {

/// One line of a dashboard's "NEXT ACTIONS" or "ATTENTION ITEMS" section.
struct DashboardItem {
  /// Stable name for scripts: "reviewDrafts", "missingEmails", …, "allCaughtUp".
  std::string kind;
  std::int64_t count = 0;
  std::string text;
  std::string icon;
};

/// What the section shows when nothing is pending.
inline constexpr std::string_view kAllCaughtUpText = "All caught up \u2014 no pending actions";
inline constexpr std::string_view kAllCaughtUpIcon = "checkmark.seal.fill";

/// The six counts of an event's next actions.
struct NextActionCounts {
  std::int64_t approvedDrafts = 0;
  std::int64_t missingEmails = 0;
  std::int64_t highPriorityOpen = 0;
  std::int64_t crmReady = 0;
  std::int64_t dataIssues = 0;
  std::int64_t unownedMet = 0;
};

/// The counts over an event's contacts (empty for a deleted event) and the
/// drafts of the store (only those addressed to one of the contacts count).
NextActionCounts nextActionCounts(std::span<const ListContact> eventContacts,
                                  std::span<const FollowUpDraft> drafts);

/// Whether `contact` is one of those counted by the next action `kind`
/// ("missingEmails", "highPriorityOpen", "crmReady", "dataIssues",
/// "unownedMet"), so that choosing the action can list them.
bool countsTowardAction(std::string_view kind, const ListContact& contact);

/// The actions with a count of at least 1, in their fixed order, or the one
/// "All caught up" item when there are none.
std::vector<DashboardItem> nextActions(const NextActionCounts& counts);

/// The dashboard's "PRIORITY CONTACTS": contacts not yet met (by anyone) that
/// are targets or of tier A; targets first by rank, then by overall score,
/// highest first; at most `limit`.
std::vector<const ListContact*> priorityContacts(std::span<const ListContact> eventContacts,
                                                 std::size_t limit);

/// The dashboard's "RECENT ACTIVITY": met contacts with a meeting time, the
/// latest first; at most `limit`.
std::vector<const ListContact*> recentlyMetContacts(std::span<const ListContact> eventContacts,
                                                    std::size_t limit);

/// One currency's part of a pipeline total.
struct PipelineTotal {
  std::string currency;
  double amount = 0;
};

/// The sum of the values of an event's opportunities (in the event's order),
/// one total per currency in order of first appearance, so amounts in
/// different currencies are never added together. No valued opportunity gives
/// one total of 0 "EUR".
std::vector<PipelineTotal> pipelineTotals(std::span<const Opportunity> opportunities);

/// One event of the portfolio with its records.
struct PortfolioEvent {
  Event event;
  std::vector<ListContact> contacts;
  std::vector<Opportunity> opportunities;
};

/// The portfolio's events: those not archived, latest `startDate` first
/// (events without one last, in stored order).
void orderPortfolio(std::vector<PortfolioEvent>& events);
/// The portfolio's order: whether `a` comes before `b` (latest start first,
/// events without a start last).
bool comesFirstInPortfolio(const Event& a, const Event& b);

struct AttentionCounts {
  std::int64_t eventsWithoutMeetings = 0;
  std::int64_t missingEmailContacts = 0;
  std::int64_t missingEmailEvents = 0;
  std::int64_t opportunitiesWithoutNextStep = 0;
  std::int64_t untieredContacts = 0;
  std::int64_t contacts = 0;
};

/// The counts over the portfolio's events; archived events are skipped.
AttentionCounts attentionCounts(std::span<const PortfolioEvent> events);
/// Every count is a sum over events: the counts of two sets of events add up.
AttentionCounts& operator+=(AttentionCounts& a, const AttentionCounts& b);

/// The attention items that apply, in their fixed order, or the one
/// "All caught up" item.
std::vector<DashboardItem> attentionItems(const AttentionCounts& counts);

}  // namespace qm
