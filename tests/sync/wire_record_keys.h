#pragma once

// The keys of every wire record, read from the records' own X-macro lists, a
// filler that gives every key a value, and a walk over every wire record.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "support/record_fillers.h"
#include "sync/record_payloads.h"
#include "wire/sync_envelope.h"

namespace qm::test {

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

/// The keys of wire record M in declaration order: `visit(key, optional, member)`.
template <class M>
struct Keys;

#define QM_VISIT_KEY(Type, key) visit(std::string_view(#key), IsOptional<Type>::value, &Self::key);
#define QM_KEYS_OF(M, LIST)                        \
  template <>                                      \
  struct Keys<M> {                                 \
    template <class V>                             \
    static void each([[maybe_unused]] V&& visit) { \
      using Self [[maybe_unused]] = M;             \
      LIST(QM_VISIT_KEY)                           \
    }                                              \
  };

QM_KEYS_OF(SyncEnvelope, QM_SYNC_ENVELOPE_FIELDS)
QM_KEYS_OF(PairHandshakePayload, QM_PAIR_HANDSHAKE_PAYLOAD_FIELDS)
QM_KEYS_OF(PairAckPayload, QM_PAIR_ACK_PAYLOAD_FIELDS)
QM_KEYS_OF(EventListRequestPayload, QM_EVENT_LIST_REQUEST_PAYLOAD_FIELDS)
QM_KEYS_OF(EventListItem, QM_EVENT_LIST_ITEM_FIELDS)
QM_KEYS_OF(EventListResponsePayload, QM_EVENT_LIST_RESPONSE_PAYLOAD_FIELDS)
QM_KEYS_OF(EventSnapshotRequestPayload, QM_EVENT_SNAPSHOT_REQUEST_PAYLOAD_FIELDS)
QM_KEYS_OF(SnapshotRequest, QM_SNAPSHOT_REQUEST_FIELDS)
QM_KEYS_OF(DeltaReportPayload, QM_DELTA_REPORT_PAYLOAD_FIELDS)
QM_KEYS_OF(MediaRequestPayload, QM_MEDIA_REQUEST_PAYLOAD_FIELDS)
QM_KEYS_OF(MediaBlobPayload, QM_MEDIA_BLOB_PAYLOAD_FIELDS)
QM_KEYS_OF(RelayRequestPayload, QM_RELAY_REQUEST_PAYLOAD_FIELDS)
QM_KEYS_OF(RelayResponsePayload, QM_RELAY_RESPONSE_PAYLOAD_FIELDS)
QM_KEYS_OF(QLMImportResultPayload, QM_QLM_IMPORT_RESULT_PAYLOAD_FIELDS)
QM_KEYS_OF(ErrorPayload, QM_ERROR_PAYLOAD_FIELDS)
QM_KEYS_OF(NoteSyncModel, QM_NOTE_SYNC_FIELDS)
QM_KEYS_OF(OpportunitySyncModel, QM_OPPORTUNITY_SYNC_FIELDS)
QM_KEYS_OF(ContactSyncModel, QM_CONTACT_SYNC_FIELDS)
QM_KEYS_OF(EventSyncModel, QM_EVENT_SYNC_FIELDS)
QM_KEYS_OF(PipelineStage, QM_PIPELINE_STAGE_WIRE_FIELDS)
QM_KEYS_OF(EventSnapshotPayload, QM_EVENT_SNAPSHOT_PAYLOAD_FIELDS)
QM_KEYS_OF(DeltaContactPayload, QM_DELTA_CONTACT_PAYLOAD_FIELDS)
QM_KEYS_OF(DeltaNotePayload, QM_DELTA_NOTE_PAYLOAD_FIELDS)
QM_KEYS_OF(DeltaOpportunityPayload, QM_DELTA_OPPORTUNITY_PAYLOAD_FIELDS)

template <class M>
std::vector<std::string> keysOf(bool optional) {
  std::vector<std::string> keys;
  Keys<M>::each([&](std::string_view key, bool isOptional, auto) {
    if (isOptional == optional) keys.emplace_back(key);
  });
  return keys;
}

/// Gives keys values that differ from key to key (so a value landing under
/// the wrong key shows), awkward ones where the type allows (see
/// SampleValues), with two items per list and map; notes the nested records
/// it met.
struct Filler {
  bool optionals = true;  ///< false: optional keys stay empty
  int n = 0;
  SampleValues values{7};
  std::set<std::string_view> nested;

  void fill(std::string& v) { v = values.text(); }
  void fill(bool& v) { v = ++n % 2 == 0; }
  void fill(std::int64_t& v) { v = values.integer(); }
  void fill(double& v) { v = values.decimal(); }
  void fill(Date& v) { v = dateFromUnixSeconds(1'700'000'000 + ++n); }  // whole seconds
  void fill(Uuid& v) { v = Uuid::random(); }
  void fill(Bytes& v) { v = values.bytes(); }
  template <DescribedEnum E>
  void fill(E& v) {
    v = allCases<E>()[static_cast<std::size_t>(++n) % allCases<E>().size()];
  }
  template <class T>
  void fill(std::optional<T>& v) {
    if (optionals) fill(v.emplace());
  }
  template <class T>
  void fill(std::vector<T>& v) {
    fill(v.emplace_back());
    fill(v.emplace_back());
  }
  template <class K, class V>
  void fill(std::map<K, V>& v) {
    for (int i = 0; i < 2; ++i) {
      K key{};
      fill(key);
      fill(v[key]);
    }
  }
  template <WireRecordType M>
  void fill(M& record) {
    nested.insert(WireRecord<M>::name);
    Keys<M>::each([&](std::string_view, bool, auto member) { fill(record.*member); });
  }
  /// `record` with every key given, or only the required ones.
  template <class M>
  M filled(bool withOptionals) {
    M record{};
    optionals = withOptionals;
    Keys<M>::each([&](std::string_view, bool, auto member) { fill(record.*member); });
    return record;
  }
};

/// Calls `check.template operator()<M>()` once for every wire record: the
/// envelope, every payload record of every message type and the records nested
/// in them. Fails when a nested record is not on the list.
template <class Check>
void forEveryWireRecord(Check&& check) {
  std::set<std::string_view> checked, nested;
  auto once = [&]<class M>() {
    if (!checked.insert(WireRecord<M>::name).second) return;
    check.template operator()<M>();
    Filler filler;
    filler.filled<M>(true);
    nested.merge(filler.nested);
  };
  once.template operator()<SyncEnvelope>();
  for (const auto type : allCases<SyncMessageType>()) forEachPayloadRecord(type, once);
  once.template operator()<EventListItem>();
  once.template operator()<NoteSyncModel>();
  once.template operator()<OpportunitySyncModel>();
  once.template operator()<ContactSyncModel>();
  once.template operator()<EventSyncModel>();
  once.template operator()<PipelineStage>();
  for (const auto name : nested) EXPECT_TRUE(checked.contains(name)) << name << " is not checked";
}

}  // namespace qm::test
