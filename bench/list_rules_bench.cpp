// List rules at trade-show scale: one event of 10,000 contacts with
// international names (Latin with accents, Han, Hangul), tiers, ratings,
// meetings by the user and by teammates, notes and opportunities. Times
// `visibleContacts` with all seven chips on, with a realistic mix of chips and
// a search, and with no chip and a full sort by name and by "Targets First";
// the company roll-up; an event's dashboard; and the portfolio over ten such
// events. Baselines in the same run: a plain filter loop over the same
// contacts, and std::stable_sort of them by a precomputed byte key (what a
// sort costs without collation keys), so the figures read as ratios. Then
// one keystroke in the search of a 50,000-contact event, folded and not,
// beside the lower-casing of every text that filtering cost before folding.
#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench_contacts.h"
#include "bench_support.h"
#include "common/text.h"
#include "ui/company_list.h"
#include "ui/contact_list.h"
#include "ui/dashboard.h"

namespace qm::bench {
namespace {

constexpr std::size_t kContacts = 10'000;
constexpr int kRounds = 21;
constexpr double kListTargetMs = 10.0;
constexpr std::size_t kBigEvent = 50'000;
constexpr double kKeystrokeTargetMs = 50.0;
/// What a person types in the big event's search: a first letter (nearly
/// everyone stays, to be ordered), a name with its accent and without, a
/// prefix, a CJK name, and a text nobody has.
constexpr std::array<std::string_view, 6> kTyped = {"a", "müller", "muller", "gar", "田中", "zqx"};

constexpr std::array<std::string_view, 8> kEastAsianFirst = {"太郎", "花子", "伟",   "芳",
                                                             "민준", "서연", "翔太", "美咲"};
constexpr std::array<std::string_view, 8> kEastAsianLast = {"田中", "佐藤", "王",   "李",
                                                            "김",   "박",   "鈴木", "陈"};

std::vector<ListContact> eventContacts(const Uuid& eventID, std::uint64_t seed,
                                       std::size_t count = kContacts) {
  Rng rng(seed);
  std::vector<ListContact> contacts;
  contacts.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    Contact c = benchContact(rng, i, eventID);
    if (i % 6 == 0) {
      c.firstName = std::string(kEastAsianFirst[rng.below(kEastAsianFirst.size())]);
      c.lastName = std::string(kEastAsianLast[rng.below(kEastAsianLast.size())]);
    }
    static constexpr std::array<const char*, 5> kTiers = {"A", "b", "C", "", "D"};
    if (i % 9 != 0) c.tier = kTiers[rng.below(kTiers.size())];
    if (c.status == MeetingStatus::met) {
      c.metAt = dateFromUnixSeconds(1'780'000'000 + static_cast<std::int64_t>(rng.below(400'000)));
      c.interactionRating = static_cast<std::int64_t>(rng.below(6));
    }
    if (i % 8 == 1) c.alsoMetBy = {"Kim", "Ola"};
    if (i % 11 == 0) c.isFavorite = true;
    if (i % 4 != 3) c.overallScore = static_cast<double>(rng.below(1000)) / 10.0;
    c.actionPlanEditedByUser = i % 13 == 0;
    if (i % 17 == 0) c.email.reset();
    if (i % 3 == 0) c.enrichmentStatus = i % 2 ? "complete" : "partial";
    if (i % 23 != 0) c.ownedBy = "Sam";
    contacts.push_back(std::move(c));
  }
  return contacts;
}

std::vector<Opportunity> eventOpportunities(const Uuid& eventID) {
  std::vector<Opportunity> out;
  for (std::size_t i = 0; i < 500; ++i) {
    Opportunity o = Opportunity::create("Deal " + std::to_string(i), "Acme", eventID);
    if (i % 3 != 0) o.value = 1000.0 * static_cast<double>(i % 50);
    o.currency = i % 5 == 0 ? "USD" : "EUR";
    if (i % 4 == 0) o.nextStep = "Call back";
    out.push_back(std::move(o));
  }
  return out;
}

Timing time(const std::function<std::size_t()>& run, std::size_t& sink) {
  std::vector<double> ms;
  for (int r = 0; r < kRounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    sink += run();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  return summarise(ms);
}

class ListTable : public SummaryTableBase {
 public:
  void measured(const std::string& label, const Timing& t, std::optional<double> targetMs) {
    row(label, fixed(t.median, 3) + " ms", fixed(t.min, 3), fixed(t.max, 3),
        targetMs ? "<= " + fixed(*targetMs, 0) + " ms" : "baseline",
        targetMs ? verdict(t.median <= *targetMs) : "");
  }
};

int run() {
  const Uuid eventID = Uuid::random();
  const std::vector<ListContact> contacts = eventContacts(eventID, 7);
  std::unordered_set<Uuid> withNotes;
  for (std::size_t i = 0; i < contacts.size(); i += 2) withNotes.insert(contacts[i].id);
  const std::vector<Opportunity> opportunities = eventOpportunities(eventID);
  std::vector<FollowUpDraft> drafts;
  for (std::size_t i = 0; i < contacts.size(); i += 7) {
    FollowUpDraft d = FollowUpDraft::create("s", "b", contacts[i].id);
    d.status = i % 2 ? "approved" : "draft";
    drafts.push_back(std::move(d));
  }
  std::vector<PortfolioEvent> portfolio;
  for (std::uint64_t e = 0; e < 10; ++e) {
    PortfolioEvent p{Event::create("Expo " + std::to_string(e)), {}, {}};
    p.contacts = eventContacts(p.event.id, 100 + e);
    p.contacts.resize(1'000);
    p.opportunities = eventOpportunities(p.event.id);
    portfolio.push_back(std::move(p));
  }

  std::size_t sink = 0;
  ListTable table;
  std::cout << "List rules over one event of " << kContacts << " contacts (median of " << kRounds
            << " rounds)\n\n";
  table.header();

  // Baselines: a plain filter loop, and a stable sort by a precomputed byte key.
  table.measured("baseline: plain filter loop (met, rated >= 3)",
                 time(
                     [&] {
                       std::size_t kept = 0;
                       for (const Contact& c : contacts)
                         kept +=
                             c.status == MeetingStatus::met && c.interactionRating.value_or(0) >= 3;
                       return kept;
                     },
                     sink),
                 std::nullopt);
  table.measured("baseline: stable_sort by precomputed key",
                 time(
                     [&] {
                       std::vector<std::pair<std::string, const ListContact*>> keyed;
                       keyed.reserve(contacts.size());
                       for (const Contact& c : contacts) keyed.emplace_back(c.fullName(), &c);
                       std::stable_sort(
                           keyed.begin(), keyed.end(),
                           [](const auto& a, const auto& b) { return a.first < b.first; });
                       return keyed.size();
                     },
                     sink),
                 std::nullopt);

  auto list = [&](ContactListState state) {
    return [&, state] { return visibleContacts(contacts, withNotes, state).size(); };
  };
  ContactListState all;
  for (const auto& chip : kFilterChips) all.*chip.state = true;
  all.searchText = "a";
  all.sortField = ContactSortField::name;
  table.measured("visibleContacts: all 7 chips, search, by name", time(list(all), sink),
                 kListTargetMs);

  // Met and Not Met exclude each other, so all seven chips leave nobody to
  // sort; a search alone keeps most of the event.
  ContactListState search;
  search.searchText = "an";
  table.measured("visibleContacts: search \"an\", by name", time(list(search), sink),
                 kListTargetMs);

  ContactListState mix;
  mix.filterMet = mix.filterNotes = true;
  mix.searchText = "er";
  mix.sortField = ContactSortField::company;
  table.measured("visibleContacts: Met+Notes, search, by company", time(list(mix), sink),
                 kListTargetMs);

  ContactListState byName;
  table.measured("visibleContacts: no chip, all 10,000 by name", time(list(byName), sink),
                 kListTargetMs);
  ContactListState targets;
  targets.sortField = ContactSortField::targetsFirst;
  targets.sortAscending = false;
  table.measured("visibleContacts: no chip, Targets First desc", time(list(targets), sink),
                 kListTargetMs);
  ContactListState tier;
  tier.sortField = ContactSortField::tier;
  table.measured("visibleContacts: no chip, by tier", time(list(tier), sink), kListTargetMs);

  table.measured("company roll-up, alphabetical",
                 time([&] { return visibleCompanies(contacts, {}).size(); }, sink), kListTargetMs);
  table.measured(
      "company roll-up, search \"an\", Best Rated",
      time(
          [&] {
            return visibleCompanies(contacts, {"an", CompanySortField::bestRated}).size();
          },
          sink),
      kListTargetMs);
  table.measured("dashboard: next actions + pipeline totals",
                 time(
                     [&] {
                       return nextActions(nextActionCounts(contacts, drafts)).size() +
                              pipelineTotals(opportunities).size();
                     },
                     sink),
                 kListTargetMs);
  table.measured("portfolio: 10 events x 1,000, attention items",
                 time([&] { return attentionItems(attentionCounts(portfolio)).size(); }, sink),
                 kListTargetMs);

  // One keystroke in the search of a 50,000-contact event, as the window runs
  // it: the contacts folded once when read, then each search text typed
  // compared and the list ordered by name. Baseline: what filtering cost
  // before folding, lower-casing every contact's texts at every keystroke.
  const std::vector<ListContact> big = eventContacts(eventID, 11, kBigEvent);
  std::cout << "\nOne event of " << kBigEvent << " contacts, typing in the search box\n";
  table.measured("fold the texts of 50,000 contacts, once",
                 time([&] { return ContactSearchTexts(big).size(); }, sink), std::nullopt);
  const ContactSearchTexts bigTexts(big);
  for (std::string_view typed : kTyped) {
    ContactListState keystroke;
    keystroke.searchText = std::string(typed);
    const std::string lowered = lowercaseUnicode(typed);
    table.measured("  baseline: lower-case every text, \"" + std::string(typed) + "\"",
                   time(
                       [&] {
                         std::size_t kept = 0;
                         for (const Contact& c : big) {
                           const auto holds = [&](std::string_view text) {
                             return lowercaseUnicode(text).find(lowered) != std::string::npos;
                           };
                           kept += holds(c.fullName()) || holds(c.company) ||
                                   (c.title && holds(*c.title)) || (c.email && holds(*c.email));
                         }
                         return kept;
                       },
                       sink),
                   std::nullopt);
    table.measured(
        "  folded texts: matching alone",
        time(
            [&] {
              const std::vector<bool> found = bigTexts.matching(typed);
              return static_cast<std::size_t>(std::count(found.begin(), found.end(), true));
            },
            sink),
        std::nullopt);
    table.measured(
        "keystroke \"" + std::string(typed) + "\", by name, 50k",
        time([&] { return visibleContacts(big, bigTexts, withNotes, keystroke).size(); }, sink),
        kKeystrokeTargetMs);
  }

  std::cout << "\n" << table.closingLine("") << " (checksum " << sink << ")\n";
  return table.allMet() ? 0 : 1;
}

}  // namespace
}  // namespace qm::bench

int main() {
  return qm::bench::run();
}
