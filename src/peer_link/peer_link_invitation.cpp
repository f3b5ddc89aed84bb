#include "peer_link/peer_link_invitation.h"

#include <nlohmann/json.hpp>

namespace qm {

namespace {

using Json = nlohmann::json;

/// The compact text of `json`. A name that is not UTF-8 cannot be a JSON
/// string; it goes out with U+FFFD in place of the bad bytes rather than failing.
std::string text(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

/// The object in `frame`, or why it is none.
Result<Json> parseObject(std::string_view frame) {
  Json json = Json::parse(frame, nullptr, false);
  if (json.is_discarded()) return Error("not JSON");
  if (!json.is_object()) return Error("not a JSON object");
  return json;
}

/// Whether `json` has the string `expected` under "type".
bool hasType(const Json& json, std::string_view expected) {
  const auto type = json.find("type");
  return type != json.end() && type->is_string() && type->get_ref<const std::string&>() == expected;
}

}  // namespace

std::string encodeInvitation(std::string_view peerName) {
  return text(Json{{"type", "invite"}, {"peerName", peerName}});
}

Result<std::string> decodeInvitation(std::string_view frame) {
  auto json = parseObject(frame);
  if (!json) return json.error();
  if (!hasType(*json, "invite")) return Error(R"("type" is not "invite")");
  const auto name = json->find("peerName");
  if (name == json->end() || !name->is_string()) return Error(R"(no string "peerName")");
  std::string peerName = name->get<std::string>();
  if (peerName.empty()) return Error(R"("peerName" is empty)");
  return peerName;
}

std::string encodeInvitationReply(const InvitationReply& reply) {
  return text(
      Json{{"type", "invite.reply"}, {"accepted", reply.accepted}, {"peerName", reply.peerName}});
}

Result<InvitationReply> decodeInvitationReply(std::string_view frame) {
  auto json = parseObject(frame);
  if (!json) return json.error();
  if (!hasType(*json, "invite.reply")) return Error(R"("type" is not "invite.reply")");
  const auto accepted = json->find("accepted");
  if (accepted == json->end() || !accepted->is_boolean()) return Error(R"(no boolean "accepted")");
  const auto name = json->find("peerName");
  if (name == json->end() || !name->is_string()) return Error(R"(no string "peerName")");
  return InvitationReply{accepted->get<bool>(), name->get<std::string>()};
}

}  // namespace qm
