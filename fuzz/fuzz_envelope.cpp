// Feeds the input to the receive path as one message from the phone.
//
// For every input:
// - the message check (decode, then the tag against a bond holding kSecret)
//   lets a message through exactly when it decodes and is either a handshake
//   or correctly signed, and hands on the decoded envelope unchanged;
// - a decoded envelope survives encodeEnvelope and decodeEnvelope unchanged;
// - signing it with kSecret gives a tag that verifies;
// - its payload check gives the same answer from the decoded envelope (whose
//   payload buffer has read-ahead room) as from a copy (which has none), and a
//   payload that passes survives its own round trip as the record its type
//   names.

#include <spdlog/common.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/log.h"
#include "fuzz_checks.h"
#include "sync/record_payloads.h"
#include "wire/message_verification.h"
#include "wire/sync_envelope.h"

namespace qm::fuzz {
namespace {

/// The secret of the bond the fuzzed messages are checked against.
BondSecret bond() {
  return std::span<const std::uint8_t>(kSecret);
}

template <WireRecordType P>
bool payloadRoundTrips(const SyncEnvelope& envelope) {
  const auto payload = envelope.decodePayload<P>();
  if (!payload) return false;
  checkRoundTrip(*payload);
  return true;
}

/// The payload, decoded as the record (or one of the records) `type` names,
/// goes through its round trip. False when it does not decode as any of them
/// (a type with no payload record to check counts as decoded).
bool checkPayloadRoundTrip(const SyncEnvelope& envelope) {
  bool candidates = false;
  bool decoded = false;
  forEachPayloadRecord(envelope.type, [&]<class P>() {
    candidates = true;
    decoded = payloadRoundTrips<P>(envelope) || decoded;
  });
  return !candidates || decoded;
}

void checkReceivePath(std::string_view text, const Result<SyncEnvelope>& envelope) {
  const auto checked = checkIncomingMessage(text, bond());
  if (!envelope) {
    if (checked) fail("a message that does not decode was let through", envelope.error().message);
    return;
  }
  const bool handshake = envelope->type == SyncMessageType::pairHandshake;
  const bool signedWell = hasValidSignature(*envelope, kSecret);
  if (checked.has_value() != (handshake || signedWell)) {
    fail(checked ? "a message with a wrong tag was let through"
                 : "a handshake or a correctly signed message was dropped",
         envelope->hmac);
  }
  if (!checked) return;
  if (!(checked->envelope == *envelope)) fail("the message check changed the envelope");
  const auto expected = handshake ? MessageCheck::handshake : MessageCheck::verified;
  if (checked->check != expected) fail("the message check gives the wrong reason");
}

}  // namespace
}  // namespace qm::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // Every dropped message is logged; millions of log lines help nobody here.
  qm::log::setLevel(spdlog::level::off);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qm;
  using namespace qm::fuzz;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto envelope = decodeEnvelope(text);
  checkReceivePath(text, envelope);
  if (!envelope) return 0;

  // The envelope itself.
  const auto wire = encodeEnvelope(*envelope);
  if (!wire) fail("a decoded envelope does not encode", wire.error().message);
  const auto again = decodeEnvelope(*wire);
  if (!again) fail("the encoded envelope does not decode", again.error().message + "\n" + *wire);
  if (!(*again == *envelope)) fail("the envelope changed on its way through the encoder", *wire);
  const auto wireAgain = encodeEnvelope(*again);
  if (!wireAgain || *wireAgain != *wire)
    fail("encoding the envelope again gives other text", *wire);

  // Signing.
  const SyncEnvelope signedEnvelope = signEnvelope(*envelope, kSecret);
  if (signedEnvelope.payload != envelope->payload || signedEnvelope.type != envelope->type) {
    fail("signing changed more than the tag");
  }
  if (signedEnvelope.hmac.size() != 44 || !hasValidSignature(signedEnvelope, kSecret)) {
    fail("a freshly signed envelope does not verify", signedEnvelope.hmac);
  }

  // The payload.
  const Status status = checkPayload(*envelope);
  const SyncEnvelope copy = *envelope;
  const Status statusOfCopy = checkPayload(copy);
  if (status.ok() != statusOfCopy.ok()) {
    fail("the payload check depends on the payload buffer's spare room",
         status ? statusOfCopy.error().message : status.error().message);
  }
  if (!status && status.error().message != statusOfCopy.error().message) {
    fail("the payload check fails differently for a copy",
         status.error().message + "\n" + statusOfCopy.error().message);
  }
  const bool payloadDecodes = checkPayloadRoundTrip(*envelope);
  if (payloadDecodes != status.ok()) {
    fail("checkPayload disagrees with decoding the payload as its type's record",
         status ? std::string("accepted") : status.error().message);
  }
  return 0;
}
