// Decodes the input as one wire record and checks what the decoder accepts.
//
// The first byte picks the record: 'a' the first of kRecords below, 'b' the
// second and so on up to 'x' (every other byte value picks one as well, by
// its distance from 'a' modulo the number of records). The rest of the input
// is the JSON text. For every input:
// - decoding from a plain buffer and from one with read-ahead room (the
//   parser's in-place path) gives the same outcome and the same record;
// - an accepted record survives encoding and decoding unchanged;
// - duplicate keys mean what they mean for a JSON object read into a map: the
//   last value wins. An accepted document decodes to the same record as the
//   document with every duplicate dropped but the last (made by a second,
//   independent JSON parser).

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz_checks.h"
#include "sync/contact_sync_model.h"
#include "sync/event_sync_model.h"
#include "sync/record_payloads.h"
#include "wire/sync_envelope.h"

namespace qm::fuzz {
namespace {

/// `json` with every duplicate key reduced to its last value (at the place of
/// its first occurrence); nothing when the other parser refuses the text.
std::optional<std::string> lastValuesOnly(std::string_view json) {
  const auto document = nlohmann::ordered_json::parse(json, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded()) return std::nullopt;
  return document.dump();
}

template <WireRecordType M>
void fuzzRecord(std::string_view json) {
  const std::string name(WireRecord<M>::name);
  const auto decoded = decodeSyncJSON<M>(json);

  Bytes roomy;
  roomy.reserve(json.size() + kJSONReadAhead);
  roomy.assign(json.begin(), json.end());
  const auto decodedInPlace = decodeSyncJSON<M>(roomy);

  if (decoded.ok() != decodedInPlace.ok()) {
    fail(name + ": the in-place parse disagrees with the copying one",
         decoded ? decodedInPlace.error().message : decoded.error().message);
  }
  if (!decoded) {
    if (decoded.error().message != decodedInPlace.error().message) {
      fail(name + ": the two parses fail differently",
           decoded.error().message + "\n" + decodedInPlace.error().message);
    }
    if (decoded.error().message.empty()) fail(name + ": a decoding error without a message");
    return;
  }
  if (!(*decoded == *decodedInPlace)) fail(name + ": the two parses give different records");
  checkRoundTrip(*decoded);

  if (const auto deduplicated = lastValuesOnly(json)) {
    const auto decodedLast = decodeSyncJSON<M>(*deduplicated);
    if (!decodedLast) {
      fail(name + ": accepted, but not once duplicate keys keep only their last value",
           decodedLast.error().message + "\n" + *deduplicated);
    }
    if (!(*decodedLast == *decoded)) {
      fail(name + ": an earlier duplicate key changed the record (the last value should win)",
           *deduplicated);
    }
  }
}

using RecordFuzzer = void (*)(std::string_view);

constexpr RecordFuzzer kRecords[] = {
    &fuzzRecord<SyncEnvelope>,                 // a
    &fuzzRecord<PairHandshakePayload>,         // b
    &fuzzRecord<PairAckPayload>,               // c
    &fuzzRecord<EventListRequestPayload>,      // d
    &fuzzRecord<EventListItem>,                // e
    &fuzzRecord<EventListResponsePayload>,     // f
    &fuzzRecord<EventSnapshotRequestPayload>,  // g
    &fuzzRecord<SnapshotRequest>,              // h
    &fuzzRecord<PipelineStage>,                // i
    &fuzzRecord<EventSnapshotPayload>,         // j
    &fuzzRecord<DeltaContactPayload>,          // k
    &fuzzRecord<DeltaNotePayload>,             // l
    &fuzzRecord<DeltaOpportunityPayload>,      // m
    &fuzzRecord<DeltaReportPayload>,           // n
    &fuzzRecord<MediaRequestPayload>,          // o
    &fuzzRecord<MediaBlobPayload>,             // p
    &fuzzRecord<RelayRequestPayload>,          // q
    &fuzzRecord<RelayResponsePayload>,         // r
    &fuzzRecord<QLMImportResultPayload>,       // s
    &fuzzRecord<ErrorPayload>,                 // t
    &fuzzRecord<ContactSyncModel>,             // u
    &fuzzRecord<NoteSyncModel>,                // v
    &fuzzRecord<OpportunitySyncModel>,         // w
    &fuzzRecord<EventSyncModel>,               // x
};
static_assert(std::size(kRecords) == 'x' - 'a' + 1, "the letters above name every record");

}  // namespace
}  // namespace qm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qm::fuzz::kRecords;
  if (size == 0) return 0;
  const auto pick = static_cast<std::uint8_t>(data[0] - 'a') % std::size(kRecords);
  kRecords[pick](std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  return 0;
}
