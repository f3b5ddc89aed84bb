// The engine's debounce and cancellation, with a scheduler the test runs by hand.
#include <gmock/gmock.h>

#include "search/global_search_engine.h"
#include "search_test_data.h"
#include "store/store_test_support.h"

namespace qm {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Category = SearchResultCategory;

struct ScheduledTask {
  std::chrono::milliseconds delay;
  std::function<void()> task;
};

struct GlobalSearchEngineTest : test::StoreFixture {
  std::vector<ScheduledTask> scheduled;
  std::unique_ptr<GlobalSearchEngine> engine;
  int changes = 0;
  Subscription subscription;

  void SetUp() override {
    StoreFixture::SetUp();
    Event expo = test::addEvent(*store, "Expo");
    test::addContact(*store, expo, "Jo", "Smith");
    test::addContact(*store, expo, "Jo", "Brown");
    engine = std::make_unique<GlobalSearchEngine>(
        *store,
        [this](std::chrono::milliseconds delay, std::function<void()> task) {
          scheduled.push_back({delay, std::move(task)});
        },
        "en_US");
    subscription = engine->changed().subscribe([this] { ++changes; });
  }

  /// Runs what the scheduler holds, as the main loop would after the delays.
  void runScheduled() {
    auto tasks = std::move(scheduled);
    scheduled.clear();
    for (auto& t : tasks) t.task();
  }

  std::vector<std::string> contactNames() {
    std::vector<std::string> names;
    auto it = engine->results().find(Category::contacts);
    if (it != engine->results().end())
      for (const auto& hit : it->second) names.push_back(hit.primaryText);
    return names;
  }
};

TEST_F(GlobalSearchEngineTest, SearchesAfterTheDebounceAndPublishesOnce) {
  engine->search("jo sm");
  EXPECT_TRUE(engine->isSearching());
  EXPECT_THAT(engine->results(), IsEmpty()) << "nothing before the wait";
  ASSERT_EQ(scheduled.size(), 1u);
  EXPECT_EQ(scheduled[0].delay, std::chrono::milliseconds(100));

  runScheduled();
  EXPECT_FALSE(engine->isSearching());
  EXPECT_FALSE(engine->hasSearchTask());
  EXPECT_THAT(contactNames(), ElementsAre("Jo Smith"));
  EXPECT_EQ(changes, 2);  // searching, then the results
}

TEST_F(GlobalSearchEngineTest, ANewQueryCancelsTheWaitingOne) {
  engine->search("jo sm");
  engine->search("jo br");
  runScheduled();  // both timers fire; only the newer one searches
  EXPECT_THAT(contactNames(), ElementsAre("Jo Brown"));
  EXPECT_EQ(changes, 3);

  // Cancelled while waiting: the results stay as they were.
  engine->search("smith");
  engine->cancel();
  EXPECT_FALSE(engine->isSearching());
  runScheduled();
  EXPECT_THAT(contactNames(), ElementsAre("Jo Brown"));
}

TEST_F(GlobalSearchEngineTest, AShortQueryClearsTheResultsAtOnceAndStopsTheWaitingSearch) {
  engine->search("jo");
  runScheduled();
  EXPECT_THAT(contactNames(), ElementsAre("Jo Smith", "Jo Brown"));

  engine->search("smith");
  engine->search(" j \n");
  EXPECT_THAT(engine->results(), IsEmpty());
  EXPECT_FALSE(engine->isSearching());
  runScheduled();
  EXPECT_THAT(engine->results(), IsEmpty()) << "the cancelled search must not publish";
}

TEST_F(GlobalSearchEngineTest, ATaskThatOutlivesTheEngineDoesNothing) {
  engine->search("jo");
  engine.reset();
  runScheduled();  // must not touch the destroyed engine
  SUCCEED();
}

TEST_F(GlobalSearchEngineTest, SeesRecordsWrittenSinceTheLastSearch) {
  engine->search("tanaka");
  runScheduled();
  EXPECT_THAT(contactNames(), IsEmpty());
  auto events = store->fetch<Event>();
  ASSERT_OK(events);
  test::addContact(*store, events->front(), "Mei", "Tanaka");
  engine->search("tanaka");
  runScheduled();
  EXPECT_THAT(contactNames(), ElementsAre("Mei Tanaka"));
}

}  // namespace
}  // namespace qm
