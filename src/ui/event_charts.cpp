#include "ui/event_charts.h"

#include <algorithm>
#include <array>
#include <cctype>
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
  std::vector<std::pair<std::int64_t, const ListContact*>> met;  // local seconds
  for (const ListContact& c : r.contacts)
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

/// Where each of the event's contacts stands in stored order, so that the
/// steps below mark positions rather than fill sets of ids.
using Positions = std::unordered_map<Uuid, std::size_t>;
/// One flag per contact, in stored order.
using Marks = std::vector<char>;

/// The marked contacts, in stored order.
ChartBar barOfMarks(std::string key, std::span<const ListContact> contacts, const Marks& marks) {
  ChartBar bar;
  bar.key = std::move(key);
  for (std::size_t i = 0; i < contacts.size(); ++i)
    if (marks[i]) bar.contactIDs.push_back(contacts[i].id);
  bar.count = static_cast<std::int64_t>(bar.contactIDs.size());
  return bar;
}

template <class Pred>
ChartBar barWhere(std::string key, std::span<const ListContact> contacts, Pred pred) {
  ChartBar bar;
  bar.key = std::move(key);
  for (const ListContact& c : contacts)
    if (pred(c)) bar.contactIDs.push_back(c.id);
  bar.count = static_cast<std::int64_t>(bar.contactIDs.size());
  return bar;
}

/// The positions of the event's contacts each opportunity involves: its
/// origin and its stakeholders.
std::unordered_map<Uuid, std::vector<std::size_t>> contactsOfOpportunities(
    const ChartRecords& r, const Positions& positions) {
  std::unordered_map<Uuid, std::vector<std::size_t>> involved;
  for (const Opportunity& o : r.opportunities) {
    auto& list = involved[o.id];
    if (!o.originContactID) continue;
    if (auto at = positions.find(*o.originContactID); at != positions.end())
      list.push_back(at->second);
  }
  for (const OpportunityStakeholder& s : r.stakeholders) {
    if (!s.contactID || !s.opportunityID) continue;
    auto it = involved.find(*s.opportunityID);
    if (it == involved.end()) continue;
    if (auto at = positions.find(*s.contactID); at != positions.end())
      it->second.push_back(at->second);
  }
  return involved;
}

std::vector<ChartBar> funnelBars(
    const ChartRecords& r, const Positions& positions,
    const std::unordered_map<Uuid, std::vector<std::size_t>>& involved) {
  if (r.contacts.empty()) return {};
  Marks drafted(r.contacts.size(), 0);
  Marks approved(r.contacts.size(), 0);
  for (const FollowUpDraft& d : r.drafts) {
    if (!d.contactID) continue;
    auto at = positions.find(*d.contactID);
    if (at == positions.end()) continue;
    drafted[at->second] = 1;
    if (d.status == "approved" || d.status == "sent") approved[at->second] = 1;
  }
  Marks withOpportunity(r.contacts.size(), 0);
  for (const auto& [id, list] : involved)
    for (const std::size_t i : list) withOpportunity[i] = 1;
  std::vector<ChartBar> bars;
  bars.push_back(
      barWhere(std::string(kFunnelSteps[0]), r.contacts, [](const ListContact&) { return true; }));
  bars.push_back(barWhere(std::string(kFunnelSteps[1]), r.contacts,
                          [](const ListContact& c) { return c.status == MeetingStatus::met; }));
  bars.push_back(barWhere(std::string(kFunnelSteps[2]), r.contacts, [](const ListContact& c) {
    return c.interactionRating && *c.interactionRating >= 4;
  }));
  bars.push_back(barOfMarks(std::string(kFunnelSteps[3]), r.contacts, drafted));
  bars.push_back(barOfMarks(std::string(kFunnelSteps[4]), r.contacts, approved));
  bars.push_back(barOfMarks(std::string(kFunnelSteps[5]), r.contacts, withOpportunity));
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
    const std::unordered_map<Uuid, std::vector<std::size_t>>& involved) {
  if (r.opportunities.empty()) return {};
  struct Group {
    ChartBar bar;
    Marks contacts;
  };
  std::vector<Group> groups;
  std::unordered_map<std::string, std::size_t> byName;  // lower-cased stage name
  const auto addGroup = [&](const std::string& name, const std::string& colorHex) {
    Group g;
    g.bar.key = name;
    g.bar.colorHex = colorHex;
    g.contacts.assign(r.contacts.size(), 0);
    groups.push_back(std::move(g));
  };
  for (const PipelineStage& stage : stages)
    if (byName.try_emplace(lowercaseUnicode(stage.name), groups.size()).second)
      addGroup(stage.name, stage.colorHex);
  for (const Opportunity& o : r.opportunities) {
    auto [it, added] = byName.try_emplace(lowercaseUnicode(o.stage), groups.size());
    if (added) addGroup(o.stage, {});
    Group& g = groups[it->second];
    ++g.bar.count;
    addAmount(g.bar.amounts, o);
    if (auto found = involved.find(o.id); found != involved.end())
      for (const std::size_t i : found->second) g.contacts[i] = 1;
  }
  std::vector<ChartBar> bars;
  for (Group& g : groups) {
    const ChartBar marked = barOfMarks(g.bar.key, r.contacts, g.contacts);
    g.bar.contactIDs = marked.contactIDs;
    bars.push_back(std::move(g.bar));
  }
  return bars;
}

/// "A" for " a ", the trimmed text otherwise; "" for no tier.
std::string tierKey(const ListContact& c) {
  if (!c.tier) return {};
  std::string tier(trimUnicodeWhitespace(*c.tier));
  if (tier.size() == 1 && tier[0] >= 'a' && tier[0] <= 'z')
    tier[0] = static_cast<char>(tier[0] - 'a' + 'A');
  return tier;
}

std::vector<ChartBar> tierBars(std::span<const ListContact> contacts) {
  // Tiers are one letter nearly always: those are counted without a text of
  // their own for each contact.
  std::array<ChartBar, 26> letters;
  std::map<std::string, ChartBar> byTier;
  const auto letterOf = [](std::string_view tier) -> int {
    if (tier.size() != 1 || !std::isalpha(static_cast<unsigned char>(tier[0]))) return -1;
    return std::toupper(static_cast<unsigned char>(tier[0])) - 'A';
  };
  for (const ListContact& c : contacts) {
    int letter = c.tier ? letterOf(*c.tier) : -1;
    std::string key;
    if (letter < 0) {
      key = tierKey(c);
      letter = letterOf(key);
    }
    ChartBar& bar = letter >= 0 ? letters[static_cast<std::size_t>(letter)] : byTier[key];
    ++bar.count;
    bar.contactIDs.push_back(c.id);
  }
  for (std::size_t i = 0; i < letters.size(); ++i)
    if (letters[i].count > 0)
      byTier[std::string(1, static_cast<char>('A' + i))] = std::move(letters[i]);
  std::vector<ChartBar> bars;
  for (auto& [tier, bar] : byTier) {
    bar.key = tier;
    if (!tier.empty()) bars.push_back(std::move(bar));
  }
  if (auto none = byTier.find(std::string()); none != byTier.end())
    bars.push_back(std::move(none->second));
  return bars;
}

std::vector<ChartBar> ratingBars(std::span<const ListContact> contacts) {
  std::vector<ChartBar> bars(5);
  bool any = false;
  for (std::size_t i = 0; i < bars.size(); ++i) bars[i].key = std::to_string(i + 1);
  for (const ListContact& c : contacts) {
    if (!c.interactionRating || *c.interactionRating < 1 || *c.interactionRating > 5) continue;
    ChartBar& bar = bars[static_cast<std::size_t>(*c.interactionRating - 1)];
    ++bar.count;
    bar.contactIDs.push_back(c.id);
    any = true;
  }
  if (!any) bars.clear();
  return bars;
}

std::vector<ChartBar> teamBars(std::span<const ListContact> contacts) {
  // Names as views into the contacts, which outlive this function.
  std::unordered_map<std::string_view, ChartBar> byPerson;
  std::vector<std::string_view> people;
  for (const ListContact& c : contacts) {
    people.clear();
    if (c.status == MeetingStatus::met && c.capturedBy)
      people.push_back(trimUnicodeWhitespace(*c.capturedBy));
    for (const std::string& name : c.alsoMetBy) people.push_back(trimUnicodeWhitespace(name));
    for (std::size_t i = 0; i < people.size(); ++i) {
      const std::string_view person = people[i];
      if (person.empty() ||
          std::find(people.begin(), people.begin() + static_cast<std::ptrdiff_t>(i), person) !=
              people.begin() + static_cast<std::ptrdiff_t>(i))
        continue;  // nobody, or named twice for this contact
      ChartBar& bar = byPerson[person];
      ++bar.count;
      bar.contactIDs.push_back(c.id);
    }
  }
  if (byPerson.size() < 2) return {};
  std::vector<ChartBar> bars;
  for (auto& [person, bar] : byPerson) {
    bar.key = std::string(person);
    bars.push_back(std::move(bar));
  }
  std::sort(bars.begin(), bars.end(), [](const ChartBar& a, const ChartBar& b) {
    return a.count != b.count ? a.count > b.count : a.key < b.key;
  });
  return bars;
}

}  // namespace

EventCharts eventCharts(const ChartRecords& records, std::span<const PipelineStage> stages,
                        const UtcOffset& utcOffset) {
  Positions positions;
  positions.reserve(records.contacts.size());
  for (std::size_t i = 0; i < records.contacts.size(); ++i)
    positions.emplace(records.contacts[i].id, i);
  const auto involved = contactsOfOpportunities(records, positions);

  EventCharts charts;
  charts.meetings = meetingBars(records, utcOffset, charts.meetingBins);
  charts.funnel = funnelBars(records, positions, involved);
  charts.pipeline = pipelineBars(records, stages, involved);
  charts.tiers = tierBars(records.contacts);
  charts.ratings = ratingBars(records.contacts);
  charts.team = teamBars(records.contacts);
  return charts;
}

}  // namespace qm
