// Contact export benchmark: an event of 10,000 filled-in contacts with two
// notes each, exported in each of the six formats (the file built, then
// written whole and atomically), against two baselines from the same run: the
// same number of bytes copied with one memcpy, and every text of every contact
// appended to one string with commas and no quoting (the least a CSV writer
// must do).
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "bench_contacts.h"
#include "bench_support.h"
#include "common/atomic_file.h"
#include "common/log.h"
#include "export/contact_export.h"
#include "support/record_fillers.h"
#include "support/temp_dir.h"

namespace qm::bench {
namespace {

constexpr std::size_t kContacts = 10'000;
constexpr int kRepetitions = 7;
constexpr double kTargetMs = 150;
constexpr double kXlsxTargetMs = 1000;

/// Realistic trade-show contacts with every field filled, as a phone sends them.
std::vector<Contact> contacts() {
  Rng rng(7);
  test::SampleValues values(7, test::SampleStyle::phoneSnapshot, "Contact");
  const Uuid eventID = Uuid::random();
  std::vector<Contact> out;
  out.reserve(kContacts);
  for (std::size_t i = 0; i < kContacts; ++i) {
    Contact c = benchContact(rng, i, eventID);
    const Contact named = c;
    test::fillEveryField(c, values);
    c.firstName = named.firstName;
    c.lastName = named.lastName;
    c.company = named.company;
    c.email = named.email;
    c.status = named.status;
    c.isTarget = named.isTarget;
    c.overallScore = static_cast<double>(i % 100) / 10.0;
    c.interactionRating = static_cast<std::int64_t>(i % 5 + 1);
    out.push_back(std::move(c));
  }
  return out;
}

/// The event's name and two notes per contact, a typed one and a dictated
/// one, as the phone sends them.
ContactExportMeeting meetingOf(const std::vector<Contact>& contacts) {
  test::SampleValues values(11, test::SampleStyle::phoneSnapshot, "ContactNote");
  ContactExportMeeting meeting{.eventName = "Bench Expo", .notes = {}};
  for (const Contact& c : contacts) {
    auto& notes = meeting.notes[c.id];
    for (int i = 0; i < 2; ++i) {
      ContactNote note;
      test::fillEveryField(note, values);
      note.contactID = c.id;
      if (i == 0) note.cleanedText.reset();
      notes.push_back(std::move(note));
    }
  }
  return meeting;
}

class SummaryTable : public SummaryTableBase {
 public:
  void millis(const std::string& label, const Timing& t, std::optional<double> targetMs) {
    row(label, fixed(t.median, 1) + " ms", fixed(t.min, 1), fixed(t.max, 1),
        targetMs ? "<= " + fixed(*targetMs, 0) + " ms" : "baseline",
        targetMs ? verdict(t.median <= *targetMs) : "");
  }
  /// A measure shown for information, with neither target nor baseline role.
  void info(const std::string& label, const Timing& t) {
    row(label, fixed(t.median, 1) + " ms", fixed(t.min, 1), fixed(t.max, 1), "", "");
  }
  void error(const std::string& label, const std::string& message) { errorRow(label, message); }
};

/// Every text of every contact joined by commas, without quoting.
std::string plainAppend(const std::vector<Contact>& contacts) {
  std::string out;
  out.reserve(contacts.size() * 1024);
  const auto add = [&out](std::string_view text) {
    out.append(text);
    out.push_back(',');
  };
  const auto opt = [&add](const std::optional<std::string>& text) {
    if (text) add(*text);
  };
  for (const Contact& c : contacts) {
    add(c.firstName);
    add(c.lastName);
    add(c.company);
    opt(c.title), opt(c.email), opt(c.phone), opt(c.linkedinURL), opt(c.country), opt(c.city);
    opt(c.stateRegion), opt(c.tier), opt(c.capturedBy), opt(c.companyIndustry);
    opt(c.companySize), opt(c.companyWebsite), opt(c.verifiedEmail), opt(c.verifiedPhone);
    opt(c.aiSummary), opt(c.aiFollowUpPriority), opt(c.whyMeet), opt(c.approachAngle);
    opt(c.watchOuts);
    out.append("\r\n");
  }
  return out;
}

int run() {
  std::cout << "Building " << kContacts << " contacts...\n";
  const std::vector<Contact> all = contacts();
  const ContactExportMeeting meeting = meetingOf(all);
  test::TempDir dir;
  bool ok = true;
  SummaryTable table;

  std::string plain;
  const Timing plainTime = timeRuns(
      kRepetitions,
      [&] {
        plain = plainAppend(all);
        return !plain.empty();
      },
      ok);
  std::cout << "plain append of every text: " << SummaryTableBase::fixed(plain.size() / 1e6, 1)
            << " MB; median of " << kRepetitions << " runs\n\n";
  table.header();
  table.millis("plain append of every text, no quoting", plainTime, std::nullopt);

  struct Case {
    ExportFormat format;
    ContactExportOptions options;
    std::string label;
    double targetMs;
  };
  const std::vector<Case> cases = {
      {ExportFormat::csv, {}, "generic CSV", kTargetMs},
      {ExportFormat::hubspot, {}, "HubSpot CSV", kTargetMs},
      {ExportFormat::salesforce, {}, "Salesforce CSV", kTargetMs},
      {ExportFormat::pipedrive, {}, "Pipedrive CSV", kTargetMs},
      {ExportFormat::vcard, {}, "vCard 4.0", kTargetMs},
      {ExportFormat::vcard, {.vcard3 = true}, "vCard 3.0", kTargetMs},
      {ExportFormat::xlsx, {}, "Excel XLSX", kXlsxTargetMs},
  };
  for (const Case& c : cases) {
    std::string document;
    bool caseOK = true;
    const auto file = dir / proposedExportFileName("Bench Expo", c.format);
    const Timing build = timeRuns(
        kRepetitions,
        [&] {
          auto built = exportContacts(c.format, all, meeting, c.options);
          if (!built) return false;
          document = std::move(*built);
          return true;
        },
        caseOK);
    const Timing whole = timeRuns(
        kRepetitions,
        [&] {
          auto built = exportContacts(c.format, all, meeting, c.options);
          return built && writeFileAtomically(file, *built, 0600).ok();
        },
        caseOK);
    std::vector<char> copy(document.size());
    const Timing memcpyTime = timeRuns(
        kRepetitions,
        [&] {
          std::memcpy(copy.data(), document.data(), document.size());
          return copy.empty() || copy.back() == document.back();
        },
        caseOK);
    if (!caseOK) {
      ok = false;
      table.error(c.label, "the export failed");
      continue;
    }
    table.millis(c.label + " (" + SummaryTableBase::fixed(document.size() / 1e6, 1) +
                     " MB): build + atomic write",
                 whole, c.targetMs);
    table.info("  build only", build);
    table.millis("  memcpy of the same bytes", memcpyTime, std::nullopt);
  }
  std::cout << table.closingLine("") << "\n";
  return !ok || table.anyError() || !table.allMet() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main() {
  qm::log::setLevel(spdlog::level::warn);
  return qm::bench::run();
}
