// Sync message benchmark: an "event.snapshot" envelope with 10,000 fully filled
// contacts, received (decode the envelope, verify its HMAC, decode the payload
// into records) and built (encode, sign). The baseline is a bare simdjson parse
// of the same payload bytes in the same run.
#include <simdjson.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_support.h"
#include "common/log.h"
#include "crypto/pairing_crypto.h"
#include "support/record_fillers.h"
#include "sync/record_payloads.h"
#include "wire/message_verification.h"

namespace qm::bench {
namespace {

constexpr int kContacts = 10'000;
constexpr int kRepetitions = 5;
constexpr double kReceiveTargetMBps = 300;
constexpr double kHmacTargetMs = 50;

// Every member an X-macro list names gets a trade-show sample value.
#define QM_FILL(Type, name) test::fillSample(record.name, values);

NoteSyncModel note(test::SampleValues& values) {
  NoteSyncModel record;
  QM_NOTE_SYNC_FIELDS(QM_FILL)
  record.noteType = "text";
  return record;
}

OpportunitySyncModel opportunity(test::SampleValues& values) {
  OpportunitySyncModel record;
  QM_OPPORTUNITY_SYNC_FIELDS(QM_FILL)
  return record;
}

ContactSyncModel contact(test::SampleValues& values) {
  ContactSyncModel record;
  QM_CONTACT_SYNC_STORED_FIELDS(QM_FILL)
  record.source = "scanned";
  record.status = "met";
  for (int i = 0; i < 3; ++i) record.notes.push_back(note(values));
  record.opportunities.push_back(opportunity(values));
  record.captureFileNames = {"card-" + record.id.str() + ".jpg",
                             "badge-" + record.id.str() + ".jpg"};
  return record;
}

#undef QM_FILL

EventSnapshotPayload snapshot() {
  test::SampleValues values(42, test::SampleStyle::phoneSnapshot);
  EventSnapshotPayload s;
  s.event.id = Uuid::random();
  s.event.name = "Hannover Messe";
  s.event.createdAt = s.event.updatedAt = values.date();
  s.event.teamMemberDeviceIDs = {"PHONE-1", "PHONE-2"};
  s.contacts.reserve(kContacts);
  for (int i = 0; i < kContacts; ++i) s.contacts.push_back(contact(values));
  s.pipelineStages = std::vector<PipelineStage>{{Uuid::random(), "Exploring", 1, "7F8C8D"},
                                                {Uuid::random(), "Proposal", 2, "2980B9"}};
  // What arrives is compared with what the wire can carry.
  auto carried = decodeSyncJSON<EventSnapshotPayload>(encodeSyncJSON(s).value());
  if (!carried) {
    std::cerr << "The sample snapshot does not decode: " << carried.error().message << "\n";
    std::exit(1);
  }
  return std::move(*carried);
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
  const Timing encodePayload = timeRuns(
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
  const Timing sign = timeRuns(
      kRepetitions,
      [&] {
        envelope.hmac = base64Encode(hmacSHA256(secret, envelope.payload));
        return envelope.hmac.size() == 44;
      },
      ok);
  const Timing encodeEnvelopeTime = timeRuns(
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
  const Timing bareParse = timeRuns(
      kRepetitions,
      [&] {
        simdjson::dom::element root;
        return bare.parse(paddedPayload).get(root) == simdjson::SUCCESS;
      },
      ok);
  std::optional<SyncEnvelope> received;
  const Timing decodeEnvelopeTime = timeRuns(
      kRepetitions,
      [&] {
        auto decoded = decodeEnvelope(envelopeText);
        if (!decoded) return false;
        received = std::move(*decoded);
        return true;
      },
      ok);
  const Timing verify = timeRuns(
      kRepetitions, [&] { return hasValidSignature(*received, secret); }, ok);
  // Results are kept until the next repetition so that freeing them is not
  // counted as decoding.
  std::optional<EventSnapshotPayload> decodedPayload;
  const Timing decodePayload = timeRuns(
      kRepetitions,
      [&] {
        auto decoded = received->decodePayload<EventSnapshotPayload>();
        if (!decoded) return false;
        decodedPayload = std::move(*decoded);
        return true;
      },
      ok, [&] { decodedPayload.reset(); });
  std::optional<CheckedMessage> checkedMessage;
  const Timing receive = timeRuns(
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
  const Timing nlohmannParse = timeRuns(
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
