// The running companion under load on loopback: many clients that send slowly
// on the MCP port, many silent connections on the peer port. Its real clients,
// an AI assistant and the phone, must still be served. Every case is bounded
// in time and stops by itself.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "support/http_client.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::eventually;
using ::testing::HasSubstr;

/// A non-blocking TCP connection from `from` to 127.0.0.1:`port`; -1 on failure.
int openConnection(std::uint16_t port, const char* from = "127.0.0.1") {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  sockaddr_in source{};
  source.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &source.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
      (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

/// Whether the other end has closed `fd` (or reset it).
bool closedByPeer(int fd) {
  char byte;
  const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

/// Open descriptors of process `pid`.
std::size_t descriptorsOf(pid_t pid) {
  std::error_code ec;
  const fs::directory_iterator fds("/proc/" + std::to_string(pid) + "/fd", ec);
  return ec ? 0 : static_cast<std::size_t>(std::distance(fds, fs::directory_iterator()));
}

class LoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Thousands of client sockets in this process.
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 8192);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2'200) GTEST_SKIP() << "needs 2,200 descriptors";

    fs::create_directories(paths.config);
    ASSERT_TRUE(writeFileAtomically(paths.defaultsFile(),
                                    R"({"storeResetV1":true,"mcpServerEnabled":true})", 0600));
    companion_ = std::make_unique<test::Subprocess>(
        QUILLMERE_BINARY, std::vector<std::string>{"run"}, env, outDir.path());
    ASSERT_TRUE(eventually([&] { return ping().has_value(); }, 10s)) << companion_->errors();
  }
  void TearDown() override {
    if (companion_) {
      EXPECT_EQ(companion_->stop(SIGTERM, 10s), 0) << companion_->errors();
    }
  }

  /// One "ping" on a connection of its own: how long until the answer, or
  /// nothing when it was not answered within two seconds.
  std::optional<Clock::duration> ping() {
    const auto started = Clock::now();
    auto connection = test::HTTPConnection::open(mcpPort, 2s);
    if (!connection) return std::nullopt;
    const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";
    if (!connection->send("POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                          std::to_string(body.size()) + "\r\n\r\n" + body)) {
      return std::nullopt;
    }
    auto reply = connection->readUntilClosed(2s);
    if (!reply || reply->find("HTTP/1.1 200 OK") != 0) return std::nullopt;
    return Clock::now() - started;
  }

  test::TempDir home;
  test::TempDir outDir;
  AppPaths paths = AppPaths::under(home.path());
  std::uint16_t mcpPort = test::freeLoopbackPort();
  std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                         {"QUILLMERE_PEER_PORT", "0"},
                                         {"QUILLMERE_MCP_PORT", std::to_string(mcpPort)}};
  std::unique_ptr<test::Subprocess> companion_;
};

TEST_F(LoadTest, TwoHundredSlowMcpClientsDoNotKeepAnAssistantWaiting) {
  // Each slow client sends a byte of a request every second and connects
  // again whenever it is closed, for as long as the assistant is asking.
  constexpr int kSlowClients = 200;
  const std::string request = "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 40\r\n\r\n";
  std::atomic<bool> done = false;
  std::atomic<int> reconnects = 0;
  std::thread slow([&] {
    struct Client {
      int fd = -1;
      std::size_t sent = 0;
      Clock::time_point next;
    };
    std::vector<Client> clients(kSlowClients);
    for (int i = 0; i < kSlowClients; ++i) clients[i].next = Clock::now() + i * 5ms;
    while (!done) {
      const auto now = Clock::now();
      for (Client& c : clients) {
        if (c.fd >= 0 && closedByPeer(c.fd)) {
          ::close(c.fd);
          c.fd = -1;
          ++reconnects;
        }
        if (c.fd < 0) {
          c.fd = openConnection(mcpPort);
          c.sent = 0;
        }
        if (c.fd >= 0 && now >= c.next) {
          (void)::send(c.fd, request.data() + c.sent % request.size(), 1, MSG_NOSIGNAL);
          ++c.sent;
          c.next = now + 1s;
        }
      }
      std::this_thread::sleep_for(10ms);
    }
    for (const Client& c : clients)
      if (c.fd >= 0) ::close(c.fd);
  });

  // Let them take every place first.
  std::this_thread::sleep_for(1500ms);
  std::vector<Clock::duration> answers;
  int unanswered = 0;
  const auto until = Clock::now() + 5s;
  while (Clock::now() < until) {
    if (auto took = ping()) {
      answers.push_back(*took);
    } else {
      ++unanswered;
    }
    std::this_thread::sleep_for(100ms);
  }
  done = true;
  slow.join();

  ASSERT_FALSE(answers.empty());
  std::sort(answers.begin(), answers.end());
  const auto ms = [](Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  };
  const auto median = answers[answers.size() / 2];
  const auto ninetieth = answers[answers.size() * 9 / 10];
  RecordProperty("median_ms", static_cast<int>(ms(median)));
  RecordProperty("p90_ms", static_cast<int>(ms(ninetieth)));
  RecordProperty("max_ms", static_cast<int>(ms(answers.back())));
  EXPECT_EQ(unanswered, 0);
  EXPECT_LT(ms(ninetieth), 100) << "median " << ms(median) << " ms, max " << ms(answers.back())
                                << " ms over " << answers.size() << " pings";
  EXPECT_GT(reconnects.load(), 0) << "the slow clients never filled the places";
}

TEST_F(LoadTest, TwoThousandSilentPeerConnectionsDoNotKeepThePhoneFromPairing) {
  test::Subprocess pair(QUILLMERE_BINARY, {"pair", "--timeout", "60"}, env, outDir.path());
  const auto offer = test::waitForPairingOffer(pair);
  ASSERT_TRUE(offer) << pair.output() << pair.errors();
  const auto peerPort = static_cast<std::uint16_t>(std::stoi(offer->port));

  // Another device on the network opens 2,000 connections, a few every
  // millisecond, and never says a word; it holds on to all of them.
  std::atomic<bool> done = false;
  std::atomic<std::size_t> mostDescriptors = 0;
  std::vector<int> silent;
  std::thread flood([&] {
    while (!done && silent.size() < 2'000) {
      for (int i = 0; i < 4; ++i) {
        const int fd = openConnection(peerPort, "127.0.0.2");
        if (fd >= 0) silent.push_back(fd);
      }
      mostDescriptors = std::max(mostDescriptors.load(), descriptorsOf(companion_->pid()));
      std::this_thread::sleep_for(1ms);
    }
  });
  std::this_thread::sleep_for(200ms);  // the flood is under way

  const fs::path bond = outDir / "phone-bond.json";
  auto paired = test::runCommand(PHONE_BINARY,
                                 {"pair", "--port", offer->port, "--qr", offer->qrString, "--bond",
                                  bond.string(), "--name", "Dana's phone"},
                                 {});
  EXPECT_EQ(paired.exitCode, 0) << paired.out << paired.err;
  EXPECT_EQ(pair.wait(10s), 0) << pair.output() << pair.errors();
  EXPECT_THAT(pair.output(), HasSubstr("Pairing complete with Dana's phone"));
  flood.join();
  done = true;
  mostDescriptors = std::max(mostDescriptors.load(), descriptorsOf(companion_->pid()));
  for (const int fd : silent) ::close(fd);

  RecordProperty("most_descriptors", static_cast<int>(mostDescriptors.load()));
  EXPECT_GE(silent.size(), 1'500U) << "the flood did not happen";
  // The companion kept at most a few dozen of them.
  EXPECT_LT(mostDescriptors.load(), 200U);
}

/// User and system CPU time process `pid` has used so far.
std::chrono::milliseconds cpuTimeOf(pid_t pid) {
  auto stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return {};
  // The fields after the command name (which is in parentheses): state is the
  // first, utime the 12th and stime the 13th, in clock ticks.
  std::istringstream fields(stat->substr(stat->rfind(')') + 2));
  std::string field;
  long ticks = 0;
  for (int i = 1; i <= 13 && fields >> field; ++i)
    if (i >= 12) ticks += std::stol(field);
  return std::chrono::milliseconds(ticks * 1000 / ::sysconf(_SC_CLK_TCK));
}

TEST(DescriptorExhaustion, ACompanionOutOfDescriptorsWaitsCalmlyAndRecovers) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers check memory through a pipe of their own; without
  // descriptors left they take sound objects for broken ones and stop the process.
  GTEST_SKIP() << "needs a build without sanitizers";
#endif
  // The companion may open 64 files; 100 control clients connect and say nothing.
  test::TempDir home, outDir;
  const AppPaths paths = AppPaths::under(home.path());
  const std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                               {"QUILLMERE_PEER_PORT", "0"}};
  test::Subprocess companion("/usr/bin/prlimit", {"--nofile=64:64", QUILLMERE_BINARY, "run"}, env,
                             outDir.path());
  const auto status = [&] { return test::runCommand(QUILLMERE_BINARY, {"status"}, env); };
  ASSERT_TRUE(eventually([&] { return status().exitCode == 0; })) << companion.errors();
  std::vector<int> silent;
  for (int i = 0; i < 100; ++i) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, paths.controlSocket().c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    silent.push_back(fd);
  }
  const auto cpuBefore = cpuTimeOf(companion.pid());
  std::this_thread::sleep_for(3s);
  // Waiting for descriptors costs neither the processor nor the disk.
  EXPECT_LT(cpuTimeOf(companion.pid()) - cpuBefore, 300ms);
  EXPECT_LT(fs::file_size(paths.logFile()), 64U * 1024);
  EXPECT_THAT(readFile(paths.logFile()).value(),
              HasSubstr("Control socket accept failed: Too many open files; trying again"));

  // Once they are gone it takes new clients again.
  for (const int fd : silent) ::close(fd);
  EXPECT_TRUE(eventually([&] { return status().exitCode == 0; }, 5s));
  EXPECT_EQ(companion.stop(SIGTERM, 10s), 0) << companion.errors();
}

/// Resident memory of process `pid` in bytes (0 when it cannot be read).
std::size_t residentBytes(pid_t pid) {
  auto status = readFile("/proc/" + std::to_string(pid) + "/status");
  if (!status) return 0;
  const auto at = status->find("VmRSS:");
  if (at == std::string::npos) return 0;
  return std::stoul(status->substr(at + 6)) * 1024;
}

TEST_F(LoadTest, ManyLargeMcpBodiesNeitherFillTheMemoryNorStallTheLoop) {
  // 128 clients each announce a megabyte of brackets, send all but its last
  // byte and hold on; then they all go away at once.
  constexpr int kClients = 128;
  constexpr std::size_t kBody = 1 << 20;
  const std::string request =
      "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(kBody) +
      "\r\n\r\n" + std::string(kBody - 1, '[');
  const pid_t pid = companion_->pid();
  const std::size_t before = residentBytes(pid);
  std::size_t most = before;
  struct Client {
    int fd = -1;
    std::size_t sent = 0;
    bool done = false;
  };
  std::vector<Client> clients(kClients);
  for (Client& c : clients) c.fd = openConnection(mcpPort);
  const auto until = Clock::now() + 10s;
  std::size_t busy = kClients;
  while (busy > 0 && Clock::now() < until) {
    busy = 0;
    for (Client& c : clients) {
      if (c.done) continue;
      const ssize_t n = ::send(c.fd, request.data() + c.sent, request.size() - c.sent,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) c.sent += static_cast<std::size_t>(n);
      // Refused (503) clients are closed by the companion; the rest sent all.
      c.done = c.sent == request.size() ||
               (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOTCONN);
      busy += c.done ? 0 : 1;
    }
    most = std::max(most, residentBytes(pid));
    std::this_thread::sleep_for(1ms);
  }
  // What was sent may still sit in the sockets' buffers: give the companion
  // time to read all it wants of it.
  for (const auto held = Clock::now() + 2s; Clock::now() < held;) {
    most = std::max(most, residentBytes(pid));
    std::this_thread::sleep_for(20ms);
  }
  const auto pingWhileHeld = ping();

  for (Client& c : clients) ::close(c.fd);
  const auto pingAfter = ping();
  const auto started = Clock::now();
  const auto status = test::runCommand(QUILLMERE_BINARY, {"status"}, env);
  const auto statusTook = Clock::now() - started;

  const auto mib = [](std::size_t bytes) { return static_cast<int>(bytes >> 20); };
  const auto ms = [](Clock::duration d) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
  };
  RecordProperty("rss_before_mib", mib(before));
  RecordProperty("rss_most_mib", mib(most));
  RecordProperty("status_ms", ms(statusTook));
  EXPECT_EQ(busy, 0U) << "the clients could not send";
  // What all connections may buffer together is 16 MiB (plus 16 KiB each).
  EXPECT_LT(most - before, 64U << 20) << mib(before) << " MiB grew to " << mib(most) << " MiB";
  ASSERT_TRUE(pingWhileHeld);
  EXPECT_LT(*pingWhileHeld, 1s);
  // The unfinished bodies are dropped, not parsed.
  ASSERT_TRUE(pingAfter) << "not answered within 2 s of the clients going away";
  EXPECT_LT(*pingAfter, 1s);
  EXPECT_EQ(status.exitCode, 0) << status.err;
  EXPECT_LT(statusTook, 3s);
}

TEST_F(LoadTest, ADeeplyNestedMcpBodyIsRefusedWithoutParsingIt) {
  // A megabyte of nothing but brackets: valid JSON, half a million levels deep.
  const std::string body = std::string(1 << 19, '[') + std::string(1 << 19, ']');
  const auto cpuBefore = cpuTimeOf(companion_->pid());
  auto connection = test::HTTPConnection::open(mcpPort);
  ASSERT_TRUE(connection.ok());
  ASSERT_TRUE(connection
                  ->send("POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body)
                  .ok());
  auto reply = connection->readUntilClosed(10s);
  const auto cpu = cpuTimeOf(companion_->pid()) - cpuBefore;
  ASSERT_TRUE(reply.ok());
  EXPECT_THAT(*reply, HasSubstr(R"({"error":{"code":-32700,"message":"Parse error"})"));
  RecordProperty("cpu_ms", static_cast<int>(cpu.count()));
  EXPECT_LT(cpu, 250ms);
}

}  // namespace
}  // namespace qm
