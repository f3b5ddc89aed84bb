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
#include <cstring>
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
using Numbers = std::vector<std::uint32_t>;

constexpr std::int64_t kBaseSeconds = 1'741'944'413;

// Envelope number `n`: the number is in its message id, and its payload is
// `payloadSize` bytes derived from it.
SyncEnvelope numbered(std::uint32_t n, std::size_t payloadSize = 24) {
  Uuid::Bytes id{};
  std::memcpy(id.data(), &n, sizeof n);
  id[6] = 0x40;
  id[8] = 0x80;
  SyncEnvelope envelope;
  envelope.type = SyncMessageType::deltaNote;
  envelope.messageID = Uuid(id);
  envelope.timestamp = dateFromUnixSeconds(kBaseSeconds + n);
  for (std::size_t i = 0; i < payloadSize; ++i)
    envelope.payload.push_back(static_cast<std::uint8_t>(n * 131 + i * 7));
  return envelope;
}

std::uint32_t numberOf(const SyncEnvelope& envelope) {
  std::uint32_t n = 0;
  std::memcpy(&n, envelope.messageID.bytes().data(), sizeof n);
  return n;
}

Numbers numbersOf(const std::vector<SyncEnvelope>& envelopes) {
  Numbers numbers;
  for (const auto& envelope : envelopes) numbers.push_back(numberOf(envelope));
  return numbers;
}

// The numbers queued in the journal under `dir` as a fresh start finds them.
Numbers reloaded(const fs::path& dir) {
  return numbersOf(DeltaJournal(dir).pendingEnvelopes());
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

TEST_F(DeltaJournalTest, CreatesItsFolderAndKeepsEnvelopesAcrossARestart) {
  const fs::path support = dir_ / "nested" / "support";
  const std::vector<SyncEnvelope> queued{numbered(1), numbered(2, 0)};
  {
    DeltaJournal journal(support);
    for (const auto& envelope : queued) journal.append(envelope);
  }
  // The file is a JSON array of the envelopes in their sync form.
  EXPECT_EQ(
      fileText(support / "com.quillmere.mac" / "delta_journal.json"),
      "[" + encodeEnvelope(queued[0]).value() + "," + encodeEnvelope(queued[1]).value() + "]");
  EXPECT_EQ(DeltaJournal(support).pendingEnvelopes(), queued);
}

TEST_F(DeltaJournalTest, TheAppendPastTheCapCutsAnOversizedFileBackToTheNewest) {
  const auto stored = static_cast<std::uint32_t>(DeltaJournal::kCapacity + 3);
  std::vector<SyncEnvelope> many;
  for (std::uint32_t n = 0; n < stored; ++n) many.push_back(numbered(n));
  fs::create_directories(folder());
  ASSERT_TRUE(writeFileAtomically(file(), encodeDeltaJournal(many).value()));
  DeltaJournal journal(dir_.path());
  EXPECT_EQ(journal.pendingEnvelopes().size(), stored);  // loaded whole
  journal.append(numbered(stored));
  const Numbers kept = reloaded(dir_.path());
  ASSERT_EQ(kept.size(), DeltaJournal::kCapacity);
  EXPECT_EQ(kept.front(), stored + 1 - DeltaJournal::kCapacity);
  EXPECT_EQ(kept.back(), stored);
  EXPECT_EQ(numbersOf(journal.pendingEnvelopes()), kept);
}

std::vector<fs::path> setAsideFiles(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().starts_with("delta_journal.json.unreadable-"))
      found.push_back(entry.path());
  }
  return found;
}

TEST_F(DeltaJournalTest, AFileThatDoesNotDecodeIsSetAsideNotOverwritten) {
  const std::string first = encodeEnvelope(numbered(0)).value();
  for (const std::string& bytes :
       {std::string(), "[" + first /* cut short */, std::string(R"({"envelopes":[]})"),
        "[" + first + R"(,{"hmac":"","messageID":"x"}])"}) {
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
    ASSERT_EQ(aside.size(), 1U);
    EXPECT_FALSE(fs::exists(folder / "delta_journal.json"));
    journal.append(numbered(7));
    EXPECT_THAT(reloaded(dir.path()), ElementsAre(7));
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
  ASSERT_EQ(aside.size(), 1U);
  EXPECT_EQ(fileText(aside[0] / "keep.txt"), "queued edits");
  journal.append(numbered(1));
  EXPECT_THAT(reloaded(dir_.path()), ElementsAre(1));
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
  journal.removeFirst(1);
  EXPECT_THAT(numbersOf(journal.pendingEnvelopes()), ElementsAre(1, 2));
  EXPECT_EQ(fileText(folder()), "not a folder");

  // Once the folder is back, the next save writes the whole list.
  fs::remove(folder());
  fs::create_directory(folder());
  journal.append(numbered(3));
  EXPECT_THAT(reloaded(dir_.path()), ElementsAre(1, 2, 3));
}

TEST(DeltaJournalDrainTest, AFailureKeepsItAndTheRestInOrder) {
  struct Case {
    bool paired;
    std::size_t failAt;  // the call that fails, counting from 1; 0: none
    Numbers sent, kept;
  };
  const Case cases[] = {
      {false, 0, {}, {0, 1, 2, 3, 4}},
      {true, 3, {0, 1, 2}, {2, 3, 4}},
      {true, 0, {0, 1, 2, 3, 4}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "paired " << c.paired << ", fail at " << c.failAt);
    test::TempDir dir;
    DeltaJournal journal(dir.path());
    for (std::uint32_t n = 0; n < 5; ++n) journal.append(numbered(n));
    Numbers sent;
    const auto send = [&](const SyncEnvelope& envelope) -> Status {
      sent.push_back(numberOf(envelope));
      if (sent.size() == c.failAt) return Error("peer unreachable");
      return {};
    };
    EXPECT_EQ(journal.drain(send, c.paired), c.sent.size() - (c.failAt > 0 ? 1 : 0));
    EXPECT_EQ(sent, c.sent);
    EXPECT_EQ(numbersOf(journal.pendingEnvelopes()), c.kept);
    EXPECT_EQ(reloaded(dir.path()), c.kept);
  }
}

TEST(DeltaJournalDrainTest, EnvelopesQueuedWhileDrainingStayForTheNextDrain) {
  test::TempDir dir;
  DeltaJournal journal(dir.path());
  for (std::uint32_t n = 0; n < 5; ++n) journal.append(numbered(n));
  Numbers sent;
  const auto queueWhileSending = [&](const SyncEnvelope& envelope) -> Status {
    if (sent.empty()) journal.append(numbered(42));
    sent.push_back(numberOf(envelope));
    return {};
  };
  EXPECT_EQ(journal.drain(queueWhileSending, true), 5U);
  EXPECT_THAT(sent, ElementsAre(0, 1, 2, 3, 4));
  EXPECT_THAT(numbersOf(journal.pendingEnvelopes()), ElementsAre(42));
  EXPECT_THAT(reloaded(dir.path()), ElementsAre(42));
  journal.removeFirst(10);  // more than there are
  EXPECT_THAT(journal.pendingEnvelopes(), IsEmpty());
  EXPECT_THAT(reloaded(dir.path()), IsEmpty());
}

// A child process keeps changing a journal of large envelopes (appending, and
// trimming the front now and then) and is killed at a random moment. Whatever
// the moment, the file must load, holding a run of consecutive envelopes that
// reaches at least as far as the run found after the previous kill.
TEST(DeltaJournalCrashTest, AProcessKilledWhileSavingLeavesAFileThatLoads) {
  constexpr std::size_t kPayloadSize = 6000;
  test::TempDir dir;
  const auto seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayMs(5, 120);

  std::uint32_t reached = 0;  // one past the newest envelope found so far
  for (int round = 0; round < 20; ++round) {
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
    EXPECT_THAT(logged.text(), Not(HasSubstr("Failed to load")));
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
