// The statistic base: stored values and interface lookup.
#include <gtest/gtest.h>

#include "zelph/model/statistic.h"

namespace {

class Statistic : public BaseStatistic {
 public:
  const char* GetName() override { return "test"; }
  void SetName(const char*) override {}
};

TEST(StatisticTest, ValuesErrorAndLookup) {
  auto* statistic = new Statistic();
  EXPECT_EQ(statistic->GetTimeUnit(), kSeconds);
  EXPECT_EQ(statistic->GetExecutionTime(), 0);
  EXPECT_EQ(statistic->GetError(), nullptr);

  statistic->SetExecutionTime(2.5, kMilliseconds);
  EXPECT_EQ(statistic->GetExecutionTime(), 2.5);
  EXPECT_EQ(statistic->GetTimeUnit(), kMilliseconds);
  statistic->SetError("failed");
  EXPECT_STREQ(statistic->GetError(), "failed");
  statistic->SetError(nullptr);
  EXPECT_EQ(statistic->GetError(), nullptr);

  void* out = nullptr;
  EXPECT_EQ(statistic->QueryInterface(boost::uuids::uuid{}, &out), 1);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(statistic->QueryInterface(IStatistic::kInterfaceId, &out), 0);
  EXPECT_EQ(out, static_cast<IStatistic*>(statistic));
  EXPECT_EQ(statistic->Release(), 1);  // the reference QueryInterface took
  EXPECT_EQ(statistic->Release(), 0);
}

}  // namespace
