// solution_concurrency_test.cpp
//
// Clients listing the apps at the same time each rebuild the catalogue; every listing must
// be the whole catalogue.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "zelph/projects/solution_provider.h"
#include "zelph/testing/service_fixtures.h"

namespace {

TEST(SolutionConcurrencyTest, ConcurrentListingsAlwaysSeeTheWholeCatalogue) {
  SolutionProvider catalogue;
  std::vector<std::thread> clients;
  for (int t = 0; t < 8; ++t) {
    clients.emplace_back([&] {
      for (int i = 0; i < 20; ++i) {
        catalogue.Scan(zelph::testing::SolutionAppsFolder(),
                       zelph::testing::SolutionTemplatesFolder());
        EXPECT_EQ(catalogue.GetApps().size(), 4u);
        EXPECT_EQ(catalogue.GetTemplatesOfApp(zelph::testing::kDemoAppId).size(), 1u);
        EXPECT_NE(catalogue.FindTemplate(zelph::testing::kPlainTemplateId), nullptr);
      }
    });
  }
  for (std::thread& client : clients) client.join();
}

}  // namespace
