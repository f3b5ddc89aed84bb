// Writes the seed corpora of the fuzz targets:
//   fuzz_make_seeds <dir>   ->  <dir>/fuzz_envelope/*, <dir>/fuzz_payloads/*,
//                               <dir>/fuzz_http_request/*, <dir>/fuzz_json_rpc/*,
//                               <dir>/fuzz_control_request/*
// Valid seeds are built from records and encoded (messages signed with the
// fuzz targets' kSecret); the rest are hand-made texts near the edges of what
// the decoder accepts. Every seed stays small so that mutations stay cheap.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>

#include "common/base64.h"
#include "common/date.h"
#include "common/uuid.h"
#include "fuzz_checks.h"
#include "sync/contact_sync_model.h"
#include "sync/event_sync_model.h"
#include "sync/record_payloads.h"
#include "wire/sync_envelope.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxSeedSize = 4096;

Uuid id(const char* text) {
  return Uuid::parse(text).value();
}
Date at(std::int64_t seconds) {
  return dateFromUnixSeconds(seconds);
}

class SeedWriter {
 public:
  explicit SeedWriter(fs::path dir) : dir_(std::move(dir)) { fs::create_directories(dir_); }

  void write(const std::string& name, std::string_view content) {
    if (content.size() > kMaxSeedSize) {
      std::fprintf(stderr, "seed %s is %zu bytes, more than %zu\n", name.c_str(), content.size(),
                   kMaxSeedSize);
      failed_ = true;
    }
    std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", (dir_ / name).c_str());
      failed_ = true;
    }
  }

  bool failed() const { return failed_; }

 private:
  fs::path dir_;
  bool failed_ = false;
};

NoteSyncModel note() {
  NoteSyncModel n;
  n.id = id("6F1C2B8E-0D3A-4E59-9A7B-1C2D3E4F5A6B");
  n.syncID = id("0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9");
  n.createdAt = at(1'741'944'413);
  n.noteType = "voice";
  n.textContent = "Wants a demo in March \xE2\x80\x94 ask about \"EU\" hosting";
  n.audioFileName = "note-1.m4a";
  n.authorName = "Dana";
  n.cleanedAt = at(1'741'944'500);
  return n;
}

OpportunitySyncModel opportunity() {
  OpportunitySyncModel o;
  o.id = id("C0FFEE00-1234-4567-89AB-CDEF01234567");
  o.createdAt = at(1'741'944'413);
  o.updatedAt = at(1'741'948'013);
  o.title = "Fleet pilot";
  o.companyName = "Nordwind GmbH";
  o.value = 12500.5;
  o.currency = "EUR";
  o.stage = "Exploring";
  o.timeline = "This quarter";
  o.nextStep = "Send pricing";
  o.confidence = "Medium";
  o.suggestedByAI = true;
  o.sourceNoteID = note().id;
  return o;
}

ContactSyncModel contact(bool withRelated) {
  ContactSyncModel c;
  c.id = id("11111111-2222-4333-8444-555555555555");
  c.syncID = id("AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE");
  c.firstName = "Jürgen";
  c.lastName = "O'Neil";
  c.company = "Nordwind GmbH";
  c.title = "Head of Fleet";
  c.email = "j.oneil@nordwind.example";
  c.countryCode = "DE";
  c.priorityScore = 0.875;
  c.rank = 3;
  c.overallScore = -1.5e-7;
  c.linkedinMatchScore = 1e21;
  c.source = "scanned";
  c.status = "met";
  c.isTarget = true;
  c.metAt = at(1'741'944'000);
  c.interactionRating = 4;
  c.emailVerified = false;
  c.alsoMetBy = {"Sam", "Ana"};
  if (withRelated) {
    c.notes = {note()};
    c.opportunities = {opportunity()};
    c.captureFileNames = {"card-front.jpg"};
  }
  return c;
}

EventSyncModel event() {
  EventSyncModel e;
  e.id = id("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  e.name = "Hannover Messe 2025";
  e.startDate = at(1'743'375'600);
  e.endDate = at(1'743'789'600);
  e.location = "Hannover";
  e.createdAt = at(1'740'000'000);
  e.updatedAt = at(1'741'000'000);
  e.isAdminDevice = true;
  e.teamMemberDeviceIDs = {"PHONE-1", "PHONE-2"};
  e.ourBoothNumber = "H12-C04";
  return e;
}

PipelineStage stage(const char* uuid, const char* name, std::int64_t order, const char* color) {
  return PipelineStage{id(uuid), name, order, color};
}

MediaBlobPayload mediaBlob() {
  MediaBlobPayload m;
  m.eventID = event().id;
  m.contactSyncID = contact(false).syncID;
  m.fileName = "card-front.jpg";
  m.imageData = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0xFF, 0xD9};
  m.mimeType = "image/jpeg";
  m.captureType = "businessCard";
  m.capturedAt = at(1'741'944'000);
  m.ocrExtractedText = "Jürgen O'Neil\nHead of Fleet";
  return m;
}

template <WireRecordType M>
std::string json(const M& record) {
  return encodeSyncJSON(record).value();
}

/// A message as the phone sends it: built at a fixed time with a fixed id.
template <WireRecordType P>
std::string message(SyncMessageType type, const P& payload, bool sign,
                    std::optional<Uuid> correlation = std::nullopt) {
  SyncEnvelope envelope = SyncEnvelope::make(type, payload).value();
  envelope.messageID = id("5D9C1A3E-7B2F-4C8D-9E0A-1B2C3D4E5F60");
  envelope.correlationID = correlation;
  envelope.timestamp = at(1'741'944'413);
  if (sign) envelope = signEnvelope(envelope, std::span(fuzz::kSecret));
  return encodeEnvelope(envelope).value();
}

/// As above around arbitrary payload bytes.
std::string rawMessage(SyncMessageType type, std::string_view payload) {
  SyncEnvelope envelope = SyncEnvelope::make(type, Bytes(payload.begin(), payload.end()));
  envelope.messageID = id("5D9C1A3E-7B2F-4C8D-9E0A-1B2C3D4E5F60");
  envelope.timestamp = at(1'741'944'413);
  envelope = signEnvelope(envelope, std::span(fuzz::kSecret));
  return encodeEnvelope(envelope).value();
}

std::string nested(std::size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

void writeEnvelopeSeeds(SeedWriter& out) {
  using T = SyncMessageType;
  DeltaNotePayload deltaNote{event().id, contact(false).syncID, note(), "Dana's phone"};
  out.write("delta_note_signed.json", message(T::deltaNote, deltaNote, true));
  out.write("media_blob_signed.json", message(T::mediaBlob, mediaBlob(), true));
  EventSnapshotPayload snapshot{event(), {contact(false)}, std::nullopt};
  snapshot.pipelineStages =
      std::vector{stage("00000000-0000-4000-8000-000000000001", "Exploring", 0, "8E8E93")};
  out.write("event_snapshot_signed.json", message(T::eventSnapshot, snapshot, true));
  PairHandshakePayload handshake{"PHONE-1", "Dana's phone", base64Encode(std::span(fuzz::kSecret)),
                                 "bm9uY2U="};
  out.write("pair_handshake_unsigned.json", message(T::pairHandshake, handshake, false));
  RelayResponsePayload answer{true, "Three talking points", std::nullopt, "openai"};
  out.write("relay_ai_response_signed.json",
            message(T::relayAIResponse, answer, true, id("99999999-8888-4777-8666-555555555555")));
  SnapshotRequest request{{{event().id, at(1'741'000'000)}}};
  out.write("snapshot_request_signed.json", message(T::eventSnapshotRequest, request, true));
  EventListResponsePayload list{{EventListItem{event().id, event().name, event().startDate,
                                               std::nullopt, event().location, 42}}};
  out.write("event_list_response_signed.json", message(T::eventListResponse, list, true));
  out.write("error_signed.json",
            message(T::error, ErrorPayload{"E_DECODE", "bad payload", std::nullopt}, true));
  out.write("qlm_bundle_signed.json", rawMessage(T::qlmBundle, "PK\x03\x04 not examined"));
  out.write(
      "delta_contact_unsigned.json",
      message(T::deltaContact, DeltaContactPayload{event().id, contact(true), "Sam", "P2"}, false));

  // Near misses and plain garbage.
  out.write("payload_not_json_signed.json", rawMessage(T::error, "{\"code\":\"E\",\"message\":"));
  out.write("payload_invalid_utf8_signed.json",
            rawMessage(T::error, "{\"code\":\"\xC3\x28\",\"message\":\"m\"}"));
  out.write("payload_wrong_type_signed.json",
            rawMessage(T::deltaNote, "{\"eventID\":42,\"note\":[],\"senderName\":null}"));
  out.write("lowercase_ids_offset_time.json",
            R"({"type":"event.list.request","messageID":"5d9c1a3e-7b2f-4c8d-9e0a-1b2c3d4e5f60",)"
            R"("correlationID":null,"timestamp":"2025-03-14T11:26:53+02:00","hmac":"",)"
            R"("payload":"e30=","extra":{"ignored":[1,2.5,true]}})");
  out.write("fractional_timestamp.json",
            R"({"type":"error","messageID":"5D9C1A3E-7B2F-4C8D-9E0A-1B2C3D4E5F60",)"
            R"("timestamp":"2025-03-14T09:26:53.5Z","hmac":"","payload":""})");
  out.write("unknown_type.json",
            R"({"type":"delta.unknown","messageID":"5D9C1A3E-7B2F-4C8D-9E0A-1B2C3D4E5F60",)"
            R"("timestamp":"2025-03-14T09:26:53Z","hmac":"","payload":"e30="})");
  out.write("bad_base64.json",
            R"({"type":"error","messageID":"5D9C1A3E-7B2F-4C8D-9E0A-1B2C3D4E5F60",)"
            R"("timestamp":"2025-03-14T09:26:53Z","hmac":"!!!!","payload":"e30"})");
  out.write("duplicate_keys.json",
            R"({"type":"error","type":"event.list.request","hmac":"x","hmac":"",)"
            R"("messageID":"5D9C1A3E-7B2F-4C8D-9E0A-1B2C3D4E5F60",)"
            R"("timestamp":"2025-03-14T09:26:53Z","payload":"e30="})");
  out.write("deep_nesting.json", "{\"type\":" + nested(1500) + "}");
  out.write("not_json.txt", "HTTP/1.1 200 OK\r\n\r\nhello");
  out.write("invalid_utf8.json", "{\"type\":\"err\xF0\x28\x8C\xBC\"}");
}

void writePayloadSeeds(SeedWriter& out) {
  // Valid records, one per letter of fuzz_payloads.
  DeltaNotePayload deltaNote{event().id, contact(false).syncID, note(), "Dana's phone"};
  SyncEnvelope envelope = SyncEnvelope::make(SyncMessageType::deltaNote, deltaNote).value();
  envelope.messageID = id("5D9C1A3E-7B2F-4C8D-9E0A-1B2C3D4E5F60");
  envelope.timestamp = at(1'741'944'413);
  envelope = signEnvelope(envelope, std::span(fuzz::kSecret));
  out.write("a_envelope.json", "a" + json(envelope));
  out.write("b_pair_handshake.json",
            "b" + json(PairHandshakePayload{"PHONE-1", "Dana's phone",
                                            base64Encode(std::span(fuzz::kSecret)), ""}));
  out.write("c_pair_ack.json", "c" + json(PairAckPayload{"MAC-1", "Desk", true}));
  out.write("d_event_list_request.json", "d" + json(EventListRequestPayload{}));
  const EventListItem item{event().id,      event().name, event().startDate,
                           event().endDate, std::nullopt, 7};
  out.write("e_event_list_item.json", "e" + json(item));
  out.write("f_event_list_response.json", "f" + json(EventListResponsePayload{{item, item}}));
  out.write("g_event_snapshot_request.json", "g" + json(EventSnapshotRequestPayload{event().id}));
  out.write(
      "h_snapshot_request.json",
      "h" + json(SnapshotRequest{{{event().id, at(1'741'000'000)}, {contact(false).id, at(0)}}}));
  out.write("i_pipeline_stage.json",
            "i" + json(stage("00000000-0000-4000-8000-000000000002", "Won", -3, "34C759")));
  EventSnapshotPayload snapshot{event(), {contact(true)}, std::nullopt};
  snapshot.pipelineStages =
      std::vector{stage("00000000-0000-4000-8000-000000000001", "Exploring", 0, "8E8E93"),
                  stage("00000000-0000-4000-8000-000000000002", "Won", 1, "34C759")};
  out.write("j_event_snapshot.json", "j" + json(snapshot));
  out.write("k_delta_contact.json",
            "k" + json(DeltaContactPayload{event().id, contact(true), "Sam", "PHONE-2"}));
  out.write("l_delta_note.json", "l" + json(deltaNote));
  out.write("m_delta_opportunity.json",
            "m" + json(DeltaOpportunityPayload{event().id, opportunity(), "Nordwind", "Sam"}));
  DeltaReportPayload report;
  report.eventID = event().id;
  report.reportID = id("ABCDEFAB-CDEF-4ABC-8DEF-ABCDEFABCDEF");
  report.reportType = "summary";
  report.generatedAt = at(1'741'990'000);
  report.reportContent = "# Day one\n\n* 12 contacts\n\t* 3 hot";
  report.detailLevel = "brief";
  out.write("n_delta_report.json", "n" + json(report));
  out.write("o_media_request.json",
            "o" + json(MediaRequestPayload{event().id, contact(false).syncID, "card-front.jpg"}));
  out.write("p_media_blob.json", "p" + json(mediaBlob()));
  RelayRequestPayload relay;
  relay.requestType = RelayRequestType::aiSummarize;
  relay.provider = "anthropic";
  relay.prompt = "Summarise the day";
  relay.options = RelayOptions{{"language", "de"}, {"tone", "short"}};
  relay.contactIDs = std::vector{contact(false).id, contact(false).syncID};
  out.write("q_relay_request.json", "q" + json(relay));
  out.write("r_relay_response.json",
            "r" + json(RelayResponsePayload{false, std::nullopt, "quota exceeded", "openai"}));
  out.write("s_qlm_import_result.json",
            "s" + json(QLMImportResultPayload{true, 120, std::nullopt}));
  out.write("t_error.json", "t" + json(ErrorPayload{"E_MEDIA", "no such file", "card-back.jpg"}));
  out.write("u_contact.json", "u" + json(contact(true)));
  out.write("v_note.json", "v" + json(note()));
  out.write("w_opportunity.json", "w" + json(opportunity()));
  out.write("x_event.json", "x" + json(event()));

  // Accepted texts the encoder never writes.
  out.write("x_event_offsets_lowercase_nulls.json",
            R"(x{"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","name":"A\u00e9\ud83d\ude00\n",)"
            R"("createdAt":"2025-02-19T23:00:00-01:30","updatedAt":"2025-03-01T00:00:00+14:00",)"
            R"("startDate":null,"location":null,"isAdminDevice":false,"isAdminDevice":true,)"
            R"("teamMemberDeviceIDs":[],"isArchived":false,"unknown":{"a":[null]}})");
  out.write("q_relay_request_minimal.json",
            R"(q{"requestType":"crm.push","prompt":"","options":{},"contactIDs":[]})");
  out.write("h_snapshot_request_lowercase_keys.json",
            R"(h{"eventTimestamps":{"e621e1f8-c36c-495a-93fc-0c247a3e6e5f":"2025-03-14T09:26:53Z",)"
            R"("E621E1F8-C36C-495A-93FC-0C247A3E6E5F":"2025-03-14T09:26:54Z"}})");
  out.write("e_event_list_item_extremes.json",
            R"(e{"id":"00000000-0000-0000-0000-000000000000","name":"",)"
            R"("startDate":"0000-01-01T00:00:00Z","endDate":"9999-12-31T23:59:59Z",)"
            R"("contactCount":-9223372036854775808})");
  out.write("w_opportunity_numbers.json",
            R"(w{"id":"C0FFEE00-1234-4567-89AB-CDEF01234567","createdAt":"2025-03-14T09:26:53Z",)"
            R"("updatedAt":"2025-03-14T09:26:53Z","title":"t","companyName":"c","currency":"EUR",)"
            R"("stage":"s","nextStep":"n","suggestedByAI":false,"value":-0.0,)"
            R"("value":1.7976931348623157e308})");
  out.write("p_media_blob_empty_image.json",
            R"(p{"eventID":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
            R"("contactSyncID":"AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE","fileName":"x",)"
            R"("imageData":"","mimeType":"image/png","captureType":"badge",)"
            R"("capturedAt":"2025-03-14T09:26:53Z","caption":null})");

  // Rejected texts.
  out.write("e_count_out_of_range.json",
            R"(e{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"n",)"
            R"("contactCount":9223372036854775808})");
  out.write("e_count_fraction.json",
            R"(e{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"n","contactCount":1.0})");
  out.write("w_value_too_large.json", R"(w{"value":1e309})");
  out.write("p_bad_base64.json",
            R"(p{"eventID":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
            R"("contactSyncID":"AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE","fileName":"x",)"
            R"("imageData":"AB==","mimeType":"image/png","captureType":"badge",)"
            R"("capturedAt":"2025-03-14T09:26:53Z"})");
  out.write("x_fractional_date.json",
            R"(x{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"n",)"
            R"("createdAt":"2025-03-14T09:26:53.250Z","updatedAt":"2025-02-29T09:26:53Z",)"
            R"("isAdminDevice":false,"teamMemberDeviceIDs":[],"isArchived":false})");
  out.write("v_invalid_utf8.json",
            "v{\"id\":\"6F1C2B8E-0D3A-4E59-9A7B-1C2D3E4F5A6B\",\"noteType\":\"\xED\xA0\x80\"}");
  out.write("v_lone_surrogate.json", R"(v{"noteType":"\udc00\ud800"})");
  out.write("j_deep_nesting.json", "j{\"event\":" + nested(1500) + "}");
  out.write("u_wrong_types.json",
            R"(u{"id":true,"alsoMetBy":"Sam","notes":{},"isTarget":"yes","rank":"3"})");
  out.write("a_not_json.txt", "a<?xml version=\"1.0\"?><envelope/>");
  out.write("i_truncated.json", R"(i{"id":"00000000-0000-4000-8000-000000000002","name":"Wo)");
}

/// A stream for fuzz_http_request: its settings byte (bit 0 the client
/// finishes sending, bits 1-2 the body cap, bits 3-4 the head limit), the seed
/// of its read sizes, then the bytes.
std::string stream(std::uint8_t settings, std::uint8_t seed, std::string_view bytes) {
  std::string out{static_cast<char>(settings), static_cast<char>(seed)};
  out += bytes;
  return out;
}

constexpr std::uint8_t kFinishes = 1;
constexpr std::uint8_t kCap1000 = 1 << 1;
constexpr std::uint8_t kCap16 = 2 << 1;
constexpr std::uint8_t kHead4096 = 1 << 3;
constexpr std::uint8_t kHead200 = 2 << 3;

std::string post(std::string_view body, std::string_view headers = {}) {
  return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1:23816\r\nContent-Type: application/json\r\n"
         "Content-Length: " +
         std::to_string(body.size()) + "\r\n" + std::string(headers) + "\r\n" + std::string(body);
}

void writeHTTPSeeds(SeedWriter& out) {
  const std::string ping = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";
  out.write("post.http", stream(0, 0, post(ping)));
  out.write("post_finished_long_reads.http", stream(kFinishes, 7, post(ping)));
  out.write("get_status.http", stream(0, 1, "GET /mcp HTTP/1.1\r\nHost: localhost\r\n\r\n"));
  out.write("options.http", stream(0, 2, "OPTIONS /mcp?x=1 HTTP/1.1\r\n\r\n"));
  out.write("utf8_cut_across_reads.http",
            stream(0, 3, "POST /p HTTP/1.1\r\nContent-Length: 4\r\n\r\nx\xC3\xA9y"));
  out.write("invalid_utf8_in_body.http",
            stream(0, 4, "POST /p HTTP/1.1\r\nContent-Length: 4\r\n\r\nx\xC3\xFFy"));
  out.write("invalid_utf8_in_head.http",
            stream(0, 5, "GET /p HTTP/1.1\r\nX-Name: caf\xE9\r\n\r\n"));
  for (const auto& [name, length] : {std::pair{"negative", "-1"},
                                     {"not_a_number", "ab"},
                                     {"plus", "+2"},
                                     {"empty", ""},
                                     {"hex", "0x2"},
                                     {"huge", "99999999999999999999999999"},
                                     {"spaced", " 2 "}}) {
    out.write(std::string("content_length_") + name + ".http",
              stream(kFinishes, 6,
                     std::string("POST /p HTTP/1.1\r\nContent-Length: ") + length + "\r\n\r\nok"));
  }
  out.write("content_length_conflicting.http",
            stream(0, 8, "POST /p HTTP/1.1\r\nContent-Length: 2\r\ncontent-length: 3\r\n\r\nok"));
  out.write("content_length_repeated.http",
            stream(0, 9, "POST /p HTTP/1.1\r\nContent-Length: 2\r\nCONTENT-LENGTH:2\r\n\r\nok"));
  out.write("body_over_cap.http", stream(kCap16, 10, post(ping)));
  out.write(
      "body_at_cap.http",
      stream(kCap16, 11, "POST /p HTTP/1.1\r\nContent-Length: 16\r\n\r\n" + std::string(16, 'b')));
  out.write("chunked.http", stream(kFinishes, 12,
                                   "POST /mcp HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                                   "4\r\nabcd\r\n0\r\n\r\n"));
  out.write("chunked_and_length.http",
            stream(0, 13,
                   "POST /mcp HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n"
                   "3\r\nabc\r\n0\r\n\r\n"));
  out.write("huge_head.http", stream(kHead200, 14,
                                     "GET /mcp HTTP/1.1\r\nX-Filler: " + std::string(1000, 'f') +
                                         "\r\nOrigin: https://evil.example\r\n\r\n"));
  out.write("head_at_limit.http",
            stream(kHead4096 | kFinishes, 15, "GET /mcp HTTP/1.1\r\nX: " + std::string(3000, 'h')));
  out.write("no_blank_line_finished.http",
            stream(kFinishes, 16, "POST /p HTTP/1.1\r\nContent-Length: 20"));
  out.write("short_body_finished.http",
            stream(kFinishes, 17, "POST /p HTTP/1.1\r\nContent-Length: 100\r\n\r\nabcd"));
  out.write("short_body_waiting.http",
            stream(0, 18, "POST /p HTTP/1.1\r\nContent-Length: 100\r\n\r\nabcd"));
  out.write("pipelined.http", stream(kCap1000, 19, post(ping) + post(ping)));
  out.write("body_without_length.http",
            stream(kFinishes, 20, "POST /mcp HTTP/1.1\r\nHost: localhost\r\n\r\n{\"a\":1}"));
  out.write("foreign_origin.http", stream(0, 21, post(ping, "Origin: https://evil.example\r\n")));
  out.write("rebinding_host.http",
            stream(0, 22, "GET /mcp HTTP/1.1\r\nHost: evil.example:23816\r\n\r\n"));
  out.write(
      "odd_request_line.http",
      stream(0, 23, "  get   /other?q   HTTP/1.1\r\n  X-A \t:  \tb c \t\r\nno colon\r\n\r\n"));
  out.write("bare_line_feeds.http", stream(kFinishes, 24, "POST /mcp HTTP/1.1\n\n{}"));
  out.write("empty.http", stream(kFinishes, 25, ""));
}

void writeJSONRPCSeeds(SeedWriter& out) {
  const std::string initialize =
      R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-03-26",)"
      R"("capabilities":{},"clientInfo":{"name":"fuzz-client","version":"1.0"}}})";
  out.write("initialize.json", initialize);
  out.write("tools_list.json", R"({"jsonrpc":"2.0","id":"list","method":"tools/list"})");
  out.write("ping_notification.json", R"({"jsonrpc":"2.0","method":"ping"})");
  out.write("initialized_with_id.json",
            R"({"jsonrpc":"2.0","id":7,"method":"notifications/initialized"})");
  const char* calls[] = {
      R"({"name":"list_events","arguments":{}})",
      R"({"name":"list_contacts","arguments":{"event_id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
      R"("query":"Nord","status":"met","is_target":true,"limit":500,"offset":-1}})",
      R"({"name":"search_contacts","arguments":{"query":"\u00e9\ud83d\ude00","limit":"9"}})",
      R"({"name":"get_contact","arguments":{"contact_id":"not-a-uuid"}})",
      R"({"name":"create_note","arguments":{"contact_id":"11111111-2222-4333-8444-555555555555",)"
      R"("text":"hello","type":"voice"}})",
      R"({"name":"no_such_tool","arguments":[]})"};
  int n = 0;
  for (const char* call : calls) {
    const std::string number = std::to_string(n++);
    out.write("batch_initialize_call_" + number + ".json",
              "[" + initialize + R"(,{"jsonrpc":"2.0","id":)" + number +
                  R"(,"method":"tools/call","params":)" + call + "}]");
  }
  out.write("call_without_handshake.json",
            R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"list_events"}})");
  const char* ids[] = {R"("abc")",
                       "-42",
                       "9223372036854775807",
                       "-9223372036854775808",
                       "9223372036854775808",
                       "1.0",
                       "1e2",
                       "true",
                       "null",
                       "{}",
                       "[1]",
                       R"("")"};
  n = 0;
  for (const char* id : ids) {
    out.write("id_" + std::to_string(n++) + ".json",
              std::string(R"({"jsonrpc":"2.0","method":"ping","id":)") + id + "}");
  }
  out.write("empty_batch.json", "[]");
  out.write("nested_batch.json", R"([[{"jsonrpc":"2.0","id":1,"method":"ping"}]])");
  out.write(
      "batch_with_bad_element.json",
      R"([{"jsonrpc":"2.0","id":1,"method":"ping"},{"jsonrpc":"2.0","id":{},"method":"ping"}])");
  out.write("batch_of_notifications.json",
            R"([{"jsonrpc":"2.0","method":"notifications/initialized"},)"
            R"({"jsonrpc":"2.0","method":"notifications/initialized","id":3}])");
  out.write("missing_jsonrpc.json", R"({"id":1,"method":"ping"})");
  out.write("method_not_text.json", R"({"jsonrpc":"2.0","id":1,"method":5})");
  out.write("params_null_and_array.json",
            R"([{"jsonrpc":"1.0","id":1,"method":"x","params":null},)"
            R"({"jsonrpc":"2.0","id":2,"method":"x","params":[1,"a",null]}])");
  out.write("duplicate_keys.json",
            R"({"jsonrpc":"2.0","id":"a","id":2,"method":"x","method":"ping"})");
  out.write("deep_params.json",
            R"({"jsonrpc":"2.0","id":1,"method":"x","params":)" + nested(1500) + "}");
  out.write("not_json.txt", "jsonrpc=2.0&method=ping");
  out.write("invalid_utf8.json", "{\"jsonrpc\":\"2.0\",\"id\":\"\xC3\x28\",\"method\":\"ping\"}");
  out.write("empty.json", "");
}

void writeControlSeeds(SeedWriter& out) {
  out.write("status.json", R"({"command":"status"})");
  out.write("settings_set.json", R"({"command":"settings.set","key":"appLanguage","value":"de"})");
  out.write("settings_set_wrong_types.json",
            R"({"command":"settings.set","key":["appLanguage"],"value":true})");
  for (const auto& [name, value] : {std::pair{"60", "60"},
                                    {"negative", "-1"},
                                    {"text", R"("60")"},
                                    {"huge", "1e9"},
                                    {"fraction", "1.5"},
                                    {"past_int64", "18446744073709551616"}}) {
    out.write(std::string("pairing_start_") + name + ".json",
              std::string(R"({"command":"pairing.start","timeoutSeconds":)") + value + "}");
  }
  out.write("command_number.json", R"({"command":5})");
  out.write("command_null.json", R"({"command":null})");
  out.write("command_object.json", R"({"command":{"command":"status"}})");
  out.write("no_command.json", R"({"key":"value"})");
  out.write("duplicate_command.json", R"({"command":1,"command":"status"})");
  out.write("array.json", R"([{"command":"status"}])");
  out.write("string.json", R"("status")");
  out.write("crlf.json", "{\"command\":\"status\"}\r");
  out.write("escapes.json", R"({"command":"st\u0061tus\u0000\ud83d\ude00"})");
  out.write("lone_surrogate.json", R"({"command":"\ud800"})");
  out.write("invalid_utf8.json", "{\"command\":\"st\xE1tus\"}");
  out.write("deep.json", R"({"command":"status","x":)" + nested(1500) + "}");
  out.write("trailing_text.json", R"({"command":"status"} {"command":"reset"})");
  out.write("empty.json", "");
}

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root = argv[1];
  qm::SeedWriter envelopes(root / "fuzz_envelope");
  qm::writeEnvelopeSeeds(envelopes);
  qm::SeedWriter payloads(root / "fuzz_payloads");
  qm::writePayloadSeeds(payloads);
  qm::SeedWriter http(root / "fuzz_http_request");
  qm::writeHTTPSeeds(http);
  qm::SeedWriter jsonRPC(root / "fuzz_json_rpc");
  qm::writeJSONRPCSeeds(jsonRPC);
  qm::SeedWriter control(root / "fuzz_control_request");
  qm::writeControlSeeds(control);
  return envelopes.failed() || payloads.failed() || http.failed() || jsonRPC.failed() ||
                 control.failed()
             ? 1
             : 0;
}
