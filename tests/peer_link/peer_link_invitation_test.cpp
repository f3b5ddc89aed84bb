// The invitation and its answer: what each side writes, and which frames are
// refused.
#include "peer_link/peer_link_invitation.h"

#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

namespace qm {
namespace {

using Json = nlohmann::json;

/// The name an invitation carries; nothing when it is refused.
std::optional<std::string> nameIn(std::string_view frame) {
  auto decoded = decodeInvitation(frame);
  return decoded ? std::optional(*decoded) : std::nullopt;
}

TEST(PeerLinkInvitation, InvitationCarriesTheNameAndMalformedOnesAreRefused) {
  const std::string text = encodeInvitation("6F1C2A0E-55B4-4C3D-9E0A-7D2B61C4A9F3");
  EXPECT_EQ(Json::parse(text),
            (Json{{"type", "invite"}, {"peerName", "6F1C2A0E-55B4-4C3D-9E0A-7D2B61C4A9F3"}}));
  EXPECT_EQ(nameIn(text), "6F1C2A0E-55B4-4C3D-9E0A-7D2B61C4A9F3");
  // Members the companion does not know are ignored.
  EXPECT_EQ(nameIn(R"({"peerName":"Ana's iPhone","version":2,"type":"invite"})"), "Ana's iPhone");
  // A name that is not UTF-8 still makes a valid invitation.
  EXPECT_EQ(nameIn(encodeInvitation("bad \xff name")), "bad \xEF\xBF\xBD name");

  for (const char* frame :
       {"", "not json", R"(["invite","x"])", R"("invite")", R"({"peerName":"x"})",
        R"({"type":"invite.reply","peerName":"x"})", R"({"type":"INVITE","peerName":"x"})",
        R"({"type":7,"peerName":"x"})", R"({"type":"invite"})",
        R"({"type":"invite","peerName":""})", R"({"type":"invite","peerName":42})",
        R"({"type":"invite","peerName":null})", "{\"type\":\"invite\",\"peerName\":\"\xff\"}",
        R"({"type":"invite","peerName":"x"} trailing)"})
    EXPECT_EQ(nameIn(frame), std::nullopt) << frame;
}

TEST(PeerLinkInvitation, ReplyRoundTripsBothAnswers) {
  for (const bool accepted : {true, false}) {
    const std::string text = encodeInvitationReply({accepted, "DESKTOP-1"});
    EXPECT_EQ(Json::parse(text),
              (Json{{"type", "invite.reply"}, {"accepted", accepted}, {"peerName", "DESKTOP-1"}}));
    auto decoded = decodeInvitationReply(text);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->accepted, accepted);
    EXPECT_EQ(decoded->peerName, "DESKTOP-1");
  }
  for (const char* frame : {R"({"type":"invite.reply","peerName":"x"})",
                            R"({"type":"invite.reply","accepted":"true","peerName":"x"})",
                            R"({"type":"invite.reply","accepted":true})",
                            R"({"type":"invite","accepted":true,"peerName":"x"})", "[]"})
    EXPECT_FALSE(decodeInvitationReply(frame)) << frame;
}

}  // namespace
}  // namespace qm
