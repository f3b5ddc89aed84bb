// Sync message benchmark: an "event.snapshot" envelope with 10,000 fully filled
// contacts, received (decode the envelope, verify its HMAC, decode the payload
// into records) and built (encode, sign). The baseline is a bare simdjson parse
// of the same payload bytes in the same run.
#include <simdjson.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_support.h"
#include "common/log.h"
#include "crypto/pairing_crypto.h"
#include "sync/record_payloads.h"
#include "wire/message_verification.h"

namespace qm::bench {
namespace {

constexpr int kContacts = 10'000;
constexpr int kRepetitions = 5;
constexpr double kReceiveTargetMBps = 300;
constexpr double kHmacTargetMs = 50;

// Text of 10 to 100 characters, mostly ASCII with some accents, quotes and
// line breaks, like notes typed at a fair.
std::string text(Rng& rng) {
  static const char* const kWords[] = {"Müller", "pricing",     "demo",    "Q3",
                                       "budget", "\"urgent\"",  "Øystein", "follow-up",
                                       "fleet",  "line\nbreak", "田中",    "integration",
                                       "pilot",  "Hall 7",      "signed"};
  const std::size_t length = 10 + rng.below(91);
  std::string out;
  while (out.size() < length) {
    if (!out.empty()) out += ' ';
    out += kWords[rng.below(std::size(kWords))];
  }
  return out;
}

Date date(Rng& rng) {
  return dateFromUnixSeconds(1'700'000'000 + static_cast<std::int64_t>(rng.below(50'000'000)));
}

void fill(std::string& v, Rng& rng) {
  v = text(rng);
}
void fill(double& v, Rng& rng) {
  v = static_cast<double>(rng.below(10'000)) / 100.0;
}
void fill(std::int64_t& v, Rng& rng) {
  v = static_cast<std::int64_t>(rng.below(100));
}
void fill(Date& v, Rng& rng) {
  v = date(rng);
}
void fill(bool& v, Rng& rng) {
  v = rng.below(2) == 1;
}
void fill(Uuid& v, Rng&) {
  v = Uuid::random();
}
void fill(std::vector<std::string>& v, Rng& rng) {
  v = {text(rng), text(rng)};
}
template <class T>
void fill(std::optional<T>& v, Rng& rng) {
  v.emplace();
  fill(*v, rng);
}

ContactSyncModel contact(Rng& rng) {
  ContactSyncModel c;
  c.id = Uuid::random();
  c.syncID = Uuid::random();
  // Every field is filled; the X-macro list names them all.
#define QM_FILL(Type, name) fill(c.name, rng);
  QM_CONTACT_SYNC_STORED_FIELDS(QM_FILL)
#undef QM_FILL
  c.source = "scanned";
  c.status = "met";
  for (int i = 0; i < 3; ++i) {
    c.notes.push_back(NoteSyncModel{Uuid::random(), Uuid::random(), date(rng), "text", text(rng),
                                    text(rng), text(rng), text(rng), text(rng), date(rng)});
  }
  c.opportunities.push_back(OpportunitySyncModel{
      Uuid::random(), date(rng), date(rng), text(rng), text(rng), 12'500.0, "EUR", "Proposal",
      "Next quarter", text(rng), "High", text(rng), "deal-42", date(rng), true, Uuid::random()});
  c.captureFileNames = {"card-" + c.id.str() + ".jpg", "badge-" + c.id.str() + ".jpg"};
  return c;
}

EventSnapshotPayload snapshot() {
  Rng rng(42);
  EventSnapshotPayload s;
  s.event.id = Uuid::random();
  s.event.name = "Hannover Messe";
  s.event.createdAt = s.event.updatedAt = date(rng);
  s.event.teamMemberDeviceIDs = {"PHONE-1", "PHONE-2"};
  s.contacts.reserve(kContacts);
  for (int i = 0; i < kContacts; ++i) s.contacts.push_back(contact(rng));
  s.pipelineStages = std::vector<PipelineStage>{{Uuid::random(), "Exploring", 1, "7F8C8D"},
                                                {Uuid::random(), "Proposal", 2, "2980B9"}};
  return s;
}

/// Median, min and max wall time of `body` in milliseconds.
/// `prepare` runs before each repetition, outside the measured time.
Timing time(
    int repetitions, const std::function<bool()>& body, bool& ok,
    const std::function<void()>& prepare = [] {}) {
  std::vector<double> ms;
  for (int i = 0; i < repetitions; ++i) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    if (!body()) ok = false;
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  return summarise(std::move(ms));
}

class SummaryTable : public SummaryTableBase {
 public:
  void millis(const std::string& label, const Timing& t, std::optional<double> targetMs) {
    row(label, fixed(t.median, 1) + " ms", fixed(t.min, 1), fixed(t.max, 1),
        targetMs ? "<= " + fixed(*targetMs, 0) + " ms" : "",
        targetMs ? verdict(t.median <= *targetMs) : "");
  }
  void rate(const std::string& label, double megabytes, const Timing& t,
            std::optional<double> target) {
    const double mbps = megabytes / (t.median / 1000.0);
    row(label, fixed(mbps, 0) + " MB/s", fixed(megabytes / (t.max / 1000.0), 0),
        fixed(megabytes / (t.min / 1000.0), 0),
        target ? ">= " + fixed(*target, 0) + " MB/s" : "baseline",
        target ? verdict(mbps >= *target) : "");
  }
  void ratio(const std::string& label, double value) {
    row(label, fixed(value, 2) + "x", "", "", "", "");
  }
  void error(const std::string& label, const std::string& message) { errorRow(label, message); }
};

int run() {
  std::cout << "Building " << kContacts << " contacts...\n";
  const EventSnapshotPayload payload = snapshot();
  const Bytes secret = secureRandomBytes(32);
  const BondSecret bond{secret};

  std::string payloadJSON;
  std::string envelopeText;
  bool ok = true;
  SummaryTable table;

  // Building: payload JSON, envelope, signature, envelope text.
  const Timing encodePayload = time(
      kRepetitions,
      [&] {
        auto json = encodeSyncJSON(payload);
        if (!json) return false;
        payloadJSON = std::move(*json);
        return true;
      },
      ok);
  SyncEnvelope envelope = SyncEnvelope::make(SyncMessageType::eventSnapshot,
                                             Bytes(payloadJSON.begin(), payloadJSON.end()));
  const Timing sign = time(
      kRepetitions,
      [&] {
        envelope.hmac = base64Encode(hmacSHA256(secret, envelope.payload));
        return envelope.hmac.size() == 44;
      },
      ok);
  const Timing encodeEnvelopeTime = time(
      kRepetitions,
      [&] {
        auto text = encodeEnvelope(envelope);
        if (!text) return false;
        envelopeText = std::move(*text);
        // Frames arrive in buffers with room for the parser to read ahead.
        envelopeText.reserve(envelopeText.size() + kJSONReadAhead);
        return true;
      },
      ok);
  const double payloadMB = static_cast<double>(payloadJSON.size()) / 1e6;
  std::cout << "payload JSON " << SummaryTableBase::fixed(payloadMB, 1) << " MB, envelope "
            << SummaryTableBase::fixed(static_cast<double>(envelopeText.size()) / 1e6, 1)
            << " MB; median of " << kRepetitions << " runs\n\n";

  // Receiving, step by step and whole.
  simdjson::dom::parser bare;
  const simdjson::padded_string paddedPayload(payloadJSON);
  const Timing bareParse = time(
      kRepetitions,
      [&] {
        simdjson::dom::element root;
        return bare.parse(paddedPayload).get(root) == simdjson::SUCCESS;
      },
      ok);
  std::optional<SyncEnvelope> received;
  const Timing decodeEnvelopeTime = time(
      kRepetitions,
      [&] {
        auto decoded = decodeEnvelope(envelopeText);
        if (!decoded) return false;
        received = std::move(*decoded);
        return true;
      },
      ok);
  const Timing verify = time(
      kRepetitions, [&] { return hasValidSignature(*received, secret); }, ok);
  // Results are kept until the next repetition so that freeing them is not
  // counted as decoding.
  std::optional<EventSnapshotPayload> decodedPayload;
  const Timing decodePayload = time(
      kRepetitions,
      [&] {
        auto decoded = received->decodePayload<EventSnapshotPayload>();
        if (!decoded) return false;
        decodedPayload = std::move(*decoded);
        return true;
      },
      ok, [&] { decodedPayload.reset(); });
  std::optional<CheckedMessage> checkedMessage;
  const Timing receive = time(
      kRepetitions,
      [&] {
        auto checked = checkIncomingMessage(envelopeText, bond);
        if (!checked || checked->check != MessageCheck::verified) return false;
        auto decoded = checked->envelope.decodePayload<EventSnapshotPayload>();
        if (!decoded) return false;
        checkedMessage = std::move(checked);
        decodedPayload = std::move(*decoded);
        return true;
      },
      ok,
      [&] {
        checkedMessage.reset();
        decodedPayload.reset();
      });
  if (!decodedPayload || decodedPayload->contacts != payload.contacts) ok = false;
  const Timing nlohmannParse = time(
      1, [&] { return !nlohmann::json::parse(payloadJSON).is_discarded(); }, ok);

  table.header();
  table.rate("receive: decode + verify + payload into records", payloadMB, receive,
             kReceiveTargetMBps);
  table.rate("  bare simdjson parse of the payload (baseline)", payloadMB, bareParse, std::nullopt);
  table.ratio("  receive time / bare parse time", receive.median / bareParse.median);
  table.millis("  decode envelope (parse + Base64 of payload)", decodeEnvelopeTime, std::nullopt);
  table.millis("  HMAC verify", verify, kHmacTargetMs);
  table.millis("  decode payload into records", decodePayload, std::nullopt);
  table.rate("  reference: nlohmann::json::parse of payload", payloadMB, nlohmannParse,
             std::nullopt);
  table.millis("encode payload (10k contacts)", encodePayload, std::nullopt);
  table.millis("HMAC sign", sign, kHmacTargetMs);
  table.millis("encode envelope (Base64 + JSON)", encodeEnvelopeTime, std::nullopt);
  if (!ok)
    table.error("round trip", "a step failed or the decoded contacts differ from the sent ones");
  std::cout << table.closingLine("") << "\n";
  return table.anyError() || !table.allMet() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main() {
  qm::log::setLevel(spdlog::level::warn);
  return qm::bench::run();
}
