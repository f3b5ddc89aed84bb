// Received messages reach the one module that handles their type.
#include <gmock/gmock.h>

#include "app/message_dispatcher.h"
#include "common/log.h"
#include "support/log_capture.h"

namespace qm {
namespace {

CheckedMessage messageOf(SyncMessageType type) {
  return {SyncEnvelope::make(type, Bytes{'{', '}'}), MessageCheck::verified};
}

TEST(MessageDispatcher, HandsEachTypeToItsOwnHandlerAndLogsTheRest) {
  MessageDispatcher dispatcher;
  std::vector<std::string> heard;
  dispatcher.handle(SyncMessageType::deltaNote, [&](const CheckedMessage& m) {
    heard.push_back("note:" + std::string(rawValue(m.envelope.type)));
  });
  dispatcher.handle(SyncMessageType::mediaBlob,
                    [&](const CheckedMessage&) { heard.push_back("first"); });
  dispatcher.handle(SyncMessageType::mediaBlob,
                    [&](const CheckedMessage&) { heard.push_back("blob"); });

  log::setLevel(spdlog::level::info);
  test::LogCapture logged(log::sync());
  for (auto type : {SyncMessageType::deltaNote, SyncMessageType::mediaBlob, SyncMessageType::error})
    dispatcher.dispatch(messageOf(type));
  dispatcher.remove(SyncMessageType::deltaNote);
  dispatcher.dispatch(messageOf(SyncMessageType::deltaNote));

  EXPECT_THAT(heard, ::testing::ElementsAre("note:delta.note", "blob"));
  EXPECT_THAT(logged.text(), ::testing::HasSubstr("Received error (2 bytes), not handled yet"));
  EXPECT_THAT(logged.text(),
              ::testing::HasSubstr("Received delta.note (2 bytes), not handled yet"));
}

}  // namespace
}  // namespace qm
