// Counterbalanced orders: every team meets every scenario once, each scenario stands in each
// position equally often, and each scenario directly follows each other one equally often.
#include "study/assign.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <vector>

namespace halyx {
namespace {

TEST(BalancedLatinSquare, BalancesPositionsAndCarryOverForEvenAndOddCounts) {
    for (int n = 1; n <= 7; ++n) {
        const std::vector<std::vector<int>> square = BalancedLatinSquare(n);
        const int rows = static_cast<int>(square.size());
        ASSERT_EQ(rows, n % 2 == 0 ? n : 2 * n) << n;
        std::map<std::pair<int, int>, int> atPosition;
        std::map<std::pair<int, int>, int> follows;
        for (const std::vector<int>& row : square) {
            std::vector<int> sorted = row;
            std::sort(sorted.begin(), sorted.end());
            std::vector<int> all(static_cast<size_t>(n));
            std::iota(all.begin(), all.end(), 0);
            ASSERT_EQ(sorted, all) << "n " << n << ": a row is not an order of all scenarios";
            for (int p = 0; p < n; ++p) {
                ++atPosition[{row[static_cast<size_t>(p)], p}];
                if (p > 0) {
                    ++follows[{row[static_cast<size_t>(p - 1)], row[static_cast<size_t>(p)]}];
                }
            }
        }
        for (int a = 0; a < n; ++a) {
            for (int b = 0; b < n; ++b) {
                EXPECT_EQ((atPosition[{a, b}]), rows / n) << "n " << n << " scenario " << a;
                if (a != b) {
                    EXPECT_EQ((follows[{a, b}]), rows / n) << "n " << n << ": " << a << "->" << b;
                }
            }
        }
    }
    EXPECT_TRUE(BalancedLatinSquare(0).empty());
}

TEST(AssignScenarios, EveryTeamRunsEveryScenarioOnceInNumberedBlocksWrittenFromThePlansFolder) {
    const std::vector<std::string> scenarios = {"a.hsf", "b.hsf", "c.hsf"};
    const std::vector<CPlanRow> rows = AssignScenarios(12, scenarios);
    ASSERT_EQ(rows.size(), 36U);
    std::map<std::string, std::set<std::string>> seen;
    std::map<std::pair<std::string, int>, int> atBlock;
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].run, static_cast<int>(i) + 1);
        EXPECT_TRUE(seen[rows[i].team].insert(rows[i].scenario).second)
            << rows[i].team << " runs " << rows[i].scenario << " twice";
        ++atBlock[{rows[i].scenario, rows[i].block}];
    }
    EXPECT_EQ(seen.size(), 12U);
    for (const auto& [key, count] : atBlock) {
        EXPECT_EQ(count, 4) << key.first << " in block " << key.second;
    }

    const std::string csv = PlanCsv({rows[0], {2, "T02", 1, "odd, name.hsf", "multi", "", "x"}});
    EXPECT_EQ(csv, "run,team,block,scenario,mode,stations,notes\n"
                   "1,T01,1,a.hsf,multi,,sequence 1 of 6\n"
                   "2,T02,1,\"odd, name.hsf\",multi,,x\n");
    EXPECT_TRUE(AssignScenarios(0, scenarios).empty());
    // Scenario paths are written from the plan's folder.
    EXPECT_EQ(PathFromFolder("/study/sets/S1/S1.hsf", "/study/plans"), "../sets/S1/S1.hsf");
    EXPECT_EQ(PathFromFolder("/study/plans/S1.hsf", "/study/plans/"), "S1.hsf");
    EXPECT_EQ(PathFromFolder("/study/./x/../S1.hsf", "/study"), "S1.hsf");
}

} // namespace
} // namespace halyx
