// The control socket's protocol, in process over a real Unix socket.
#include <gmock/gmock.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio.hpp>
#include <cstring>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/control_client.h"
#include "app/control_server.h"
#include "common/atomic_file.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

/// A server with its main loop on a thread of its own.
class ControlSocketTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  fs::path socket = dir / "run" / "control.sock";
  asio::io_context io;
  std::unique_ptr<ControlServer> server = std::make_unique<ControlServer>(io, socket);
  std::thread loop;
  std::shared_ptr<ControlReply> kept;

  void startServer() {
    server->handle("echo", [](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
      reply->succeed(request.value("text", ""));
    });
    server->handle("steps", [this](const nlohmann::json&, std::shared_ptr<ControlReply> reply) {
      reply->progress("one");
      reply->progress("two");
      // Answer later from the main loop, as a long-running command would.
      asio::post(io, [reply] { reply->succeed(3); });
    });
    server->handle("forgets", [](const nlohmann::json&, std::shared_ptr<ControlReply>) {});
    server->setRequestTimeout(std::chrono::milliseconds(200));
    server->handle("throws", [](const nlohmann::json& request, std::shared_ptr<ControlReply>) {
      (void)request.at("missing").get<int>();
    });
    ASSERT_TRUE(server->start().ok());
    work_ = std::make_unique<asio::executor_work_guard<asio::io_context::executor_type>>(
        io.get_executor());
    loop = std::thread([this] { io.run(); });
  }

  void TearDown() override {
    asio::post(io, [this] {
      server->stop();
      work_.reset();
    });
    if (loop.joinable()) loop.join();
  }

  /// Sends raw bytes and returns everything the server writes back.
  std::string rawExchange(const std::string& bytes) {
    asio::io_context client;
    asio::local::stream_protocol::socket s(client);
    s.connect(asio::local::stream_protocol::endpoint(socket.string()));
    std::error_code ec;
    asio::write(s, asio::buffer(bytes), ec);  // the server may stop reading early
    s.shutdown(asio::socket_base::shutdown_send, ec);
    std::string out;
    asio::read(s, asio::dynamic_buffer(out), ec);
    return out;
  }

 private:
  std::unique_ptr<asio::executor_work_guard<asio::io_context::executor_type>> work_;
};

TEST_F(ControlSocketTest, AnswersRequestsWithProgressAndErrors) {
  startServer();
  auto echoed = sendControlRequest(socket, {{"command", "echo"}, {"text", "hi ü"}});
  ASSERT_TRUE(echoed.ok()) << echoed.error().message;
  EXPECT_EQ(*echoed, "hi ü");

  std::vector<nlohmann::json> progress;
  auto steps = sendControlRequest(socket, {{"command", "steps"}},
                                  [&](const nlohmann::json& p) { progress.push_back(p); });
  ASSERT_TRUE(steps.ok());
  EXPECT_EQ(*steps, 3);
  EXPECT_THAT(progress, ::testing::ElementsAre("one", "two"));

  auto unknown = sendControlRequest(socket, {{"command", "launch-rockets"}});
  ASSERT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.error().message, "Unknown command \"launch-rockets\"");

  auto forgotten = sendControlRequest(socket, {{"command", "forgets"}});
  ASSERT_FALSE(forgotten.ok());
  EXPECT_EQ(forgotten.error().message, "No answer");

  // A handler that throws answers with an error; the server keeps serving.
  auto thrown = sendControlRequest(socket, {{"command", "throws"}});
  ASSERT_FALSE(thrown.ok());
  EXPECT_THAT(thrown.error().message, HasSubstr("Internal error in throws"));
  EXPECT_TRUE(sendControlRequest(socket, {{"command", "echo"}}).ok());
}

TEST_F(ControlSocketTest, MalformedRequestsAreAnsweredNotFatal) {
  startServer();
  EXPECT_THAT(rawExchange("not json\n"), HasSubstr("Bad request"));
  EXPECT_THAT(rawExchange("[1,2]\n"), HasSubstr("Bad request"));
  EXPECT_EQ(rawExchange("{\"command\":\"echo\""), "") << "no whole line, no answer";
  {
    // A client that never sends is closed once its time is up.
    asio::io_context client;
    asio::local::stream_protocol::socket silent(client);
    silent.connect(asio::local::stream_protocol::endpoint(socket.string()));
    const auto connected = std::chrono::steady_clock::now();
    std::string out;
    std::error_code ec;
    asio::read(silent, asio::dynamic_buffer(out), ec);
    EXPECT_EQ(ec, asio::error::eof);
    EXPECT_LT(std::chrono::steady_clock::now() - connected, std::chrono::seconds(5));
  }
  EXPECT_THAT(rawExchange(std::string(2 << 20, 'a') + "\n"), HasSubstr("Request too large"));
  // Nesting is refused before the line is parsed (handlers copy what they read,
  // and copying recurses once per level).
  const std::string deep = std::string(200'000, '[') + std::string(200'000, ']');
  EXPECT_THAT(rawExchange(R"({"command":"echo","text":)" + deep + "}\n"),
              HasSubstr("Bad request: nested deeper than 64 levels"));
  // Still serving.
  EXPECT_TRUE(sendControlRequest(socket, {{"command", "echo"}}).ok());
  EXPECT_EQ(fs::status(socket).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::status(socket.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(ControlSocketTest, AStaleSocketFileIsReplacedAndALiveOneRefused) {
  fs::create_directories(socket.parent_path());
  ASSERT_TRUE(writeFileAtomically(socket, "", 0600).ok());  // left by a crash
  startServer();
  EXPECT_TRUE(companionIsRunning(socket));

  asio::io_context other;
  ControlServer second(other, socket);
  auto refused = second.start();
  ASSERT_FALSE(refused.ok());
  EXPECT_THAT(refused.error().message, HasSubstr("already running"));
  EXPECT_TRUE(companionIsRunning(socket));
}

/// Connects from a child process running as `uid` and sends one request;
/// the child's exit code is 0 when an answer came back, 1 when none did.
int answeredForUser(const fs::path& socket, uid_t uid) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(uid) != 0 || setuid(uid) != 0) _exit(2);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) _exit(3);
    const char request[] = "{\"command\":\"echo\",\"text\":\"hi\"}\n";
    // A refused connection may be closed before the request is written.
    if (send(fd, request, sizeof request - 1, MSG_NOSIGNAL) < 0) _exit(1);
    char answer[64];
    _exit(read(fd, answer, sizeof answer) > 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ControlSocketTest, RefusesOtherUsersEvenWhenTheFolderLetsThemIn) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  startServer();
  // A folder opened up by mistake: the peer's uid still keeps others out.
  fs::permissions(dir.path(), fs::perms::all);
  fs::permissions(socket.parent_path(), fs::perms::all);
  fs::permissions(socket, fs::perms::all);
  constexpr uid_t kNobody = 65534;
  EXPECT_EQ(answeredForUser(socket, kNobody), 1);
  EXPECT_EQ(answeredForUser(socket, geteuid()), 0);
}

}  // namespace
}  // namespace qm
