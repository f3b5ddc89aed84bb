// Snapshot ingest benchmark: an "event.snapshot" frame of 10,000 contacts (two
// notes and one opportunity each, fields filled as a phone fills them, about
// 3 KB of sync JSON per contact), signed with the bond's secret, taken from the received frame to
// the committed store: the envelope checked against the bond
// (`checkIncomingMessage`), then `SyncService::handleMessage`, which decodes
// the payload and ingests it in one transaction. Every repetition starts from
// a fresh store file in a fresh temporary folder.
//
// The baseline, from the same run, is a raw SQLite insert of the very rows
// that ingest writes (read back from a store the snapshot was ingested into),
// in one transaction with prepared statements, into an empty store made by
// `Store::open` (so the tables and indexes are the store's own) on a
// connection set up like the store's.
//
// Also measured: the same frame ingested again into the filled store (every
// contact unchanged), a 5,000-contact snapshot for the scaling ratio, the time
// of each phase (envelope decode, signature check, payload decode, ingest,
// commit), the store calls the ingest makes per contact replayed on their own,
// and the peak resident set of a child process ingesting the 10k frame: its
// VmHWM, reset through /proc/self/clear_refs once the frame is read and the
// store open, less its VmRSS at that moment, against the snapshot's JSON size.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "bench_support.h"
#include "common/base64.h"
#include "common/log.h"
#include "crypto/pairing_crypto.h"
#include "raw_sqlite.h"
#include "settings/pipeline_manager.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/opportunity.h"
#include "store/relationships.h"
#include "store/store.h"
#include "support/desktop_services.h"
#include "support/posted_tasks.h"
#include "support/record_fillers.h"
#include "support/temp_dir.h"
#include "sync/phone_channel.h"
#include "sync/record_payloads.h"
#include "sync/snapshot_ingester.h"
#include "sync/sync_service.h"
#include "wire/message_verification.h"

namespace qm::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kContacts = 10'000;
constexpr std::size_t kHalfContacts = 5'000;
constexpr int kNotesPerContact = 2;
constexpr int kRepetitions = 3;

constexpr double kFreshRatioTarget = 2.0;      // ingest / raw insert
constexpr double kUnchangedRatioTarget = 1.0;  // re-ingest / raw insert
constexpr double kScalingTarget = 2.2;         // 10k ingest / 5k ingest
constexpr double kRssTarget = 5.0;             // peak RSS growth / snapshot JSON

double millisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// ---------------------------------------------------------------------------
// The snapshot

// Every member an X-macro list names gets a sample value of a phone's sizes;
// then each optional member is kept on only some records, as on a phone,
// where a card scan fills some fields, enrichment others, and many stay empty.
constexpr std::size_t kOptionalKeptPercent = 30;

template <class T>
void thin(T&, Rng&) {}
template <class T>
void thin(std::optional<T>& member, Rng& rng) {
  if (rng.below(100) >= kOptionalKeptPercent) member.reset();
}

#define QM_FILL(Type, name) test::fillSample(record.name, values);
#define QM_THIN(Type, name) thin(record.name, rng);

NoteSyncModel note(test::SampleValues& values, Rng& rng) {
  NoteSyncModel record;
  QM_NOTE_SYNC_FIELDS(QM_FILL)
  QM_NOTE_SYNC_FIELDS(QM_THIN)
  record.noteType = "text";
  return record;
}

OpportunitySyncModel opportunity(test::SampleValues& values, Rng& rng) {
  OpportunitySyncModel record;
  QM_OPPORTUNITY_SYNC_FIELDS(QM_FILL)
  QM_OPPORTUNITY_SYNC_FIELDS(QM_THIN)
  return record;
}

ContactSyncModel contact(test::SampleValues& values, Rng& rng) {
  ContactSyncModel record;
  QM_CONTACT_SYNC_STORED_FIELDS(QM_FILL)
  QM_CONTACT_SYNC_STORED_FIELDS(QM_THIN)
  record.source = "scanned";
  record.status = "met";
  for (int i = 0; i < kNotesPerContact; ++i) record.notes.push_back(note(values, rng));
  record.opportunities.push_back(opportunity(values, rng));
  record.captureFileNames = {"card-" + record.id.str() + ".jpg"};
  return record;
}

#undef QM_THIN
#undef QM_FILL

EventSnapshotPayload snapshot(std::size_t contacts) {
  test::SampleValues values(7, test::SampleStyle::phoneSnapshot);
  Rng rng(7);
  EventSnapshotPayload s;
  s.event.id = Uuid::random();
  s.event.name = "Hannover Messe";
  s.event.createdAt = s.event.updatedAt = values.date();
  s.event.teamMemberDeviceIDs = {"PHONE-1", "PHONE-2"};
  s.contacts.reserve(contacts);
  for (std::size_t i = 0; i < contacts; ++i) s.contacts.push_back(contact(values, rng));
  s.pipelineStages = std::vector<PipelineStage>{{Uuid::random(), "Exploring", 1, "7F8C8D"},
                                                {Uuid::random(), "Proposal", 2, "2980B9"}};
  return s;
}

/// A snapshot as it arrives: the envelope's text, signed with `secret`, in a
/// buffer with room for the parser to read ahead (as the peer link hands
/// frames over).
struct Frame {
  std::string text;
  std::size_t jsonBytes = 0;  ///< the payload's sync JSON
  std::size_t contacts = 0;
};

Frame frameOf(const EventSnapshotPayload& payload, const Bytes& secret) {
  auto json = encodeSyncJSON(payload);
  if (!json) {
    std::cerr << "The snapshot does not encode: " << json.error().message << "\n";
    std::exit(1);
  }
  SyncEnvelope envelope =
      SyncEnvelope::make(SyncMessageType::eventSnapshot, Bytes(json->begin(), json->end()));
  envelope.hmac = base64Encode(hmacSHA256(secret, envelope.payload));
  auto text = encodeEnvelope(envelope);
  if (!text) {
    std::cerr << "The envelope does not encode: " << text.error().message << "\n";
    std::exit(1);
  }
  Frame frame{std::move(*text), json->size(), payload.contacts.size()};
  frame.text.reserve(frame.text.size() + kJSONReadAhead);
  return frame;
}

// ---------------------------------------------------------------------------
// The companion's side: a store, the pipeline, settings and the sync service

/// A phone that has dropped the link by the time the snapshot is stored, so
/// that the capture images the snapshot names are not asked for: requesting
/// media comes after the commit and is not part of what is measured.
struct SilentPhone : PhoneChannel {
  bool isPaired() const override { return false; }
  Status send(const SyncEnvelope&) override { return Error(ErrorCode::unavailable, "no link"); }
  std::optional<std::string> pairedPhoneName() const override { return "Dana's phone"; }
};

/// A fresh store file with the services that receive snapshots into it.
class Companion {
 public:
  static fs::path storeFile(const fs::path& folder) { return folder / "QuillmereMac.store"; }

  explicit Companion(const fs::path& folder)
      : desktop_(folder),
        pipeline_(desktop_.defaults),
        store_(openStore(storeFile(folder))),
        service_(SyncServiceParts{*store_, pipeline_, desktop_.settings, desktop_.identity, phone_,
                                  folder, folder / "documents",
                                  [](std::chrono::milliseconds, std::function<void()>) {},
                                  loop_.poster()}) {}

  Store& store() { return *store_; }
  PipelineManager& pipeline() { return pipeline_; }
  SyncService& service() { return service_; }
  /// The main loop: this thread runs what is posted to it.
  test::PostedTasks& loop() { return loop_; }

  /// The real receiving path, from the frame to the committed store: the
  /// ingest thread's outcome handed back and booked on this (the loop's) thread.
  bool receive(const Frame& frame, const BondSecret& bond) {
    auto checked = checkIncomingMessage(frame.text, bond);
    if (!checked || checked->check != MessageCheck::verified) return false;
    service_.handleMessage(checked->envelope);
    if (!loop_.runUntil([&] { return !service_.isIngesting(); })) return false;
    return !service_.lastSyncError().has_value();
  }

  /// Whether the store holds exactly the snapshot's records.
  Status expectHolds(const Frame& frame) {
    const auto n = static_cast<std::int64_t>(frame.contacts);
    auto contacts = store_->count<Contact>();
    auto notes = store_->count<ContactNote>();
    auto opportunities = store_->count<Opportunity>();
    auto events = store_->count<Event>();
    if (!contacts || !notes || !opportunities || !events) return Error("count failed");
    if (*contacts != n || *notes != n * kNotesPerContact || *opportunities != n || *events != 1)
      return Error("the store holds " + std::to_string(*contacts) + " contacts, " +
                   std::to_string(*notes) + " notes and " + std::to_string(*opportunities) +
                   " opportunities, expected " + std::to_string(n) + ", " +
                   std::to_string(n * kNotesPerContact) + " and " + std::to_string(n));
    return {};
  }

 private:
  static std::unique_ptr<Store> openStore(const fs::path& file) {
    auto store = Store::open(file);
    if (!store) {
      std::cerr << "The store does not open: " << store.error().message << "\n";
      std::exit(1);
    }
    return std::move(*store);
  }

  test::DesktopServices desktop_;
  PipelineManager pipeline_;
  SilentPhone phone_;
  std::unique_ptr<Store> store_;
  test::PostedTasks loop_;
  SyncService service_;
};

// ---------------------------------------------------------------------------
// Raw SQLite baseline

/// The rows a snapshot ingest writes, table by table, and the order to write
/// them in: the event, then per contact the contact, its notes, its
/// opportunity and the opportunity's stakeholder link, as the ingest does.
struct IngestedRows {
  struct Table {
    const TableSchema* schema;
    std::vector<RawRow> rows;
  };
  std::vector<Table> tables;  // Event, Contact, ContactNote, Opportunity, OpportunityStakeholder
  /// (table, row) in writing order.
  std::vector<std::pair<std::size_t, std::size_t>> order;
};

std::optional<std::size_t> columnIndex(const TableSchema& schema, std::string_view name) {
  for (std::size_t i = 0; i < schema.columns.size(); ++i)
    if (schema.columns[i].name == name) return i;
  return std::nullopt;
}

/// Reads the rows back from `storeFile`, into which the snapshot was ingested;
/// fails when the ingest wrote to any other table than the five.
Result<IngestedRows> ingestedRows(const fs::path& storeFile, const fs::path& emptyStoreFile) {
  IngestedRows out;
  RawDb db;
  QM_TRY(db.openLikeStore(storeFile));
  for (const TableSchema* schema :
       {&Store::schemaOf<Event>(), &Store::schemaOf<Contact>(), &Store::schemaOf<ContactNote>(),
        &Store::schemaOf<Opportunity>(), &Store::schemaOf<OpportunityStakeholder>()})
    out.tables.push_back({schema, QM_TRY(db.rows(*schema))});

  auto filled = QM_TRY(db.tableCounts());
  RawDb empty;
  QM_TRY(empty.openLikeStore(emptyStoreFile));
  auto before = QM_TRY(empty.tableCounts());
  for (const auto& [table, count] : filled) {
    // The store's record change log names the rows written to the five
    // tables: part of what an ingest costs, which the raw baseline skips.
    bool ours = table == "RecordChange";
    for (const auto& t : out.tables) ours = ours || t.schema->table == table;
    if (!ours && count != before[table])
      return Error("the ingest also writes to " + table + ", which the baseline does not");
  }

  // Group the dependent rows by the contact they belong to.
  const auto owner = [&](std::size_t table, std::string_view column) {
    std::map<std::string, std::vector<std::size_t>> byContact;
    const auto index = columnIndex(*out.tables[table].schema, column);
    if (!index) return byContact;
    for (std::size_t r = 0; r < out.tables[table].rows.size(); ++r)
      if (const auto* id = std::get_if<std::string>(&out.tables[table].rows[r][*index]))
        byContact[*id].push_back(r);
    return byContact;
  };
  const auto notes = owner(2, "contactID");
  const auto opportunities = owner(3, "originContactID");
  const auto links = owner(4, "contactID");
  const auto contactID = columnIndex(*out.tables[1].schema, "id");
  if (!contactID) return Error("contacts have no id column");

  for (std::size_t r = 0; r < out.tables[0].rows.size(); ++r) out.order.emplace_back(0, r);
  for (std::size_t c = 0; c < out.tables[1].rows.size(); ++c) {
    out.order.emplace_back(1, c);
    const auto* id = std::get_if<std::string>(&out.tables[1].rows[c][*contactID]);
    if (!id) return Error("a contact id is not text");
    for (const auto* group : {&notes, &opportunities, &links}) {
      const auto found = group->find(*id);
      if (found == group->end()) continue;
      const auto table = group == &notes ? 2u : group == &opportunities ? 3u : 4u;
      for (std::size_t r : found->second) out.order.emplace_back(table, r);
    }
  }
  std::size_t total = 0;
  for (const auto& t : out.tables) total += t.rows.size();
  if (out.order.size() != total) return Error("some rows belong to no contact");
  return out;
}

/// Inserts `rows` into a fresh, empty store file in `folder` with plain
/// SQLite; returns the milliseconds from BEGIN to COMMIT.
Result<double> rawInsert(const IngestedRows& rows, const fs::path& folder,
                         std::size_t contactLimit = SIZE_MAX) {
  const fs::path file = Companion::storeFile(folder);
  {
    auto store = Store::open(file);  // the store's own tables and indexes, then closed
    if (!store) return store.error();
  }
  RawDb db;
  QM_TRY(db.openLikeStore(file));
  QM_TRY(db.exec("SELECT COUNT(*) FROM sqlite_schema"));  // schema loaded before timing
  std::vector<sqlite3_stmt*> inserts;
  for (const auto& t : rows.tables) {
    std::string params;
    for (std::size_t i = 0; i < t.schema->columns.size(); ++i)
      params += (i ? ", ?" : "?") + std::to_string(i + 1);
    inserts.push_back(QM_TRY(db.prepare("INSERT INTO " + sqlName(t.schema->table) + " (" +
                                        columnList(*t.schema) + ") VALUES (" + params + ")")));
  }

  constexpr std::size_t kContactTable = 1;
  std::size_t contacts = 0;
  const auto start = Clock::now();
  QM_TRY(db.exec("BEGIN IMMEDIATE"));
  for (const auto& [table, row] : rows.order) {
    if (table == kContactTable && ++contacts > contactLimit) break;
    QM_TRY(db.insert(inserts[table], rows.tables[table].rows[row]));
  }
  QM_TRY(db.exec("COMMIT"));
  const double ms = millisSince(start);
  if (contactLimit != SIZE_MAX) return ms;

  auto counts = QM_TRY(db.tableCounts());
  for (const auto& t : rows.tables)
    if (counts[std::string(t.schema->table)] != static_cast<std::int64_t>(t.rows.size()))
      return Error("raw SQLite did not store every row of " + std::string(t.schema->table));
  return ms;
}

// ---------------------------------------------------------------------------
// Phases of one ingest

struct Phases {
  double decodeEnvelope = 0, verify = 0, decodePayload = 0, ingest = 0, commit = 0;
  SnapshotCounts counts;
  double total() const { return decodeEnvelope + verify + decodePayload + ingest + commit; }
};

/// The receiving path taken apart: the envelope decoded, its signature
/// checked, the payload decoded, then `SnapshotIngester::ingest` inside an
/// outer transaction whose COMMIT is timed on its own (the ingest's own
/// transaction becomes a savepoint).
Result<Phases> phases(Companion& companion, const Frame& frame, const Bytes& secret) {
  Phases p;
  auto start = Clock::now();
  auto envelope = decodeEnvelope(frame.text);
  p.decodeEnvelope = millisSince(start);
  if (!envelope) return Error("decode envelope: " + envelope.error().message);

  start = Clock::now();
  const bool valid = hasValidSignature(*envelope, secret);
  p.verify = millisSince(start);
  if (!valid) return Error("the signature does not verify");

  start = Clock::now();
  auto payload = envelope->decodePayload<EventSnapshotPayload>();
  p.decodePayload = millisSince(start);
  if (!payload) return Error("decode payload: " + payload.error().message);

  SnapshotIngester ingester(companion.store(), companion.pipeline());
  const SyncMergeContext context{"Dana's phone", "", now()};
  Clock::time_point ingested;
  start = Clock::now();
  Status saved = companion.store().transaction([&]() -> Status {
    p.counts = QM_TRY(ingester.ingest(*payload, context));
    ingested = Clock::now();
    return {};
  });
  const auto committed = Clock::now();
  if (!saved) return Error("ingest: " + saved.error().message);
  p.ingest = std::chrono::duration<double, std::milli>(ingested - start).count();
  p.commit = std::chrono::duration<double, std::milli>(committed - ingested).count();
  return p;
}

/// The store calls an ingest makes for each contact, replayed 10,000 times on
/// their own on the filled store, inside a transaction that is rolled back.
struct StoreCalls {
  double readCandidates = 0;  ///< the event's contacts, read once
  double readHoldings = 0;    ///< the event's note ids and opportunities, read once
  double findContact = 0;     ///< the id clash check of every new contact
  double updateSyncTime = 0;  ///< an unchanged contact's sync time and count written
  double updateContact = 0;   ///< a changed contact written back whole
};

Result<StoreCalls> storeCalls(Store& store, const Uuid& eventID) {
  StoreCalls t;
  Status status = store.transaction([&]() -> Status {
    auto start = Clock::now();
    std::vector<Contact> contacts = QM_TRY(contactsOf(store, eventID));
    t.readCandidates = millisSince(start);
    start = Clock::now();
    (void)QM_TRY(EventHoldings::read(store, eventID));
    t.readHoldings = millisSince(start);

    start = Clock::now();
    for (const auto& c : contacts)
      (void)QM_TRY(store.fetchOnly<Contact>({"eventID"}, {Match{"id", c.id}}));
    t.findContact = millisSince(start);
    start = Clock::now();
    for (auto& c : contacts) {
      ++c.syncCount;
      QM_TRY(store.updateOnly(c, {"lastSyncedAt", "syncCount"}));
    }
    t.updateSyncTime = millisSince(start);
    start = Clock::now();
    for (auto& c : contacts) {
      ++c.syncCount;
      QM_TRY(store.update(c));
    }
    t.updateContact = millisSince(start);
    return Error("rolled back");
  });
  if (status || status.error().message != "rolled back") return Error("store calls failed");
  return t;
}

// ---------------------------------------------------------------------------
// Peak memory, in a child process

constexpr std::string_view kRssChildFlag = "--rss-child";

std::optional<long> statusKiB(std::string_view key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0 && line.size() > key.size() && line[key.size()] == ':')
      return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
  }
  return std::nullopt;
}

/// The child: reads the frame and the secret from `folder`, resets the peak
/// resident set, receives the frame into a fresh store there and prints its
/// resident set before, its peak during the ingest, and its anonymous and
/// file-backed resident memory after, in KiB.
int rssChild(const fs::path& folder) {
  std::ifstream in(folder / "frame.json", std::ios::binary);
  std::ifstream key(folder / "secret.bin", std::ios::binary);
  Frame frame;
  const auto frameBytes = fs::file_size(folder / "frame.json");
  frame.text.reserve(frameBytes + kJSONReadAhead);
  frame.text.resize(frameBytes);
  in.read(frame.text.data(), static_cast<std::streamsize>(frameBytes));
  const Bytes secret{std::istreambuf_iterator<char>(key), {}};
  const BondSecret bond{secret};
  const fs::path storeFolder = folder / "child";
  fs::create_directories(storeFolder);
  Companion companion(storeFolder);

  // Writing 5 to clear_refs sets the peak back to the current resident set.
  { std::ofstream("/proc/self/clear_refs") << "5"; }
  const auto before = statusKiB("VmRSS");
  const bool ok = companion.receive(frame, bond);
  const auto peak = statusKiB("VmHWM");
  const auto anon = statusKiB("RssAnon");
  const auto file = statusKiB("RssFile");
  if (!ok || !before || !peak || !anon || !file) return 1;
  std::cout << *before << " " << *peak << " " << *anon << " " << *file << "\n";
  return 0;
}

struct RssFigures {
  long beforeKiB = 0, peakKiB = 0, anonAfterKiB = 0, fileAfterKiB = 0;
};

Result<RssFigures> measureRss(const Frame& frame, const Bytes& secret) {
  test::TempDir folder;
  {
    std::ofstream(folder / "frame.json", std::ios::binary) << frame.text;
    std::ofstream(folder / "secret.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(secret.data()),
               static_cast<std::streamsize>(secret.size()));
  }
  const fs::path self = fs::read_symlink("/proc/self/exe");
  const std::string command =
      "'" + self.string() + "' " + std::string(kRssChildFlag) + " '" + folder.path().string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return Error("could not start the child");
  RssFigures r;
  const int read = std::fscanf(pipe, "%ld %ld %ld %ld", &r.beforeKiB, &r.peakKiB, &r.anonAfterKiB,
                               &r.fileAfterKiB);
  const int status = pclose(pipe);
  if (read != 4 || status != 0) return Error("the child did not ingest the frame");
  return r;
}

// ---------------------------------------------------------------------------
// The main loop while a 50,000-contact snapshot is written

constexpr std::size_t kLargeContacts = 50'000;
constexpr double kStatusLatencyTarget = 100.0;  // ms, the slowest `status` answer meanwhile
constexpr std::size_t kPeerLinkFrameLimit = 64 * 1024 * 1024;
constexpr auto kProbeGap = std::chrono::milliseconds(5);

/// A 50,000-contact snapshot that fits one frame of the peer link: the
/// benchmark's contacts without their notes and opportunities, and with about a
/// quarter of their optional texts.
EventSnapshotPayload largeSnapshot() {
  EventSnapshotPayload s = snapshot(kLargeContacts);
  Rng rng(11);
  for (ContactSyncModel& c : s.contacts) {
    c.notes.clear();
    c.opportunities.clear();
    // Thinned twice: about a quarter of the optional texts stay, which keeps
    // the frame under the peer link's 64 MiB.
#define QM_HALVE(Type, name) thin(c.name, rng);
    QM_CONTACT_SYNC_STORED_FIELDS(QM_HALVE)
    QM_CONTACT_SYNC_STORED_FIELDS(QM_HALVE)
#undef QM_HALVE
  }
  return s;
}

/// One `status` request: asked (ms since the reception began) and answered after.
struct StatusAnswer {
  double askedAt = 0, latency = 0;
};

/// A client asking the loop for `status` every few milliseconds, one request at
/// a time, as `quillmere status` does; the loop's side reads what the companion's
/// `status` reads (the sync fields, the counts of events and contacts).
class StatusClient {
 public:
  StatusClient(Companion& companion, Clock::time_point origin)
      : companion_(companion), origin_(origin), thread_([this] { ask(); }) {}
  ~StatusClient() { finish(); }

  /// Stops asking; the answers so far.
  std::vector<StatusAnswer> finish() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    return answers_;
  }

 private:
  void ask() {
    while (!stopping_) {
      auto answered = std::make_shared<std::atomic<bool>>(false);
      const auto asked = Clock::now();
      companion_.loop().poster()([this, answered] {
        const SyncService& sync = companion_.service();
        const auto events = companion_.store().count<Event>();
        const auto contacts = companion_.store().count<Contact>();
        last_ = {sync.isSyncing(), sync.deltaJournal().pendingEnvelopes().size(),
                 events ? *events : -1, contacts ? *contacts : -1};
        answered->store(true);
      });
      while (!answered->load()) {
        if (stopping_) return;  // the loop has stopped answering
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
      answers_.push_back(
          {std::chrono::duration<double, std::milli>(asked - origin_).count(), millisSince(asked)});
      std::this_thread::sleep_for(kProbeGap);
    }
  }

  /// What the last answer said (written on the loop).
  struct Status {
    bool isSyncing = false;
    std::size_t queuedDeltas = 0;
    std::int64_t events = 0, contacts = 0;
  };

  Companion& companion_;
  Clock::time_point origin_;
  Status last_;
  std::atomic<bool> stopping_{false};
  std::vector<StatusAnswer> answers_;
  std::thread thread_;
};

struct LoopFigures {
  double checkMs = 0;     ///< envelope decoded and signature checked, on a thread of its own
  double handOffMs = 0;   ///< `handleMessage`: the envelope handed to the ingest thread
  double ingestMs = 0;    ///< handed off -> handed back
  double handBackMs = 0;  ///< the bookkeeping back on the loop
  Timing duringIngest;    ///< status answers asked while the ingest thread ran
  std::size_t answers = 0;
  double worstOverall = 0;  ///< any status answer from the frame's arrival on
};

/// Receives `frame` as the companion does while a client keeps asking for
/// `status`; the loop is this thread.
Result<LoopFigures> loopDuringIngest(const Frame& frame, const BondSecret& bond) {
  test::TempDir folder;
  Companion companion(folder.path());
  const auto origin = Clock::now();
  StatusClient client(companion, origin);
  if (!companion.loop().runNext()) return Error("no status request came");
  LoopFigures f;
  const auto since = [&](Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - origin).count();
  };
  auto start = Clock::now();
  const double received = since(start);
  // As the companion's pairing module does with a frame this large: decoded
  // and checked on a thread of its own while the loop goes on answering.
  std::optional<CheckedMessage> checked;
  std::atomic<bool> checkDone{false};
  std::thread checker([&] {
    checked = checkIncomingMessage(frame.text, bond);
    checkDone = true;
  });
  while (!checkDone) companion.loop().runNext(std::chrono::milliseconds(1));
  checker.join();
  if (!checked || checked->check != MessageCheck::verified) return Error("the frame was refused");
  f.checkMs = millisSince(start);
  start = Clock::now();
  companion.service().handleMessage(std::move(checked->envelope));
  f.handOffMs = millisSince(start);
  const double handedOff = since(Clock::now());
  while (companion.service().isIngesting()) {
    const auto task = Clock::now();
    if (!companion.loop().runNext()) return Error("the ingest did not come back");
    if (!companion.service().isIngesting()) f.handBackMs = millisSince(task);
  }
  const double handedBack = since(Clock::now());
  f.ingestMs = handedBack - handedOff;
  // The request asked last may still wait for its answer.
  companion.loop().runNext(std::chrono::milliseconds(50));
  std::vector<double> during;
  for (const StatusAnswer& a : client.finish()) {
    if (a.askedAt >= received) f.worstOverall = std::max(f.worstOverall, a.latency);
    if (a.askedAt >= handedOff && a.askedAt < handedBack) during.push_back(a.latency);
  }
  if (companion.service().lastSyncError()) return Error(*companion.service().lastSyncError());
  const auto held = companion.store().count<Contact>();
  if (!held || *held != static_cast<std::int64_t>(frame.contacts))
    return Error("the 50k snapshot was not stored whole");
  if (during.empty()) return Error("no status request was answered during the ingest");
  f.answers = during.size();
  f.duringIngest = summarise(during);
  return f;
}

/// The same reception with the snapshot written on the loop, as the companion
/// did before the ingest thread: how long a `status` asked meanwhile waited.
Result<double> worstStatusWithIngestOnTheLoop(const Frame& frame, const BondSecret& bond) {
  test::TempDir folder;
  Companion companion(folder.path());
  StatusClient client(companion, Clock::now());
  if (!companion.loop().runNext()) return Error("no status request came");
  auto checked = checkIncomingMessage(frame.text, bond);
  if (!checked || checked->check != MessageCheck::verified) return Error("the frame was refused");
  auto payload = checked->envelope.decodePayload<EventSnapshotPayload>();
  if (!payload) return payload.error();
  SnapshotIngester ingester(companion.store(), companion.pipeline());
  QM_TRY(ingester.ingest(*payload, {"Dana's phone", "", now()}));
  if (!companion.loop().runNext()) return Error("the status request was not answered");
  double worst = 0;
  for (const StatusAnswer& a : client.finish()) worst = std::max(worst, a.latency);
  return worst;
}

// ---------------------------------------------------------------------------
// Report

class SummaryTable : public SummaryTableBase {
 public:
  void millis(const std::string& label, const Timing& t, const std::string& note = "") {
    row(label, fixed(t.median, 1) + " ms", fixed(t.min, 1), fixed(t.max, 1), note, "");
  }
  void once(const std::string& label, double ms) {
    row(label, fixed(ms, 1) + " ms", "", "", "", "");
  }
  void ratio(const std::string& label, double value, double targetMax) {
    row(label, fixed(value, 3) + "x", "", "", "<= " + fixed(targetMax, 2) + "x",
        verdict(value <= targetMax));
  }
  void atMost(const std::string& label, double ms, double targetMs) {
    row(label, fixed(ms, 1) + " ms", "", "", "<= " + fixed(targetMs, 0) + " ms",
        verdict(ms <= targetMs));
  }
  void info(const std::string& label, const std::string& value) {
    row(label, value, "", "", "", "");
  }
  void error(const std::string& label, const std::string& message) { errorRow(label, message); }
};

int run() {
  const Bytes secret = secureRandomBytes(32);
  const BondSecret bond{secret};

  std::cout << "Building " << kContacts << " contacts...\n";
  Frame full, half;
  {
    const EventSnapshotPayload payload = snapshot(kContacts);
    full = frameOf(payload, secret);
    EventSnapshotPayload part = payload;
    part.contacts.resize(kHalfContacts);
    half = frameOf(part, secret);
  }
  std::cout << "snapshot JSON "
            << SummaryTableBase::fixed(static_cast<double>(full.jsonBytes) / 1e6, 1) << " MB ("
            << full.jsonBytes / kContacts << " bytes per contact), frame "
            << SummaryTableBase::fixed(static_cast<double>(full.text.size()) / 1e6, 1)
            << " MB; 5k snapshot JSON "
            << SummaryTableBase::fixed(static_cast<double>(half.jsonBytes) / 1e6, 1)
            << " MB; median of " << kRepetitions << " runs, each on a fresh store file\n\n";

  SummaryTable table;
  std::vector<std::string> failures;
  const auto fail = [&](const std::string& what) { failures.push_back(what); };

  // A first ingest, untimed: warms the caches and gives the rows the baseline writes.
  std::optional<IngestedRows> rows;
  {
    test::TempDir reference, empty;
    {
      Companion companion(reference.path());
      if (!companion.receive(full, bond)) fail("the reference ingest failed");
      if (Status held = companion.expectHolds(full); !held) fail(held.error().message);
      Companion blank(empty.path());
    }
    auto read =
        ingestedRows(Companion::storeFile(reference.path()), Companion::storeFile(empty.path()));
    if (read)
      rows = std::move(*read);
    else
      fail(read.error().message);
  }

  std::vector<double> fresh, again, halfIngest, raw, rawHalf;
  for (int i = 0; i < kRepetitions; ++i) {
    // Raw insert and ingest alternate so that drift of the machine hits both.
    if (rows) {
      test::TempDir folder;
      auto ms = rawInsert(*rows, folder.path());
      if (ms)
        raw.push_back(*ms);
      else
        fail(ms.error().message);
      test::TempDir halfFolder;
      auto halfMs = rawInsert(*rows, halfFolder.path(), kHalfContacts);
      if (halfMs)
        rawHalf.push_back(*halfMs);
      else
        fail(halfMs.error().message);
    }
    {
      test::TempDir folder;
      Companion companion(folder.path());
      auto start = Clock::now();
      const bool ok = companion.receive(full, bond);
      fresh.push_back(millisSince(start));
      if (!ok) fail("the 10k ingest failed");
      start = Clock::now();
      const bool okAgain = companion.receive(full, bond);
      again.push_back(millisSince(start));
      if (!okAgain) fail("the 10k ingest into the filled store failed");
      if (Status held = companion.expectHolds(full); !held) fail(held.error().message);
    }
    {
      test::TempDir folder;
      Companion companion(folder.path());
      const auto start = Clock::now();
      const bool ok = companion.receive(half, bond);
      halfIngest.push_back(millisSince(start));
      if (!ok) fail("the 5k ingest failed");
      if (Status held = companion.expectHolds(half); !held) fail(held.error().message);
    }
  }

  // Where the time goes, once for a fresh store and once for the filled one.
  std::optional<Phases> freshPhases, againPhases;
  std::optional<StoreCalls> replayed;
  {
    test::TempDir folder;
    Companion companion(folder.path());
    auto first = phases(companion, full, secret);
    if (first) {
      freshPhases = *first;
      auto second = phases(companion, full, secret);
      if (second)
        againPhases = *second;
      else
        fail(second.error().message);
      auto events = companion.store().fetch<Event>();
      if (events && events->size() == 1) {
        auto calls = storeCalls(companion.store(), events->front().id);
        if (calls)
          replayed = *calls;
        else
          fail(calls.error().message);
      }
    } else {
      fail(first.error().message);
    }
  }
  if (freshPhases && freshPhases->counts.created != static_cast<std::int64_t>(kContacts))
    fail("the phase run created " + std::to_string(freshPhases->counts.created) + " contacts");
  if (againPhases && againPhases->counts.unchanged != static_cast<std::int64_t>(kContacts))
    fail("the second phase run left " + std::to_string(againPhases->counts.unchanged) +
         " contacts unchanged, merged " + std::to_string(againPhases->counts.merged));

  auto rss = measureRss(full, secret);
  if (!rss) fail(rss.error().message);

  std::cout << "Building " << kLargeContacts << " contacts for the main loop's answers...\n";
  const Frame large = frameOf(largeSnapshot(), secret);
  if (large.text.size() > kPeerLinkFrameLimit)
    fail("the 50k snapshot does not fit one frame of the peer link");
  auto loop = loopDuringIngest(large, bond);
  if (!loop) fail("50k ingest with status requests: " + loop.error().message);
  auto onLoop = worstStatusWithIngestOnTheLoop(large, bond);
  if (!onLoop) fail("50k ingest on the loop: " + onLoop.error().message);

  table.header();
  if (!fresh.empty() && !raw.empty()) {
    const Timing f = summarise(fresh), a = summarise(again), h = summarise(halfIngest),
                 r = summarise(raw);
    table.millis("10k ingest: frame -> committed store", f);
    table.millis("  raw SQLite insert of the same rows (baseline)", r, "baseline");
    table.ratio("  10k ingest / raw insert", f.median / r.median, kFreshRatioTarget);
    table.millis("10k again into the filled store (unchanged)", a);
    table.ratio("  unchanged ingest / raw insert", a.median / r.median, kUnchangedRatioTarget);
    table.millis("5k ingest: frame -> committed store", h);
    table.ratio("  10k ingest / 5k ingest", f.median / h.median, kScalingTarget);
    if (!rawHalf.empty())
      table.info("  raw insert: 10k / 5k (SQLite's own growth)",
                 SummaryTableBase::fixed(r.median / summarise(rawHalf).median, 3) + "x");
  }
  if (rss) {
    const double jsonMiB = static_cast<double>(full.jsonBytes) / (1024.0 * 1024.0);
    const double growthMiB = static_cast<double>(rss->peakKiB - rss->beforeKiB) / 1024.0;
    table.info("10k ingest peak RSS growth (child process)",
               SummaryTableBase::fixed(growthMiB, 1) + " MiB");
    table.ratio("  peak RSS growth / snapshot JSON", growthMiB / jsonMiB, kRssTarget);
    table.info("  RSS before / peak (frame held before)",
               SummaryTableBase::fixed(static_cast<double>(rss->beforeKiB) / 1024.0, 0) + "/" +
                   SummaryTableBase::fixed(static_cast<double>(rss->peakKiB) / 1024.0, 0) + " MiB");
    table.info("  after: anonymous / file-backed (store map)",
               SummaryTableBase::fixed(static_cast<double>(rss->anonAfterKiB) / 1024.0, 0) + "/" +
                   SummaryTableBase::fixed(static_cast<double>(rss->fileAfterKiB) / 1024.0, 0) +
                   " MiB");
  }
  const auto breakdown = [&](const std::string& what, const Phases& p) {
    table.once(what + " phases, one run: total", p.total());
    table.once("  decode envelope (parse + Base64)", p.decodeEnvelope);
    table.once("  HMAC verify", p.verify);
    table.once("  decode payload into records", p.decodePayload);
    table.once("  ingest (match, merge, write)", p.ingest);
    table.once("  commit", p.commit);
  };
  if (freshPhases) breakdown("10k fresh", *freshPhases);
  if (againPhases) breakdown("10k unchanged", *againPhases);
  if (replayed) {
    table.info("store calls of the ingest, 10k each, alone:", "");
    table.once("  read the event's contacts (once)", replayed->readCandidates);
    table.once("  read the event's note ids and opportunities (once)", replayed->readHoldings);
    table.once("  a contact's event by id (the new-contact check)", replayed->findContact);
    table.once("  write sync time and count (unchanged merge)", replayed->updateSyncTime);
    table.once("  write the whole contact (changed merge)", replayed->updateContact);
  }
  if (loop) {
    table.once("50k snapshot (" +
                   SummaryTableBase::fixed(static_cast<double>(large.text.size()) / 1e6, 1) +
                   " MB frame): handed off -> back",
               loop->ingestMs);
    table.atMost("  status during it: slowest answer", loop->duringIngest.max,
                 kStatusLatencyTarget);
    table.info("  status during it: median answer (answers)",
               SummaryTableBase::fixed(loop->duringIngest.median, 2) + " ms (" +
                   std::to_string(loop->answers) + ")");
    table.once("  its own thread: envelope decode + HMAC check", loop->checkMs);
    table.once("  on the loop: hand-off (envelope moved)", loop->handOffMs);
    table.once("  on the loop: hand-back (bookkeeping)", loop->handBackMs);
    table.atMost("  status from the frame's arrival on: slowest", loop->worstOverall,
                 kStatusLatencyTarget);
  }
  if (onLoop) table.once("  baseline: slowest status, ingest on the loop", *onLoop);
  for (const auto& message : failures) table.error("snapshot ingest", message);
  std::cout << table.closingLine("") << "\n";
  return table.anyError() || !table.allMet() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main(int argc, char** argv) {
  qm::log::setLevel(spdlog::level::warn);
  if (argc == 3 && std::string_view(argv[1]) == qm::bench::kRssChildFlag)
    return qm::bench::rssChild(argv[2]);
  return qm::bench::run();
}
