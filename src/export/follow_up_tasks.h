#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "common/date.h"
#include "common/result.h"
#include "common/uuid.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"

namespace qm {

class Store;

/// What a follow-up calendar is made from: one event, its contacts, their
/// drafts, its opportunities and the links to the contacts those involve, each
/// in stored order. `otherContacts` are contacts of other events that an
/// opportunity of this one involves.
struct FollowUpSources {
  Event event;
  std::vector<Contact> contacts;
  std::vector<Contact> otherContacts;
  std::vector<FollowUpDraft> drafts;
  std::vector<Opportunity> opportunities;
  std::vector<OpportunityStakeholder> stakeholders;
};

/// Reads the sources of the event `eventID` in one transaction, so the
/// calendar is one state of the store; `notFound` when there is no such event.
Result<FollowUpSources> loadFollowUpSources(Store& store, const Uuid& eventID);

enum class FollowUpTaskKind { followUp, nextStep };

/// The person a to-do is about, as the calendar shows them.
struct FollowUpPerson {
  std::string name;          ///< full name; empty when the record has none
  std::string company;       ///< may be empty
  std::string email;         ///< the draft's chosen address, else verified, else captured
  std::string draftSubject;  ///< of the newest unsent draft; empty when there is none
};

/// One to-do of the follow-up calendar: writing to a met contact, or an
/// opportunity's next step.
struct FollowUpTask {
  FollowUpTaskKind kind = FollowUpTaskKind::followUp;
  Uuid recordID;  ///< the contact's or the opportunity's id
  std::string title;
  FollowUpPerson person;
  /// Further lines of the description: the opportunity, its stage, the meeting.
  std::vector<std::string> details;
  std::chrono::year_month_day due;
};

/// The to-dos of `sources`, follow-ups first (in the contacts' stored order),
/// then next steps (in the opportunities' order):
/// - each met contact without a sent draft, due `dueDays` after the day of
///   the meeting (its `metAt`, else the event's start, else its date, else
///   `today`); not-met, declined and no-show contacts are left out;
/// - each opportunity whose next step has text, due `dueDays` after the day
///   it was recorded (`createdAt`), about its origin contact, else its first
///   stakeholder.
/// Days are those of the local time zone, as the person's calendar shows them.
std::vector<FollowUpTask> followUpTasks(const FollowUpSources& sources, int dueDays, Date today);

/// The calendar day of `date` in the local time zone.
std::chrono::year_month_day localDay(Date date);

}  // namespace qm
