#include "settings/pipeline_manager.h"

#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/log.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> describe(const std::vector<PipelineStage>& stages) {
  std::vector<std::string> result;
  for (const auto& s : stages) {
    result.push_back(s.name + "/" + s.colorHex + "/" + std::to_string(s.sortOrder));
  }
  return result;
}

class PipelineManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { log::setLevel(spdlog::level::err); }
  void TearDown() override { log::setLevel(spdlog::level::info); }

  void store(DefaultsValue value) {
    ASSERT_OK(defaults_.set(std::string(PipelineManager::kDefaultsKey), std::move(value)));
  }

  test::TempDir dir_;
  UserDefaults defaults_{dir_ / "defaults.json"};
};

TEST_F(PipelineManagerTest, FreshInstallHasTheBuiltInStages) {
  PipelineManager manager(defaults_);
  EXPECT_THAT(describe(manager.stages()), ElementsAre("Exploring/2D5F3F/0", "Interested/C4654A/1",
                                                      "Committed/4A6B8A/2", "Closed-Won/D4953D/3"));
  std::set<Uuid> ids{Uuid()};
  for (const auto& s : manager.stages()) ids.insert(s.id);
  EXPECT_EQ(ids.size(), 5u) << "four distinct ids, none nil";
  const auto before = manager.stages();  // the built-ins keep their ids for the manager's life
  manager.load();
  EXPECT_EQ(manager.stages(), before);
}

TEST_F(PipelineManagerTest, UnusableStoredStagesFallBackToTheBuiltIns) {
  const std::string id = Uuid::random().str();
  const std::string rest = R"(", "name": "A", "sortOrder": 1, "colorHex": "000000"}])";
  for (const DefaultsValue& value : std::vector<DefaultsValue>{
           std::string("[]"), std::string("garbage"), true, std::string(R"({"id": "x"})"),
           R"([{"id": ")" + id + R"(", "name": "A", "sortOrder": 0}])",
           R"([{"id": ")" + id + R"(", "name": "A", "sortOrder": 1.5, "colorHex": "000000"}])",
           R"([{"id": ")" + id + R"(", "name": 7, "sortOrder": 1, "colorHex": "000000"}])",
           R"([{"id": "not-a-uuid)" + rest}) {
    store(value);
    PipelineManager manager(defaults_);
    ASSERT_EQ(manager.stages().size(), 4u);
    EXPECT_EQ(manager.stages()[0].name, "Exploring");
  }
  store(R"([{"id": ")" + id + rest);  // the same stage, well formed, is accepted
  EXPECT_EQ(PipelineManager(defaults_).stages().size(), 1u);
}

TEST_F(PipelineManagerTest, SavedStagesAreReadBackSorted) {
  PipelineManager manager(defaults_);
  const std::vector<PipelineStage> custom = {{Uuid::random(), "Won", 2, "111111"},
                                             {Uuid::random(), "Lead", -3, "222222"},
                                             {Uuid::random(), "Démo", 1, "333333"},
                                             {Uuid::random(), "Démo again", 1, "444444"}};
  manager.setStages(custom);
  ASSERT_OK(manager.save());
  UserDefaults reopened(dir_ / "defaults.json");
  EXPECT_EQ(PipelineManager(reopened).stages(),
            (std::vector<PipelineStage>{custom[1], custom[2], custom[3], custom[0]}));
}

TEST_F(PipelineManagerTest, StageLookupIgnoresLetterCase) {
  PipelineManager manager(defaults_);
  EXPECT_EQ(manager.stage("exploring").value().id, manager.stages()[0].id);
  EXPECT_EQ(manager.stage("Explor"), std::nullopt);
  EXPECT_EQ(manager.stage("Lost"), std::nullopt);

  manager.setStages({{Uuid::random(), "Été", 0, "000000"}, {Uuid::random(), "été", 1, "111111"}});
  EXPECT_EQ(manager.stage("ÉTÉ").value().sortOrder, 0);  // the first match in list order
}

TEST_F(PipelineManagerTest, ObserversHearOnlyRealChanges) {
  PipelineManager manager(defaults_);
  int heard = 0;
  auto observing = manager.observe([&] { ++heard; });
  auto stages = manager.stages();
  manager.setStages(stages);
  EXPECT_EQ(heard, 0);

  stages[2].colorHex = "000000";
  manager.setStages(stages);
  stages[0].id = Uuid::random();
  manager.setStages(stages);
  stages.pop_back();
  manager.setStages(stages);
  EXPECT_EQ(heard, 3);

  observing.reset();
  stages[0].name = "Renamed";
  manager.setStages(stages);
  EXPECT_EQ(heard, 3);
}

}  // namespace
}  // namespace qm
