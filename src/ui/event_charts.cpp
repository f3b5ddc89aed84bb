#include "ui/event_charts.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "common/text.h"

namespace qm {

namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kHour = 3600;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::int64_t localSeconds(Date date, const UtcOffset& utcOffset) {
  const std::int64_t unix = floorDiv(unixMicros(date), 1'000'000);
  return unix + (utcOffset ? utcOffset(unix) : 0);
}

std::string twoDigits(std::int64_t n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

/// "2026-03-14" of a local day number (days since 1970-01-01).
std::string dayKey(std::int64_t day) {
  const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{day}}};
  return std::to_string(static_cast<int>(ymd.year())) + "-" +
         twoDigits(static_cast<unsigned>(ymd.month())) + "-" +
         twoDigits(static_cast<unsigned>(ymd.day()));
}

std::vector<ChartBar> meetingBars(const ChartRecords& r, const UtcOffset& utcOffset,
                                  MeetingBins& bins) {
  std::vector<std::pair<std::int64_t, const Contact*>> met;  // local seconds
  for (const Contact& c : r.contacts)
    if (c.status == MeetingStatus::met && c.metAt)
      met.emplace_back(localSeconds(*c.metAt, utcOffset), &c);
  if (met.empty()) return {};
  std::unordered_set<std::int64_t> days;
  for (const auto& [seconds, contact] : met) days.insert(floorDiv(seconds, kDay));
  for (const auto& date : {r.eventStart, r.eventEnd})
    if (date) days.insert(floorDiv(localSeconds(*date, utcOffset), kDay));
  bins = days.size() == 1 ? MeetingBins::hours : MeetingBins::days;
  const std::int64_t width = bins == MeetingBins::hours ? kHour : kDay;

  std::map<std::int64_t, ChartBar> byBin;
  for (const auto& [seconds, contact] : met) {
    ChartBar& bar = byBin[floorDiv(seconds, width)];
    ++bar.count;
    bar.contactIDs.push_back(contact->id);
  }
  const std::int64_t first = byBin.begin()->first;
  const std::int64_t last = byBin.rbegin()->first;
  if (static_cast<std::size_t>(last - first + 1) <= kMaxMeetingBins)
    for (std::int64_t bin = first; bin <= last; ++bin) byBin.try_emplace(bin);
  std::vector<ChartBar> bars;
  bars.reserve(byBin.size());
  for (auto& [bin, bar] : byBin) {
    bar.localStart = bin * width;
    bar.key = bins == MeetingBins::hours ? std::to_string(floorDiv(bin * width, kHour) % 24)
                                         : dayKey(bin);
    bars.push_back(std::move(bar));
  }
  return bars;
}

/// The contacts of `wanted`, in stored order.
ChartBar barOf(std::string key, std::span<const Contact> contacts,
               const std::unordered_set<Uuid>& wanted) {
  ChartBar bar;
  bar.key = std::move(key);
  for (const Contact& c : contacts)
    if (wanted.contains(c.id)) bar.contactIDs.push_back(c.id);
  bar.count = static_cast<std::int64_t>(bar.contactIDs.size());
  return bar;
}

template <class Pred>
ChartBar barWhere(std::string key, std::span<const Contact> contacts, Pred pred) {
  ChartBar bar;
  bar.key = std::move(key);
  for (const Contact& c : contacts)
    if (pred(c)) bar.contactIDs.push_back(c.id);
  bar.count = static_cast<std::int64_t>(bar.contactIDs.size());
  return bar;
}

/// The event's contacts each opportunity involves: its origin and its stakeholders.
std::unordered_map<Uuid, std::unordered_set<Uuid>> contactsOfOpportunities(
    const ChartRecords& r, const std::unordered_set<Uuid>& eventContacts) {
  std::unordered_map<Uuid, std::unordered_set<Uuid>> involved;
  for (const Opportunity& o : r.opportunities) {
    auto& set = involved[o.id];
    if (o.originContactID && eventContacts.contains(*o.originContactID))
      set.insert(*o.originContactID);
  }
  for (const OpportunityStakeholder& s : r.stakeholders) {
    if (!s.contactID || !s.opportunityID || !eventContacts.contains(*s.contactID)) continue;
    if (auto it = involved.find(*s.opportunityID); it != involved.end())
      it->second.insert(*s.contactID);
  }
  return involved;
}

std::vector<ChartBar> funnelBars(
    const ChartRecords& r, const std::unordered_set<Uuid>& eventContacts,
    const std::unordered_map<Uuid, std::unordered_set<Uuid>>& involved) {
  if (r.contacts.empty()) return {};
  std::unordered_set<Uuid> drafted;
  std::unordered_set<Uuid> approved;
  for (const FollowUpDraft& d : r.drafts) {
    if (!d.contactID || !eventContacts.contains(*d.contactID)) continue;
    drafted.insert(*d.contactID);
    if (d.status == "approved" || d.status == "sent") approved.insert(*d.contactID);
  }
  std::unordered_set<Uuid> withOpportunity;
  for (const auto& [id, contacts] : involved)
    withOpportunity.insert(contacts.begin(), contacts.end());
  std::vector<ChartBar> bars;
  bars.push_back(
      barWhere(std::string(kFunnelSteps[0]), r.contacts, [](const Contact&) { return true; }));
  bars.push_back(barWhere(std::string(kFunnelSteps[1]), r.contacts,
                          [](const Contact& c) { return c.status == MeetingStatus::met; }));
  bars.push_back(barWhere(std::string(kFunnelSteps[2]), r.contacts, [](const Contact& c) {
    return c.interactionRating && *c.interactionRating >= 4;
  }));
  bars.push_back(barOf(std::string(kFunnelSteps[3]), r.contacts, drafted));
  bars.push_back(barOf(std::string(kFunnelSteps[4]), r.contacts, approved));
  bars.push_back(barOf(std::string(kFunnelSteps[5]), r.contacts, withOpportunity));
  return bars;
}

void addAmount(std::vector<PipelineTotal>& amounts, const Opportunity& o) {
  if (!o.value) return;
  auto it = std::find_if(amounts.begin(), amounts.end(),
                         [&](const PipelineTotal& t) { return t.currency == o.currency; });
  if (it == amounts.end()) {
    amounts.push_back({o.currency, *o.value});
  } else {
    it->amount += *o.value;
  }
}

std::vector<ChartBar> pipelineBars(
    const ChartRecords& r, std::span<const PipelineStage> stages,
    const std::unordered_map<Uuid, std::unordered_set<Uuid>>& involved) {
  if (r.opportunities.empty()) return {};
  struct Group {
    ChartBar bar;
    std::unordered_set<Uuid> contacts;
  };
  std::vector<Group> groups;
  std::unordered_map<std::string, std::size_t> byName;  // lower-cased stage name
  for (const PipelineStage& stage : stages) {
    if (!byName.try_emplace(lowercaseUnicode(stage.name), groups.size()).second) continue;
    Group g;
    g.bar.key = stage.name;
    g.bar.colorHex = stage.colorHex;
    groups.push_back(std::move(g));
  }
  for (const Opportunity& o : r.opportunities) {
    auto [it, added] = byName.try_emplace(lowercaseUnicode(o.stage), groups.size());
    if (added) {
      Group g;
      g.bar.key = o.stage;
      groups.push_back(std::move(g));
    }
    Group& g = groups[it->second];
    ++g.bar.count;
    addAmount(g.bar.amounts, o);
    if (auto found = involved.find(o.id); found != involved.end())
      g.contacts.insert(found->second.begin(), found->second.end());
  }
  std::vector<ChartBar> bars;
  for (Group& g : groups) {
    for (const Contact& c : r.contacts)
      if (g.contacts.contains(c.id)) g.bar.contactIDs.push_back(c.id);
    bars.push_back(std::move(g.bar));
  }
  return bars;
}

/// "A" for " a ", the trimmed text otherwise; "" for no tier.
std::string tierKey(const Contact& c) {
  if (!c.tier) return {};
  std::string tier(trimUnicodeWhitespace(*c.tier));
  if (tier.size() == 1 && tier[0] >= 'a' && tier[0] <= 'z')
    tier[0] = static_cast<char>(tier[0] - 'a' + 'A');
  return tier;
}

std::vector<ChartBar> tierBars(std::span<const Contact> contacts) {
  std::map<std::string, ChartBar> byTier;
  for (const Contact& c : contacts) {
    ChartBar& bar = byTier[tierKey(c)];
    ++bar.count;
    bar.contactIDs.push_back(c.id);
  }
  std::vector<ChartBar> bars;
  for (auto& [tier, bar] : byTier) {
    bar.key = tier;
    if (!tier.empty()) bars.push_back(std::move(bar));
  }
  if (auto none = byTier.find(std::string()); none != byTier.end())
    bars.push_back(std::move(none->second));
  return bars;
}

std::vector<ChartBar> ratingBars(std::span<const Contact> contacts) {
  std::vector<ChartBar> bars(5);
  bool any = false;
  for (std::size_t i = 0; i < bars.size(); ++i) bars[i].key = std::to_string(i + 1);
  for (const Contact& c : contacts) {
    if (!c.interactionRating || *c.interactionRating < 1 || *c.interactionRating > 5) continue;
    ChartBar& bar = bars[static_cast<std::size_t>(*c.interactionRating - 1)];
    ++bar.count;
    bar.contactIDs.push_back(c.id);
    any = true;
  }
  if (!any) bars.clear();
  return bars;
}

std::vector<ChartBar> teamBars(std::span<const Contact> contacts) {
  std::map<std::string, ChartBar> byPerson;
  for (const Contact& c : contacts) {
    std::vector<std::string> people;
    if (c.status == MeetingStatus::met && c.capturedBy)
      people.emplace_back(trimUnicodeWhitespace(*c.capturedBy));
    for (const std::string& name : c.alsoMetBy) people.emplace_back(trimUnicodeWhitespace(name));
    std::sort(people.begin(), people.end());
    people.erase(std::unique(people.begin(), people.end()), people.end());
    for (const std::string& person : people) {
      if (person.empty()) continue;
      ChartBar& bar = byPerson[person];
      ++bar.count;
      bar.contactIDs.push_back(c.id);
    }
  }
  if (byPerson.size() < 2) return {};
  std::vector<ChartBar> bars;
  for (auto& [person, bar] : byPerson) {
    bar.key = person;
    bars.push_back(std::move(bar));
  }
  std::stable_sort(bars.begin(), bars.end(),
                   [](const ChartBar& a, const ChartBar& b) { return a.count > b.count; });
  return bars;
}

}  // namespace

EventCharts eventCharts(const ChartRecords& records, std::span<const PipelineStage> stages,
                        const UtcOffset& utcOffset) {
  std::unordered_set<Uuid> eventContacts;
  eventContacts.reserve(records.contacts.size());
  for (const Contact& c : records.contacts) eventContacts.insert(c.id);
  const auto involved = contactsOfOpportunities(records, eventContacts);

  EventCharts charts;
  charts.meetings = meetingBars(records, utcOffset, charts.meetingBins);
  charts.funnel = funnelBars(records, eventContacts, involved);
  charts.pipeline = pipelineBars(records, stages, involved);
  charts.tiers = tierBars(records.contacts);
  charts.ratings = ratingBars(records.contacts);
  charts.team = teamBars(records.contacts);
  return charts;
}

}  // namespace qm
