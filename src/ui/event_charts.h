#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/uuid.h"
#include "settings/pipeline_manager.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "ui/dashboard.h"
#include "ui/list_contact.h"

namespace qm {

/// One bar of a chart: what it counts and the contacts behind the count, so
/// that choosing the bar can list them.
struct ChartBar {
  /// Stable name of the bar within its chart: "2026-03-14", "14" (an hour),
  /// a funnel step ("captured", "met", …), a stage's name, a tier, a rating
  /// ("1" … "5"), a team member's name.
  std::string key;
  std::int64_t count = 0;
  /// The contacts the bar stands for, in stored order, each once.
  std::vector<Uuid> contactIDs;
  /// Time bins: the bin's first second in local time, as seconds since
  /// 1970-01-01 of that local clock (so a calendar split gives the wall time).
  std::int64_t localStart = 0;
  /// Pipeline stages: the sum of the stage's opportunities, per currency in
  /// order of first appearance (nothing when none has a value).
  std::vector<PipelineTotal> amounts;
  /// Pipeline stages: the stage's colour, six hex digits; empty for a stage
  /// that is not among the user's stages.
  std::string colorHex;
};

/// How the meetings are binned.
enum class MeetingBins { days, hours };

/// The figures behind an event's charts; a chart without bars has nothing to
/// show (its view says so in a sentence).
struct EventCharts {
  /// Met contacts per local day over the show, or per hour when every meeting
  /// and the event itself fall on one day; consecutive bins from the first
  /// to the last (days without meetings show as empty bars, hours too), at
  /// most `kMaxMeetingBins`, beyond which only bins with meetings are kept.
  MeetingBins meetingBins = MeetingBins::days;
  std::vector<ChartBar> meetings;
  /// Always the six steps, in order: captured, met, rated (4–5), drafted
  /// (any follow-up draft), approved (a draft approved or sent), opportunity
  /// (origin or stakeholder of one of the event's opportunities). Each step
  /// counts the contacts that reached it; an event without contacts has no
  /// funnel.
  std::vector<ChartBar> funnel;
  /// One bar per pipeline stage in the stages' order (count = opportunities,
  /// amounts per currency), then one per stage name the user's stages do not
  /// have; no opportunities, no bars. The contacts are the opportunities'
  /// origins and stakeholders.
  std::vector<ChartBar> pipeline;
  /// Tiers A, B, C … in letter order, then "" for contacts without a tier;
  /// only tiers that occur.
  std::vector<ChartBar> tiers;
  /// Ratings "1" to "5", every one of them once any contact is rated.
  std::vector<ChartBar> ratings;
  /// Met contacts per team member (`capturedBy` of a met contact, and each of
  /// `alsoMetBy`), most first then by name; only when two or more people appear.
  std::vector<ChartBar> team;
};

/// More meeting bins than this keep only the bins with meetings.
inline constexpr std::size_t kMaxMeetingBins = 31;

/// The funnel steps' keys, in order.
inline constexpr std::array<std::string_view, 6> kFunnelSteps{
    "captured", "met", "rated", "drafted", "approved", "opportunity"};

/// What the charts of an event are computed from.
struct ChartRecords {
  std::span<const ListContact> contacts;
  std::span<const Opportunity> opportunities;
  /// Any drafts and links of the store: only those of the event's contacts
  /// and opportunities count.
  std::span<const FollowUpDraft> drafts;
  std::span<const OpportunityStakeholder> stakeholders;
  std::optional<Date> eventStart;
  std::optional<Date> eventEnd;
};

/// The local clock: the offset from UTC in seconds at a moment (given in
/// seconds since 1970 UTC). The window passes the system's time zone; tests a
/// fixed one.
using UtcOffset = std::function<std::int64_t(std::int64_t unixSeconds)>;

EventCharts eventCharts(const ChartRecords& records, std::span<const PipelineStage> stages,
                        const UtcOffset& utcOffset);

}  // namespace qm
