#include "ui/dashboard.h"

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <unordered_set>

#include "common/text.h"

namespace qm {

namespace {

bool missingEmail(const ListContact& c) {
  return !c.email || c.email->empty();
}

bool tierIs(const ListContact& c, char letter) {
  if (!c.tier || c.tier->size() != 1) return false;
  const char t = (*c.tier)[0];
  return t == letter || t == letter - 'A' + 'a';
}

bool isMet(const ListContact& c) {
  return c.status == MeetingStatus::met || !c.alsoMetBy.empty();
}

std::string plural(std::int64_t n) {
  return n == 1 ? "" : "s";
}

DashboardItem allCaughtUp() {
  return {"allCaughtUp", 0, std::string(kAllCaughtUpText), std::string(kAllCaughtUpIcon)};
}

}  // namespace

bool countsTowardAction(std::string_view kind, const ListContact& c) {
  if (kind == "missingEmails") return missingEmail(c);
  if (kind == "highPriorityOpen") return tierIs(c, 'A') && c.status != MeetingStatus::met;
  if (kind == "crmReady")
    return (tierIs(c, 'A') || tierIs(c, 'B')) && !missingEmail(c) &&
           c.enrichmentState() == EnrichmentState::complete;
  if (kind == "dataIssues")
    return c.enrichmentState() == EnrichmentState::partial || !c.conflicts().empty();
  if (kind == "unownedMet") return isMet(c) && !c.ownedBy;
  return false;
}

NextActionCounts nextActionCounts(std::span<const ListContact> eventContacts,
                                  std::span<const FollowUpDraft> drafts) {
  NextActionCounts n;
  std::unordered_set<Uuid> ids;
  ids.reserve(eventContacts.size());
  for (const ListContact& c : eventContacts) {
    ids.insert(c.id);
    n.missingEmails += countsTowardAction("missingEmails", c);
    n.highPriorityOpen += countsTowardAction("highPriorityOpen", c);
    n.crmReady += countsTowardAction("crmReady", c);
    n.dataIssues += countsTowardAction("dataIssues", c);
    n.unownedMet += countsTowardAction("unownedMet", c);
  }
  for (const FollowUpDraft& d : drafts)
    if (d.status == "approved" && d.contactID && ids.contains(*d.contactID)) ++n.approvedDrafts;
  return n;
}

std::vector<const ListContact*> priorityContacts(std::span<const ListContact> eventContacts,
                                                 std::size_t limit) {
  std::vector<const ListContact*> picked;
  for (const ListContact& c : eventContacts)
    if (!isMet(c) && (c.isTarget || tierIs(c, 'A'))) picked.push_back(&c);
  const auto key = [](const ListContact* c) {
    return std::tuple(!c->isTarget, c->isTarget ? c->rank.value_or(INT64_MAX) : INT64_MAX,
                      -c->overallScore.value_or(0));
  };
  std::stable_sort(picked.begin(), picked.end(),
                   [&](const ListContact* a, const ListContact* b) { return key(a) < key(b); });
  if (picked.size() > limit) picked.resize(limit);
  return picked;
}

std::vector<const ListContact*> recentlyMetContacts(std::span<const ListContact> eventContacts,
                                                    std::size_t limit) {
  std::vector<const ListContact*> met;
  for (const ListContact& c : eventContacts)
    if (c.status == MeetingStatus::met && c.metAt) met.push_back(&c);
  std::stable_sort(met.begin(), met.end(), [](const ListContact* a, const ListContact* b) {
    return *a->metAt > *b->metAt;
  });
  if (met.size() > limit) met.resize(limit);
  return met;
}

std::vector<DashboardItem> nextActions(const NextActionCounts& c) {
  std::vector<DashboardItem> items;
  auto add = [&](std::int64_t n, const char* kind, std::string text, const char* icon) {
    if (n >= 1) items.push_back({kind, n, std::move(text), icon});
  };
  const auto s = [](std::int64_t n) { return std::to_string(n); };
  add(c.approvedDrafts, "reviewDrafts",
      "Review " + s(c.approvedDrafts) + " draft" + plural(c.approvedDrafts), "envelope.fill");
  add(c.missingEmails, "missingEmails",
      "Fix " + s(c.missingEmails) + " missing email" + plural(c.missingEmails), "at");
  add(c.highPriorityOpen, "highPriorityOpen",
      "Follow up with " + s(c.highPriorityOpen) + " high-priority contact" +
          plural(c.highPriorityOpen),
      "flame.fill");
  add(c.crmReady, "crmReady", "Export " + s(c.crmReady) + " CRM-ready contact" + plural(c.crmReady),
      "arrow.up.right");
  add(c.dataIssues, "dataIssues",
      "Review " + s(c.dataIssues) + " contact" + plural(c.dataIssues) + " with data issues",
      "exclamationmark.triangle");
  add(c.unownedMet, "unownedMet",
      "Assign owners to " + s(c.unownedMet) + " contact" + plural(c.unownedMet),
      "person.badge.key");
  if (items.empty()) items.push_back(allCaughtUp());
  return items;
}

std::vector<PipelineTotal> pipelineTotals(std::span<const Opportunity> opportunities) {
  std::vector<PipelineTotal> totals;
  for (const Opportunity& o : opportunities) {
    if (!o.value) continue;
    auto it = std::find_if(totals.begin(), totals.end(),
                           [&](const PipelineTotal& t) { return t.currency == o.currency; });
    if (it == totals.end()) {
      totals.push_back({o.currency, *o.value});
    } else {
      it->amount += *o.value;
    }
  }
  if (totals.empty()) totals.push_back({"EUR", 0});
  return totals;
}

void orderPortfolio(std::vector<PortfolioEvent>& events) {
  std::erase_if(events, [](const PortfolioEvent& e) { return e.event.isArchived; });
  std::stable_sort(events.begin(), events.end(),
                   [](const PortfolioEvent& a, const PortfolioEvent& b) {
                     return comesFirstInPortfolio(a.event, b.event);
                   });
}

bool comesFirstInPortfolio(const Event& a, const Event& b) {
  if (a.startDate.has_value() != b.startDate.has_value()) return a.startDate.has_value();
  return a.startDate && *a.startDate > *b.startDate;
}

AttentionCounts& operator+=(AttentionCounts& a, const AttentionCounts& b) {
  a.eventsWithoutMeetings += b.eventsWithoutMeetings;
  a.missingEmailContacts += b.missingEmailContacts;
  a.missingEmailEvents += b.missingEmailEvents;
  a.opportunitiesWithoutNextStep += b.opportunitiesWithoutNextStep;
  a.untieredContacts += b.untieredContacts;
  a.contacts += b.contacts;
  return a;
}

AttentionCounts attentionCounts(std::span<const PortfolioEvent> events) {
  AttentionCounts n;
  for (const PortfolioEvent& e : events) {
    if (e.event.isArchived) continue;
    const auto& contacts = e.contacts;
    n.contacts += static_cast<std::int64_t>(contacts.size());
    if (!contacts.empty() &&
        std::none_of(contacts.begin(), contacts.end(),
                     [](const ListContact& c) { return c.status == MeetingStatus::met; }))
      ++n.eventsWithoutMeetings;
    const auto missing = std::count_if(contacts.begin(), contacts.end(), missingEmail);
    n.missingEmailContacts += missing;
    if (missing > 0) ++n.missingEmailEvents;
    n.opportunitiesWithoutNextStep += std::count_if(
        e.opportunities.begin(), e.opportunities.end(),
        [](const Opportunity& o) { return trimUnicodeWhitespace(o.nextStep).empty(); });
    n.untieredContacts += std::count_if(contacts.begin(), contacts.end(), [](const ListContact& c) {
      return !c.tier || trimUnicodeWhitespace(*c.tier).empty();
    });
  }
  return n;
}

std::vector<DashboardItem> attentionItems(const AttentionCounts& c) {
  std::vector<DashboardItem> items;
  const auto s = [](std::int64_t n) { return std::to_string(n); };
  if (c.eventsWithoutMeetings >= 1)
    items.push_back({"eventsWithoutMeetings", c.eventsWithoutMeetings,
                     s(c.eventsWithoutMeetings) + " event" + plural(c.eventsWithoutMeetings) +
                         " with no meetings yet",
                     "person.fill.questionmark"});
  if (c.missingEmailContacts >= 1)
    items.push_back({"missingEmails", c.missingEmailContacts,
                     s(c.missingEmailContacts) + " contact" + plural(c.missingEmailContacts) +
                         " missing email across " + s(c.missingEmailEvents) + " event" +
                         plural(c.missingEmailEvents),
                     "at"});
  if (c.opportunitiesWithoutNextStep >= 1)
    items.push_back({"opportunitiesWithoutNextStep", c.opportunitiesWithoutNextStep,
                     s(c.opportunitiesWithoutNextStep) + " opportunit" +
                         (c.opportunitiesWithoutNextStep == 1 ? "y" : "ies") +
                         " without next steps",
                     "exclamationmark.triangle"});
  const double share = static_cast<double>(c.untieredContacts) /
                       static_cast<double>(std::max<std::int64_t>(c.contacts, 1));
  if (c.untieredContacts >= 1 && share > 0.5)
    items.push_back({"untieredContacts", c.untieredContacts,
                     s(c.untieredContacts) + " contact" + plural(c.untieredContacts) +
                         " without tier assignment",
                     "tag"});
  if (items.empty()) items.push_back(allCaughtUp());
  return items;
}

}  // namespace qm
