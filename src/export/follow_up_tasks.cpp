#include "export/follow_up_tasks.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "common/text.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm {

namespace {

namespace chr = std::chrono;

std::string trimmed(std::string_view text) {
  return std::string(trimUnicodeWhitespace(text));
}

std::string isoDay(chr::year_month_day day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
  return text;
}

bool isSent(const FollowUpDraft& draft) {
  return draft.status == rawValue(DraftStatus::sent);
}

/// The time a draft was last written: edited, else generated.
Date writtenAt(const FollowUpDraft& draft) {
  return draft.editedAt.value_or(draft.generatedAt);
}

/// The contacts, their drafts and the people involved, indexed for lookup.
class People {
 public:
  explicit People(const FollowUpSources& sources) {
    for (const Contact& c : sources.contacts) contacts_.emplace(c.id, &c);
    for (const Contact& c : sources.otherContacts) contacts_.emplace(c.id, &c);
    for (const FollowUpDraft& d : sources.drafts) {
      if (!d.contactID) continue;
      if (isSent(d)) sent_.insert(*d.contactID);
      if (isSent(d) || d.status == rawValue(DraftStatus::dismissed)) continue;
      // The newest unsent draft is the one still to be sent.
      auto [at, added] = unsent_.emplace(*d.contactID, &d);
      if (!added && writtenAt(*at->second) < writtenAt(d)) at->second = &d;
    }
  }

  const Contact* contact(const std::optional<Uuid>& id) const {
    if (!id) return nullptr;
    auto found = contacts_.find(*id);
    return found == contacts_.end() ? nullptr : found->second;
  }
  bool wasWrittenTo(const Uuid& contactID) const { return sent_.contains(contactID); }

  FollowUpPerson person(const Contact& c) const {
    FollowUpPerson p{c.fullName(), trimmed(c.company), {}, {}};
    const auto draft = unsent_.find(c.id);
    if (draft != unsent_.end()) {
      p.draftSubject = trimmed(draft->second->subject);
      if (hasText(draft->second->recipientEmail)) p.email = *draft->second->recipientEmail;
    }
    if (p.email.empty())
      p.email = hasText(c.verifiedEmail) ? *c.verifiedEmail : c.email.value_or("");
    p.email = trimmed(p.email);
    return p;
  }

 private:
  std::map<Uuid, const Contact*> contacts_;
  std::set<Uuid> sent_;
  std::map<Uuid, const FollowUpDraft*> unsent_;
};

std::optional<Date> eventDay(const Event& event) {
  return event.startDate ? event.startDate : event.eventDate;
}

}  // namespace

chr::year_month_day localDay(Date date) {
  const time_t seconds = chr::system_clock::to_time_t(chr::time_point_cast<chr::seconds>(date));
  tm local{};
  localtime_r(&seconds, &local);
  return chr::year{local.tm_year + 1900} / chr::month{static_cast<unsigned>(local.tm_mon + 1)} /
         chr::day{static_cast<unsigned>(local.tm_mday)};
}

std::vector<FollowUpTask> followUpTasks(const FollowUpSources& sources, int dueDays, Date today) {
  const People people(sources);
  const auto dueAfter = [dueDays](Date from) {
    return chr::year_month_day{chr::sys_days{localDay(from)} + chr::days{dueDays}};
  };
  std::vector<FollowUpTask> tasks;
  for (const Contact& c : sources.contacts) {
    if (c.status != MeetingStatus::met || people.wasWrittenTo(c.id)) continue;
    FollowUpTask task;
    task.kind = FollowUpTaskKind::followUp;
    task.recordID = c.id;
    task.person = people.person(c);
    const std::string who = !task.person.name.empty()    ? task.person.name
                            : !task.person.email.empty() ? task.person.email
                                                         : c.displayCompany();
    task.title = "Follow up with " + who;
    if (!task.person.company.empty() && who != task.person.company)
      task.title += " (" + task.person.company + ")";
    const Date met = c.metAt.value_or(eventDay(sources.event).value_or(today));
    task.details.push_back("Met at " + sources.event.name + " on " + isoDay(localDay(met)));
    task.due = dueAfter(met);
    tasks.push_back(std::move(task));
  }
  for (const Opportunity& o : sources.opportunities) {
    const std::string step = trimmed(o.nextStep);
    if (step.empty()) continue;
    FollowUpTask task;
    task.kind = FollowUpTaskKind::nextStep;
    task.recordID = o.id;
    task.title = step;
    const Contact* who = people.contact(o.originContactID);
    for (const auto& link : sources.stakeholders) {
      if (who != nullptr) break;
      if (link.opportunityID == o.id) who = people.contact(link.contactID);
    }
    if (who != nullptr) task.person = people.person(*who);
    if (task.person.company.empty()) task.person.company = trimmed(o.companyName);
    task.details.push_back("Opportunity: " + trimmed(o.title));
    task.details.push_back("Stage: " + o.stage);
    if (hasText(o.timeline)) task.details.push_back("Timeline: " + *o.timeline);
    task.details.push_back("Event: " + sources.event.name);
    task.due = dueAfter(o.createdAt);
    tasks.push_back(std::move(task));
  }
  return tasks;
}

Result<FollowUpSources> loadFollowUpSources(Store& store, const Uuid& eventID) {
  FollowUpSources sources;
  QM_TRY(store.transaction([&]() -> Status {
    auto event = QM_TRY(store.find<Event>(eventID));
    if (!event) return Error(ErrorCode::notFound, "No event with id " + eventID.str());
    sources.event = std::move(*event);
    sources.contacts = QM_TRY(contactsOf(store, eventID));
    sources.opportunities = QM_TRY(opportunitiesOf(store, eventID));
    std::set<Uuid> ids;
    for (const Contact& c : sources.contacts) ids.insert(c.id);
    // Every draft but their bodies, which the calendar does not show.
    for (FollowUpDraft& d :
         QM_TRY(store.fetchOnly<FollowUpDraft>({"id", "subject", "status", "generatedAt",
                                                "editedAt", "contactID", "recipientEmail"})))
      if (d.contactID && ids.contains(*d.contactID)) sources.drafts.push_back(std::move(d));
    std::set<Uuid> others;
    for (const Opportunity& o : sources.opportunities) {
      for (auto& link : QM_TRY(stakeholdersOfOpportunity(store, o.id))) {
        if (link.contactID && !ids.contains(*link.contactID)) others.insert(*link.contactID);
        sources.stakeholders.push_back(std::move(link));
      }
      if (o.originContactID && !ids.contains(*o.originContactID)) others.insert(*o.originContactID);
    }
    for (const Uuid& id : others) {
      if (auto other = QM_TRY(store.find<Contact>(id))) sources.otherContacts.push_back(*other);
      for (auto& d : QM_TRY(draftsOf(store, id))) sources.drafts.push_back(std::move(d));
    }
    return {};
  }));
  return sources;
}

}  // namespace qm
