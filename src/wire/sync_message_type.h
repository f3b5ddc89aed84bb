#pragma once

#include <array>

#include "common/enum_info.h"

namespace qm {

/// What an envelope's payload is; travels as its wire name.
enum class SyncMessageType {
  pairHandshake,
  pairAck,
  eventSnapshot,
  eventSnapshotRequest,
  eventListRequest,
  eventListResponse,
  deltaContact,
  deltaNote,
  deltaOpportunity,
  deltaReport,
  mediaRequest,
  mediaBlob,
  relayAIRequest,
  relayAIResponse,
  relayCRMPush,
  relayCRMResult,
  qlmBundle,
  qlmImportResult,
  error,
};

/// The raw value is the wire name.
template <>
struct EnumInfo<SyncMessageType> {
  using E = SyncMessageType;
  static constexpr std::array<EnumCase<E>, 19> cases{{
      {E::pairHandshake, "pair.handshake", "pair.handshake"},
      {E::pairAck, "pair.ack", "pair.ack"},
      {E::eventSnapshot, "event.snapshot", "event.snapshot"},
      {E::eventSnapshotRequest, "event.snapshot.request", "event.snapshot.request"},
      {E::eventListRequest, "event.list.request", "event.list.request"},
      {E::eventListResponse, "event.list.response", "event.list.response"},
      {E::deltaContact, "delta.contact", "delta.contact"},
      {E::deltaNote, "delta.note", "delta.note"},
      {E::deltaOpportunity, "delta.opportunity", "delta.opportunity"},
      {E::deltaReport, "delta.report", "delta.report"},
      {E::mediaRequest, "media.request", "media.request"},
      {E::mediaBlob, "media.blob", "media.blob"},
      {E::relayAIRequest, "relay.ai.request", "relay.ai.request"},
      {E::relayAIResponse, "relay.ai.response", "relay.ai.response"},
      {E::relayCRMPush, "relay.crm.push", "relay.crm.push"},
      {E::relayCRMResult, "relay.crm.result", "relay.crm.result"},
      {E::qlmBundle, "qlm.bundle", "qlm.bundle"},
      {E::qlmImportResult, "qlm.import.result", "qlm.import.result"},
      {E::error, "error", "error"},
  }};
};

}  // namespace qm
