// Streamed replies of the control socket: a client that stops reading is
// dropped once its queue is full, while the others go on.
#include <gmock/gmock.h>

#include <asio.hpp>
#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/change_feed_client.h"
#include "app/control_client.h"
#include "app/control_server.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

constexpr std::size_t kQueueBytes = 64 * 1024;
constexpr int kRounds = 150;
constexpr int kLinesPerRound = 8;

TEST(ControlStream, AClientThatStopsReadingIsDroppedAndTheOthersGoOn) {
  test::TempDir dir;
  const auto socket = dir / "control.sock";
  asio::io_context io;
  ControlServer server(io, socket);
  std::vector<std::shared_ptr<ControlStream>> streams;
  std::atomic<int> closedCalls{0};
  server.handle("subscribe", [&](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
    streams.push_back(
        reply->openStream({{"subscribed", true}}, kQueueBytes, [&] { ++closedCalls; }));
  });
  server.handle("echo", [](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
    reply->succeed(request.value("text", ""));
  });
  ASSERT_TRUE(server.start().ok());
  auto work = asio::make_work_guard(io);
  std::thread loop([&] { io.run(); });
  // An assertion that fails returns early: stop the loop then, rather than
  // leave a joinable thread behind, which aborts the whole test program.
  struct StopOnExit {
    asio::io_context& io;
    std::thread& thread;
    ~StopOnExit() {
      if (!thread.joinable()) return;
      io.stop();
      thread.join();
    }
  } stopOnExit{io, loop};

  auto stuck = ChangeFeedClient::subscribe(socket);
  auto reader = ChangeFeedClient::subscribe(socket);
  ASSERT_OK(stuck);
  ASSERT_OK(reader);

  // About 8 KiB every 5 ms to both: far more than the stuck client's socket and
  // queue hold, little enough for a client that reads even on a busy machine.
  const std::string filler(1000, 'x');
  std::atomic<bool> sent{false};
  asio::steady_timer pace(io);
  std::function<void(int)> round = [&](int n) {
    for (int i = 0; i < kLinesPerRound; ++i)
      for (auto& stream : streams) stream->send({{"n", n * kLinesPerRound + i}, {"pad", filler}});
    if (n + 1 == kRounds) {
      sent = true;
      return;
    }
    pace.expires_after(std::chrono::milliseconds(5));
    pace.async_wait([&, n](std::error_code) { round(n + 1); });
  };
  asio::post(io, [&] { round(0); });

  int received = 0;
  for (; received < kRounds * kLinesPerRound; ++received) {
    auto line = reader->next(std::chrono::seconds(10));
    ASSERT_TRUE(line.ok() && line->has_value()) << "after " << received << " lines";
    ASSERT_EQ((**line)["n"], received);
  }
  EXPECT_TRUE(sent);
  EXPECT_EQ(closedCalls, 1);
  auto echoed = sendControlRequest(socket, {{"command", "echo"}, {"text", "still here"}});
  ASSERT_OK(echoed);
  EXPECT_EQ(*echoed, "still here");

  // The stuck client reads what reached its socket, then the end.
  Result<std::optional<nlohmann::json>> last = std::optional<nlohmann::json>();
  int backlog = 0;
  while (last.ok()) {
    last = stuck->next(std::chrono::seconds(5));
    if (last.ok()) {
      ASSERT_TRUE(last->has_value()) << "the stuck client was never closed";
    }
    ++backlog;
  }
  EXPECT_LT(backlog, kRounds * kLinesPerRound);
  EXPECT_EQ(last.error().code, ErrorCode::unavailable);

  asio::post(io, [&] {
    streams.clear();
    server.stop();
    work.reset();
  });
  loop.join();
}

}  // namespace
}  // namespace qm
