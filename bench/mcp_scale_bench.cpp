// MCP tools at large-store scale: every one of the sixteen tools called on a
// store of 100,000 contacts, once with all of them in one event and once
// spread over 50 events, beside the same calls on 10,000 contacts in one event
// measured in the same run (the ratio reads independently of how fast this
// machine happens to be).
//
// Each case runs in a child process of its own, so its peak resident set
// (getrusage ru_maxrss) is its own: the child fills a fresh store in one
// transaction, contact by contact (never holding them all), adds notes,
// captures, drafts, opportunities with stakeholders and reports beside them,
// then calls the tools through the tool handlers directly (no HTTP; the
// listener's own cost is mcp_bench's subject). Round 0 calls every tool once
// in catalogue order, each on tool handlers of its own: its figures are the
// first calls, including anything a tool builds on first use. Further rounds
// call them again in the same order on one set of handlers; since
// update_contact_status writes a contact in every round, each round's reads
// also pay for whatever a changed contact costs them. The repeated figure is
// the median over those rounds.
//
// Targets: every tool's first call and median at most 20 ms, and the peak
// resident set at most 150 MB, in both 100,000-contact cases. The extra
// list_contacts and search_contacts shapes are shown against the same line
// but not judged. A case
// is cut short after kRoundsTimeLimit (at least kMinRounds rounds) and a child
// is killed when it outlives kCaseTimeout.
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench_contacts.h"
#include "bench_support.h"
#include "common/log.h"
#include "common/result.h"
#include "mcp/mcp_tool_handlers.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/saved_report.h"
#include "store/store.h"
#include "support/desktop_services.h"
#include "support/temp_dir.h"

namespace qm::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using JSON = nlohmann::json;

constexpr double kCallTargetMs = 20.0;
constexpr double kPeakTargetMB = 150.0;

/// Rounds after the first; fewer when kRoundsTimeLimit runs out first.
constexpr int kRepeatRounds = 10;
constexpr int kMinRounds = 2;
constexpr auto kRoundsTimeLimit = 60s;
constexpr auto kCaseTimeout = 300s;

/// Beside every 100th contact a text note and a business card, beside every
/// 1,000th also a voice note; a draft for every 500th; kOpportunities
/// opportunities over the events, each with one stakeholder; a report per event.
constexpr std::size_t kNoteEvery = 100;
constexpr std::size_t kVoiceEvery = 1000;
constexpr std::size_t kDraftEvery = 500;
constexpr std::size_t kOpportunities = 100;
/// Every 50th contact has no company (listed as "Unknown Company" by the stats).
constexpr std::size_t kNoCompanyEvery = 50;
/// Every sixth contact works for a Japanese, Chinese or Korean company.
constexpr std::size_t kEastAsianEvery = 6;
constexpr std::array<std::string_view, 4> kEastAsianCompanies{"株式会社クモ", "東京精機",
                                                              "北京光电", "서울로보틱스"};
/// The contact the per-contact tools ask about: it has notes and a capture.
constexpr std::size_t kProbeContact = 1000;

struct Case {
  std::string label;
  std::size_t contacts;
  std::size_t events;
};

const Case kBaseline{"10,000 contacts, one event", 10'000, 1};
const Case kCases[] = {kBaseline,
                       {"100,000 contacts, one event", 100'000, 1},
                       {"100,000 contacts over 50 events", 100'000, 50}};

// ---------------------------------------------------------------------------
// The child: fill, call, report

/// The records the tool arguments name.
struct Probes {
  Uuid event;
  Uuid contact;
  Uuid voiceNote;
  Uuid opportunity;
};

Date minutesAfter(Date start, std::size_t n) {
  return start + std::chrono::minutes(static_cast<std::int64_t>(n));
}

/// Fills `store` with `c` in one transaction, writing each record as it is made.
Result<Probes> fill(Store& store, const Case& c) {
  Probes probes;
  const Date start = now() - std::chrono::hours(24 * 30);
  Status filled = store.transaction([&]() -> Status {
    std::vector<Uuid> events;
    for (std::size_t e = 0; e < c.events; ++e) {
      Event event = Event::create("Expo " + std::to_string(e + 1));
      event.location = "Hall " + std::to_string(1 + e % 9);
      event.createdAt = minutesAfter(start, e);
      QM_TRY(store.insert(event));
      SavedReport report = SavedReport::create(
          "event", "Summary of " + event.name + ": leads, follow-ups.", event.id);
      QM_TRY(store.insert(report));
      events.push_back(event.id);
    }
    probes.event = events.front();

    Rng rng(20'251);
    std::vector<Uuid> stakeholders;
    for (std::size_t i = 0; i < c.contacts; ++i) {
      Contact contact = benchContact(rng, i, events[i % events.size()]);
      if (i % kNoCompanyEvery == 0) contact.company.clear();
      if (i % kEastAsianEvery == 0)
        contact.company = std::string(kEastAsianCompanies[i % kEastAsianCompanies.size()]);
      if (contact.status == MeetingStatus::met)
        contact.interactionRating = static_cast<std::int64_t>(1 + i % 5);
      QM_TRY(store.insert(contact));
      if (i == kProbeContact) probes.contact = contact.id;
      if (stakeholders.size() < kOpportunities && i % 7 == 3) stakeholders.push_back(contact.id);

      if (i % kNoteEvery == 0) {
        ContactNote note;
        note.id = note.syncID = Uuid::random();
        note.contactID = contact.id;
        note.createdAt = note.updatedAt = minutesAfter(start, i);
        note.textContent = "Met at the booth; wants a pilot in Q3.";
        QM_TRY(store.insert(note));

        CaptureMedia card;
        card.id = Uuid::random();
        card.contactID = contact.id;
        card.capturedAt = note.createdAt;
        card.captureType = CaptureType::businessCard;
        card.imageFileName = contact.id.str() + ".jpg";
        card.ocrExtractedText = contact.fullName() + "\n" + contact.company;
        QM_TRY(store.insert(card));
      }
      if (i % kVoiceEvery == 0) {
        ContactNote voice;
        voice.id = voice.syncID = Uuid::random();
        voice.contactID = contact.id;
        voice.createdAt = voice.updatedAt = minutesAfter(start, i + 1);
        voice.noteType = NoteType::voice;
        voice.transcriptionRaw = "so um they need forty units by March";
        voice.transcriptionProcessed = "They need forty units by March.";
        voice.transcriptionLanguage = "en";
        QM_TRY(store.insert(voice));
        if (i == kProbeContact) probes.voiceNote = voice.id;
      }
      if (i % kDraftEvery == 0) {
        FollowUpDraft draft = FollowUpDraft::create(
            "Following up from " + std::string("the expo"),
            "Hi " + contact.firstName + ",\n\ngreat to meet you at our booth.", contact.id);
        draft.generatedAt = minutesAfter(start, i);
        draft.status = i % 3 == 0 ? "sent" : "draft";
        QM_TRY(store.insert(draft));
      }
    }

    for (std::size_t k = 0; k < kOpportunities; ++k) {
      Opportunity o = Opportunity::create("Pilot " + std::to_string(k + 1),
                                          std::string(kCompanies[k % kCompanies.size()].name),
                                          events[k % events.size()]);
      o.createdAt = o.updatedAt = minutesAfter(start, k);
      o.value = 1000.0 * static_cast<double>(1 + k % 40);
      QM_TRY(store.insert(o));
      if (k == 0) probes.opportunity = o.id;
      if (k < stakeholders.size())
        QM_TRY(store.insert(OpportunityStakeholder::create(stakeholders[k], o.id, "Buyer")));
    }
    return {};
  });
  if (!filled) return filled.error();
  return probes;
}

/// The sixteen calls in catalogue order, then, for information, two of
/// list_contacts' costliest shapes ("tool:shape"): a query no contact matches
/// (every contact of the event is examined) and a filtered page far down the
/// list; and search_contacts for a name with and without its accent, a CJK
/// company and a text nobody has (every contact of its window is examined).
std::vector<std::pair<std::string, JSON>> calls(const Probes& p) {
  const std::string event = p.event.str();
  const std::string contact = p.contact.str();
  return {
      {"list_events", JSON::object()},
      {"get_event", {{"event_id", event}}},
      {"get_event_stats", {{"event_id", event}}},
      {"list_contacts", {{"event_id", event}, {"limit", 100}}},
      {"search_contacts", {{"query", std::string(kSearchQuery)}}},
      {"get_contact", {{"contact_id", contact}}},
      {"list_notes", {{"contact_id", contact}}},
      {"get_voice_transcript", {{"note_id", p.voiceNote.str()}}},
      {"list_opportunities", JSON::object()},
      {"list_drafts", JSON::object()},
      {"list_captures", {{"contact_id", contact}}},
      {"list_reports", {{"event_id", event}}},
      {"create_note", {{"contact_id", contact}, {"text", "Asked for a quote."}}},
      {"update_contact_status", {{"contact_id", contact}, {"status", "met"}, {"rating", 4}}},
      {"create_opportunity",
       {{"event_id", event}, {"title", "Expansion"}, {"company_name", "Acme"}, {"value", 2500}}},
      {"update_opportunity", {{"opportunity_id", p.opportunity.str()}, {"stage", "Proposal"}}},
      {"list_contacts:no-match", {{"event_id", event}, {"query", "zq"}}},
      {"list_contacts:met-p9",
       {{"event_id", event}, {"status", "met"}, {"offset", 4000}, {"limit", 500}}},
      {"search_contacts:müller", {{"query", "müller"}}},
      {"search_contacts:muller", {{"query", "muller"}}},
      {"search_contacts:クモ", {{"query", "クモ"}}},
      {"search_contacts:no-match", {{"query", "zqxw"}}},
  };
}

long peakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

/// What a child reports, one line per figure:
///   fill <seconds> <peak KiB after filling>
///   tool <name> <first ms> <rounds> <ms of each later round...>
///   peak <KiB>
///   error <message>
std::string runCase(const Case& c) {
  std::ostringstream out;
  test::TempDir folder;
  auto opened = Store::open(folder / "QuillmereMac.store");
  if (!opened) return "error open store: " + opened.error().message + "\n";
  Store& store = **opened;

  const auto fillStart = Clock::now();
  auto probes = fill(store, c);
  if (!probes) return "error fill store: " + probes.error().message + "\n";
  out << "fill " << std::chrono::duration<double>(Clock::now() - fillStart).count() << " "
      << peakResidentKiB() << "\n";

  test::DesktopServices services(folder.path());
  mcp::MCPToolHandlers shared(store, services.settings, services.identity);
  const auto list = calls(*probes);
  std::vector<std::vector<double>> millis(list.size());
  const auto roundsStart = Clock::now();
  for (int round = 0; round <= kRepeatRounds; ++round) {
    if (round >= kMinRounds && Clock::now() - roundsStart > kRoundsTimeLimit) break;
    for (std::size_t t = 0; t < list.size(); ++t) {
      // Round 0 gives each call tool handlers of its own, so that every first
      // call pays for whatever its tool builds on first use.
      std::optional<mcp::MCPToolHandlers> fresh;
      if (round == 0) fresh.emplace(store, services.settings, services.identity);
      mcp::MCPToolHandlers& tools = fresh ? *fresh : shared;
      const std::string tool = list[t].first.substr(0, list[t].first.find(':'));
      const auto start = Clock::now();
      const mcp::ToolOutcome outcome = tools.callTool(tool, list[t].second);
      millis[t].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      if (outcome.isError)
        return out.str() + "error " + list[t].first + " failed: " + outcome.text.substr(0, 200) +
               "\n";
    }
  }
  for (std::size_t t = 0; t < list.size(); ++t) {
    out << "tool " << list[t].first << " " << millis[t].size();
    for (double ms : millis[t]) out << " " << ms;
    out << "\n";
  }
  out << "peak " << peakResidentKiB() << "\n";
  return out.str();
}

// ---------------------------------------------------------------------------
// The parent: one child per case, bounded in time

struct ToolFigures {
  double first = 0;
  std::optional<Timing> repeated;  ///< over the rounds after the first
};

struct CaseResult {
  static CaseResult failure(std::string message) {
    CaseResult r;
    r.error = std::move(message);
    return r;
  }

  double fillSeconds = 0;
  double fillPeakMB = 0;
  double peakMB = 0;
  int rounds = 0;
  std::vector<std::pair<std::string, ToolFigures>> tools;
  std::optional<std::string> error;
};

CaseResult parse(const std::string& text) {
  CaseResult r;
  std::istringstream in(text);
  std::string line;
  bool sawPeak = false;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "fill") {
      long kib = 0;
      fields >> r.fillSeconds >> kib;
      r.fillPeakMB = static_cast<double>(kib) / 1024.0;
    } else if (kind == "tool") {
      std::string name;
      std::size_t n = 0;
      fields >> name >> n;
      std::vector<double> ms(n);
      for (double& m : ms) fields >> m;
      if (!fields || ms.empty()) return CaseResult::failure("unreadable report: " + line);
      ToolFigures f{ms.front(), std::nullopt};
      if (ms.size() > 1) f.repeated = summarise({ms.begin() + 1, ms.end()});
      r.rounds = static_cast<int>(ms.size());
      r.tools.emplace_back(std::move(name), f);
    } else if (kind == "peak") {
      long kib = 0;
      fields >> kib;
      r.peakMB = static_cast<double>(kib) / 1024.0;
      sawPeak = true;
    } else if (kind == "error") {
      r.error = line.substr(6);
    }
  }
  if (!r.error && !sawPeak) r.error = "the case ended without reporting (crashed?)";
  return r;
}

/// Runs `c` in a child process and collects its report; kills the child when
/// it outlives kCaseTimeout.
CaseResult runChild(const Case& c) {
  int fds[2];
  if (pipe(fds) != 0) return CaseResult::failure(std::string("pipe: ") + std::strerror(errno));
  std::cout.flush();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return CaseResult::failure(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    close(fds[0]);
    std::string report;
    try {
      report = runCase(c);
    } catch (const std::exception& e) {
      report = std::string("error ") + e.what() + "\n";
    }
    const char* p = report.data();
    std::size_t left = report.size();
    while (left > 0) {
      const ssize_t n = write(fds[1], p, left);
      if (n <= 0 && errno != EINTR) break;
      if (n > 0) p += n, left -= static_cast<std::size_t>(n);
    }
    close(fds[1]);
    _exit(0);
  }

  close(fds[1]);
  std::string text;
  const auto deadline = Clock::now() + kCaseTimeout;
  bool timedOut = false;
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left <= 0ms) {
      timedOut = true;
      break;
    }
    pollfd pfd{fds[0], POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      timedOut = ready == 0;
      break;
    }
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut)
    return CaseResult::failure("stopped after " + std::to_string(kCaseTimeout.count()) + " s");
  CaseResult result = parse(text);
  if (!result.error && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
    result.error = "the case's process ended abnormally";
  return result;
}

// ---------------------------------------------------------------------------
// Summary

class ScaleTable : public SummaryTableBase {
 public:
  void header() const {
    std::cout << std::left << std::setw(24) << "tool" << std::right << std::setw(11) << "first"
              << std::setw(11) << "median" << std::setw(11) << "min" << std::setw(11) << "max"
              << std::setw(12) << "vs 10k" << std::setw(14) << "target" << std::setw(8) << "result"
              << "\n"
              << std::string(102, '-') << "\n";
  }

  /// One tool: first call and the later rounds, the median as a multiple of
  /// the baseline's median; judged when `judged`, shown for information only
  /// when `extra`.
  void tool(const std::string& name, const ToolFigures& f, const ToolFigures* baseline, bool judged,
            bool extra) {
    std::string ratio;
    if (baseline && baseline->repeated && f.repeated && baseline->repeated->median > 0)
      ratio = fixed(f.repeated->median / baseline->repeated->median, 1) + "x";
    const bool met =
        f.first <= kCallTargetMs && (!f.repeated || f.repeated->median <= kCallTargetMs);
    line(name, ms(f.first), f.repeated ? ms(f.repeated->median) : "",
         f.repeated ? ms(f.repeated->min) : "", f.repeated ? ms(f.repeated->max) : "", ratio,
         judged ? "<= " + fixed(kCallTargetMs, 0) + " ms" : "",
         !judged ? ""
         : extra ? "info"
                 : verdict(met));
  }

  void peak(double mb, bool judged) {
    line("peak resident set", fixed(mb, 1) + " MB", "", "", "", "",
         judged ? "<= " + fixed(kPeakTargetMB, 0) + " MB" : "",
         judged ? verdict(mb <= kPeakTargetMB) : "");
  }

  void failed(const std::string& label, const std::string& message) { errorRow(label, message); }

 private:
  static std::string ms(double v) { return fixed(v, 2); }
  static void line(const std::string& label, const std::string& first, const std::string& median,
                   const std::string& lo, const std::string& hi, const std::string& ratio,
                   const std::string& target, const std::string& result) {
    std::cout << std::left << std::setw(24) << label << std::right << std::setw(11) << first
              << std::setw(11) << median << std::setw(11) << lo << std::setw(11) << hi
              << std::setw(12) << ratio << std::setw(14) << target << std::setw(8) << result
              << "\n";
  }
};

int runBenchmarks() {
  std::cout << "MCP tools on large stores: each case in a process of its own; times in ms,\n"
            << "first = round 0 (including whatever a tool builds on first use), median/min/max\n"
            << "= the later rounds; vs 10k = median over the 10,000-contact median.\n";
  ScaleTable table;
  std::map<std::string, ToolFigures> baseline;
  for (const Case& c : kCases) {
    const bool judged = c.contacts > kBaseline.contacts;
    std::cout << "\n=== " << c.label << " ===" << std::endl;
    const CaseResult r = runChild(c);
    if (r.error) {
      table.failed(c.label, *r.error);
      continue;
    }
    std::cout << "filled in " << SummaryTableBase::fixed(r.fillSeconds, 2) << " s (peak "
              << SummaryTableBase::fixed(r.fillPeakMB, 1) << " MB by then); " << r.rounds
              << " rounds\n";
    table.header();
    for (const auto& [name, figures] : r.tools) {
      auto it = baseline.find(name);
      table.tool(name, figures, judged && it != baseline.end() ? &it->second : nullptr, judged,
                 name.find(':') != std::string::npos);
    }
    table.peak(r.peakMB, judged);
    if (&c == &kCases[0])
      for (const auto& [name, figures] : r.tools) baseline[name] = figures;
  }
  std::cout << "\n" << table.closingLine("a case did not run") << "\n";
  return table.anyError() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main() {
  qm::log::setLevel(spdlog::level::warn);
  return qm::bench::runBenchmarks();
}
