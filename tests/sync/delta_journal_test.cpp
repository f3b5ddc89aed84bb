// The outbound journal against real files: persistence across restarts, the
// size cap, unreadable and unwritable files, draining, and a process killed
// while it saves.
#include "sync/delta_journal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/atomic_file.h"
#include "common/log.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;

constexpr std::int64_t kBaseSeconds = 1'741'944'413;

// Envelope number `n`: its number is in the message id (bytes 0-3) and the
// timestamp, and its payload is `payloadSize` bytes derived from it.
SyncEnvelope numbered(std::uint32_t n, std::size_t payloadSize = 24) {
  SyncEnvelope envelope;
  envelope.type = SyncMessageType::deltaNote;
  Uuid::Bytes id{};
  for (int i = 0; i < 4; ++i) id[static_cast<std::size_t>(i)] = (n >> (24 - 8 * i)) & 0xFF;
  id[6] = 0x40;
  id[8] = 0x80;
  id[15] = 0x5A;
  envelope.messageID = Uuid(id);
  envelope.timestamp = dateFromUnixSeconds(kBaseSeconds + n);
  envelope.payload.resize(payloadSize);
  for (std::size_t i = 0; i < payloadSize; ++i) {
    envelope.payload[i] = static_cast<std::uint8_t>(n * 131 + i * 7);
  }
  return envelope;
}

std::uint32_t numberOf(const SyncEnvelope& envelope) {
  const auto& id = envelope.messageID.bytes();
  return std::uint32_t{id[0]} << 24 | std::uint32_t{id[1]} << 16 | std::uint32_t{id[2]} << 8 |
         id[3];
}

std::vector<std::uint32_t> numbersOf(const std::vector<SyncEnvelope>& envelopes) {
  std::vector<std::uint32_t> numbers;
  for (const auto& envelope : envelopes) numbers.push_back(numberOf(envelope));
  return numbers;
}

std::string fileText(const fs::path& file) {
  auto text = readFile(file);
  return text ? *text : "<" + text.error().message + ">";
}

class DeltaJournalTest : public ::testing::Test {
 protected:
  fs::path folder() const { return dir_ / "com.quillmere.mac"; }
  fs::path file() const { return folder() / "delta_journal.json"; }

  test::TempDir dir_;
  test::LogCapture logged_{log::sync()};
};

// --- Persistence ------------------------------------------------------------

TEST_F(DeltaJournalTest, CreatesItsFolderAndKeepsEnvelopesAcrossARestart) {
  const fs::path support = dir_ / "nested" / "support";
  SyncEnvelope withCorrelation = numbered(1);
  withCorrelation.correlationID = *Uuid::parse("0a1b2c3d-4e5f-4061-8293-a4b5c6d7e8f9");
  withCorrelation.timestamp = dateFromUnixSeconds(kBaseSeconds, 750'000);  // kept as whole seconds
  SyncEnvelope everyByte = numbered(2, 0);
  for (int b = 0; b < 256; ++b) everyByte.payload.push_back(static_cast<std::uint8_t>(b));
  const SyncEnvelope empty = numbered(3, 0);

  {
    DeltaJournal journal(support);
    EXPECT_EQ(journal.fileURL(), support / "com.quillmere.mac" / "delta_journal.json");
    EXPECT_TRUE(fs::is_directory(journal.fileURL().parent_path()));
    journal.append(withCorrelation);
    journal.append(everyByte);
    journal.append(empty);
  }
  EXPECT_EQ(fileText(support / "com.quillmere.mac" / "delta_journal.json"),
            "[" + encodeEnvelope(withCorrelation).value() + "," +
                encodeEnvelope(everyByte).value() + "," + encodeEnvelope(empty).value() + "]");

  withCorrelation.timestamp = dateFromUnixSeconds(kBaseSeconds);
  EXPECT_EQ(DeltaJournal(support).pendingEnvelopes(),
            (std::vector<SyncEnvelope>{withCorrelation, everyByte, empty}));
}

TEST_F(DeltaJournalTest, RemoveFirstTakesTheOldestAndSaves) {
  DeltaJournal journal(dir_.path());
  for (std::uint32_t n = 0; n < 4; ++n) journal.append(numbered(n));

  journal.removeFirst(3);
  EXPECT_THAT(numbersOf(journal.pendingEnvelopes()), ElementsAre(3));
  EXPECT_THAT(numbersOf(DeltaJournal(dir_.path()).pendingEnvelopes()), ElementsAre(3));
  journal.removeFirst(10);  // more than there are
  EXPECT_THAT(journal.pendingEnvelopes(), IsEmpty());
  EXPECT_THAT(DeltaJournal(dir_.path()).pendingEnvelopes(), IsEmpty());
}

TEST_F(DeltaJournalTest, TheAppendPastTheCapDropsTheOldest) {
  DeltaJournal journal(dir_.path());
  for (std::uint32_t n = 0; n < DeltaJournal::kCapacity; ++n) journal.append(numbered(n));
  journal.append(numbered(500));
  ASSERT_THAT(journal.pendingEnvelopes(), SizeIs(500));
  EXPECT_EQ(numberOf(journal.pendingEnvelopes().front()), 1U);
  EXPECT_EQ(numberOf(journal.pendingEnvelopes().back()), 500U);
  EXPECT_EQ(DeltaJournal(dir_.path()).pendingEnvelopes(), journal.pendingEnvelopes());
}

TEST_F(DeltaJournalTest, AnOversizedFileIsCutBackToTheCapOnTheNextAppend) {
  std::vector<SyncEnvelope> many;
  for (std::uint32_t n = 0; n < 503; ++n) many.push_back(numbered(n));
  fs::create_directories(folder());
  ASSERT_TRUE(writeFileAtomically(file(), encodeDeltaJournal(many).value()));

  DeltaJournal journal(dir_.path());
  EXPECT_THAT(journal.pendingEnvelopes(), SizeIs(503));
  journal.append(numbered(503));
  EXPECT_EQ(numberOf(journal.pendingEnvelopes().front()), 4U);
  EXPECT_THAT(DeltaJournal(dir_.path()).pendingEnvelopes(), SizeIs(500));
}

// --- Files that cannot be read or written -------------------------------------

std::vector<fs::path> setAsideFiles(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().starts_with("delta_journal.json.unreadable-")) {
      found.push_back(entry.path());
    }
  }
  return found;
}

TEST_F(DeltaJournalTest, AFileThatDoesNotDecodeIsSetAsideNotOverwritten) {
  const std::string goodThenBad =
      "[" + encodeEnvelope(numbered(0)).value() + R"(,{"hmac":"","messageID":"x"}])";
  const std::vector<std::string> broken = {
      "",
      "[" + encodeEnvelope(numbered(0)).value(),  // cut short
      R"({"envelopes":[]})",
      goodThenBad,
  };
  for (const auto& bytes : broken) {
    SCOPED_TRACE(bytes);
    test::TempDir dir;
    const fs::path folder = dir / "com.quillmere.mac";
    fs::create_directories(folder);
    ASSERT_TRUE(writeFileAtomically(folder / "delta_journal.json", bytes));
    logged_.clear();

    DeltaJournal journal(dir.path());
    EXPECT_THAT(journal.pendingEnvelopes(), IsEmpty());
    EXPECT_THAT(logged_.text(), HasSubstr("Failed to load delta journal: "));
    const auto aside = setAsideFiles(folder);
    ASSERT_THAT(aside, SizeIs(1));
    EXPECT_EQ(fileText(aside[0]), bytes);
    EXPECT_FALSE(fs::exists(folder / "delta_journal.json"));

    journal.append(numbered(7));
    EXPECT_THAT(numbersOf(DeltaJournal(dir.path()).pendingEnvelopes()), ElementsAre(7));
    EXPECT_EQ(fileText(aside[0]), bytes);
  }
}

TEST_F(DeltaJournalTest, AJournalPathThatCannotBeReadIsSetAsideWithItsContents) {
  // A folder where the file belongs: reading fails even for root.
  fs::create_directories(file());
  ASSERT_TRUE(writeFileAtomically(file() / "keep.txt", "queued edits"));

  DeltaJournal journal(dir_.path());
  EXPECT_THAT(journal.pendingEnvelopes(), IsEmpty());
  const auto aside = setAsideFiles(folder());
  ASSERT_THAT(aside, SizeIs(1));
  EXPECT_EQ(fileText(aside[0] / "keep.txt"), "queued edits");

  journal.append(numbered(1));
  EXPECT_THAT(numbersOf(DeltaJournal(dir_.path()).pendingEnvelopes()), ElementsAre(1));
}

TEST_F(DeltaJournalTest, AFailedSaveIsLoggedAndTheListInMemoryIsKept) {
  DeltaJournal journal(dir_.path());
  journal.append(numbered(0));
  journal.append(numbered(1));

  // A regular file in place of the folder stops every write, root's too.
  fs::remove_all(folder());
  ASSERT_TRUE(writeFileAtomically(folder(), "not a folder"));
  journal.append(numbered(2));
  EXPECT_THAT(logged_.text(), HasSubstr("Failed to save delta journal: "));
  EXPECT_THAT(numbersOf(journal.pendingEnvelopes()), ElementsAre(0, 1, 2));
  journal.removeFirst(1);
  EXPECT_THAT(numbersOf(journal.pendingEnvelopes()), ElementsAre(1, 2));
  EXPECT_EQ(fileText(folder()), "not a folder");

  // Once the folder is back, the next save writes the whole list.
  fs::remove(folder());
  fs::create_directory(folder());
  journal.append(numbered(3));
  EXPECT_THAT(numbersOf(DeltaJournal(dir_.path()).pendingEnvelopes()), ElementsAre(1, 2, 3));
}

// --- Draining ---------------------------------------------------------------

class DeltaJournalDrainTest : public DeltaJournalTest {
 protected:
  void SetUp() override {
    for (std::uint32_t n = 0; n < 5; ++n) journal_.append(numbered(n));
    logged_.clear();
  }

  /// A sender that records what it was given and fails the `failAt`-th call
  /// (counting from 1; 0 never fails).
  DeltaJournal::Sender sender(std::size_t failAt) {
    return [this, failAt](const SyncEnvelope& envelope) -> Status {
      sent_.push_back(numberOf(envelope));
      if (sent_.size() == failAt) return Error("peer unreachable");
      return {};
    };
  }

  DeltaJournal journal_{dir_.path()};
  std::vector<std::uint32_t> sent_;
};

TEST_F(DeltaJournalDrainTest, AFailureKeepsItAndTheRestInOrder) {
  struct Case {
    bool paired;
    std::size_t failAt;  // 0: no failure
    std::vector<std::uint32_t> sent, kept;
  };
  const Case cases[] = {
      {false, 0, {}, {0, 1, 2, 3, 4}},
      {true, 1, {0}, {0, 1, 2, 3, 4}},
      {true, 3, {0, 1, 2}, {2, 3, 4}},
      {true, 0, {0, 1, 2, 3, 4}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "paired " << c.paired << ", fail at " << c.failAt);
    test::TempDir dir;
    DeltaJournal journal(dir.path());
    for (std::uint32_t n = 0; n < 5; ++n) journal.append(numbered(n));
    sent_.clear();
    const std::size_t drained = journal.drain(sender(c.failAt), c.paired);
    EXPECT_EQ(sent_, c.sent);
    EXPECT_EQ(drained, c.sent.size() - (c.failAt > 0 ? 1 : 0));
    EXPECT_EQ(numbersOf(journal.pendingEnvelopes()), c.kept);
    EXPECT_EQ(numbersOf(DeltaJournal(dir.path()).pendingEnvelopes()), c.kept);
  }
}

TEST_F(DeltaJournalDrainTest, EnvelopesQueuedWhileDrainingStayForTheNextDrain) {
  auto send = sender(0);
  bool queuedOne = false;
  const auto queueWhileSending = [&](const SyncEnvelope& envelope) -> Status {
    if (!queuedOne) {
      queuedOne = true;
      journal_.append(numbered(42));
    }
    return send(envelope);
  };
  EXPECT_EQ(journal_.drain(queueWhileSending, true), 5U);
  EXPECT_THAT(sent_, ElementsAre(0, 1, 2, 3, 4));
  EXPECT_THAT(numbersOf(journal_.pendingEnvelopes()), ElementsAre(42));
  EXPECT_THAT(numbersOf(DeltaJournal(dir_.path()).pendingEnvelopes()), ElementsAre(42));
}

// --- Crashes ----------------------------------------------------------------

// A child process keeps changing a journal of large envelopes (appending, and
// trimming the front now and then) and is killed at a random moment. Whatever
// the moment, the file must load, holding a run of consecutive envelopes that
// reaches at least as far as the run found after the previous kill.
TEST(DeltaJournalCrashTest, AProcessKilledWhileSavingLeavesAFileThatLoads) {
  constexpr std::size_t kPayloadSize = 6000;
  constexpr int kRounds = 20;
  test::TempDir dir;
  const auto seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayMs(5, 120);

  std::uint32_t reached = 0;  // one past the newest envelope found so far
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        log::setLevel(spdlog::level::warn);
        DeltaJournal journal(dir.path());
        const auto& queued = journal.pendingEnvelopes();
        std::uint32_t next = queued.empty() ? 0 : numberOf(queued.back()) + 1;
        for (;;) {
          if (queued.size() >= 60) {
            journal.removeFirst(25);
          } else {
            journal.append(numbered(next++, kPayloadSize));
          }
        }
      } catch (...) {
      }
      _exit(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;

    test::LogCapture logged(log::sync());
    DeltaJournal journal(dir.path());
    EXPECT_THAT(logged.text(), Not(HasSubstr("Failed to load"))) << logged.text();
    const auto& queued = journal.pendingEnvelopes();
    if (queued.empty()) {
      EXPECT_EQ(reached, 0U);
      continue;
    }
    const std::uint32_t first = numberOf(queued.front());
    for (std::size_t i = 0; i < queued.size(); ++i) {
      ASSERT_EQ(queued[i], numbered(first + static_cast<std::uint32_t>(i), kPayloadSize))
          << "entry " << i;
    }
    const std::uint32_t end = first + static_cast<std::uint32_t>(queued.size());
    EXPECT_GE(end, reached);
    reached = end;
  }
  EXPECT_GT(reached, 0U) << "the child never saved anything";
}

}  // namespace
}  // namespace qm
