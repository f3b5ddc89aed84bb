// Store benchmarks at trade-show scale: one event with 10,000 fully filled
// contacts and two notes each, written in one transaction, read back in
// stored order, deleted by cascade; and how much a saved report with a 10 MiB
// PDF adds to the main store file. A raw SQLite insert of the same rows into
// the same tables, and a raw SQLite read of the same store file the store's
// reads read, run in the same process so the store's own overhead shows as a
// ratio that does not depend on how fast this machine happens to be.
//
// Every repetition works in a fresh temporary folder, removed afterwards.
// Only the operation under test is timed (manual time); building records,
// reopening the store and checking the results are not.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "bench_support.h"
#include "common/log.h"
#include "common/result.h"
#include "raw_sqlite.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/relationships.h"
#include "store/saved_report.h"
#include "store/schema.h"
#include "store/store.h"
#include "support/record_fillers.h"
#include "support/temp_dir.h"

namespace qm::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kContacts = 10'000;
constexpr std::size_t kNotesPerContact = 2;
constexpr std::size_t kPdfBytes = 10 * 1024 * 1024;
constexpr int kRepetitions = 3;

constexpr double kInsertTargetSeconds = 1.0;
constexpr double kReadTargetSeconds = 0.3;
constexpr double kDeleteTargetSeconds = 0.5;
constexpr double kGrowthLimitBytes = 64 * 1024;

// ---------------------------------------------------------------------------
// Records

/// A record with every field set (optional fields present, lists of three
/// entries) to trade-show sizes, relationships pointing at `owners`.
template <Record R>
R filledRecord(std::uint64_t seed, const test::RecordOwners& owners) {
  return test::filledRecord<R>(seed, owners, test::SampleStyle::tradeShow);
}

/// One event with its contacts and their notes; the notes of contact i are
/// notes[i * kNotesPerContact ...]. Stored order is contact, its notes, next contact.
struct Dataset {
  Event event;
  std::vector<Contact> contacts;
  std::vector<ContactNote> notes;
};

const Dataset& dataset() {
  static const Dataset data = [] {
    Dataset d;
    d.event = filledRecord<Event>(1, {});
    d.contacts.reserve(kContacts);
    d.notes.reserve(kContacts * kNotesPerContact);
    for (std::size_t i = 0; i < kContacts; ++i) {
      d.contacts.push_back(filledRecord<Contact>(i + 1, {{"Event", d.event.id}}));
      for (std::size_t k = 0; k < kNotesPerContact; ++k)
        d.notes.push_back(filledRecord<ContactNote>((i + 1) * kNotesPerContact + k,
                                                    {{"Contact", d.contacts.back().id}}));
    }
    return d;
  }();
  return data;
}

// ---------------------------------------------------------------------------
// Raw SQLite baseline: the same values, laid out as the store lays them out.

/// A record's values in column form: ids and lists as text, dates as
/// microseconds, booleans as 0/1, enumerations as their raw text.
template <Record R>
RawRow rawRow(const R& record) {
  RawRow row;
  for (const auto& f : RecordInfo<R>::fields()) {
    FieldValue value = f.get(record);
    row.push_back(std::visit(
        [](auto& v) -> RawValue {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::monostate>) {
            return std::monostate{};
          } else if constexpr (std::is_same_v<T, Uuid>) {
            return v.str();
          } else if constexpr (std::is_same_v<T, std::string>) {
            return std::move(v);
          } else if constexpr (std::is_same_v<T, Date>) {
            return unixMicros(v);
          } else if constexpr (std::is_same_v<T, bool>) {
            return std::int64_t{v ? 1 : 0};
          } else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, double>) {
            return v;
          } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
            return nlohmann::json(v).dump();
          } else {
            return std::move(v);
          }
        },
        value));
  }
  return row;
}

struct RawDataset {
  RawRow event;
  std::vector<RawRow> contacts;
  std::vector<RawRow> notes;
  std::size_t payloadBytes = 0;  ///< text and blob bytes plus 8 per number
};

std::size_t payloadOf(const RawRow& row) {
  std::size_t bytes = 0;
  for (const auto& v : row) {
    if (const auto* s = std::get_if<std::string>(&v))
      bytes += s->size();
    else if (const auto* b = std::get_if<Bytes>(&v))
      bytes += b->size();
    else if (!std::holds_alternative<std::monostate>(v))
      bytes += 8;
  }
  return bytes;
}

const RawDataset& rawDataset() {
  static const RawDataset data = [] {
    const Dataset& d = dataset();
    RawDataset raw;
    raw.event = rawRow(d.event);
    for (const auto& c : d.contacts) raw.contacts.push_back(rawRow(c));
    for (const auto& n : d.notes) raw.notes.push_back(rawRow(n));
    for (const auto& row : raw.contacts) raw.payloadBytes += payloadOf(row);
    for (const auto& row : raw.notes) raw.payloadBytes += payloadOf(row);
    return raw;
  }();
  return data;
}

std::string rawInsertSQL(const TableSchema& schema) {
  std::string names, params;
  for (std::size_t i = 0; i < schema.columns.size(); ++i) {
    if (i) names += ", ", params += ", ";
    names += sqlName(schema.columns[i].name);
    params += "?" + std::to_string(i + 1);
  }
  return "INSERT INTO " + sqlName(schema.table) + " (" + names + ") VALUES (" + params + ")";
}

std::string rawSelectSQL(const TableSchema& schema, std::string_view where) {
  return "SELECT " + columnList(schema) + " FROM " + sqlName(schema.table) + std::string(where) +
         " ORDER BY rowid";
}

// ---------------------------------------------------------------------------
// Phases

/// A fresh temporary folder, removed with its contents, for one repetition.
class ScratchFolder : public test::TempDir {
 public:
  fs::path storeFile() const { return path() / "QuillmereMac.store"; }
  fs::path rawFile() const { return path() / "raw.sqlite"; }
};

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

/// The timed seconds of one repetition and any figures worth reporting beside it.
struct Measured {
  double seconds = 0;
  std::vector<std::pair<std::string, double>> counters;
};

Error failed(std::string_view what, const Error& error) {
  return Error(std::string(what) + ": " + error.message);
}

Result<std::unique_ptr<Store>> openStore(const fs::path& file) {
  auto opened = Store::open(file);
  if (!opened) return failed("open", opened.error());
  return std::move(opened).value();
}

double mebibytes(std::uintmax_t bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

/// Main file plus write-ahead log, in MiB.
double storeMiB(const fs::path& file) {
  std::error_code ec;
  std::uintmax_t bytes = fs::file_size(file, ec);
  const auto wal = fs::file_size(fs::path(file.string() + "-wal"), ec);
  if (!ec) bytes += wal;
  return mebibytes(bytes);
}

/// Writes the whole dataset in one transaction (the event first); returns its seconds.
Result<double> insertDataset(Store& store) {
  const Dataset& d = dataset();
  const auto start = Clock::now();
  Status status = store.transaction([&]() -> Status {
    QM_TRY(store.insert(d.event));
    for (std::size_t i = 0; i < d.contacts.size(); ++i) {
      QM_TRY(store.insert(d.contacts[i]));
      for (std::size_t k = 0; k < kNotesPerContact; ++k)
        QM_TRY(store.insert(d.notes[i * kNotesPerContact + k]));
    }
    return {};
  });
  const double seconds = secondsSince(start);
  if (!status) return failed("insert", status.error());
  return seconds;
}

Status expectCounts(Store& store, std::int64_t contacts, std::int64_t notes) {
  auto c = store.count<Contact>();
  auto n = store.count<ContactNote>();
  if (!c || !n) return Error("count failed");
  if (*c != contacts || *n != notes)
    return Error("store holds " + std::to_string(*c) + " contacts and " + std::to_string(*n) +
                 " notes, expected " + std::to_string(contacts) + " and " + std::to_string(notes));
  return {};
}

const auto kAllContacts = static_cast<std::int64_t>(kContacts);
const auto kAllNotes = static_cast<std::int64_t>(kContacts * kNotesPerContact);

Result<Measured> rawInsert() {
  const RawDataset& raw = rawDataset();
  ScratchFolder folder;
  RawDb db;
  QM_TRY(db.open(folder.rawFile()));
  const auto& eventSchema = Store::schemaOf<Event>();
  const auto& contactSchema = Store::schemaOf<Contact>();
  const auto& noteSchema = Store::schemaOf<ContactNote>();
  // The same tables the store creates, with the same columns and constraints.
  QM_TRY(db.exec(createTableSQL(eventSchema) + createTableSQL(contactSchema) +
                 createTableSQL(noteSchema)));
  auto eventInsert = db.prepare(rawInsertSQL(eventSchema));
  auto contactInsert = db.prepare(rawInsertSQL(contactSchema));
  auto noteInsert = db.prepare(rawInsertSQL(noteSchema));
  if (!eventInsert) return eventInsert.error();
  if (!contactInsert) return contactInsert.error();
  if (!noteInsert) return noteInsert.error();

  const auto start = Clock::now();
  QM_TRY(db.exec("BEGIN IMMEDIATE"));
  QM_TRY(db.insert(*eventInsert, raw.event));
  for (std::size_t i = 0; i < raw.contacts.size(); ++i) {
    QM_TRY(db.insert(*contactInsert, raw.contacts[i]));
    for (std::size_t k = 0; k < kNotesPerContact; ++k)
      QM_TRY(db.insert(*noteInsert, raw.notes[i * kNotesPerContact + k]));
  }
  QM_TRY(db.exec("COMMIT"));
  Measured m{secondsSince(start), {}};

  auto contacts = db.count(contactSchema.table);
  auto notes = db.count(noteSchema.table);
  if (!contacts || !notes || *contacts != kAllContacts || *notes != kAllNotes)
    return Error("raw SQLite did not store every row");
  m.counters.emplace_back("disk_MiB", storeMiB(folder.rawFile()));
  return m;
}

Result<Measured> storeInsert() {
  dataset();
  ScratchFolder folder;
  auto store = openStore(folder.storeFile());
  if (!store) return store.error();
  auto seconds = insertDataset(**store);
  if (!seconds) return seconds.error();
  Measured m{*seconds, {}};
  QM_TRY(expectCounts(**store, kAllContacts, kAllNotes));
  m.counters.emplace_back("disk_MiB", storeMiB(folder.storeFile()));
  return m;
}

/// Writes the dataset through the store into the folder's store file and closes
/// the store again (log checkpointed), leaving the file as the companion finds
/// it at launch.
Status populate(const ScratchFolder& folder) {
  auto store = openStore(folder.storeFile());
  if (!store) return store.error();
  auto seconds = insertDataset(**store);
  if (!seconds) return seconds.error();
  return {};
}

/// A store holding the dataset, closed and reopened.
Result<std::unique_ptr<Store>> populatedStore(const ScratchFolder& folder) {
  QM_TRY(populate(folder));
  return openStore(folder.storeFile());
}

template <class R>
Status expectSame(const std::vector<R>& read, const std::vector<R>& written,
                  std::string_view what) {
  if (read.size() != written.size())
    return Error(std::string(what) + ": read " + std::to_string(read.size()) + ", wrote " +
                 std::to_string(written.size()));
  for (std::size_t i = 0; i < read.size(); ++i) {
    if (!(read[i] == written[i]))
      return Error(std::string(what) + " " + std::to_string(i) + " differs from what was written");
  }
  return {};
}

Result<Measured> readContacts(bool withNotes) {
  const Dataset& d = dataset();
  ScratchFolder folder;
  auto store = populatedStore(folder);
  if (!store) return store.error();

  const auto start = Clock::now();
  auto contacts = contactsOf(**store, d.event.id);
  std::optional<Result<std::vector<ContactNote>>> notes;
  if (withNotes) notes.emplace((*store)->fetch<ContactNote>());
  const double seconds = secondsSince(start);

  if (!contacts) return failed("read contacts", contacts.error());
  QM_TRY(expectSame(*contacts, d.contacts, "contact"));
  if (notes) {
    if (!*notes) return failed("read notes", notes->error());
    QM_TRY(expectSame(**notes, d.notes, "note"));
  }
  return Measured{seconds, {}};
}

/// The baseline of readContacts: the same store file, written by the store and
/// closed, read with plain SQLite on a connection set up like the store's,
/// with the store's queries (the event's contacts, then every note, in stored
/// order). Every column of every row is copied into memory, text as owned
/// strings, so both sides end with the values in hand. Preparing the
/// statements is timed, as the store's first read prepares its own.
Result<Measured> rawRead(bool withNotes) {
  const RawDataset& raw = rawDataset();
  ScratchFolder folder;
  QM_TRY(populate(folder));
  RawDb db;
  QM_TRY(db.openLikeStore(folder.storeFile()));
  // Load the schema outside the timed part: the store's connection has read it
  // while opening.
  QM_TRY(db.exec("SELECT COUNT(*) FROM sqlite_schema"));
  const auto& contactSchema = Store::schemaOf<Contact>();
  const auto& noteSchema = Store::schemaOf<ContactNote>();
  const RawRow eventID{dataset().event.id.str()};

  std::vector<RawRow> contacts, notes;
  const auto start = Clock::now();
  auto contactSelect = db.prepare(rawSelectSQL(contactSchema, " WHERE \"eventID\" IS ?"));
  if (!contactSelect) return contactSelect.error();
  QM_TRY(db.select(*contactSelect, eventID, contacts));
  if (withNotes) {
    auto noteSelect = db.prepare(rawSelectSQL(noteSchema, ""));
    if (!noteSelect) return noteSelect.error();
    QM_TRY(db.select(*noteSelect, {}, notes));
  }
  const double seconds = secondsSince(start);

  QM_TRY(expectSame(contacts, raw.contacts, "raw contact"));
  if (withNotes) QM_TRY(expectSame(notes, raw.notes, "raw note"));
  return Measured{seconds, {}};
}

Result<Measured> deleteEvent() {
  const Dataset& d = dataset();
  ScratchFolder folder;
  auto store = populatedStore(folder);
  if (!store) return store.error();

  const auto start = Clock::now();
  Status status = (*store)->remove<Event>(d.event.id);
  const double seconds = secondsSince(start);

  if (!status) return failed("delete", status.error());
  QM_TRY(expectCounts(**store, 0, 0));
  auto events = (*store)->count<Event>();
  if (!events || *events != 0) return Error("the event is still stored");
  return Measured{seconds, {}};
}

Result<Measured> reportGrowth() {
  ScratchFolder folder;
  const Event event = filledRecord<Event>(2, {});
  SavedReport report = filledRecord<SavedReport>(3, {{"Event", event.id}});
  Bytes pdf(kPdfBytes);
  Rng rng(42);
  for (auto& byte : pdf) byte = static_cast<std::uint8_t>(rng.next());
  report.pdfData = std::move(pdf);

  {
    auto store = openStore(folder.storeFile());
    if (!store) return store.error();
    QM_TRY((*store)->insert(event));
  }
  std::uintmax_t before = 0;
  {
    auto store = openStore(folder.storeFile());
    if (!store) return store.error();
    before = fs::file_size(folder.storeFile());
  }

  double seconds = 0;
  {
    auto store = openStore(folder.storeFile());
    if (!store) return store.error();
    const auto start = Clock::now();
    Status saved = (*store)->save(report);
    seconds = secondsSince(start);
    if (!saved) return failed("save report", saved.error());
  }

  auto store = openStore(folder.storeFile());
  if (!store) return store.error();
  const std::uintmax_t after = fs::file_size(folder.storeFile());
  // Closing checkpointed the log into the main file; a log still holding pages
  // would make the growth look smaller than it is.
  std::error_code walError;
  const std::uintmax_t wal =
      fs::file_size(fs::path(folder.storeFile().string() + "-wal"), walError);
  if (!walError && wal > 0) return Error("the write-ahead log was not checkpointed");
  auto read = (*store)->find<SavedReport>(report.id);
  if (!read) return failed("read report", read.error());
  if (!read->has_value() || !(**read == report))
    return Error("the report read back differs from the one saved");
  std::uintmax_t external = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator((*store)->externalDataFolder(), ec))
    external += entry.file_size();
  if (external < kPdfBytes) return Error("the PDF is not in the external data folder");

  Measured m{seconds, {}};
  m.counters.emplace_back("growth_bytes", static_cast<double>(after) - static_cast<double>(before));
  m.counters.emplace_back("main_bytes", static_cast<double>(after));
  m.counters.emplace_back("external_MiB", mebibytes(external));
  return m;
}

// ---------------------------------------------------------------------------
// Benchmarks

template <class Phase>
void runPhase(benchmark::State& state, Phase phase) {
  Measured last;
  for ([[maybe_unused]] auto _ : state) {
    auto result = phase();
    if (!result) {
      state.SkipWithError(result.error().message.c_str());
      return;
    }
    state.SetIterationTime(result->seconds);
    last = std::move(*result);
  }
  for (const auto& [name, value] : last.counters) state.counters[name] = value;
}

void BM_RawSqliteInsert(benchmark::State& state) {
  runPhase(state, rawInsert);
}
void BM_StoreInsert(benchmark::State& state) {
  runPhase(state, storeInsert);
}
void BM_RawSqliteReadContacts(benchmark::State& state) {
  runPhase(state, [] { return rawRead(false); });
}
void BM_RawSqliteReadContactsAndNotes(benchmark::State& state) {
  runPhase(state, [] { return rawRead(true); });
}
void BM_ReadContacts(benchmark::State& state) {
  runPhase(state, [] { return readContacts(false); });
}
void BM_ReadContactsAndNotes(benchmark::State& state) {
  runPhase(state, [] { return readContacts(true); });
}
void BM_DeleteEvent(benchmark::State& state) {
  runPhase(state, deleteEvent);
}
void BM_ReportFileGrowth(benchmark::State& state) {
  runPhase(state, reportGrowth);
}

void configure(benchmark::internal::Benchmark* b) {
  b->Iterations(1)->Repetitions(kRepetitions)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_RawSqliteInsert)->Apply(configure);
BENCHMARK(BM_StoreInsert)->Apply(configure);
BENCHMARK(BM_RawSqliteReadContacts)->Apply(configure);
BENCHMARK(BM_ReadContacts)->Apply(configure);
BENCHMARK(BM_RawSqliteReadContactsAndNotes)->Apply(configure);
BENCHMARK(BM_ReadContactsAndNotes)->Apply(configure);
BENCHMARK(BM_DeleteEvent)->Apply(configure);
BENCHMARK(BM_ReportFileGrowth)->Apply(configure);

// ---------------------------------------------------------------------------
// Summary

/// The console output, plus every repetition kept for the summary table.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  struct Collected {
    std::vector<double> seconds;
    std::map<std::string, std::vector<double>> counters;
    std::vector<std::string> errors;
  };

  /// Coloured only on a terminal, so logs of the run stay plain text.
  SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      Collected& c = collected_[run.run_name.function_name];
      if (run.error_occurred) {
        c.errors.push_back(run.error_message);
        continue;
      }
      c.seconds.push_back(run.real_accumulated_time / static_cast<double>(run.iterations));
      for (const auto& [name, counter] : run.counters) c.counters[name].push_back(counter.value);
    }
  }

  const Collected* find(const std::string& name) const {
    auto it = collected_.find(name);
    return it == collected_.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, Collected> collected_;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

class SummaryTable : public SummaryTableBase {
 public:
  explicit SummaryTable(const SummaryReporter& reporter) : reporter_(reporter) {}

  /// A timed measure: median, min and max seconds against an upper bound (if any).
  void timed(const std::string& label, const std::string& benchmark, std::optional<double> target) {
    const auto* c = reporter_.find(benchmark);
    if (!usable(label, c)) return;
    const auto [lo, hi] = std::minmax_element(c->seconds.begin(), c->seconds.end());
    const double med = median(c->seconds);
    row(label, fixed(med, 3), fixed(*lo, 3), fixed(*hi, 3),
        target ? "<= " + fixed(*target, 3) + " s" : "baseline",
        target ? verdict(med <= *target) : "");
  }

  void ratio(const std::string& label, const std::string& over, const std::string& under) {
    const auto* a = reporter_.find(over);
    const auto* b = reporter_.find(under);
    if (!usable(label, a) || !usable(label, b)) return;
    row(label, fixed(median(a->seconds) / median(b->seconds), 2) + "x", "", "", "", "");
  }

  /// A size: the largest of the repetitions against an exclusive upper bound.
  void bytes(const std::string& label, const std::string& benchmark, const std::string& counter,
             double limit) {
    const auto* c = reporter_.find(benchmark);
    if (!usable(label, c)) return;
    auto it = c->counters.find(counter);
    if (it == c->counters.end() || it->second.empty()) return missing(label);
    const double worst = *std::max_element(it->second.begin(), it->second.end());
    const double best = *std::min_element(it->second.begin(), it->second.end());
    row(label, fixed(worst, 0) + " B", fixed(best, 0) + " B", fixed(worst, 0) + " B",
        "< " + fixed(limit, 0) + " B", verdict(worst < limit));
  }

 private:
  bool usable(const std::string& label, const SummaryReporter::Collected* c) {
    if (c && !c->errors.empty()) {
      errorRow(label, c->errors.front());
      return false;
    }
    if (!c || c->seconds.empty()) {
      missing(label);
      return false;
    }
    return true;
  }
  void missing(const std::string& label) { notRunRow(label, "not run"); }

  const SummaryReporter& reporter_;
};

int printSummary(const SummaryReporter& reporter) {
  const RawDataset& raw = rawDataset();
  std::cout
      << "\nStore benchmark summary: " << kContacts << " contacts x " << kNotesPerContact
      << " notes in one event, every field filled (" << std::fixed << std::setprecision(1)
      << mebibytes(raw.payloadBytes) << " MiB of field values); median of " << kRepetitions
      << " repetitions, each in a fresh temporary folder. Times in seconds.\n"
      << "Only the operation itself is timed (the Time column above); the CPU column also\n"
      << "counts the untimed setup and checks. disk_MiB is main file plus log after commit.\n\n";
  SummaryTable table(reporter);
  table.header();
  table.timed("insert 10k contacts + 20k notes, 1 transaction", "BM_StoreInsert",
              kInsertTargetSeconds);
  table.timed("raw SQLite insert of the same rows (baseline)", "BM_RawSqliteInsert", std::nullopt);
  table.ratio("store insert / raw sqlite insert", "BM_StoreInsert", "BM_RawSqliteInsert");
  table.timed("read: contacts only (contactsOf)", "BM_ReadContacts", kReadTargetSeconds);
  table.timed("raw SQLite read of the same contacts (baseline)", "BM_RawSqliteReadContacts",
              std::nullopt);
  table.ratio("store read / raw sqlite read (contacts)", "BM_ReadContacts",
              "BM_RawSqliteReadContacts");
  table.timed("read: contacts + all notes (fetch<ContactNote>)", "BM_ReadContactsAndNotes",
              kReadTargetSeconds);
  table.timed("raw SQLite read of contacts + notes (baseline)", "BM_RawSqliteReadContactsAndNotes",
              std::nullopt);
  table.ratio("store read / raw sqlite read (contacts + notes)", "BM_ReadContactsAndNotes",
              "BM_RawSqliteReadContactsAndNotes");
  table.timed("delete event (cascade 10k contacts, 20k notes)", "BM_DeleteEvent",
              kDeleteTargetSeconds);
  table.bytes("main file growth, report with 10 MiB PDF", "BM_ReportFileGrowth", "growth_bytes",
              kGrowthLimitBytes);
  std::cout << "\n" << table.closingLine("some benchmarks did not run") << "\n";
  return table.anyError() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main(int argc, char** argv) {
  qm::log::setLevel(spdlog::level::warn);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  qm::bench::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::cout << std::flush;
  const int status = qm::bench::printSummary(reporter);
  benchmark::Shutdown();
  return status;
}
