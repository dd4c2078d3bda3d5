// The unit kinds' one home: traits, lists, table cells and the unit dialog's texts.
#include "scenario/unitkind.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace halyx {
namespace {

TEST(UnitKinds, VisitorTraitsAndListsAgreeForEveryKind) {
    CScenario scenario;
    std::set<int> editIds;
    for (const UnitKind kind : kUnitKinds) {
        VisitUnitKind(kind, [&](auto tag) {
            using T = typename decltype(tag)::Type;
            using Traits = UnitTraits<T>;
            EXPECT_EQ(Traits::kKind, kind);
            EXPECT_EQ(KindInfo(kind).kind, kind);
            EXPECT_EQ(std::string(KindInfo(kind).noun), Traits::kNoun);
            editIds.insert(Traits::kEditId);

            CUnitFields fields{"Unit", "10", "20", "30", "40", "50", "5"};
            const T unit = Traits::Make(fields, "id-1", "-");
            Traits::List(scenario).Add(std::make_unique<T>(unit));
            EXPECT_EQ(Traits::List(std::as_const(scenario)).Count(), 1);
            // Tables and undo find a unit by the text of column 1.
            EXPECT_EQ(Traits::CellText(unit, 1), "id-1");
            EXPECT_EQ(Traits::CellText(unit, 99), "");
            EXPECT_DOUBLE_EQ(Traits::Lat(unit), 10.0);
            EXPECT_DOUBLE_EQ(Traits::Lng(unit), 20.0);
        });
    }
    // One unit in each list, not three in one.
    EXPECT_EQ(scenario.Radars().Count(), 1);
    EXPECT_EQ(scenario.Incursions().Count(), 1);
    EXPECT_EQ(scenario.Interceptors().Count(), 1);
    // Edits of different kinds must never merge into one undo step.
    EXPECT_EQ(editIds.size(), 3u);
}

TEST(UnitKinds, DialogTextsMakeReadAndApplyWithoutLosingOtherFields) {
    const CUnitFields typed{"R", "1.5", "2.5", "75", "", "", ""};
    const CRadar paged = UnitTraits<CRadar>::Make(typed, "r", "-");
    EXPECT_EQ(paged, CRadar("R", "r", "1.5", "2.5", "75", "-", "-"));
    EXPECT_EQ(UnitTraits<CRadar>::Make(typed, "r", ""),
              CRadar("R", "r", "1.5", "2.5", "75", "", ""));
    EXPECT_EQ(UnitTraits<CRadar>::Fields(paged), typed);

    // An interceptor's new heading is 0 whoever adds it; its scope takes the unasked text.
    const CInterceptor cutter =
        UnitTraits<CInterceptor>::Make({"C", "1", "2", "", "", "40", ""}, "c", "-");
    EXPECT_DOUBLE_EQ(cutter.GetHeading(), 0.0);
    EXPECT_EQ(cutter.GetScope(), "-");

    // Applying the dialog's texts changes only what the dialog shows (an incursion's start time
    // through the dialog itself: tests/controls).
    CInterceptor wide("I", "9", 1, 2, 3, 45, 60, 10, "wide");
    CUnitFields fields = UnitTraits<CInterceptor>::Fields(wide);
    fields.speed = "500";
    fields.range = "999"; // not an interceptor's dialog field
    UnitTraits<CInterceptor>::Apply(fields, wide);
    EXPECT_EQ(wide, CInterceptor("I", "9", 1, 2, 500, 45, 60, 10, "wide"));
}

} // namespace
} // namespace halyx
