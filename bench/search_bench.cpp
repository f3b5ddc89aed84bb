// Global search benchmark: 50,000 contacts in 20 events with two notes each
// (every sixth contact with a CJK name), plus opportunities and drafts.
// Measures the index build, the index refresh after one new note, one edited
// contact and one note written by another connection (against the build),
// two-word global searches (with accents, without them, in CJK, finding
// nothing) and a scoped search, each against the plain scan of the scoring
// rule (`referenceSearch`) in the same run, and checks that both give the
// same results.
#include <array>
#include <chrono>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "bench_contacts.h"
#include "bench_support.h"
#include "common/date.h"
#include "common/log.h"
#include "search/reference_search.h"
#include "search/search_index.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace qm::bench {
namespace {

constexpr int kEvents = 20;
constexpr int kContactsPerEvent = 2'500;
constexpr int kNotesPerContact = 2;
constexpr int kOpportunitiesPerEvent = 40;
constexpr int kDraftsPerEvent = 100;
constexpr int kRepetitions = 9;
constexpr double kSearchTargetMs = 15;
constexpr double kRefreshTargetMs = 10;

constexpr std::array<std::string_view, 12> kCities{"Hamburg", "München", "Lyon",   "São Paulo",
                                                   "Tokyo",   "Osaka",   "Oslo",   "Kraków",
                                                   "Austin",  "Hà Nội",  "Zürich", "Göteborg"};
constexpr std::array<std::string_view, 8> kIndustries{
    "Logistics", "Robotics", "Energy", "Retail", "Healthcare", "Software", "Aerospace", "Food"};
constexpr std::array<std::string_view, 10> kNoteOpenings{
    "Met at the booth;",       "Stopped by after the keynote,", "Introduced by a partner:",
    "Quick chat at lunch —",   "Scanned badge at the demo,",    "Follow-up from last year;",
    "Asked many questions,",   "Long talk about integration;",  "Came with two colleagues,",
    "Visited on the last day,"};
constexpr std::array<std::string_view, 10> kNoteTopics{"interested in a pilot for the warehouse.",
                                                       "wants pricing for 200 seats.",
                                                       "evaluating vendors until the next quarter.",
                                                       "needs an on-premise option.",
                                                       "asked about the API and SSO.",
                                                       "budget approved for Q3.",
                                                       "prefers a call in two weeks.",
                                                       "comparing us with two competitors.",
                                                       "would like a case study in their industry.",
                                                       "send the datasheet and a quote."};

/// Every sixth contact has a Japanese, Chinese or Korean name.
constexpr std::array<std::string_view, 6> kEastAsianFirst{"太郎", "花子", "伟",
                                                          "芳",   "민준", "서연"};
constexpr std::array<std::string_view, 6> kEastAsianLast{"田中", "佐藤", "王", "李", "김", "박"};

/// The two-word queries a person types: a name and a company, a first and a
/// last name, a company and a title, a word of the notes and a city; typed
/// with the accents, without them (found folded), and in CJK.
constexpr std::array<std::string_view, 12> kQueries{
    "anna schmidt",  "quantix cto",  "helios müller", "pilot hamburg",
    "nakamura kumo", "nordlicht vp", "jansen buyer",  "tokyo sales",
    "muller helios", "sao paulo",    "田中 kumo",     "zqxj nowhere"};

Status fill(Store& store) {
  Rng rng(20240601);
  return store.transaction([&]() -> Status {
    std::vector<Contact> drafted;
    for (int e = 0; e < kEvents; ++e) {
      Event event = Event::create("Trade Fair " + std::to_string(2001 + e));
      event.location = std::string(kCities[static_cast<std::size_t>(e) % kCities.size()]);
      QM_TRY(store.insert(event));
      for (int i = 0; i < kContactsPerEvent; ++i) {
        Contact c = benchContact(rng, static_cast<std::size_t>(i), event.id);
        if (i % 6 == 0) {
          c.firstName = std::string(kEastAsianFirst[rng.below(kEastAsianFirst.size())]);
          c.lastName = std::string(kEastAsianLast[rng.below(kEastAsianLast.size())]);
        }
        c.phone = "+49 40 " + std::to_string(1000000 + rng.below(8999999));
        c.city = std::string(kCities[rng.below(kCities.size())]);
        c.country = "Germany";
        c.companyIndustry = std::string(kIndustries[rng.below(kIndustries.size())]);
        if (i % 3 == 0) c.whyMeet = "Decision maker for " + *c.companyIndustry + " purchases";
        if (i % 4 == 0)
          c.aiSummary = c.firstName + " leads " + *c.title + " topics at " + c.company + ".";
        QM_TRY(store.insert(c));
        for (int n = 0; n < kNotesPerContact; ++n) {
          ContactNote note;
          note.id = Uuid::random();
          note.syncID = Uuid::random();
          note.contactID = c.id;
          note.createdAt = note.updatedAt = now();
          note.textContent = std::string(kNoteOpenings[rng.below(kNoteOpenings.size())]) + " " +
                             std::string(kNoteTopics[rng.below(kNoteTopics.size())]);
          QM_TRY(store.insert(note));
        }
        if (i % (kContactsPerEvent / kDraftsPerEvent) == 0) drafted.push_back(c);
      }
      for (int k = 0; k < kOpportunitiesPerEvent; ++k) {
        const BenchCompany& company = kCompanies[rng.below(kCompanies.size())];
        Opportunity o = Opportunity::create(std::string(company.name) + " rollout",
                                            std::string(company.name), event.id);
        o.value = static_cast<double>(5000 + rng.below(200000));
        o.nextStep = "Send proposal";
        QM_TRY(store.insert(o));
      }
    }
    for (const Contact& c : drafted) {
      QM_TRY(store.insert(FollowUpDraft::create("Great meeting you, " + c.firstName,
                                                "Thanks for stopping by our booth.", c.id)));
    }
    return {};
  });
}

double millisSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

class SummaryTable : public SummaryTableBase {
 public:
  void millis(const std::string& label, const Timing& t, std::optional<double> targetMs) {
    row(label, fixed(t.median, 2) + " ms", fixed(t.min, 2), fixed(t.max, 2),
        targetMs ? "<= " + fixed(*targetMs, 0) + " ms" : "",
        targetMs ? verdict(t.median <= *targetMs) : "");
  }
  void ratio(const std::string& label, double value) {
    row(label, fixed(value, 0) + "x", "", "", "", "");
  }
  void check(const std::string& label, bool same) {
    row(label, same ? "equal" : "DIFFER", "", "", "equal", verdict(same));
  }
  void error(const std::string& label, const std::string& message) { errorRow(label, message); }
};

int run() {
  test::TempDir dir;
  auto opened = Store::open(dir / "QuillmereMac.store");
  if (!opened) {
    std::cerr << opened.error().message << "\n";
    return 1;
  }
  Store& store = **opened;
  std::cout << "Filling " << kEvents * kContactsPerEvent << " contacts in " << kEvents
            << " events, " << kNotesPerContact << " notes each...\n";
  if (Status filled = fill(store); !filled) {
    std::cerr << filled.error().message << "\n";
    return 1;
  }
  SummaryTable table;
  bool same = true;
  std::size_t hits = 0;

  // Building the index from the store, from nothing.
  std::vector<double> buildMs;
  std::unique_ptr<SearchIndex> index;
  for (int i = 0; i < 3; ++i) {
    index = std::make_unique<SearchIndex>("en_US");
    const auto start = std::chrono::steady_clock::now();
    if (Status built = index->refresh(store); !built) {
      table.error("index build", built.error().message);
      return 1;
    }
    buildMs.push_back(millisSince(start));
  }

  // Global searches: each query timed repeatedly (the refresh that finds
  // nothing changed included, as the engine runs it), the plain scan once.
  std::vector<double> fastMs, plainMs;
  for (std::string_view query : kQueries) {
    std::optional<SearchResults> fast;
    for (int i = 0; i < kRepetitions; ++i) {
      const auto start = std::chrono::steady_clock::now();
      (void)index->refresh(store);
      fast = index->search(query, std::nullopt);
      fastMs.push_back(millisSince(start));
    }
    const auto start = std::chrono::steady_clock::now();
    auto plain = referenceSearch(store, query, std::nullopt, "en_US");
    plainMs.push_back(millisSince(start));
    if (!fast || !plain || !sameResults(*fast, *plain)) {
      same = false;
      std::cout << "results differ for \"" << query << "\"\n";
    }
    std::size_t found = 0;
    if (fast)
      for (const auto& [category, list] : *fast) found += list.size();
    std::cout << "  \"" << query << "\": " << found << " hits\n";
    hits += found;
  }

  // A search scoped to one event.
  auto events = store.fetchOnly<Event>({"id"});
  const Uuid scope = events && !events->empty() ? (*events)[events->size() / 2].id : Uuid{};
  std::vector<double> scopedFastMs, scopedPlainMs;
  for (std::string_view query : kQueries) {
    std::optional<SearchResults> fast;
    for (int i = 0; i < 3; ++i) {
      const auto start = std::chrono::steady_clock::now();
      (void)index->refresh(store);
      fast = index->search(query, scope);
      scopedFastMs.push_back(millisSince(start));
    }
    const auto start = std::chrono::steady_clock::now();
    auto plain = referenceSearch(store, query, scope, "en_US");
    scopedPlainMs.push_back(millisSince(start));
    if (!fast || !plain || !sameResults(*fast, *plain)) {
      same = false;
      std::cout << "scoped results differ for \"" << query << "\"\n";
    }
  }

  // Changes between two searches, each followed by the refresh that brings
  // them into the index: a new note, an edited contact (this connection, as
  // the companion writes) and a note written by another connection (as the
  // window sees the companion's writes).
  std::vector<double> noteRefreshMs, contactRefreshMs, otherRefreshMs;
  auto someContacts = store.fetch<Contact>({{"eventID", scope}});
  auto other = Store::openAnother(store.file());
  auto newNote = [&](const Contact& c, std::string text) {
    ContactNote note;
    note.id = Uuid::random();
    note.syncID = Uuid::random();
    note.contactID = c.id;
    note.createdAt = note.updatedAt = now();
    note.textContent = std::move(text);
    return note;
  };
  auto timedRefresh = [&](std::vector<double>& ms) {
    const auto start = std::chrono::steady_clock::now();
    if (Status refreshed = index->refresh(store); !refreshed)
      table.error("index refresh", refreshed.error().message);
    ms.push_back(millisSince(start));
  };
  for (int i = 0; i < 5 && someContacts && someContacts->size() > 10 && other; ++i) {
    (void)store.insert(newNote((*someContacts)[static_cast<std::size_t>(i)],
                               "Wants a demo of the zeppelin module"));
    timedRefresh(noteRefreshMs);
    Contact edited = (*someContacts)[static_cast<std::size_t>(5 + i)];
    edited.title = "Chief Zeppelin Officer";
    (void)store.update(edited);
    timedRefresh(contactRefreshMs);
    (void)(*other)->insert(
        newNote((*someContacts)[static_cast<std::size_t>(10 + i)], "Asked about the zeppelin"));
    timedRefresh(otherRefreshMs);
  }
  auto afterNote = index->search("zeppelin module", std::nullopt);
  auto afterNotePlain = referenceSearch(store, "zeppelin module", std::nullopt, "en_US");
  auto afterAll = index->search("zeppelin", std::nullopt);
  auto afterAllPlain = referenceSearch(store, "zeppelin", std::nullopt, "en_US");
  if (!afterNote || !afterNotePlain || !sameResults(*afterNote, *afterNotePlain) ||
      afterNote->at(SearchResultCategory::contacts).size() != 5 || !afterAll || !afterAllPlain ||
      !sameResults(*afterAll, *afterAllPlain) ||
      afterAll->at(SearchResultCategory::contacts).size() != 15)
    same = false;

  std::cout << "\n"
            << hits << " hits over " << kQueries.size() << " queries; median of " << kRepetitions
            << " runs per query\n\n";
  table.header();
  const Timing search = summarise(fastMs);
  const Timing plain = summarise(plainMs);
  table.millis("two-word global search (index)", search, kSearchTargetMs);
  table.millis("  plain scan of the rule (baseline)", plain, std::nullopt);
  table.ratio("  plain scan time / index time", plain.median / search.median);
  const Timing scoped = summarise(scopedFastMs);
  table.millis("two-word search scoped to one event (index)", scoped, kSearchTargetMs);
  table.millis("  plain scan of the rule (baseline)", summarise(scopedPlainMs), std::nullopt);
  table.millis("index build (50k contacts, 100k notes)", summarise(buildMs), std::nullopt);
  if (!noteRefreshMs.empty()) {
    const double build = summarise(buildMs).median;
    auto refreshRow = [&](const std::string& label, const std::vector<double>& ms) {
      const Timing t = summarise(ms);
      table.millis(label, t, kRefreshTargetMs);
      table.ratio("  index build time / refresh time", build / t.median);
    };
    refreshRow("index refresh after one new note", noteRefreshMs);
    refreshRow("index refresh after one edited contact", contactRefreshMs);
    refreshRow("index refresh, note by another connection", otherRefreshMs);
  }
  table.check("index results == plain scan results", same);
  std::cout << table.closingLine("") << "\n";
  return table.anyError() || !table.allMet() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main() {
  qm::log::setLevel(spdlog::level::warn);
  return qm::bench::run();
}
