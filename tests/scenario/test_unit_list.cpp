#include "scenario/incursion.h"
#include "scenario/radar.h"
#include "scenario/unitid.h"
#include "scenario/unitlist.h"

#include "common/random.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

using namespace halyx;

TEST(UnitList, KeepsInsertionOrderAndMatchesById) {
    CUnitList<CRadar> list;
    list.Add(CRadar("a", "1", "", "", "", "", ""));
    list.Add(CRadar("b", "2", "", "", "", "", ""));
    list.Add(CRadar("c", "3", "", "", "", "", ""));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_TRUE(list.NameExists("b"));
    EXPECT_FALSE(list.NameExists("B"));
    ASSERT_NE(list.FindById("3"), nullptr);
    EXPECT_EQ(list.FindById("3")->GetName(), "c");
    EXPECT_EQ(list.FindById("4"), nullptr);

    EXPECT_TRUE(list.RemoveById("2"));
    EXPECT_FALSE(list.RemoveById("2"));
    std::string names;
    for (const CRadar& radar : list) {
        names += radar.GetName();
    }
    EXPECT_EQ(names, "ac");
    list.RemoveAll();
    EXPECT_EQ(list.Count(), 0);
}

TEST(UnitList, ObserversHearEachChange) {
    CUnitList<CIncursion> list;
    std::vector<std::pair<UnitListChange, int>> seen;
    const int token = list.Subscribe([&](UnitListChange c, int i) { seen.emplace_back(c, i); });
    list.Add(CIncursion("a", "1", "", "", "", "", ""));
    list.Add(CIncursion("b", "2", "", "", "", "", ""));
    list.RemoveById("1");
    list.NotifyChanged(0);
    list.RemoveAll();
    list.Unsubscribe(token);
    list.Add(CIncursion("c", "3", "", "", "", "", ""));
    const std::vector<std::pair<UnitListChange, int>> expected = {{UnitListChange::Added, 0},
                                                                  {UnitListChange::Added, 1},
                                                                  {UnitListChange::Removed, 0},
                                                                  {UnitListChange::Changed, 0},
                                                                  {UnitListChange::Reset, -1}};
    EXPECT_EQ(seen, expected);
}

TEST(UnitIds, TimeOfDayThenZeroThenRandomValue) {
    // 12:30:05.789 UTC (the tests run with TZ=UTC); the milliseconds never show.
    const int64_t tsid = ((12 * 3600 + 30 * 60 + 5) * 1000LL) + 789;
    EXPECT_EQ(MakeUnitIdAt(tsid, 4711), "12300504711");
    EXPECT_EQ(MakeUnitIdAt(tsid - 12 * 3600 * 1000LL, 0), "00300500");
    SeedRandom(3);
    EXPECT_TRUE(std::regex_match(MakeUnitId(), std::regex("[0-9]{6}0[0-9]{1,5}")));
}

TEST(UnitIds, ListNeverHandsOutAnIdItHolds) {
    SeedRandom(1);
    const int first = NextRandom();
    SeedRandom(1);
    const std::string clash = MakeUnitId();
    SeedRandom(1); // the same draw again: the first candidate is taken
    const std::string id =
        MakeUnitId([&](std::string_view candidate) { return candidate == clash; });
    EXPECT_NE(id, clash);
    EXPECT_EQ(clash.substr(7), std::to_string(first));

    CUnitList<CRadar> radars;
    for (int i = 0; i < 300; ++i) {
        radars.Add(CRadar("r", radars.NewId(), "", "", "", "", ""));
    }
    std::set<std::string> ids;
    for (const CRadar& radar : radars) {
        ids.insert(radar.GetId());
    }
    EXPECT_EQ(ids.size(), 300u);

    std::set<std::string> taken;
    for (int i = 0; i < 2000; ++i) {
        taken.insert(MakeUnitId([&](std::string_view c) { return taken.count(std::string(c)); }));
    }
    EXPECT_EQ(taken.size(), 2000u);
}
