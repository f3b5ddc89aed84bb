// The HTTP listener over real loopback sockets, with a handler that knows
// nothing of MCP: exact response bytes, reading of split requests, input
// limits, idle time-outs, the connection limit, start and stop.
#include "mcp/http_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio.hpp>
#include <thread>

#include "common/log.h"
#include "loop_thread.h"
#include "support/http_client.h"

namespace qm::mcp {
namespace {

using namespace std::chrono_literals;
using test::HTTPConnection;

const std::string kBadUTF8 = buildHTTPResponse(400, R"({"error":"Invalid UTF-8"})");
const std::string kBadUTF8InBody = buildHTTPResponse(400, R"({"error":"Invalid UTF-8 in body"})");
const std::string kBadLength = buildHTTPResponse(400, R"({"error":"Invalid Content-Length"})");
const std::string kIncomplete = buildHTTPResponse(400, R"({"error":"Request body incomplete"})");
const std::string kBusy =
    buildHTTPResponse(503, R"({"error":"Server busy, try again in a moment"})");

/// Refuses requests with an "x-refuse" header; answers "/drop" with nothing and
/// everything else with "<method> <path> <body>".
struct EchoHandler : HTTPHandler {
  std::optional<HTTPResponse> refuse(const HTTPRequest& head) override {
    if (head.header("x-refuse")) return HTTPResponse{403, "refused", {}};
    return std::nullopt;
  }
  std::optional<HTTPResponse> respond(const HTTPRequest& request, const Uuid&) override {
    ++responded;
    if (request.path == "/drop") return std::nullopt;
    return HTTPResponse{
        200, request.method + " " + request.path + " " + request.body.value_or(""), {}};
  }
  std::atomic<int> responded = 0;
};

std::string echoed(const std::string& text) {
  return buildHTTPResponse(200, text);
}

class HTTPServerTest : public ::testing::Test {
 protected:
  EchoHandler handler;
  asio::io_context io;
  HTTPServerOptions options;
  std::unique_ptr<HTTPServer> server;
  std::uint16_t port = 0;

  void SetUp() override { log::setLevel(spdlog::level::off); }

  void TearDown() override {
    if (loop.running()) loop.onLoop([this] { server.reset(); });
    loop.join();
    log::setLevel(spdlog::level::info);
  }

  void startServer() {
    server = std::make_unique<HTTPServer>(io, handler, options, log::mcp());
    ASSERT_TRUE(server->start());
    port = server->port();
    ASSERT_NE(port, 0);
    loop.start();
  }

  HTTPConnection connect() {
    auto connection = HTTPConnection::open(port);
    EXPECT_TRUE(connection.ok()) << connection.error().message;
    return std::move(connection).value();
  }

  /// Sends the parts with a pause between them (so that they arrive apart),
  /// optionally finishes sending, and returns all the server answers.
  std::string exchange(const std::vector<std::string>& parts, bool finish = false,
                       std::chrono::milliseconds limit = 5s) {
    auto connection = connect();
    for (const auto& part : parts) {
      EXPECT_TRUE(connection.send(part).ok());
      if (parts.size() > 1) std::this_thread::sleep_for(50ms);
    }
    if (finish) connection.finishSending();
    return readAll(connection, limit);
  }
  /// Everything the server sends until it closes the connection.
  static std::string readAll(HTTPConnection& connection, std::chrono::milliseconds limit = 5s) {
    auto answer = connection.readUntilClosed(limit);
    EXPECT_TRUE(answer.ok()) << answer.error().message;
    return answer.ok() ? *answer : "";
  }

  test::LoopThread loop{io};
};

TEST_F(HTTPServerTest, ReadsRequestsThatArriveInPiecesAndRefusesTextThatIsNotUTF8) {
  startServer();
  const std::string cut = "POST /p HTTP/1.1\r\nContent-Length: 4\r\n\r\nx\xC3";  // "é" cut in two
  // The parts sent with a pause between them, whether the client then finishes
  // sending, and the answer.
  const std::tuple<std::vector<std::string>, bool, std::string> cases[] = {
      {{"GET /a?b HTTP/1.1\r\nHost: x\r\n\r\n"}, false, echoed("GET /a ")},
      {{"GET /drop HTTP/1.1\r\n\r\n"}, false, ""},  // the handler has no answer
      {{"POST /p HTTP/1.1\r\nContent-Length: 10\r\n\r\n01234", "56789"},
       false,
       echoed("POST /p 0123456789")},
      // The blank line that ends the head cut in the middle.
      {{"POST /p HTTP/1.1\r\nContent-Length: 2\r\n", "\r\nok"}, false, echoed("POST /p ok")},
      // A length that is no number, or two that disagree, leave the body's
      // end unknown: refused (two equal ones are one length).
      {{"POST /p HTTP/1.1\r\nContent-Length: -1\r\n\r\nab"}, false, kBadLength},
      {{"POST /p HTTP/1.1\r\nContent-Length: ab\r\n\r\nab"}, false, kBadLength},
      {{"POST /p HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nab"}, false, kBadLength},
      {{"POST /p HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\nab"},
       false,
       echoed("POST /p ab")},
      // Only the body's own bytes count: what follows it (a pipelined
      // request) neither spoils nor mends it.
      {{"POST /p HTTP/1.1\r\nContent-Length: 2\r\n\r\nok\xC3"}, false, echoed("POST /p ok")},
      {{"POST /p HTTP/1.1\r\nContent-Length: 2\r\n\r\nx\xC3\xA9"}, false, kBadUTF8},
      // No blank line at all: handled once the client has finished sending.
      {{"POST /p HTTP/1.1\r\nContent-Length: 20"}, true, echoed("POST /p ")},
      // Still short when the client has finished: refused, never handed on.
      {{"POST /p HTTP/1.1\r\nContent-Length: 100\r\n\r\nab", "cd"}, true, kIncomplete},
      {{"POST /p HTTP/1.1\r\nContent-Length: 100\r\n\r\n{"}, true, kIncomplete},
      {{"GET /p HTTP/1.1\r\nX-Name: caf\xE9\r\n\r\n"}, false, kBadUTF8},
      {{"POST /p HTTP/1.1\r\nContent-Length: 2\r\n\r\n\xC0\xAF"}, false, kBadUTF8},
      {{cut, "\xA9y"}, false, echoed("POST /p x\xC3\xA9y")},
      {{cut, "\xFFy"}, false, kBadUTF8InBody},
  };
  for (const auto& [parts, finish, expected] : cases)
    EXPECT_EQ(exchange(parts, finish), expected) << testing::PrintToString(parts);
}

TEST_F(HTTPServerTest, LetsTheHandlerRefuseBeforeTheBodyIsCheckedOrRead) {
  options.maxBodyBytes = 10;
  startServer();
  EXPECT_EQ(exchange({"POST /p HTTP/1.1\r\nX-Refuse: 1\r\nContent-Length: 99999\r\n\r\n\xFF"}),
            buildHTTPResponse(403, "refused"));
  EXPECT_EQ(handler.responded.load(), 0);
}

TEST_F(HTTPServerTest, AHeadPastTheReadLimitIsRefusedWholeAndNothingIsReservedForABody) {
  startServer();
  // A header past the first MiB (one the handler would refuse) must not escape.
  const std::string filler = "X-Filler: " + std::string(1 << 20, 'f') + "\r\n";
  EXPECT_EQ(exchange({"GET /p HTTP/1.1\r\n" + filler + "X-Refuse: 1\r\n\r\n"}),
            buildHTTPResponse(431, R"({"error":"Request header too large"})"));
  EXPECT_EQ(handler.responded.load(), 0);
}

TEST_F(HTTPServerTest, RefusesAnOversizedBodyWithoutWaitingForIt) {
  options.maxBodyBytes = 1000;
  startServer();
  for (const char* length : {"9999999999999", "1001"}) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(exchange({std::string("POST /p HTTP/1.1\r\nContent-Length: ") + length + "\r\n\r\n{"},
                       false, 2s),
              buildHTTPResponse(413, R"({"error":"Request too large"})"))
        << length;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  }
  // At the limit the body is read and handled.
  const std::string body(1000, 'b');
  EXPECT_EQ(exchange({"POST /p HTTP/1.1\r\nContent-Length: 1000\r\n\r\n" + body}),
            echoed("POST /p " + body));
}

TEST_F(HTTPServerTest, LargeBodiesShareABoundedBufferWhileSmallRequestsPass) {
  options.maxBodyBytes = 256 * 1024;
  options.maxBufferedBytes = 512 * 1024;
  startServer();
  // Eight clients announce a quarter-megabyte body each and send most of it.
  const std::string head = "POST /big HTTP/1.1\r\nContent-Length: 262144\r\n\r\n";
  std::vector<HTTPConnection> big;
  for (int i = 0; i < 8; ++i) {
    big.push_back(connect());
    ASSERT_TRUE(big.back().send(head + std::string(200 * 1024, 'b')).ok());
  }
  // An ordinary request still passes at once.
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(exchange({"POST /small HTTP/1.1\r\nContent-Length: 2\r\n\r\nok"}),
            echoed("POST /small ok"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  // Only those whose body fits in the shared buffer are read; the others are
  // told to come back, and those read are answered once complete.
  int answered = 0, refused = 0;
  for (auto& connection : big) {
    (void)connection.send(std::string(62 * 1024, 'b'));  // fails once refused and closed
    const std::string reply = readAll(connection);
    answered += reply.starts_with("HTTP/1.1 200 OK\r\n") ? 1 : 0;
    refused += reply == kBusy ? 1 : 0;
  }
  EXPECT_GE(answered, 1);
  EXPECT_LE(answered, 2);
  EXPECT_EQ(answered + refused, 8);
}

TEST_F(HTTPServerTest, ClosesConnectionsThatStaySilent) {
  options.idleTimeout = 500ms;
  startServer();
  for (const char* sent : {"", "POST /p HTTP/1.1\r\nContent-Length: 10\r\n"}) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(exchange({sent}), "") << sent;
    EXPECT_GE(std::chrono::steady_clock::now() - started, 450ms);
  }
  // The whole request must arrive in time: trickling segments buys none.
  auto connection = connect();
  const auto started = std::chrono::steady_clock::now();
  const std::string request = "GET /slow HTTP/1.1\r\nHost: localhost\r\nAccept: */*\r\n\r\n";
  for (std::size_t at = 0; at < request.size(); at += 15) {
    (void)connection.send(request.substr(at, 15));  // may fail once closed
    std::this_thread::sleep_for(200ms);
  }
  EXPECT_EQ(readAll(connection), "");
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
  EXPECT_EQ(handler.responded.load(), 0);
}

TEST_F(HTTPServerTest, AtTheConnectionLimitTheLongestWaitingMakesRoom) {
  options.maxConnections = 1;
  startServer();
  // A client that says nothing keeps its place only until someone else needs
  // it and it has had a moment, not for its whole ten seconds.
  auto silent = connect();
  std::this_thread::sleep_for(20ms);
  auto waiting = connect();
  ASSERT_TRUE(waiting.send("GET /w HTTP/1.1\r\n\r\n").ok());
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(readAll(waiting, 2s), echoed("GET /w "));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  EXPECT_EQ(readAll(silent, 1s), "");
  // An answered client that keeps its socket open holds no place.
  EXPECT_EQ(exchange({"GET /n HTTP/1.1\r\n\r\n"}), echoed("GET /n "));
  EXPECT_EQ(handler.responded.load(), 2);
}

TEST_F(HTTPServerTest, AnswersOnlyThisUsersConnections) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  startServer();
  EXPECT_EQ(exchange({"GET /mine HTTP/1.1\r\n\r\n"}), echoed("GET /mine "));

  // The same request from a process of another user.
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(out[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) ::_exit(3);
    const char request[] = "GET /theirs HTTP/1.1\r\n\r\n";
    if (::write(fd, request, sizeof request - 1) < 0) ::_exit(4);
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
      if (::write(out[1], buffer, static_cast<std::size_t>(n)) < 0) ::_exit(5);
    ::_exit(0);
  }
  ::close(out[1]);
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
    answer.append(buffer, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(answer, buildHTTPResponse(403, R"({"error":"Forbidden"})"));
  EXPECT_EQ(handler.responded.load(), 1);
}

TEST_F(HTTPServerTest, StartIsIdempotentAndStopClosesEverything) {
  startServer();
  EXPECT_TRUE(loop.onLoop([this] { return server->start(); }));
  EXPECT_EQ(loop.onLoop([this] { return server->port(); }), port);
  EchoHandler other;
  HTTPServerOptions same;
  same.port = port;
  auto openOther = [&] {
    return loop.onLoop([&] { return HTTPServer(io, other, same, log::mcp()).start(); });
  };
  EXPECT_FALSE(openOther());  // the port is taken

  auto idle = connect();
  std::this_thread::sleep_for(50ms);
  loop.onLoop([this] { server->stop(); });
  EXPECT_EQ(readAll(idle, 2s), "");
  EXPECT_TRUE(openOther());
}

}  // namespace
}  // namespace qm::mcp
